#include "PictureTestData.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>

#include <jpeglib.h>
#include <png.h>

void PrintTo(const Bgra& c, std::ostream* os) {
    *os << "(B" << int{c.b} << " G" << int{c.g} << " R" << int{c.r} << " A" << int{c.a} << ")";
}

uint8_t* TestSink::Allocate(int32_t w, int32_t h) {
    if (refuse_) {
        return nullptr;
    }
    width = w;
    height = h;
    pixels.assign(static_cast<size_t>(w) * static_cast<size_t>(h) * 4, 0xA5);
    return pixels.data();
}

std::vector<Bgra> TestSink::All() const { return ToPixels(pixels); }

std::vector<Bgra> ToPixels(const Bytes& bgra) {
    std::vector<Bgra> px;
    for (size_t i = 0; i + 3 < bgra.size(); i += 4) {
        px.push_back({bgra[i], bgra[i + 1], bgra[i + 2], bgra[i + 3]});
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

namespace {

void Le16(Bytes& b, size_t at, uint32_t v) {
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}

void Le32(Bytes& b, size_t at, uint32_t v) {
    Le16(b, at, v);
    Le16(b, at + 2, v >> 16);
}

// The flags value for a GIF colour table of 3 * 2^(n + 1) bytes.
uint8_t GifTableSize(size_t bytes) {
    uint8_t n = 0;
    while ((size_t{6} << n) < bytes) {
        ++n;
    }
    return n;
}

}  // namespace

Bytes MakeBmp(int32_t width, int32_t height, uint16_t bits, const Bytes& rows,
              const std::vector<Bgra>& table, uint32_t coloursUsed) {
    const size_t rowsOffset = 54 + table.size() * 4;
    Bytes b(rowsOffset);
    b[0] = 'B';
    b[1] = 'M';
    Le32(b, 10, static_cast<uint32_t>(rowsOffset));
    Le32(b, 14, 40);
    Le32(b, 18, static_cast<uint32_t>(width));
    Le32(b, 22, static_cast<uint32_t>(height));
    Le16(b, 26, 1);
    Le16(b, 28, bits);
    Le32(b, 46, coloursUsed);
    for (size_t i = 0; i < table.size(); ++i) {
        b[54 + 4 * i] = table[i].b;
        b[55 + 4 * i] = table[i].g;
        b[56 + 4 * i] = table[i].r;
    }
    b.insert(b.end(), rows.begin(), rows.end());
    return b;
}

Bytes MakePcx(int width, int height, int bits, const Bytes& rows, const Bytes* palette) {
    Bytes b(128, 0);
    b[0] = 0x0A;
    b[1] = bits == 1 ? 3 : 5;
    b[2] = 1;
    b[3] = static_cast<uint8_t>(bits);
    Le16(b, 8, static_cast<uint32_t>(width - 1));
    Le16(b, 10, static_cast<uint32_t>(height - 1));
    b[65] = 1;
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
    if (palette) {
        b.push_back(12);
        b.insert(b.end(), palette->begin(), palette->end());
    }
    return b;
}

Bytes IconBitmap(int width, int height, uint16_t bits) {
    const size_t colours = bits <= 8 ? size_t{1} << bits : 0;
    const size_t colourRow = (static_cast<size_t>(width) * bits + 31) / 32 * 4;
    const size_t maskRow = (static_cast<size_t>(width) + 31) / 32 * 4;
    Bytes b(40 + colours * 4 + (colourRow + maskRow) * static_cast<size_t>(height), 0);
    Le32(b, 0, 40);
    Le32(b, 4, static_cast<uint32_t>(width));
    Le32(b, 8, static_cast<uint32_t>(2 * height));
    Le16(b, 12, 1);
    Le16(b, 14, bits);
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

GifWriter& GifWriter::Raw(const Bytes& bytes) {
    out_.insert(out_.end(), bytes.begin(), bytes.end());
    return *this;
}

Bytes WritePng(int width, int height, const Bytes& samples, bool alpha) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = alpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
    png_alloc_size_t size = 0;
    png_image_write_to_memory(&image, nullptr, &size, 0, samples.data(), 0, nullptr);
    Bytes out(size);
    png_image_write_to_memory(&image, out.data(), &size, 0, samples.data(), 0, nullptr);
    out.resize(size);
    return out;
}

Bytes WriteJpeg(int width, int height, int components, const Bytes& samples, JpegScans scans,
                int quality, bool subsampled) {
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
    const size_t stride = static_cast<size_t>(width) * static_cast<size_t>(components);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(samples.data() + cinfo.next_scanline * stride);
        jpeg_write_scanlines(&cinfo, &row, 1);
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
