#include <gtest/gtest.h>

#include "host_options.h"

namespace tarvel {
namespace {

using host::HostOptions;

std::vector<WString> words(std::initializer_list<const char*> list) {
    std::vector<WString> out;
    for (const char* word : list) {
        out.push_back(utf16FromUtf8(word));
    }
    return out;
}

HostOptions parsed(std::initializer_list<const char*> list, std::string* error = nullptr) {
    HostOptions options;
    std::string message;
    const bool ok = host::parseHostOptions(words(list), utf16FromUtf8("."), options, message);
    if (error != nullptr) {
        *error = ok ? "" : message;
    }
    return options;
}

TEST(HostOptions, QueryWordsAreJoinedAndDefaultsApply) {
    const HostOptions options = parsed({"annual", "report"});
    EXPECT_EQ(utf16FromUtf8("annual report"), options.query);
    EXPECT_EQ(-1, options.maxResults);
    EXPECT_EQ(utf16FromUtf8("."), options.index);
    EXPECT_TRUE(options.module.empty());
    EXPECT_FALSE(options.info);
}

TEST(HostOptions, OptionsTakeTheirValueInEitherForm) {
    const HostOptions options =
        parsed({"--max", "10", "--index=/data", "--module", "/m.so", "x", "--", "--max"});
    EXPECT_EQ(10, options.maxResults);
    EXPECT_EQ(utf16FromUtf8("/data"), options.index);
    EXPECT_EQ(utf16FromUtf8("/m.so"), options.module);
    EXPECT_EQ(utf16FromUtf8("x --max"), options.query);
    EXPECT_EQ(-2147483647 - 1, parsed({"--max=-2147483648", "x"}).maxResults);
    EXPECT_TRUE(parsed({"--info"}).info);
    EXPECT_TRUE(parsed({"-h"}).help);
    const HostOptions check = parsed({"--json", "--check", "d"});
    EXPECT_TRUE(check.check && check.json);
    EXPECT_EQ(utf16FromUtf8("d"), check.folder);
}

TEST(HostOptions, MistakesAreReported) {
    struct Case {
        std::initializer_list<const char*> arguments;
        const char* message;
    };
    const Case cases[] = {
        {{"--bogus", "x"}, "unknown option --bogus"},
        {{"--max"}, "--max needs a value"},
        {{"--max", "ten", "x"}, "--max needs a whole number, not 'ten'"},
        {{"--max", "2147483648", "x"},
         "--max is out of range (-2147483648 to 2147483647), not '2147483648'"},
        {{"--max", "-99999999999999999999", "x"},
         "--max is out of range (-2147483648 to 2147483647), not '-99999999999999999999'"},
        {{"--max", "-", "x"}, "--max needs a whole number, not '-'"},
        {{"--check", "--max", "3"}, "--max goes with a search, not with --check"},
        {{"--index=", "x"}, "--index needs a folder"},
        {{"--module", "", "x"}, "--module needs a file"},
        {{"--module="}, "--module needs a file"},
        {{"--max", "3"}, "no query given"},
        {{}, "no query given"},
        {{"--json", "x"}, "--json goes with --check"},
        {{"--info", "--check"}, "--info and --check are two things: give one"},
        {{"--info", "x"}, "--info takes no query"},
        {{"--index", "a", "--index=b", "x"}, "--index given twice"},
        {{"--check", "a", "b"}, "--check takes one folder"},
        {{"--check", ""}, "--check needs a folder"},
    };
    for (const Case& c : cases) {
        std::string error;
        parsed(c.arguments, &error);
        EXPECT_EQ(c.message, error);
    }
}

TEST(Utf, ConvertsBothWaysAndReplacesWhatIsIllFormed) {
    const std::string text = "a\xC3\xA9\xE6\x97\xA5\xF0\x9F\x98\x80";
    const WString wide = utf16FromUtf8(text);
    EXPECT_EQ((WString{u'a', 0xE9, 0x65E5, 0xD83D, 0xDE00}), wide);
    EXPECT_EQ(text, utf8FromUtf16(wide));
    EXPECT_EQ((WString{0xFFFD, u'x'}), utf16FromUtf8("\xFFx"));
    EXPECT_EQ((WString{0xFFFD}), utf16FromUtf8("\xE6\x97"));
    EXPECT_EQ((WString{0xFFFD}), utf16FromUtf8("\xC0\x80"));  // overlong
    EXPECT_EQ("\xEF\xBF\xBDz", utf8FromUtf16(WString{0xD800, u'z'}));
    EXPECT_EQ("\xEF\xBF\xBD", utf8FromUtf16(WString{0xDC00}));
}

TEST(Utf, FileNamesThatAreNoTextKeepTheirBytes) {
    // Each byte that is not UTF-8 becomes its own escape, and comes back as itself.
    const std::string names[] = {"bad\xff.txt", "bad\xfe.txt",  "\xE6\x97x",       "\xC0\x80",
                                 "ok \xC3\xA9", "\xED\xA0\x80", "\xF0\x9F\x98\x80"};
    for (const std::string& name : names) {
        EXPECT_EQ(name, fileNameFromUtf16(utf16FromFileName(name))) << name;
    }
    EXPECT_EQ((WString{u'b', u'a', u'd', 0xDCFF, u'.'}), utf16FromFileName("bad\xff."));
    EXPECT_EQ((WString{0xDCE6, 0xDC97, u'x'}), utf16FromFileName("\xE6\x97x"));
    EXPECT_NE(utf16FromFileName("bad\xff.txt"), utf16FromFileName("bad\xfe.txt"));
    // Well-formed names are plain UTF-16, and other lone surrogates still print replaced.
    EXPECT_EQ(utf16FromUtf8("ok \xC3\xA9"), utf16FromFileName("ok \xC3\xA9"));
    EXPECT_EQ("\xEF\xBF\xBD", fileNameFromUtf16(WString{0xDC00}));
}

}  // namespace
}  // namespace tarvel
