#include <atomic>
#include <vector>

#include "platform.h"
#include "test_threads.h"

namespace tarvel::testing {

namespace {

struct Start {
    const std::function<void(size_t)>* body;
    const std::atomic<bool>* go;
    size_t index;
};

DWORD WINAPI threadMain(void* parameter) {
    const Start* start = static_cast<const Start*>(parameter);
    while (!start->go->load()) {
        SwitchToThread();
    }
    (*start->body)(start->index);
    return 0;
}

}  // namespace

bool runOnThreads(size_t count, const std::function<void(size_t index)>& body) {
    std::atomic<bool> go{false};
    std::vector<Start> starts(count);
    std::vector<HANDLE> threads;
    for (size_t i = 0; i < count; ++i) {
        starts[i] = Start{&body, &go, i};
        if (HANDLE thread = CreateThread(nullptr, 0, threadMain, &starts[i], 0, nullptr)) {
            threads.push_back(thread);
        }
    }
    go = true;
    for (HANDLE thread : threads) {
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
    }
    return threads.size() == count;
}

uint64_t currentThreadId() {
    return GetCurrentThreadId();
}

}  // namespace tarvel::testing
