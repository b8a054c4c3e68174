// Recognition from the first bytes, the icon directory rule, placement by display mode and
// drawing-time blending.
#include <gtest/gtest.h>

#include "Picture.h"
#include "PictureTestData.h"

namespace {

TEST(RecognizePicture, FirstEightBytesInTableOrder) {
    const struct {
        const char* name;
        Bytes data;
        PictureKind kind;
    } cases[] = {
        {"BMP", {'B', 'M', 0, 0, 0, 0, 0, 0}, PictureKind::Bmp},
        {"a JPEG, whatever its file is called", QuadrantJpeg(1), PictureKind::Jpeg},
        {"PNG", {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A}, PictureKind::Png},
        {"ICO", {0, 0, 1, 0, 1, 0, 0, 0}, PictureKind::Ico},
        {"CUR", {0, 0, 2, 0, 3, 0, 0, 0}, PictureKind::Cur},
        {"icon directory without entries", {0, 0, 1, 0, 0, 0, 0, 0}, PictureKind::None},
        {"GIF87a", {'G', 'I', 'F', '8', '7', 'a', 1, 0}, PictureKind::Gif},
        {"GIF88a", {'G', 'I', 'F', '8', '8', 'a', 1, 0}, PictureKind::None},
        {"PCX 8-bit, version 5", {0x0A, 5, 1, 8, 0, 0, 0, 0}, PictureKind::Pcx8},
        {"PCX 8-bit, version 6", {0x0A, 6, 1, 8, 0, 0, 0, 0}, PictureKind::None},
        {"PCX 1-bit, version 3", {0x0A, 3, 1, 1, 0, 0, 0, 0}, PictureKind::Pcx1},
        {"PCX 1-bit, version 5", {0x0A, 5, 1, 1, 0, 0, 0, 0}, PictureKind::Pcx1},
        {"PCX 1-bit, version 6", {0x0A, 6, 1, 1, 0, 0, 0, 0}, PictureKind::None},
        {"PCX without run-length encoding", {0x0A, 5, 0, 8, 0, 0, 0, 0}, PictureKind::None},
        {"WebP", {'R', 'I', 'F', 'F', 9, 0, 0, 0, 'W', 'E', 'B', 'P'}, PictureKind::Webp},
        {"RIFF of another form (WAVE)",
         {'R', 'I', 'F', 'F', 9, 0, 0, 0, 'W', 'A', 'V', 'E'},
         PictureKind::None},
        {"WebP cut to 11 bytes",
         {'R', 'I', 'F', 'F', 9, 0, 0, 0, 'W', 'E', 'B'},
         PictureKind::None},
        {"AVIF: ftyp box, brand mif1, then avif",
         {0, 0, 0, 20, 'f', 't', 'y', 'p', 'm', 'i', 'f', '1', 0, 0, 0, 0, 'a', 'v', 'i', 'f'},
         PictureKind::Avif},
        {"ftyp of HEIC",
         {0, 0, 0, 16, 'f', 't', 'y', 'p', 'h', 'e', 'i', 'c', 0, 0, 0, 0},
         PictureKind::None},
        {"AVIF brand past the ftyp box",
         {0, 0, 0, 16, 'f', 't', 'y', 'p', 'm', 'i', 'f', '1', 0, 0, 0, 0, 'a', 'v', 'i', 's'},
         PictureKind::None},
        {"BMP signature in 7 bytes", {'B', 'M', 0, 0, 0, 0, 0}, PictureKind::None},
        {"text", {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd'}, PictureKind::None},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.kind, RecognizePicture(c.data.data(), c.data.size()));
    }
}

TEST(ChooseIconEntry, The32PixelEntryWithAtLeast16ColoursElseTheLast) {
    const struct {
        const char* name;
        uint16_t type;
        std::vector<IconEntry> entries;
        int chosenWidth;  // every image has its own width
    } cases[] = {
        {"a 32-pixel 16-colour entry between others",
         1,
         {{16, 16, IconBitmap(16, 16, 4)},
          {32, 16, IconBitmap(32, 32, 4)},
          {48, 0, IconBitmap(48, 48, 32)}},
         32},
        {"a true-colour 32-pixel entry (colour count 0) is passed over for the last",
         1,
         {{32, 0, IconBitmap(32, 32, 32)},
          {16, 0, IconBitmap(16, 16, 32)},
          {48, 0, IconBitmap(48, 48, 24)}},
         48},
        {"the first of two that qualify",
         1,
         {{32, 255, IconBitmap(32, 32, 8)}, {32, 16, IconBitmap(31, 31, 4)}},
         32},
        {"8 colours are not enough; a cursor follows the same rule",
         2,
         {{32, 8, IconBitmap(32, 32, 4)}, {16, 16, IconBitmap(16, 16, 16)}},
         16},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes file = MakeIconFile(c.type, c.entries);
        IconEntryChoice choice;
        ASSERT_EQ(Refusal::None, ChooseIconEntry(file.data(), file.size(), &choice));
        EXPECT_EQ(c.chosenWidth, choice.width);
        EXPECT_EQ(c.chosenWidth, choice.height) << "half the bitmap header's height";
        EXPECT_FALSE(choice.isPng);
        ASSERT_LE(uint64_t{choice.offset} + choice.size, file.size());
        EXPECT_EQ(c.chosenWidth, file[choice.offset + 4]) << "offset of the chosen image";
    }

    // A PNG image is reported with the size from its own header.
    const Bytes png = MakeIconFile(1, {{0, 0, WritePng(24, 20, Bytes(24 * 20 * 4, 7))}});
    IconEntryChoice choice;
    ASSERT_EQ(Refusal::None, ChooseIconEntry(png.data(), png.size(), &choice));
    EXPECT_TRUE(choice.isPng);
    EXPECT_EQ(24, choice.width);
    EXPECT_EQ(20, choice.height);
    EXPECT_EQ(22u, choice.offset);
    EXPECT_EQ(png.size() - 22, choice.size);
}

TEST(PlacePicture, DisplayModes) {
    const struct {
        const char* name;
        int32_t mode, clientW, clientH, picW, picH;
        PlacedRect want;
    } cases[] = {
        {"mode 0: natural size at the corner, even when larger",
         0,
         100,
         100,
         200,
         50,
         {0, 0, 200, 50}},
        {"mode 1: the whole client area", 1, 100, 100, 200, 50, {0, 0, 100, 100}},
        {"mode 2: too wide, 100 x 25 centred", 2, 100, 100, 200, 50, {0, 37, 100, 25}},
        {"mode 2: fits, centred by integer halves", 2, 101, 100, 50, 21, {25, 39, 50, 21}},
        {"mode 2: too tall", 2, 100, 100, 50, 400, {44, 0, 12, 100}},
        {"mode 2: too large both ways", 2, 100, 100, 300, 200, {0, 17, 100, 66}},
        {"unknown mode as 0", 7, 100, 100, 30, 40, {0, 0, 30, 40}},
        {"picture without area", 2, 100, 100, 0, 10, {0, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const PlacedRect r = PlacePicture(c.mode, c.clientW, c.clientH, c.picW, c.picH);
        EXPECT_EQ(c.want.x, r.x);
        EXPECT_EQ(c.want.y, r.y);
        EXPECT_EQ(c.want.width, r.width);
        EXPECT_EQ(c.want.height, r.height);
    }
}

// A picture decoded smaller serves until its drawn size passes half the decoded one.
TEST(PlacePicture, DecodedSizeServes) {
    const struct {
        const char* name;
        DrawTarget target;
        int64_t decodedW, decodedH;
        bool serves;
    } cases[] = {
        {"whole", {1, 2000, 2000}, 800, 600, true},
        {"twice the stretched size", {1, 98, 98}, 196, 300, true},
        {"below twice the box at a higher DPI", {1, 147, 147}, 300, 225, false},
        {"reduced, while mode 0 draws it whole", {0, 98, 98}, 400, 300, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.serves, DecodedSizeServes(c.target, 800, 600, c.decodedW, c.decodedH));
    }
}

TEST(BlendOntoBackground, SinglePrecisionFormula) {
    // Expected values worked out separately with every product and sum rounded to float.
    const struct {
        const char* name;
        uint8_t c, alpha, background, want;
    } cases[] = {
        {"half alpha", 200, 128, 100, 150},
        {"alpha 0 gives the background", 0, 0, 255, 255},
        {"alpha 254 stays just below the colour", 255, 254, 0, 254},
        {"a colour over itself loses one in float", 3, 49, 3, 2},
        {"a result double precision would round up", 0, 17, 15, 14},
        {"alpha 1", 10, 1, 240, 239},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // The channel under test is blue in the first pixel and red in the second.
        const uint8_t in[8] = {c.c, 0, 0, c.alpha, 255, 255, c.c, c.alpha};
        uint8_t out[8] = {};
        BlendOntoBackground(in, out, 2, c.background, 0, c.background);
        EXPECT_EQ(c.want, out[0]);
        EXPECT_EQ(c.want, out[6]);
        EXPECT_EQ(255, out[3]);
    }
    uint8_t opaque[4] = {1, 2, 3, 255};
    BlendOntoBackground(opaque, opaque, 1, 90, 90, 90);
    EXPECT_EQ(kGrey1, ToPixels(Bytes(opaque, opaque + 4))[0]) << "alpha 255 is copied, in place";
}

}  // namespace

namespace {

// Expected bytes written out in code page 936, not built by the code under test.
TEST(DescribePicture, FormatAnimationAndSizeInCodePage936) {
    const struct {
        PictureKind kind;
        int32_t width, height;
        bool animated;
        const char* want;
    } cases[] = {
        {PictureKind::Png, 256, 256, false, "PNG 256 \xA1\xC1 256"},  // PNG 256 × 256
        {PictureKind::Gif, 500, 500, true,
         "GIF \xB6\xAF\xBB\xAD 500 \xA1\xC1 500"},            // GIF 动画 500 × 500
        {PictureKind::Gif, 1, 1, false, "GIF 1 \xA1\xC1 1"},  // a still GIF
        {PictureKind::Pcx1, 13, 8, false, "PCX 13 \xA1\xC1 8"},
        {PictureKind::Webp, 40, 30, true,
         "WebP \xB6\xAF\xBB\xAD 40 \xA1\xC1 30"},  // WebP 动画 40 × 30
        {PictureKind::Avif, 64, 48, false, "AVIF 64 \xA1\xC1 48"},
        {PictureKind::Cur, 32, 32, false, "CUR \xB9\xE2\xB1\xEA 32 \xA1\xC1 32"},  // CUR 光标
        {PictureKind::None, 7, 7, true, "\xCE\xDE\xCD\xBC\xC6\xAC"},  // 无图片, size ignored
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.want);
        EXPECT_EQ(DescribePicture(c.kind, c.width, c.height, c.animated), c.want);
    }
}

}  // namespace
