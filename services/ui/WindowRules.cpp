#include "WindowRules.h"

#include <algorithm>
#include <cstring>

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

const char* CheckWindowDescription(const WindowDescription& window) {
    if (NumberKind(window.number) != kWindowNumberKind) return "window number";
    if (window.width < 0 || window.height < 0) return "window size";
    if (window.controlCount < 0 || (window.controlCount > 0 && !window.controls)) return "control list";
    for (int32_t i = 0; i < window.controlCount; ++i) {
        const ControlDescription& c = window.controls[i];
        if (!c.name || !*c.name) return "control name";
        if (NumberKind(c.number) != kControlNumberKind) return "control number";
        if (c.width < 0 || c.height < 0) return "control size";
        if (!c.text || !c.tag) return "control text";
        bool parentFound = c.parent == nullptr;
        for (int32_t j = 0; j < window.controlCount; ++j) {
            const ControlDescription& other = window.controls[j];
            if (j != i && std::strcmp(other.name, c.name) == 0) return "duplicate control name";
            if (j != i && other.number == c.number) return "duplicate control number";
            if (c.parent && std::strcmp(other.name, c.parent) == 0) {
                if (other.kind != ControlKind::GroupBox || other.parent) return "parent kind";
                parentFound = true;
            }
        }
        if (!parentFound) return "unknown parent";
    }
    if (window.dropFileDialog) {
        bool found = false;
        for (int32_t i = 0; i < window.controlCount; ++i)
            found = found || (std::strcmp(window.controls[i].name, window.dropFileDialog) == 0 &&
                              window.controls[i].kind == ControlKind::CommonDlg);
        if (!found) return "drop dialog";
    }
    return nullptr;
}
