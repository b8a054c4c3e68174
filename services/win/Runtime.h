// The life of the process as the application sees it: the entry's hand-over, start-up with the
// program's tables, the end-of-program routines and the event loop.
#pragma once

#include <cstddef>
#include <cstdint>

#include "DeclaredCommands.h"
#include "WindowDescription.h"

// One of the program's tables as the services take it: its rows and their count.
template <typename Row>
struct TableOf {
    const Row* rows = nullptr;
    int32_t count = 0;

    TableOf() = default;
    TableOf(const Row* r, size_t n) : rows(r), count(static_cast<int32_t>(n)) {}
    template <size_t N>
    TableOf(const Row (&r)[N]) : TableOf(r, N) {}  // NOLINT: a table converts implicitly
};

using ExitRoutine = void (*)();

// The process entry's work: records the program folder, calls applicationMain on the GUI
// thread, then runs the end-of-program clean-up and ends the process with the quit request's
// code. Never returns.
[[noreturn]] void RunProgram(int32_t (*applicationMain)());

// The window descriptions embedded in the program (the startup window first, each with its
// handlers bound) and its declared commands, numbered from 0. Both tables must outlive the
// program; a missing or damaged window table is a fatal report.
void InitServices(TableOf<const WindowDescription*> windows, TableOf<DeclaredCommand> commands);
void RegisterExitRoutine(ExitRoutine routine);
// Runs until the quit request arrives; returns at once when no window of the program exists.
void RunEventLoop();
