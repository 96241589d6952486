#include "skin/my_bitmap.h"

#include "framework/com.h"
#include "skin/core/bmp_file.h"

#include <olectl.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

// Hundredths of a millimetre per inch: the unit of a picture's size.
constexpr int kHimetricPerInch = 2540;
// Theme images are small; anything larger is not an image of ours.
constexpr LONGLONG kLargestImageFile = 64LL * 1024 * 1024;

// The path is 8-bit text in the ANSI code page.
bool ReadWholeFile(const std::string& path, std::vector<char>& bytes) {
    HANDLE opened = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (opened == INVALID_HANDLE_VALUE) {
        return false;
    }
    unique_handle file(opened);
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size) || size.QuadPart <= 0 || size.QuadPart > kLargestImageFile) {
        return false;
    }
    bytes.resize(static_cast<std::size_t>(size.QuadPart));
    DWORD read = 0;
    return ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) &&
           read == bytes.size();
}

// A checked plain bitmap file, straight to a bitmap compatible with the
// screen, as the OLE decoder would make it. GDI reads only the copy of the
// header and table made here, and rows that lie inside the file.
unique_hbitmap PlainBitmap(const std::vector<char>& bytes, const CBmpFileLayout& layout) {
    std::vector<std::uint32_t> header((layout.headerBytes + 3) / 4);
    std::memcpy(header.data(), bytes.data() + layout.headerOffset, layout.headerBytes);
    auto* info = reinterpret_cast<BITMAPINFO*>(header.data());
    info->bmiHeader.biSizeImage = static_cast<DWORD>(layout.pixelBytes);
    unique_hdc_window screen(nullptr);
    if (screen.get() == nullptr) {
        return {};
    }
    // Always the screen's depth, a one-bit file included, as OLE renders it.
    unique_hbitmap bitmap(CreateCompatibleBitmap(screen.get(), layout.width, layout.height));
    if (!bitmap || SetDIBits(screen.get(), bitmap.get(), 0, static_cast<UINT>(layout.height),
                             bytes.data() + layout.pixelOffset, info, DIB_RGB_COLORS) != layout.height) {
        return {};
    }
    return bitmap;
}

} // namespace

bool CMyBitmap::LoadFromFile(const std::string& path) {
    if (HasImage()) {
        return false;
    }
    std::vector<char> bytes;
    if (!ReadWholeFile(path, bytes)) {
        return false;
    }
    // Bitmap files, the themes' usual kind, need no OLE: it is loaded only
    // for the other kinds.
    const CBmpFileLayout layout =
        CheckBmpFile(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    if (layout.kind == BmpFileKind::Malformed) {
        return false;
    }
    if (layout.kind == BmpFileKind::Plain) {
        unique_hbitmap bitmap = PlainBitmap(bytes, layout);
        if (!bitmap) {
            return false;
        }
        m_bitmap = std::move(bitmap);
        m_width = layout.width;
        m_height = layout.height;
        return true;
    }
    com_ptr<IStream> stream = StreamOnCopy(bytes.data(), bytes.size());
    if (!stream) {
        return false;
    }
    com_ptr<IPicture> picture;
    if (FAILED(OleLoadPicture(stream.get(), static_cast<LONG>(bytes.size()), FALSE, IID_IPicture,
                              reinterpret_cast<void**>(picture.put()))) ||
        !picture) {
        return false;
    }
    OLE_XSIZE_HIMETRIC himetricWidth = 0;
    OLE_YSIZE_HIMETRIC himetricHeight = 0;
    picture->get_Width(&himetricWidth);
    picture->get_Height(&himetricHeight);

    unique_hdc_window screen(nullptr);
    if (screen.get() == nullptr) {
        return false;
    }
    const int width = MulDiv(himetricWidth, GetDeviceCaps(screen.get(), LOGPIXELSX), kHimetricPerInch);
    const int height = MulDiv(himetricHeight, GetDeviceCaps(screen.get(), LOGPIXELSY), kHimetricPerInch);
    if (width <= 0 || height <= 0) {
        return false;
    }
    unique_hbitmap bitmap(CreateCompatibleBitmap(screen.get(), width, height));
    unique_hdc memory(CreateCompatibleDC(screen.get()));
    if (!bitmap || !memory) {
        return false;
    }
    {
        unique_select_object select(memory.get(), bitmap.get());
        PatBlt(memory.get(), 0, 0, width, height, BLACKNESS);
        if (FAILED(picture->Render(memory.get(), 0, 0, width, height, 0, himetricHeight, himetricWidth,
                                   -himetricHeight, nullptr))) {
            return false;
        }
    }
    m_bitmap = std::move(bitmap);
    m_width = width;
    m_height = height;
    return true;
}

void CMyBitmap::Attach(HBITMAP bitmap) {
    m_bitmap.reset(bitmap);
    BITMAP info{};
    if (bitmap != nullptr && GetObjectA(bitmap, sizeof(info), &info) != 0) {
        m_width = info.bmWidth;
        m_height = info.bmHeight;
    } else {
        m_width = m_height = 0;
    }
}

void CMyBitmap::DeleteObject() {
    m_bitmap.reset();
    m_width = m_height = 0;
}
