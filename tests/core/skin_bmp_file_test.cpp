#include "skin/core/bmp_file.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

struct CBmpFields {
    std::uint32_t infoSize = 40;
    std::int32_t width = 3;
    std::int32_t height = 2;
    std::uint16_t planes = 1;
    std::uint16_t depth = 24;
    std::uint32_t compression = 0;
    std::uint32_t coloursUsed = 0;
    std::size_t tableBytes = 0;
    std::int64_t pixelOffsetShift = 0; // from where the table ends
    std::int64_t pixelBytesShift = 0;  // from the rows the image needs
};

void Put(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

std::vector<std::uint8_t> MakeBmp(const CBmpFields& f) {
    const std::size_t rows = static_cast<std::size_t>(f.height < 0 ? -f.height : f.height);
    const std::size_t stride = (static_cast<std::size_t>(f.width > 0 ? f.width : 0) * f.depth + 31) / 32 * 4;
    const auto pixelOffset =
        static_cast<std::size_t>(54 + static_cast<std::int64_t>(f.tableBytes) + f.pixelOffsetShift);
    const auto pixelBytes =
        static_cast<std::size_t>(static_cast<std::int64_t>(stride * rows) + f.pixelBytesShift);
    std::vector<std::uint8_t> file(pixelOffset + pixelBytes, 0x5A);
    file[0] = 'B';
    file[1] = 'M';
    Put(file, 2, static_cast<std::uint32_t>(file.size()), 4);
    Put(file, 10, static_cast<std::uint32_t>(pixelOffset), 4);
    Put(file, 14, f.infoSize, 4);
    Put(file, 18, static_cast<std::uint32_t>(f.width), 4);
    Put(file, 22, static_cast<std::uint32_t>(f.height), 4);
    Put(file, 26, f.planes, 2);
    Put(file, 28, f.depth, 2);
    Put(file, 30, f.compression, 4);
    Put(file, 46, f.coloursUsed, 4);
    return file;
}

// The layout locates the header, its table and every row
// inside the file; whatever does not fit is refused before GDI sees it.
TEST(BmpFile, LayoutOfEachKind) {
    const struct {
        const char* name;
        CBmpFields fields;
        BmpFileKind kind;
    } cases[] = {
        {"24 bits", {}, BmpFileKind::Plain},
        {"top-down rows", {.height = -2}, BmpFileKind::Plain},
        {"32 bits with masks", {.depth = 32, .compression = 3, .tableBytes = 12}, BmpFileKind::Plain},
        {"16 bits with masks", {.depth = 16, .compression = 3, .tableBytes = 12}, BmpFileKind::Plain},
        {"8 bits, full palette", {.depth = 8, .tableBytes = 1024}, BmpFileKind::Plain},
        {"4 bits, short palette", {.depth = 4, .coloursUsed = 3, .tableBytes = 12}, BmpFileKind::Plain},
        {"1 bit", {.width = 33, .depth = 1, .tableBytes = 8}, BmpFileKind::Plain},
        {"a gap before the rows", {.pixelOffsetShift = 100}, BmpFileKind::Plain},
        {"bytes after the rows", {.pixelBytesShift = 7}, BmpFileKind::Plain},
        {"a larger header", {.infoSize = 124}, BmpFileKind::Other},
        {"a core header", {.infoSize = 12}, BmpFileKind::Other},
        {"rows cut short", {.pixelBytesShift = -1}, BmpFileKind::Malformed},
        {"rows inside the palette",
         {.depth = 8, .tableBytes = 1024, .pixelOffsetShift = -4},
         BmpFileKind::Malformed},
        {"more colours than the depth has",
         {.depth = 4, .coloursUsed = 17, .tableBytes = 68},
         BmpFileKind::Malformed},
        {"a huge palette on 24 bits", {.coloursUsed = 0x40000000}, BmpFileKind::Malformed},
        {"no width", {.width = 0}, BmpFileKind::Malformed},
        {"negative width", {.width = -3}, BmpFileKind::Malformed},
        {"no height", {.height = 0}, BmpFileKind::Malformed},
        {"too wide", {.width = kLargestBmpSide + 1, .height = 1}, BmpFileKind::Malformed},
        {"too tall upside down", {.width = 1, .height = -kLargestBmpSide - 1}, BmpFileKind::Malformed},
        {"two planes", {.planes = 2}, BmpFileKind::Malformed},
        {"odd depth", {.depth = 12}, BmpFileKind::Malformed},
        {"run-length coded", {.depth = 8, .compression = 1, .tableBytes = 1024}, BmpFileKind::Malformed},
        {"masks on 24 bits", {.compression = 3, .tableBytes = 12}, BmpFileKind::Malformed},
    };
    for (const auto& c : cases) {
        const std::vector<std::uint8_t> file = MakeBmp(c.fields);
        const CBmpFileLayout layout = CheckBmpFile(file.data(), file.size());
        EXPECT_EQ(layout.kind, c.kind) << c.name;
        if (layout.kind != BmpFileKind::Plain) {
            continue;
        }
        EXPECT_EQ(layout.headerOffset, 14u) << c.name;
        EXPECT_EQ(layout.headerBytes, 40 + c.fields.tableBytes) << c.name;
        EXPECT_LE(layout.pixelOffset + layout.pixelBytes, file.size()) << c.name;
        EXPECT_EQ(layout.width, c.fields.width) << c.name;
        EXPECT_EQ(layout.height, c.fields.height < 0 ? -c.fields.height : c.fields.height) << c.name;
    }
}

TEST(BmpFile, ShortOrForeignFiles) {
    const std::vector<std::uint8_t> bmp = MakeBmp({});
    for (std::size_t size = 0; size < 54; ++size) {
        const BmpFileKind kind = CheckBmpFile(bmp.data(), size).kind;
        EXPECT_EQ(kind, size < 18 ? BmpFileKind::Other : BmpFileKind::Malformed) << size << " bytes";
    }
    const std::uint8_t gif[] = "GIF89a\x01\x00\x01\x00\x00\x00\x00;..................................";
    EXPECT_EQ(CheckBmpFile(gif, sizeof gif).kind, BmpFileKind::Other);
    EXPECT_EQ(CheckBmpFile(nullptr, 100).kind, BmpFileKind::Other);
}

} // namespace
