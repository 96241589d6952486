#include "browser/view_automation.h"

#include "browser/kiv_html_view.h"
#include "framework/ole_control_site.h"

STDMETHODIMP CViewAutomation::GetTypeInfoCount(UINT* count) {
    if (!count) {
        return E_POINTER;
    }
    *count = 0;
    return S_OK;
}

STDMETHODIMP CViewAutomation::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info) {
        *info = nullptr;
    }
    return DISP_E_BADINDEX;
}

STDMETHODIMP CViewAutomation::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    if (iid != IID_NULL) {
        return DISP_E_UNKNOWNINTERFACE;
    }
    if (!names || !ids || count == 0) {
        return E_INVALIDARG;
    }
    return ComGuard([&] {
        // Only the member is named; the members here take no named arguments.
        ids[0] = m_view && names[0] ? m_view->GetAutomationId(names[0]) : DISPID_UNKNOWN;
        for (UINT i = 1; i < count; ++i) {
            ids[i] = DISPID_UNKNOWN;
        }
        return ids[0] != DISPID_UNKNOWN && count == 1 ? S_OK : DISP_E_UNKNOWNNAME;
    });
}

STDMETHODIMP CViewAutomation::Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO*, UINT* argError) {
    if (iid != IID_NULL) {
        return DISP_E_UNKNOWNINTERFACE;
    }
    return InvokeFrom(nullptr, id, flags, params, result, argError);
}

STDMETHODIMP CViewAutomation::InvokeEx(DISPID id, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                       EXCEPINFO*, IServiceProvider* caller) {
    return InvokeFrom(caller, id, flags, params, result, nullptr);
}

HRESULT CViewAutomation::InvokeFrom(IServiceProvider* caller, DISPID id, WORD flags, DISPPARAMS* params,
                                    VARIANT* result, UINT* argError) {
    if (!params) {
        return E_INVALIDARG;
    }
    if (!m_view) {
        return E_UNEXPECTED;
    }
    if (result) {
        VariantInit(result);
    }
    // The view may go during the call; this object stays until it returns.
    const auto hold = Hold();
    return ComGuard([&] {
        if (!m_view->IsTrustedCaller(caller)) {
            return E_ACCESSDENIED;
        }
        return m_view ? m_view->InvokeAutomation(id, flags, params, result, argError) : E_UNEXPECTED;
    });
}

STDMETHODIMP CViewAutomation::GetDispID(BSTR name, DWORD, DISPID* id) {
    LPOLESTR names[] = {name};
    return GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, id);
}

STDMETHODIMP CViewAutomation::DeleteMemberByName(BSTR, DWORD) {
    return S_FALSE;
}

STDMETHODIMP CViewAutomation::DeleteMemberByDispID(DISPID) {
    return S_FALSE;
}

STDMETHODIMP CViewAutomation::GetMemberProperties(DISPID, DWORD, DWORD*) {
    return E_NOTIMPL;
}

STDMETHODIMP CViewAutomation::GetMemberName(DISPID, BSTR* name) {
    if (name) {
        *name = nullptr;
    }
    return E_NOTIMPL;
}

STDMETHODIMP CViewAutomation::GetNextDispID(DWORD, DISPID, DISPID* next) {
    if (next) {
        *next = DISPID_UNKNOWN;
    }
    return S_FALSE;
}

STDMETHODIMP CViewAutomation::GetNameSpaceParent(IUnknown** parent) {
    if (parent) {
        *parent = nullptr;
    }
    return E_NOTIMPL;
}
