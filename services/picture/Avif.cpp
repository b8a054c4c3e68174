#include "Avif.h"

#include <dav1d/dav1d.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "AvifContainer.h"
#include "PictureBytes.h"

// SSE2 makes eight pixels at a time where the compiler targets it (the Windows program and any
// x86-64 build); elsewhere the same arithmetic runs a pixel at a time. An x86-64 build by GCC or
// Clang also has AVX2 loops of sixteen, taken when the processor has AVX2. The 32-bit program
// meets its speed mark with SSE2 alone, so it keeps the one path its Wine tests cover; Windows
// builds keep to SSE2 too, since GCC does not align AVX spills on their stack.
#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#include <emmintrin.h>
#define ORVESSA_AVIF_SSE2 1
#if defined(__x86_64__) && defined(__GNUC__) && !defined(_WIN32)
#include <immintrin.h>
#define ORVESSA_AVIF_AVX2 1
#define ORVESSA_AVX2_FUNCTION __attribute__((target("avx2")))
#endif
#endif
#if defined(__GNUC__)
#define ORVESSA_AVIF_LOOP __attribute__((always_inline))
#else
#define ORVESSA_AVIF_LOOP
#endif

namespace {

// --- dav1d -----------------------------------------------------------------------------

// dav1d's own picture allocation, but refusing any picture whose planes would take more than
// the largest picture the box holds (the cap's 4 bytes a pixel): a 12-bit 4:4:4 frame takes 6.
// Sizes are worked out in 64 bits, since size_t may be 32.
constexpr uint64_t kMaxPlaneBytes = static_cast<uint64_t>(kMaxPicturePixels) * 4;

int AllocatePlanes(Dav1dPicture* p, void*) {
    const uint64_t alignedW = (static_cast<uint64_t>(p->p.w) + 127) & ~uint64_t{127};
    const uint64_t alignedH = (static_cast<uint64_t>(p->p.h) + 127) & ~uint64_t{127};
    const bool chroma = p->p.layout != DAV1D_PIXEL_LAYOUT_I400;
    const unsigned ssVer = p->p.layout == DAV1D_PIXEL_LAYOUT_I420 ? 1 : 0;
    const unsigned ssHor = p->p.layout != DAV1D_PIXEL_LAYOUT_I444 ? 1 : 0;
    uint64_t yStride = alignedW << (p->p.bpc > 8 ? 1 : 0);
    uint64_t uvStride = chroma ? yStride >> ssHor : 0;
    // Strides of a multiple of 1024 bytes make rows share cache sets, as dav1d notes.
    if (!(yStride & 1023)) yStride += DAV1D_PICTURE_ALIGNMENT;
    if (chroma && !(uvStride & 1023)) uvStride += DAV1D_PICTURE_ALIGNMENT;
    const uint64_t ySize = yStride * alignedH;
    const uint64_t uvSize = uvStride * (alignedH >> ssVer);
    const uint64_t total = ySize + 2 * uvSize;
    if (p->p.w < 1 || p->p.h < 1 || total > kMaxPlaneBytes) return DAV1D_ERR(ENOMEM);
    // Aligned by hand (no aligned allocation is common to every compiler): the block's own
    // address sits just before the planes.
    const size_t blockSize = static_cast<size_t>(total) + 2 * DAV1D_PICTURE_ALIGNMENT;
    uint8_t* block = static_cast<uint8_t*>(std::malloc(blockSize));
    if (!block) return DAV1D_ERR(ENOMEM);
    const uintptr_t start = reinterpret_cast<uintptr_t>(block) + sizeof(void*);
    uint8_t* planes = block + (sizeof(void*) + (DAV1D_PICTURE_ALIGNMENT - 1) -
                               (start + DAV1D_PICTURE_ALIGNMENT - 1) % DAV1D_PICTURE_ALIGNMENT);
    std::memcpy(planes - sizeof(void*), &block, sizeof(void*));
    p->allocator_data = planes;
    p->stride[0] = static_cast<ptrdiff_t>(yStride);
    p->stride[1] = static_cast<ptrdiff_t>(uvStride);
    p->data[0] = planes;
    p->data[1] = chroma ? planes + ySize : nullptr;
    p->data[2] = chroma ? planes + ySize + uvSize : nullptr;
    return 0;
}

void ReleasePlanes(Dav1dPicture* p, void*) {
    void* block = nullptr;
    std::memcpy(&block, static_cast<uint8_t*>(p->allocator_data) - sizeof(void*), sizeof(void*));
    std::free(block);
}

void KeepData(const uint8_t*, void*) {}

// A decoded picture, released with its owner.
struct Frame {
    Dav1dPicture pic{};
    Frame() = default;
    Frame(const Frame&) = delete;
    Frame& operator=(const Frame&) = delete;
    ~Frame() { Release(); }
    void Release() {
        if (pic.ref) dav1d_picture_unref(&pic);
        std::memset(&pic, 0, sizeof(pic));
    }
};

// One dav1d decoder on the calling thread: one thread, one frame in flight, frames no larger
// than the declared size.
class Av1Decoder {
public:
    Av1Decoder() = default;
    Av1Decoder(const Av1Decoder&) = delete;
    Av1Decoder& operator=(const Av1Decoder&) = delete;
    ~Av1Decoder() {
        if (context_) dav1d_close(&context_);
    }

    bool Open(uint64_t pixels) {
        Dav1dSettings settings;
        dav1d_default_settings(&settings);
        settings.n_threads = 1;
        settings.max_frame_delay = 1;
        settings.frame_size_limit = static_cast<unsigned>(pixels);
        settings.all_layers = 0;
        settings.logger.callback = nullptr;
        settings.allocator.cookie = nullptr;
        settings.allocator.alloc_picture_callback = AllocatePlanes;
        settings.allocator.release_picture_callback = ReleasePlanes;
        return dav1d_open(&context_, &settings) == 0;
    }

    // Decodes one item or sample (a temporal unit) into `frame`.
    bool Decode(const uint8_t* bytes, size_t size, Frame* frame) {
        frame->Release();
        Dav1dData data{};
        if (!context_ || dav1d_data_wrap(&data, bytes, size, KeepData, nullptr) != 0) return false;
        // Each round takes data or gives the picture; the bound only guards against a round
        // that does neither.
        for (size_t round = 0; round <= size; ++round) {
            if (data.sz > 0) {
                const int sent = dav1d_send_data(context_, &data);
                if (sent < 0 && sent != DAV1D_ERR(EAGAIN)) break;
            }
            const int got = dav1d_get_picture(context_, &frame->pic);
            if (got == 0) break;
            if (got != DAV1D_ERR(EAGAIN) || data.sz == 0) break;
        }
        if (data.sz > 0) dav1d_data_unref(&data);
        return frame->pic.data[0] != nullptr;
    }

