// BMP beyond the uncompressed 40-byte kind: other header versions, 16 bits, bit fields with and
// without alpha, and run-length compression. The real-file check of the same variants is the
// conformance check over the BMP suite (tests/conformance). Run-length rules (Bmp.cpp): a stream
// must end with its end-of-picture marker or reach past the last pixel, else it is truncated
// and refused; a picture above 16,384 pixels per byte of stream is refused unallocated.
#include <gtest/gtest.h>

#include "Picture.h"
#include "PictureTestData.h"

namespace {

constexpr uint32_t kRle8 = 1, kRle4 = 2, kBitFields = 3, kAlphaBitFields = 6;

BmpLayout Layout(int32_t width, int32_t height, uint16_t bits, Bytes pixels) {
    BmpLayout l;
    l.width = width;
    l.height = height;
    l.bits = bits;
    l.pixels = std::move(pixels);
    return l;
}

BmpLayout With(BmpLayout l, uint32_t headerSize, uint32_t compression = 0,
               std::vector<uint32_t> masks = {}, std::vector<Rgba> table = {}) {
    l.headerSize = headerSize;
    l.compression = compression;
    l.masks = std::move(masks);
    l.table = std::move(table);
    return l;
}

TEST(BmpVariants, HeadersBitFieldsAndRunLength) {
    const std::vector<Rgba> two{kRed, kGreen};
    std::vector<Rgba> sixteen(16, kBlack);
    sixteen[1] = kRed, sixteen[2] = kGreen, sixteen[3] = kBlue;
    const Rgba grey8{8, 8, 8};  // 1 of 31 is round(255 / 31)
    const Rgba halfRed{128, 0, 0};
    const struct {
        const char* name;
        BmpLayout layout;
        std::vector<Rgba> want;  // top row first
        bool hasAlpha;
    } cases[] = {
        {"V4 header (108 bytes) with a colour table after it",
         With(Layout(2, 1, 8, {1, 0, 0, 0}), 108, 0, {}, two),
         {kGreen, kRed},
         false},
        {"V5 header (124 bytes) with a colour table after it",
         With(Layout(2, 1, 8, {1, 0, 0, 0}), 124, 0, {}, two),
         {kGreen, kRed},
         false},
        {"12-byte core header: 16-bit sizes, 3-byte table entries",
         With(Layout(2, 2, 8, {0, 1, 0, 0, 1, 1, 0, 0}), 12, 0, {}, two),
         {kGreen, kGreen, kRed, kGreen},
         false},
        {"12-byte core header, 24 bits", With(Layout(1, 1, 24, {0, 0, 255, 0}), 12), {kRed}, false},
        {"16 bits without masks are 5-5-5; the top bit is unused",
         Layout(3, 1, 16, {0x00, 0x7C, 0x21, 0x84, 0xFF, 0xFF, 0, 0}),
         {kRed, grey8, kWhite},
         false},
        {"16-bit bit fields 5-6-5 after a 40-byte header",
         With(Layout(3, 1, 16, {0x00, 0xF8, 0xE0, 0x07, 0x10, 0x00, 0, 0}), 40, kBitFields,
              {0xF800, 0x07E0, 0x001F}),
         {kRed, kGreen, {0, 0, 132}},
         false},
        {"32-bit bit fields in another order (R, G, B from the low byte up)",
         With(Layout(2, 1, 32, {255, 0, 0, 0, 0, 0, 128, 7}), 40, kBitFields,
              {0x0000FF, 0x00FF00, 0xFF0000}),
         {kRed, {0, 0, 128}},
         false},
        {"32-bit bit fields of 11, 11 and 10 bits round to 8",
         With(Layout(1, 1, 32, {0x00, 0x00, 0x00, 0x80}), 40, kBitFields,
              {0xFFE00000, 0x001FFC00, 0x000003FF}),
         {halfRed},
         false},
        {"V5 with an alpha mask: alpha is kept, to be blended like a PNG's",
         With(Layout(2, 1, 32, {0, 0, 255, 0x80, 255, 0, 0, 255}), 124, kBitFields,
              {0xFF0000, 0xFF00, 0xFF, 0xFF000000}),
         {{255, 0, 0, 0x80}, kBlue},
         true},
        {"V5 with an alpha mask but alpha 0 everywhere: opaque, as writers that never filled "
         "it mean",
         With(Layout(2, 1, 32, {0, 0, 255, 0, 255, 0, 0, 0}), 124, kBitFields,
              {0xFF0000, 0xFF00, 0xFF, 0xFF000000}),
         {kRed, kBlue},
         false},
        {"compression 6: four masks after a 40-byte header, 16 bits 4-4-4-4",
         With(Layout(1, 1, 16, {0x0F, 0x8F, 0, 0}), 40, kAlphaBitFields,
              {0x0F00, 0x00F0, 0x000F, 0xF000}),
         {{255, 0, 255, 0x88}},
         true},
        // 3 x 3, bottom row first: a run of two, end of line; an absolute run of three (padded
        // to an even count), end of line; a delta of one to the right, a run of five cut at
        // the row's end, end of picture.
        {"RLE8: runs, absolute runs, end of line, delta, runs past the row end",
         With(Layout(3, 3, 8, {2, 1, 0, 0, 0, 3, 2, 0, 1, 0, 0, 0, 0, 2, 1, 0, 5, 1, 0, 1}), 40,
              kRle8, {}, sixteen),
         {kClear, kRed, kRed, kGreen, kBlack, kRed, kRed, kRed, kClear},
         true},
        {"RLE4: a run alternates its two nibbles, an absolute run of three is two bytes",
         With(Layout(5, 2, 4, {5, 0x12, 0, 0, 0, 3, 0x31, 0x20, 0, 1}), 40, kRle4, {}, sixteen),
         {kBlue, kRed, kGreen, kClear, kClear, kRed, kGreen, kRed, kGreen, kRed},
         true},
        {"RLE8 that reaches its last pixel without the end marker: complete and opaque",
         With(Layout(2, 2, 8, {2, 3, 0, 0, 2, 1}), 40, kRle8, {}, sixteen),
         {kRed, kRed, kBlue, kBlue},
         false},
        {"RLE8 of 256 x 256 holding only its end marker: a free canvas, all clear",
         With(Layout(256, 256, 8, {0, 1}), 40, kRle8, {}, sixteen),
         std::vector<Rgba>(256 * 256, kClear), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes file = MakeBmp(c.layout);
        TestSink sink;
        ASSERT_TRUE(Decodes(DecodeBmp, file, sink, c.layout.width, c.layout.height, c.hasAlpha));
        EXPECT_EQ(sink.All(), c.want);
    }
}

TEST(BmpVariants, RefusedVariantsAndHostileStreams) {
    const std::vector<Rgba> two{kRed, kGreen};
    const struct {
        const char* name;
        BmpLayout layout;
        size_t cutTo;  // 0: the whole file
    } cases[] = {
        {"embedded JPEG (compression 4)", With(Layout(1, 1, 24, {0, 0, 0, 0}), 40, 4), 0},
        {"RLE8 stored top-down, which the format does not allow",
         With(Layout(1, -1, 8, {1, 0, 0, 1}), 40, kRle8, {}, two), 0},
        {"RLE4 with 8 bits per pixel", With(Layout(1, 1, 8, {1, 0, 0, 1}), 40, kRle4, {}, two), 0},
        {"bit fields at 24 bits",
         With(Layout(1, 1, 24, {0, 0, 0, 0}), 40, kBitFields, {0xFF0000, 0xFF00, 0xFF}), 0},
        {"a mask that is not one run of bits",
         With(Layout(1, 1, 32, {0, 0, 0, 0}), 40, kBitFields, {0xF0F000, 0xFF00, 0xFF}), 0},
        {"a 16-bit mask reaching past 16 bits",
         With(Layout(1, 1, 16, {0, 0, 0, 0}), 40, kBitFields, {0x1F0000, 0x7E0, 0x1F}), 0},
        {"masks cut off by the end of the data",
         With(Layout(1, 1, 32, {}), 40, kBitFields, {0xFF0000, 0xFF00, 0xFF}), 60},
        {"core header table cut off", With(Layout(1, 1, 8, {}), 12, 0, {}, two), 30},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes file = MakeBmp(c.layout);
        if (c.cutTo != 0) {
            file = Cut(file, c.cutTo);
        }
        TestSink sink;
        EXPECT_NE(Refusal::None, DecodeBmp(file.data(), file.size(), sink, nullptr));
    }
    const Bytes shortHeader = Patched(MakeBmp(Layout(1, 1, 24, {0, 0, 0, 0})), 14, {16});
    TestSink shortSink;
    EXPECT_NE(Refusal::None, DecodeBmp(shortHeader.data(), shortHeader.size(), shortSink, nullptr))
        << "a 16-byte header, a layout not read";

    // Escapes cut off at every byte: truncated data until the delta (its 10th byte) moves far
    // past the picture, which completes it.
    const Bytes stream{0, 3, 1, 2, 3, 0, 0, 2, 200, 200, 4, 1};
    const BmpLayout rle = With(Layout(4, 2, 8, stream), 40, kRle8, {}, two);
    const Bytes whole = MakeBmp(rle);
    const size_t streamStart = whole.size() - stream.size();
    for (size_t n = streamStart + 1; n <= whole.size(); ++n) {
        SCOPED_TRACE(n);
        TestSink cutSink;
        EXPECT_EQ(n >= streamStart + 10 ? Refusal::None : Refusal::Truncated,
                  DecodeBmp(whole.data(), n, cutSink, nullptr));
    }
}

// Pictures of 4 MiB and more take another path (whole registers, streaming stores): odd
// widths put the rows at every alignment, and the last pixels of each row come from the tail.
TEST(BmpVariants, LargePicturesOfEveryRowAlignment) {
    constexpr int32_t kWidth = 1027, kHeight = 1030;
    for (const uint16_t bits : {uint16_t{24}, uint16_t{32}}) {
        SCOPED_TRACE(bits);
        const size_t rowBytes = (size_t{kWidth} * bits / 8 + 3) / 4 * 4;
        Bytes rows(rowBytes * kHeight);
        uint32_t seed = 5;
        for (uint8_t& b : rows) {
            b = static_cast<uint8_t>((seed = seed * 1103515245u + 12345u) >> 16);
        }
        const Bytes file = MakeBmp(kWidth, kHeight, bits, rows);
        TestSink sink;
        ASSERT_EQ(Refusal::None, DecodeBmp(file.data(), file.size(), sink, nullptr));
        const size_t step = bits / 8;
        for (size_t y = 0; y < kHeight; ++y) {
            const uint8_t* src = rows.data() + (kHeight - 1 - y) * rowBytes;
            const uint8_t* got = sink.pixels.data() + y * kWidth * 4;
            for (size_t x = 0; x < kWidth; ++x) {
                const uint8_t* p = src + x * step;
                ASSERT_EQ((Rgba{p[2], p[1], p[0]}),
                          (Rgba{got[4 * x + 2], got[4 * x + 1], got[4 * x], got[4 * x + 3]}))
                    << "pixel " << x << ", " << y;
            }
        }
    }
}

}  // namespace
