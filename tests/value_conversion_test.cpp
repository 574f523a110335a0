// The stand-in provider's value conversion, byte by byte: the test world's answers are only as
// good as these.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "value_conversion.h"

namespace tarvel {
namespace {

using service::Cell;
using service::WString;
using namespace service;

// What a cell holds, as the conversions take it.
Value valueIn(const Cell& cell) {
    Value holder;
    return valueOf(cell, holder);
}

constexpr BYTE kSentinel = 0xCC;

TEST(ValueConversion, FixedLengthTypesTakeTheirPublishedSizes) {
    struct Case {
        DBTYPE type;
        DBLENGTH size;
    };
    // The sizes the OLE DB documentation gives, written out rather than derived.
    const Case cases[] = {
        {DBTYPE_I1, 1},        {DBTYPE_UI1, 1},      {DBTYPE_I2, 2},
        {DBTYPE_UI2, 2},       {DBTYPE_BOOL, 2},     {DBTYPE_I4, 4},
        {DBTYPE_UI4, 4},       {DBTYPE_R4, 4},       {DBTYPE_ERROR, 4},
        {DBTYPE_DBDATE, 6},    {DBTYPE_DBTIME, 6},   {DBTYPE_I8, 8},
        {DBTYPE_UI8, 8},       {DBTYPE_R8, 8},       {DBTYPE_CY, 8},
        {DBTYPE_DATE, 8},      {DBTYPE_FILETIME, 8}, {DBTYPE_BSTR, 8},
        {DBTYPE_IDISPATCH, 8}, {DBTYPE_IUNKNOWN, 8}, {DBTYPE_HCHAPTER, 8},
        {DBTYPE_DECIMAL, 16},  {DBTYPE_GUID, 16},    {DBTYPE_DBTIMESTAMP, 16},
        {DBTYPE_NUMERIC, 19},  {DBTYPE_VARIANT, 24}, {DBTYPE_PROPVARIANT, 24},
        {DBTYPE_WSTR, 0},      {DBTYPE_STR, 0},      {DBTYPE_BYTES, 0},
        {DBTYPE_UDT, 0},       {DBTYPE_EMPTY, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.size, service::fixedSize(c.type)) << c.type;
    }
    DBBINDING binding{};
    binding.cbMaxLen = 522;
    binding.wType = DBTYPE_WSTR;
    EXPECT_EQ(522u, service::valueFieldSize(binding));
    binding.wType = DBTYPE_I4;
    EXPECT_EQ(4u, service::valueFieldSize(binding)) << "whatever cbMaxLen says";
    binding.wType = DBTYPE_BYREF | DBTYPE_WSTR;
    EXPECT_EQ(8u, service::valueFieldSize(binding));
    binding.wType = DBTYPE_VECTOR | DBTYPE_I2;
    EXPECT_EQ(16u, service::valueFieldSize(binding));
    binding.wType = DBTYPE_ARRAY | DBTYPE_BSTR;
    EXPECT_EQ(8u, service::valueFieldSize(binding));
}

// A field of sentinel bytes with room for size bytes and four more after it.
struct Field {
    explicit Field(size_t room) : bytes(room + 4, kSentinel), size(room) {}
    std::vector<BYTE> bytes;
    size_t size;
    DBLENGTH length = 0x5555;

