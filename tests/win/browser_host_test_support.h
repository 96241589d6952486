#pragma once
// Helpers of the browser host's tests: OLE for the suite, a parent window
// that records what it is sent, a view whose boxes and menu tracking are
// recorded instead of shown, and a base for small fake COM objects.
#include "browser/browser_resource.h"
#include "browser/sms_html_view.h"
#include "framework/com.h"
#include "framework/window.h"

#include <gtest/gtest.h>
#include <mshtmdid.h>

#include <string>
#include <tuple>
#include <vector>

namespace browserhosttest {

// A hidden window that records the messages it is sent (WM_COMMAND and the
// view's session message), as a parent or as the browser's command window.
class CRecorderWnd : public CWindow {
public:
    explicit CRecorderWnd(const wchar_t* title = L"browser host test", HWND parent = nullptr) {
        Subclass(CreateWindowExW(0, L"STATIC", title, parent ? WS_CHILD : WS_POPUP | WS_CLIPCHILDREN, 0, 0,
                                 400, 300, parent, nullptr, nullptr, nullptr));
    }
    ~CRecorderWnd() override {
        if (m_hWnd) {
            DestroyWindow(m_hWnd);
        }
    }
    HWND Hwnd() const { return m_hWnd; }

    std::vector<std::tuple<UINT, WPARAM, LPARAM>> seen;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_COMMAND || message == SMSHtmlView::kStartSessionMessage) {
            seen.emplace_back(message, wParam, lParam);
            return 0;
        }
        return CWindow::WindowProc(message, wParam, lParam);
    }
};

// What a tracked page menu showed.
struct CTrackedMenu {
    std::vector<bool> grayed; // cut, copy, paste
    POINT point{};
    HWND owner = nullptr;
};

// The program's web view with its boxes recorded and its menu (menu 133 of
// the program's resources, linked into the tests) tracked by the test, or
// with realTracking by the system.
class CTestView : public SMSHtmlView {
public:
    using SMSHtmlView::OnBeforeNavigate;
    using SMSHtmlView::OnDocumentComplete;
    using SMSHtmlView::OnNewWindow;
    using SMSHtmlView::SetDocument;

    std::vector<std::wstring> errors;
    std::vector<std::wstring> opened; // handed to the default browser
    std::vector<CTrackedMenu> tracked;
    UINT choice = 0;
    bool realTracking = false;

protected:
    void ShowError(const std::wstring& text) override { errors.push_back(text); }
    void ShellOpen(const std::wstring& url) override { opened.push_back(url); }
    UINT TrackPageMenu(HMENU popup, POINT point, HWND owner) override {
        CTrackedMenu menu{{}, point, owner};
        for (UINT id : {ID_PAGE_CUT, ID_PAGE_COPY, ID_PAGE_PASTE}) {
            menu.grayed.push_back((GetMenuState(popup, id, MF_BYCOMMAND) & MF_GRAYED) != 0);
        }
        tracked.push_back(menu);
        return realTracking ? SMSHtmlView::TrackPageMenu(popup, point, owner) : choice;
    }
};

// OLE for the suite and one hidden parent window for its views.
class CBrowserHostSuite : public ::testing::Test {
public:
    static void SetUpTestSuite() {
        s_ole = new unique_oleuninitialize_call(OleInitializeScoped());
        s_parent = new CRecorderWnd;
    }
    static void TearDownTestSuite() {
        delete s_parent;
        s_parent = nullptr;
        delete s_ole;
        s_ole = nullptr;
    }

protected:
    void SetUp() override {
        ASSERT_TRUE(*s_ole);
        s_parent->seen.clear();
    }
    static RECT ParentArea() { return {0, 0, 400, 300}; }

    static inline unique_oleuninitialize_call* s_ole = nullptr;
    static inline CRecorderWnd* s_parent = nullptr;
};

