// The clock and the waits of a picture box's animation thread. Windows' default timer ticks
// every 15.6 ms, and since Windows 10 2004 a process's timer resolution is its own, so the tick
// count and ordinary timed waits would make a 20 ms frame last about 31 ms. This clock reads
// the performance counter and waits on a high-resolution waitable timer where Windows has one
// (Windows 10 1803 and later). Elsewhere it raises the process's timer resolution to 1 ms
// while the animation plays (timeBeginPeriod, looked up in winmm.dll at run time) and waits on
// an ordinary waitable timer, which then wakes within about 1 ms.
#pragma once

#include <windows.h>

#include <cstdint>

#include "Handles_win.h"

class AnimationClock {
public:
    // On the GUI thread, before the worker starts: makes the timer and, for the fallback,
    // finds winmm's period functions.
    AnimationClock() noexcept;
    ~AnimationClock();
    AnimationClock(const AnimationClock&) = delete;
    AnimationClock& operator=(const AnimationClock&) = delete;

    // On the worker thread, around its playing: the fallback's raised resolution.
    void BeginPlaying() noexcept;
    void EndPlaying() noexcept;

    int64_t NowUs() const noexcept;
    // Waits `us` microseconds, or until `wake` is set.
    void Wait(HANDLE wake, int64_t us) const noexcept;

private:
    using PeriodFunction = UINT(WINAPI*)(UINT);

    LARGE_INTEGER frequency_{};
    OwnedEvent timer_;  // a waitable timer; kernel handles share the owner
    bool highResolution_ = false;
    PeriodFunction beginPeriod_ = nullptr;
    PeriodFunction endPeriod_ = nullptr;
    bool periodRaised_ = false;
};
