// JPEG through libjpeg (6b interface, libjpeg-turbo). Rows are decoded straight into the sink
// as B, G, R, 255: libjpeg-turbo's extended colour spaces do the RGB order and, for one
// component, copy each grey sample to red, green and blue. Images with any other component
// count (CMYK, YCCK) are refused.
//
// libjpeg reports errors through a callback that must not return. Ours longjmps back to
// DecodeJpeg, the one function that calls setjmp; everything between the two is libjpeg or the
// plain functions below, so no C++ object with a destructor is ever skipped. DecodeJpeg's own
// state lives in a plain struct, and the decoding steps are in ReadJpeg so that no local that
// changes after setjmp is read after the jump.
//
// Limits for hostile data: the pixel cap before the sink is asked for memory; libjpeg's own
// memory (coefficient buffers of progressive images) limited by max_memory_to_use; at most
// kMaxScans scans, and fewer for large pictures (ScanLimit), checked by a progress monitor, so a
// file of thousands of tiny progressive scans cannot keep the decoder busy. Data that ends early
// (libjpeg's "premature end" warning) is treated as an error: a truncated file gives no picture
// rather than a grey-filled one. Other warnings (stray bytes before a marker and the like) are
// ignored.
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
// libjpeg's working memory, apart from the picture itself (which goes to the sink). Enough for
// the coefficients of a progressive 50-megapixel 4:4:4 photo (about 300 MiB).
constexpr long kMaxLibraryMemory = 384L * 1024 * 1024;
// Rows handed to libjpeg per call; it returns at most its own row group (usually 1 or 2).
constexpr JDIMENSION kRowBatch = 16;

struct JpegErrors {
    jpeg_error_mgr pub;  // first member: libjpeg hands back a pointer to it
    std::jmp_buf jump;
};

struct JpegSession {
    jpeg_decompress_struct cinfo;
    JpegErrors errors;
    jpeg_progress_mgr progress;
};

[[noreturn]] void Abandon(j_common_ptr cinfo) {
    JpegErrors* errors = reinterpret_cast<JpegErrors*>(cinfo->err);
    std::longjmp(errors->jump, 1);
}

void OnError(j_common_ptr cinfo) { Abandon(cinfo); }

void OnMessage(j_common_ptr cinfo, int level) {
    if (level < 0 && cinfo->err->msg_code == JWRN_JPEG_EOF) {
        Abandon(cinfo);
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
            Abandon(cinfo);
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

// May longjmp to DecodeJpeg: nothing with a destructor here.
bool ReadJpeg(j_decompress_ptr cinfo, const uint8_t* data, size_t size, PixelSink& sink,
              ImageInfo* info) {
    jpeg_mem_src(cinfo, data, static_cast<unsigned long>(size));
    if (jpeg_read_header(cinfo, TRUE) != JPEG_HEADER_OK) {
        return false;
    }
    if (cinfo->num_components != 1 && cinfo->num_components != 3) {
        return false;
    }
    const int64_t width = cinfo->image_width;
    const int64_t height = cinfo->image_height;
    uint64_t pixels = 0;
    if (!picture_bytes::PicturePixels(width, height, &pixels)) {
        return false;
    }
    cinfo->out_color_space = JCS_EXT_BGRA;
    jpeg_start_decompress(cinfo);
    if (cinfo->output_width != cinfo->image_width || cinfo->output_height != cinfo->image_height ||
        cinfo->output_components != 4) {
        return false;
    }
    uint8_t* out = picture_bytes::AllocatePicture(sink, width, height);
    if (!out) {
        return false;
    }
    const size_t stride = static_cast<size_t>(width) * 4;
    JSAMPROW rows[kRowBatch];
    while (cinfo->output_scanline < cinfo->output_height) {
        const JDIMENSION first = cinfo->output_scanline;
        const JDIMENSION left = cinfo->output_height - first;
        const JDIMENSION batch = left < kRowBatch ? left : kRowBatch;
        for (JDIMENSION i = 0; i < batch; ++i) {
            rows[i] = out + size_t{first + i} * stride;
        }
        if (jpeg_read_scanlines(cinfo, rows, batch) == 0) {
            return false;  // a memory source never suspends; no progress means no picture
        }
    }
    // jpeg_finish_decompress is left out on purpose: it would only look for the end marker,
    // and every row is already in the sink.
    picture_bytes::SetInfo(info, width, height, false);
    return true;
}

}  // namespace

bool DecodeJpeg(const uint8_t* data, size_t size, PixelSink& sink, ImageInfo* info) {
    if (!data || size < 2 || !FitsMemorySource(size)) {
        return false;
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
        return false;
    }
    jpeg_create_decompress(&session.cinfo);
    session.cinfo.mem->max_memory_to_use = kMaxLibraryMemory;
    session.cinfo.progress = &session.progress;
    const bool ok = ReadJpeg(&session.cinfo, data, size, sink, info);
    jpeg_destroy_decompress(&session.cinfo);
    return ok;
}
