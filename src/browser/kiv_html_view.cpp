#include "browser/kiv_html_view.h"

#include "browser/browser_events.h"
#include "browser/doc_host_site.h"
#include "browser/page_caller.h"
#include "browser/view_automation.h"
#include "framework/application.h"

#include <mshtmhst.h>
#include <shellapi.h>

namespace {

constexpr wchar_t kNoDocumentText[] = L"Failed to get HTML document COM object";
constexpr wchar_t kFallbackCaption[] = L"Velmarin";

} // namespace

std::wstring ViewErrorCaption() {
    const CApplication* app = AppInstance();
    return app ? app->GetName() : kFallbackCaption;
}

CKivHtmlView::CKivHtmlView() {
    m_automation = make_com<CViewAutomation>(*this);
}

CKivHtmlView::~CKivHtmlView() {
    // Here, while this class's OnDestroy is still the one the window reaches.
    if (m_hWnd && IsWindow(m_hWnd)) {
        DestroyWindow(m_hWnd);
    }
    if (m_automation) {
        m_automation->Disconnect();
    }
}

bool CKivHtmlView::Create(DWORD style, const RECT& rect, HWND parent, int id) {
    return COleControlWnd::Create(CLSID_WebBrowser, style, rect, parent, id);
}

bool CKivHtmlView::Navigate(const std::wstring& url) {
    if (!m_browser) {
        return false;
    }
    unique_bstr target = MakeBstr(url);
    if (!target) {
        return false;
    }
    unique_variant empty;
    return SUCCEEDED(m_browser->Navigate(target.get(), empty.get(), empty.get(), empty.get(), empty.get()));
}

void CKivHtmlView::PreCreateWindow(DWORD& style, DWORD& exStyle) {
    style |= WS_CLIPSIBLINGS;
    if (m_viewMode) {
        exStyle |= WS_EX_CLIENTEDGE;
    }
}

com_ptr<COleControlSite> CKivHtmlView::CreateControlSite() {
    return make_com<CDocHostSite>(*this);
}

bool CKivHtmlView::OnControlCreated() {
    IOleObject* control = GetControl();
    if (!control ||
        FAILED(control->QueryInterface(IID_IWebBrowser2, reinterpret_cast<void**>(m_browser.put())))) {
        return false;
    }
    // Without the events the view would never hold a document.
    com_ptr<IConnectionPointContainer> points;
    if (FAILED(
            control->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(points.put()))) ||
        FAILED(points->FindConnectionPoint(DIID_DWebBrowserEvents2, m_eventPoint.put())) || !m_eventPoint) {
        return false;
    }
    CBrowserEventHandlers handlers;
    handlers.documentComplete = [this](const std::wstring& url) { OnDocumentComplete(url); };
    handlers.beforeNavigate = [this](IDispatch* frame, const std::wstring& url) {
        return OnBeforeNavigate(frame, url);
    };
    handlers.newWindow = [this](const std::wstring& url) { return OnNewWindow(url); };
    m_events = make_com<CBrowserEventSink>(std::move(handlers));
    if (!m_events || FAILED(m_eventPoint->Advise(m_events.get(), &m_eventCookie))) {
        m_eventCookie = 0;
        return false;
    }
    return true;
}

void CKivHtmlView::DisconnectEvents() {
    if (m_events) {
        m_events->Disconnect();
    }
    if (m_eventPoint && m_eventCookie) {
        m_eventPoint->Unadvise(m_eventCookie);
    }
    m_eventCookie = 0;
    m_eventPoint.reset();
    m_events.reset();
}

void CKivHtmlView::OnDestroy() {
    DisconnectEvents();
    m_document.reset();
    m_browser.reset();
    COleControlWnd::OnDestroy();
}

RECT CKivHtmlView::ControlRect() const {
    RECT rect{};
    GetClientRect(m_hWnd, &rect);
    AdjustWindowRectEx(&rect, static_cast<DWORD>(GetWindowLongPtrW(m_hWnd, GWL_STYLE)), FALSE,
                       WS_EX_CLIENTEDGE);
    return rect;
}

HRESULT CKivHtmlView::OnShowContextMenu(DWORD id, POINT* point, IUnknown* commandTarget, IDispatch* object) {
    switch (m_contextMenuMode) {
    case kMenuNone:
        return S_OK;
    case kMenuBrowserOverFormsAndText:
        return id == CONTEXT_MENU_CONTROL || id == CONTEXT_MENU_TEXTSELECT ? S_FALSE : S_OK;
    case kMenuOwn:
        return OnOwnContextMenu(id, point, commandTarget, object);
    default:
        return S_FALSE;
    }
}

HRESULT CKivHtmlView::OnGetHostInfo(DOCHOSTUIINFO* info) {
    if (!info) {
        return E_POINTER;
    }
    info->dwFlags = m_hostFlags;
    info->dwDoubleClick = DOCHOSTUIDBLCLK_DEFAULT;
    return S_OK;
}

HRESULT CKivHtmlView::OnShowUI(DWORD, IOleInPlaceActiveObject*, IOleCommandTarget*, IOleInPlaceFrame*,
                               IOleInPlaceUIWindow*) {
    return S_FALSE;
}

