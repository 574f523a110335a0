#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "result_output.h"

namespace tarvel {
namespace {

using host::ResultOutput;

// What the output wrote, readable from the test's thread while the flusher writes.
struct Sink {
    std::string bytes;
    std::atomic<int> writes{0};
    bool fails = false;
    std::vector<std::string> failures;
    // Runs as a failure is told: the output is free to use by then.
    std::function<void()> onFailure;

    ResultOutput::Writer writer() {
        return [this](const char* out, size_t size, platform::WriteFailure* failure) {
            if (fails) {
                failure->reason = "No space left on device";
            } else {
                bytes.append(out, size);
            }
            ++writes;
            return !fails;
        };
    }
    ResultOutput::Failed failed() {
        return [this](const platform::WriteFailure& failure) {
            failures.push_back(failure.reason);
            if (onFailure) {
                onFailure();
            }
        };
    }
};

TEST(ResultOutput, LinesGoOutWholeInFewWrites) {
    Sink sink;
    std::string expected;
    {
        ResultOutput output(sink.failed(), sink.writer());
        const std::basic_string<WCHAR> line(99, u'p');
        for (int i = 0; i < 3000; ++i) {
            EXPECT_TRUE(output.addLine(line.c_str()));
            expected += std::string(99, 'p') + "\n";
        }
        EXPECT_GE(sink.writes.load(), 4) << "the buffer goes out as it fills";
        // Longer than any line of the module's, and still whole.
        EXPECT_TRUE(output.addLine(std::basic_string<WCHAR>(40000, u'\u00e9').c_str()));
        for (int i = 0; i < 40000; ++i) {
            expected += "\xc3\xa9";
        }
        expected += "\n";
        EXPECT_TRUE(output.finish());
    }
    EXPECT_EQ(expected, sink.bytes);
    EXPECT_LT(sink.writes.load(), 30) << "not a write for each line";
    EXPECT_TRUE(sink.failures.empty());
}

TEST(ResultOutput, TheFirstLineGoesOutAtOnceAndALaterOneBeforeTheSearchEnds) {
    Sink sink;
    ResultOutput output(sink.failed(), sink.writer());
    output.addLine(TARVEL_UTF16("first \u00e9"));
    EXPECT_EQ(1, sink.writes.load());
    output.addLine(TARVEL_UTF16("second"));
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (sink.writes.load() == 1 && std::chrono::steady_clock::now() < limit) {
    }
    ASSERT_EQ(2, sink.writes.load());
    EXPECT_EQ("first \xc3\xa9\nsecond\n", sink.bytes);
    EXPECT_TRUE(output.finish());
    EXPECT_EQ(2, sink.writes.load()) << "nothing was left to write";
}

TEST(ResultOutput, TheFirstFailedWriteEndsTheOutputAndIsToldOnce) {
    Sink sink;
    sink.fails = true;
    ResultOutput output(sink.failed(), sink.writer());
    const std::basic_string<WCHAR> line(999, u'q');
    bool refusedInside = false;
    sink.onFailure = [&] { refusedInside = !output.addLine(line.c_str()); };
    int accepted = 0;
    while (output.addLine(line.c_str()) && accepted < 1000) {
        ++accepted;
    }
    EXPECT_EQ(0, accepted) << "the first line met the failure";
    EXPECT_FALSE(output.addLine(line.c_str()));
    EXPECT_FALSE(output.finish());
    EXPECT_EQ(1, sink.writes.load());
    EXPECT_EQ(std::vector<std::string>{"No space left on device"}, sink.failures);
    EXPECT_TRUE(refusedInside);
}

}  // namespace
}  // namespace tarvel
