// GIF: LZW, interlacing, the first frame as a still picture, and the animation's frame order,
// transparency, disposal, delays and restart. The rules for frames that bend the format are
// listed in Gif.h; the rows here that exercise one say which.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "Gif.h"
#include "PictureTestData.h"

namespace {

// Index 0 black, 1 red, 2 green, 3 blue.
const Bytes kTable4 = {0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255};
using Step = GifAnimation::Step;

TEST(GifLzw, DecodesTheWellKnownSample) {
    // The 10 x 10 sample often used to explain the format, with the LZW bytes of its usual
    // encoding (codes growing from 3 to 5 bits, one KwKwK code): a check that does not depend
    // on our own encoder. Colours: 0 white, 1 red, 2 blue.
    const Bytes file = {'G',  'I',  'F',  '8',  '9',  'a',  10,   0,    10,   0,    0x91, 0,
                        0,    0xFF, 0xFF, 0xFF, 0xFF, 0,    0,    0,    0,    0xFF, 0,    0,
                        0,    0x21, 0xF9, 4,    0,    0,    0,    0,    0,    0x2C, 0,    0,
                        0,    0,    10,   0,    10,   0,    0,    2,    0x16, 0x8C, 0x2D, 0x99,
                        0x87, 0x2A, 0x1C, 0xDC, 0x33, 0xA0, 0x02, 0x75, 0xEC, 0x95, 0xFA, 0xA8,
                        0xDE, 0x60, 0x8C, 0x04, 0x91, 0x4C, 0x01, 0,    0x3B};
    const char* rows =
        "1111122222111112222211111222221110000222111000022222200001112220000111"
        "222221111122222111112222211111";
    const Rgba colours[3] = {kWhite, kRed, kBlue};
    std::vector<Rgba> want;
    for (const char* p = rows; *p; ++p) {
        want.push_back(colours[*p - '0']);
    }
    TestSink sink;
    ASSERT_EQ(Refusal::None, DecodeGifFirstFrame(file.data(), file.size(), sink, nullptr));
    EXPECT_EQ(want, sink.All());
}

TEST(GifLzw, RoundTripsThroughCodeGrowthAndFullTables) {
    std::mt19937 random(7);
    Bytes noise(6400), run(6400, 3), stripes(6400);
    for (size_t i = 0; i < noise.size(); ++i) {
        noise[i] = static_cast<uint8_t>(random());
        stripes[i] = static_cast<uint8_t>((i / 3) % 4);
    }
    Bytes greys(3 * 256);
    for (size_t i = 0; i < greys.size(); ++i) {
        greys[i] = static_cast<uint8_t>(i / 3);
    }
    const struct {
        const char* name;
        const Bytes& pixels;
        int minCodeSize;
        bool deferredClear;
    } cases[] = {
        {"noise fills the table, encoder clears", noise, 8, false},
        {"noise fills the table, clear deferred to the end", noise, 8, true},
        {"one colour repeated: strings made of the newest code", run, 2, false},
        {"stripes: 3-bit codes widening", stripes, 2, true},
        {"minimum code size 11: 12-bit codes from the start", noise, 11, false},
        {"minimum code size 9, clear deferred to the end", noise, 9, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const GifFrame frame(0, 0, 80, 80, c.pixels, {}, false, c.minCodeSize);
        const Bytes file = GifWriter(80, 80, greys)
                               .Image(frame, LzwEncode(c.pixels, c.minCodeSize, c.deferredClear))
                               .Trailer();
        TestSink sink;
        ASSERT_EQ(Refusal::None, DecodeGifFirstFrame(file.data(), file.size(), sink, nullptr));
        const std::vector<Rgba> have = sink.All();
        for (size_t i = 0; i < c.pixels.size(); ++i) {
            const uint8_t v = c.pixels[i];
            ASSERT_EQ((Rgba{v, v, v, 255}), have[i]) << "pixel " << i;
        }
    }
}

TEST(Gif, InterlacedRowsLandInTheirPasses) {
    for (int height : {1, 2, 3, 5, 9, 10}) {
        SCOPED_TRACE("height " + std::to_string(height));
        Bytes table(3 * 16), pixels;
        for (int y = 0; y < height; ++y) {
            table[static_cast<size_t>(3 * y)] = static_cast<uint8_t>(10 * y + 10);  // red = row
            pixels.insert(pixels.end(), 2, static_cast<uint8_t>(y));
        }
        const Bytes file =
            GifWriter(2, height, table).Image({0, 0, 2, height, pixels, {}, true, 4}).Trailer();
        TestSink sink;
        ASSERT_EQ(Refusal::None, DecodeGifFirstFrame(file.data(), file.size(), sink, nullptr));
        for (int y = 0; y < height; ++y) {
            EXPECT_EQ(10 * y + 10, sink.All()[static_cast<size_t>(2 * y + 1)].r) << "row " << y;
        }
    }
}

TEST(Gif, FirstFrameRulesForFramesThatBendTheFormat) {
    // Red at indices 1 and 2 (the same colour twice), green at 3.
    const Bytes twoReds = {0, 0, 0, 255, 0, 0, 255, 0, 0, 0, 255, 0};
    // 3-bit codes, least significant bit first: clear 4, literal 1, then the third code.
    const GifFrame twoByTwo(0, 0, 2, 2, {});
    Bytes lastGreen(3 * 256, 0);
    lastGreen[3 * 255 + 1] = 255;
    const struct {
        const char* name;
        Bytes file;
        std::vector<Rgba> want;  // 2 x 2 screen
    } cases[] = {
        {"a frame smaller than the screen leaves the rest clear",
         GifWriter(2, 2, kTable4).Image({1, 1, 1, 1, {3}}).Trailer(),
         {kClear, kClear, kClear, kBlue}},
        {"clipped: a frame reaching outside the screen",
         GifWriter(2, 2, kTable4).Image({1, 0, 2, 3, {1, 2, 3, 1, 2, 3}}).Trailer(),
         {kClear, kRed, kClear, kBlue}},
        {"clipped: a frame entirely outside the screen",
         GifWriter(2, 2, kTable4).Image({5, 5, 1, 1, {1}}).Trailer(),
         {kClear, kClear, kClear, kClear}},
        {"black: an index beyond a two-colour local table",
         GifWriter(2, 2, {}).Image({0, 0, 2, 1, {1, 3}, {0, 0, 0, 255, 0, 0}}).Trailer(),
         {kRed, kBlack, kClear, kClear}},
        {"by index: index 2 shares the transparent index 1's red and is drawn",
         GifWriter(2, 2, twoReds).Control(0, 0, 1).Image({0, 0, 2, 2, {1, 2, 3, 0}}).Trailer(),
         {kClear, kRed, kGreen, kBlack}},
        {"no colour table anywhere: the default greys",
         GifWriter(2, 2, {}).Image({0, 0, 2, 1, {1, 3}}).Trailer(),
         {{1, 1, 1}, {3, 3, 3}, kClear, kClear}},
        // 10-bit codes: clear 512, literal 300, end 513.
        {"a literal above 255 (minimum code size 9) is drawn as index 255",
         GifWriter(2, 2, lastGreen)
             .Image({0, 0, 1, 1, {}, {}, false, 9}, {0x00, 0xB2, 0x14, 0x20})
             .Trailer(),
         {kGreen, kClear, kClear, kClear}},
        {"a transparent index beyond the table makes only itself a hole",
         GifWriter(2, 2, kTable4)
             .Control(0, 0, 9)
             .Image({0, 0, 2, 2, {9, 0, 1, 2}, {}, false, 4})
             .Trailer(),
         {kClear, kBlack, kRed, kGreen}},
        {"kept so far: code 7 while the next free slot is 6",
         GifWriter(2, 2, kTable4).Image(twoByTwo, {0xCC, 0x01}).Trailer(),
         {kRed, kClear, kClear, kClear}},
        {"kept so far: end code after one pixel",
         GifWriter(2, 2, kTable4).Image(twoByTwo, {0x4C, 0x01}).Trailer(),
         {kRed, kClear, kClear, kClear}},
        {"kept so far: sub-blocks end after one pixel",
         GifWriter(2, 2, kTable4).Image(twoByTwo, {0x0C}).Trailer(),
         {kRed, kClear, kClear, kClear}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TestSink sink;
        ASSERT_TRUE(Decodes(DecodeGifFirstFrame, c.file, sink, 2, 2, true));
        EXPECT_EQ(c.want, sink.All());
    }
}

TEST(Gif, StillOnlyWhenAtMostTheTrailerFollowsTheFirstFrame) {
    const GifFrame red(0, 0, 1, 1, {1});
    const struct {
        const char* name;
        Bytes file;
        bool still;
    } cases[] = {
        {"one frame and the trailer", GifWriter(1, 1, kTable4).Image(red).Trailer(), true},
        {"one frame, no trailer", GifWriter(1, 1, kTable4).Image(red).NoTrailer(), true},
        {"two frames", GifWriter(1, 1, kTable4).Image(red).Image(red).Trailer(), false},
        {"the trailer and one more byte",
         GifWriter(1, 1, kTable4).Image(red).Raw({0x3B, 0}).NoTrailer(), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        GifAnimation gif;
        ASSERT_EQ(Refusal::None, gif.Open(c.file.data(), c.file.size()));
        EXPECT_EQ(c.still, gif.IsStill());
    }
}

struct Expected {
    Step step;
    int32_t delayMs;
    std::vector<Rgba> screen;
    uint32_t passes = 0;  // how often the stream has started again
};

// Plays an animation over a grey background and checks each step's screen, delay and pass
// count (which the player's replay relies on: it steps exactly when the stream starts again);
// the first row is what Start gives. Starting again begins a new count.
void Play(const Bytes& file, const std::vector<Expected>& steps) {
    GifAnimation gif;
    ASSERT_EQ(Refusal::None, gif.Open(file.data(), file.size()));
    ASSERT_FALSE(gif.IsStill());
    Bytes screen(static_cast<size_t>(gif.Width() * gif.Height()) * 4);
    int32_t delay = -1;
    ASSERT_TRUE(gif.Start(screen.data(), 0xFF030201u, &delay));
    for (size_t i = 0; i < steps.size(); ++i) {
        SCOPED_TRACE("step " + std::to_string(i));
        if (i > 0) {
            EXPECT_EQ(steps[i].step, gif.Next(screen.data(), &delay));
        }
        EXPECT_EQ(steps[i].delayMs, delay);
        EXPECT_EQ(steps[i].screen, ToPixels(screen));
        EXPECT_EQ(steps[i].passes, gif.Passes());
    }
    ASSERT_TRUE(gif.Start(screen.data(), 0xFF030201u, &delay));
    EXPECT_EQ(0u, gif.Passes());
}

const Rgba kBg = kGrey1;  // 0xFF030201 as B, G, R, A bytes
constexpr int32_t kWait = GifAnimation::kNoFrameWaitMs;

TEST(GifAnimation, DisposalTransparencyDelaysAndRestart) {
    const Bytes file = GifWriter(3, 1, kTable4)
                           .Image({0, 0, 2, 1, {1, 1}})  // red red; no control: 50 ms
                           .Control(3, 7, 3)             // put back afterwards; blue is a hole
                           .Image({1, 0, 2, 1, {2, 3}})
                           .Control(2, 0)  // put back afterwards too
                           .Image({2, 0, 1, 1, {3}})
                           .Raw({0x99})  // a stray byte: no frame that step
                           .Control(0, 2)
                           .Image({0, 0, 1, 1, {2}})
                           .Trailer();
    const std::vector<Expected> steps = {
        {Step::Frame, 50, {kRed, kRed, kBg}},
        {Step::Frame, 70, {kRed, kGreen, kBg}},
        {Step::Frame, 50, {kRed, kRed, kBlue}},
        {Step::NoFrame, kWait, {kRed, kRed, kBlue}},
        {Step::Frame, 20, {kGreen, kRed, kBg}},
        // The trailer: the first frame again, over the screen as it is.
        {Step::Frame, 50, {kRed, kRed, kBg}, 1},
        {Step::Frame, 70, {kRed, kGreen, kBg}, 1},
    };
    Play(file, steps);
}

TEST(GifAnimation, ZeroByteRestartsAndCutBlocksYieldNoFrame) {
    Play(GifWriter(3, 1, kTable4)
             .Image({0, 0, 1, 1, {1}})
             .Image({1, 0, 1, 1, {2}})
             .Raw({0x00})               // acts as the trailer
             .Image({2, 0, 1, 1, {3}})  // never reached
             .NoTrailer(),
         {
             {Step::Frame, 50, {kRed, kBg, kBg}},
             {Step::Frame, 50, {kRed, kGreen, kBg}},
             {Step::Frame, 50, {kRed, kGreen, kBg}, 1},
         });
    // The second image loses its last data byte and terminator; the data's end is the trailer.
    const Bytes cut =
        GifWriter(2, 1, kTable4).Image({0, 0, 1, 1, {1}}).Image({1, 0, 1, 1, {2}}).NoTrailer();
    const std::vector<Expected> steps = {
        {Step::Frame, 50, {kRed, kBg}},
        {Step::NoFrame, kWait, {kRed, kBg}},
        {Step::Frame, 50, {kRed, kBg}, 1},
    };
    Play(Cut(cut, cut.size() - 2), steps);
}

TEST(GifAnimation, DisposalAreasAreClippedToTheScreen) {
    Play(GifWriter(2, 2, kTable4)
             .Image({0, 0, 2, 2, {1, 1, 1, 1}})
             .Control(2, 0)
             .Image({1, 1, 3, 3, Bytes(9, 3)})
             .Image({0, 0, 1, 1, {2}})
             .Trailer(),
         {
             {Step::Frame, 50, {kRed, kRed, kRed, kRed}},
             {Step::Frame, 50, {kRed, kRed, kRed, kBlue}},
             {Step::Frame, 50, {kGreen, kRed, kRed, kRed}},
         });
}

// A new background reaches every pixel that shows the old one, also one a disposal puts back
// later, and no drawn pixel of the same colour.
TEST(GifAnimation, RecomposeRecoloursTheBackgroundOnly) {
    const Bytes file = GifWriter(3, 1, kTable4)
                           .Image({0, 0, 1, 1, {0}})  // black, the background's colour
                           .Control(2, 0)             // put back afterwards
                           .Image({1, 0, 1, 1, {1}})
                           .Trailer();
    GifAnimation gif;
    Bytes screen(12);
    int32_t delay = 0;
    ASSERT_EQ(Refusal::None, gif.Open(file.data(), file.size()));
    ASSERT_TRUE(gif.Start(screen.data(), 0, &delay) &&
                gif.Next(screen.data(), &delay) == Step::Frame);
    gif.Recompose(screen.data(), 0xFF030201u);
    const Rgba bg{3, 2, 1, 0};
    EXPECT_EQ((std::vector<Rgba>{kBlack, kRed, bg}), ToPixels(screen));
    gif.Next(screen.data(), &delay);
    EXPECT_EQ((std::vector<Rgba>{kBlack, bg, bg}), ToPixels(screen)) << "the red pixel put back";
}

TEST(GifAnimation, OpeningAnotherPictureStartsAfresh) {
    // The first animation leaves a saved area sized for its 1 x 1 screen.
    const Bytes small = GifWriter(1, 1, kTable4)
                            .Control(2, 0)
                            .Image({0, 0, 1, 1, {1}})
                            .Image({0, 0, 1, 1, {2}})
                            .Trailer();
    const Bytes large = GifWriter(3, 3, kTable4)
                            .Control(3, 0)
                            .Image({0, 0, 3, 3, Bytes(9, 1)})
                            .Control(3, 0)
                            .Image({0, 0, 3, 3, Bytes(9, 2)})
                            .Trailer();
    GifAnimation gif;
    Bytes screen(36);
    int32_t delay = 0;
    ASSERT_EQ(Refusal::None, gif.Open(small.data(), small.size()));
    ASSERT_TRUE(gif.Start(screen.data(), 0, &delay));
    ASSERT_EQ(Step::Frame, gif.Next(screen.data(), &delay));
    ASSERT_EQ(Refusal::None, gif.Open(large.data(), large.size()));
    ASSERT_TRUE(gif.Start(screen.data(), 0, &delay));
    EXPECT_EQ(Step::Frame, gif.Next(screen.data(), &delay));
    EXPECT_EQ(std::vector<Rgba>(9, kGreen), ToPixels(screen));
    EXPECT_EQ(Step::Frame, gif.Next(screen.data(), &delay));
    EXPECT_EQ(std::vector<Rgba>(9, kRed), ToPixels(screen)) << "the first frame after the restore";
}

TEST(GifAnimation, WithoutAStartNextReturnsAtOnce) {
    // A minimum code size of 12: Open reads the structure, Start cannot draw, Next does nothing.
    const GifFrame frame(0, 0, 1, 1, {}, {}, false, 12);
    const Bytes file = GifWriter(1, 1, kTable4).Image(frame, {0}).Image(frame, {0}).Trailer();
    GifAnimation gif;
    ASSERT_EQ(Refusal::None, gif.Open(file.data(), file.size()));
    uint8_t screen[4] = {};
    int32_t delay = 0;
    EXPECT_FALSE(gif.Start(screen, 0, &delay));
    EXPECT_EQ(Step::NoFrame, gif.Next(screen, &delay));
    EXPECT_EQ(kWait, delay);
}

}  // namespace
