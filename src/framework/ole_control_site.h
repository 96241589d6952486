#pragma once
// The container side of one ActiveX control: client site, in-place site and
// a minimal in-place frame, all answered by one reference-counted object.
#include "framework/com.h"

#include <ole2.h>

#include <new>

// Runs body inside a COM method: no exception leaves it, a failed allocation
// answers E_OUTOFMEMORY and anything else E_UNEXPECTED.
template <typename Body> HRESULT ComGuard(Body&& body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

// The site of one control in a host window (borrowed). The host's window
// object owns one reference and the control others while it is sited.
// Detach() cuts the site from its host: a control that keeps it gets errors.
class COleControlSite : public com_object<IOleClientSite, IOleInPlaceSite, IOleInPlaceFrame> {
public:
    explicit COleControlSite(HWND host) : m_host(host) {}

    // Creates the control, gives it this site and activates it in place over
    // rect (host client coordinates). On failure nothing is left behind.
    HRESULT CreateControl(REFCLSID clsid, const RECT& rect);
    // Moves the in-place control to rect.
    void MoveControl(const RECT& rect);
    // Deactivates, closes and unsites the control, then lets it go.
    void DestroyControl();
    // Ends the tie to the host window; the site answers with errors from now on.
    virtual void Detach();

    // Borrowed; null when there is no control.
    IOleObject* GetControl() const { return m_object.get(); }
    bool IsInPlaceActive() const { return static_cast<bool>(m_inPlaceObject); }
    // The window of the in-place control, or null.
    HWND GetControlWindow() const;
    // Offers a key message to the control's active object; true when it took it.
    bool ForwardKeyMessage(MSG& msg);

    // IOleClientSite
    STDMETHODIMP SaveObject() override;
    STDMETHODIMP GetMoniker(DWORD assign, DWORD which, IMoniker** moniker) override;
    STDMETHODIMP GetContainer(IOleContainer** container) override;
    STDMETHODIMP ShowObject() override;
    STDMETHODIMP OnShowWindow(BOOL show) override;
    STDMETHODIMP RequestNewObjectLayout() override;

    // IOleWindow (of both the in-place site and the frame)
    STDMETHODIMP GetWindow(HWND* window) override;
    STDMETHODIMP ContextSensitiveHelp(BOOL enterMode) override;

    // IOleInPlaceSite
    STDMETHODIMP CanInPlaceActivate() override;
    STDMETHODIMP OnInPlaceActivate() override;
    STDMETHODIMP OnUIActivate() override;
    STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document, RECT* position,
                                  RECT* clip, OLEINPLACEFRAMEINFO* frameInfo) override;
    STDMETHODIMP Scroll(SIZE extent) override;
    STDMETHODIMP OnUIDeactivate(BOOL undoable) override;
    STDMETHODIMP OnInPlaceDeactivate() override;
    STDMETHODIMP DiscardUndoState() override;
    STDMETHODIMP DeactivateAndUndo() override;
    STDMETHODIMP OnPosRectChange(const RECT* position) override;

    // IOleInPlaceUIWindow and IOleInPlaceFrame: a frame without tools or menus.
    STDMETHODIMP GetBorder(RECT* border) override;
    STDMETHODIMP RequestBorderSpace(const BORDERWIDTHS* widths) override;
    STDMETHODIMP SetBorderSpace(const BORDERWIDTHS* widths) override;
    STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject* active, LPCOLESTR name) override;
    STDMETHODIMP InsertMenus(HMENU shared, OLEMENUGROUPWIDTHS* widths) override;
    STDMETHODIMP SetMenu(HMENU shared, HOLEMENU descriptor, HWND activeObject) override;
    STDMETHODIMP RemoveMenus(HMENU shared) override;
    STDMETHODIMP SetStatusText(LPCOLESTR text) override;
    STDMETHODIMP EnableModeless(BOOL enable) override;
    // Inline: windows.h renames it in Unicode builds, so each module compiles its own.
    STDMETHODIMP TranslateAccelerator(MSG*, WORD) override { return S_FALSE; }

protected:
    ~COleControlSite() override;

    HWND GetHost() const { return m_host; }

private:
    HWND m_host;                                     // borrowed; null once detached
    RECT m_rect{};                                   // the control's place in the host
    com_ptr<IOleObject> m_object;                    // the control
    com_ptr<IOleInPlaceObject> m_inPlaceObject;      // while in-place active
    com_ptr<IOleInPlaceActiveObject> m_activeObject; // while UI active
};
