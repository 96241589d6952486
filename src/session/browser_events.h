#pragma once
// The view's sink for the browser's DWebBrowserEvents2: passes on the one
// event the view uses, a completed document.
#include <oaidl.h>

#include <functional>
#include <utility>
#include <string>

class CBrowserEventSink : public IDispatch {
public:
    // The event's dispatch id in DWebBrowserEvents2.
    static constexpr DISPID kDocumentComplete = 259;
    using DocumentCompleteHandler = std::function<void(const std::wstring& url)>;

    explicit CBrowserEventSink(DocumentCompleteHandler onDocumentComplete)
        : m_onDocumentComplete(std::move(onDocumentComplete)) {}
    CBrowserEventSink(const CBrowserEventSink&) = delete;
    CBrowserEventSink& operator=(const CBrowserEventSink&) = delete;

    // Passes nothing on from now on.
    void Disconnect() { m_onDocumentComplete = nullptr; }

    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* exception, UINT* argError) override;

private:
    virtual ~CBrowserEventSink() = default;

    LONG m_refs = 1;
    DocumentCompleteHandler m_onDocumentComplete;
};
