#pragma once
#include "controls/hyper_link.h"
#include "controls/skin_btn.h"
#include "framework/dialog.h"
#include "framework/gdi.h"
#include "model/notice.h"

#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <string>

// The shaped popup at the lower right of the work area that shows queued
// notices one at a time, top-most and without taking the focus.
class CTipDlg : public CDialog {
public:
    // Notices waiting beyond this drop the oldest: while the popup cannot show
    // (the mouse resting on it, a session dropped for hours) the heartbeat
    // queues one notice every few seconds, and at 8 s apiece a hundred waiting
    // already take a quarter of an hour to show; the newest tell the present.
    static constexpr size_t kMaxWaiting = 100;

    // resources (res.dll) is borrowed and outlives the popup; the two actions
    // are the main window's ShowMainWindow and ConfirmExit.
    CTipDlg(HMODULE resources, std::function<void()> showMainWindow, std::function<void()> confirmExit);
    ~CTipDlg() override;

    // Makes the hidden popup, owned by the desktop.
    bool Create();
    // Any thread: queues a copy and leaves the window alone; the next tick of
    // the next-notice timer shows it.
    void AddNotice(int type, const std::wstring& text, const std::wstring& link);

    size_t QueueLength() const;
    // The notice on screen, or the last one shown (UI thread).
    const CNotice& CurrentNotice() const { return m_current; }
    bool IsReady() const { return m_ready; }
    bool IsHovering() const { return m_hovering; }

protected:
    bool OnInitDialog() override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    bool OnCommand(int id, int code, HWND control) override;
    bool OnEraseBkgnd(HDC dc) override;
    bool OnTimer(UINT_PTR id) override;
    bool OnMouseMove(UINT flags, POINT point) override;
    void OnDestroy() override;
    // Escape, Enter and Alt+F4 hide the popup: destroying it would end the notices for the session.
    void OnOK() override;
    void OnCancel() override;

private:
    void ShapeAndPlace();
    void ShowNextNotice();
    void SetPicture(WORD id);
    void OnShowWindow(bool shown);
    void OnTextClicked();
    void Hide();

    HMODULE m_resources; // borrowed
    std::function<void()> m_showMainWindow;
    std::function<void()> m_confirmExit;

    // Written by the heartbeat worker and the UI thread (AddNotice), read and
    // shortened by the UI thread's next-notice tick.
    mutable std::mutex m_queueLock;
    std::deque<CNotice> m_queue;

    // UI thread only from here on.
    CNotice m_current;
    bool m_ready = true;
    bool m_hovering = false;
    unique_hbitmap m_background; // bitmap 127 of res.dll
    unique_hbitmap m_picture;    // shown by the picture control, which does not free it
    CSkinBtn m_close;
    CHyperLink m_text;
};
