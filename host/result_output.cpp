#include "result_output.h"

#include <mutex>
#include <string>

namespace tarvel::host {

namespace {

// The longest line the module hands over, and its newline.
constexpr size_t kLongestLine = 32767 * kMostUtf8PerUnit + 1;

}  // namespace

ResultOutput::ResultOutput(Failed failed, Writer writer)
    : onFailure_(std::move(failed)),
      writer_(writer ? std::move(writer)
                     : [](const char* bytes, size_t size,
                          platform::WriteFailure*
                              failure) { return platform::writeOut(bytes, size, failure); }),
      buffer_(new char[kCapacity + kLongestLine]) {}

bool ResultOutput::addLine(const WCHAR* line) {
    size_t length = 0;
    while (line[length] != 0) {
        ++length;
    }
    std::unique_lock<platform::Monitor> held(monitor_);
    if (failed_) {
        return false;
    }
    if (length * kMostUtf8PerUnit + 1 > kLongestLine) {
        // Longer than any line of the module's: written on its own.
        writePending();
        const std::string bytes = platform::textForOutput(WString(line, length)) + "\n";
        write(bytes.data(), bytes.size());
        tellFailure(held);
        return !failed_;
    }
    const bool first = pending_ == 0;
    char* end = platform::putForOutput(buffer_.get() + pending_, line, length);
    *end++ = '\n';
    pending_ = size_t(end - buffer_.get());
    // The search's first line shows at once, whatever comes after it.
    if (pending_ >= kCapacity || !anyWritten_) {
        anyWritten_ = true;
        writePending();
    } else if (first) {
        firstPendingAt_ = platform::steadyMilliseconds();
        // The thread starts with the first line that waits: most searches never need it.
        if (!started_) {
            started_ = flusher_.start([this] { flushLate(); });
        }
        monitor_.notify();
    }
    tellFailure(held);
    return !failed_;
}

void ResultOutput::write(const char* bytes, size_t size) {
    if (size == 0 || failed_) {
        return;
    }
    if (!writer_(bytes, size, &failure_)) {
        failed_ = true;
        untold_ = true;
    }
}

void ResultOutput::tellFailure(std::unique_lock<platform::Monitor>& held) {
    if (!untold_) {
        return;
    }
    untold_ = false;
    const platform::WriteFailure failure = failure_;
    held.unlock();
    onFailure_(failure);
    held.lock();
}

void ResultOutput::writePending() {
    const size_t size = pending_;
    pending_ = 0;
    write(buffer_.get(), size);
}

void ResultOutput::flushLate() {
    std::unique_lock<platform::Monitor> held(monitor_);
    while (!ending_) {
        if (pending_ == 0) {
            monitor_.wait(-1);
            continue;
        }
        const int64_t wait = firstPendingAt_ + kLatest - platform::steadyMilliseconds();
        if (wait > 0) {
            monitor_.wait(wait);
        } else {
            writePending();
            tellFailure(held);
        }
    }
}

bool ResultOutput::finish() {
    {
        std::unique_lock<platform::Monitor> held(monitor_);
        writePending();
        ending_ = true;
        monitor_.notify();
        tellFailure(held);
    }
    flusher_.join();
    return !failed_;
}

}  // namespace tarvel::host
