#pragma once
// A child window that hosts one ActiveX control through a COleControlSite.
#include "framework/com.h"
#include "framework/ole_control_site.h"
#include "framework/window.h"

class COleControlWnd : public CWindow {
public:
    COleControlWnd() = default;
    // Destroys the window, and with it the control, if it is still there.
    ~COleControlWnd() override;

    // Creates the child window and the control of clsid in it, activated in
    // place; false, leaving no window behind, when either fails.
    bool Create(REFCLSID clsid, DWORD style, const RECT& rect, HWND parent, int id);

    // Borrowed; null before Create and after the window has gone.
    COleControlSite* GetControlSite() const { return m_site.get(); }
    IOleObject* GetControl() const { return m_site ? m_site->GetControl() : nullptr; }
    // Puts the control where ControlRect says.
    void PlaceControl();

    // Gives the control's active object the keys of the windows inside it.
    bool PreTranslateMessage(MSG& msg) override;

protected:
    // The window's styles before creation; derived windows add or remove theirs.
    virtual void PreCreateWindow(DWORD& style, DWORD& exStyle);
    // The control's site, handed over with one reference; derived windows make their own kind.
    virtual com_ptr<COleControlSite> CreateControlSite();
    // Runs once the control is active in place; false fails Create.
    virtual bool OnControlCreated();
    // The control's place in client coordinates: the whole client area here.
    virtual RECT ControlRect() const;

    bool OnSize(UINT type, int cx, int cy) override;
    // Lets the control go: derived windows drop their own references to it first.
    void OnDestroy() override;

private:
    com_ptr<COleControlSite> m_site; // one reference, held while the window lives
};
