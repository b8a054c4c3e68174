// PNG files written by others: the PNG suite and libpng's own test pictures, which
// scripts/build-deps.sh keeps beside the native libpng it builds from the program's sources.
#include <gtest/gtest.h>

#include <string>

#include "Picture.h"
#include "PictureTestData.h"

namespace {

const std::string kPictures = ORVESSA_LIBPNG_PICTURES;

struct Decoded {
    bool ok = false;
    int32_t width = 0, height = 0;
    std::vector<Rgba> pixels;
};

// The file without its gAMA chunk (the other chunks' CRCs do not cover it).
Bytes WithoutGamma(Bytes png) {
    for (size_t at = 8; at + 12 <= png.size();) {
        const size_t length = size_t{png[at]} << 24 | size_t{png[at + 1]} << 16 |
                              size_t{png[at + 2]} << 8 | png[at + 3];
        if (std::string(png.begin() + static_cast<ptrdiff_t>(at) + 4,
                        png.begin() + static_cast<ptrdiff_t>(at) + 8) == "gAMA") {
            png.erase(png.begin() + static_cast<ptrdiff_t>(at),
                      png.begin() + static_cast<ptrdiff_t>(at + 12 + length));
            break;
        }
        at += 12 + length;
    }
    return png;
}

Decoded DecodeBytes(const Bytes& bytes) {
    TestSink sink;
    Decoded d;
    d.ok = DecodePng(bytes.data(), bytes.size(), sink, nullptr) == Refusal::None;
    d.width = sink.width;
    d.height = sink.height;
    d.pixels = sink.All();
    return d;
}

Decoded DecodeFile(const std::string& relative) {
    return DecodeBytes(ReadWholeFile(kPictures + "/" + relative));
}

void ExpectSamePicture(const std::string& a, const Decoded& da, const std::string& b,
                       const Decoded& db) {
    ASSERT_TRUE(da.ok) << a;
    ASSERT_TRUE(db.ok) << b;
    EXPECT_EQ(da.width, db.width) << a;
    EXPECT_EQ(da.height, db.height) << a;
    EXPECT_TRUE(da.pixels == db.pixels) << a << " and " << b << " differ";
}

// 16-bit samples of a file that names no encoding are sRGB: the same picture as the file
// marked sRGB. A file that says its samples are linear keeps that, and comes out lighter.
TEST(PngFiles, SixteenBitWithoutEncodingIsSrgb) {
    for (const std::string base :
         {"rgb-16", "rgb-16-tRNS", "gray-16", "gray-16-tRNS", "rgb-alpha-16", "gray-alpha-16"}) {
        const std::string marked =
            base.substr(0, base.find("-16") + 3) + "-sRGB" + base.substr(base.find("-16") + 3);
        const std::string a = "testpngs/" + base + ".png", b = "testpngs/" + marked + ".png";
        ExpectSamePicture(a, DecodeFile(a), b, DecodeFile(b));
    }
    const Decoded plain = DecodeFile("testpngs/rgb-16.png");
    const Decoded linear = DecodeFile("testpngs/rgb-16-linear.png");
    ASSERT_TRUE(plain.ok && linear.ok);
    ASSERT_EQ(plain.pixels.size(), linear.pixels.size());
    size_t lighter = 0;
    for (size_t i = 0; i < plain.pixels.size(); ++i) {
        lighter += linear.pixels[i].g > plain.pixels[i].g;
    }
    EXPECT_GT(lighter, plain.pixels.size() / 2);
}

// Every interlaced picture of the suite shows exactly as its non-interlaced twin (which alone
// says its samples are linear); the 16-bit ones go through the path that Debian's backport of
// a libpng security fix broke.
TEST(PngFiles, InterlacedAsItsTwin) {
    for (const char* name :
         {"basn0g08",  "basn0g16",  "basn2c08",  "basn2c16",  "basn3p08",  "basn4a08",
          "basn4a16",  "basn6a08",  "basn6a16",  "ftbbn2c16", "ftbbn3p08", "ftbgn2c16",
          "ftbgn3p08", "ftbrn2c08", "ftbwn0g16", "ftbwn3p08", "ftbyn3p08", "ftp0n0g08",
          "ftp0n2c08", "ftp0n3p08", "ftp1n3p08"}) {
        const std::string plain = std::string("pngsuite/") + name + ".png";
        const std::string interlaced = std::string("pngsuite/i") + name + ".png";
        ExpectSamePicture(plain, DecodeBytes(WithoutGamma(ReadWholeFile(kPictures + "/" + plain))),
                          interlaced, DecodeFile(interlaced));
    }
}

}  // namespace
