// The host of a stand-in program: one that is not Orvessa but runs on the real service layer
// (the probe, the picture benchmark). Its entry hands its ApplicationMain to RunProgram, as the
// program's does, and that starts through here in the program's order.
#pragma once

#include "DeclaredCommands.h"
#include "Runtime.h"
#include "Window.h"

namespace standin {

// A window of `width` x `height` holding the controls.
template <typename Controls>
WindowDescription Window(int32_t number, const char* caption, int32_t width, int32_t height,
                         const Controls& controls) {
    WindowDescription w;
    w.number = number;
    w.caption = caption;
    w.width = width;
    w.height = height;
    w.controls = controls.data();
    w.controlCount = static_cast<int32_t>(controls.size());
    return w;
}

// The services with the windows (the startup window first) and the declared commands, the
// floating-point unit, the end-of-program routine and the startup window, in the program's
// order. Both tables must outlive the program.
void Start(TableOf<const WindowDescription*> windows, TableOf<DeclaredCommand> commands,
           ExitRoutine atExit);

}  // namespace standin
