#include "ColorRules.h"

#include <algorithm>
#include <cmath>

namespace {

// One sRGB channel (0..255) as linear light.
double Linear(uint32_t channel) {
    const double c = static_cast<double>(channel & 0xFFu) / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double RelativeLuminance(uint32_t color) {
    return 0.2126 * Linear(color) + 0.7152 * Linear(color >> 8) + 0.0722 * Linear(color >> 16);
}

}  // namespace

double ContrastRatio(uint32_t a, uint32_t b) {
    const double la = RelativeLuminance(a);
    const double lb = RelativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

bool WrittenTextUnreadable(const WindowDescription& window, uint32_t buttonFace) {
    for (int32_t i = 0; i < window.controlCount; ++i) {
        const ControlDescription& c = window.controls[i];
        const bool writesText = c.kind == ControlKind::Label || c.kind == ControlKind::GroupBox ||
                                c.kind == ControlKind::EditBox;
        if (!writesText || c.background != kSystemButtonFace) continue;
        const uint32_t text = c.textColor == kSystemButtonFace ? buttonFace : c.textColor;
        if (ContrastRatio(text, buttonFace) < kMinimumTextContrast) return true;
    }
    return false;
}
