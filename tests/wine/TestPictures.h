// Picture files made by the driver itself, small enough to reason about pixel by pixel:
// BMP, PCX, ICO/CUR and GIF byte by byte, PNG with stored (uncompressed) deflate blocks, and
// JPEG through libjpeg's encoder. Every writer gives a well-formed file; a test that wants a
// broken one patches the bytes afterwards. Also the scratch folder the files are put in.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace driver {

using FileBytes = std::vector<uint8_t>;

struct Rgba {
    uint8_t r = 0, g = 0, b = 0, a = 255;
    bool operator==(const Rgba& o) const { return r == o.r && g == o.g && b == o.b && a == o.a; }
    bool operator!=(const Rgba& o) const { return !(*this == o); }
};

inline constexpr Rgba kRed{255, 0, 0}, kGreen{0, 255, 0}, kBlue{0, 0, 255}, kWhite{255, 255, 255},
    kBlack{0, 0, 0}, kYellow{255, 255, 0}, kMagenta{255, 0, 255};

// Pixels top row first.
struct Raster {
    int width = 0;
    int height = 0;
    std::vector<Rgba> pixels;
    const Rgba& At(int x, int y) const { return pixels[static_cast<size_t>(y * width + x)]; }
};

Raster Filled(int width, int height, Rgba colour);
// Top half one colour, bottom half another: tells a picture shown upside down.
Raster Halves(int width, int height, Rgba top, Rgba bottom);
// Four quarters, row by row: top left, top right, bottom left, bottom right.
Raster Quarters(int width, int height, Rgba topLeft, Rgba topRight, Rgba bottomLeft, Rgba bottomRight);

// Indexed depths (1, 4, 8) build their colour table from the raster's colours; 24 and 32
// store them directly. Rows bottom first, as the format has them.
FileBytes BmpFile(const Raster& raster, int bits);
// 8 bits with a palette after the pixels, or 1 bit, where only black and white exist.
FileBytes PcxFile(const Raster& raster, int bits);
// Colour type 6 (RGBA) when `alpha`, else 2 (RGB).
FileBytes PngFile(const Raster& raster, bool alpha);
// Baseline, quality 100, no chroma subsampling; one grey component when `grey`.
FileBytes JpegFile(const Raster& raster, bool grey);

// One image of an icon or cursor file: a bitmap of 4 or 32 bits with an all-opaque mask, and
// the directory's width and colour-count bytes as given.
struct IconImage {
    Raster raster;
    int bits;
    uint8_t colourCountByte;
};
// Type 1 for an icon, 2 for a cursor.
FileBytes IconFile(uint16_t type, const std::vector<IconImage>& images);

// A GIF of up to four global colours and frames of colour indices.
struct GifFrame {
    int left, top, width, height;
    std::vector<uint8_t> indices; // top row first
    int delayCs = 10;
    int disposal = 0;
    int transparentIndex = -1; // none
};

class GifFile {
public:
    GifFile(int width, int height, const std::vector<Rgba>& palette);
    // The application extension that carries a loop count.
    GifFile& LoopCount(int count);
    GifFile& Frame(const GifFrame& frame);
    FileBytes Finish();

private:
    FileBytes out_;
};

// A frame that covers the whole screen in one colour index.
GifFrame SolidFrame(int width, int height, uint8_t index, int delayCs);

// A fresh folder under the temporary folder, removed with its files when the object goes.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    bool Ok() const { return !path_.empty(); }
    std::wstring PathOf(const std::wstring& name) const { return path_ + L"\\" + name; }
    // Writes (or replaces) the file; false when that fails.
    bool Write(const std::wstring& name, const FileBytes& bytes);
    bool Remove(const std::wstring& name);

private:
    std::wstring path_;
};

} // namespace driver