    void Flush() {
        if (context_) dav1d_flush(context_);
    }

private:
    Dav1dContext* context_ = nullptr;
};

// --- colour ----------------------------------------------------------------------------

// Luma and chroma weights (Kr, Kb) of the matrices in ITU-T H.273; the unspecified ones are
// taken as BT.601, as MIAF's default colour says.
struct Weights {
    double kr, kb;
};

Weights PrimariesWeights(uint16_t primaries) {
    // Chromaticities x, y of red, green, blue and white (H.273 table 2), for matrix 12.
    struct Chromaticities {
        uint16_t code;
        double xr, yr, xg, yg, xb, yb, xw, yw;
    };
    static const Chromaticities kTable[] = {
        {1, 0.640, 0.330, 0.300, 0.600, 0.150, 0.060, 0.3127, 0.3290},
        {5, 0.640, 0.330, 0.290, 0.600, 0.150, 0.060, 0.3127, 0.3290},
        {6, 0.630, 0.340, 0.310, 0.595, 0.155, 0.070, 0.3127, 0.3290},
        {9, 0.708, 0.292, 0.170, 0.797, 0.131, 0.046, 0.3127, 0.3290},
        {12, 0.680, 0.320, 0.265, 0.690, 0.150, 0.060, 0.3127, 0.3290},
    };
    for (const Chromaticities& c : kTable) {
        if (c.code != primaries) continue;
        const double zr = 1 - (c.xr + c.yr), zg = 1 - (c.xg + c.yg), zb = 1 - (c.xb + c.yb);
        const double zw = 1 - (c.xw + c.yw);
        const double d = c.yw * (c.xr * (c.yg * zb - c.yb * zg) + c.xg * (c.yb * zr - c.yr * zb) +
                                 c.xb * (c.yr * zg - c.yg * zr));
        const double kr = c.yr *
                          (c.xw * (c.yg * zb - c.yb * zg) + c.yw * (c.xb * zg - c.xg * zb) +
                           zw * (c.xg * c.yb - c.xb * c.yg)) /
                          d;
        const double kb = c.yb *
                          (c.xw * (c.yr * zg - c.yg * zr) + c.yw * (c.xg * zr - c.xr * zg) +
                           zw * (c.xr * c.yg - c.xg * c.yr)) /
                          d;
        return {kr, kb};
    }
    return {0.299, 0.114};
}

Weights MatrixWeights(uint16_t matrix, uint16_t primaries) {
    switch (matrix) {
    case 1: return {0.2126, 0.0722};
    case 4: return {0.30, 0.11};
    case 7: return {0.212, 0.087};
    case 9:
    case 10: return {0.2627, 0.0593};
    case 12: return PrimariesWeights(primaries);
    default: return {0.299, 0.114};
    }
}

constexpr uint16_t kMatrixIdentity = 0;
constexpr uint16_t kMatrixYCgCo = 8;
constexpr int kFraction = 16;  // output values carry 16 fraction bits
constexpr int32_t kHalf = int32_t{1} << (kFraction - 1);

// Output = luma[Y] + cu * U + cv * V per channel, where U and V are sums of four chroma
// samples weighing 16 in all (bilinear upsampling keeps four bits of fraction that way) less
// their offset, and everything is in 8-bit output steps with 16 fraction bits. A limited
// range is stretched without clamping the samples first: a colour the encoder pushed past the
// range's ends is clamped only as RGB, as libavif and browsers do.
// The tables are arrays, not vectors: the animation thread allocates nothing that could throw.
constexpr size_t kMaxSamples = size_t{1} << 12;  // 12-bit samples

struct Conversion {
    std::array<int32_t, kMaxSamples> luma;  // identity: every channel's table
    uint32_t top = 0;                       // the largest sample of the depth
    int32_t chromaOffset16 = 0;
    int32_t ru = 0, rv = 0, gu = 0, gv = 0, bu = 0, bv = 0;  // each fits 16 bits signed
    bool identity = false;
    bool linearLuma = false;  // luma[Y] is Y whole steps and a half (8-bit full range)
};

bool MakeConversion(int depth, bool fullRange, uint16_t matrix, uint16_t primaries, bool monochrome,
                    bool subsampled, Conversion* c) {
    if (depth < 8 || depth > 12) return false;
    const int shift = depth - 8;
    const double maxValue = (1 << depth) - 1;
    const double yOffset = fullRange ? 0 : 16 << shift;
    const double yRange = fullRange ? maxValue : 219 << shift;
    const double uvRange = fullRange ? maxValue : 224 << shift;
    c->top = (uint32_t{1} << depth) - 1;
    for (size_t i = 0; i <= c->top; ++i) {
        const double v = (static_cast<double>(i) - yOffset) / yRange;
        c->luma[i] = static_cast<int32_t>(std::lround(v * 255 * (1 << kFraction))) + kHalf;
    }
    c->chromaOffset16 = 16 << (depth - 1);
    c->linearLuma = depth == 8;
    for (int32_t i = 0; i < 256 && c->linearLuma; ++i) {
        c->linearLuma = c->luma[static_cast<size_t>(i)] == i * (1 << kFraction) + kHalf;
    }
    c->identity = !monochrome && matrix == kMatrixIdentity;
    if (monochrome || c->identity) return !c->identity || !subsampled;
    const double unit = 255.0 * (1 << kFraction) / (16 * uvRange);
    auto fixed = [unit](double k) { return static_cast<int32_t>(std::lround(k * unit)); };
    if (matrix == kMatrixYCgCo) {
        // U is Cg, V is Co: G = Y + Cg, R = Y - Cg + Co, B = Y - Cg - Co.
        c->ru = fixed(-1), c->rv = fixed(1), c->gu = fixed(1), c->gv = 0;
        c->bu = fixed(-1), c->bv = fixed(-1);
        return true;
    }
    const Weights w = MatrixWeights(matrix, primaries);
    const double kg = 1 - w.kr - w.kb;
    c->ru = 0, c->rv = fixed(2 * (1 - w.kr));
    c->gu = fixed(-2 * w.kb * (1 - w.kb) / kg), c->gv = fixed(-2 * w.kr * (1 - w.kr) / kg);
    c->bu = fixed(2 * (1 - w.kb)), c->bv = 0;
    // The vector loops multiply in 16 bits. Every matrix gives at most about 2 * 4663 (twice a
    // chroma step of limited 8-bit); one beyond 16 bits would be refused, never wrapped.
    for (const int32_t k : {c->ru, c->rv, c->gu, c->gv, c->bu, c->bv}) {
        if (k < INT16_MIN || k > INT16_MAX) return false;
    }
    return true;
}

struct AlphaTable {
    std::array<uint8_t, kMaxSamples> values;
    uint32_t top = 0;
};

inline uint8_t Clamp8(int32_t v) {
    return static_cast<uint8_t>(std::min(std::max(v, 0), (256 << kFraction) - 1) >> kFraction);
}

// Rows are converted in chunks of this many pixels, their chroma upsampled first into arrays
// on the stack, so the loop that makes the pixels has no branches.
constexpr int32_t kChunk = 1024;

inline int32_t Luma(const Conversion& c, uint32_t sample) {
    return c.luma[sample < c.top ? sample : c.top];
}

// The vector loops below are written once over the lanes of a width: `L::kWidth` 16-bit lanes,
// or half as many 32-bit ones. Unpacking and packing work within each 128-bit half, so a
// 256-bit vector holds pixels 0-3 and 8-11 where a 128-bit one holds 0-3, until StoreInOrder
// puts the halves in order. The vectors are wrapped in a struct, so that loops with no target
// of their own may name AVX2 ones.
#ifdef ORVESSA_AVIF_SSE2
struct Sse2Lanes {
    struct V {
        __m128i v;
    };
    static constexpr int32_t kWidth = 8;
    // kWidth samples as 16-bit lanes.
    static V Widen(const uint8_t* p) {
        return {_mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)),
                                  _mm_setzero_si128())};
    }
    static V Widen(const uint16_t* p) { return Load(reinterpret_cast<const int16_t*>(p)); }
    static V Load(const int16_t* p) {
        return {_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))};
    }
    static void Store(int16_t* p, const V& a) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p), a.v);
    }
    // `lo` and `hi` as made by unpacking: the lanes of lo, then those of hi.
    static void StoreInOrder(void* p, const V& lo, const V& hi) {
        _mm_storeu_si128(static_cast<__m128i*>(p), lo.v);
        _mm_storeu_si128(static_cast<__m128i*>(p) + 1, hi.v);
    }
    static V Set16(int32_t x) { return {_mm_set1_epi16(static_cast<int16_t>(x))}; }
    static V Set32(int32_t x) { return {_mm_set1_epi32(x)}; }
    static V Add16(const V& a, const V& b) { return {_mm_add_epi16(a.v, b.v)}; }
    static V Sub16(const V& a, const V& b) { return {_mm_sub_epi16(a.v, b.v)}; }
    static V Times3(const V& a) { return Add16(a, Add16(a, a)); }
    static V Times4(const V& a) { return {_mm_slli_epi16(a.v, 2)}; }
    static V UnpackLo8(const V& a, const V& b) { return {_mm_unpacklo_epi8(a.v, b.v)}; }
    static V UnpackHi8(const V& a, const V& b) { return {_mm_unpackhi_epi8(a.v, b.v)}; }
    static V UnpackLo16(const V& a, const V& b) { return {_mm_unpacklo_epi16(a.v, b.v)}; }
    static V UnpackHi16(const V& a, const V& b) { return {_mm_unpackhi_epi16(a.v, b.v)}; }
    static V PackBytes(const V& a, const V& b) { return {_mm_packus_epi16(a.v, b.v)}; }
    // Luma plus the 16-bit multiply-add of chroma and `weights`, back to 16 bits.
    static V Channel(const V& lumaLo, const V& lumaHi, const V& uvLo, const V& uvHi, const V& w) {
        const __m128i lo = _mm_add_epi32(lumaLo.v, _mm_madd_epi16(uvLo.v, w.v));
        const __m128i hi = _mm_add_epi32(lumaHi.v, _mm_madd_epi16(uvHi.v, w.v));
        return {_mm_packs_epi32(_mm_srai_epi32(lo, kFraction), _mm_srai_epi32(hi, kFraction))};
    }
    // Looked-up luma of kWidth samples, in the 32-bit lanes that unpacking them would give.
    template <typename T>
    static void LookUpLuma(const Conversion& c, const T* s, V* lo, V* hi) {
        lo->v = _mm_setr_epi32(Luma(c, s[0]), Luma(c, s[1]), Luma(c, s[2]), Luma(c, s[3]));
        hi->v = _mm_setr_epi32(Luma(c, s[4]), Luma(c, s[5]), Luma(c, s[6]), Luma(c, s[7]));
    }
};
#endif

