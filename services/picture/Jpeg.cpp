// JPEG through libjpeg (6b interface, libjpeg-turbo). Grey and colour rows are decoded straight
// into the sink as B, G, R, 255: libjpeg-turbo's extended colour spaces do the RGB order and,
// for one component, copy each grey sample to red, green and blue. CMYK and YCCK pictures are
// decoded as CMYK (libjpeg turns YCCK into CMYK) and converted to RGB as every viewer without
// colour management does: R = (255 - C) * (255 - K) / 255. A file with an Adobe marker holds
// its CMYK inverted (Photoshop writes it so), and then R = C * K / 255.
//
// The EXIF orientation (APP1 "Exif", tag 0x0112 of the first IFD) is applied, so a phone photo
// stands upright: values 2 to 8 mirror and rotate, 5 to 8 swap width and height. Any integer
// type holds it (SHORT as the format says, BYTE, LONG and their signed kinds as some writers
// store it). Without it, or with a value outside 1 to 8, the picture is shown as stored.
//
// A picture drawn far below its size is decoded smaller through libjpeg's own DCT scaling
// (DecodeJpegToFit in Picture.h); everything below then works on the decoded size.
//
// libjpeg reports errors through a callback that must not return. Ours longjmps back to
// DecodeJpegFor, the one function that calls setjmp; everything between the two is libjpeg or the
// plain functions below, so no C++ object with a destructor is ever skipped. DecodeJpegFor's own
// state lives in a plain struct, and the decoding steps are in ReadJpeg so that no local that
// changes after setjmp is read after the jump.
//
// Limits for hostile data: the pixel cap on the decoded size before the sink is asked for
// memory, and a natural size beyond it justified by the data (BlocksJustifiedByData); libjpeg's own
// memory (coefficient buffers of progressive images) limited by max_memory_to_use; at most
// kMaxScans scans, and fewer for large pictures (ScanLimit), checked by a progress monitor, so a
// file of thousands of tiny progressive scans cannot keep the decoder busy. Data that ends early
// (libjpeg's "premature end" warning) is treated as an error: a truncated file gives no picture
// rather than a grey-filled one. Other warnings (stray bytes before a marker and the like) are
// ignored. Saved APP1 markers cost at most their own bytes, so no more than the file.
#include <csetjmp>
#include <cstdio>  // jpeglib.h uses FILE and size_t without including their headers
#include <cstring>
#include <limits>

#include <jerror.h>
#include <jpeglib.h>

#include "Picture.h"
#include "PictureBytes.h"

#if !defined(JCS_ALPHA_EXTENSIONS)
#error "The JPEG decoder writes BGRA rows directly and needs libjpeg-turbo's JCS_EXT_BGRA."
#endif

