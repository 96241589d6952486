#include "browser/doc_host_site.h"

#include "browser/browser_guids.h"
#include "browser/kiv_html_view.h"

#include <cstring>

namespace {

// URL actions the program's pages need: ActiveX controls and scripting.
constexpr DWORD kActiveXFirst = 0x1200;
constexpr DWORD kActiveXLast = 0x13FF;
constexpr DWORD kScriptFirst = 0x1400;
constexpr DWORD kScriptLast = 0x15FF;

bool IsAllowedAction(DWORD action) {
    return (action >= kActiveXFirst && action <= kActiveXLast) ||
           (action >= kScriptFirst && action <= kScriptLast);
}

template <typename T> void ClearOut(T** out) {
    if (out) {
        *out = nullptr;
    }
}

} // namespace

CDocHostSite::CDocHostSite(CKivHtmlView& view) : CDocHostSiteBase(view.GetSafeHwnd()), m_view(&view) {}

void CDocHostSite::Detach() {
    COleControlSite::Detach();
    m_view = nullptr;
}

STDMETHODIMP CDocHostSite::ShowContextMenu(DWORD id, POINT* point, IUnknown* commandTarget,
                                           IDispatch* object) {
    if (!m_view) {
        return E_UNEXPECTED;
    }
    return ComGuard([&] { return m_view->OnShowContextMenu(id, point, commandTarget, object); });
}

STDMETHODIMP CDocHostSite::GetHostInfo(DOCHOSTUIINFO* info) {
    if (!m_view) {
        return E_UNEXPECTED;
    }
    return ComGuard([&] { return m_view->OnGetHostInfo(info); });
}

STDMETHODIMP CDocHostSite::ShowUI(DWORD id, IOleInPlaceActiveObject* active, IOleCommandTarget* target,
                                  IOleInPlaceFrame* frame, IOleInPlaceUIWindow* document) {
    if (!m_view) {
        return E_UNEXPECTED;
    }
    return ComGuard([&] { return m_view->OnShowUI(id, active, target, frame, document); });
}

STDMETHODIMP CDocHostSite::HideUI() {
    if (!m_view) {
        return E_UNEXPECTED;
    }
    return ComGuard([&] { return m_view->OnHideUI(); });
}

STDMETHODIMP CDocHostSite::UpdateUI() {
    if (!m_view) {
        return E_UNEXPECTED;
    }
    return ComGuard([&] { return m_view->OnUpdateUI(); });
}

STDMETHODIMP CDocHostSite::EnableModeless(BOOL enable) {
    if (!m_view) {
        return E_UNEXPECTED;
    }
    return ComGuard([&] { return m_view->OnEnableModeless(enable); });
}

STDMETHODIMP CDocHostSite::OnDocWindowActivate(BOOL activate) {
    if (!m_view) {
        return E_UNEXPECTED;
    }
    return ComGuard([&] { return m_view->OnDocWindowActivate(activate); });
}

STDMETHODIMP CDocHostSite::OnFrameWindowActivate(BOOL activate) {
    if (!m_view) {
        return E_UNEXPECTED;
    }
    return ComGuard([&] { return m_view->OnFrameWindowActivate(activate); });
}

STDMETHODIMP CDocHostSite::ResizeBorder(LPCRECT border, IOleInPlaceUIWindow* window, BOOL frameWindow) {
    if (!m_view) {
        return E_UNEXPECTED;
    }
    return ComGuard([&] { return m_view->OnResizeBorder(border, window, frameWindow); });
}

STDMETHODIMP CDocHostSite::TranslateAccelerator(LPMSG, const GUID*, DWORD) {
    // The browser handles its own keys.
    return E_NOTIMPL;
}

STDMETHODIMP CDocHostSite::GetOptionKeyPath(LPOLESTR* key, DWORD reserved) {
    ClearOut(key);
    if (!m_view) {
        return E_UNEXPECTED;
    }
    return ComGuard([&] { return m_view->OnGetOptionKeyPath(key, reserved); });
}

STDMETHODIMP CDocHostSite::GetDropTarget(IDropTarget* dropTarget, IDropTarget** result) {
    ClearOut(result);
    if (!m_view) {
        return E_UNEXPECTED;
    }
    return ComGuard([&] { return m_view->OnGetDropTarget(dropTarget, result); });
}

STDMETHODIMP CDocHostSite::GetExternal(IDispatch** external) {
    ClearOut(external);
    if (!m_view) {
        return E_UNEXPECTED;
    }
    return ComGuard([&] { return m_view->OnGetExternal(external); });
}

