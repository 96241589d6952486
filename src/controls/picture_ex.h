#pragma once
// Shows a picture (an animated GIF or any image GDI+ reads) in a static
// control of a dialog, playing animations on a worker thread. A member object,
// not a window: it takes over the control's window procedure and finds itself
// again through the window property "PicEx_Prop".
#include "framework/com.h"
#include "framework/gdiplus_image.h"
#include "framework/handles.h"

#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

class CPictureEx {
public:
    enum : int { kBkSolid = 0, kBkTransparent = 1, kBkParent = 2 };
    // Per axis: centre, left or top, right or bottom, stretch, tile. Other values stretch.
    enum : int { kAlignCentre = 0, kAlignNear = 1, kAlignFar = 2, kAlignStretch = 3, kAlignTile = 4 };

    CPictureEx() = default;
    ~CPictureEx();
    CPictureEx(const CPictureEx&) = delete;
    CPictureEx& operator=(const CPictureEx&) = delete;

    // Takes over the control (borrowed); false when attached already or the control is no window.
    bool Attach(HWND control);
    // Gives the control back its procedure and unloads the picture.
    void Detach();

    // Each load replaces the picture; false leaves the control without one,
    // except that a resource that is not there keeps the current picture.
    bool LoadFromFile(const std::wstring& path);
    bool LoadFromResource(HMODULE module, const wchar_t* name, const wchar_t* type);
    // Stops the animation, waiting for its worker, and releases the picture.
    void Unload();

    void SetBkMode(int mode);
    void SetBkColor(COLORREF colour);
    void SetHorzAlign(int align);
    void SetVertAlign(int align);

    HWND GetControl() const { return m_control.load(); }
    bool HasImage() const { return static_cast<bool>(m_image); }
    UINT GetFrameCount() const { return m_frameCount; }
    UINT GetCurrentFrame() const { return m_currentFrame.load(); }
    bool IsAnimating() const { return m_running.load(); }

private:
    static LRESULT CALLBACK ControlProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    static DWORD WINAPI WorkerMain(void* self);

    bool LoadFromStream(com_ptr<IStream> stream);
    void Start();
    void Animate();
    // Callable from the worker: invalidates without sending any message.
    void Invalidate() const;
    void Paint();

    // Borrowed; set and cleared by the UI thread, read by the worker's Invalidate.
    std::atomic<HWND> m_control{nullptr};
    // Owned by the UI thread; the worker reads them only between Start and
    // Unload's wait for it, when they do not change.
    WNDPROC m_previousProc = nullptr;
    SIZE m_controlSize{};
    unique_gpimage m_image;    // disposed by Unload
    com_ptr<IStream> m_stream; // backs a resource picture while it lives
    std::vector<GUID> m_dimensions;
    UINT m_frameCount = 0;
    // Frame delays in hundredths of a second, as the picture gives them.
    std::vector<UINT> m_delays;
    unique_handle m_worker;

    // Read by the worker's Invalidate.
    std::atomic<int> m_bkMode{kBkSolid};
    std::atomic<int> m_horzAlign{kAlignCentre};
    std::atomic<int> m_vertAlign{kAlignCentre};
    std::atomic<COLORREF> m_bkColour{RGB(0, 0, 0)};
    // Written by the worker, read by the UI thread.
    std::atomic<UINT> m_currentFrame{0};
    // Set before the worker starts; cleared by Unload to end it.
    std::atomic<bool> m_running{false};
    // GDI+ images are not thread-safe: the worker's frame change and the
    // painting take turns under this lock.
    std::mutex m_imageLock;
};

// Where the picture goes in a control of the given size, by the two
// alignments (kAlignTile counts as stretch here: tiling fills the whole control).
RECT PictureDestination(SIZE control, SIZE image, int horzAlign, int vertAlign);
