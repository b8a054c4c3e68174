#include "TestPictures.h"

#include <algorithm>
#include <array>
#include <cstdio>  // jpeglib.h wants FILE declared first
#include <cstdlib>
#include <cstring>
#include <map>

#include <jpeglib.h>
#include <png.h>
#include <webp/encode.h>
#include <webp/mux.h>
#include <zlib.h>
#ifdef ORVESSA_AVIF_ENCODER
#include <avif/avif.h>
#endif

namespace testpictures {

void PrintTo(const Rgba& c, std::ostream* os) {
    *os << "(R" << int{c.r} << " G" << int{c.g} << " B" << int{c.b} << " A" << int{c.a} << ")";
}

std::vector<Rgba> ToPixels(const Bytes& bgra) {
    std::vector<Rgba> px;
    for (size_t i = 0; i + 3 < bgra.size(); i += 4) {
        px.push_back({bgra[i + 2], bgra[i + 1], bgra[i], bgra[i + 3]});
    }
    return px;
}

Bytes Patched(Bytes b, size_t at, std::initializer_list<uint8_t> values) {
    std::copy(values.begin(), values.end(), b.begin() + static_cast<long>(at));
    return b;
}

Bytes Cut(const Bytes& b, size_t size) {
    return Bytes(b.begin(), b.begin() + static_cast<long>(size));
}

Bytes RgbTable(const std::vector<Rgba>& colours) {
    Bytes out;
    for (const Rgba& c : colours) {
        out.insert(out.end(), {c.r, c.g, c.b});
    }
    return out;
}

namespace {

void Le16(Bytes& b, size_t at, uint32_t v) {
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}

void Le32(Bytes& b, size_t at, uint32_t v) {
    Le16(b, at, v);
    Le16(b, at + 2, v >> 16);
}

// The 40-byte info header of a DIB, at `at`.
void InfoHeader(Bytes& b, size_t at, int32_t width, int32_t height, uint16_t bits,
                uint32_t coloursUsed) {
    Le32(b, at, 40);
    Le32(b, at + 4, static_cast<uint32_t>(width));
    Le32(b, at + 8, static_cast<uint32_t>(height));
    Le16(b, at + 12, 1);
    Le16(b, at + 14, bits);
    Le32(b, at + 32, coloursUsed);
}

// B, G, R and a zero per entry, `entries` of them, black beyond the colours given.
void PutColourTable(Bytes& b, size_t at, const std::vector<Rgba>& colours, size_t entries) {
    for (size_t i = 0; i < entries; ++i) {
        const Rgba c = i < colours.size() ? colours[i] : kBlack;
        b[at + 4 * i] = c.b;
        b[at + 4 * i + 1] = c.g;
        b[at + 4 * i + 2] = c.r;
    }
}

// The flags value for a GIF colour table of 3 * 2^(n + 1) bytes.
uint8_t GifTableSize(size_t bytes) {
    uint8_t n = 0;
    while ((size_t{6} << n) < bytes) {
        ++n;
    }
    return n;
}

// Bytes of one packed row of 1, 4, 8, 24 or 32 bits per pixel, padded to 4 bytes.
size_t DibStride(int width, int bits) {
    return (static_cast<size_t>(width) * static_cast<size_t>(bits) + 31) / 32 * 4;
}

// The raster's colours in order of first appearance, and each pixel's index among them.
struct Indexed {
    std::vector<Rgba> palette;
    Bytes indices;
};

Indexed IndexColours(const Raster& raster) {
    Indexed out;
    for (const Rgba& pixel : raster.pixels) {
        const size_t i = static_cast<size_t>(
            std::find(out.palette.begin(), out.palette.end(), pixel) - out.palette.begin());
        if (i == out.palette.size()) {
            out.palette.push_back(pixel);
        }
        out.indices.push_back(static_cast<uint8_t>(i));
    }
    return out;
}

// DIB rows, bottom row first: indices packed most significant first, or B, G, R (and A).
Bytes DibRows(const Raster& raster, const Indexed& indexed, int bits) {
    const size_t stride = DibStride(raster.width, bits);
    Bytes rows(stride * static_cast<size_t>(raster.height), 0);
    for (int y = 0; y < raster.height; ++y) {
        uint8_t* row = rows.data() + stride * static_cast<size_t>(raster.height - 1 - y);
        for (int x = 0; x < raster.width; ++x) {
            const size_t at = static_cast<size_t>(x);
            if (bits <= 8) {
                const unsigned index = indexed.indices[static_cast<size_t>(y * raster.width + x)];
                const size_t bit = at * static_cast<size_t>(bits);
                const unsigned shift = 8u - static_cast<unsigned>(bits) - bit % 8;
                row[bit / 8] = static_cast<uint8_t>(row[bit / 8] | (index << shift));
            } else {
                const Rgba& c = raster.At(x, y);
                uint8_t* d = row + at * static_cast<size_t>(bits / 8);
                d[0] = c.b;
                d[1] = c.g;
                d[2] = c.r;
                if (bits == 32) {
                    d[3] = c.a;
                }
            }
        }
    }
    return rows;
}

}  // namespace

// --- From bytes ---------------------------------------------------------------------------

Bytes MakeBmp(int32_t width, int32_t height, uint16_t bits, const Bytes& rows,
              const std::vector<Rgba>& table, uint32_t coloursUsed) {
    BmpLayout layout;
    layout.width = width;
    layout.height = height;
    layout.bits = bits;
    layout.table = table;
    layout.pixels = rows;
    Bytes b = MakeBmp(layout);
    Le32(b, 46, coloursUsed);
    return b;
}

Bytes MakeBmp(const BmpLayout& layout) {
    const bool core = layout.headerSize == 12;
    const size_t entryBytes = core ? 3 : 4;
    const size_t masksAfter = layout.headerSize == 40 ? layout.masks.size() * 4 : 0;
    const size_t tableAt = 14 + layout.headerSize + masksAfter;
    const size_t rowsOffset = tableAt + layout.table.size() * entryBytes;
    Bytes b(rowsOffset);
    b[0] = 'B';
    b[1] = 'M';
    Le32(b, 10, static_cast<uint32_t>(rowsOffset));
    if (core) {
        Le32(b, 14, 12);
        Le16(b, 18, static_cast<uint32_t>(layout.width));
        Le16(b, 20, static_cast<uint32_t>(layout.height));
        Le16(b, 22, 1);
        Le16(b, 24, layout.bits);
        for (size_t i = 0; i < layout.table.size(); ++i) {
            b[tableAt + 3 * i] = layout.table[i].b;
            b[tableAt + 3 * i + 1] = layout.table[i].g;
            b[tableAt + 3 * i + 2] = layout.table[i].r;
        }
    } else {
        InfoHeader(b, 14, layout.width, layout.height, layout.bits,
                   static_cast<uint32_t>(layout.table.size()));
        Le32(b, 14, layout.headerSize);
        Le32(b, 30, layout.compression);
        for (size_t i = 0; i < layout.masks.size(); ++i) {
            Le32(b, 54 + 4 * i, layout.masks[i]);
        }
        PutColourTable(b, tableAt, layout.table, layout.table.size());
    }
    b.insert(b.end(), layout.pixels.begin(), layout.pixels.end());
    return b;
}

Bytes MakePcx(int width, int height, int bits, const Bytes& rows, const Bytes* palette) {
    PcxLayout layout;
    layout.width = width;
    layout.height = height;
    layout.bits = bits;
    layout.version = bits == 1 ? 3 : 5;
    layout.rows = rows;
    if (palette) {
        layout.palette = *palette;
    }
    return MakePcx(layout);
}

PcxLayout PcxLines(int width, int height, int bits, int planes, int lineBytes, Bytes rows) {
    PcxLayout l;
    l.width = width, l.height = height, l.bits = bits, l.planes = planes;
    l.lineBytes = lineBytes;
    l.rows = std::move(rows);
    return l;
}

Bytes MakePcx(const PcxLayout& layout) {
    Bytes b(128, 0);
    b[0] = 0x0A;
    b[1] = static_cast<uint8_t>(layout.version);
    b[2] = 1;
    b[3] = static_cast<uint8_t>(layout.bits);
    Le16(b, 8, static_cast<uint32_t>(layout.width - 1));
    Le16(b, 10, static_cast<uint32_t>(layout.height - 1));
    std::copy(layout.headerPalette.begin(), layout.headerPalette.end(), b.begin() + 16);
    b[65] = static_cast<uint8_t>(layout.planes);
    const size_t packed = layout.bits == 8 ? size_t(layout.width) : size_t(layout.width + 7) / 8;
    Le16(b, 66,
         static_cast<uint32_t>(layout.lineBytes != 0 ? size_t(layout.lineBytes)
                                                     : packed + (packed & 1)));
    const Bytes& rows = layout.rows;
    for (size_t i = 0; i < rows.size();) {
        size_t run = 1;
        while (i + run < rows.size() && run < 63 && rows[i + run] == rows[i]) {
            ++run;
        }
        if (run > 1 || rows[i] > 0xC0) {
            b.push_back(static_cast<uint8_t>(0xC0 + run));
        }
        b.push_back(rows[i]);
        i += run;
    }
    if (!layout.palette.empty()) {
        b.push_back(12);
        b.insert(b.end(), layout.palette.begin(), layout.palette.end());
    }
    return b;
}

Bytes IconBitmap(int width, int height, uint16_t bits) {
    const size_t colours = bits <= 8 ? size_t{1} << bits : 0;
    const size_t colourRow = DibStride(width, bits);
    const size_t maskRow = DibStride(width, 1);
    Bytes b(40 + colours * 4 + (colourRow + maskRow) * static_cast<size_t>(height), 0);
    InfoHeader(b, 0, width, 2 * height, bits, 0);
    return b;
}

Bytes MakeIconFile(uint16_t type, const std::vector<IconEntry>& entries) {
    Bytes b(6 + 16 * entries.size(), 0);
    Le16(b, 2, type);
    Le16(b, 4, static_cast<uint32_t>(entries.size()));
    for (size_t i = 0; i < entries.size(); ++i) {
        const size_t at = 6 + 16 * i;
        b[at] = b[at + 1] = entries[i].widthByte;
        b[at + 2] = entries[i].colourByte;
        Le16(b, at + 4, entries[i].planes);
        Le16(b, at + 6, entries[i].bitCount);
        Le32(b, at + 8, static_cast<uint32_t>(entries[i].image.size()));
        Le32(b, at + 12, static_cast<uint32_t>(b.size()));
        b.insert(b.end(), entries[i].image.begin(), entries[i].image.end());
    }
    return b;
}

Bytes LzwEncode(const Bytes& indices, int minCodeSize, bool deferredClear) {
    const unsigned clear = 1u << minCodeSize, end = clear + 1;
    unsigned next = end + 1, size = static_cast<unsigned>(minCodeSize) + 1;
    Bytes out;
    uint32_t acc = 0;
    unsigned bits = 0;
    auto put = [&](unsigned code) {
        acc |= code << bits;
        for (bits += size; bits >= 8; bits -= 8, acc >>= 8) {
            out.push_back(static_cast<uint8_t>(acc));
        }
    };
    std::map<unsigned, unsigned> table;
    put(clear);
    int prefix = -1;
    for (uint8_t k : indices) {
        const unsigned key = static_cast<unsigned>(prefix) * 256 + k;
        if (prefix < 0 || table.count(key)) {
            prefix = prefix < 0 ? k : static_cast<int>(table[key]);
            continue;
        }
        put(static_cast<unsigned>(prefix));
        if (next < 4096) {
            table[key] = next++;
            // The reader adds its entry one code later, so it widens when `next` passes a power.
            size += next > (1u << size) && size < 12;
            if (next == 4096 && !deferredClear) {
                put(clear);
                table.clear();
                next = end + 1;
                size = static_cast<unsigned>(minCodeSize) + 1;
            }
        }
        prefix = k;
    }
    if (prefix >= 0) {
        put(static_cast<unsigned>(prefix));
        // The reader adds one more entry on that code before it reads the end code.
        size += next < 4096 && next >= (1u << size) && size < 12;
    }
    put(end);
    if (bits > 0) {
        out.push_back(static_cast<uint8_t>(acc));
    }
    return out;
}

GifFrame::GifFrame(int l, int t, int w, int h, Bytes indices, Bytes local, bool interlace,
                   int codeSize)
    : left(l),
      top(t),
      width(w),
      height(h),
      pixels(std::move(indices)),
      localTable(std::move(local)),
      interlaced(interlace),
      minCodeSize(codeSize) {}

GifFrame SolidFrame(int width, int height, uint8_t index, int delayCs) {
    GifFrame frame(0, 0, width, height,
                   Bytes(static_cast<size_t>(width) * static_cast<size_t>(height), index));
    frame.delayCs = delayCs;
    return frame;
}

GifWriter::GifWriter(int width, int height, const Bytes& globalTable) {
    static const char kSignature[] = "GIF89a";
    out_.assign(13 + globalTable.size(), 0);
    std::copy(kSignature, kSignature + 6, out_.begin());
    Le16(out_, 6, static_cast<uint32_t>(width));
    Le16(out_, 8, static_cast<uint32_t>(height));
    if (!globalTable.empty()) {
        out_[10] = static_cast<uint8_t>(0x80 | GifTableSize(globalTable.size()));
        std::copy(globalTable.begin(), globalTable.end(), out_.begin() + 13);
    }
}

GifWriter& GifWriter::Control(int disposal, int delayCs, int transparentIndex) {
    const int flags = (disposal << 2) | (transparentIndex >= 0 ? 1 : 0);
    return Raw({0x21, 0xF9, 4, static_cast<uint8_t>(flags), static_cast<uint8_t>(delayCs),
                static_cast<uint8_t>(delayCs >> 8), static_cast<uint8_t>(transparentIndex), 0});
}

GifWriter& GifWriter::LoopCount(int count) {
    Raw({0x21, 0xFF, 11, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 3, 1});
    return Raw({static_cast<uint8_t>(count), static_cast<uint8_t>(count >> 8), 0});
}

GifWriter& GifWriter::Image(const GifFrame& frame) {
    Bytes ordered;
    static const int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
    for (int pass = 0; pass < (frame.interlaced ? 4 : 1); ++pass) {
        const int start = frame.interlaced ? kStart[pass] : 0;
        const int step = frame.interlaced ? kStep[pass] : 1;
        for (int y = start; y < frame.height; y += step) {
            const auto row = frame.pixels.begin() + y * frame.width;
            ordered.insert(ordered.end(), row, row + frame.width);
        }
    }
    return Image(frame, LzwEncode(ordered, frame.minCodeSize));
}

GifWriter& GifWriter::Image(const GifFrame& frame, const Bytes& lzwBytes) {
    Bytes d(10, 0);
    d[0] = 0x2C;
    Le16(d, 1, static_cast<uint32_t>(frame.left));
    Le16(d, 3, static_cast<uint32_t>(frame.top));
    Le16(d, 5, static_cast<uint32_t>(frame.width));
    Le16(d, 7, static_cast<uint32_t>(frame.height));
    if (!frame.localTable.empty()) {
        d[9] = static_cast<uint8_t>(0x80 | GifTableSize(frame.localTable.size()));
    }
    d[9] = static_cast<uint8_t>(d[9] | (frame.interlaced ? 0x40 : 0));
    d.insert(d.end(), frame.localTable.begin(), frame.localTable.end());
    d.push_back(static_cast<uint8_t>(frame.minCodeSize));
    for (size_t at = 0; at < lzwBytes.size(); at += 255) {
        const size_t n = std::min<size_t>(255, lzwBytes.size() - at);
        d.push_back(static_cast<uint8_t>(n));
        d.insert(d.end(), lzwBytes.begin() + static_cast<long>(at),
                 lzwBytes.begin() + static_cast<long>(at + n));
    }
    d.push_back(0);
    return Raw(d);
}

GifWriter& GifWriter::Frame(const GifFrame& frame) {
    return Control(frame.disposal, frame.delayCs, frame.transparentIndex).Image(frame);
}

GifWriter& GifWriter::Raw(const Bytes& bytes) {
    out_.insert(out_.end(), bytes.begin(), bytes.end());
    return *this;
}

Bytes GifWriter::Trailer() const {
    Bytes out = out_;
    out.push_back(0x3B);
    return out;
}

Bytes WritePng(int width, int height, const Bytes& samples, bool alpha) {
    return WritePngFormat(width, height, alpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB, samples);
}

Bytes WritePngFormat(int width, int height, uint32_t format, const Bytes& samples,
                     const Bytes& colourMap, uint32_t colourMapEntries) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = format;
    image.colormap_entries = colourMapEntries;
    const void* map = colourMap.empty() ? nullptr : colourMap.data();
    png_alloc_size_t size = 0;
    png_image_write_to_memory(&image, nullptr, &size, 0, samples.data(), 0, map);
    Bytes out(size);
    png_image_write_to_memory(&image, out.data(), &size, 0, samples.data(), 0, map);
    out.resize(size);
    return out;
}

