#pragma once
// A view's automation object: the IDispatch the page reaches as
// window.external, whose members are the view's own.
#include <oaidl.h>

class CKivHtmlView;

class CViewAutomation : public IDispatch {
public:
    // view is borrowed until Disconnect.
    explicit CViewAutomation(CKivHtmlView& view) : m_view(&view) {}
    CViewAutomation(const CViewAutomation&) = delete;
    CViewAutomation& operator=(const CViewAutomation&) = delete;

    // The view is going: the page's later calls fail without reaching it.
    void Disconnect() { m_view = nullptr; }

    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* exception, UINT* argError) override;

private:
    virtual ~CViewAutomation() = default;

    LONG m_refs = 1;
    CKivHtmlView* m_view;
};
