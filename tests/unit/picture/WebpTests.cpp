// WebP: still pictures with and without alpha, lossy and lossless, and animations as the
// picture box plays them.
#include <gtest/gtest.h>

#include <cstdlib>

#include "Picture.h"
#include "PictureTestData.h"
#include "Webp.h"

namespace {

// w x h of R, G, B, A samples: colour from the position, alpha from `alpha(x, y)`.
template <class Alpha>
Bytes Samples(int w, int h, Alpha alpha) {
    Bytes b;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            b.insert(b.end(), {static_cast<uint8_t>(x * 16), static_cast<uint8_t>(y * 16),
                               static_cast<uint8_t>(200), static_cast<uint8_t>(alpha(x, y))});
        }
    }
    return b;
}

std::vector<Rgba> AsPixels(const Bytes& rgba) {
    std::vector<Rgba> px;
    for (size_t i = 0; i + 3 < rgba.size(); i += 4) {
        px.push_back({rgba[i], rgba[i + 1], rgba[i + 2], rgba[i + 3]});
    }
    return px;
}

TEST(Webp, StillPicturesKeepTheirAlpha) {
    const Bytes opaque = Samples(12, 10, [](int, int) { return 255; });
    const Bytes translucent = Samples(12, 10, [](int x, int) { return x * 20; });
    const struct {
        const char* name;
        Bytes file, want;
        bool hasAlpha;
        int tolerance;
    } cases[] = {
        {"lossless, opaque", WriteWebp(12, 10, opaque), opaque, false, 0},
        {"lossless with alpha", WriteWebp(12, 10, translucent), translucent, true, 0},
        {"lossy, opaque", WriteWebp(12, 10, opaque, false, 100), opaque, false, 24},
        {"lossy with alpha", WriteWebp(12, 10, translucent, false, 100), translucent, true, 24},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(PictureKind::Webp, RecognizePicture(c.file.data(), c.file.size()));
        TestSink sink;
        ASSERT_TRUE(Decodes(DecodeWebp, c.file, sink, 12, 10, c.hasAlpha));
        const std::vector<Rgba> got = sink.All(), want = AsPixels(c.want);
        ASSERT_EQ(want.size(), got.size());
        for (size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(want[i].a, got[i].a) << "pixel " << i;  // alpha is lossless either way
            if (want[i].a == 0) continue;  // the colour of a hole is the encoder's choice
            EXPECT_LE(std::abs(want[i].r - got[i].r) + std::abs(want[i].g - got[i].g) +
                          std::abs(want[i].b - got[i].b),
                      c.tolerance)
                << "pixel " << i << ": " << testing::PrintToString(got[i]);
        }
    }
}

// Three frames: red, half-transparent green, then blue with a hole in its middle.
std::vector<WebpFrame> ThreeFrames() {
    auto fill = [](Rgba c, bool hole) {
        Bytes b;
        for (int i = 0; i < 16; ++i) {
            const bool inHole = hole && (i == 5 || i == 6 || i == 9 || i == 10);
            b.insert(b.end(), {c.r, c.g, c.b, static_cast<uint8_t>(inHole ? 0 : c.a)});
        }
        return b;
    };
    return {{fill(kRed, false), 100}, {fill({0, 255, 0, 128}, false), 0}, {fill(kBlue, true), 250}};
}

