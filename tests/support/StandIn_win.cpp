#include "StandIn_win.h"

#include "FloatingPoint.h"

namespace standin {

std::vector<const WindowDescription*> g_windows;
std::vector<DeclaredCommand> g_commands;

void Start(ExitRoutine atExit) {
    InitServices();
    ResetFloatingPointUnit();
    RegisterExitRoutine(atExit);
    CreateMainWindow();
}

}  // namespace standin

const WindowDescription* const* ProgramWindowDescriptions(int32_t* count) {
    *count = static_cast<int32_t>(standin::g_windows.size());
    return standin::g_windows.data();
}

const DeclaredCommand* ProgramDeclaredCommands(int32_t* count) {
    *count = static_cast<int32_t>(standin::g_commands.size());
    return standin::g_commands.data();
}
