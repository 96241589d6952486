#pragma once
#include "framework/window.h"

// A dialog box from a template of the program's module (or one in memory),
// run modally or modeless, with the OK and Cancel commands as virtuals.
class CDialog : public CWindow {
public:
    explicit CDialog(int templateId);
    // memoryTemplate is borrowed: it must outlive DoModal or Create.
    explicit CDialog(const DLGTEMPLATE* memoryTemplate);
    // Destroys a window the object still has.
    ~CDialog() override;

    // Runs the dialog until EndDialog and returns its result; -1 when it could not be made.
    INT_PTR DoModal(HWND parent = nullptr);
    // Creates the dialog modeless; it lives until it is destroyed.
    bool Create(HWND parent = nullptr);
    // Ends a modal run with result; destroys a modeless dialog.
    void EndDialog(INT_PTR result);
    bool IsModal() const { return m_modal; }

    // A modeless dialog takes its dialog keys here; a modal run's own loop does that itself.
    bool PreTranslateMessage(MSG& msg) override;
    // Hands Escape's key-down and key-up straight to the focused control, past
    // the dialog manager, so Escape never cancels the dialog; true when it did.
    static bool PassEscapeToFocus(MSG& msg);

protected:
    // True lets the system focus the first control.
    virtual bool OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    // Leaves the message to the dialog manager.
    LRESULT DefaultProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    bool OnCommand(int id, int code, HWND control) override;

private:
    // True when the template leaves the window at its owner's corner (x and y 0).
    bool HasNoTemplatePosition() const;
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Dispatch(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    int m_templateId = 0;
    const DLGTEMPLATE* m_memoryTemplate = nullptr;
    bool m_modal = false;
    // Set by DefaultProc while one message is dispatched.
    bool m_leftToDialogManager = false;
};
