// Declared DLL commands: external functions named by library and command, resolved on first
// call and kept until the end of the program.
#pragma once

#include <cstdint>

struct DeclaredCommand {
    const char* library;  // file name without a folder
    const char* command;
};

// The program's table of declared commands, numbered from 0, as InitServices was given it.
void UseDeclaredCommands(const DeclaredCommand* table, int32_t count);

// Calls declared command n with 32-bit arguments pushed right to left, as a __stdcall
// function expects them. *stackIntact tells whether the command removed exactly the
// arguments it was given. Resolution failure is a fatal report.
uint32_t CallDeclaredCommand(int32_t n, const uint32_t* args, uint32_t argCount, bool* stackIntact);
// Forgets the resolved commands (end-of-program clean-up); their libraries stay loaded to the
// end of the process.
void ReleaseDeclaredCommands();