#ifdef ORVESSA_AVIF_AVX2
bool HasAvx2() {
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}

struct Avx2Lanes {
    struct V {
        __m256i v;
    };
    static constexpr int32_t kWidth = 16;
    ORVESSA_AVX2_FUNCTION static V Widen(const uint8_t* p) {
        return {_mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)))};
    }
    ORVESSA_AVX2_FUNCTION static V Widen(const uint16_t* p) {
        return Load(reinterpret_cast<const int16_t*>(p));
    }
    ORVESSA_AVX2_FUNCTION static V Load(const int16_t* p) {
        return {_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p))};
    }
    ORVESSA_AVX2_FUNCTION static void Store(int16_t* p, const V& a) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), a.v);
    }
    ORVESSA_AVX2_FUNCTION static void StoreInOrder(void* p, const V& lo, const V& hi) {
        _mm256_storeu_si256(static_cast<__m256i*>(p), _mm256_permute2x128_si256(lo.v, hi.v, 0x20));
        _mm256_storeu_si256(static_cast<__m256i*>(p) + 1,
                            _mm256_permute2x128_si256(lo.v, hi.v, 0x31));
    }
    ORVESSA_AVX2_FUNCTION static V Set16(int32_t x) {
        return {_mm256_set1_epi16(static_cast<int16_t>(x))};
    }
    ORVESSA_AVX2_FUNCTION static V Set32(int32_t x) { return {_mm256_set1_epi32(x)}; }
    ORVESSA_AVX2_FUNCTION static V Add16(const V& a, const V& b) {
        return {_mm256_add_epi16(a.v, b.v)};
    }
    ORVESSA_AVX2_FUNCTION static V Sub16(const V& a, const V& b) {
        return {_mm256_sub_epi16(a.v, b.v)};
    }
    ORVESSA_AVX2_FUNCTION static V Times3(const V& a) { return Add16(a, Add16(a, a)); }
    ORVESSA_AVX2_FUNCTION static V Times4(const V& a) { return {_mm256_slli_epi16(a.v, 2)}; }
    ORVESSA_AVX2_FUNCTION static V UnpackLo8(const V& a, const V& b) {
        return {_mm256_unpacklo_epi8(a.v, b.v)};
    }
    ORVESSA_AVX2_FUNCTION static V UnpackHi8(const V& a, const V& b) {
        return {_mm256_unpackhi_epi8(a.v, b.v)};
    }
    ORVESSA_AVX2_FUNCTION static V UnpackLo16(const V& a, const V& b) {
        return {_mm256_unpacklo_epi16(a.v, b.v)};
    }
    ORVESSA_AVX2_FUNCTION static V UnpackHi16(const V& a, const V& b) {
        return {_mm256_unpackhi_epi16(a.v, b.v)};
    }
    ORVESSA_AVX2_FUNCTION static V PackBytes(const V& a, const V& b) {
        return {_mm256_packus_epi16(a.v, b.v)};
    }
    ORVESSA_AVX2_FUNCTION static V Channel(const V& lumaLo, const V& lumaHi, const V& uvLo,
                                           const V& uvHi, const V& w) {
        const __m256i lo = _mm256_add_epi32(lumaLo.v, _mm256_madd_epi16(uvLo.v, w.v));
        const __m256i hi = _mm256_add_epi32(lumaHi.v, _mm256_madd_epi16(uvHi.v, w.v));
        return {
            _mm256_packs_epi32(_mm256_srai_epi32(lo, kFraction), _mm256_srai_epi32(hi, kFraction))};
    }
    template <typename T>
    ORVESSA_AVX2_FUNCTION static void LookUpLuma(const Conversion& c, const T* s, V* lo, V* hi) {
        lo->v = _mm256_setr_epi32(Luma(c, s[0]), Luma(c, s[1]), Luma(c, s[2]), Luma(c, s[3]),
                                  Luma(c, s[8]), Luma(c, s[9]), Luma(c, s[10]), Luma(c, s[11]));
        hi->v = _mm256_setr_epi32(Luma(c, s[4]), Luma(c, s[5]), Luma(c, s[6]), Luma(c, s[7]),
                                  Luma(c, s[12]), Luma(c, s[13]), Luma(c, s[14]), Luma(c, s[15]));
    }
};

