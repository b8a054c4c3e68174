// The labels of this window are painted by the program, so the system cannot find them by
// itself: the name of a field comes from the description's geometry instead.
#include "AccessibleRules.h"

#include <cstdlib>
#include <cstring>

namespace {

bool SameParent(const ControlDescription& a, const ControlDescription& b) {
    if (!a.parent || !b.parent) return a.parent == b.parent;
    return std::strcmp(a.parent, b.parent) == 0;
}

// A caption without what ends it as a prompt: a full-width colon (A3 BA in code page 936), an
// ASCII colon, and the spaces around them.
std::string WithoutTrailingColon(const char* caption) {
    std::string text = caption ? caption : "";
    for (;;) {
        const size_t n = text.size();
        if (n >= 2 && text.compare(n - 2, 2, "\xA3\xBA") == 0) {
            // Only when A3 is a lead byte: count the lead bytes before it.
            size_t i = 0;
            while (i < n - 2)
                i += static_cast<unsigned char>(text[i]) >= 0x81 ? size_t{2} : size_t{1};
            if (i == n - 2) {
                text.resize(n - 2);
                continue;
            }
        }
        if (n >= 1 && (text[n - 1] == ':' || text[n - 1] == ' ')) {
            text.resize(n - 1);
            continue;
        }
        return text;
    }
}

}  // namespace

AccessibleRole AccessibleRoleOf(ControlKind kind) {
    switch (kind) {
    case ControlKind::EditBox: return AccessibleRole::Text;
    case ControlKind::Label: return AccessibleRole::StaticText;
    case ControlKind::Button: return AccessibleRole::PushButton;
    case ControlKind::GroupBox: return AccessibleRole::Grouping;
    case ControlKind::PicBox: return AccessibleRole::Graphic;
    case ControlKind::CommonDlg: return AccessibleRole::None;
    }
    return AccessibleRole::None;
}

int32_t NamingLabel(const WindowDescription& window, int32_t index) {
    if (index < 0 || index >= window.controlCount) return -1;
    const ControlDescription& c = window.controls[index];
    int32_t best = -1;
    int64_t bestDistance = 0;
    for (int32_t i = 0; i < window.controlCount; ++i) {
        const ControlDescription& l = window.controls[i];
        if (i == index || l.kind != ControlKind::Label || !SameParent(l, c)) continue;
        const int64_t labelRight = int64_t{l.left} + l.width;
        const bool leftOf = labelRight <= c.left;
        const bool overlaps = int64_t{l.top} < int64_t{c.top} + c.height &&
                              int64_t{c.top} < int64_t{l.top} + l.height;
        if (!leftOf || !overlaps) continue;
        const int64_t distance = std::llabs(int64_t{l.top} - c.top);
        if (best < 0 || distance < bestDistance) {
            best = i;
            bestDistance = distance;
        }
    }
    return best;
}

std::string AccessibleName(const WindowDescription& window, int32_t index) {
    if (index < 0 || index >= window.controlCount) return std::string();
    const ControlDescription& c = window.controls[index];
    if (c.kind != ControlKind::EditBox && c.kind != ControlKind::PicBox)
        return c.text ? c.text : "";
    const int32_t label = NamingLabel(window, index);
    if (label >= 0) return WithoutTrailingColon(window.controls[label].text);
    if (c.parent) {
        for (int32_t i = 0; i < window.controlCount; ++i)
            if (std::strcmp(window.controls[i].name, c.parent) == 0) return window.controls[i].text;
    }
    return std::string();
}
