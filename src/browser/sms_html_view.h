#pragma once
// The main window's web view: the script bridge both ways between the
// program and the service's pages, the page's own context menu, and the
// notice to the parent when the index page has loaded.
#include "browser/kiv_html_view.h"

#include <functional>
#include <string>
#include <utility>
#include <vector>

class SMSHtmlView : public CKivHtmlView {
public:
    // WM_START_SESSION: sent to the parent when the index page has loaded, wParam and lParam 0.
    static constexpr UINT kStartSessionMessage = 1224;
    // The title of the wait window that the index page's arrival ends.
    static constexpr wchar_t kWaitWindowTitle[] = L"loading";

    // Receives the page's window.external.InvokeWebserver(command, data) with the view's parent window.
    using PageCallHandler =
        std::function<void(HWND parent, const std::wstring& command, const std::wstring& data)>;

    SMSHtmlView() = default;

    // The service's base URL: its origin is the one the view trusts, and its
    // index page the one whose arrival starts the session.
    void SetAppServer(const std::wstring& appServer);

    // An empty handler makes the page's calls do nothing.
    void SetPageCallHandler(PageCallHandler handler) { m_pageCallHandler = std::move(handler); }

    // Calls the global script function name of the page loaded last with args,
    // the first element as the first argument; result, when given (and
    // initialised), receives the return value. Failures are shown in a box and give false.
    bool CallScript(const std::wstring& name, const std::vector<std::wstring>& args,
                    VARIANT* result = nullptr);

protected:
    // The page's InvokeWebserver: passes the call to the handler.
    virtual void OnInvokeWebserver(const std::wstring& command, const std::wstring& data);

    // Tracks popup at point (screen) for owner and returns the chosen command, or 0.
    virtual UINT TrackPageMenu(HMENU popup, POINT point, HWND owner);

    void PreCreateWindow(DWORD& style, DWORD& exStyle) override;
    void OnDocumentComplete(const std::wstring& url) override;
    HRESULT OnOwnContextMenu(DWORD id, POINT* point, IUnknown* commandTarget, IDispatch* object) override;
    DISPID GetAutomationId(const std::wstring& name) override;
    HRESULT InvokeAutomation(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result,
                             UINT* argError) override;

private:
    PageCallHandler m_pageCallHandler;
    std::wstring m_appServer;
};

// The system's text for an error code, or a fixed text when it has none.
std::wstring SystemErrorText(HRESULT code);
