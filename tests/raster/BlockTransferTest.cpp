// Rectangle fills and copies on every instruction set the processor runs, against byte-by-byte
// references: pixel sizes 1 to 4, widths around the vector sizes, rows starting at any byte,
// pitches that are not whole vectors, and rectangles run in row ranges.
#include "platform/d3d/raster/BlockTransfer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

using namespace raster;

namespace {

constexpr SpanPath kPaths[] = {SpanPath::Generic, SpanPath::Baseline, SpanPath::Avx2, SpanPath::Avx512};
constexpr int32_t kWidths[] = {1, 3, 5, 15, 16, 17, 21, 48, 63, 64, 65, 97, 191, 192, 193, 639};
constexpr uint8_t kGuard = 0xA5;
constexpr int32_t kRows = 3;

struct Placement {
    size_t offset;  // bytes from a 64-byte boundary to the rectangle
    int32_t slack;  // bytes between the end of one row and the start of the next
};
constexpr Placement kPlacements[] = {{0, 0}, {1, 7}, {2, 64}, {3, 1}, {4, 13}, {36, 2}, {5, 0}, {6, 0}};

// A rectangle's rows placed `offset` bytes after a 64-byte boundary, with 64 guard bytes before
// the first row and after the last.
struct Buffer {
    std::vector<uint8_t> bytes;
    uint8_t* origin;
    ptrdiff_t pitch;
    int32_t rows;

    Buffer(size_t rowBytes, const Placement& at, uint8_t fill, int32_t rowCount = kRows)
        : bytes(192 + at.offset + (rowBytes + size_t(at.slack)) * size_t(rowCount) + 64, fill),
          pitch(ptrdiff_t(rowBytes) + at.slack),
          rows(rowCount)
    {
        const auto base = reinterpret_cast<uintptr_t>(bytes.data());
        origin = bytes.data() + (64 - base % 64) + 64 + at.offset;
    }
    uint8_t& At(int32_t row, size_t byte) { return origin[ptrdiff_t(row) * pitch + ptrdiff_t(byte)]; }
    std::vector<uint8_t> Visible() const { return {origin - 64, origin + pitch * rows + 64}; }
};

std::string Case(SpanPath path, uint32_t bytesPerPixel, int32_t width, const Placement& at)
{
    return std::string(SpanPathName(path)) + " " + std::to_string(bytesPerPixel) + " bytes, width " +
           std::to_string(width) + ", offset " + std::to_string(at.offset) + ", slack " + std::to_string(at.slack);
}

}  // namespace

TEST(BlockTransfer, FillsWriteTheRectangleAndNothingElse)
{
    for (const SpanPath path : kPaths) {
        if (!SpanPathRuns(path)) continue;
        for (uint32_t bpp = 1; bpp <= 4; ++bpp) {
            for (const int32_t width : kWidths) {
                for (const Placement& at : kPlacements) {
                    // Rows back to back (no slack) run as one long run; 40 of them make it long.
                    for (const int32_t rows : {kRows, 40}) {
                        const size_t rowBytes = size_t(width) * bpp;
                        Buffer actual(rowBytes, at, kGuard, rows);
                        Buffer expected(rowBytes, at, kGuard, rows);
                        const uint32_t value = 0x8C4B2A19u;
                        for (int32_t y = 0; y < rows; ++y) {
                            for (size_t i = 0; i < rowBytes; ++i) {
                                expected.At(y, i) = uint8_t(value >> (8 * (i % bpp)));
                            }
                        }
                        FillRows(RectFill{actual.origin, actual.pitch, width, rows, bpp, value}, 0, rows, path);
                        ASSERT_EQ(actual.Visible(), expected.Visible()) << Case(path, bpp, width, at) << ", rows " << rows;
                    }
                }
            }
        }
    }
}

