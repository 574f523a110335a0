// The host's standard output for result lines. The first line goes out at once; the others
// gather in a buffer that goes out when it is full, when the search ends (finish), and at the
// latest kLatest milliseconds after the first line waiting in it came, from a thread of its
// own: a fast search makes few large writes, and on a slow index no line waits for long. The
// first failed write ends the output: no line is written after it, and the failure is told
// once, on the thread that met it, with the output's lock released.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

#include "host_platform.h"
#include "threads.h"

namespace tarvel::host {

class ResultOutput {
public:
    using Writer =
        std::function<bool(const char* bytes, size_t size, platform::WriteFailure* failure)>;
    using Failed = std::function<void(const platform::WriteFailure& failure)>;

    static constexpr size_t kCapacity = size_t(64) * 1024;
    static constexpr int64_t kLatest = 20;

    // Writes to standard output unless given a writer of its own.
    explicit ResultOutput(Failed failed, Writer writer = {});
    ResultOutput(const ResultOutput&) = delete;
    ResultOutput& operator=(const ResultOutput&) = delete;
    ~ResultOutput() { finish(); }

    // Adds the line and a newline; false once the output has failed.
    bool addLine(const WCHAR* line);
    // Writes what waits, and ends the thread; true when everything added was written.
    bool finish();
    bool failed() const { return failed_.load(); }

private:
    // With the lock held.
    void write(const char* bytes, size_t size);
    void writePending();
    void flushLate();
    // Tells a failure that a write of this thread met, with the lock released meanwhile.
    void tellFailure(std::unique_lock<platform::Monitor>& held);

    Failed onFailure_;
    Writer writer_;
    platform::Monitor monitor_;
    platform::Thread flusher_;
    // Room for a full buffer and the longest line after it.
    std::unique_ptr<char[]> buffer_;
    size_t pending_ = 0;
    int64_t firstPendingAt_ = 0;
    bool anyWritten_ = false;
    bool started_ = false;
    bool ending_ = false;
    std::atomic<bool> failed_{false};
    // The failure, until the thread that met it tells it.
    platform::WriteFailure failure_;
    bool untold_ = false;
};

}  // namespace tarvel::host
