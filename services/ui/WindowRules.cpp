#include "WindowRules.h"

#include <algorithm>
#include <utility>

std::vector<int32_t> BuildTabList(std::vector<TabCandidate> eligible) {
    std::sort(eligible.begin(), eligible.end(), [](const TabCandidate& a, const TabCandidate& b) {
        if (a.tabOrder != b.tabOrder) return a.tabOrder < b.tabOrder;
        return a.index > b.index;
    });
    std::vector<int32_t> list;
    list.reserve(eligible.size());
    for (const TabCandidate& c : eligible) list.push_back(c.index);
    return list;
}

std::vector<int32_t> DescribedTabList(const WindowDescription& window) {
    std::vector<TabCandidate> eligible;
    for (int32_t i = 0; i < window.controlCount; ++i) {
        const ControlDescription& c = window.controls[i];
        if (c.visible && c.enabled && c.tabStop && CanTakeFocus(c.kind))
            eligible.push_back({i, c.tabOrder});
    }
    return BuildTabList(std::move(eligible));
}

int32_t NextInTabList(const std::vector<int32_t>& list, int32_t focusedIndex, bool forward) {
    if (list.empty()) return -1;
    const auto count = static_cast<int32_t>(list.size());
    for (int32_t p = 0; p < count; ++p) {
        if (list[static_cast<size_t>(p)] != focusedIndex) continue;
        const int32_t next = forward ? (p + 1) % count : (p + count - 1) % count;
        return list[static_cast<size_t>(next)];
    }
    // Not in the list: the first position whose control does not come after the focused one.
    for (int32_t p = 0; p < count; ++p) {
        if (list[static_cast<size_t>(p)] > focusedIndex) continue;
        if (forward) return list[static_cast<size_t>(p)];
        return list[static_cast<size_t>(p == 0 ? count - 1 : p - 1)];
    }
    return forward ? list.front() : list.back();
}

ScaledRect ScaledControlRect(const ControlDescription& d, int32_t dpi, int32_t editMinimumHeight) {
    ScaledRect r = ScaleRectToDpi(d.left, d.top, d.width, d.height, dpi);
    if (d.kind == ControlKind::EditBox && !d.edit.multiLine)
        r.height = std::max(r.height, editMinimumHeight);
    return r;
}

OuterSize OuterSizeAt(const WindowDescription& d, int32_t dpi, FrameMetrics frame,
                      int32_t editMinimumHeight) {
    int32_t right = 0;
    int32_t bottom = 0;
    for (int32_t i = 0; i < d.controlCount; ++i) {
        const ControlDescription& c = d.controls[i];
        if (c.kind == ControlKind::CommonDlg || c.parent) continue;
        const ScaledRect r = ScaledControlRect(c, dpi, editMinimumHeight);
        right = std::max(right, r.left + r.width);
        bottom = std::max(bottom, r.top + r.height);
    }
    return {std::max(ScaleToDpi(d.width, dpi), right + frame.width),
            std::max(ScaleToDpi(d.height, dpi), bottom + frame.height)};
}