namespace {

void PutBE(Bytes& out, uint32_t v, int bytes = 4) {
    for (int i = bytes - 1; i >= 0; --i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void PutChunk(Bytes& out, const char* type, const Bytes& body) {
    PutBE(out, static_cast<uint32_t>(body.size()));
    const size_t at = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), body.begin(), body.end());
    PutBE(out,
          static_cast<uint32_t>(crc32(0, out.data() + at, static_cast<uInt>(body.size() + 4))));
}

// The IHDR chunk (`header`) and the joined IDAT data of a PNG that libpng wrote.
Bytes ImageData(const Bytes& png, Bytes* header) {
    Bytes data;
    for (size_t at = 8; at + 12 <= png.size();) {
        const size_t length = size_t{png[at]} << 24 | size_t{png[at + 1]} << 16 |
                              size_t{png[at + 2]} << 8 | png[at + 3];
        const auto body = png.begin() + static_cast<long>(at + 8);
        if (std::memcmp(&png[at + 4], "IHDR", 4) == 0 && header) {
            header->assign(png.begin() + static_cast<long>(at),
                           body + static_cast<long>(length + 4));
        }
        if (std::memcmp(&png[at + 4], "IDAT", 4) == 0)
            data.insert(data.end(), body, body + static_cast<long>(length));
        at += 12 + length;
    }
    return data;
}

}  // namespace

