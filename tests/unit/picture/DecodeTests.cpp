// Pixels of well-formed BMP, PCX, JPEG and PNG files: orientation, channel order, palettes,
// row padding, bit packing and alpha.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <utility>

#include "Apng.h"
#include "DecodePicture.h"
#include "Picture.h"
#include "PictureTestData.h"

namespace {

TEST(Decode, BmpAndPcxPixelsTopRowFirst) {
    std::vector<Rgba> sixteen(16, kBlack);
    sixteen[1] = kRed, sixteen[2] = kGreen, sixteen[3] = kBlue;
    Bytes palette(768, 0);
    for (auto [index, r, g, b] :
         {std::array<int, 4>{0xC0, 255, 0, 0}, {5, 0, 255, 0}, {0xC5, 0, 0, 255}, {1, 3, 2, 1}}) {
        palette[3 * static_cast<size_t>(index)] = static_cast<uint8_t>(r);
        palette[3 * static_cast<size_t>(index) + 1] = static_cast<uint8_t>(g);
        palette[3 * static_cast<size_t>(index) + 2] = static_cast<uint8_t>(b);
    }
    const Bytes black(768, 0);
    std::vector<Rgba> mono(34, kBlack);
    mono[0] = mono[16] = mono[18] = kWhite;
    const struct {
        const char* name;
        Decoder decode;
        Bytes file;
        int width, height;
        std::vector<Rgba> want;
    } cases[] = {
        {"BMP 24-bit: bottom row first, bytes B,G,R, rows padded to 4",
         DecodeBmp,
         MakeBmp(2, 2, 24, {255, 0, 0, 0, 255, 0, 0, 0, 0, 0, 255, 255, 255, 255, 0, 0}),
         2,
         2,
         {kRed, kWhite, kBlue, kGreen}},
        {"BMP 32-bit: the fourth byte is not alpha",
         DecodeBmp,
         MakeBmp(1, 2, 32, {1, 2, 3, 0, 0, 0, 255, 0x80}),
         1,
         2,
         {kRed, kGrey1}},
        {"BMP negative height: rows stored top row first",
         DecodeBmp,
         MakeBmp(1, -2, 24, {0, 0, 255, 0, 1, 2, 3, 0}),
         1,
         2,
         {kRed, kGrey1}},
        {"BMP 8-bit: an index beyond a two-colour table is black",
         DecodeBmp,
         MakeBmp(3, 1, 8, {1, 0, 7, 0}, {kRed, kGreen}, 2),
         3,
         1,
         {kGreen, kRed, kBlack}},
        {"BMP 4-bit: high nibble first, 16 colours when colours-used is 0",
         DecodeBmp,
         MakeBmp(3, 1, 4, {0x12, 0x30, 0, 0}, sixteen),
         3,
         1,
         {kRed, kGreen, kBlue}},
        {"BMP 1-bit: most significant bit first, across bytes",
         DecodeBmp,
         MakeBmp(9, 1, 1, {0xA0, 0x80, 0, 0}, {kBlack, kWhite}),
         9,
         1,
         {kWhite, kBlack, kWhite, kBlack, kBlack, kBlack, kBlack, kBlack, kWhite}},
        // Rows of 3 pixels are 4 bytes; the run of 5s spans the row end, 0xC0 is a literal,
        // 0xC5 has to be written as a run of one.
        {"PCX 8-bit with the palette after a 12",
         DecodePcx,
         MakePcx(3, 2, 8, {0xC0, 5, 5, 5, 5, 0xC5, 1, 0}, &palette),
         3,
         2,
         {kRed, kGreen, kGreen, kGreen, kBlue, kGrey1}},
        {"PCX 8-bit without a palette is grey",
         DecodePcx,
         MakePcx(2, 1, 8, {7, 200}),
         2,
         1,
         {{7, 7, 7, 255}, {200, 200, 200, 255}}},
        {"PCX 8-bit whose palette is cut short is grey",
         DecodePcx,
         Cut(MakePcx(1, 1, 8, {9, 0}, &black), 130 + 768),
         1,
         1,
         {{9, 9, 9, 255}}},
        {"PCX 1-bit: 17 pixels in rows of 4 bytes, bit 1 white", DecodePcx,
         MakePcx(17, 2, 1, {0x80, 0x00, 0x80, 0xFF, 0x40, 0x00, 0x00, 0x00}), 17, 2, mono},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TestSink sink;
        ASSERT_TRUE(Decodes(c.decode, c.file, sink, c.width, c.height, false));
        EXPECT_EQ(c.want, sink.All());
    }
}

// Index rows of `width` x `height` (each stored row one byte longer when the width is odd) with
// what photographs and drawings mix: runs of every length up to 63 and beyond, across row ends
// and padding; index bytes above 0xC0, written as runs of one, so that count and value bytes
// above 0xC0 follow each other; 0xC0 itself, a literal despite its high bits; and stretches of
// a hundred literals with no run among them.
struct PcxRows {
    Bytes stored;                  // as MakePcx takes them, padding included
    std::vector<uint8_t> indices;  // the picture's own
};

PcxRows RandomPcxRows(int width, int height, uint32_t seed) {
    const size_t w = static_cast<size_t>(width);
    const size_t pixels = w * static_cast<size_t>(height);
    auto next = [&seed] { return (seed = seed * 1103515245u + 12345u) >> 16; };
    PcxRows rows;
    auto put = [&](uint8_t value) {
        rows.indices.push_back(value);
        rows.stored.push_back(value);
        if (w % 2 != 0 && rows.indices.size() % w == 0) {
            rows.stored.push_back(value);  // the padding byte continues the run
        }
    };
    while (rows.indices.size() < pixels) {
        if (next() % 32 == 0) {
            const unsigned start = next();
            for (unsigned n = 0; n < 100 && rows.indices.size() < pixels; ++n) {
                put(static_cast<uint8_t>((start + n) % 0xC0));
            }
            continue;
        }
        const uint8_t value = next() % 8 == 0 ? 0xC0 : static_cast<uint8_t>(next());
        const unsigned length = next() % 2 == 0 ? 1 : next() % 70 + 1;
        for (unsigned n = length; n != 0 && rows.indices.size() < pixels; --n) {
            put(value);
        }
    }
    return rows;
}

// Pictures small and large (many chunks of the decoder's stream), with the palette found both
// where it normally is (closing the file) and elsewhere.
TEST(Decode, PcxRunsLiteralsAndWhereThePaletteIs) {
    for (auto [width, height] : {std::array<int, 2>{301, 7}, {1001, 61}, {2000, 9}}) {
        SCOPED_TRACE(testing::Message() << width << " x " << height);
        const PcxRows rows = RandomPcxRows(width, height, static_cast<uint32_t>(width));
        uint32_t seed = 7;
        Bytes palette(768);
        for (uint8_t& b : palette) {
            b = static_cast<uint8_t>((seed = seed * 1103515245u + 12345u) >> 16);
        }
        std::vector<Rgba> coloured, grey;
        for (uint8_t i : rows.indices) {
            const size_t at = size_t{i} * 3;
            coloured.push_back({palette[at], palette[at + 1], palette[at + 2], 255});
            grey.push_back({i, i, i, 255});
        }
        const Bytes plain = MakePcx(width, height, 8, rows.stored);
        const Bytes withPalette = MakePcx(width, height, 8, rows.stored, &palette);
        Bytes trailing(800, 0);
        trailing[0] = 13;          // not the marker: no palette
        trailing[800 - 769] = 12;  // but a 12 where a closing palette's marker would be
        Bytes decoy = plain;
        decoy.insert(decoy.end(), trailing.begin(), trailing.end());
        Bytes paletteThenMore = withPalette;
        paletteThenMore.insert(paletteThenMore.end(), {1, 2, 3});

        const struct {
            const char* name;
            const Bytes& file;
            const std::vector<Rgba>& want;
        } cases[] = {
            {"palette closing the file", withPalette, coloured},
            {"palette followed by three more bytes", paletteThenMore, coloured},
            {"no palette", plain, grey},
            {"no palette, a 12 769 bytes from the end", decoy, grey},
        };
        for (const auto& c : cases) {
            SCOPED_TRACE(c.name);
            TestSink sink;
            ASSERT_EQ(Refusal::None, DecodePcx(c.file.data(), c.file.size(), sink, nullptr));
            EXPECT_EQ(c.want, sink.All());
        }
        for (size_t cut : {size_t{129}, (plain.size() + 128) / 2, plain.size() - 1}) {
            TestSink sink;
            EXPECT_NE(Refusal::None, DecodePcx(plain.data(), cut, sink, nullptr))
                << "cut at " << cut;
        }
    }
}

TEST(Decode, PcxMonochromeWideRows) {
    constexpr int kWidth = 3001, kHeight = 40;  // the last byte of each row holds one pixel
    const size_t rowBytes = (kWidth + 7) / 8;   // 376: already even
    const PcxRows random = RandomPcxRows(static_cast<int>(rowBytes), kHeight, 99);
    const Bytes& stored = random.stored;  // even width: no padding added
    std::vector<Rgba> want;
    for (size_t y = 0; y < kHeight; ++y) {
        for (size_t x = 0; x < kWidth; ++x) {
            const bool set = (stored[y * rowBytes + x / 8] >> (7 - x % 8) & 1) != 0;
            want.push_back(set ? kWhite : kBlack);
        }
    }
    const Bytes file = MakePcx(kWidth, kHeight, 1, stored);
    TestSink sink;
    ASSERT_EQ(Refusal::None, DecodePcx(file.data(), file.size(), sink, nullptr));
    EXPECT_EQ(want, sink.All());
}

// The header's bytes per line is the length of each plane's line, whatever the width rounded
// to even would be; planar kinds stack a row's lines plane after plane.
TEST(Decode, PcxLineLengthsAndPlanes) {
    PcxLayout ega = PcxLines(9, 1, 1, 4, 2, {0x80, 0x80, 0xC0, 0x00, 0x80, 0x80, 0x80, 0x00});
    ega.version = 2;
    ega.headerPalette.assign(48, 0);
    const uint8_t entries[][4] = {{1, 255, 0, 0}, {2, 0, 255, 0}, {15, 3, 2, 1}};  // R, G, B
    for (const auto& e : entries) {
        std::copy(e + 1, e + 4, ega.headerPalette.begin() + 3 * e[0]);
    }
    PcxLayout monoV0 = PcxLines(3, 1, 1, 1, 1, {0xA0});
    monoV0.version = 0;
    const struct {
        const char* name;
        PcxLayout layout;
        std::vector<Rgba> want;
    } cases[] = {
        {"8-bit, 3 pixels in lines of 3 (not rounded to even): rows do not slide",
         PcxLines(3, 2, 8, 1, 3, {0, 255, 0, 255, 0, 255}),
         {kBlack, kWhite, kBlack, kWhite, kBlack, kWhite}},
        {"8-bit, 3 pixels in lines of 6",
         PcxLines(3, 2, 8, 1, 6, {0, 255, 0, 9, 9, 9, 255, 0, 255, 9, 9, 9}),
         {kBlack, kWhite, kBlack, kWhite, kBlack, kWhite}},
        {"1-bit, version 0, 3 pixels in a line of 1 byte", monoV0, {kWhite, kBlack, kWhite}},
        {"1-bit, 3 pixels in lines of 4 bytes",
         PcxLines(3, 2, 1, 1, 4, {0xA0, 1, 2, 3, 0x40, 1, 2, 3}),
         {kWhite, kBlack, kWhite, kBlack, kWhite, kBlack}},
        {"24-bit: lines of red, green, blue, each of 3 bytes for 2 pixels",
         PcxLines(2, 1, 8, 3, 3, {255, 0, 9, 0, 255, 9, 0, 3, 9}),
         {kRed, {0, 255, 3}}},
        // Pixel 0 has bits from planes 0, 1, 2, 3: index 15; pixel 1 from plane 1 only: 2; pixel
        // 8 (in each plane's second byte) from planes 0 and 2: 5, which the palette leaves black.
        {"16-colour EGA: four planes of one bit, the palette in the header",
         ega,
         {kGrey1, kGreen, kBlack, kBlack, kBlack, kBlack, kBlack, kBlack, kBlack}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes file = MakePcx(c.layout);
        TestSink sink;
        ASSERT_EQ(Refusal::None, DecodePcx(file.data(), file.size(), sink, nullptr));
        EXPECT_EQ(c.want, sink.All());
    }
}

TEST(Decode, JpegColourAndGrey) {
    const Rgba colour[4] = {kRed, kGreen, kBlue, kWhite};
    const Rgba grey[4] = {
        {40, 40, 40, 255}, {90, 90, 90, 255}, {160, 160, 160, 255}, {230, 230, 230, 255}};
    const struct {
        const char* name;
        int components;
        JpegScans scans;
        const Rgba* quadrant;
    } cases[] = {
        {"three components", 3, JpegScans::Baseline, colour},
        {"three components, progressive", 3, JpegScans::Progressive, colour},
        {"grey copied to red, green and blue", 1, JpegScans::Baseline, grey},
        {"grey, progressive", 1, JpegScans::Progressive, grey},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes file = QuadrantJpeg(c.components, c.scans);
        TestSink sink;
        ASSERT_TRUE(Decodes(DecodeJpeg, file, sink, 16, 16, false));
        const std::vector<Rgba> have = sink.All();
        for (size_t i = 0; i < 256; ++i) {
            const Rgba want = c.quadrant[(i / 128) * 2 + (i % 16) / 8];
            const Rgba got = have[i];
            // Quality 100 is still lossy: a few levels either way.
            EXPECT_TRUE(std::abs(want.b - got.b) <= 3 && std::abs(want.g - got.g) <= 3 &&
                        std::abs(want.r - got.r) <= 3 && got.a == 255)
                << "pixel " << i << ": want " << testing::PrintToString(want) << ", have "
                << testing::PrintToString(got);
        }
    }
}

TEST(Decode, PngKeepsAlphaAndChannelOrder) {
    // R, G, B, A: opaque red, half-transparent green, clear blue / alphas 254, 1, 255.
    const Bytes rgba = {255, 0, 0, 255, 0, 255, 0, 128, 0, 0, 255, 0,
                        9,   8, 7, 254, 1, 2,   3, 1,   4, 5, 6,   255};
    const Bytes file = WritePng(3, 2, rgba);
    TestSink sink;
    ASSERT_TRUE(Decodes(DecodePng, file, sink, 3, 2, true));
    const std::vector<Rgba> want = {kRed,           {0, 255, 0, 128}, {0, 0, 255, 0},
                                    {9, 8, 7, 254}, {1, 2, 3, 1},     {4, 5, 6, 255}};
    EXPECT_EQ(want, sink.All());
#ifdef ORVESSA_AVIF_ENCODER
    // The same pixels through a lossless AVIF: 4:4:4, identity matrix, alpha item.
    const Bytes avif = AvifFile(Raster{3, 2, want});
    ASSERT_TRUE(Decodes(DecodeAvif, avif, sink, 3, 2, true));
    EXPECT_EQ(want, sink.All());
#endif

    const Bytes opaque = WritePng(1, 2, {1, 2, 3, 255, 4, 5, 6, 255});
    EXPECT_TRUE(Decodes(DecodePng, opaque, sink, 1, 2, false))
        << "an alpha channel that is 255 everywhere";
}

// An animated PNG as the box plays it: dispose and blend operations, delays of num / den s (a
// den of 0 meaning 100, 0 ms staying kZeroDelayMs), and round to the first frame on a clear
// canvas after the last.
TEST(Decode, AnimatedPngComposesByItsOperations) {
    const auto fill = [](int w, int h, Rgba c) { return RgbaSamples(Filled(w, h, c)); };
    // x, y, width, height, samples, delay num and den, dispose (none, background, previous),
    // blend (source, over).
    const Bytes file = WriteApng(4, 2,
                                 {{0, 0, 4, 2, fill(4, 2, kRed), 1, 0, 0, 0},
                                  {1, 0, 2, 1, fill(2, 1, {0, 255, 0, 128}), 3, 1000, 2, 1},
                                  {3, 1, 1, 1, fill(1, 1, kBlue), 0, 5, 1, 0},
                                  {0, 0, 1, 1, fill(1, 1, kClear), 1, 3, 0, 0}});
    const Rgba grey{64, 64, 64, 255}, over{127, 128, 0, 255};  // half green laid over red
    const struct {
        int32_t delayMs;
        std::vector<std::pair<size_t, Rgba>> pixels;  // index, colour on the screen
    } steps[] = {
        {10, {{0, kRed}, {7, kRed}}},
        {3, {{1, over}, {2, over}, {3, kRed}}},
        {PictureAnimation::kZeroDelayMs, {{1, kRed}, {2, kRed}, {7, kBlue}}},
        {333, {{0, grey}, {7, grey}, {1, kRed}}},
        {10, {{0, kRed}, {7, kRed}}},
    };
    ApngAnimation animation;
    ASSERT_EQ(Refusal::None, animation.Open(file.data(), file.size()));
    Bytes screen(4 * 2 * 4, 0xA5);
    for (size_t i = 0; i < std::size(steps); ++i) {
        SCOPED_TRACE("step " + std::to_string(i));
        int32_t delay = 0;
        ASSERT_TRUE(i == 0
                        ? animation.Start(screen.data(), 0xFF404040u, &delay)
                        : animation.Next(screen.data(), &delay) == PictureAnimation::Step::Frame);
        EXPECT_EQ(steps[i].delayMs, delay);
        for (const auto& [at, colour] : steps[i].pixels) EXPECT_EQ(colour, ToPixels(screen)[at]);
        EXPECT_EQ(i == 4 ? 1u : 0u, animation.Passes());
    }
}

// The one entry the picture box decodes through: each kind reaches its decoder, an animation
// plays only when it has more than one frame and animation is on, and anything else is no
// picture, whatever its first bytes promise.
TEST(Decode, DecodePictureDispatchesByKind) {
    auto gif = [](int frames) {
        GifWriter writer(4, 2, RgbTable({kRed, kGreen}));
        for (int i = 0; i < frames; ++i)
            writer.Frame(SolidFrame(4, 2, static_cast<uint8_t>(i % 2), 5));
        return writer.Trailer();
    };
    const Raster red = Filled(4, 2, kRed);
    const Bytes lights = AnimatedWebpFile({red, Filled(4, 2, kGreen)}, 40);
    const auto solid = [](Rgba c) { return ApngFrame{0, 0, 4, 2, RgbaSamples(Filled(4, 2, c))}; };
    const Bytes apng = WriteApng(4, 2, {solid(kRed), solid(kGreen)});
    const Bytes yellow = RgbaSamples(Filled(4, 2, kYellow));
    // The acTL chunk is at 33, its frame count at 41.
    const Bytes twoOfThree = Rechecked(
        Patched(WriteApng(4, 2, {solid(kGreen), solid(kRed)}, yellow), 41, {0, 0, 0, 3}), 33);
    // kind None: no picture.
    const struct {
        const char* name;
        Bytes file;
        bool animate;
        PictureKind kind;
        bool plays;
        Rgba still = kClear;  // the still picture's first pixel, unless clear
    } cases[] = {
        {"BMP", BmpFile(red, 24), true, PictureKind::Bmp, false},
        {"PNG", PngFile(red, true), true, PictureKind::Png, false},
        {"JPEG", JpegFile(red, false), true, PictureKind::Jpeg, false},
        {"WebP", WebpFile(red, true), true, PictureKind::Webp, false},
        {"GIF of one frame", gif(1), true, PictureKind::Gif, false},
        {"GIF of two frames", gif(2), true, PictureKind::Gif, true},
        {"GIF of two frames, animation off", gif(2), false, PictureKind::Gif, false},
        {"animated WebP", lights, true, PictureKind::Webp, true},
        {"animated WebP, animation off", lights, false, PictureKind::Webp, false},
        {"animated PNG", apng, true, PictureKind::Png, true},
        {"animated PNG, animation off: its first frame", apng, false, PictureKind::Png, false,
         kRed},
        {"animated PNG of one frame besides its default image",
         WriteApng(4, 2, {solid(kGreen)}, yellow), true, PictureKind::Png, false, kGreen},
        {"animated PNG whose default image is not played",
         WriteApng(4, 2, {solid(kGreen), solid(kRed)}, yellow), false, PictureKind::Png, false,
         kGreen},
        {"animated PNG whose acTL counts a frame too many: its default image", twoOfThree, true,
         PictureKind::Png, false, kYellow},
#ifdef ORVESSA_AVIF_ENCODER
        {"AVIF", AvifFile(red), true, PictureKind::Avif, false},
        {"AVIF sequence", AnimatedAvifFile({red, Filled(4, 2, kGreen)}, 40), true,
         PictureKind::Avif, true},
        {"AVIF sequence, animation off", AnimatedAvifFile({red, Filled(4, 2, kGreen)}, 40), false,
         PictureKind::Avif, false},
#endif
        {"ICO", IconFile(1, {{red, 32, 0}}), true, PictureKind::Ico, false},
        {"a GIF cut inside its first frame", Cut(gif(2), 30), true, PictureKind::None, false},
        {"text", Bytes{'n', 'o', 't', 'e', ' ', 'o', 'n', 'e'}, true, PictureKind::None, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TestSink sink;
        DecodedPicture picture;
        ASSERT_EQ(c.kind != PictureKind::None,
                  DecodePicture(c.file.data(), c.file.size(), c.animate, sink, &picture));
        if (c.kind == PictureKind::None) continue;
        EXPECT_EQ(c.kind, picture.kind);
        EXPECT_EQ(c.plays, picture.animation != nullptr);
        EXPECT_EQ(std::make_pair(4, 2), std::make_pair(picture.info.width, picture.info.height));
        const bool icon = c.kind == PictureKind::Ico || c.kind == PictureKind::Cur;
        EXPECT_EQ(icon, picture.icon.size != 0);
        // A still picture's pixels are in the sink; an animation or an icon leaves it alone.
        EXPECT_EQ(c.plays || icon ? 0 : 4, sink.width);
        if (c.still != kClear) {
            EXPECT_EQ(c.still, sink.All().at(0));
        }
    }
}

}  // namespace
