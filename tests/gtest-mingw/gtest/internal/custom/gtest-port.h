// GoogleTest's own hook for platform settings, found before its stock copy when the suites
// are built for Windows. The mingw compiler here has no std::mutex or std::condition_variable
// (its thread model is Win32's), and GoogleTest needs them only for its Notification, which
// only GoogleTest's own tests use. This Notification waits on a flag instead.
#pragma once

#include <atomic>

#define GTEST_HAS_NOTIFICATION_ 1

namespace testing {
namespace internal {

class Notification {
public:
    Notification() = default;
    Notification(const Notification&) = delete;
    Notification& operator=(const Notification&) = delete;

    void Notify() { notified_.store(true, std::memory_order_release); }

    void WaitForNotification() {
        while (!notified_.load(std::memory_order_acquire)) {
        }
    }

private:
    std::atomic<bool> notified_{false};
};

}  // namespace internal
}  // namespace testing