// A COM object answering IUnknown and Interfaces, counting its references;
// Extra answers further interfaces.
template <typename First, typename... Rest> class CFake : public First, public Rest... {
public:
    CFake() = default;
    CFake(const CFake&) = delete;
    CFake& operator=(const CFake&) = delete;

    STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
        *object = nullptr;
        if (iid == IID_IUnknown || iid == __uuidof(First)) {
            *object = static_cast<First*>(this);
        }
        ((!*object && iid == __uuidof(Rest) ? * object = static_cast<Rest*>(this) : nullptr), ...);
        if (!*object) {
            *object = Extra(iid);
        }
        if (!*object) {
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
    STDMETHODIMP_(ULONG) Release() override {
        const ULONG left = --refs;
        if (left == 0) {
            delete this;
        }
        return left;
    }

    ULONG refs = 1;

protected:
    virtual ~CFake() = default;
    virtual void* Extra(REFIID) { return nullptr; }
};

// A fake whose first interface derives from IDispatch and has no type information.
template <typename... Interfaces> class CFakeDispatch : public CFake<Interfaces...> {
public:
    STDMETHODIMP GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
};

// A page's frames collection as the view reads it: its length, and the
// windows of the frames given (an index beyond them cannot be read).
class CFakeFrames : public CFakeDispatch<IDispatch> {
public:
    explicit CFakeFrames(long count, const std::vector<com_ptr<IDispatch>>& windows = {}) : m_count(count) {
        for (const com_ptr<IDispatch>& window : windows) {
            m_windows.push_back(com_ptr<IDispatch>::copy_from(window.get()));
        }
    }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                        UINT*) override {
        if (!result) {
            return E_POINTER;
        }
        if (id == DISPID_IHTMLFRAMESCOLLECTION2_LENGTH && (flags & DISPATCH_PROPERTYGET)) {
            result->vt = VT_I4;
            result->lVal = m_count;
            return S_OK;
        }
        if (id == DISPID_IHTMLFRAMESCOLLECTION2_ITEM && params && params->cArgs == 1 &&
            params->rgvarg[0].vt == VT_I4 && params->rgvarg[0].lVal >= 0 &&
            static_cast<size_t>(params->rgvarg[0].lVal) < m_windows.size()) {
            result->vt = VT_DISPATCH;
            result->pdispVal =
                com_ptr<IDispatch>::copy_from(m_windows[params->rgvarg[0].lVal].get()).detach();
            return S_OK;
        }
        return DISP_E_MEMBERNOTFOUND;
    }

private:
    long m_count;
    std::vector<com_ptr<IDispatch>> m_windows;
};

// A script's window as the browser hands it out: its document alone.
class CFakeWindow : public CFakeDispatch<IDispatch> {
public:
    explicit CFakeWindow(IDispatch* document) : m_document(com_ptr<IDispatch>::copy_from(document)) {}
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                        UINT*) override {
        if (id != DISPID_IHTMLWINDOW2_DOCUMENT || !(flags & DISPATCH_PROPERTYGET) || !result) {
            return DISP_E_MEMBERNOTFOUND;
        }
        result->vt = VT_DISPATCH;
        result->pdispVal = com_ptr<IDispatch>::copy_from(m_document.get()).detach();
        return S_OK;
    }

private:
    com_ptr<IDispatch> m_document;
};

// An HTML document that gives its script object and, by its dispatch
// interface, its URL and frames. The view reaches IHTMLDocument2 in
// IHTMLDocument's slots alone, so this answers for it.
class CFakeDocument : public CFakeDispatch<IHTMLDocument> {
public:
    explicit CFakeDocument(IDispatch* script, std::wstring url = L"", long frames = 0)
        : url(std::move(url)), frames(frames), m_script(com_ptr<IDispatch>::copy_from(script)) {}

    std::wstring url;
    long frames;
    std::vector<com_ptr<IDispatch>> frameWindows; // the first frames' windows
    bool denied = false;                          // a foreign frame's document: nothing can be read

    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                        UINT*) override {
        if (denied) {
            return E_ACCESSDENIED;
        }
        if (!(flags & DISPATCH_PROPERTYGET) || !result) {
            return DISP_E_MEMBERNOTFOUND;
        }
        if (id == DISPID_IHTMLDOCUMENT2_URL) {
            result->vt = VT_BSTR;
            result->bstrVal = SysAllocStringLen(url.data(), static_cast<UINT>(url.size()));
            return S_OK;
        }
        if (id == DISPID_IHTMLDOCUMENT2_FRAMES) {
            result->vt = VT_DISPATCH;
            result->pdispVal = new CFakeFrames(frames, frameWindows);
            return S_OK;
        }
        return DISP_E_MEMBERNOTFOUND;
    }
    STDMETHODIMP get_Script(IDispatch** script) override {
        *script = com_ptr<IDispatch>::copy_from(m_script.get()).detach();
        return m_script ? S_OK : E_FAIL;
    }

protected:
    void* Extra(REFIID iid) override {
        return iid == __uuidof(IHTMLDocument2) ? static_cast<IHTMLDocument*>(this) : nullptr;
    }

private:
    com_ptr<IDispatch> m_script;
};

// A string argument the way a page passes it.
inline VARIANT Text(const std::wstring& text) {
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_BSTR;
    value.bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return value;
}

inline std::wstring FromBstr(BSTR text) {
    return text ? std::wstring(text, SysStringLen(text)) : std::wstring();
}

} // namespace browserhosttest
