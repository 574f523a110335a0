#include "../threads.h"

#include "platform_windows.h"
#include "win32_handles.h"

namespace tarvel::platform {

struct Monitor::State {
    SRWLOCK lock = SRWLOCK_INIT;
    CONDITION_VARIABLE condition = CONDITION_VARIABLE_INIT;
};

Monitor::Monitor() : state_(std::make_unique<State>()) {}

Monitor::~Monitor() = default;

void Monitor::lock() {
    AcquireSRWLockExclusive(&state_->lock);
}

void Monitor::unlock() {
    ReleaseSRWLockExclusive(&state_->lock);
}

void Monitor::wait(int64_t milliseconds) {
    const DWORD limit = milliseconds < 0
                            ? INFINITE
                            : DWORD(milliseconds < INFINITE - 1 ? milliseconds : INFINITE - 1);
    SleepConditionVariableSRW(&state_->condition, &state_->lock, limit, 0);
}

void Monitor::notify() {
    WakeAllConditionVariable(&state_->condition);
}

struct Thread::State {
    std::function<void()> body;
    KernelHandle thread;

    static DWORD WINAPI run(void* parameter) {
        static_cast<State*>(parameter)->body();
        return 0;
    }
};

Thread::Thread() : state_(std::make_unique<State>()) {}

Thread::~Thread() {
    join();
}

bool Thread::start(std::function<void()> body) {
    if (state_->thread) {
        return false;
    }
    state_->body = std::move(body);
    state_->thread.reset(CreateThread(nullptr, 0, &State::run, state_.get(), 0, nullptr));
    return bool(state_->thread);
}

void Thread::join() {
    if (state_->thread) {
        WaitForSingleObject(state_->thread.get(), INFINITE);
        state_->thread.reset();
    }
}

int64_t steadyMilliseconds() {
    static const int64_t frequency = [] {
        LARGE_INTEGER value{};
        QueryPerformanceFrequency(&value);
        return int64_t(value.QuadPart);
    }();
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    return int64_t(now.QuadPart / frequency * 1000 + now.QuadPart % frequency * 1000 / frequency);
}

}  // namespace tarvel::platform
