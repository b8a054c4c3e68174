// Every test case of the driver; main.cpp lists them by name.
#pragma once

#include "TestCase.h"

namespace driver {

// The window and its controls at start.
void WindowFrame(Check&, const Options&);
void ControlTable(Check&, const Options&);
void ControlTree(Check&, const Options&);
void MoveAndMinimize(Check&, const Options&);
void ControlsPaint(Check&, const Options&);
void ProgramIcon(Check&, const Options&);

// Keyboard.
void InitialFocus(Check&, const Options&);
void TabCycleForward(Check&, const Options&);
void TabCycleBackward(Check&, const Options&);
void FocusReturnsAfterDeactivation(Check&, const Options&);
void EnterClicksNothing(Check&, const Options&);
void EnterAddsLine(Check&, const Options&);
void SpaceClicksButton(Check&, const Options&);

// Edit boxes.
void LongTextKept(Check&, const Options&);
void TypingWrapsAndScrolls(Check&, const Options&);
void AppendKeepsUserText(Check&, const Options&);

// The process.
void ClosePathsExitZero(Check&, const Options&);
void TwoInstances(Check&, const Options&);
void CodePage(Check&, const Options&);

} // namespace driver
