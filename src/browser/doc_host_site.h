#pragma once
// The web view's control site: besides the container's own interfaces it
// answers the browser's host interfaces, handing most of them to the view.
#include "framework/ole_control_site.h"

#include <docobj.h>
#include <mshtmhst.h>
#include <servprov.h>
#include <urlmon.h>

class CKivHtmlView;

using CDocHostSiteBase = com_object_more<COleControlSite, IDocHostUIHandler, IDocHostShowUI,
                                         IOleCommandTarget, IServiceProvider, IInternetSecurityManager>;

class CDocHostSite : public CDocHostSiteBase {
public:
    // The browser's command asking the host to show a script error.
    static constexpr DWORD kShowScriptError = OLECMDID_SHOWSCRIPTERROR;

    // view is borrowed until Detach.
    explicit CDocHostSite(CKivHtmlView& view);

    // Also forgets the view: later calls of the browser answer with errors.
    void Detach() override;

    // IDocHostUIHandler
    STDMETHODIMP ShowContextMenu(DWORD id, POINT* point, IUnknown* commandTarget, IDispatch* object) override;
    STDMETHODIMP GetHostInfo(DOCHOSTUIINFO* info) override;
    STDMETHODIMP ShowUI(DWORD id, IOleInPlaceActiveObject* active, IOleCommandTarget* target,
                        IOleInPlaceFrame* frame, IOleInPlaceUIWindow* document) override;
    STDMETHODIMP HideUI() override;
    STDMETHODIMP UpdateUI() override;
    // Shared with IOleInPlaceFrame, whose signature is the same.
    STDMETHODIMP EnableModeless(BOOL enable) override;
    STDMETHODIMP OnDocWindowActivate(BOOL activate) override;
    STDMETHODIMP OnFrameWindowActivate(BOOL activate) override;
    STDMETHODIMP ResizeBorder(LPCRECT border, IOleInPlaceUIWindow* window, BOOL frameWindow) override;
    using COleControlSite::TranslateAccelerator;
    STDMETHODIMP TranslateAccelerator(LPMSG msg, const GUID* group, DWORD command) override;
    STDMETHODIMP GetOptionKeyPath(LPOLESTR* key, DWORD reserved) override;
    STDMETHODIMP GetDropTarget(IDropTarget* dropTarget, IDropTarget** result) override;
    STDMETHODIMP GetExternal(IDispatch** external) override;
    STDMETHODIMP TranslateUrl(DWORD translate, LPWSTR url, LPWSTR* result) override;
    STDMETHODIMP FilterDataObject(IDataObject* data, IDataObject** result) override;

    // IDocHostShowUI: the browser shows its own boxes and help.
    STDMETHODIMP ShowMessage(HWND window, LPOLESTR text, LPOLESTR caption, DWORD type, LPOLESTR helpFile,
                             DWORD helpContext, LRESULT* result) override;
    STDMETHODIMP ShowHelp(HWND window, LPOLESTR helpFile, UINT command, DWORD data, POINT point,
                          IDispatch* object) override;

    // IOleCommandTarget
    STDMETHODIMP QueryStatus(const GUID* group, ULONG count, OLECMD* commands, OLECMDTEXT* text) override;
    STDMETHODIMP Exec(const GUID* group, DWORD command, DWORD options, VARIANT* in, VARIANT* out) override;

    // IServiceProvider
    STDMETHODIMP QueryService(REFGUID service, REFIID iid, void** object) override;

    // IInternetSecurityManager: allows ActiveX controls and scripts to pages of
    // the view's trusted origin, leaves the rest, and every other page, to the zones.
    STDMETHODIMP SetSecuritySite(IInternetSecurityMgrSite* site) override;
    STDMETHODIMP GetSecuritySite(IInternetSecurityMgrSite** site) override;
    STDMETHODIMP MapUrlToZone(LPCWSTR url, DWORD* zone, DWORD flags) override;
    STDMETHODIMP GetSecurityId(LPCWSTR url, BYTE* id, DWORD* size, DWORD_PTR reserved) override;
    STDMETHODIMP ProcessUrlAction(LPCWSTR url, DWORD action, BYTE* policy, DWORD policySize, BYTE* context,
                                  DWORD contextSize, DWORD flags, DWORD reserved) override;
    STDMETHODIMP QueryCustomPolicy(LPCWSTR url, REFGUID key, BYTE** policy, DWORD* policySize, BYTE* context,
                                   DWORD contextSize, DWORD reserved) override;
    STDMETHODIMP SetZoneMapping(DWORD zone, LPCWSTR pattern, DWORD flags) override;
    STDMETHODIMP GetZoneMappings(DWORD zone, IEnumString** patterns, DWORD flags) override;

private:
    ~CDocHostSite() override = default;

    CKivHtmlView* m_view; // borrowed; null once detached
};
