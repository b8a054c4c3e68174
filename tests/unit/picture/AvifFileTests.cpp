// AVIF files written by Debian's avifenc at build time from libpng's test pictures (see
// CMakeLists.txt): under Wine they go through the program's own dav1d build, its SIMD code
// included. Lossy, and subsampled chroma blurs the sources' sharp colour edges, so each is held
// to its source by the mean difference of a channel; the exact pixels are the conformance
// check's affair.
#include <gtest/gtest.h>

#include <cstdlib>
#include <utility>
#include <string>

#include "DecodePicture.h"
#include "PictureTestData.h"

namespace {

TEST(AvifFile, EachDepthAndSubsamplingNearItsSource) {
    const struct {
        const char* avif;
        const char* png;
        double meanDifference;
        bool plays;
    } cases[] = {
        {"420-8.avif", "rgb-8.png", 4, false},
        {"422-12-limited.avif", "rgb-8.png", 3, false},
        {"444-10-alpha.avif", "rgb-alpha-8.png", 1, false},
        {"sequence-420-8.avif", "rgb-8.png", 4, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.avif);
        const Bytes png = ReadWholeFile(std::string(ORVESSA_AVIF_SOURCES) + "/" + c.png);
        const Bytes avif = ReadWholeFile(std::string(ORVESSA_AVIF_PICTURES) + "/" + c.avif);
        TestSink want, got;
        DecodedPicture picture;
        ASSERT_EQ(Refusal::None, DecodePng(png.data(), png.size(), want, nullptr));
        ASSERT_TRUE(DecodePicture(avif.data(), avif.size(), false, got, &picture));
        ASSERT_EQ(std::make_pair(want.width, want.height), std::make_pair(got.width, got.height));
        double total = 0;
        for (size_t i = 0; i < got.pixels.size(); ++i) {
            total += std::abs(int{got.pixels[i]} - int{want.pixels[i]});
        }
        EXPECT_LE(total / static_cast<double>(got.pixels.size()), c.meanDifference);
        ASSERT_TRUE(DecodePicture(avif.data(), avif.size(), true, got, &picture));
        EXPECT_EQ(c.plays, picture.animation != nullptr);
    }
}

}  // namespace
