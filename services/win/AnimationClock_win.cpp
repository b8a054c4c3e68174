#include "AnimationClock_win.h"

#include "SystemLibrary_win.h"

namespace {

// Windows 10 1803 and later; older systems refuse the flag (ERROR_INVALID_PARAMETER).
constexpr DWORD kHighResolutionTimer = 0x00000002;  // CREATE_WAITABLE_TIMER_HIGH_RESOLUTION

}  // namespace

AnimationClock::AnimationClock() noexcept {
    QueryPerformanceFrequency(&frequency_);
    timer_.Reset(CreateWaitableTimerExW(nullptr, nullptr, kHighResolutionTimer, TIMER_ALL_ACCESS));
    highResolution_ = static_cast<bool>(timer_);
    if (!highResolution_) {
        timer_.Reset(CreateWaitableTimerExW(nullptr, nullptr, 0, TIMER_ALL_ACCESS));
        beginPeriod_ = SystemFunction<PeriodFunction>(L"winmm.dll", "timeBeginPeriod");
        endPeriod_ = SystemFunction<PeriodFunction>(L"winmm.dll", "timeEndPeriod");
        if (!beginPeriod_ || !endPeriod_) beginPeriod_ = endPeriod_ = nullptr;
    }
}

AnimationClock::~AnimationClock() {
    EndPlaying();
}

void AnimationClock::BeginPlaying() noexcept {
    if (beginPeriod_ && !periodRaised_) periodRaised_ = beginPeriod_(1) == 0;  // TIMERR_NOERROR
}

void AnimationClock::EndPlaying() noexcept {
    if (periodRaised_) endPeriod_(1);
    periodRaised_ = false;
}

int64_t AnimationClock::NowUs() const noexcept {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    const int64_t f = frequency_.QuadPart > 0 ? frequency_.QuadPart : 1;
    // Split so that the product cannot overflow however long the system has run.
    return now.QuadPart / f * 1000000 + now.QuadPart % f * 1000000 / f;
}

void AnimationClock::Wait(HANDLE wake, int64_t us) const noexcept {
    if (us <= 0) return;
    if (timer_) {
        LARGE_INTEGER due;
        due.QuadPart = -us * 10;  // relative, in 100 ns units
        if (SetWaitableTimer(timer_.Get(), &due, 0, nullptr, nullptr, FALSE)) {
            const HANDLE handles[] = {wake, timer_.Get()};
            // A timer that fired needs no cancelling: each wait costs as few calls as it can.
            if (WaitForMultipleObjects(2, handles, FALSE, INFINITE) != WAIT_OBJECT_0 + 1)
                CancelWaitableTimer(timer_.Get());
            return;
        }
    }
    WaitForSingleObject(wake, static_cast<DWORD>((us + 999) / 1000));
}
