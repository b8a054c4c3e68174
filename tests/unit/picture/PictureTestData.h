// What the decoder tests need beside the shared picture writers: a pixel sink that shows
// the pixels a decoder never wrote.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

#include <gtest/gtest.h>

#include "Picture.h"
#include "TestPictures.h"

using namespace testpictures;

// Failure messages name a refusal rather than print its byte.
inline void PrintTo(Refusal refusal, std::ostream* os) {
    *os << RefusalName(refusal);
}

// Stored as B, G, R, A bytes 01 02 03 FF: a colour whose channels cannot be mistaken.
inline constexpr Rgba kGrey1{3, 2, 1, 255};

// Fills its buffer with a marker first, so a pixel the decoder never wrote shows up as a wrong
// colour; it can also refuse to allocate.
class TestSink final : public PixelSink {
public:
    explicit TestSink(bool refuse = false) : refuse_(refuse) {}
    uint8_t* Allocate(int32_t width, int32_t height) override;
    std::vector<Rgba> All() const { return ToPixels(pixels); }
    int32_t width = 0, height = 0;
    Bytes pixels;

private:
    bool refuse_;
};

// The whole file; a failure when it is missing or empty.
Bytes ReadWholeFile(const std::string& path);

using Decoder = Refusal (*)(const uint8_t*, size_t, PixelSink&, ImageInfo*);

// Whether `decode` gives the file's picture into `sink` at width x height with that alpha flag;
// a failure says which.
testing::AssertionResult Decodes(Decoder decode, const Bytes& file, TestSink& sink, int32_t width,
                                 int32_t height, bool hasAlpha);
