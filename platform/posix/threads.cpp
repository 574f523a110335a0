#include "../threads.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace tarvel::platform {

struct Monitor::State {
    std::mutex mutex;
    std::condition_variable condition;
};

Monitor::Monitor() : state_(std::make_unique<State>()) {}

Monitor::~Monitor() = default;

void Monitor::lock() {
    state_->mutex.lock();
}

void Monitor::unlock() {
    state_->mutex.unlock();
}

void Monitor::wait(int64_t milliseconds) {
    std::unique_lock<std::mutex> held(state_->mutex, std::adopt_lock);
    if (milliseconds < 0) {
        state_->condition.wait(held);
    } else {
        state_->condition.wait_for(held, std::chrono::milliseconds(milliseconds));
    }
    held.release();  // the caller still holds it
}

void Monitor::notify() {
    state_->condition.notify_all();
}

struct Thread::State {
    std::thread thread;
};

Thread::Thread() : state_(std::make_unique<State>()) {}

Thread::~Thread() {
    join();
}

bool Thread::start(std::function<void()> body) {
    if (state_->thread.joinable()) {
        return false;
    }
    try {
        state_->thread = std::thread(std::move(body));
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void Thread::join() {
    if (state_->thread.joinable()) {
        state_->thread.join();
    }
}

int64_t steadyMilliseconds() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace tarvel::platform
