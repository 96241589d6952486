#include "controls/picture_ex.h"

#include "framework/gdi.h"
#include "framework/gdiplus_session.h"

#include <gdiplus.h>

#include <algorithm>
#include <cstring>

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

namespace {

constexpr wchar_t kPropertyName[] = L"PicEx_Prop";
constexpr DWORD kDefaultFrameDelayMs = 100;
constexpr DWORD kDelayUnitMs = 10;
constexpr DWORD kWaitStepMs = 1;

// One axis of the destination: where it starts and how long it is.
void PlaceOnAxis(int align, int controlLength, int imageLength, LONG& start, LONG& length) {
    switch (align) {
    case CPictureEx::kAlignCentre:
        start = (controlLength - imageLength) / 2;
        length = imageLength;
        break;
    case CPictureEx::kAlignNear:
        start = 0;
        length = imageLength;
        break;
    case CPictureEx::kAlignFar:
        start = controlLength - imageLength;
        length = imageLength;
        break;
    default:
        start = 0;
        length = controlLength;
        break;
    }
}

void DrawImage(HDC dc, GpImage* image, const RECT& to, SIZE imageSize) {
    unique_gpgraphics graphics;
    GdipCreateFromHDC(dc, graphics.put());
    if (graphics.get()) {
        GdipDrawImageRectRectI(graphics.get(), image, to.left, to.top, to.right - to.left, to.bottom - to.top,
                               0, 0, imageSize.cx, imageSize.cy, UnitPixel, nullptr, nullptr, nullptr);
    }
}

bool IsPictureTiled(int horzAlign, int vertAlign) {
    return horzAlign == CPictureEx::kAlignTile || vertAlign == CPictureEx::kAlignTile;
}

// How long a frame stays: its delay is in hundredths of a second, and 0 means the default.
DWORD FrameDelayMs(UINT hundredths) {
    return hundredths == 0 ? kDefaultFrameDelayMs : hundredths * kDelayUnitMs;
}

} // namespace

RECT PictureDestination(SIZE control, SIZE image, int horzAlign, int vertAlign) {
    LONG x = 0, y = 0, width = 0, height = 0;
    PlaceOnAxis(horzAlign, control.cx, image.cx, x, width);
    PlaceOnAxis(vertAlign, control.cy, image.cy, y, height);
    return {x, y, x + width, y + height};
}

CPictureEx::~CPictureEx() {
    Detach();
    Unload();
}

bool CPictureEx::Attach(HWND control) {
    if (m_control || !control || !IsWindow(control) || !SetPropW(control, kPropertyName, this)) {
        return false;
    }
    RECT client{};
    GetClientRect(control, &client);
    m_controlSize = {client.right, client.bottom};
    m_previousProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CPictureEx::ControlProc)));
    if (!m_previousProc) {
        RemovePropW(control, kPropertyName);
        return false;
    }
    m_control = control;
    return true;
}

void CPictureEx::Detach() {
    const HWND control = m_control;
    if (!control) {
        return;
    }
    // The worker ends before the control is let go: it invalidates the control.
    Unload();
    RemovePropW(control, kPropertyName);
    SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_previousProc));
    m_control = nullptr;
    m_previousProc = nullptr;
}

bool CPictureEx::LoadFromFile(const std::wstring& path) {
    Unload();
    // A missing file (no advertisement saved yet) needs no GDI+.
    if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
        return false;
    }
    unique_gpimage image;
    if (!EnsureGdiplusStarted() || GdipLoadImageFromFileICM(path.c_str(), image.put()) != Ok || !image) {
        return false;
    }
    m_image = std::move(image);
    Start();
    return true;
}

bool CPictureEx::LoadFromResource(HMODULE module, const wchar_t* name, const wchar_t* type) {
    HRSRC resource = FindResourceW(module, name, type);
    HGLOBAL loaded = resource ? LoadResource(module, resource) : nullptr;
    if (!loaded) {
        return false;
    }
    Unload();
    const void* bytes = LockResource(loaded);
    const DWORD size = SizeofResource(module, resource);
    if (!bytes || size == 0) {
        return false;
    }
    com_ptr<IStream> stream = StreamOnCopy(bytes, size);
    return stream && LoadFromStream(std::move(stream));
}