// The animation as the picture box plays it: each frame composed onto the box's background,
// its delay (0 ms stays kZeroDelayMs), and round to the first frame after the last.
TEST(Webp, AnimationPlaysFramesOnTheBackground) {
    const Bytes file = WriteAnimatedWebp(4, 4, ThreeFrames());
    WebpAnimation animation;
    ASSERT_EQ(Refusal::None, animation.Open(file.data(), file.size()));
    EXPECT_EQ(4, animation.Width());
    EXPECT_FALSE(animation.IsStill());
    const uint32_t grey = 0xFF404040u;
    Bytes screen(4 * 4 * 4, 0xA5);
    int32_t delay = 0;
    ASSERT_TRUE(animation.Start(screen.data(), grey, &delay));
    const auto at = [&](size_t i) { return ToPixels(screen)[i]; };
    EXPECT_EQ(kRed, at(0));
    EXPECT_EQ(100, delay);
    // Green at alpha 128 over grey 64: trunc(255 * a + 64 * (1 - a)), a = 128 / 255.
    ASSERT_EQ(PictureAnimation::Step::Frame, animation.Next(screen.data(), &delay));
    EXPECT_EQ((Rgba{31, 159, 31, 255}), at(0));
    EXPECT_EQ(PictureAnimation::kZeroDelayMs, delay);
    ASSERT_EQ(PictureAnimation::Step::Frame, animation.Next(screen.data(), &delay));
    EXPECT_EQ(kBlue, at(0));
    EXPECT_EQ((Rgba{64, 64, 64, 255}), at(5)) << "a hole in the last frame shows the background";
    EXPECT_EQ(250, delay);
    animation.Recompose(screen.data(), 0xFF808080u);
    EXPECT_EQ(kBlue, at(0));
    EXPECT_EQ((Rgba{128, 128, 128, 255}), at(5)) << "the hole on another background";
    EXPECT_EQ(0u, animation.Passes());
    ASSERT_EQ(PictureAnimation::Step::Frame, animation.Next(screen.data(), &delay));
    EXPECT_EQ(1u, animation.Passes());
    EXPECT_EQ(kRed, at(0));
    EXPECT_EQ(100, delay);

    // The still picture of an animation is its first frame, alpha kept.
    TestSink sink;
    ASSERT_TRUE(Decodes(DecodeWebp, file, sink, 4, 4, false));
    EXPECT_EQ(kRed, sink.All()[0]);
}

// A lossless stream decodes whatever alpha it codes, even when its header's hint says it has
// none (a fuzzed file did this): such a picture is shown opaque, as viewers show it.
TEST(Webp, LosslessWithoutItsAlphaHintIsOpaque) {
    const Bytes translucent = Samples(12, 10, [](int x, int) { return 100 + x * 10; });
    Bytes file = WriteWebp(12, 10, translucent);
    // RIFF header (12), "VP8L" and its size (8), the 0x2F signature, then 14 bits of width - 1,
    // 14 of height - 1 and the alpha hint: bit 4 of byte 24.
    ASSERT_EQ(0x2F, file.at(20));
    ASSERT_TRUE(file.at(24) & 0x10);
    file[24] = static_cast<uint8_t>(file[24] & ~0x10);
    TestSink sink;
    // Drawn opaque: the fourth bytes are not looked at.
    ASSERT_TRUE(Decodes(DecodeWebp, file, sink, 12, 10, false));
    const std::vector<Rgba> got = sink.All(), want = AsPixels(translucent);
    ASSERT_EQ(want.size(), got.size());
    for (size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ((Rgba{want[i].r, want[i].g, want[i].b, got[i].a}), got[i]) << "pixel " << i;
    }
}

// Damaged and lying files give no picture, and nothing larger than the cap is asked for.
TEST(Webp, DamagedFilesGiveNoPicture) {
    const Bytes still = WriteWebp(12, 10, Samples(12, 10, [](int, int) { return 255; }));
    const Bytes animated = WriteAnimatedWebp(4, 4, ThreeFrames());
    // An animation's canvas size is in its VP8X chunk: 24-bit width - 1 at 24, height - 1 at 27.
    const struct {
        const char* name;
        Bytes file;
    } cases[] = {
        {"header only", Cut(still, 12)},
        {"cut in the image data", Cut(still, still.size() - 10)},
        {"animation cut after its header", Cut(animated, 40)},
        {"animation canvas 16384 x 16384, past the cap",
         Patched(animated, 24, {0xFF, 0x3F, 0, 0xFF, 0x3F, 0})},
        {"not a RIFF", Patched(still, 0, {'R', 'I', 'F', 'X'})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TestSink sink;
        EXPECT_NE(Refusal::None, DecodeWebp(c.file.data(), c.file.size(), sink, nullptr));
        EXPECT_LE(int64_t{sink.width} * sink.height, kMaxPicturePixels);
        WebpAnimation animation;
        Bytes screen(16 * 4);
        int32_t delay = 0;
        if (animation.Open(c.file.data(), c.file.size()) == Refusal::None) {
            // The cut animation opens (its frames are found lazily) but plays no frame.
            EXPECT_FALSE(animation.Start(screen.data(), 0xFF000000u, &delay));
        }
    }
}

}  // namespace
