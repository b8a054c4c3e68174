// The host of a stand-in program: one that is not Orvessa but runs on the real service layer
// (the probe, the picture benchmark). It supplies the windows and declared commands the
// stand-in sets, and starts as the program does.
#pragma once

#include <vector>

#include "DeclaredCommands.h"
#include "Services.h"

namespace standin {

// Set before Start: the windows, the startup window first, and the declared commands.
extern std::vector<const WindowDescription*> g_windows;
extern std::vector<DeclaredCommand> g_commands;

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

// The services, the floating-point unit, the end-of-program routine and the startup window,
// in the program's order.
void Start(ExitRoutine atExit);

}  // namespace standin
