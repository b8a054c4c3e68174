// JPEG beyond grey and colour: CMYK and YCCK converted to RGB (with Adobe's inverted CMYK),
// and the EXIF orientation applied.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <string>
#include <utility>

#include "Picture.h"
#include "PictureTestData.h"

namespace {

constexpr Rgba kGrey127{127, 127, 127}, kBrown{128, 64, 32};

// Quality 100 without subsampling keeps flat 8 x 8 blocks within a step or two.
bool Near(const Rgba& a, const Rgba& b) {
    return std::abs(a.r - b.r) <= 3 && std::abs(a.g - b.g) <= 3 && std::abs(a.b - b.b) <= 3 &&
           a.a == b.a;
}

// The segment of a marker (FF xx) removed, wherever it is.
Bytes WithoutSegment(Bytes jpeg, uint8_t marker) {
    for (size_t at = 2; at + 4 <= jpeg.size();) {
        const size_t length = size_t{jpeg[at + 2]} << 8 | jpeg[at + 3];
        if (jpeg[at + 1] == marker) {
            jpeg.erase(jpeg.begin() + static_cast<ptrdiff_t>(at),
                       jpeg.begin() + static_cast<ptrdiff_t>(at + 2 + length));
            return jpeg;
        }
        at += 2 + length;
    }
    return jpeg;
}

// 16 x 16: red, green / blue, a grey of K alone. As C, M, Y, K ink amounts, inverted as
// Photoshop stores them when `inverted`.
Bytes CmykSamples(bool inverted) {
    static const uint8_t kInk[4][4] = {
        {0, 255, 255, 0}, {255, 0, 255, 0}, {255, 255, 0, 0}, {0, 0, 0, 128}};
    Bytes samples;
    for (int i = 0; i < 256; ++i) {
        const int q = (i / 128) * 2 + (i % 16) / 8;
        for (int c = 0; c < 4; ++c) {
            samples.push_back(static_cast<uint8_t>(inverted ? 255 - kInk[q][c] : kInk[q][c]));
        }
    }
    return samples;
}

TEST(JpegVariants, FourComponentsAsRgb) {
    constexpr uint8_t kAdobeMarker = 0xEE;
    const struct {
        const char* name;
        Bytes file;
    } cases[] = {
        {"CMYK with an Adobe marker: inverted", WriteJpeg(16, 16, 4, CmykSamples(true))},
        {"CMYK, progressive", WriteJpeg(16, 16, 4, CmykSamples(true), JpegScans::Progressive)},
        {"YCCK with an Adobe marker: inverted",
         WriteJpeg(16, 16, 4, CmykSamples(true), JpegScans::Baseline, 100, false, true)},
        {"CMYK without an Adobe marker: as stored",
         WithoutSegment(WriteJpeg(16, 16, 4, CmykSamples(false)), kAdobeMarker)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TestSink sink;
        ASSERT_TRUE(Decodes(DecodeJpeg, c.file, sink, 16, 16, false));
        const std::vector<Rgba> px = sink.All();
        const Rgba want[4] = {kRed, kGreen, kBlue, kGrey127};
        for (int q = 0; q < 4; ++q) {
            const Rgba got = px[static_cast<size_t>((q / 2) * 128 + (q % 2) * 8 + 3 * 16 + 3)];
            EXPECT_TRUE(Near(got, want[q]))
                << "quadrant " << q << ": " << testing::PrintToString(got);
        }
    }
}

TEST(JpegVariants, ExifOrientationMirrorsAndTurns) {
    // Stored 16 x 24 in 8 x 8 blocks: A B / C D / E F.
    const Rgba blocks[6] = {kRed, kGreen, kBlue, kWhite, kBrown, kGrey127};
    Bytes samples;
    for (int y = 0; y < 24; ++y) {
        for (int x = 0; x < 16; ++x) {
            const Rgba c = blocks[(y / 8) * 2 + x / 8];
            samples.insert(samples.end(), {c.r, c.g, c.b});
        }
    }
    const Bytes stored = WriteJpeg(16, 24, 3, samples);
    // The upright picture's blocks, row by row, as letters of the stored ones.
    const struct {
        int orientation;
        int columns;
        const char* layout;
    } cases[] = {
        {1, 2,
         "AB"
         "CD"
         "EF"},
        {2, 2,
         "BA"
         "DC"
         "FE"},
        {3, 2,
         "FE"
         "DC"
         "BA"},
        {4, 2,
         "EF"
         "CD"
         "AB"},
        {5, 3,
         "ACE"
         "BDF"},
        {6, 3,
         "ECA"
         "FDB"},
        {7, 3,
         "FDB"
         "ECA"},
        {8, 3,
         "BDF"
         "ACE"},
    };
    const std::pair<bool, uint16_t> kOrders[] = {{false, 3}, {true, 3}, {false, 1}, {true, 4},
                                                 {false, 6}, {true, 8}, {false, 9}, {true, 9}};
    for (const auto& c : cases) {
        // Each in SHORT, its type, in both byte orders; orientation 6 also in BYTE, LONG, SBYTE,
        // SSHORT and SLONG (types 1, 4, 6, 8, 9).
        for (const auto& [bigEndian, type] : kOrders) {
            if (type != 3 && c.orientation != 6) {
                continue;
            }
            SCOPED_TRACE(testing::Message() << "orientation " << c.orientation << " type " << type
                                            << (bigEndian ? " big-endian" : " little-endian"));
            const Bytes file = WithExif(
                stored, OrientationTiff(static_cast<uint16_t>(c.orientation), bigEndian, type));
            TestSink sink;
            ASSERT_TRUE(Decodes(DecodeJpeg, file, sink, 8 * c.columns, 48 / c.columns, false));
            ASSERT_EQ(8 * c.columns, sink.width);
            const std::vector<Rgba> px = sink.All();
            for (size_t i = 0; c.layout[i]; ++i) {
                const size_t x = (i % static_cast<size_t>(c.columns)) * 8 + 4;
                const size_t y = (i / static_cast<size_t>(c.columns)) * 8 + 4;
                const Rgba got = px[y * static_cast<size_t>(sink.width) + x];
                EXPECT_TRUE(Near(got, blocks[c.layout[i] - 'A']))
                    << "block " << i << ": " << testing::PrintToString(got);
            }
        }
    }
}

// Drawn below half its size, a JPEG comes at the smallest m/8 scale still twice the drawn
// size, and shows what the whole picture shows; any other comes whole.
TEST(JpegVariants, DecodedAtTheSizeShown) {
    const Bytes stored = JpegFile(Quarters(800, 600, kRed, kGreen, kBlue, kWhite), false);
    const struct {
        const char* name;
        int orientation;
        DrawTarget target;
        int32_t wantW, wantH;
    } cases[] = {
        {"stretched into 98 x 98: 3/8", 1, {1, 98, 98}, 300, 225},
        {"centred, fitted to 98 x 73: 2/8", 1, {2, 98, 98}, 200, 150},
        {"turned 90: the upright picture's drawn size", 6, {1, 98, 200}, 300, 400},
        {"natural size: whole", 1, {0, 98, 98}, 800, 600},
        {"drawn at half its size: whole", 1, {1, 400, 300}, 800, 600},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes file =
            c.orientation == 1 ? stored : WithExif(stored, OrientationTiff(6, false));
        TestSink whole, fit;
        ImageInfo info;
        ASSERT_EQ(Refusal::None, DecodeJpeg(file.data(), file.size(), whole, nullptr));
        ASSERT_EQ(Refusal::None, DecodeJpegToFit(file.data(), file.size(), c.target, fit, &info));
        EXPECT_EQ(std::make_pair(whole.width, whole.height),
                  std::make_pair(info.width, info.height));
        ASSERT_EQ(std::make_pair(c.wantW, c.wantH), std::make_pair(fit.width, fit.height));
        const std::vector<Rgba> wholePx = whole.All(), fitPx = fit.All();
        for (int q = 0; q < 4; ++q) {  // the centre of each quarter, as the whole picture has it
            const auto centre = [q](const TestSink& p, const std::vector<Rgba>& px) {
                return px[static_cast<size_t>((q / 2 * 2 + 1) * p.height / 4 * p.width +
                                              (q % 2 * 2 + 1) * p.width / 4)];
            };
            EXPECT_TRUE(Near(centre(fit, fitPx), centre(whole, wholePx))) << "quarter " << q;
        }
    }
}

// EXIF blocks that do not say a valid orientation leave the picture as stored.
TEST(JpegVariants, BrokenExifShowsAsStored) {
    const Bytes stored = WriteJpeg(16, 8, 3, Bytes(16 * 8 * 3, 90));
    Bytes farIfd = OrientationTiff(6, false);
    farIfd[4] = 0xF0;  // the IFD past the block
    const struct {
        const char* name;
        Bytes tiff;
    } cases[] = {
        {"orientation 0", OrientationTiff(0, false)},
        {"orientation 9", OrientationTiff(9, true)},
        {"orientation as a RATIONAL", OrientationTiff(6, false, 5)},
        {"IFD beyond the block", farIfd},
        {"the block ends inside the orientation entry", Cut(OrientationTiff(6, false), 30)},
        {"no TIFF byte order", Patched(OrientationTiff(6, false), 0, {'X', 'X'})},
        {"block of 3 bytes", Bytes{'I', 'I', 42}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes file = WithExif(stored, c.tiff);
        TestSink sink;
        EXPECT_TRUE(Decodes(DecodeJpeg, file, sink, 16, 8, false));
    }
}

}  // namespace