STDMETHODIMP CDocHostSite::TranslateUrl(DWORD translate, LPWSTR url, LPWSTR* result) {
    ClearOut(result);
    if (!m_view) {
        return E_UNEXPECTED;
    }
    return ComGuard([&] { return m_view->OnTranslateUrl(translate, url, result); });
}

STDMETHODIMP CDocHostSite::FilterDataObject(IDataObject* data, IDataObject** result) {
    ClearOut(result);
    if (!m_view) {
        return E_UNEXPECTED;
    }
    return ComGuard([&] { return m_view->OnFilterDataObject(data, result); });
}

STDMETHODIMP CDocHostSite::ShowMessage(HWND, LPOLESTR, LPOLESTR, DWORD, LPOLESTR, DWORD, LRESULT*) {
    return E_NOTIMPL;
}

STDMETHODIMP CDocHostSite::ShowHelp(HWND, LPOLESTR, UINT, DWORD, POINT, IDispatch*) {
    return E_NOTIMPL;
}

STDMETHODIMP CDocHostSite::QueryStatus(const GUID*, ULONG, OLECMD*, OLECMDTEXT*) {
    return OLECMDERR_E_NOTSUPPORTED;
}

STDMETHODIMP CDocHostSite::Exec(const GUID* group, DWORD command, DWORD, VARIANT*, VARIANT* out) {
    if (!group || *group != kCgidDocHostCommandHandler || command != kShowScriptError) {
        return E_NOTIMPL;
    }
    if (!m_view) {
        return E_UNEXPECTED;
    }
    return ComGuard([&] { return m_view->OnScriptError(out); });
}

STDMETHODIMP CDocHostSite::QueryService(REFGUID service, REFIID iid, void** object) {
    if (!object) {
        return E_POINTER;
    }
    // SID_SInternetSecurityManager is the interface's own identifier.
    if (service != IID_IInternetSecurityManager || iid != IID_IInternetSecurityManager) {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    *object = static_cast<IInternetSecurityManager*>(this);
    AddRef();
    return S_OK;
}

STDMETHODIMP CDocHostSite::SetSecuritySite(IInternetSecurityMgrSite*) {
    return INET_E_DEFAULT_ACTION;
}

STDMETHODIMP CDocHostSite::GetSecuritySite(IInternetSecurityMgrSite** site) {
    ClearOut(site);
    return INET_E_DEFAULT_ACTION;
}

STDMETHODIMP CDocHostSite::MapUrlToZone(LPCWSTR, DWORD*, DWORD) {
    return INET_E_DEFAULT_ACTION;
}

STDMETHODIMP CDocHostSite::GetSecurityId(LPCWSTR, BYTE*, DWORD*, DWORD_PTR) {
    return INET_E_DEFAULT_ACTION;
}

STDMETHODIMP CDocHostSite::ProcessUrlAction(LPCWSTR url, DWORD action, BYTE* policy, DWORD policySize, BYTE*,
                                            DWORD, DWORD, DWORD) {
    // Another site's page gets what the zones give it, never more.
    if (!IsAllowedAction(action) || !url || !m_view) {
        return INET_E_DEFAULT_ACTION;
    }
    bool trusted = false;
    if (FAILED(ComGuard([&] {
            trusted = m_view->IsTrustedUrl(url);
            return S_OK;
        })) ||
        !trusted) {
        return INET_E_DEFAULT_ACTION;
    }
    const DWORD allow = URLPOLICY_ALLOW;
    // A buffer too small for the policy (or none at all) is never written.
    if (!policy || policySize < sizeof(allow)) {
        return S_FALSE;
    }
    std::memcpy(policy, &allow, sizeof(allow));
    return S_OK;
}

STDMETHODIMP CDocHostSite::QueryCustomPolicy(LPCWSTR, REFGUID, BYTE** policy, DWORD*, BYTE*, DWORD, DWORD) {
    ClearOut(policy);
    return INET_E_DEFAULT_ACTION;
}

STDMETHODIMP CDocHostSite::SetZoneMapping(DWORD, LPCWSTR, DWORD) {
    return INET_E_DEFAULT_ACTION;
}

STDMETHODIMP CDocHostSite::GetZoneMappings(DWORD, IEnumString** patterns, DWORD) {
    ClearOut(patterns);
    return INET_E_DEFAULT_ACTION;
}
