// GoogleTest port settings for MinGW-w64's win32 thread model, which has no std::mutex.
// GoogleTest's own Windows mutexes serve everything but Notification, which is only used by
// tests that start threads; this one needs no standard mutex.
#ifndef TARVEL_GTEST_MINGW_PORT_H_
#define TARVEL_GTEST_MINGW_PORT_H_

#define GTEST_HAS_NOTIFICATION_ 1

namespace testing {
namespace internal {

class Notification {
public:
    Notification() = default;
    Notification(const Notification&) = delete;
    Notification& operator=(const Notification&) = delete;
    void Notify() { notified_ = true; }
    void WaitForNotification() {
        while (!notified_) {
        }
    }

private:
    volatile bool notified_ = false;
};

}  // namespace internal
}  // namespace testing

#endif  // TARVEL_GTEST_MINGW_PORT_H_
