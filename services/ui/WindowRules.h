// Placement and focus rules of the window layer that need no platform.
#pragma once

#include <cstdint>
#include <vector>

#include "WindowDescription.h"

// Left (or top) edge that centres an outer size on a screen size: integer division that
// truncates toward zero, so a window larger than the screen gets a negative edge.
constexpr int32_t CenteredOrigin(int32_t screenSize, int32_t outerSize) {
    return (screenSize - outerSize) / 2;
}

// Kinds that can hold the keyboard focus.
constexpr bool CanTakeFocus(ControlKind kind) {
    return kind == ControlKind::EditBox || kind == ControlKind::Button;
}

struct TabCandidate {
    int32_t index;      // position in the description
    int32_t tabOrder;
};

// The tab list: ascending tab-order number; equal numbers in reverse description order.
std::vector<int32_t> BuildTabList(std::vector<TabCandidate> eligible);

// The control a Tab (forward) or Shift+Tab (backward) moves to from the focused control's
// description index, or -1 when nothing moves. A focused control outside the list moves
// relative to its place in the description.
int32_t NextInTabList(const std::vector<int32_t>& list, int32_t focusedIndex, bool forward);
