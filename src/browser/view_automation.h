#pragma once
// A view's automation object: the IDispatch the page reaches as
// window.external, whose members are the view's own. It answers only a
// caller the view trusts; IDispatchEx lets the script engine name the caller.
#include "framework/com.h"

#include <dispex.h>

class CKivHtmlView;

template <> struct com_parents<IDispatchEx> {
    using type = com_interface_list<IDispatch>;
};

class CViewAutomation : public com_object<IDispatchEx> {
public:
    // view is borrowed until Disconnect.
    explicit CViewAutomation(CKivHtmlView& view) : m_view(&view) {}

    // The view is going: the page's later calls fail without reaching it.
    void Disconnect() { m_view = nullptr; }

    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* exception, UINT* argError) override;

    // IDispatchEx: names and calls as above; the members cannot be listed or changed.
    STDMETHODIMP GetDispID(BSTR name, DWORD flags, DISPID* id) override;
    STDMETHODIMP InvokeEx(DISPID id, LCID locale, WORD flags, DISPPARAMS* params, VARIANT* result,
                          EXCEPINFO* exception, IServiceProvider* caller) override;
    STDMETHODIMP DeleteMemberByName(BSTR name, DWORD flags) override;
    STDMETHODIMP DeleteMemberByDispID(DISPID id) override;
    STDMETHODIMP GetMemberProperties(DISPID id, DWORD fetch, DWORD* properties) override;
    STDMETHODIMP GetMemberName(DISPID id, BSTR* name) override;
    STDMETHODIMP GetNextDispID(DWORD flags, DISPID id, DISPID* next) override;
    STDMETHODIMP GetNameSpaceParent(IUnknown** parent) override;

private:
    // caller: the caller's service provider, null when the call names none.
    HRESULT InvokeFrom(IServiceProvider* caller, DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result,
                       UINT* argError);

    ~CViewAutomation() override = default;

    CKivHtmlView* m_view;
};
