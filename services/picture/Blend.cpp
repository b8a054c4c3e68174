// Drawing-time transparency: a picture with alpha blended onto the box's background.
//
// The arithmetic is single precision exactly as the result is defined: every product and sum
// rounded to float. On a 32-bit x87 build the compiler would otherwise keep intermediates in
// 80-bit registers, and a value like 99.99999 could truncate differently; there each step goes
// through a float in memory. Rounding twice (80-bit, then 32-bit) gives the same float for a
// single + or *, so the results match an SSE build bit for bit.
#include <cstring>

#include "Picture.h"

#if (defined(__i386__) && !defined(__SSE_MATH__)) || \
    (defined(_M_IX86) && (!defined(_M_IX86_FP) || _M_IX86_FP == 0))
#define ORVESSA_PICTURE_X87_FLOAT 1
#else
#define ORVESSA_PICTURE_X87_FLOAT 0
#endif

namespace {

constexpr float kAlphaScale = 0.003921569f;  // about 1 / 255, as the blend is defined

inline float Single(float value) {
#if ORVESSA_PICTURE_X87_FLOAT
    volatile float stored = value;
    return stored;
#else
    return value;
#endif
}

inline uint8_t Channel(uint8_t c, float a, float backgroundPart) {
    const float sum = Single(Single(static_cast<float>(c) * a) + backgroundPart);
    const int truncated = static_cast<int>(sum);
    return static_cast<uint8_t>(truncated < 0 ? 0 : truncated > 255 ? 255 : truncated);
}

}  // namespace

void BlendOntoBackground(const uint8_t* bgraIn, uint8_t* bgrOut32, size_t pixelCount, uint8_t bgB,
                         uint8_t bgG, uint8_t bgR) {
    // a and b * (1 - a) depend only on alpha, so they are worked out once per call for each of
    // the 255 alphas below 255; the per-pixel work is one product and one sum per channel.
    float alphaOf[255];
    float backgroundPart[255][3];
    const uint8_t background[3] = {bgB, bgG, bgR};
    for (int alpha = 0; alpha < 255; ++alpha) {
        const float a = Single(static_cast<float>(alpha) * kAlphaScale);
        const float rest = Single(1.0f - a);
        alphaOf[alpha] = a;
        for (int ch = 0; ch < 3; ++ch) {
            backgroundPart[alpha][ch] = Single(static_cast<float>(background[ch]) * rest);
        }
    }
    for (size_t i = 0; i < pixelCount; ++i) {
        const uint8_t* in = bgraIn + 4 * i;
        uint8_t* out = bgrOut32 + 4 * i;
        const uint8_t alpha = in[3];
        if (alpha == 255) {
            std::memmove(out, in, 4);
            continue;
        }
        const float a = alphaOf[alpha];
        const float* part = backgroundPart[alpha];
        const uint8_t b = Channel(in[0], a, part[0]);
        const uint8_t g = Channel(in[1], a, part[1]);
        const uint8_t r = Channel(in[2], a, part[2]);
        out[0] = b;
        out[1] = g;
        out[2] = r;
        out[3] = 255;
    }
}
