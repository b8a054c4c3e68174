// When a window gives up its written colours for the system's. Labels and group titles are
// written black on the system's button face; a scheme that darkens the face (a high-contrast
// one above all) would hide them. Portable arithmetic only: the window layer asks the system
// for the colours and whether high contrast is on.
#pragma once

#include <cstdint>

#include "WindowDescription.h"

// Contrast between two colours (0x00BBGGRR) as WCAG 2 measures it: (L1 + 0.05) / (L2 + 0.05)
// of the colours' relative luminances, lighter over darker; from 1 (equal) to 21 (black and
// white).
double ContrastRatio(uint32_t a, uint32_t b);

// The least contrast a caption is allowed: WCAG's level AA for text of normal size.
constexpr double kMinimumTextContrast = 4.5;

// Whether some control of `window` writes its text in its own colour on the system's button
// face, and with `buttonFace` as that face the two fall below kMinimumTextContrast. Buttons
// (the system draws their captions), picture boxes and controls with a background of their own
// do not count: the scheme cannot make them unreadable.
bool WrittenTextUnreadable(const WindowDescription& window, uint32_t buttonFace);
