#include "PictureTestData.h"

#include <fstream>
#include <iterator>

uint8_t* TestSink::Allocate(int32_t w, int32_t h) {
    if (refuse_) {
        return nullptr;
    }
    width = w;
    height = h;
    pixels.assign(static_cast<size_t>(w) * static_cast<size_t>(h) * 4, 0xA5);
    return pixels.data();
}

testing::AssertionResult Decodes(Decoder decode, const Bytes& file, TestSink& sink, int32_t width,
                                 int32_t height, bool hasAlpha) {
    ImageInfo info;
    const Refusal refusal = decode(file.data(), file.size(), sink, &info);
    if (refusal != Refusal::None) return testing::AssertionFailure() << RefusalName(refusal);
    if (info.width != width || info.height != height || info.hasAlpha != hasAlpha)
        return testing::AssertionFailure() << "have " << info.width << " x " << info.height
                                           << (info.hasAlpha ? " with" : " without") << " alpha";
    return testing::AssertionSuccess();
}

Bytes ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_FALSE(bytes.empty()) << path << " is missing";
    return bytes;
}