Bytes Rechecked(Bytes png, size_t at) {
    const size_t length = size_t{png.at(at)} << 24 | size_t{png[at + 1]} << 16 |
                          size_t{png[at + 2]} << 8 | png[at + 3];
    Bytes crc;
    PutBE(crc, static_cast<uint32_t>(crc32(0, &png.at(at + 4), static_cast<uInt>(length + 4))));
    std::copy(crc.begin(), crc.end(), png.begin() + static_cast<long>(at + 8 + length));
    return png;
}

Bytes WriteApng(int width, int height, const std::vector<ApngFrame>& frames,
                const Bytes& defaultImage) {
    Bytes header, out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    const Bytes first = ImageData(defaultImage.empty() ? WritePng(width, height, frames[0].rgba)
                                                       : WritePng(width, height, defaultImage),
                                  &header);
    out.insert(out.end(), header.begin(), header.end());
    Bytes control;
    PutBE(control, static_cast<uint32_t>(frames.size()));
    PutBE(control, 0);  // play for ever
    PutChunk(out, "acTL", control);
    uint32_t sequence = 0;
    for (size_t i = 0; i < frames.size(); ++i) {
        const ApngFrame& f = frames[i];
        control.clear();
        for (int v : {static_cast<int>(sequence++), f.width, f.height, f.x, f.y}) {
            PutBE(control, static_cast<uint32_t>(v));
        }
        PutBE(control, f.delayNum, 2);
        PutBE(control, f.delayDen, 2);
        control.insert(control.end(), {f.dispose, f.blend});
        if (i == 0 && defaultImage.empty()) {
            PutChunk(out, "fcTL", control);
            PutChunk(out, "IDAT", first);
            continue;
        }
        if (i == 0) PutChunk(out, "IDAT", first);
        PutChunk(out, "fcTL", control);
        Bytes data;
        PutBE(data, sequence++);
        const Bytes image = ImageData(WritePng(f.width, f.height, f.rgba), nullptr);
        data.insert(data.end(), image.begin(), image.end());
        PutChunk(out, "fdAT", data);
    }
    PutChunk(out, "IEND", {});
    return out;
}

