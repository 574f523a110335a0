#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "apartment_probe.h"
#include "apartment_scope.h"
#include "host_records.h"

namespace tarvel {
namespace {

using testing::apartmentCalls;
using testing::ApartmentCalls;

// The file manager's numbers, written out here apart from the header that names them, so that a
// wrong constant there cannot agree with itself in the tests that use it.
static_assert(CommandInfo == 0 && CommandSearch == 10 && HostOutputLine == 3076 &&
              ModuleInfoValue == 1024);
static_assert(SearchApartment == 6);

const std::basic_string<WCHAR> kDescription =
    TARVEL_UTF16("Tarvel Windows Search Module  by the Tarvel team");

int32_t ignoreLine(HostAppInfo*, uint32_t, void*) {
    return 0;
}

struct Sentinel {
    static constexpr unsigned char kByte = 0xCC;
    std::vector<unsigned char> bytes = std::vector<unsigned char>(256, kByte);
    WCHAR* text() { return reinterpret_cast<WCHAR*>(bytes.data()); }
    bool untouchedFrom(size_t offset) const {
        for (size_t i = offset; i < bytes.size(); ++i) {
            if (bytes[i] != kByte) {
                return false;
            }
        }
        return true;
    }
};

bool apartmentEntered() {
    APTTYPE type;
    APTTYPEQUALIFIER qualifier;
    return SUCCEEDED(CoGetApartmentType(&type, &qualifier));
}

TEST(ModuleEntryInfo, AnswersKindZeroWithValueAndDescription) {
    Sentinel buffer;
    ModuleInfoRequest request{0, 0xCCCCCCCCu, buffer.text()};
    EXPECT_EQ(1, ModuleEntry(nullptr, CommandInfo, &request));
    EXPECT_EQ(1024u, request.value);
    const size_t bytes = (kDescription.size() + 1) * sizeof(WCHAR);
    EXPECT_EQ(0, std::memcmp(buffer.bytes.data(), kDescription.c_str(), bytes));
    EXPECT_TRUE(buffer.untouchedFrom(bytes)) << "wrote past the terminator";
    EXPECT_LT(kDescription.size() + 1, 64u);
    EXPECT_EQ(0u, kDescription.find(TARVEL_UTF16("Tarvel Windows Search Module  ")));
}

TEST(ModuleEntryInfo, DeclinesOtherKindsAndWritesNothing) {
    for (uint32_t kind : {1u, 2u, 0xFFFFFFFFu}) {
        Sentinel buffer;
        ModuleInfoRequest request{kind, 0xCCCCCCCCu, buffer.text()};
        EXPECT_EQ(0, ModuleEntry(nullptr, CommandInfo, &request));
        EXPECT_EQ(0xCCCCCCCCu, request.value);
        EXPECT_TRUE(buffer.untouchedFrom(0));
    }
}

TEST(ModuleEntryInfo, DeclinesMissingRecordOrBuffer) {
    EXPECT_EQ(0, ModuleEntry(nullptr, CommandInfo, nullptr));
    ModuleInfoRequest request{0, 0xCCCCCCCCu, nullptr};
    EXPECT_EQ(0, ModuleEntry(nullptr, CommandInfo, &request));
    EXPECT_EQ(0xCCCCCCCCu, request.value);
}

TEST(ModuleEntryCommands, UnknownCommandsReturnZeroAndTouchNothing) {
    HostAppInfo info{ignoreLine};
    const ApartmentCalls before = apartmentCalls();
    for (uint32_t command : {1u, 2u, 5u, 9u, 11u, 12u, 3076u, 0xFFFFFFFFu}) {
        Sentinel buffer;
        EXPECT_EQ(0, ModuleEntry(&info, command, buffer.bytes.data())) << command;
        EXPECT_TRUE(buffer.untouchedFrom(0)) << command;
    }
    const ApartmentCalls after = apartmentCalls();
    EXPECT_EQ(before.initialize, after.initialize);
    EXPECT_EQ(before.uninitialize, after.uninitialize);
}

TEST(ModuleEntrySearch, EmptyQueryIsDeclinedWithoutCom) {
    int calls = 0;
    struct Host {
        HostAppInfo info;
        int* calls;
    } host{{[](HostAppInfo* info, uint32_t, void*) -> int32_t {
               ++*reinterpret_cast<Host*>(info)->calls;
               return 0;
           }},
           &calls};
    const WCHAR empty[] = {0};
    SearchRequest request{empty, 0, 10};
    const ApartmentCalls before = apartmentCalls();
    EXPECT_EQ(0, ModuleEntry(&host.info, CommandSearch, &request));
    const ApartmentCalls after = apartmentCalls();
    EXPECT_EQ(before.initialize, after.initialize);
    EXPECT_EQ(before.uninitialize, after.uninitialize);
    EXPECT_EQ(0, calls);
    EXPECT_FALSE(apartmentEntered());
}

TEST(ModuleEntrySearch, MissingRecordQueryOrCallbackIsDeclined) {
    HostAppInfo info{ignoreLine};
    HostAppInfo silent{nullptr};
    SearchRequest noQuery{nullptr, 0, 10};
    SearchRequest request{TARVEL_UTF16("report"), 0, 10};
    const ApartmentCalls before = apartmentCalls();
    EXPECT_EQ(0, ModuleEntry(&info, CommandSearch, nullptr));
    EXPECT_EQ(0, ModuleEntry(&info, CommandSearch, &noQuery));
    EXPECT_EQ(0, ModuleEntry(nullptr, CommandSearch, &request));
    EXPECT_EQ(0, ModuleEntry(&silent, CommandSearch, &request));
    const ApartmentCalls after = apartmentCalls();
    EXPECT_EQ(before.initialize, after.initialize);
}

TEST(ModuleEntrySearch, EntersAndLeavesASingleThreadedApartment) {
    HostAppInfo info{ignoreLine};
    SearchRequest request{TARVEL_UTF16("report"), 0, 10};
    ASSERT_FALSE(apartmentEntered());
    const ApartmentCalls before = apartmentCalls();
    ASSERT_GE(before.initialize, 0) << "the apartment calls cannot be counted";
    EXPECT_EQ(0, ModuleEntry(&info, CommandSearch, &request));
    const ApartmentCalls after = apartmentCalls();
    EXPECT_EQ(before.initialize + 1, after.initialize);
    EXPECT_EQ(before.uninitialize + 1, after.uninitialize);
    EXPECT_FALSE(apartmentEntered());
    // The module left no apartment of its own model behind: the thread can become MTA.
    EXPECT_EQ(S_OK, CoInitializeEx(nullptr, COINIT_MULTITHREADED));
    CoUninitialize();
}

TEST(ModuleEntrySearch, NestsInAnExistingSingleThreadedApartment) {
    HostAppInfo info{ignoreLine};
    SearchRequest request{TARVEL_UTF16("report"), 0, 10};
    ASSERT_EQ(S_OK, CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    const ApartmentCalls before = apartmentCalls();
    EXPECT_EQ(0, ModuleEntry(&info, CommandSearch, &request));
    const ApartmentCalls after = apartmentCalls();
    EXPECT_EQ(before.initialize + 1, after.initialize);
    EXPECT_EQ(before.uninitialize + 1, after.uninitialize);
    // Still in the host's apartment, and exactly one level deep.
    EXPECT_TRUE(apartmentEntered());
    CoUninitialize();
    EXPECT_FALSE(apartmentEntered());
}

TEST(ModuleEntrySearch, SearchesInTheHostsMultithreadedApartmentAndLeavesIt) {
    HostAppInfo info{ignoreLine};
    SearchRequest request{TARVEL_UTF16("report"), 0, 10};
    ASSERT_EQ(S_OK, CoInitializeEx(nullptr, COINIT_MULTITHREADED));
    const ApartmentCalls before = apartmentCalls();
    EXPECT_EQ(0, ModuleEntry(&info, CommandSearch, &request));
    const ApartmentCalls after = apartmentCalls();
    EXPECT_EQ(before.initialize + 1, after.initialize);
    EXPECT_EQ(before.uninitialize, after.uninitialize) << "left an apartment it did not enter";
    // The host's apartment is as it was: one level deep, multithreaded.
    APTTYPE type;
    APTTYPEQUALIFIER qualifier;
    ASSERT_EQ(S_OK, CoGetApartmentType(&type, &qualifier));
    EXPECT_EQ(APTTYPE_MTA, type);
    EXPECT_EQ(S_FALSE, CoInitializeEx(nullptr, COINIT_MULTITHREADED));
    CoUninitialize();
    CoUninitialize();
    EXPECT_FALSE(apartmentEntered());
}

}  // namespace
}  // namespace tarvel
