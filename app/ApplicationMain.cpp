// The program's entry and its start-up order. Everything else happens in the event loop.
#include "DeclaredCommands.h"
#include "FloatingPoint.h"
#include "MainWindow.h"
#include "Services.h"

namespace {

int32_t StartupRoutine() {
    return 0;
}

void ApplicationExitRoutine() {}

const WindowDescription* const kProgramWindows[] = {&MainWindow};

const DeclaredCommand kDeclaredCommands[] = {
    {"kernel32.dll", "GetLocalTime"},
};

}  // namespace

const WindowDescription* const* ProgramWindowDescriptions(int32_t* count) {
    *count = static_cast<int32_t>(sizeof kProgramWindows / sizeof kProgramWindows[0]);
    return kProgramWindows;
}

const DeclaredCommand* ProgramDeclaredCommands(int32_t* count) {
    *count = static_cast<int32_t>(sizeof kDeclaredCommands / sizeof kDeclaredCommands[0]);
    return kDeclaredCommands;
}

int32_t ApplicationMain() {
    InitServices();
    ResetFloatingPointUnit();
    RegisterExitRoutine(ApplicationExitRoutine);
    StartupRoutine();
    CreateMainWindow();
    RunEventLoop();
    return 0;
}
