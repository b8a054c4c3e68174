// The crasher corpus: one row per fault, each a well-formed file with one thing broken, and
// each must end with no picture. Under AddressSanitizer a read past the data fails the row too.
#include <gtest/gtest.h>
#include <zlib.h>

#include "Gif.h"
#include "Picture.h"
#include "PictureTestData.h"

namespace {

using Decoder = bool (*)(const uint8_t*, size_t, PixelSink&, ImageInfo*);

bool ChooseIcon(const uint8_t* data, size_t size, PixelSink&, ImageInfo*) {
    IconEntryChoice choice;
    return ChooseIconEntry(data, size, &choice);
}

Bytes WithIhdrSize(Bytes png, uint32_t width, uint32_t height) {
    png = Patched(png, 16,
                  {static_cast<uint8_t>(width >> 24), static_cast<uint8_t>(width >> 16),
                   static_cast<uint8_t>(width >> 8), static_cast<uint8_t>(width),
                   static_cast<uint8_t>(height >> 24), static_cast<uint8_t>(height >> 16),
                   static_cast<uint8_t>(height >> 8), static_cast<uint8_t>(height)});
    const uLong crc = crc32(0, png.data() + 12, 17);
    return Patched(png, 29,
                   {static_cast<uint8_t>(crc >> 24), static_cast<uint8_t>(crc >> 16),
                    static_cast<uint8_t>(crc >> 8), static_cast<uint8_t>(crc)});
}

const Bytes kTable4 = {0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255};

TEST(HostileInput, EveryFaultGivesNoPicture) {
    const Bytes bmp = MakeBmp(1, 1, 8, {0, 0, 0, 0}, {kRed}, 1);   // table at 54, rows at 58
    const Bytes pcx = MakePcx(3, 2, 8, {1, 2, 3, 0, 4, 5, 6, 0});  // 8 literal bytes from 128
    const Bytes jpeg = QuadrantJpeg(3);
    size_t sof = 0;
    while (sof + 1 < jpeg.size() && !(jpeg[sof] == 0xFF && jpeg[sof + 1] == 0xC0)) {
        ++sof;
    }
    const Bytes png = WritePng(2, 2, Bytes(16, 200));
    const GifFrame frame(0, 0, 2, 2, {1, 1, 1, 1});
    const Bytes gif = GifWriter(2, 2, kTable4).Image(frame).Trailer();  // image at 25
    // One 16 x 16 4-bit image of 296 bytes at 22: entry size at 14, offset at 18.
    const Bytes ico = MakeIconFile(1, {{16, 0, IconBitmap(16, 16, 4)}});
    const Bytes pngIcon = MakeIconFile(1, {{0, 0, WritePng(4, 4, Bytes(64, 1))}});
    for (auto [decode, file] : {std::pair<Decoder, const Bytes&>{DecodeBmp, bmp},
                                {DecodePcx, pcx},
                                {DecodeJpeg, jpeg},
                                {DecodePng, png},
                                {DecodeGifFirstFrame, gif},
                                {ChooseIcon, ico}}) {
        TestSink sink;
        ASSERT_TRUE(decode(file.data(), file.size(), sink, nullptr)) << "an undamaged file";
        TestSink refusing(true);
        EXPECT_EQ(decode == ChooseIcon, decode(file.data(), file.size(), refusing, nullptr))
            << "no memory for the pixels";
    }

    const struct {
        const char* fault;
        Decoder decode;
        Bytes file;
        bool refusedBeforeAllocating;
    } rows[] = {
        {"BMP shorter than its two headers", DecodeBmp, Cut(bmp, 53), true},
        {"BMP rows cut short", DecodeBmp, Cut(bmp, bmp.size() - 1), true},
        {"BMP run-length compression", DecodeBmp, Patched(bmp, 30, {1}), true},
        {"BMP 16 bits per pixel", DecodeBmp, Patched(bmp, 28, {16}), true},
        {"BMP zero width", DecodeBmp, Patched(bmp, 18, {0}), true},
        {"BMP width and height 2^31 - 1", DecodeBmp,
         Patched(bmp, 18, {0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0xFF, 0xFF, 0x7F}), true},
        {"BMP height -2^31", DecodeBmp, Patched(bmp, 22, {0, 0, 0, 0x80}), true},
        {"BMP 100000 wide, rows not in the file", DecodeBmp, Patched(bmp, 18, {0xA0, 0x86, 1}),
         true},
        {"BMP rows offset wrapping 32 bits", DecodeBmp, Patched(bmp, 10, {0xF0, 0xFF, 0xFF, 0xFF}),
         true},
        {"BMP colours-used 2^30", DecodeBmp, Patched(bmp, 46, {0, 0, 0, 0x40}), true},
        {"BMP 12-byte header of another layout", DecodeBmp, Patched(bmp, 14, {12}), true},
        {"PCX header only", DecodePcx, Cut(pcx, 128), true},
        {"PCX xmin above xmax", DecodePcx, Patched(pcx, 4, {3}), true},
        {"PCX data ends before the last row", DecodePcx, Cut(pcx, pcx.size() - 2), false},
        {"PCX run byte without its value", DecodePcx, Patched(Cut(pcx, 135), 134, {0xC5}), false},
        {"PCX three planes (24-bit colour)", DecodePcx, Patched(pcx, 65, {3}), true},
        {"PCX 4 bits per pixel", DecodePcx, Patched(pcx, 3, {4}), true},
        {"PCX 65536 x 65536 window", DecodePcx, Patched(pcx, 8, {0xFF, 0xFF, 0xFF, 0xFF}), true},
        {"PCX 8000 x 8000 window from 8 bytes", DecodePcx,
         Patched(pcx, 8, {0x3F, 0x1F, 0x3F, 0x1F}), true},
        {"JPEG cut inside the tables", DecodeJpeg, Cut(jpeg, 100), true},
        {"JPEG cut inside the scan data", DecodeJpeg, Cut(jpeg, jpeg.size() - 40), false},
        {"JPEG 65535 x 65535 frame", DecodeJpeg, Patched(jpeg, sof + 5, {0xFF, 0xFF, 0xFF, 0xFF}),
         true},
        {"JPEG zero height", DecodeJpeg, Patched(jpeg, sof + 5, {0, 0}), true},
        {"JPEG four components (CMYK)", DecodeJpeg, WriteJpeg(16, 16, 4, Bytes(1024, 128)), true},
        {"JPEG 631 progressive scans", DecodeJpeg, QuadrantJpeg(1, JpegScans::TooMany), false},
        {"PNG cut in half", DecodePng, Cut(png, png.size() / 2), false},
        {"PNG signature only", DecodePng, Cut(png, 8), true},
        {"PNG 100000 x 100000, within libpng's limits", DecodePng,
         WithIhdrSize(png, 100000, 100000), true},
        {"PNG zero width", DecodePng, WithIhdrSize(png, 0, 2), true},
        {"PNG header checksum wrong", DecodePng, Patched(png, 17, {1}), true},
        {"PNG larger than its pixel data", DecodePng, WithIhdrSize(png, 200, 200), false},
        {"GIF 13 bytes", DecodeGifFirstFrame, Cut(gif, 13), true},
        {"GIF signature GIF88a", DecodeGifFirstFrame, Patched(gif, 4, {'8'}), true},
        {"GIF zero screen width", DecodeGifFirstFrame, Patched(gif, 6, {0, 0}), true},
        {"GIF global table cut off", DecodeGifFirstFrame, Cut(gif, 20), true},
        {"GIF trailer before any image", DecodeGifFirstFrame, Patched(gif, 25, {0x3B}), true},
        {"GIF stray byte before the first image", DecodeGifFirstFrame,
         GifWriter(2, 2, kTable4).Raw({0x99}).Image(frame).Trailer(), true},
        {"GIF image descriptor cut off", DecodeGifFirstFrame, Cut(gif, 30), true},
        {"GIF image data without terminator", DecodeGifFirstFrame, Cut(gif, gif.size() - 2), true},
        {"GIF sub-block longer than the data", DecodeGifFirstFrame, Patched(gif, 36, {200}), true},
        {"GIF no colour table at all", DecodeGifFirstFrame,
         GifWriter(2, 2, {}).Image(frame).Trailer(), false},
        {"GIF minimum code size 12", DecodeGifFirstFrame, Patched(gif, 35, {12}), false},
        {"GIF 65535 x 65535 frame", DecodeGifFirstFrame, Patched(gif, 30, {0xFF, 0xFF, 0xFF, 0xFF}),
         false},
        {"ICO directory cut off", ChooseIcon, Patched(ico, 4, {40}), true},
        {"ICO image offset past the end", ChooseIcon, Patched(ico, 18, {0, 0, 1, 0}), true},
        {"ICO image size past the end", ChooseIcon, Patched(ico, 14, {0x29, 1}), true},
        {"ICO offset plus size wrapping 32 bits", ChooseIcon,
         Patched(ico, 14, {0, 2, 0, 0, 0, 0xFF, 0xFF, 0xFF}), true},
        {"ICO mask one byte beyond the entry", ChooseIcon, Patched(ico, 14, {0x27, 1}), true},
        {"ICO header size 108", ChooseIcon, Patched(ico, 22, {108}), true},
        {"ICO zero width", ChooseIcon, Patched(ico, 26, {0}), true},
        {"ICO width 1000", ChooseIcon, Patched(ico, 26, {0xE8, 3}), true},
        {"ICO odd height", ChooseIcon, Patched(ico, 30, {31}), true},
        {"ICO 2 bits per pixel", ChooseIcon, Patched(ico, 36, {2}), true},
        {"ICO bit-field compression", ChooseIcon, Patched(ico, 38, {3}), true},
        {"ICO colours-used 100000", ChooseIcon, Patched(ico, 54, {0xA0, 0x86, 1}), true},
        {"ICO PNG image of 0 x 0", ChooseIcon, Patched(pngIcon, 38, {0, 0, 0, 0, 0, 0, 0, 0}),
         true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.fault);
        TestSink sink;
        EXPECT_FALSE(row.decode(row.file.data(), row.file.size(), sink, nullptr));
        if (row.refusedBeforeAllocating) {
            EXPECT_TRUE(sink.pixels.empty())
                << "the sink was asked for " << sink.width << " x " << sink.height;
        }
    }
}

}  // namespace