    WString units(size_t count) const {
        WString text(count, 0);
        std::memcpy(text.data(), bytes.data(), count * sizeof(WCHAR));
        return text;
    }
    bool untouchedFrom(size_t offset) const {
        for (size_t i = offset; i < bytes.size(); ++i) {
            if (bytes[i] != kSentinel) {
                return false;
            }
        }
        return true;
    }
};

TEST(ValueConversion, WideTextIsCutToItsFieldAndAlwaysTerminated) {
    const WString text = TARVEL_UTF16("C:\\abc");
    {
        Field field(14);  // the text and its terminator, exactly
        EXPECT_EQ(DWORD(DBSTATUS_S_OK),
                  service::writeWideText(text, field.size, field.bytes.data(), &field.length));
        EXPECT_EQ(text + WCHAR(0), field.units(7));
        EXPECT_EQ(12u, field.length);
        EXPECT_TRUE(field.untouchedFrom(14));
    }
    {
        Field field(9);  // four units and a stray byte
        EXPECT_EQ(DWORD(DBSTATUS_S_TRUNCATED),
                  service::writeWideText(text, field.size, field.bytes.data(), &field.length));
        EXPECT_EQ(WString(TARVEL_UTF16("C:\\")) + WCHAR(0), field.units(4));
        EXPECT_EQ(12u, field.length) << "the whole text's length";
        EXPECT_TRUE(field.untouchedFrom(8));
    }
    {
        Field field(1);
        EXPECT_EQ(DWORD(DBSTATUS_S_TRUNCATED),
                  service::writeWideText(text, field.size, field.bytes.data(), &field.length));
        EXPECT_TRUE(field.untouchedFrom(0));
    }
}

TEST(ValueConversion, NarrowTextReplacesWhatIsNotAscii) {
    Field field(8);
    const WString text = {u'a', WCHAR(0xE9), u'b', WCHAR(0x65E5), u'c'};
    EXPECT_EQ(DWORD(DBSTATUS_S_OK),
              service::writeNarrowText(text, field.size, field.bytes.data(), &field.length));
    EXPECT_EQ(0, std::memcmp("a?b?c", field.bytes.data(), 6));
    EXPECT_EQ(5u, field.length);
    EXPECT_TRUE(field.untouchedFrom(6));
    Field tight(3);
    EXPECT_EQ(DWORD(DBSTATUS_S_TRUNCATED),
              service::writeNarrowText(text, tight.size, tight.bytes.data(), &tight.length));
    EXPECT_EQ(0, std::memcmp("a?", tight.bytes.data(), 3));
}

TEST(ValueConversion, CellsAsTextAndAsFixedBytes) {
    WString text = TARVEL_UTF16("old");
    EXPECT_TRUE(service::textOf(valueIn(integerCell(-42)), text));
    EXPECT_EQ(WString(TARVEL_UTF16("-42")), text);
    EXPECT_TRUE(service::textOf(valueIn(nullTextCell()), text));
    EXPECT_EQ(WString(), text);
    EXPECT_FALSE(service::textOf(valueIn(Cell::null()), text));
    EXPECT_FALSE(service::textOf(valueIn(realCell(1.5)), text));

    std::vector<BYTE> bytes;
    ASSERT_TRUE(service::fixedBytes(valueIn(integerCell(3)), DBTYPE_R4, 4, bytes));
    float single = 0;
    std::memcpy(&single, bytes.data(), 4);
    EXPECT_EQ(3.0f, single);
    ASSERT_TRUE(service::fixedBytes(valueIn(integerCell(7)), DBTYPE_BOOL, 2, bytes));
    EXPECT_EQ((std::vector<BYTE>{0xFF, 0xFF}), bytes);
    ASSERT_TRUE(service::fixedBytes(valueIn(integerCell(0x0102)), DBTYPE_I2, 2, bytes));
    EXPECT_EQ((std::vector<BYTE>{0x02, 0x01}), bytes);
    ASSERT_TRUE(service::fixedBytes(valueIn(realCell(2.5)), DBTYPE_R8, 8, bytes));
    double twice = 0;
    std::memcpy(&twice, bytes.data(), 8);
    EXPECT_EQ(2.5, twice);
    ASSERT_TRUE(service::fixedBytes(valueIn(bytesCell({9, 8})), DBTYPE_GUID, 16, bytes));
    EXPECT_EQ(16u, bytes.size());
    EXPECT_EQ(9, bytes[0]);
    EXPECT_EQ(0, bytes[15]) << "short bytes are padded with zeros";
    EXPECT_FALSE(
        service::fixedBytes(valueIn(Cell::ofText(TARVEL_UTF16("x"))), DBTYPE_I4, 4, bytes));
}

}  // namespace
}  // namespace tarvel
