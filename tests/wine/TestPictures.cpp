#include "TestPictures.h"

#include <cstdio> // jpeglib.h wants FILE declared first
#include <cstdlib>

#include <jpeglib.h>

namespace driver {

namespace {

void Put8(FileBytes& out, unsigned value) {
    out.push_back(static_cast<uint8_t>(value & 0xFF));
}

void Put16(FileBytes& out, unsigned value) {
    Put8(out, value);
    Put8(out, value >> 8);
}

void Put32(FileBytes& out, uint32_t value) {
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

void Put32Big(FileBytes& out, uint32_t value) {
    Put8(out, value >> 24);
    Put8(out, value >> 16);
    Put8(out, value >> 8);
    Put8(out, value);
}

void PutText(FileBytes& out, const char* text) {
    while (*text) out.push_back(static_cast<uint8_t>(*text++));
}

unsigned U(int value) {
    return static_cast<unsigned>(value);
}

// The raster's colours in order of first appearance, and each pixel's index among them.
struct Indexed {
    std::vector<Rgba> palette;
    std::vector<uint8_t> indices;
};

Indexed IndexColours(const Raster& raster) {
    Indexed out;
    for (const Rgba& pixel : raster.pixels) {
        size_t i = 0;
        while (i < out.palette.size() && out.palette[i] != pixel) ++i;
        if (i == out.palette.size()) out.palette.push_back(pixel);
        out.indices.push_back(static_cast<uint8_t>(i));
    }
    return out;
}

// Bytes of one packed row of 1, 4, 8, 24 or 32 bits per pixel, padded to 4 bytes.
size_t DibStride(int width, int bits) {
    return (static_cast<size_t>(width) * static_cast<size_t>(bits) + 31) / 32 * 4;
}

// One DIB row: indices packed most significant first, or B, G, R (and A) per pixel.
void PutDibRow(FileBytes& out, const Raster& raster, const Indexed& indexed, int y, int bits) {
    FileBytes row(DibStride(raster.width, bits), 0);
    for (int x = 0; x < raster.width; ++x) {
        const size_t at = static_cast<size_t>(x);
        if (bits <= 8) {
            const unsigned index = indexed.indices[static_cast<size_t>(y * raster.width + x)];
            const size_t bit = at * static_cast<size_t>(bits);
            const unsigned shift = 8u - static_cast<unsigned>(bits) - static_cast<unsigned>(bit % 8);
            row[bit / 8] = static_cast<uint8_t>(row[bit / 8] | (index << shift));
        } else {
            const Rgba& c = raster.At(x, y);
            const size_t size = static_cast<size_t>(bits / 8);
            row[at * size] = c.b;
            row[at * size + 1] = c.g;
            row[at * size + 2] = c.r;
            if (bits == 32) row[at * size + 3] = c.a;
        }
    }
    out.insert(out.end(), row.begin(), row.end());
}

void PutColourTable(FileBytes& out, const std::vector<Rgba>& palette, size_t entries) {
    for (size_t i = 0; i < entries; ++i) {
        const Rgba c = i < palette.size() ? palette[i] : kBlack;
        Put8(out, c.b);
        Put8(out, c.g);
        Put8(out, c.r);
        Put8(out, 0);
    }
}

// The 40-byte info header of a DIB.
void PutInfoHeader(FileBytes& out, int width, int height, int bits, uint32_t imageBytes, uint32_t coloursUsed) {
    Put32(out, 40);
    Put32(out, static_cast<uint32_t>(width));
    Put32(out, static_cast<uint32_t>(height));
    Put16(out, 1);         // planes
    Put16(out, U(bits));   // bit count
    Put32(out, 0);         // no compression
    Put32(out, imageBytes);
    Put32(out, 2835);      // 72 dpi, both ways
    Put32(out, 2835);
    Put32(out, coloursUsed);
    Put32(out, 0);         // important colours
}

// PCX run-length coding of one row: a byte of 0xC0 or more always goes as a run.
void PutPcxRow(FileBytes& out, const FileBytes& row) {
    for (size_t i = 0; i < row.size();) {
        size_t run = 1;
        while (i + run < row.size() && row[i + run] == row[i] && run < 63) ++run;
        if (run > 1 || row[i] >= 0xC0) Put8(out, 0xC0u + static_cast<unsigned>(run));
        Put8(out, row[i]);
        i += run;
    }
}

uint32_t Crc32(const uint8_t* data, size_t size) {
    static uint32_t table[256];
    static bool ready = false;
    if (!ready) {
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            table[n] = c;
        }
        ready = true;
    }
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

void PutPngChunk(FileBytes& out, const char* type, const FileBytes& body) {
    Put32Big(out, static_cast<uint32_t>(body.size()));
    FileBytes typed;
    PutText(typed, type);
    typed.insert(typed.end(), body.begin(), body.end());
    out.insert(out.end(), typed.begin(), typed.end());
    Put32Big(out, Crc32(typed.data(), typed.size()));
}

// A zlib stream of stored deflate blocks: no compression to get wrong.
FileBytes StoredZlib(const FileBytes& data) {
    FileBytes out{0x78, 0x01};
    size_t at = 0;
    do {
        const size_t size = data.size() - at < 65535 ? data.size() - at : 65535;
        const bool last = at + size == data.size();
        Put8(out, last ? 1 : 0); // BFINAL, BTYPE 00
        Put16(out, static_cast<unsigned>(size));
        Put16(out, static_cast<unsigned>(~size & 0xFFFF));
        out.insert(out.end(), data.begin() + static_cast<std::ptrdiff_t>(at),
                   data.begin() + static_cast<std::ptrdiff_t>(at + size));
        at += size;
    } while (at < data.size());
    uint32_t a = 1, b = 0;
    for (const uint8_t byte : data) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    Put32Big(out, (b << 16) | a);
    return out;
}

// GIF LZW for colour tables of four entries (minimum code size 2), as plain literals: a clear
// code before every two pixels keeps the code size at 3 bits, so no decoder can disagree
// about when it grows.
FileBytes GifLzw(const std::vector<uint8_t>& indices) {
    constexpr unsigned kClear = 4, kEnd = 5, kBits = 3;
    std::vector<unsigned> codes;
    for (size_t i = 0; i < indices.size(); ++i) {
        if (i % 2 == 0) codes.push_back(kClear);
        codes.push_back(indices[i]);
    }
    codes.push_back(kEnd);
    FileBytes packed;
    uint32_t buffer = 0;
    unsigned held = 0;
    for (const unsigned code : codes) {
        buffer |= code << held;
        held += kBits;
        while (held >= 8) {
            Put8(packed, buffer);
            buffer >>= 8;
            held -= 8;
        }
    }
    if (held > 0) Put8(packed, buffer);
    FileBytes out{2}; // minimum code size
    for (size_t at = 0; at < packed.size(); at += 255) {
        const size_t size = packed.size() - at < 255 ? packed.size() - at : 255;
        Put8(out, static_cast<unsigned>(size));
        out.insert(out.end(), packed.begin() + static_cast<std::ptrdiff_t>(at),
                   packed.begin() + static_cast<std::ptrdiff_t>(at + size));
    }
    Put8(out, 0);
    return out;
}

} // namespace

// --- Rasters ---------------------------------------------------------------------------

Raster Filled(int width, int height, Rgba colour) {
    return Raster{width, height, std::vector<Rgba>(static_cast<size_t>(width * height), colour)};
}

Raster Halves(int width, int height, Rgba top, Rgba bottom) {
    return Quarters(width, height, top, top, bottom, bottom);
}

Raster Quarters(int width, int height, Rgba topLeft, Rgba topRight, Rgba bottomLeft, Rgba bottomRight) {
    Raster raster = Filled(width, height, topLeft);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const bool right = x >= width / 2, bottom = y >= height / 2;
            raster.pixels[static_cast<size_t>(y * width + x)] =
                bottom ? (right ? bottomRight : bottomLeft) : (right ? topRight : topLeft);
        }
    }
    return raster;
}