bool CPictureEx::LoadFromStream(com_ptr<IStream> stream) {
    unique_gpimage image;
    if (!EnsureGdiplusStarted() || GdipLoadImageFromStreamICM(stream.get(), image.put()) != Ok || !image) {
        return false;
    }
    m_stream = std::move(stream);
    m_image = std::move(image);
    Start();
    return true;
}

void CPictureEx::Start() {
    Invalidate();
    UINT count = 0;
    GdipImageGetFrameDimensionsCount(m_image.get(), &count);
    m_dimensions.assign(count, GUID{});
    if (count == 0 || GdipImageGetFrameDimensionsList(m_image.get(), m_dimensions.data(), count) != Ok) {
        m_dimensions.clear();
    }
    m_currentFrame = 0;
    m_frameCount = 0;
    if (m_dimensions.empty() ||
        GdipImageGetFrameCount(m_image.get(), &m_dimensions[0], &m_frameCount) != Ok) {
        m_frameCount = 0;
    }
    if (m_frameCount <= 1) {
        return;
    }

    UINT size = 0;
    if (GdipGetPropertyItemSize(m_image.get(), PropertyTagFrameDelay, &size) == Ok &&
        size > sizeof(PropertyItem)) {
        std::vector<BYTE> buffer(size);
        auto* item = reinterpret_cast<PropertyItem*>(buffer.data());
        if (GdipGetPropertyItem(m_image.get(), PropertyTagFrameDelay, size, item) == Ok && item->value) {
            const size_t bytes = std::min<size_t>(item->length, size - sizeof(PropertyItem));
            m_delays.resize(bytes / sizeof(UINT));
            std::memcpy(m_delays.data(), item->value, m_delays.size() * sizeof(UINT));
        }
    }
    m_running = true;
    m_worker.reset(CreateThread(nullptr, 0, &CPictureEx::WorkerMain, this, 0, nullptr));
    if (!m_worker) {
        m_running = false;
    }
}

void CPictureEx::Unload() {
    m_running = false;
    if (m_worker) {
        WaitForSingleObject(m_worker.get(), INFINITE);
        m_worker.reset();
    }
    if (m_image) {
        m_image.reset();
        // Without a picture the control paints as a plain static again.
        Invalidate();
    }
    m_dimensions.clear();
    m_delays.clear();
    m_currentFrame = 0;
    m_frameCount = 0;
    m_stream.reset();
}

DWORD WINAPI CPictureEx::WorkerMain(void* self) {
    static_cast<CPictureEx*>(self)->Animate();
    return 0;
}

void CPictureEx::Animate() {
    // Each frame stays for its own delay, counted from when the previous one was selected.
    DWORD selected = GetTickCount();
    while (m_running) {
        const UINT frame = m_currentFrame;
        const DWORD delay = FrameDelayMs(frame < m_delays.size() ? m_delays[frame] : 0);
        while (m_running && GetTickCount() - selected < delay) {
            Sleep(kWaitStepMs);
        }
        selected = GetTickCount();
        if (!m_running) {
            break;
        }
        const UINT next = (frame + 1) % m_frameCount;
        {
            std::lock_guard<std::mutex> lock(m_imageLock);
            GdipImageSelectActiveFrame(m_image.get(), &m_dimensions[0], next);
        }
        m_currentFrame = next;
        Invalidate();
    }
}

void CPictureEx::Invalidate() const {
    const HWND control = m_control;
    if (!control) {
        return;
    }
    if (m_bkMode != kBkTransparent) {
        InvalidateRect(control, nullptr, FALSE);
        return;
    }
    // The parent paints its background under the picture first.
    const HWND parent = GetParent(control);
    if (!parent) {
        InvalidateRect(control, nullptr, TRUE);
        return;
    }
    RECT area{};
    GetWindowRect(control, &area);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&area), 2);
    InvalidateRect(parent, &area, TRUE);
}

