#pragma once
// The web view: a child window hosting the system's web browser control,
// whose host interfaces CDocHostSite answers by calling back into the view.
#include "framework/com.h"
#include "framework/ole_control_wnd.h"
#include "protocol/web_origin.h"

#include <exdisp.h>
#include <mshtmhst.h>
#include <mshtml.h>

#include <string>

class CBrowserEventSink;
class CViewAutomation;

class CKivHtmlView : public COleControlWnd {
public:
    // Which context menu a right click in the page gets.
    enum : int {
        kMenuNone = 0,
        kMenuBrowser = 1,
        kMenuBrowserOverFormsAndText = 2, // only over form controls and selected text
        kMenuOwn = 3,
    };
    // No 3-D border, no scroll bars, themed controls.
    static constexpr DWORD kDefaultHostFlags =
        DOCHOSTUIFLAG_NO3DBORDER | DOCHOSTUIFLAG_SCROLL_NO | DOCHOSTUIFLAG_THEME;

    CKivHtmlView();
    ~CKivHtmlView() override;

    // Creates the view as a child window of parent with the browser in it;
    // false, leaving no window, when the window or the browser cannot be made.
    bool Create(DWORD style, const RECT& rect, HWND parent, int id);
    // Starts a navigation of the browser; false when it did not start.
    bool Navigate(const std::wstring& url);

    int GetContextMenuMode() const { return m_contextMenuMode; }
    void SetContextMenuMode(int mode) { m_contextMenuMode = mode; }
    DWORD GetHostFlags() const { return m_hostFlags; }
    void SetHostFlags(DWORD flags) { m_hostFlags = flags; }
    // True: a document view with a client edge; false: a plain child control of a dialog.
    bool GetViewMode() const { return m_viewMode; }
    void SetViewMode(bool viewMode) { m_viewMode = viewMode; }
    // False keeps the browser's script-error dialog away.
    bool GetScriptErrorsShown() const { return m_scriptErrorsShown; }
    void SetScriptErrorsShown(bool shown) { m_scriptErrorsShown = shown; }

    // The one origin (of the server's base URL) whose pages get the bridge and
    // the permissive URL actions; pages of any other origin get neither, and
    // the view does not go there itself. Until set, or when url is no http(s)
    // URL, no page is trusted.
    void SetTrustedOrigin(const std::wstring& url);
    bool IsTrustedUrl(const std::wstring& url) const;

    // Borrowed; null until a navigation has completed with a document.
    IHTMLDocument2* GetDocument() const { return m_document.get(); }
    // Borrowed; null before Create and after the window has gone.
    IWebBrowser2* GetBrowser() const { return m_browser.get(); }

protected:
    friend class CDocHostSite;
    friend class CViewAutomation;

    // The browser host's callbacks (IDocHostUIHandler), reached through CDocHostSite.
    virtual HRESULT OnShowContextMenu(DWORD id, POINT* point, IUnknown* commandTarget, IDispatch* object);
    virtual HRESULT OnGetHostInfo(DOCHOSTUIINFO* info);
    virtual HRESULT OnShowUI(DWORD id, IOleInPlaceActiveObject* active, IOleCommandTarget* target,
                             IOleInPlaceFrame* frame, IOleInPlaceUIWindow* document);
    virtual HRESULT OnHideUI();
    virtual HRESULT OnUpdateUI();
    virtual HRESULT OnEnableModeless(BOOL enable);
    virtual HRESULT OnDocWindowActivate(BOOL activate);
    virtual HRESULT OnFrameWindowActivate(BOOL activate);
    virtual HRESULT OnResizeBorder(LPCRECT border, IOleInPlaceUIWindow* window, BOOL frameWindow);
    virtual HRESULT OnGetOptionKeyPath(LPOLESTR* key, DWORD reserved);
    virtual HRESULT OnGetDropTarget(IDropTarget* dropTarget, IDropTarget** result);
    virtual HRESULT OnGetExternal(IDispatch** external);
    virtual HRESULT OnTranslateUrl(DWORD translate, LPWSTR url, LPWSTR* result);
    virtual HRESULT OnFilterDataObject(IDataObject* data, IDataObject** result);

    // The menu of mode kMenuOwn; S_OK reports it handled. This view shows none.
    virtual HRESULT OnOwnContextMenu(DWORD id, POINT* point, IUnknown* commandTarget, IDispatch* object);
    // The browser's request to show a script error; S_OK means no dialog.
    // out receives whether the page's scripts go on running.
    virtual HRESULT OnScriptError(VARIANT* out);

    // The members of the view's automation object, the page's window.external:
    // none here. InvokeAutomation gets the arguments last first, as DISPPARAMS has them.
    virtual DISPID GetAutomationId(const std::wstring& name);
    virtual HRESULT InvokeAutomation(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     UINT* argError);

    // A completed navigation of the page or one of its frames.
    virtual void OnDocumentComplete(const std::wstring& url);
    // A navigation of the browser or of one of its frames about to start; true cancels it.
    virtual bool OnBeforeNavigate(IDispatch* frame, const std::wstring& url);
    // The page asks for a new window; true cancels it.
    virtual bool OnNewWindow(const std::wstring& url);
    // Whether the bridge answers a call: the calling document, named by the
    // caller's service provider, must be of the trusted origin. A call that
    // names none is taken as the top document's, when every frame in it is of
    // that origin too.
    virtual bool IsTrustedCaller(IServiceProvider* caller);
    // Hands an http or https URL to the user's default browser; anything else is dropped.
    void OpenInDefaultBrowser(const std::wstring& url);
    // The shell's "open"; tests replace it.
    virtual void ShellOpen(const std::wstring& url);
    // Holds document's IHTMLDocument2 as the view's document, dropping the one
    // before; without that interface shows the error and holds none.
    bool SetDocument(IUnknown* document);
    // The view's error box; tests replace it.
    virtual void ShowError(const std::wstring& text);

    void PreCreateWindow(DWORD& style, DWORD& exStyle) override;
    com_ptr<COleControlSite> CreateControlSite() override;
    bool OnControlCreated() override;
    // The client area enlarged by a client edge on each side, which hides the browser's own border.
    RECT ControlRect() const override;
    void OnDestroy() override;

private:
    void DisconnectEvents();

    int m_contextMenuMode = kMenuBrowser;
    DWORD m_hostFlags = kDefaultHostFlags;
    bool m_viewMode = true;
    bool m_scriptErrorsShown = true;
    CWebOrigin m_trustedOrigin;             // empty host: nothing trusted
    com_ptr<IHTMLDocument2> m_document;     // the page loaded last
    com_ptr<IWebBrowser2> m_browser;        // the hosted control, while the window lives
    com_ptr<CViewAutomation> m_automation;  // window.external; cut from the view when it goes
    com_ptr<CBrowserEventSink> m_events;    // advised to m_eventPoint
    com_ptr<IConnectionPoint> m_eventPoint; // the browser's DWebBrowserEvents2
    DWORD m_eventCookie = 0;
};

// The caption of the view's error boxes: the program's name.
std::wstring ViewErrorCaption();
