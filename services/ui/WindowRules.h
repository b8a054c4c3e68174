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

// Display scale. A description is written in units of a 96-DPI screen; at any other DPI every
// length is ScaleToDpi of it. It rounds to the nearest pixel, a half away from zero, exactly
// as the platform's MulDiv(value, dpi, 96) does, and is the identity at 96.
constexpr int32_t kDesignDpi = 96;
constexpr int32_t ScaleToDpi(int32_t value, int32_t dpi) {
    const int64_t product = int64_t{value} * dpi;
    const int64_t half = kDesignDpi / 2;
    return static_cast<int32_t>(product >= 0 ? (product + half) / kDesignDpi
                                             : -((-product + half) / kDesignDpi));
}

// A rectangle of a description at a DPI: its edges are scaled, not its size, so rectangles that
// meet at 96 DPI still meet.
struct ScaledRect {
    int32_t left, top, width, height;
};
constexpr ScaledRect ScaleRectToDpi(int32_t left, int32_t top, int32_t width, int32_t height,
                                    int32_t dpi) {
    const int32_t l = ScaleToDpi(left, dpi);
    const int32_t t = ScaleToDpi(top, dpi);
    return {l, t, ScaleToDpi(left + width, dpi) - l, ScaleToDpi(top + height, dpi) - t};
}

// A control's rectangle at a DPI. A single-line edit box is at least `editMinimumHeight` high
// (one line of its font at that DPI and its two 3-D edges, which only the platform can
// measure), keeping its top edge and width.
ScaledRect ScaledControlRect(const ControlDescription& control, int32_t dpi,
                             int32_t editMinimumHeight);

// What the frame (borders and caption) adds to the client area's width and height at a DPI.
struct FrameMetrics {
    int32_t width, height;
};
struct OuterSize {
    int32_t width, height;
};

// The window's outer size at `dpi`: its written outer size scaled or, where the frame leaves
// less, the size whose client area reaches the right and bottom edges of every control placed
// in the window itself. Never smaller than the written size.
OuterSize OuterSizeAt(const WindowDescription& window, int32_t dpi, FrameMetrics frame,
                      int32_t editMinimumHeight);

// A scaled window that does not fit its work area keeps its top-left corner, and with it the
// title bar, on the work area; one that fits is moved inside it. At 96 DPI the centred origin
// is used as it stands.
constexpr int32_t KeptOnWorkArea(int32_t origin, int32_t size, int32_t workStart, int32_t workEnd) {
    if (origin + size > workEnd) origin = workEnd - size;
    return origin < workStart ? workStart : origin;
}

// Kinds that can hold the keyboard focus.
constexpr bool CanTakeFocus(ControlKind kind) {
    return kind == ControlKind::EditBox || kind == ControlKind::Button;
}

struct TabCandidate {
    int32_t index;  // position in the description
    int32_t tabOrder;
};

// The tab list: ascending tab-order number; equal numbers in reverse description order.
std::vector<int32_t> BuildTabList(std::vector<TabCandidate> eligible);

// The tab list of a window as described, before any control is hidden or disabled.
std::vector<int32_t> DescribedTabList(const WindowDescription& window);

// The control a Tab (forward) or Shift+Tab (backward) moves to from the focused control's
// description index, or -1 when nothing moves. A focused control outside the list moves
// relative to its place in the description.
int32_t NextInTabList(const std::vector<int32_t>& list, int32_t focusedIndex, bool forward);