void CPictureEx::SetBkMode(int mode) {
    m_bkMode = mode;
    Invalidate();
}

void CPictureEx::SetBkColor(COLORREF colour) {
    m_bkColour = colour;
    Invalidate();
}

void CPictureEx::SetHorzAlign(int align) {
    m_horzAlign = align;
    Invalidate();
}

void CPictureEx::SetVertAlign(int align) {
    m_vertAlign = align;
    Invalidate();
}

void CPictureEx::Paint() {
    const HWND control = m_control;
    unique_hdc_paint paint(control);
    if (!paint.get()) {
        return;
    }
    const RECT whole{0, 0, m_controlSize.cx, m_controlSize.cy};
    SIZE imageSize{};
    {
        std::lock_guard<std::mutex> lock(m_imageLock);
        UINT width = 0, height = 0;
        GdipGetImageWidth(m_image.get(), &width);
        GdipGetImageHeight(m_image.get(), &height);
        imageSize = {static_cast<LONG>(width), static_cast<LONG>(height)};
    }
    if (imageSize.cx <= 0 || imageSize.cy <= 0) {
        return;
    }

    if (IsPictureTiled(m_horzAlign, m_vertAlign)) {
        unique_hdc tileDc(CreateCompatibleDC(paint.get()));
        unique_hbitmap tile(CreateCompatibleBitmap(paint.get(), imageSize.cx, imageSize.cy));
        if (!tileDc || !tile) {
            return;
        }
        {
            unique_select_object select(tileDc.get(), tile.get());
            std::lock_guard<std::mutex> lock(m_imageLock);
            DrawImage(tileDc.get(), m_image.get(), {0, 0, imageSize.cx, imageSize.cy}, imageSize);
        }
        unique_hbrush brush(CreatePatternBrush(tile.get()));
        if (brush) {
            FillRect(paint.get(), &whole, brush.get());
        }
        return;
    }

    const RECT to = PictureDestination(m_controlSize, imageSize, m_horzAlign, m_vertAlign);
    if (m_bkMode == kBkTransparent) {
        std::lock_guard<std::mutex> lock(m_imageLock);
        DrawImage(paint.get(), m_image.get(), to, imageSize);
        return;
    }

    // Off screen first, so the background never shows alone.
    unique_hdc buffer(CreateCompatibleDC(paint.get()));
    unique_hbitmap bitmap(CreateCompatibleBitmap(paint.get(), m_controlSize.cx, m_controlSize.cy));
    if (!buffer || !bitmap) {
        return;
    }
    unique_select_object select(buffer.get(), bitmap.get());
    const HWND parent = GetParent(control);
    if (m_bkMode == kBkParent && parent) {
        SendMessageW(parent, WM_ERASEBKGND, reinterpret_cast<WPARAM>(buffer.get()), 0);
    } else {
        unique_hbrush background(CreateSolidBrush(m_bkColour));
        FillRect(buffer.get(), &whole, background.get());
    }
    {
        std::lock_guard<std::mutex> lock(m_imageLock);
        DrawImage(buffer.get(), m_image.get(), to, imageSize);
    }
    BitBlt(paint.get(), 0, 0, m_controlSize.cx, m_controlSize.cy, buffer.get(), 0, 0, SRCCOPY);
}

LRESULT CALLBACK CPictureEx::ControlProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = static_cast<CPictureEx*>(GetPropW(hwnd, kPropertyName));
    if (!self) {
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    const WNDPROC previous = self->m_previousProc;
    switch (message) {
    case WM_PAINT:
        if (self->m_image) {
            self->Paint();
            return 0;
        }
        break;
    case WM_SIZE:
    case WM_ERASEBKGND:
        return 0;
    case WM_DESTROY:
        self->Detach();
        break;
    }
    return CallWindowProcW(previous, hwnd, message, wParam, lParam);
}
