#include "skin/core/bmp_file.h"

namespace {

constexpr std::size_t kFileHeaderBytes = 14;
constexpr std::uint32_t kInfoHeaderBytes = 40;
constexpr std::uint32_t kUncompressed = 0; // BI_RGB
constexpr std::uint32_t kBitFields = 3;    // BI_BITFIELDS
constexpr std::size_t kColourBytes = 4;
constexpr std::size_t kMaskBytes = 12; // red, green and blue

std::uint32_t U32(const std::uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

std::uint16_t U16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::int32_t I32(const std::uint8_t* p) {
    return static_cast<std::int32_t>(U32(p));
}

} // namespace

CBmpFileLayout CheckBmpFile(const std::uint8_t* data, std::size_t size) {
    CBmpFileLayout layout;
    if (data == nullptr || size < kFileHeaderBytes + 4 || data[0] != 'B' || data[1] != 'M' ||
        U32(data + kFileHeaderBytes) != kInfoHeaderBytes) {
        return layout;
    }
    layout.kind = BmpFileKind::Malformed;
    if (size < kFileHeaderBytes + kInfoHeaderBytes) {
        return layout;
    }
    const std::uint8_t* info = data + kFileHeaderBytes;
    const std::int32_t width = I32(info + 4);
    const std::int32_t height = I32(info + 8);
    const std::uint16_t planes = U16(info + 12);
    const std::uint16_t depth = U16(info + 14);
    const std::uint32_t compression = U32(info + 16);
    const std::uint32_t coloursUsed = U32(info + 32);
    if (width <= 0 || width > kLargestBmpSide || height == 0 || height < -kLargestBmpSide ||
        height > kLargestBmpSide || planes != 1) {
        return layout;
    }
    if (depth != 1 && depth != 4 && depth != 8 && depth != 16 && depth != 24 && depth != 32) {
        return layout;
    }
    if (compression != kUncompressed && !(compression == kBitFields && (depth == 16 || depth == 32))) {
        return layout;
    }
    // A palette of at most 256 colours; 16 bits and more may carry one too.
    const std::uint32_t largestTable = depth <= 8 ? (1u << depth) : 256u;
    if (coloursUsed > largestTable) {
        return layout;
    }
    std::size_t tableBytes = 0;
    if (depth <= 8) {
        tableBytes = (coloursUsed != 0 ? coloursUsed : largestTable) * kColourBytes;
    } else if (compression == kBitFields) {
        tableBytes = kMaskBytes;
    } else {
        tableBytes = coloursUsed * kColourBytes;
    }
    const std::size_t pixelOffset = U32(data + 10);
    const std::size_t headerEnd = kFileHeaderBytes + kInfoHeaderBytes + tableBytes;
    const std::size_t rows =
        static_cast<std::size_t>(height < 0 ? -static_cast<std::int64_t>(height) : height);
    const std::size_t stride = (static_cast<std::size_t>(width) * depth + 31) / 32 * 4;
    if (pixelOffset < headerEnd || pixelOffset > size || stride * rows > size - pixelOffset) {
        return layout;
    }
    layout.kind = BmpFileKind::Plain;
    layout.headerOffset = kFileHeaderBytes;
    layout.headerBytes = kInfoHeaderBytes + tableBytes;
    layout.pixelOffset = pixelOffset;
    layout.pixelBytes = stride * rows;
    layout.width = width;
    layout.height = static_cast<int>(rows);
    return layout;
}
