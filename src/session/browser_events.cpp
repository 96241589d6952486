#include "session/browser_events.h"

#include "framework/ole_control_site.h"

#include <exdisp.h>

STDMETHODIMP CBrowserEventSink::QueryInterface(REFIID iid, void** object) {
    if (!object)
        return E_POINTER;
    if (iid != IID_IUnknown && iid != IID_IDispatch && iid != DIID_DWebBrowserEvents2) {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    *object = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) CBrowserEventSink::AddRef() {
    return static_cast<ULONG>(InterlockedIncrement(&m_refs));
}

STDMETHODIMP_(ULONG) CBrowserEventSink::Release() {
    const LONG refs = InterlockedDecrement(&m_refs);
    if (refs == 0)
        delete this;
    return static_cast<ULONG>(refs);
}

STDMETHODIMP CBrowserEventSink::GetTypeInfoCount(UINT* count) {
    if (!count)
        return E_POINTER;
    *count = 0;
    return S_OK;
}

STDMETHODIMP CBrowserEventSink::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info)
        *info = nullptr;
    return DISP_E_BADINDEX;
}

STDMETHODIMP CBrowserEventSink::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) {
    return E_NOTIMPL;
}

STDMETHODIMP CBrowserEventSink::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*,
                                       EXCEPINFO*, UINT* argError) {
    if (id != kDocumentComplete)
        return DISP_E_MEMBERNOTFOUND;
    // (pDisp, URL), stored last first.
    if (!params || params->cArgs != 2 || !params->rgvarg)
        return DISP_E_BADPARAMCOUNT;
    VARIANT* url = &params->rgvarg[0];
    if (url->vt == (VT_BYREF | VT_VARIANT) && url->pvarVal)
        url = url->pvarVal;
    VARIANT text;
    VariantInit(&text);
    if (FAILED(VariantChangeType(&text, url, 0, VT_BSTR))) {
        if (argError)
            *argError = 0;
        return DISP_E_TYPEMISMATCH;
    }
    AddRef();
    const HRESULT hr = ComGuard([&] {
        // A copy: the handler may disconnect this sink while it runs.
        if (DocumentCompleteHandler handler = m_onDocumentComplete)
            handler(std::wstring(text.bstrVal ? text.bstrVal : L"", SysStringLen(text.bstrVal)));
        return S_OK;
    });
    VariantClear(&text);
    Release();
    return hr;
}
