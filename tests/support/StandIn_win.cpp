#include "StandIn_win.h"

#include "FloatingPoint.h"

namespace standin {

void Start(TableOf<const WindowDescription*> windows, TableOf<DeclaredCommand> commands,
           ExitRoutine atExit) {
    InitServices(windows, commands);
    ResetFloatingPointUnit();
    RegisterExitRoutine(atExit);
    CreateMainWindow();
}

}  // namespace standin