// The loop over AVX2 lanes, inlined here: GCC gives each function the vector ABI of its own
// target, so AVX2 vectors may only be passed about within code of that target. The loop comes
// by value, so that what it captured is this function's own and stays in registers while the
// loop stores pixels (bytes, which may alias anything behind a pointer).
template <typename Loop>
ORVESSA_AVX2_FUNCTION int32_t WithAvx2(Loop loop, int32_t i) {
    return loop(Avx2Lanes{}, i);
}
#endif

// Runs `loop(lanes, i)`, which goes on from i while whole vectors fit and returns where it
// stopped: sixteen lanes at a time where the processor has AVX2, then eight with SSE2. Without
// SIMD, i is returned as it is and the scalar loop after does everything. Each loop is a
// lambda marked ORVESSA_AVIF_LOOP, always inlined, that captures by value (see WithAvx2).
template <typename Loop>
int32_t InLanes(int32_t i, [[maybe_unused]] Loop loop) {
#ifdef ORVESSA_AVIF_AVX2
    if (HasAvx2()) i = WithAvx2(loop, i);
#endif
#ifdef ORVESSA_AVIF_SSE2
    i = loop(Sse2Lanes{}, i);
#endif
    return i;
}

// Chroma as sums weighing 16, less `offset16`, for pixels of a row. Subsampled chroma is
// upsampled bilinearly, as libavif does: the nearest sample weighs 9/16, its neighbours across
// and along 3/16 each, the diagonal one 1/16 (edges repeat). The two rows are blended first
// (3 : 1), each column once, then the columns (3 : 1). Every result fits 16 bits signed
// (16 * 4095 less the offset 32768 at 12 bits); sums on the way may wrap in 16-bit lanes, which
// the last subtraction undoes.

// Chroma not subsampled across: n pixels from the rows' own columns, 4 * (3 * near + far).
template <typename T>
void FullChroma(const T* nearRow, const T* farRow, int32_t n, int32_t offset16, int16_t* out) {
    int32_t i = InLanes(0, [=](auto lanes, int32_t at) ORVESSA_AVIF_LOOP {
        using L = decltype(lanes);
        const typename L::V offset = L::Set16(offset16);
        for (; at + L::kWidth <= n; at += L::kWidth) {
            const typename L::V sum =
                L::Add16(L::Times3(L::Widen(nearRow + at)), L::Widen(farRow + at));
            L::Store(out + at, L::Sub16(L::Times4(sum), offset));
        }
        return at;
    });
    for (; i < n; ++i) out[i] = static_cast<int16_t>(12 * nearRow[i] + 4 * farRow[i] - offset16);
}

// The rows blended for columns c0 - 1 .. c1 + 1 into columns[0 ..]. Only columns inside the
// row are read: the edges repeat by index, and the vectors stop short of the row's end.
template <typename T>
void BlendRows(const T* nearRow, const T* farRow, int32_t chromaW, int32_t c0, int32_t c1,
               int16_t* columns) {
    int32_t c = c0 - 1;
    for (; c < 0; ++c) columns[c - c0 + 1] = static_cast<int16_t>(3 * nearRow[0] + farRow[0]);
    const int32_t inside = std::min(c1 + 2, chromaW);
    c = InLanes(c, [=](auto lanes, int32_t at) ORVESSA_AVIF_LOOP {
        using L = decltype(lanes);
        for (; at + L::kWidth <= inside; at += L::kWidth) {
            L::Store(columns + (at - c0 + 1),
                     L::Add16(L::Times3(L::Widen(nearRow + at)), L::Widen(farRow + at)));
        }
        return at;
    });
    for (; c <= c1 + 1; ++c) {
        const int32_t k = std::min(c, chromaW - 1);
        columns[c - c0 + 1] = static_cast<int16_t>(3 * nearRow[k] + farRow[k]);
    }
}