// --- Writers ---------------------------------------------------------------------------

FileBytes BmpFile(const Raster& raster, int bits) {
    const Indexed indexed = IndexColours(raster);
    const size_t tableEntries = bits <= 8 ? indexed.palette.size() : 0;
    if (bits <= 8 && tableEntries > (size_t{1} << bits)) return {};
    const uint32_t imageBytes = static_cast<uint32_t>(DibStride(raster.width, bits) * static_cast<size_t>(raster.height));
    const uint32_t offset = static_cast<uint32_t>(14 + 40 + tableEntries * 4);
    FileBytes out;
    PutText(out, "BM");
    Put32(out, offset + imageBytes);
    Put32(out, 0);
    Put32(out, offset);
    PutInfoHeader(out, raster.width, raster.height, bits, imageBytes, static_cast<uint32_t>(tableEntries));
    PutColourTable(out, indexed.palette, tableEntries);
    for (int y = raster.height - 1; y >= 0; --y) PutDibRow(out, raster, indexed, y, bits);
    return out;
}

//   +0 0x0A  +1 version  +2 encoding 1  +3 bits  +4 xmin ymin xmax ymax  +12 dpi
//   +16 16-colour palette (48 bytes)  +64 reserved  +65 planes  +66 bytes per line
//   +68 palette kind  +70 zero to 128
FileBytes PcxFile(const Raster& raster, int bits) {
    const Indexed indexed = IndexColours(raster);
    if (bits == 8 && indexed.palette.size() > 256) return {};
    const size_t lineBytes = bits == 8 ? static_cast<size_t>(raster.width + (raster.width & 1))
                                       : static_cast<size_t>((raster.width + 7) / 8 + 1) / 2 * 2;
    FileBytes out;
    Put8(out, 0x0A);
    Put8(out, bits == 8 ? 5 : 3);
    Put8(out, 1);
    Put8(out, U(bits));
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, U(raster.width - 1));
    Put16(out, U(raster.height - 1));
    Put16(out, 72);
    Put16(out, 72);
    out.resize(65, 0);
    Put8(out, 1); // planes
    Put16(out, static_cast<unsigned>(lineBytes));
    Put16(out, 1);
    out.resize(128, 0);
    for (int y = 0; y < raster.height; ++y) {
        FileBytes line(lineBytes, 0);
        for (int x = 0; x < raster.width; ++x) {
            const size_t at = static_cast<size_t>(x);
            if (bits == 8) {
                line[at] = indexed.indices[static_cast<size_t>(y * raster.width + x)];
            } else if (raster.At(x, y) == kWhite) {
                line[at / 8] = static_cast<uint8_t>(line[at / 8] | (0x80u >> (at % 8)));
            }
        }
        PutPcxRow(out, line);
    }
    if (bits == 8) {
        Put8(out, 12);
        for (size_t i = 0; i < 256; ++i) {
            const Rgba c = i < indexed.palette.size() ? indexed.palette[i] : kBlack;
            Put8(out, c.r);
            Put8(out, c.g);
            Put8(out, c.b);
        }
    }
    return out;
}

