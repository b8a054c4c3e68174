// What a screen reader is told about each control: its role and its name, derived from the
// window description alone, so the rules build and are tested anywhere.
#pragma once

#include <cstdint>
#include <string>

#include "WindowDescription.h"

enum class AccessibleRole { Text, StaticText, PushButton, Grouping, Graphic, None };

// The role a control of this kind announces; None for a kind without a window.
AccessibleRole AccessibleRoleOf(ControlKind kind);

// The label that names control `index`: a Label of the same parent that ends left of the
// control and overlaps it vertically, the one whose top is nearest the control's. -1 when none.
int32_t NamingLabel(const WindowDescription& window, int32_t index);

// The accessible name of control `index`, in code page 936. An edit box or picture box takes
// its label's caption without the trailing colon (full-width or ASCII) and spaces; one without
// a label takes its group box's title. Every other kind keeps its own caption.
std::string AccessibleName(const WindowDescription& window, int32_t index);