// Pixels x0 .. x0 + n - 1 from the blended columns of BlendRows: an even pixel takes its
// column's left neighbour, an odd one the right, pairs at a time: 3 * centre + the neighbour
// on the pixel's side, less the offset.
inline void BlendColumns(const int16_t* columns, int32_t x0, int32_t n, int32_t offset16,
                         int16_t* out) {
    const int16_t* m = columns + 1;
    int32_t i = 0;
    if (x0 & 1) {
        out[i++] = static_cast<int16_t>(3 * m[0] + m[1] - offset16);
        ++m;
    }
    const int32_t first = i;
    i = InLanes(i, [=](auto lanes, int32_t at) ORVESSA_AVIF_LOOP {
        using L = decltype(lanes);
        const typename L::V offset = L::Set16(offset16);
        const int16_t* centres = m + (at - first) / 2;
        for (; at + 2 * L::kWidth <= n; at += 2 * L::kWidth, centres += L::kWidth) {
            const typename L::V centre = L::Sub16(L::Times3(L::Load(centres)), offset);
            const typename L::V even = L::Add16(centre, L::Load(centres - 1));
            const typename L::V odd = L::Add16(centre, L::Load(centres + 1));
            L::StoreInOrder(out + at, L::UnpackLo16(even, odd), L::UnpackHi16(even, odd));
        }
        return at;
    });
    m += (i - first) / 2;
    for (; i + 1 < n; i += 2, ++m) {
        const int32_t centre = 3 * m[0] - offset16;
        out[i] = static_cast<int16_t>(centre + m[-1]);
        out[i + 1] = static_cast<int16_t>(centre + m[1]);
    }
    if (i < n) out[i] = static_cast<int16_t>(3 * m[0] + m[-1] - offset16);
}

// A channel's pair of chroma weights as one lane for a 16-bit multiply-add over U and V
// interleaved.
inline int32_t WeightPair(int32_t cu, int32_t cv) {
    return static_cast<int32_t>((static_cast<uint32_t>(cv) << 16) |
                                (static_cast<uint32_t>(cu) & 0xFFFF));
}

// B, G, R and alpha 255 for pixels [0, n) of a chunk, less a remainder; returns how far it
// went. With `kLinearLuma` (8-bit full range), luma[Y] is Y whole steps and a half, made from
// Y in the lanes rather than looked up. The products and sums are exact in 32 bits, so they
// are the scalar arithmetic to the bit; the packing clamps.
template <typename T, bool kLinearLuma>
int32_t ConvertPixels(const T* ys, const int16_t* us, const int16_t* vs, int32_t n,
                      const Conversion& c, uint8_t* px) {
    return InLanes(0, [=, &c](auto lanes, int32_t i) ORVESSA_AVIF_LOOP {
        using L = decltype(lanes);
        using V = typename L::V;
        const V wr = L::Set32(WeightPair(c.ru, c.rv));
        const V wg = L::Set32(WeightPair(c.gu, c.gv));
        const V wb = L::Set32(WeightPair(c.bu, c.bv));
        const V half = L::Set16(kHalf), opaque = L::Set16(255);
        for (; i + L::kWidth <= n; i += L::kWidth) {
            V lumaLo, lumaHi;
            if (kLinearLuma) {
                const V y = L::Widen(ys + i);
                lumaLo = L::UnpackLo16(half, y);
                lumaHi = L::UnpackHi16(half, y);
            } else {
                L::LookUpLuma(c, ys + i, &lumaLo, &lumaHi);
            }
            const V u = L::Load(us + i), v = L::Load(vs + i);
            const V uvLo = L::UnpackLo16(u, v), uvHi = L::UnpackHi16(u, v);
            const V r = L::Channel(lumaLo, lumaHi, uvLo, uvHi, wr);
            const V g = L::Channel(lumaLo, lumaHi, uvLo, uvHi, wg);
            const V b = L::Channel(lumaLo, lumaHi, uvLo, uvHi, wb);
            // B0..B7 R0..R7 and G0..G7 then 255s (in each 128-bit half), interleaved.
            const V br = L::PackBytes(b, r), ga = L::PackBytes(g, opaque);
            const V bgPairs = L::UnpackLo8(br, ga), raPairs = L::UnpackHi8(br, ga);
            L::StoreInOrder(px + 4 * i, L::UnpackLo16(bgPairs, raPairs),
                            L::UnpackHi16(bgPairs, raPairs));
        }
        return i;
    });
}

// A row of the picture, columns [x0, x0 + count), as B, G, R with alpha 255.
template <typename T>
void ConvertRow(const Dav1dPicture& pic, const Conversion& c, int32_t row, int32_t x0,
                int32_t count, uint8_t* out) {
    const T* y =
        reinterpret_cast<const T*>(static_cast<const uint8_t*>(pic.data[0]) + pic.stride[0] * row);
    const int32_t* luma = c.luma.data();
    const uint32_t top = c.top;
    auto L = [luma, top](uint32_t v) { return luma[v < top ? v : top]; };
    if (pic.p.layout == DAV1D_PIXEL_LAYOUT_I400) {
        for (int32_t i = 0; i < count; ++i) {
            const uint8_t v = Clamp8(L(y[x0 + i]));
            picture_bytes::StoreWord(out + 4 * i, picture_bytes::OpaqueWord(v, v, v));
        }
        return;
    }
    const int ssx = pic.p.layout != DAV1D_PIXEL_LAYOUT_I444 ? 1 : 0;
    const int ssy = pic.p.layout == DAV1D_PIXEL_LAYOUT_I420 ? 1 : 0;
    const int32_t chromaW = (pic.p.w + ssx) >> ssx;
    const int32_t chromaH = (pic.p.h + ssy) >> ssy;
    const int32_t near = row >> ssy;
    int32_t far = near;
    if (ssy) far = (row & 1) ? (near + 1 < chromaH ? near + 1 : near) : (near > 0 ? near - 1 : 0);
    const uint8_t* u0 = static_cast<const uint8_t*>(pic.data[1]);
    const uint8_t* v0 = static_cast<const uint8_t*>(pic.data[2]);
    const T* un = reinterpret_cast<const T*>(u0 + pic.stride[1] * near);
    const T* vn = reinterpret_cast<const T*>(v0 + pic.stride[1] * near);
    if (c.identity) {
        // G, B, R coded as Y, U, V, each with the luma's range; never subsampled.
        for (int32_t i = 0; i < count; ++i) {
            const int32_t x = x0 + i;
            picture_bytes::StoreWord(
                out + 4 * i,
                picture_bytes::OpaqueWord(Clamp8(L(un[x])), Clamp8(L(y[x])), Clamp8(L(vn[x]))));
        }
        return;
    }
    const T* uf = reinterpret_cast<const T*>(u0 + pic.stride[1] * far);
    const T* vf = reinterpret_cast<const T*>(v0 + pic.stride[1] * far);
    int16_t us[kChunk], vs[kChunk];
    for (int32_t done = 0; done < count; done += kChunk) {
        const int32_t n = std::min(kChunk, count - done);
        const int32_t x = x0 + done;
        if (ssx) {
            // Both planes' columns before either's pixels: a load straddling two stores just
            // made waits for them to be written.
            int16_t uColumns[kChunk / 2 + 3], vColumns[kChunk / 2 + 3];
            BlendRows(un, uf, chromaW, x >> 1, (x + n - 1) >> 1, uColumns);
            BlendRows(vn, vf, chromaW, x >> 1, (x + n - 1) >> 1, vColumns);
            BlendColumns(uColumns, x, n, c.chromaOffset16, us);
            BlendColumns(vColumns, x, n, c.chromaOffset16, vs);
        } else {
            FullChroma(un + x, uf + x, n, c.chromaOffset16, us);
            FullChroma(vn + x, vf + x, n, c.chromaOffset16, vs);
        }
        const T* ys = y + x0 + done;
        uint8_t* px = out + 4 * done;
        constexpr bool kBytes = sizeof(T) == 1;
        int32_t i = kBytes && c.linearLuma ? ConvertPixels<T, kBytes>(ys, us, vs, n, c, px)
                                           : ConvertPixels<T, false>(ys, us, vs, n, c, px);
        for (; i < n; ++i) {
            const int32_t yv = L(ys[i]);
            const int32_t u = us[i], v = vs[i];
            const uint8_t r = Clamp8(yv + c.ru * u + c.rv * v);
            const uint8_t g = Clamp8(yv + c.gu * u + c.gv * v);
            const uint8_t b = Clamp8(yv + c.bu * u + c.bv * v);
            picture_bytes::StoreWord(px + 4 * i, picture_bytes::OpaqueWord(b, g, r));
        }
    }
}

