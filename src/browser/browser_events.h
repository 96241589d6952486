#pragma once
// The view's sink for the browser's DWebBrowserEvents2: passes on the events
// the view uses, a navigation about to start, a page asking for a new window
// and a completed document.
#include "framework/com.h"

#include <exdisp.h>
#include <oaidl.h>

#include <functional>
#include <string>
#include <utility>

struct CBrowserEventHandlers {
    std::function<void(const std::wstring& url)> documentComplete;
    // frame: the browser or frame that navigates, borrowed for the call. True cancels.
    std::function<bool(IDispatch* frame, const std::wstring& url)> beforeNavigate;
    // True cancels the new window.
    std::function<bool(const std::wstring& url)> newWindow;
};

template <> struct com_parents<DWebBrowserEvents2> {
    using type = com_interface_list<IDispatch>;
};

class CBrowserEventSink : public com_object<DWebBrowserEvents2> {
public:
    // The events' dispatch ids in DWebBrowserEvents2.
    static constexpr DISPID kBeforeNavigate = 250;
    static constexpr DISPID kDocumentComplete = 259;
    static constexpr DISPID kNewWindow = 273;

    explicit CBrowserEventSink(CBrowserEventHandlers handlers) : m_handlers(std::move(handlers)) {}

    // Passes nothing on from now on.
    void Disconnect() { m_handlers = {}; }

    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* exception, UINT* argError) override;

private:
    ~CBrowserEventSink() override = default;

    HRESULT DocumentComplete(DISPPARAMS& params, UINT* argError);
    HRESULT BeforeNavigate(DISPPARAMS& params, UINT* argError);
    HRESULT NewWindow(DISPPARAMS& params, UINT* argError);

    CBrowserEventHandlers m_handlers;
};
