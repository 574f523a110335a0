// A lock with a condition to wait on, a thread, and a steady clock: what a host needs to do work
// beside the module's calls. The MinGW-w64 build has no std::thread or std::mutex, so each
// system's own serve.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace tarvel::platform {

class Monitor {
public:
    Monitor();
    Monitor(const Monitor&) = delete;
    Monitor& operator=(const Monitor&) = delete;
    ~Monitor();

    void lock();
    void unlock();
    // With the lock held: lets it go until notified, or until milliseconds have passed
    // (negative: no limit), and holds it again. May also return early for no reason.
    void wait(int64_t milliseconds);
    void notify();

private:
    struct State;
    std::unique_ptr<State> state_;
};

// Runs a function on a thread of its own; join, or the holder's end, waits for it.
class Thread {
public:
    Thread();
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;
    ~Thread();

    // False when no thread could be started: body did not run.
    bool start(std::function<void()> body);
    void join();

private:
    struct State;
    std::unique_ptr<State> state_;
};

// Milliseconds of a clock that never goes back.
int64_t steadyMilliseconds();

}  // namespace tarvel::platform