namespace {

constexpr int kMaxScans = 500;
// Every scan of a progressive picture walks all of its blocks, even a scan that holds almost no
// data, so a small file of 500 such scans over a 128-megapixel picture takes many seconds. The
// scans times the pixels may not pass this budget, about a second of decoding: the full 500
// scans up to 8.5 megapixels, still 32 at the pixel cap, more than encoders write.
constexpr uint64_t kScanPixelBudget = uint64_t{1} << 32;
// libjpeg's working memory, apart from the picture itself (which goes to the sink). A
// progressive picture keeps every coefficient (2 bytes a sample) until its last scan, so this is
// what a three-component 4:4:4 picture at the pixel cap needs (768 MiB), plus room for the
// tables and the padding to whole blocks. Every grey or colour JPEG within the pixel cap
// decodes; a progressive four-component (CMYK) 4:4:4 picture above about 100 Mi pixels is
// refused. Baseline pictures need only a few rows of blocks.
constexpr long kMaxLibraryMemory = 800L * 1024 * 1024;
// Rows handed to libjpeg per call; it returns at most its own row group (usually 1 or 2).
constexpr JDIMENSION kRowBatch = 16;

struct JpegErrors {
    jpeg_error_mgr pub;  // first member: libjpeg hands back a pointer to it
    std::jmp_buf jump;
    Refusal refusal;  // why the decoder jumped back
};

struct JpegSession {
    jpeg_decompress_struct cinfo;
    JpegErrors errors;
    jpeg_progress_mgr progress;
};

[[noreturn]] void Abandon(j_common_ptr cinfo, Refusal refusal) {
    JpegErrors* errors = reinterpret_cast<JpegErrors*>(cinfo->err);
    errors->refusal = refusal;
    std::longjmp(errors->jump, 1);
}

void OnError(j_common_ptr cinfo) {
    switch (cinfo->err->msg_code) {
    case JERR_OUT_OF_MEMORY: Abandon(cinfo, Refusal::NoMemory);
    case JERR_IMAGE_TOO_BIG: Abandon(cinfo, Refusal::TooLarge);
    default: Abandon(cinfo, Refusal::Malformed);
    }
}

void OnMessage(j_common_ptr cinfo, int level) {
    if (level < 0 && cinfo->err->msg_code == JWRN_JPEG_EOF) {
        Abandon(cinfo, Refusal::Truncated);
    }
}

void OnOutputMessage(j_common_ptr) {
    // Nothing is ever printed.
}

int ScanLimit(j_decompress_ptr d) {
    const uint64_t pixels = uint64_t{d->image_width} * d->image_height;
    const uint64_t byBudget = kScanPixelBudget / (pixels == 0 ? 1 : pixels);
    return byBudget < uint64_t{kMaxScans} ? static_cast<int>(byBudget) : kMaxScans;
}

void OnProgress(j_common_ptr cinfo) {
    if (cinfo->is_decompressor) {
        const j_decompress_ptr d = reinterpret_cast<j_decompress_ptr>(cinfo);
        if (d->input_scan_number > ScanLimit(d)) {
            Abandon(cinfo, Refusal::TooLarge);
        }
    }
}

// jpeg_mem_src counts bytes in unsigned long, which is narrower than size_t on 64-bit Windows.
bool FitsMemorySource(size_t size) {
    if constexpr (sizeof(size_t) > sizeof(unsigned long)) {
        return size <= std::numeric_limits<unsigned long>::max();
    } else {
        return true;
    }
}

// The orientation of an EXIF block (the APP1 payload after "Exif\0\0"): 1 to 8, or 1 when
// the block holds none. Every offset is checked against the block.
int TiffOrientation(const uint8_t* tiff, size_t size) {
    if (size < 8) {
        return 1;
    }
    const bool little = tiff[0] == 'I' && tiff[1] == 'I';
    if (!little && !(tiff[0] == 'M' && tiff[1] == 'M')) {
        return 1;
    }
    const auto u16 = [&](uint64_t at) -> uint32_t {
        return little ? picture_bytes::ReadLE16(tiff + at)
                      : static_cast<uint32_t>(tiff[at] << 8 | tiff[at + 1]);
    };
    const auto u32 = [&](uint64_t at) -> uint32_t {
        return little ? picture_bytes::ReadLE32(tiff + at) : picture_bytes::ReadBE32(tiff + at);
    };
    if (u16(2) != 42) {
        return 1;
    }
    const uint64_t ifd = u32(4);
    if (!picture_bytes::RangeInside(ifd, 2, size)) {
        return 1;
    }
    const uint64_t entries = u16(ifd);
    for (uint64_t i = 0; i < entries; ++i) {
        const uint64_t entry = ifd + 2 + 12 * i;
        if (!picture_bytes::RangeInside(entry, 12, size)) {
            return 1;
        }
        constexpr uint32_t kOrientationTag = 0x0112;
        if (u16(entry) != kOrientationTag) {
            continue;
        }
        // Writers store it as any integer type; viewers take the value whatever the type.
        // BYTE and SBYTE are 1 byte, SHORT and SSHORT 2, LONG and SLONG 4. A value of 1 to 8
        // reads the same signed or not. The first value sits in the entry when all of them fit
        // in its 4 bytes, else at the offset the entry gives.
        uint32_t bytes = 0;
        switch (u16(entry + 2)) {
        case 1:
        case 6: bytes = 1; break;
        case 3:
        case 8: bytes = 2; break;
        case 4:
        case 9: bytes = 4; break;
        default: return 1;
        }
        const uint64_t count = u32(entry + 4);
        uint64_t at = entry + 8;
        if (count == 0) {
            return 1;
        }
        if (count * bytes > 4) {
            at = u32(entry + 8);
            if (!picture_bytes::RangeInside(at, bytes, size)) {
                return 1;
            }
        }
        const uint32_t value = bytes == 1 ? tiff[at] : bytes == 2 ? u16(at) : u32(at);
        return value >= 1 && value <= 8 ? static_cast<int>(value) : 1;
    }
    return 1;
}

int ExifOrientation(j_decompress_ptr cinfo) {
    static const uint8_t kExif[6] = {'E', 'x', 'i', 'f', 0, 0};
    for (jpeg_saved_marker_ptr m = cinfo->marker_list; m; m = m->next) {
        if (m->marker == JPEG_APP0 + 1 && m->data_length >= sizeof kExif &&
            std::memcmp(m->data, kExif, sizeof kExif) == 0) {
            return TiffOrientation(m->data + sizeof kExif, m->data_length - sizeof kExif);
        }
    }
    return 1;
}

// CMYK rows as libjpeg gives them (C, M, Y, K bytes) into B, G, R, 255, in place.
void CmykToBgra(uint8_t* p, size_t pixels, bool inverted) {
    const auto times = [](uint32_t a, uint32_t b) {  // a * b / 255, rounded
        const uint32_t t = a * b + 128;
        return static_cast<uint8_t>((t + (t >> 8)) >> 8);
    };
    for (size_t i = 0; i < pixels; ++i, p += 4) {
        uint32_t c = p[0], m = p[1], y = p[2], k = p[3];
        if (!inverted) {
            c = 255 - c, m = 255 - m, y = 255 - y, k = 255 - k;
        }
        picture_bytes::StoreWord(p,
                                 picture_bytes::OpaqueWord(times(y, k), times(m, k), times(c, k)));
    }
}

// Where the pixels of a stored row go in the upright picture: the first pixel's index and the
// step from one pixel to the next, for each EXIF orientation. width and height are the stored
// picture's; the upright one is height wide for orientations 5 to 8.
struct RowPlacement {
    int64_t first;
    int64_t step;
};

RowPlacement PlaceRow(int orientation, int64_t width, int64_t height, int64_t y) {
    switch (orientation) {
    case 2: return {y * width + width - 1, -1};                       // mirrored
    case 3: return {(height - 1 - y) * width + width - 1, -1};        // turned 180
    case 4: return {(height - 1 - y) * width, 1};                     // flipped
    case 5: return {y, height};                                       // transposed
    case 6: return {height - 1 - y, height};                          // turned 90 right
    case 7: return {(width - 1) * height + height - 1 - y, -height};  // transversed
    case 8: return {(width - 1) * height + y, -height};               // turned 90 left
    default: return {y * width, 1};
    }
}

// The smallest m/8 scale whose output is at least twice the drawn size both ways, or 8/8 for
// a picture not drawn below half its size. The drawn size is the upright picture's; the
// output is the stored one's. May longjmp, as ReadJpeg.
void ChooseScale(j_decompress_ptr cinfo, const DrawTarget& target, bool turned) {
    const int64_t storedW = cinfo->image_width;
    const int64_t storedH = cinfo->image_height;
    int64_t drawnW = 0;
    int64_t drawnH = 0;
    if (!DrawnBelowHalf(target, turned ? storedH : storedW, turned ? storedW : storedH, &drawnW,
                        &drawnH)) {
        return;
    }
    const int64_t wantW = 2 * (turned ? drawnH : drawnW);
    const int64_t wantH = 2 * (turned ? drawnW : drawnH);
    for (unsigned int eighths = 1; eighths < 8; ++eighths) {
        cinfo->scale_num = eighths;
        cinfo->scale_denom = 8;
        jpeg_calc_output_dimensions(cinfo);
        if (cinfo->output_width >= wantW && cinfo->output_height >= wantH) {
            return;
        }
    }
    cinfo->scale_num = cinfo->scale_denom = 1;
}

// A picture beyond the pixel cap is only ever decoded reduced, and only when its data could
// hold it: at least one bit for each block of each component, what a complete Huffman-coded
// picture spends at the least (a baseline block takes a DC and an end-of-block code, a
// progressive one its DC code). The blocks decoded, and the pixels given, are so bounded by
// the data. Arithmetic coding may spend less, so it is not taken beyond the cap.
bool BlocksJustifiedByData(j_decompress_ptr cinfo, size_t size) {
    if (cinfo->arith_code) {
        return false;
    }
    uint64_t blocks = 0;
    for (int c = 0; c < cinfo->num_components; ++c) {
        const jpeg_component_info& component = cinfo->comp_info[c];
        blocks += uint64_t{component.width_in_blocks} * component.height_in_blocks;
    }
    return blocks <= uint64_t{size} * 8;
}

// May longjmp to DecodeJpeg: nothing with a destructor here. Without a target the picture is
// decoded whole.
Refusal ReadJpeg(j_decompress_ptr cinfo, const uint8_t* data, size_t size, const DrawTarget* target,
                 PixelSink& sink, ImageInfo* info) {
    jpeg_mem_src(cinfo, data, static_cast<unsigned long>(size));
    jpeg_save_markers(cinfo, JPEG_APP0 + 1, 0xFFFF);
    if (jpeg_read_header(cinfo, TRUE) != JPEG_HEADER_OK) {
        return Refusal::Malformed;
    }
    const bool cmyk = cinfo->num_components == 4 &&
                      (cinfo->jpeg_color_space == JCS_CMYK || cinfo->jpeg_color_space == JCS_YCCK);
    if (cinfo->num_components != 1 && cinfo->num_components != 3 && !cmyk) {
        return Refusal::Unsupported;
    }
    const int orientation = ExifOrientation(cinfo);
    const bool turned = orientation >= 5;
    cinfo->out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRA;
    if (target) {
        ChooseScale(cinfo, *target, turned);
    }
    jpeg_calc_output_dimensions(cinfo);
    // The stored picture's natural and decoded sizes; the pixel cap applies to what is decoded.
    const int64_t naturalW = cinfo->image_width;
    const int64_t naturalH = cinfo->image_height;
    const int64_t width = cinfo->output_width;
    const int64_t height = cinfo->output_height;
    if (const Refusal decoded = picture_bytes::PictureSizeRefusal(width, height);
        decoded != Refusal::None) {
        return decoded;
    }
    if (const Refusal natural = picture_bytes::PictureSizeRefusal(naturalW, naturalH);
        natural != Refusal::None && !BlocksJustifiedByData(cinfo, size)) {
        return natural;
    }
    jpeg_start_decompress(cinfo);
    if (cinfo->output_width != width || cinfo->output_height != height ||
        cinfo->output_components != 4) {
        return Refusal::Malformed;
    }
    uint8_t* out =
        picture_bytes::AllocatePicture(sink, turned ? height : width, turned ? width : height);
    if (!out) {
        return Refusal::NoMemory;
    }
    const size_t stride = static_cast<size_t>(width) * 4;
    // An upright picture is decoded straight into the sink; any other goes a batch of rows at
    // a time through libjpeg's own memory (freed with it) and is placed pixel by pixel.
    JSAMPARRAY batchRows = orientation == 1 ? nullptr
                                            : (*cinfo->mem->alloc_sarray)(
                                                  reinterpret_cast<j_common_ptr>(cinfo),
                                                  JPOOL_IMAGE, cinfo->output_width * 4, kRowBatch);
    JSAMPROW rows[kRowBatch];
    while (cinfo->output_scanline < cinfo->output_height) {
        const JDIMENSION first = cinfo->output_scanline;
        const JDIMENSION left = cinfo->output_height - first;
        const JDIMENSION batch = left < kRowBatch ? left : kRowBatch;
        for (JDIMENSION i = 0; i < batch; ++i) {
            rows[i] = batchRows ? batchRows[i] : out + size_t{first + i} * stride;
        }
        const JDIMENSION got = jpeg_read_scanlines(cinfo, rows, batch);
        if (got == 0) {
            return Refusal::Truncated;  // a memory source never suspends: the data ran out
        }
        for (JDIMENSION i = 0; i < got; ++i) {
            if (cmyk) {
                CmykToBgra(rows[i], static_cast<size_t>(width), cinfo->saw_Adobe_marker != 0);
            }
            if (batchRows) {
                const RowPlacement at = PlaceRow(orientation, width, height, int64_t{first + i});
                for (int64_t x = 0; x < width; ++x) {
                    std::memcpy(out + 4 * static_cast<size_t>(at.first + x * at.step),
                                rows[i] + 4 * static_cast<size_t>(x), 4);
                }
            }
        }
    }
    // jpeg_finish_decompress is left out on purpose: it would only look for the end marker,
    // and every row is already in the sink.
    picture_bytes::SetInfo(info, turned ? naturalH : naturalW, turned ? naturalW : naturalH, false);
    return Refusal::None;
}

Refusal DecodeJpegFor(const uint8_t* data, size_t size, const DrawTarget* target, PixelSink& sink,
                      ImageInfo* info) {
    if (!data || size < 2) {
        return Refusal::Truncated;
    }
    if (!FitsMemorySource(size)) {
        return Refusal::TooLarge;
    }
    JpegSession session;
    std::memset(&session, 0, sizeof session);
    session.cinfo.err = jpeg_std_error(&session.errors.pub);
    session.errors.pub.error_exit = OnError;
    session.errors.pub.emit_message = OnMessage;
    session.errors.pub.output_message = OnOutputMessage;
    session.progress.progress_monitor = OnProgress;

    if (setjmp(session.errors.jump) != 0) {
        jpeg_destroy_decompress(&session.cinfo);
        return session.errors.refusal;
    }
    jpeg_create_decompress(&session.cinfo);
    session.cinfo.mem->max_memory_to_use = kMaxLibraryMemory;
    session.cinfo.progress = &session.progress;
    const Refusal refusal = ReadJpeg(&session.cinfo, data, size, target, sink, info);
    jpeg_destroy_decompress(&session.cinfo);
    return refusal;
}

}  // namespace

Refusal DecodeJpeg(const uint8_t* data, size_t size, PixelSink& sink, ImageInfo* info) {
    return DecodeJpegFor(data, size, nullptr, sink, info);
}

Refusal DecodeJpegToFit(const uint8_t* data, size_t size, const DrawTarget& target, PixelSink& sink,
                        ImageInfo* info) {
    return DecodeJpegFor(data, size, &target, sink, info);
}