FileBytes PngFile(const Raster& raster, bool alpha) {
    FileBytes out{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    FileBytes header;
    Put32Big(header, static_cast<uint32_t>(raster.width));
    Put32Big(header, static_cast<uint32_t>(raster.height));
    Put8(header, 8);              // bit depth
    Put8(header, alpha ? 6 : 2);  // colour type
    Put8(header, 0);              // compression
    Put8(header, 0);              // filter method
    Put8(header, 0);              // not interlaced
    PutPngChunk(out, "IHDR", header);
    FileBytes rows;
    for (int y = 0; y < raster.height; ++y) {
        Put8(rows, 0); // filter: none
        for (int x = 0; x < raster.width; ++x) {
            const Rgba& c = raster.At(x, y);
            Put8(rows, c.r);
            Put8(rows, c.g);
            Put8(rows, c.b);
            if (alpha) Put8(rows, c.a);
        }
    }
    PutPngChunk(out, "IDAT", StoredZlib(rows));
    PutPngChunk(out, "IEND", {});
    return out;
}

FileBytes JpegFile(const Raster& raster, bool grey) {
    jpeg_compress_struct cinfo;
    jpeg_error_mgr errors;
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = static_cast<JDIMENSION>(raster.width);
    cinfo.image_height = static_cast<JDIMENSION>(raster.height);
    cinfo.input_components = grey ? 1 : 3;
    cinfo.in_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 100, TRUE);
    for (int i = 0; i < cinfo.num_components; ++i) {
        cinfo.comp_info[i].h_samp_factor = 1;
        cinfo.comp_info[i].v_samp_factor = 1;
    }
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<JSAMPLE> row(static_cast<size_t>(raster.width * cinfo.input_components));
    for (int y = 0; y < raster.height; ++y) {
        for (int x = 0; x < raster.width; ++x) {
            const Rgba& c = raster.At(x, y);
            if (grey) {
                row[static_cast<size_t>(x)] = c.r;
            } else {
                row[static_cast<size_t>(3 * x)] = c.r;
                row[static_cast<size_t>(3 * x + 1)] = c.g;
                row[static_cast<size_t>(3 * x + 2)] = c.b;
            }
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    FileBytes out(buffer, buffer + size);
    std::free(buffer);
    return out;
}

// Directory: a 6-byte header, then 16 bytes per image (width, height, colour count,
// reserved, planes or hot spot x, bit count or hot spot y, size, offset). Each image is a
// DIB whose header counts the colour rows and the mask rows in its height.
FileBytes IconFile(uint16_t type, const std::vector<IconImage>& images) {
    std::vector<FileBytes> bodies;
    for (const IconImage& image : images) {
        const Raster& r = image.raster;
        const Indexed indexed = IndexColours(r);
        const size_t tableEntries = image.bits <= 8 ? size_t{1} << image.bits : 0;
        const size_t maskStride = DibStride(r.width, 1);
        const uint32_t imageBytes = static_cast<uint32_t>((DibStride(r.width, image.bits) + maskStride) *
                                                          static_cast<size_t>(r.height));
        FileBytes body;
        PutInfoHeader(body, r.width, 2 * r.height, image.bits, imageBytes, 0);
        PutColourTable(body, indexed.palette, tableEntries);
        for (int y = r.height - 1; y >= 0; --y) PutDibRow(body, r, indexed, y, image.bits);
        body.resize(body.size() + maskStride * static_cast<size_t>(r.height), 0); // AND mask: all opaque
        bodies.push_back(body);
    }
    FileBytes out;
    Put16(out, 0);
    Put16(out, type);
    Put16(out, static_cast<unsigned>(images.size()));
    uint32_t offset = static_cast<uint32_t>(6 + 16 * images.size());
    for (size_t i = 0; i < images.size(); ++i) {
        const IconImage& image = images[i];
        Put8(out, image.raster.width < 256 ? U(image.raster.width) : 0);
        Put8(out, image.raster.height < 256 ? U(image.raster.height) : 0);
        Put8(out, image.colourCountByte);
        Put8(out, 0);
        Put16(out, type == 1 ? 1 : 0);                  // planes, or the hot spot's x
        Put16(out, type == 1 ? U(image.bits) : 0);      // bit count, or the hot spot's y
        Put32(out, static_cast<uint32_t>(bodies[i].size()));
        Put32(out, offset);
        offset += static_cast<uint32_t>(bodies[i].size());
    }
    for (const FileBytes& body : bodies) out.insert(out.end(), body.begin(), body.end());
    return out;
}

GifFile::GifFile(int width, int height, const std::vector<Rgba>& palette) {
    PutText(out_, "GIF89a");
    Put16(out_, U(width));
    Put16(out_, U(height));
    Put8(out_, 0xF1); // global table of 4 entries, 8-bit colour resolution
    Put8(out_, 0);    // background index
    Put8(out_, 0);    // aspect ratio
    for (size_t i = 0; i < 4; ++i) {
        const Rgba c = i < palette.size() ? palette[i] : kBlack;
        Put8(out_, c.r);
        Put8(out_, c.g);
        Put8(out_, c.b);
    }
}

GifFile& GifFile::LoopCount(int count) {
    Put8(out_, 0x21);
    Put8(out_, 0xFF);
    Put8(out_, 11);
    PutText(out_, "NETSCAPE2.0");
    Put8(out_, 3);
    Put8(out_, 1);
    Put16(out_, U(count));
    Put8(out_, 0);
    return *this;
}

GifFile& GifFile::Frame(const GifFrame& frame) {
    // Graphic control: disposal in bits 2-4, transparency flag in bit 0.
    Put8(out_, 0x21);
    Put8(out_, 0xF9);
    Put8(out_, 4);
    Put8(out_, (U(frame.disposal) << 2) | (frame.transparentIndex >= 0 ? 1u : 0u));
    Put16(out_, U(frame.delayCs));
    Put8(out_, frame.transparentIndex >= 0 ? U(frame.transparentIndex) : 0);
    Put8(out_, 0);
    // Image descriptor, no local table, not interlaced.
    Put8(out_, 0x2C);
    Put16(out_, U(frame.left));
    Put16(out_, U(frame.top));
    Put16(out_, U(frame.width));
    Put16(out_, U(frame.height));
    Put8(out_, 0);
    const FileBytes data = GifLzw(frame.indices);
    out_.insert(out_.end(), data.begin(), data.end());
    return *this;
}

FileBytes GifFile::Finish() {
    FileBytes out = out_;
    Put8(out, 0x3B);
    return out;
}

GifFrame SolidFrame(int width, int height, uint8_t index, int delayCs) {
    GifFrame frame{0, 0, width, height, std::vector<uint8_t>(static_cast<size_t>(width * height), index)};
    frame.delayCs = delayCs;
    return frame;
}

// --- ScratchFolder ---------------------------------------------------------------------

ScratchFolder::ScratchFolder() {
    wchar_t temp[MAX_PATH];
    const DWORD length = GetTempPathW(MAX_PATH, temp);
    if (length == 0 || length >= MAX_PATH) return;
    std::wstring path = temp;
    if (!path.empty() && path.back() == L'\\') path.pop_back();
    path += L"\\orvessa-pictures-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(GetTickCount());
    if (CreateDirectoryW(path.c_str(), nullptr)) path_ = path;
}

ScratchFolder::~ScratchFolder() {
    if (path_.empty()) return;
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW((path_ + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name != L"." && name != L"..") DeleteFileW(PathOf(name).c_str());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(path_.c_str());
}

bool ScratchFolder::Write(const std::wstring& name, const FileBytes& bytes) {
    const HANDLE file = CreateFileW(PathOf(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok = bytes.empty() ||
                    (WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                     written == bytes.size());
    CloseHandle(file);
    return ok;
}

bool ScratchFolder::Remove(const std::wstring& name) {
    return DeleteFileW(PathOf(name).c_str()) != FALSE;
}

} // namespace driver