TEST(BlockTransfer, CopiesMoveTheRectangleAndClearAlphaOnlyWhenOpaque)
{
    struct Kind {
        CopyKind kind;
        uint32_t bytesPerPixel;
    };
    const Kind kinds[] = {{CopyKind::Bytes, 1}, {CopyKind::Bytes, 2}, {CopyKind::Bytes, 3},
                          {CopyKind::Bytes, 4}, {CopyKind::OpaqueXrgb, 4}};
    for (const SpanPath path : kPaths) {
        if (!SpanPathRuns(path)) continue;
        for (const Kind& k : kinds) {
            for (const int32_t width : kWidths) {
                for (const Placement& at : kPlacements) {
                    const size_t rowBytes = size_t(width) * k.bytesPerPixel;
                    Buffer source(rowBytes, Placement{at.offset ^ 5, at.slack + 3}, 0);
                    for (size_t i = 0; i < source.bytes.size(); ++i) {
                        source.bytes[i] = uint8_t((i * 2654435761u) >> 13);
                    }
                    Buffer actual(rowBytes, at, kGuard);
                    Buffer expected(rowBytes, at, kGuard);
                    for (int32_t y = 0; y < kRows; ++y) {
                        for (size_t i = 0; i < rowBytes; ++i) {
                            const bool alphaByte = k.kind == CopyKind::OpaqueXrgb && i % 4 == 3;
                            expected.At(y, i) = alphaByte ? 0 : source.At(y, i);
                        }
                    }
                    const RectCopy copy{actual.origin, actual.pitch, source.origin, source.pitch,
                                        width, kRows, k.bytesPerPixel, k.kind};
                    CopyRows(copy, 0, kRows, path);
                    ASSERT_EQ(actual.Visible(), expected.Visible())
                        << Case(path, k.bytesPerPixel, width, at) << (k.kind == CopyKind::OpaqueXrgb ? " opaque" : "");
                }
            }
        }
    }
}

// Bands of one rectangle, run separately, give the bytes of the whole; a band writes its own
// rows only, and ranges reaching past the rectangle are clamped to it. Rows with slack between
// them run one by one, rows back to back as one run.
TEST(BlockTransfer, RowRangesWriteTheirOwnRowsOnly)
{
    constexpr int32_t kWidth = 83, kHeight = 7;
    constexpr size_t kRowBytes = size_t(kWidth) * 4;
    std::vector<uint8_t> picture(kRowBytes * kHeight);
    for (size_t i = 0; i < picture.size(); ++i) picture[i] = uint8_t(i * 7 + 1);
    struct Range {
        int32_t begin, end;
    };
    const Range ranges[] = {{0, 7}, {-4, 2}, {2, 3}, {3, 3}, {5, 100}, {6, 2}, {7, 9}};
    for (const Range r : ranges) {
        for (const int32_t slack : {20, 0}) {
            for (const bool copying : {false, true}) {
                const Placement at{12, slack};
                Buffer expected(kRowBytes, at, kGuard, kHeight);
                for (int32_t y = std::max(r.begin, 0); y < std::min(r.end, kHeight); ++y) {
                    for (size_t i = 0; i < kRowBytes; ++i) {
                        expected.At(y, i) = copying ? picture[size_t(y) * kRowBytes + i] : uint8_t(0x11 * (i % 4 + 1));
                    }
                }
                Buffer actual(kRowBytes, at, kGuard, kHeight);
                if (copying) {
                    const RectCopy copy{actual.origin, actual.pitch, picture.data(), ptrdiff_t(kRowBytes),
                                        kWidth, kHeight, 4, CopyKind::Bytes};
                    CopyRows(copy, r.begin, r.end);
                } else {
                    FillRows(RectFill{actual.origin, actual.pitch, kWidth, kHeight, 4, 0x44332211u}, r.begin, r.end);
                }
                EXPECT_EQ(actual.Visible(), expected.Visible())
                    << (copying ? "copy" : "fill") << " rows " << r.begin << ".." << r.end << ", slack " << slack;
            }
        }
    }
}