// The alpha plane's luma into the fourth bytes; a limited-range plane is stretched to full.
// Returns whether any pixel of the row is translucent.
template <typename T>
bool AlphaRow(const Dav1dPicture& pic, const AlphaTable& table, int32_t row, int32_t x0,
              int32_t count, bool premultiplied, uint8_t* out) {
    const T* a =
        reinterpret_cast<const T*>(static_cast<const uint8_t*>(pic.data[0]) + pic.stride[0] * row);
    const uint32_t top = table.top;
    bool translucent = false;
    for (int32_t i = 0; i < count; ++i) {
        const uint32_t sample = a[x0 + i];
        const uint8_t alpha = table.values[sample < top ? sample : top];
        uint8_t* px = out + 4 * i;
        px[3] = alpha;
        if (alpha == 255) continue;
        translucent = true;
        if (premultiplied) {
            for (int k = 0; k < 3; ++k) {
                const uint32_t straight = alpha ? (px[k] * 255u + alpha / 2u) / alpha : 0;
                px[k] = static_cast<uint8_t>(straight < 255 ? straight : 255);
            }
        }
    }
    return translucent;
}

void MakeAlphaTable(const Dav1dPicture& pic, AlphaTable* table) {
    const int depth = pic.p.bpc;
    const double maxValue = (1 << depth) - 1;
    const bool full = pic.seq_hdr && pic.seq_hdr->color_range;
    const double offset = full ? 0 : 16 << (depth - 8);
    const double range = full ? maxValue : 219 << (depth - 8);
    table->top = (uint32_t{1} << depth) - 1;
    for (size_t i = 0; i <= table->top; ++i) {
        double v = (static_cast<double>(i) - offset) / range;
        v = v < 0 ? 0 : v > 1 ? 1 : v;
        table->values[i] = static_cast<uint8_t>(std::lround(v * 255));
    }
}

// Where the decoded picture goes: the part kept (the clean aperture), then a linear map of
// its pixel (x, y) to the output (quarter turns and mirroring), in pixels.
struct Placement {
    int32_t cropX = 0, cropY = 0, cropW = 0, cropH = 0;
    int32_t outW = 0, outH = 0;
    int64_t base = 0, stepX = 1, stepY = 0;
};

// The clean aperture as whole pixels inside the picture, as browsers take it: its size whole
// numbers, its centre offset such that the left and top edges fall on whole pixels (on even
// ones where chroma is subsampled that way). False: the aperture is ignored.
bool CleanApertureRect(const avif::CleanAperture& clap, int32_t w, int32_t h, int layout,
                       Placement* p) {
    const auto signedD = [](uint32_t d) { return static_cast<int64_t>(static_cast<int32_t>(d)); };
    const int64_t wd = signedD(clap.widthD), hd = signedD(clap.heightD);
    const int64_t xd = signedD(clap.horizOffD), yd = signedD(clap.vertOffD);
    const int64_t wn = static_cast<int32_t>(clap.widthN), hn = static_cast<int32_t>(clap.heightN);
    if (wd <= 0 || hd <= 0 || xd <= 0 || yd <= 0 || wn <= 0 || hn <= 0 || wn % wd || hn % hd) {
        return false;
    }
    const int64_t cw = wn / wd, ch = hn / hd;
    if (cw > w || ch > h) return false;
    // left = offset + (w - cw) / 2, as one fraction over 2 * d
    const int64_t xn = 2 * int64_t{clap.horizOffN} + (w - cw) * xd;
    const int64_t yn = 2 * int64_t{clap.vertOffN} + (h - ch) * yd;
    if (xn % (2 * xd) || yn % (2 * yd)) return false;
    const int64_t x = xn / (2 * xd), y = yn / (2 * yd);
    if (x < 0 || y < 0 || x > w - cw || y > h - ch) return false;
    if ((layout == DAV1D_PIXEL_LAYOUT_I420 || layout == DAV1D_PIXEL_LAYOUT_I422) && (x & 1)) {
        return false;
    }
    if (layout == DAV1D_PIXEL_LAYOUT_I420 && (y & 1)) return false;
    p->cropX = static_cast<int32_t>(x);
    p->cropY = static_cast<int32_t>(y);
    p->cropW = static_cast<int32_t>(cw);
    p->cropH = static_cast<int32_t>(ch);
    return true;
}