HRESULT CKivHtmlView::OnHideUI() {
    return S_OK;
}

HRESULT CKivHtmlView::OnUpdateUI() {
    return S_OK;
}

HRESULT CKivHtmlView::OnEnableModeless(BOOL) {
    return S_OK;
}

HRESULT CKivHtmlView::OnDocWindowActivate(BOOL) {
    return E_NOTIMPL;
}

HRESULT CKivHtmlView::OnFrameWindowActivate(BOOL) {
    return E_NOTIMPL;
}

HRESULT CKivHtmlView::OnResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) {
    return E_NOTIMPL;
}

HRESULT CKivHtmlView::OnGetOptionKeyPath(LPOLESTR*, DWORD) {
    return E_NOTIMPL;
}

HRESULT CKivHtmlView::OnGetDropTarget(IDropTarget*, IDropTarget**) {
    return E_NOTIMPL;
}

HRESULT CKivHtmlView::OnGetExternal(IDispatch** external) {
    if (!external) {
        return E_POINTER;
    }
    if (!m_automation) {
        return E_OUTOFMEMORY;
    }
    return CopyComOut(static_cast<IDispatch*>(m_automation.get()), external);
}

HRESULT CKivHtmlView::OnTranslateUrl(DWORD, LPWSTR, LPWSTR*) {
    return S_FALSE;
}

HRESULT CKivHtmlView::OnFilterDataObject(IDataObject*, IDataObject**) {
    return S_FALSE;
}

HRESULT CKivHtmlView::OnOwnContextMenu(DWORD, POINT*, IUnknown*, IDispatch*) {
    return S_OK;
}

HRESULT CKivHtmlView::OnScriptError(VARIANT* out) {
    if (m_scriptErrorsShown) {
        return E_NOTIMPL;
    }
    // Without this the browser stops the page's scripts after the error.
    if (out) {
        VariantClear(out);
        out->vt = VT_BOOL;
        out->boolVal = VARIANT_TRUE;
    }
    return S_OK;
}

DISPID CKivHtmlView::GetAutomationId(const std::wstring&) {
    return DISPID_UNKNOWN;
}

HRESULT CKivHtmlView::InvokeAutomation(DISPID, WORD, DISPPARAMS*, VARIANT*, UINT*) {
    return DISP_E_MEMBERNOTFOUND;
}

void CKivHtmlView::SetTrustedOrigin(const std::wstring& url) {
    m_trustedOrigin = {};
    ParseWebOrigin(url, m_trustedOrigin);
}

bool CKivHtmlView::IsTrustedUrl(const std::wstring& url) const {
    return IsSameOrigin(url, m_trustedOrigin);
}

bool CKivHtmlView::OnBeforeNavigate(IDispatch* frame, const std::wstring& url) {
    // A frame may show another site's page: it gets no trust there. The view
    // itself only ever shows the trusted origin.
    const bool topLevel = !frame || !m_browser ||
                          com_ptr<IDispatch>::copy_from(frame).query<IUnknown>().get() ==
                              com_ptr<IWebBrowser2>::copy_from(m_browser.get()).query<IUnknown>().get();
    if (!topLevel || IsTrustedUrl(url)) {
        return false;
    }
    OpenInDefaultBrowser(url);
    return true;
}

bool CKivHtmlView::OnNewWindow(const std::wstring& url) {
    // A window of the system's browser would be no view of ours at all.
    OpenInDefaultBrowser(url);
    return true;
}

bool CKivHtmlView::IsTrustedCaller(IServiceProvider* caller) {
    std::wstring url;
    if (com_ptr<IDispatch> window = CallerWindow(caller)) {
        return WindowDocumentUrl(window.get(), url) && IsTrustedUrl(url);
    }
    // A call naming no caller may come from any frame: all of them must be the server's.
    return m_document && DocumentUrl(m_document.get(), url) && IsTrustedUrl(url) &&
           FramesAllOf(m_document.get(),
                       [this](const std::wstring& frameUrl) { return IsTrustedUrl(frameUrl); });
}

void CKivHtmlView::OpenInDefaultBrowser(const std::wstring& url) {
    CWebOrigin origin;
    if (ParseWebOrigin(url, origin)) {
        ShellOpen(url);
    }
}

void CKivHtmlView::ShellOpen(const std::wstring& url) {
    ShellExecuteW(nullptr, L"open", url.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void CKivHtmlView::OnDocumentComplete(const std::wstring&) {
    com_ptr<IDispatch> document;
    if (m_browser) {
        m_browser->get_Document(document.put());
    }
    SetDocument(document.get());
}

bool CKivHtmlView::SetDocument(IUnknown* document) {
    m_document.reset();
    if (document) {
        document->QueryInterface(IID_IHTMLDocument2, reinterpret_cast<void**>(m_document.put()));
    }
    if (!m_document) {
        ShowError(kNoDocumentText);
        return false;
    }
    return true;
}

void CKivHtmlView::ShowError(const std::wstring& text) {
    MessageBoxW(m_hWnd, text.c_str(), ViewErrorCaption().c_str(), MB_OK | MB_ICONERROR);
}
