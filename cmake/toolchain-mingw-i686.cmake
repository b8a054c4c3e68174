# Cross-compiles for 32-bit Windows with Debian's mingw-w64 and runs the results under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(ORVESSA_MINGW_PREFIX i686-w64-mingw32)
set(CMAKE_C_COMPILER ${ORVESSA_MINGW_PREFIX}-gcc)
set(CMAKE_CXX_COMPILER ${ORVESSA_MINGW_PREFIX}-g++)
set(CMAKE_RC_COMPILER ${ORVESSA_MINGW_PREFIX}-windres)
set(CMAKE_ASM_NASM_COMPILER nasm)

# SSE2 for integer and memory code, as MSVC builds 32-bit x86 by default: every processor that
# runs a current Windows has it. Floating point stays on the x87 (FloatingPoint_win.cpp sets
# its precision). Windows keeps the stack only 4-byte aligned where it calls us (window
# procedures, thread starts), so functions that need more realign it themselves.
set(CMAKE_C_FLAGS_INIT "-msse2 -mincoming-stack-boundary=2")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mincoming-stack-boundary=2")

# Libraries are searched in the mingw sysroot and in the cache of cross-built dependencies.
set(CMAKE_FIND_ROOT_PATH /usr/${ORVESSA_MINGW_PREFIX})
include(${CMAKE_CURRENT_LIST_DIR}/DepsCache.cmake)
set(ORVESSA_DEPS_PREFIX "${ORVESSA_DEPS_CACHE_ROOT}/i686")
list(APPEND CMAKE_FIND_ROOT_PATH ${ORVESSA_DEPS_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_CROSSCOMPILING_EMULATOR wine)
