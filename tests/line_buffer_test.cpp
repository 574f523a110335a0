#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "line_buffer.h"

namespace tarvel {
namespace {

using Text = std::basic_string<WCHAR>;

Text repeated(WCHAR unit, size_t count) {
    return Text(count, unit);
}

Text lineOf(LineBuffer& line) {
    return Text(line.text());
}

TEST(LineBufferTest, PiecesOfAnyLengthArriveWholeWhileTheyFit) {
    for (size_t length : {0u, 1u, 1023u, 1024u, 1500u, 4095u}) {
        LineBuffer line;
        const Text piece = repeated(u'a', length);
        line.append(piece.c_str());
        EXPECT_EQ(piece, lineOf(line)) << length;
        EXPECT_EQ(length, line.length());
    }
}

TEST(LineBufferTest, ALongerLineIsCutAt4095Units) {
    for (size_t length : {4096u, 40000u}) {
        LineBuffer line;
        line.append(repeated(u'b', length).c_str());
        EXPECT_EQ(repeated(u'b', 4095), lineOf(line)) << length;
    }
}

TEST(LineBufferTest, PiecesAreJoinedAndTheCutFallsInTheLastThatDoesNotFit) {
    LineBuffer line;
    line.append(repeated(u'x', 2000).c_str());
    line.append(repeated(u'y', 2000).c_str());
    line.append(repeated(u'z', 2000).c_str());
    line.append(TARVEL_UTF16("after the cut"));
    EXPECT_EQ(repeated(u'x', 2000) + repeated(u'y', 2000) + repeated(u'z', 95), lineOf(line));
}

TEST(LineBufferTest, TheCutNeverSplitsASurrogatePair) {
    const Text pair{WCHAR(0xD83D), WCHAR(0xDE00)};
    LineBuffer split;
    split.append((repeated(u'a', 4094) + pair).c_str());
    EXPECT_EQ(repeated(u'a', 4094), lineOf(split)) << "the high half alone is dropped";
    split.append(TARVEL_UTF16("b"));
    EXPECT_EQ(4094u, split.length()) << "nothing follows a cut";

    LineBuffer fits;
    fits.append((repeated(u'a', 4093) + pair).c_str());
    EXPECT_EQ(repeated(u'a', 4093) + pair, lineOf(fits));
}

TEST(LineBufferTest, TheCutKnowsEveryHighSurrogateAndNoOtherUnit) {
    // The first and last high surrogates are dropped at the cut; a low surrogate, or the unit
    // just past the high range, is an ordinary last unit.
    for (WCHAR last : {WCHAR(0xD800), WCHAR(0xDBFF), WCHAR(0xDC00), WCHAR(0xD7FF)}) {
        const bool high = last >= 0xD800 && last <= 0xDBFF;
        LineBuffer line;
        line.append((repeated(u'a', 4094) + last + WCHAR(0xDC01) + WCHAR(u'z')).c_str());
        EXPECT_EQ(high ? repeated(u'a', 4094) : repeated(u'a', 4094) + last, lineOf(line))
            << std::hex << int(last);
    }
    // Room for one unit only, and a pair next: the line ends without its high half.
    LineBuffer tight;
    tight.append(repeated(u'a', 4094).c_str());
    tight.append(Text{WCHAR(0xD83D), WCHAR(0xDE00)}.c_str());
    EXPECT_EQ(repeated(u'a', 4094), lineOf(tight));
}

TEST(LineBufferTest, APieceThatEndsWhereTheRoomEndsIsNoCut) {
    // The text ends exactly at the end of the room: nothing is cut, not even a high surrogate
    // that the piece itself ends with.
    const Text ending = repeated(u'b', 9) + WCHAR(0xD83D);
    LineBuffer terminated;
    terminated.append(repeated(u'a', 4085).c_str());
    terminated.append(ending.c_str());
    EXPECT_EQ(repeated(u'a', 4085) + ending, lineOf(terminated));
    // The same with a field of exactly that length and no terminator: the units after the
    // field are no part of the piece.
    const Text field = ending + WCHAR(u'x');
    LineBuffer bounded;
    bounded.append(repeated(u'a', 4085).c_str());
    bounded.append(field.c_str(), ending.size());
    EXPECT_EQ(repeated(u'a', 4085) + ending, lineOf(bounded));
    // A field larger than the room whose text, terminated, just fills it.
    const Text larger = ending + WCHAR(0) + repeated(u'y', 9);
    LineBuffer filled;
    filled.append(repeated(u'a', 4085).c_str());
    filled.append(larger.c_str(), larger.size());
    EXPECT_EQ(repeated(u'a', 4085) + ending, lineOf(filled));
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
