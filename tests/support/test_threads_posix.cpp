#include <pthread.h>

#include <atomic>
#include <thread>
#include <vector>

#include "test_threads.h"

namespace tarvel::testing {

bool runOnThreads(size_t count, const std::function<void(size_t index)>& body) {
    std::atomic<bool> go{false};
    std::vector<std::thread> threads;
    threads.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        threads.emplace_back([&go, &body, i] {
            while (!go.load()) {
                std::this_thread::yield();
            }
            body(i);
        });
    }
    go = true;
    for (std::thread& thread : threads) {
        thread.join();
    }
    return true;
}

uint64_t currentThreadId() {
    return static_cast<uint64_t>(pthread_self());
}

}  // namespace tarvel::testing
