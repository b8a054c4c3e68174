// The program's entry and its start-up order. Everything else happens in the event loop.
#include <windows.h>

#include "FloatingPoint.h"
#include "MainWindow.h"
#include "Runtime.h"
#include "Window.h"

namespace {

int32_t StartupRoutine() {
    return 0;
}

void ApplicationExitRoutine() {}

const WindowDescription* const kProgramWindows[] = {&MainWindow};

const DeclaredCommand kDeclaredCommands[] = {
    {"kernel32.dll", "GetLocalTime"},
};

int32_t ApplicationMain() {
    InitServices(kProgramWindows, kDeclaredCommands);
    ResetFloatingPointUnit();
    RegisterExitRoutine(ApplicationExitRoutine);
    StartupRoutine();
    CreateMainWindow();
    RunEventLoop();
    return 0;
}

}  // namespace

// The service layer records the program folder, runs ApplicationMain and ends the process.
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    RunProgram(ApplicationMain);
}