Bytes WriteJpeg(int width, int height, int components, const Bytes& samples, JpegScans scans,
                int quality, bool subsampled, bool ycck) {
    const size_t stride = static_cast<size_t>(width) * static_cast<size_t>(components);
    return WriteJpegRows(
        width, height, components,
        [&](int y, uint8_t* row) {
            std::copy_n(samples.begin() + static_cast<long>(static_cast<size_t>(y) * stride),
                        stride, row);
        },
        scans, quality, subsampled, ycck);
}

Bytes WriteJpegRows(int width, int height, int components, const JpegRowFill& fill, JpegScans scans,
                    int quality, bool subsampled, bool ycck) {
    jpeg_compress_struct cinfo;
    jpeg_error_mgr errors;
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    cinfo.input_components = components;
    cinfo.in_color_space = components == 1 ? JCS_GRAYSCALE : components == 3 ? JCS_RGB : JCS_CMYK;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    if (ycck) {
        jpeg_set_colorspace(&cinfo, JCS_YCCK);
    }
    for (int i = 0; i < cinfo.num_components && !subsampled; ++i) {
        cinfo.comp_info[i].h_samp_factor = cinfo.comp_info[i].v_samp_factor = 1;
    }
    // Greyscale only: DC, then every AC coefficient on its own in ten bit planes: 631 scans.
    std::vector<jpeg_scan_info> script = {{1, {0, 0, 0, 0}, 0, 0, 0, 0}};
    if (scans == JpegScans::Progressive) {
        jpeg_simple_progression(&cinfo);
    } else if (scans == JpegScans::TooMany) {
        for (int k = 1; k < 64; ++k) {
            script.push_back({1, {0, 0, 0, 0}, k, k, 0, 9});
            for (int al = 8; al >= 0; --al) {
                script.push_back({1, {0, 0, 0, 0}, k, k, al + 1, al});
            }
        }
        cinfo.scan_info = script.data();
        cinfo.num_scans = static_cast<int>(script.size());
    }
    jpeg_start_compress(&cinfo, TRUE);
    Bytes row(static_cast<size_t>(width) * static_cast<size_t>(components));
    while (cinfo.next_scanline < cinfo.image_height) {
        fill(static_cast<int>(cinfo.next_scanline), row.data());
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    Bytes out(buffer, buffer + size);
    std::free(buffer);
    return out;
}

Bytes QuadrantJpeg(int components, JpegScans scans) {
    static const uint8_t kColours[4][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
    static const uint8_t kGreys[4] = {40, 90, 160, 230};
    Bytes samples;
    for (int i = 0; i < 256; ++i) {
        const int q = (i / 128) * 2 + (i % 16) / 8;
        if (components == 1) {
            samples.push_back(kGreys[q]);
        } else {
            samples.insert(samples.end(), kColours[q], kColours[q] + 3);
        }
    }
    return WriteJpeg(16, 16, components, samples, scans);
}

Bytes WriteWebp(int width, int height, const Bytes& rgba, bool lossless, int quality) {
    uint8_t* out = nullptr;
    const size_t size = lossless
                            ? WebPEncodeLosslessRGBA(rgba.data(), width, height, width * 4, &out)
                            : WebPEncodeRGBA(rgba.data(), width, height, width * 4,
                                             static_cast<float>(quality), &out);
    Bytes b(out, out + size);
    WebPFree(out);
    return b;
}

Bytes WriteAnimatedWebp(int width, int height, const std::vector<WebpFrame>& frames) {
    WebPAnimEncoderOptions options;
    WebPAnimEncoderOptionsInit(&options);
    WebPAnimEncoder* encoder = WebPAnimEncoderNew(width, height, &options);
    WebPConfig config;
    WebPConfigInit(&config);
    config.lossless = 1;
    int timestamp = 0;
    for (const WebpFrame& frame : frames) {
        WebPPicture picture;
        WebPPictureInit(&picture);
        picture.use_argb = 1;
        picture.width = width;
        picture.height = height;
        WebPPictureImportRGBA(&picture, frame.rgba.data(), width * 4);
        WebPAnimEncoderAdd(encoder, &picture, timestamp, &config);
        WebPPictureFree(&picture);
        timestamp += frame.durationMs;
    }
    WebPAnimEncoderAdd(encoder, nullptr, timestamp, nullptr);
    WebPData data;
    WebPDataInit(&data);
    WebPAnimEncoderAssemble(encoder, &data);
    Bytes b(data.bytes, data.bytes + data.size);
    WebPDataClear(&data);
    WebPAnimEncoderDelete(encoder);
    return b;
}

// An APP1 EXIF segment holding `tiff`, put right after SOI.
Bytes WithExif(const Bytes& jpeg, const Bytes& tiff) {
    Bytes segment = {0xFF, 0xE1, 0, 0, 'E', 'x', 'i', 'f', 0, 0};
    segment.insert(segment.end(), tiff.begin(), tiff.end());
    segment[2] = static_cast<uint8_t>((segment.size() - 2) >> 8);
    segment[3] = static_cast<uint8_t>(segment.size() - 2);
    Bytes out = jpeg;
    out.insert(out.begin() + 2, segment.begin(), segment.end());
    return out;
}

// A TIFF header and a first IFD of two entries, the orientation second, in either byte order.
Bytes OrientationTiff(uint16_t value, bool bigEndian, uint16_t type) {
    auto put16 = [&](Bytes& b, uint32_t v) {
        b.push_back(static_cast<uint8_t>(bigEndian ? v >> 8 : v));
        b.push_back(static_cast<uint8_t>(bigEndian ? v : v >> 8));
    };
    auto put32 = [&](Bytes& b, uint32_t v) {
        put16(b, bigEndian ? v >> 16 : v & 0xFFFF);
        put16(b, bigEndian ? v & 0xFFFF : v >> 16);
    };
    Bytes b = bigEndian ? Bytes{'M', 'M'} : Bytes{'I', 'I'};
    put16(b, 42);
    put32(b, 8);
    put16(b, 2);
    for (const auto& [tag, kind, v] :
         {std::array<uint32_t, 3>{0x010F, 2, 0}, {0x0112, type, value}}) {
        put16(b, tag);
        put16(b, kind);
        put32(b, 1);
        if (kind == 1 || kind == 6) {
            b.insert(b.end(), {static_cast<uint8_t>(v), 0, 0, 0});
        } else if (kind == 4 || kind == 9) {
            put32(b, v);
        } else {
            put16(b, v);
            put16(b, 0);
        }
    }
    put32(b, 0);
    return b;
}

// --- From a raster ------------------------------------------------------------------------

Raster Filled(int width, int height, Rgba colour) {
    return Raster{
        width, height,
        std::vector<Rgba>(static_cast<size_t>(width) * static_cast<size_t>(height), colour)};
}

Raster Halves(int width, int height, Rgba top, Rgba bottom) {
    return Quarters(width, height, top, top, bottom, bottom);
}

Raster Quarters(int width, int height, Rgba topLeft, Rgba topRight, Rgba bottomLeft,
                Rgba bottomRight) {
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

Bytes BmpFile(const Raster& raster, int bits) {
    const Indexed indexed = IndexColours(raster);
    const size_t tableEntries = bits <= 8 ? indexed.palette.size() : 0;
    if (bits <= 8 && tableEntries > (size_t{1} << bits)) {
        return {};
    }
    const std::vector<Rgba> table(indexed.palette.begin(),
                                  indexed.palette.begin() + static_cast<long>(tableEntries));
    return MakeBmp(raster.width, raster.height, static_cast<uint16_t>(bits),
                   DibRows(raster, indexed, bits), table, static_cast<uint32_t>(tableEntries));
}

Bytes PcxFile(const Raster& raster, int bits) {
    const Indexed indexed = IndexColours(raster);
    if (bits == 8 && indexed.palette.size() > 256) {
        return {};
    }
    const size_t lineBytes = bits == 8 ? static_cast<size_t>(raster.width + (raster.width & 1))
                                       : static_cast<size_t>((raster.width + 7) / 8 + 1) / 2 * 2;
    Bytes rows(lineBytes * static_cast<size_t>(raster.height), 0);
    for (int y = 0; y < raster.height; ++y) {
        uint8_t* line = rows.data() + lineBytes * static_cast<size_t>(y);
        for (int x = 0; x < raster.width; ++x) {
            const size_t at = static_cast<size_t>(x);
            if (bits == 8) {
                line[at] = indexed.indices[static_cast<size_t>(y * raster.width + x)];
            } else if (raster.At(x, y) == kWhite) {
                line[at / 8] = static_cast<uint8_t>(line[at / 8] | (0x80u >> (at % 8)));
            }
        }
    }
    if (bits != 8) {
        return MakePcx(raster.width, raster.height, bits, rows);
    }
    Bytes palette = RgbTable(indexed.palette);
    palette.resize(768, 0);
    return MakePcx(raster.width, raster.height, bits, rows, &palette);
}

namespace {

// The raster's samples, `channels` a pixel: grey (the red sample), RGB or RGBA.
Bytes Samples(const Raster& raster, int channels) {
    Bytes samples;
    for (const Rgba& c : raster.pixels) {
        const uint8_t all[4] = {c.r, c.g, c.b, c.a};
        samples.insert(samples.end(), all, all + channels);
    }
    return samples;
}

}  // namespace

Bytes RgbaSamples(const Raster& raster) {
    return Samples(raster, 4);
}

Bytes PngFile(const Raster& raster, bool alpha) {
    return WritePng(raster.width, raster.height, Samples(raster, alpha ? 4 : 3), alpha);
}

Bytes JpegFile(const Raster& raster, bool grey) {
    return WriteJpeg(raster.width, raster.height, grey ? 1 : 3, Samples(raster, grey ? 1 : 3));
}

Bytes WebpFile(const Raster& raster, bool lossless) {
    return WriteWebp(raster.width, raster.height, RgbaSamples(raster), lossless, 100);
}

Bytes AnimatedWebpFile(const std::vector<Raster>& frames, int durationMs) {
    std::vector<WebpFrame> webp;
    for (const Raster& frame : frames) {
        webp.push_back({RgbaSamples(frame), durationMs});
    }
    return WriteAnimatedWebp(frames.front().width, frames.front().height, webp);
}

#ifdef ORVESSA_AVIF_ENCODER
Bytes AnimatedAvifFile(const std::vector<Raster>& frames, int durationMs) {
    const Raster& first = frames.front();
    const auto w = static_cast<uint32_t>(first.width), h = static_cast<uint32_t>(first.height);
    avifEncoder* encoder = avifEncoderCreate();
    encoder->speed = AVIF_SPEED_FASTEST;
    encoder->minQuantizer = encoder->maxQuantizer = AVIF_QUANTIZER_LOSSLESS;
    encoder->minQuantizerAlpha = encoder->maxQuantizerAlpha = AVIF_QUANTIZER_LOSSLESS;
    encoder->timescale = 1000;
    bool ok = true;
    for (const Raster& frame : frames) {
        avifImage* image = avifImageCreate(w, h, 8, AVIF_PIXEL_FORMAT_YUV444);
        image->matrixCoefficients = AVIF_MATRIX_COEFFICIENTS_IDENTITY;
        image->yuvRange = AVIF_RANGE_FULL;
        Bytes samples = RgbaSamples(frame);
        avifRGBImage rgb;
        avifRGBImageSetDefaults(&rgb, image);
        rgb.format = AVIF_RGB_FORMAT_RGBA;
        rgb.pixels = samples.data();
        rgb.rowBytes = w * 4;
        ok = ok && avifImageRGBToYUV(image, &rgb) == AVIF_RESULT_OK &&
             avifEncoderAddImage(encoder, image, static_cast<uint64_t>(durationMs),
                                 frames.size() == 1 ? AVIF_ADD_IMAGE_FLAG_SINGLE
                                                    : AVIF_ADD_IMAGE_FLAG_NONE) == AVIF_RESULT_OK;
        avifImageDestroy(image);
    }
    avifRWData out = AVIF_DATA_EMPTY;
    ok = ok && avifEncoderFinish(encoder, &out) == AVIF_RESULT_OK;
    Bytes file = ok ? Bytes(out.data, out.data + out.size) : Bytes();
    avifRWDataFree(&out);
    avifEncoderDestroy(encoder);
    return file;
}

Bytes AvifFile(const Raster& raster) {
    return AnimatedAvifFile({raster}, 0);
}
#endif

// Each image is a DIB whose header counts the colour rows and the mask rows in its height.
Bytes IconFile(uint16_t type, const std::vector<IconImage>& images) {
    std::vector<IconEntry> entries;
    for (const IconImage& image : images) {
        const Raster& r = image.raster;
        const Indexed indexed = IndexColours(r);
        const size_t tableEntries = image.bits <= 8 ? size_t{1} << image.bits : 0;
        const uint16_t bits = static_cast<uint16_t>(image.bits);
        Bytes body(40 + 4 * tableEntries, 0);
        InfoHeader(body, 0, r.width, 2 * r.height, bits, 0);
        PutColourTable(body, 40, indexed.palette, tableEntries);
        const Bytes rows = DibRows(r, indexed, image.bits);
        body.insert(body.end(), rows.begin(), rows.end());
        body.resize(body.size() + DibStride(r.width, 1) * static_cast<size_t>(r.height), 0);
        entries.push_back({static_cast<uint8_t>(r.width < 256 ? r.width : 0), image.colourCountByte,
                           body, static_cast<uint16_t>(type == 1 ? 1 : 0),
                           static_cast<uint16_t>(type == 1 ? bits : 0)});
    }
    return MakeIconFile(type, entries);
}

}  // namespace testpictures