Placement Place(const avif::Transforms& t, int32_t w, int32_t h, int layout) {
    Placement p;
    p.cropW = w;
    p.cropH = h;
    if (t.clap.present && !CleanApertureRect(t.clap, w, h, layout, &p)) {
        p.cropX = p.cropY = 0;
        p.cropW = w;
        p.cropH = h;
    }
    const int64_t cw = p.cropW, ch = p.cropH;
    // (x, y) -> (X, Y) = (ax * x + bx * y + cx, ay * x + by * y + cy)
    int64_t ax = 1, bx = 0, cx = 0, ay = 0, by = 1, cy = 0;
    switch (t.quarterTurns) {
    case 1: ax = 0, bx = 1, cx = 0, ay = -1, by = 0, cy = cw - 1; break;        // anticlockwise
    case 2: ax = -1, bx = 0, cx = cw - 1, ay = 0, by = -1, cy = ch - 1; break;  // half turn
    case 3: ax = 0, bx = -1, cx = ch - 1, ay = 1, by = 0, cy = 0; break;        // clockwise
    default: break;
    }
    const bool across = (t.quarterTurns & 1) != 0;
    p.outW = static_cast<int32_t>(across ? ch : cw);
    p.outH = static_cast<int32_t>(across ? cw : ch);
    if (t.mirrorAxis == 0) ay = -ay, by = -by, cy = p.outH - 1 - cy;  // top and bottom
    if (t.mirrorAxis == 1) ax = -ax, bx = -bx, cx = p.outW - 1 - cx;  // left and right
    p.stepX = ay * p.outW + ax;
    p.stepY = by * p.outW + bx;
    p.base = cy * p.outW + cx;
    return p;
}

// Converts the decoded picture (and its alpha) through the placement into `out`
// (place.outW x place.outH pixels). Returns false when the pictures cannot be converted.
bool Render(const Dav1dPicture& color, const Dav1dPicture* alpha, const avif::Nclx& nclx,
            bool premultiplied, const Placement& place, uint8_t* out, bool* translucent) {
    const Dav1dSequenceHeader* seq = color.seq_hdr;
    const uint16_t matrix = nclx.present ? nclx.matrix : seq ? static_cast<uint16_t>(seq->mtrx) : 2;
    const uint16_t primaries = nclx.present ? nclx.primaries
                               : seq        ? static_cast<uint16_t>(seq->pri)
                                            : 2;
    const bool fullRange = seq ? seq->color_range != 0 : nclx.fullRange;
    Conversion c;
    if (!MakeConversion(color.p.bpc, fullRange, matrix, primaries,
                        color.p.layout == DAV1D_PIXEL_LAYOUT_I400,
                        color.p.layout != DAV1D_PIXEL_LAYOUT_I444, &c)) {
        return false;
    }
    AlphaTable alphaTable;
    if (alpha) {
        if (alpha->p.w != color.p.w || alpha->p.h != color.p.h || alpha->p.bpc < 8 ||
            alpha->p.bpc > 12) {
            return false;
        }
        MakeAlphaTable(*alpha, &alphaTable);
    }
    // A turned, mirrored or cropped picture goes through one row (only stills are, on the GUI
    // thread); an animation's frames are converted in place.
    const bool direct = place.base == 0 && place.stepX == 1 && place.stepY == place.cropW;
    std::unique_ptr<uint8_t[]> rowBuffer(
        direct ? nullptr : new (std::nothrow) uint8_t[static_cast<size_t>(place.cropW) * 4]);
    if (!direct && !rowBuffer) return false;
    const bool wide = color.p.bpc > 8;
    *translucent = false;
    for (int32_t y = 0; y < place.cropH; ++y) {
        uint8_t* row = direct ? out + static_cast<size_t>(y) * static_cast<size_t>(place.cropW) * 4
                              : rowBuffer.get();
        const int32_t sourceRow = place.cropY + y;
        if (wide) {
            ConvertRow<uint16_t>(color, c, sourceRow, place.cropX, place.cropW, row);
        } else {
            ConvertRow<uint8_t>(color, c, sourceRow, place.cropX, place.cropW, row);
        }
        if (alpha) {
            *translucent |= alpha->p.bpc > 8
                                ? AlphaRow<uint16_t>(*alpha, alphaTable, sourceRow, place.cropX,
                                                     place.cropW, premultiplied, row)
                                : AlphaRow<uint8_t>(*alpha, alphaTable, sourceRow, place.cropX,
                                                    place.cropW, premultiplied, row);
        }
        if (direct) continue;
        const int64_t first = place.base + place.stepY * y;
        for (int32_t x = 0; x < place.cropW; ++x) {
            std::memcpy(out + 4 * (first + place.stepX * x), row + 4 * x, 4);
        }
    }
    return true;
}

bool SameSize(const Dav1dPicture& pic, uint32_t width, uint32_t height) {
    return pic.p.w > 0 && pic.p.h > 0 && static_cast<uint32_t>(pic.p.w) == width &&
           static_cast<uint32_t>(pic.p.h) == height;
}

int Layout(avif::Chroma chroma) {
    switch (chroma) {
    case avif::Chroma::Monochrome: return DAV1D_PIXEL_LAYOUT_I400;
    case avif::Chroma::Subsampled420: return DAV1D_PIXEL_LAYOUT_I420;
    case avif::Chroma::Subsampled422: return DAV1D_PIXEL_LAYOUT_I422;
    case avif::Chroma::Full444: break;
    }
    return DAV1D_PIXEL_LAYOUT_I444;
}

// The picture is placed and its pixels asked for from what the boxes declare, before dav1d is
// opened; the decoded frame must then be what they declared.
Refusal DecodeStill(const avif::Still& still, PixelSink& sink, ImageInfo* info) {
    uint64_t pixels = 0;
    if (still.width == 0 || still.height == 0) return Refusal::Malformed;
    if (!picture_bytes::PicturePixels(still.width, still.height, &pixels)) {
        return Refusal::TooLarge;
    }
    const int layout = Layout(still.chroma);
    const Placement place = Place(still.transforms, static_cast<int32_t>(still.width),
                                  static_cast<int32_t>(still.height), layout);
    uint8_t* out = picture_bytes::AllocatePicture(sink, place.outW, place.outH);
    Av1Decoder colorDecoder, alphaDecoder;
    const bool hasAlpha = still.alpha.size > 0;
    if (!out || !colorDecoder.Open(pixels) || (hasAlpha && !alphaDecoder.Open(pixels))) {
        return Refusal::NoMemory;
    }
    Frame color, alpha;
    if (!colorDecoder.Decode(still.color.data, still.color.size, &color) ||
        !SameSize(color.pic, still.width, still.height) || color.pic.p.layout != layout ||
        (hasAlpha && (!alphaDecoder.Decode(still.alpha.data, still.alpha.size, &alpha) ||
                      !SameSize(alpha.pic, still.width, still.height)))) {
        return Refusal::Malformed;
    }
    bool translucent = false;
    if (!Render(color.pic, hasAlpha ? &alpha.pic : nullptr, still.nclx, still.premultiplied, place,
                out, &translucent)) {
        return Refusal::Unsupported;
    }
    picture_bytes::SetInfo(info, place.outW, place.outH, translucent);
    return Refusal::None;
}

}  // namespace

