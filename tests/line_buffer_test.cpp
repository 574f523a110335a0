#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "line_buffer.h"
#include "module_allocator_probe.h"

namespace tarvel {
namespace {

using Text = std::basic_string<WCHAR>;
using testing::ModuleAllocatorProbe;

Text repeated(WCHAR unit, size_t count) {
    return Text(count, unit);
}

Text lineOf(LineBuffer& line) {
    return Text(line.text());
}

TEST(LineBufferTest, PiecesOfAnyLengthUpTo32767UnitsArriveWhole) {
    for (size_t length : {0u, 1u, 1023u, 1024u, 4095u, 4096u, 32767u}) {
        LineBuffer line;
        const Text piece = repeated(u'a', length);
        line.append(piece.c_str());
        EXPECT_TRUE(line.whole()) << length;
        EXPECT_EQ(piece, lineOf(line)) << length;
    }
}

TEST(LineBufferTest, ALongerLineIsNotWholeAndNothingIsCut) {
    for (size_t length : {32768u, 40000u}) {
        LineBuffer line;
        line.append(repeated(u'b', length).c_str());
        EXPECT_FALSE(line.whole()) << length;
    }
    // Pieces beyond the inline room join whole, a non-BMP character across the growth too;
    // the room ends exactly with the longest line.
    const Text pair{WCHAR(0xD83D), WCHAR(0xDE00)};
    LineBuffer line;
    line.append((repeated(u'x', 4094) + pair).c_str());
    line.append(repeated(u'y', 32767 - 4096).c_str());
    EXPECT_TRUE(line.whole());
    EXPECT_EQ(repeated(u'x', 4094) + pair + repeated(u'y', 32767 - 4096), lineOf(line));
    line.append(TARVEL_UTF16("z"));
    EXPECT_FALSE(line.whole()) << "one unit more than the longest line";
    line.clear();
    line.append(TARVEL_UTF16("short"));
    EXPECT_EQ(Text(TARVEL_UTF16("short")), lineOf(line)) << "the next row starts afresh";
}

TEST(LineBufferTest, TheRoomForLongLinesIsTakenOnceOrTheLongLinesAreErrors) {
    const long blocks = ModuleAllocatorProbe::liveBlocks();
    for (long fail : {0, 1}) {
        LineBuffer line;
        const long before = ModuleAllocatorProbe::allocationCount();
        ModuleAllocatorProbe::failAllocation(fail);
        for (int row = 0; row < 3; ++row) {
            line.clear();
            line.append(repeated(u'c', 5000).c_str());
            EXPECT_EQ(fail == 0, line.whole()) << fail;
            line.clear();
            line.append(TARVEL_UTF16("short"));
            EXPECT_TRUE(line.whole()) << "a short line is whole whatever became of the room";
        }
        ModuleAllocatorProbe::failAllocation(0);
        EXPECT_EQ(1, ModuleAllocatorProbe::allocationCount() - before) << "once a search";
    }
    EXPECT_EQ(blocks, ModuleAllocatorProbe::liveBlocks());
}

TEST(LineBufferTest, APieceThatEndsWhereTheRoomEndsIsWhole) {
    // The text ends exactly at the end of the inline room: no more room is taken. The same
    // with a field of exactly that length and no terminator, and with a field larger than the
    // room whose text, terminated, just fills it.
    const Text ending = repeated(u'b', 9) + WCHAR(0xD83D);
    const Text field = ending + WCHAR(u'x');
    const Text larger = ending + WCHAR(0) + repeated(u'y', 9);
    const long before = ModuleAllocatorProbe::allocationCount();
    for (const auto& [piece, limit] :
         {std::pair{ending, ending.size()}, std::pair{field, ending.size()},
          std::pair{larger, larger.size()}}) {
        LineBuffer line;
        line.append(repeated(u'a', 4085).c_str());
        line.append(piece.c_str(), limit);
        EXPECT_EQ(repeated(u'a', 4085) + ending, lineOf(line));
    }
    EXPECT_EQ(before, ModuleAllocatorProbe::allocationCount());
}

TEST(LineBufferTest, AppendStopsAtTheTerminatorOrTheLimit) {
    LineBuffer line;
    const WCHAR unterminated[4] = {u'a', u'b', u'c', u'd'};
    line.append(unterminated, 3);
    line.append(TARVEL_UTF16("e\0f"), 4);
    EXPECT_EQ(Text(TARVEL_UTF16("abce")), lineOf(line));
    line.clear();
    EXPECT_EQ(Text(), lineOf(line));
}

TEST(LineBufferTest, TerminatorAndLimitAreHonouredAtEveryPositionOfACopiedBlock) {
    // The copy moves eight units at a time; every position of the terminator and of the limit
    // within and around such a block must give the same result as a copy unit by unit.
    for (size_t length = 0; length < 40; ++length) {
        for (size_t limit = 0; limit < 42; ++limit) {
            Text source = repeated(u'k', length);
            source.push_back(0);
            source += TARVEL_UTF16("after");  // must never be copied
            source.resize(std::max<size_t>(source.size(), limit), u'x');
            LineBuffer line;
            line.append(TARVEL_UTF16("<"));
            line.append(source.c_str(), limit);
            const Text expected = Text(TARVEL_UTF16("<")) + repeated(u'k', std::min(length, limit));
            ASSERT_EQ(expected, lineOf(line)) << length << " " << limit;
        }
    }
}

TEST(LineBufferTest, UnhandledTypeMessageShowsTheTypeAsUnsigned) {
    LineBuffer line;
    line.appendUnhandledType(129);
    line.appendUnhandledType(DBTYPE(0x8000 | 12));
    EXPECT_EQ(Text(TARVEL_UTF16("(Unhandled database type 129)(Unhandled database type 32780)")),
              lineOf(line));
}

}  // namespace
}  // namespace tarvel
