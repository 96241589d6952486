#include "browser/browser_events.h"

#include "framework/ole_control_site.h"

namespace {

// An event argument's text, looking through a by-reference variant.
bool ArgumentText(VARIANT& argument, std::wstring& text) {
    VARIANT* value = &argument;
    if (value->vt == (VT_BYREF | VT_VARIANT) && value->pvarVal) {
        value = value->pvarVal;
    }
    unique_variant converted;
    if (FAILED(VariantChangeType(converted.get(), value, 0, VT_BSTR))) {
        return false;
    }
    text.assign(converted->bstrVal ? converted->bstrVal : L"", SysStringLen(converted->bstrVal));
    return true;
}

// The browser's by-reference Cancel flag, or null when it is not one.
VARIANT_BOOL* CancelFlag(VARIANT& argument) {
    return argument.vt == (VT_BYREF | VT_BOOL) ? argument.pboolVal : nullptr;
}

} // namespace

STDMETHODIMP CBrowserEventSink::GetTypeInfoCount(UINT* count) {
    if (!count) {
        return E_POINTER;
    }
    *count = 0;
    return S_OK;
}

STDMETHODIMP CBrowserEventSink::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info) {
        *info = nullptr;
    }
    return DISP_E_BADINDEX;
}

STDMETHODIMP CBrowserEventSink::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) {
    return E_NOTIMPL;
}

STDMETHODIMP CBrowserEventSink::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*,
                                       EXCEPINFO*, UINT* argError) {
    if (id != kDocumentComplete && id != kBeforeNavigate && id != kNewWindow) {
        return DISP_E_MEMBERNOTFOUND;
    }
    if (!params || !params->rgvarg) {
        return DISP_E_BADPARAMCOUNT;
    }
    // A handler may disconnect this sink while it runs.
    const auto hold = Hold();
    return ComGuard([&] {
        switch (id) {
        case kBeforeNavigate:
            return BeforeNavigate(*params, argError);
        case kNewWindow:
            return NewWindow(*params, argError);
        default:
            return DocumentComplete(*params, argError);
        }
    });
}

// (pDisp, URL), stored last first.
HRESULT CBrowserEventSink::DocumentComplete(DISPPARAMS& params, UINT* argError) {
    std::wstring url;
    if (params.cArgs != 2) {
        return DISP_E_BADPARAMCOUNT;
    }
    if (!ArgumentText(params.rgvarg[0], url)) {
        if (argError) {
            *argError = 0;
        }
        return DISP_E_TYPEMISMATCH;
    }
    if (auto handler = m_handlers.documentComplete) {
        handler(url);
    }
    return S_OK;
}

// (pDisp, URL, Flags, TargetFrameName, PostData, Headers, Cancel), stored last first.
HRESULT CBrowserEventSink::BeforeNavigate(DISPPARAMS& params, UINT* argError) {
    if (params.cArgs != 7) {
        return DISP_E_BADPARAMCOUNT;
    }
    VARIANT_BOOL* cancel = CancelFlag(params.rgvarg[0]);
    std::wstring url;
    const bool readable = ArgumentText(params.rgvarg[5], url);
    // A navigation that cannot be judged does not start.
    if (!readable || !cancel) {
        if (cancel) {
            *cancel = VARIANT_TRUE;
        }
        if (argError) {
            *argError = readable ? 0 : 5;
        }
        return DISP_E_TYPEMISMATCH;
    }
    VARIANT& frame = params.rgvarg[6];
    IDispatch* navigating = frame.vt == VT_DISPATCH ? frame.pdispVal : nullptr;
    if (auto handler = m_handlers.beforeNavigate) {
        if (handler(navigating, url)) {
            *cancel = VARIANT_TRUE;
        }
    }
    return S_OK;
}

// (ppDisp, Cancel, dwFlags, bstrUrlContext, bstrUrl), stored last first.
HRESULT CBrowserEventSink::NewWindow(DISPPARAMS& params, UINT* argError) {
    if (params.cArgs != 5) {
        return DISP_E_BADPARAMCOUNT;
    }
    VARIANT_BOOL* cancel = CancelFlag(params.rgvarg[3]);
    std::wstring url;
    const bool readable = ArgumentText(params.rgvarg[0], url);
    if (!readable || !cancel) {
        if (cancel) {
            *cancel = VARIANT_TRUE;
        }
        if (argError) {
            *argError = readable ? 3 : 0;
        }
        return DISP_E_TYPEMISMATCH;
    }
    if (auto handler = m_handlers.newWindow) {
        if (handler(url)) {
            *cancel = VARIANT_TRUE;
        }
    }
    return S_OK;
}
