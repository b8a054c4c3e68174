// Where a picture goes in the box's client area, by display mode.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "Picture.h"

namespace {

enum DisplayMode : int32_t { kNaturalSize = 0, kStretch = 1, kCentredFit = 2 };

// Centred; scaled down keeping the aspect ratio only when it does not fit. Integer halves as
// defined, and the scale factor in double precision.
PlacedRect CentredFit(int32_t clientW, int32_t clientH, int32_t picW, int32_t picH) {
    PlacedRect r;
    int32_t availW = clientW;
    int32_t availH = clientH;
    if (clientW >= picW) {
        r.x = (clientW - picW) / 2;
        availW = picW;
    }
    if (clientH >= picH) {
        r.y = (clientH - picH) / 2;
        availH = picH;
    }
    if (clientW < picW || clientH < picH) {
        const double scale =
            std::min(static_cast<double>(availW) / picW, static_cast<double>(availH) / picH);
        // scale <= 1, so the products stay within the picture's own size.
        r.width = static_cast<int32_t>(std::trunc(picW * scale));
        r.height = static_cast<int32_t>(std::trunc(picH * scale));
        r.x += (availW - r.width) / 2;
        r.y += (availH - r.height) / 2;
    } else {
        r.width = picW;
        r.height = picH;
    }
    return r;
}

}  // namespace

PlacedRect PlacePicture(int32_t mode, int32_t clientW, int32_t clientH, int32_t picW,
                        int32_t picH) {
    if (picW <= 0 || picH <= 0) {
        return PlacedRect{};
    }
    clientW = std::max(clientW, 0);
    clientH = std::max(clientH, 0);
    switch (mode) {
    case kStretch: return PlacedRect{0, 0, clientW, clientH};
    case kCentredFit: return CentredFit(clientW, clientH, picW, picH);
    case kNaturalSize:
    default: return PlacedRect{0, 0, picW, picH};
    }
}

bool DrawnBelowHalf(const DrawTarget& target, int64_t naturalW, int64_t naturalH, int64_t* drawnW,
                    int64_t* drawnH) {
    if (target.clientWidth <= 0 || target.clientHeight <= 0 || naturalW <= 0 || naturalH <= 0 ||
        naturalW > INT32_MAX || naturalH > INT32_MAX) {
        return false;
    }
    const PlacedRect drawn =
        PlacePicture(target.mode, target.clientWidth, target.clientHeight,
                     static_cast<int32_t>(naturalW), static_cast<int32_t>(naturalH));
    if (drawn.width <= 0 || drawn.height <= 0 || 2 * int64_t{drawn.width} >= naturalW ||
        2 * int64_t{drawn.height} >= naturalH) {
        return false;
    }
    *drawnW = drawn.width;
    *drawnH = drawn.height;
    return true;
}

bool DecodedSizeServes(const DrawTarget& target, int64_t naturalW, int64_t naturalH,
                       int64_t decodedW, int64_t decodedH) {
    if (decodedW >= naturalW && decodedH >= naturalH) {
        return true;
    }
    if (naturalW <= 0 || naturalH <= 0 || naturalW > INT32_MAX || naturalH > INT32_MAX) {
        return false;
    }
    const PlacedRect drawn =
        PlacePicture(target.mode, target.clientWidth, target.clientHeight,
                     static_cast<int32_t>(naturalW), static_cast<int32_t>(naturalH));
    return decodedW >= 2 * int64_t{drawn.width} && decodedH >= 2 * int64_t{drawn.height};
}
