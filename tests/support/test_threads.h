// Host threads for tests: the MinGW-w64 build has no std::thread, so the platform's own threads
// serve there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace tarvel::testing {

// Runs body(0) to body(count - 1), each on a thread of its own, all let go at the same moment
// once every thread is there, and returns when all have ended: true, or false when some thread
// could not be started (its body did not run).
bool runOnThreads(size_t count, const std::function<void(size_t index)>& body);

// The calling thread's identity as the system gives it.
uint64_t currentThreadId();

}  // namespace tarvel::testing