// --- image sequences -------------------------------------------------------------------

struct AvifAnimation::State {
    avif::Sequence sequence;
    const uint8_t* data = nullptr;
    Av1Decoder color;
    Av1Decoder alpha;
    Frame colorFrame;
    Frame alphaFrame;
    Placement place;
    std::unique_ptr<uint8_t[]> canvas;  // the last frame unblended; only with alpha
    bool canvasHeld = false;
    size_t next = 0;
    uint32_t background = 0;

    size_t Pixels() const {
        return static_cast<size_t>(place.outW) * static_cast<size_t>(place.outH);
    }
    // The frame just rendered (into the canvas, or the screen itself) onto the screen.
    void Show(uint8_t* screen) const {
        BlendOntoBackground(canvas ? canvas.get() : screen, screen, Pixels(),
                            static_cast<uint8_t>(background), static_cast<uint8_t>(background >> 8),
                            static_cast<uint8_t>(background >> 16));
    }
};

AvifAnimation::AvifAnimation() = default;
AvifAnimation::~AvifAnimation() = default;

Refusal AvifAnimation::Open(const uint8_t* data, size_t size) {
    state_.reset();
    width_ = height_ = 0;
    frames_ = passes_ = 0;
    auto state = std::make_unique<State>();
    const Refusal read = avif::ReadSequence(data, size, &state->sequence);
    if (read != Refusal::None) return read;
    const avif::Track& color = state->sequence.color;
    uint64_t pixels = 0;
    if (color.width == 0 || color.height == 0) return Refusal::Malformed;
    if (!picture_bytes::PicturePixels(color.width, color.height, &pixels)) {
        return Refusal::TooLarge;
    }
    const bool hasAlpha = !state->sequence.alpha.samples.empty();
    if (hasAlpha) state->canvas.reset(new (std::nothrow) uint8_t[static_cast<size_t>(pixels) * 4]);
    if (!state->color.Open(pixels) ||
        (hasAlpha && (!state->canvas || !state->alpha.Open(pixels)))) {
        return Refusal::NoMemory;
    }
    state->data = data;
    state->place = Place(avif::Transforms{}, static_cast<int32_t>(color.width),
                         static_cast<int32_t>(color.height), DAV1D_PIXEL_LAYOUT_I444);
    state_ = std::move(state);
    width_ = state_->place.outW;
    height_ = state_->place.outH;
    frames_ = static_cast<uint32_t>(state_->sequence.color.samples.size());
    return Refusal::None;
}

bool AvifAnimation::NextFrame(uint8_t* bgra, int32_t* delayMs) {
    State& s = *state_;
    const avif::Track& color = s.sequence.color;
    const avif::Track& alpha = s.sequence.alpha;
    if (s.next >= color.samples.size()) {
        s.color.Flush();
        s.alpha.Flush();
        s.next = 0;
        ++passes_;
    }
    const avif::Sample& sample = color.samples[s.next];
    const bool hasAlpha = !alpha.samples.empty();
    bool ok = s.color.Decode(s.data + sample.offset, sample.size, &s.colorFrame) &&
              SameSize(s.colorFrame.pic, color.width, color.height);
    if (ok && hasAlpha) {
        const avif::Sample& a = alpha.samples[s.next];
        ok = s.alpha.Decode(s.data + a.offset, a.size, &s.alphaFrame) &&
             SameSize(s.alphaFrame.pic, color.width, color.height);
    }
    bool translucent = false;  // the frames are blended whatever they hold
    ok = ok && Render(s.colorFrame.pic, hasAlpha ? &s.alphaFrame.pic : nullptr, color.nclx,
                      s.sequence.premultiplied, s.place, bgra, &translucent);
    s.colorFrame.Release();
    s.alphaFrame.Release();
    if (!ok) {
        // Start again at the next step rather than stall on the broken frame.
        s.next = color.samples.size();
        return false;
    }
    ++s.next;
    *delayMs = sample.durationMs > 0 ? static_cast<int32_t>(sample.durationMs) : kZeroDelayMs;
    return true;
}

bool AvifAnimation::Start(uint8_t* screenBgra, uint32_t backgroundBgra, int32_t* delayMs) {
    if (!state_) return false;
    state_->color.Flush();
    state_->alpha.Flush();
    state_->next = 0;
    passes_ = 0;
    state_->background = backgroundBgra;
    state_->canvasHeld = false;
    uint8_t* frame = state_->canvas ? state_->canvas.get() : screenBgra;
    if (!NextFrame(frame, delayMs)) return false;
    state_->canvasHeld = true;
    state_->Show(screenBgra);
    return true;
}

PictureAnimation::Step AvifAnimation::Next(uint8_t* screenBgra, int32_t* delayMs) {
    // A frame that fails leaves the screen as it was; the canvas may be half written then.
    if (!state_ || !NextFrame(state_->canvas ? state_->canvas.get() : screenBgra, delayMs)) {
        if (state_) state_->canvasHeld = false;
        *delayMs = kNoFrameWaitMs;
        return Step::NoFrame;
    }
    state_->canvasHeld = true;
    state_->Show(screenBgra);
    return Step::Frame;
}

void AvifAnimation::Recompose(uint8_t* screenBgra, uint32_t backgroundBgra) {
    if (!state_) return;
    state_->background = backgroundBgra;
    // An opaque sequence shows the same pixels on any background.
    if (state_->canvas && state_->canvasHeld && screenBgra) state_->Show(screenBgra);
}

Refusal AvifAnimation::DrawFirstFrame(uint8_t* out) {
    state_->color.Flush();
    state_->alpha.Flush();
    state_->next = 0;
    int32_t delay = 0;
    return NextFrame(out, &delay) ? Refusal::None : Refusal::Malformed;
}

Refusal DecodeAvif(const uint8_t* data, size_t size, PixelSink& sink, ImageInfo* info) {
    // The primary image; a sequence without one shows its first frame.
    avif::Still still;
    const Refusal read = avif::ReadStill(data, size, &still);
    if (read == Refusal::None) return DecodeStill(still, sink, info);
    AvifAnimation sequence;
    const Refusal first = sequence.FirstFrame(data, size, sink, info);
    // Data that opens as neither tells the still's reason, unless that is only Malformed.
    const bool opened = sequence.Width() != 0;
    return opened || read == Refusal::Malformed ? first : read;
}
