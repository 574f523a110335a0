// The module file loaded, used for one search and unloaded again, cycle after cycle, as a file
// manager that loads its modules on demand does: every cycle delivers its lines, and after the
// first cycles neither the process's handles nor its private memory keep growing. Wine reports
// neither through the usual counters, so both are counted directly: handles from the system's
// handle list, private memory by walking the address space.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "search_world.h"
#include "shipped_files_windows.h"

namespace tarvel {
namespace {

using namespace tarvel::testing;

constexpr int kCycles = 200;
constexpr int kSettlingCycles = 20;
// What the process may gain over the cycles after the settling ones.
constexpr long kHandleGrowthBound = 0;
constexpr SIZE_T kPrivateGrowthBound = 256 * 1024;

// The entries of the system handle list (SystemHandleInformation, 16).
struct HandleEntry {
    USHORT processId;
    USHORT creatorBackTraceIndex;
    UCHAR objectType;
    UCHAR attributes;
    USHORT handle;
    PVOID object;
    ULONG grantedAccess;
};
struct HandleList {
    ULONG count;
    HandleEntry entries[1];
};
using QuerySystemInformation = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);

// The handles this process holds; -1 when they cannot be counted.
long handleCount() {
    const auto query = reinterpret_cast<QuerySystemInformation>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    if (query == nullptr) {
        return -1;
    }
    std::vector<BYTE> buffer(1 << 16);
    for (;;) {
        ULONG needed = 0;
        const LONG status = query(16, buffer.data(), ULONG(buffer.size()), &needed);
        if (status == LONG(0xC0000004)) {  // STATUS_INFO_LENGTH_MISMATCH
            buffer.resize(buffer.size() * 2);
            continue;
        }
        if (status < 0) {
            return -1;
        }
        break;
    }
    const auto* list = reinterpret_cast<const HandleList*>(buffer.data());
    const USHORT self = USHORT(GetCurrentProcessId());
    long count = 0;
    for (ULONG i = 0; i < list->count; ++i) {
        count += list->entries[i].processId == self ? 1 : 0;
    }
    return count;
}

// The committed private memory of the process, from a walk of its address space.
SIZE_T privateBytes() {
    SIZE_T total = 0;
    MEMORY_BASIC_INFORMATION region;
    for (const BYTE* address = nullptr;
         VirtualQuery(address, &region, sizeof region) == sizeof region;
         address = static_cast<const BYTE*>(region.BaseAddress) + region.RegionSize) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) {
            total += region.RegionSize;
        }
    }
    return total;
}

TEST(ModuleReload, TheMeasuresMove) {
    const long handles = handleCount();
    const SIZE_T memory = privateBytes();
    ASSERT_GT(handles, 0) << "the process's handles cannot be counted";
    std::vector<HANDLE> events;
    for (int i = 0; i < 10; ++i) {
        events.push_back(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    }
    const SIZE_T block = 4 << 20;
    void* committed = VirtualAlloc(nullptr, block, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    EXPECT_EQ(handles + 10, handleCount());
    EXPECT_GE(privateBytes(), memory + block);
    VirtualFree(committed, 0, MEM_RELEASE);
    for (HANDLE event : events) {
        CloseHandle(event);
    }
    EXPECT_EQ(handles, handleCount());
}

TEST(ModuleReload, EveryCycleDeliversItsLinesAndNothingKeepsGrowing) {
    const std::wstring file = testing::shippedFile(L"tarvel-search.dll");
    SearchWorld world;
    ASSERT_TRUE(world.ready());
    const std::vector<WString> paths{TARVEL_UTF16("C:\\one"), TARVEL_UTF16("C:\\two")};
    long settledHandles = 0;
    SIZE_T settledMemory = 0;
    for (int cycle = 0; cycle < kCycles; ++cycle) {
        world.reset();
        world.setTable(pathTable(paths));
        HMODULE module = LoadLibraryW(file.c_str());
        ASSERT_NE(nullptr, module) << "cycle " << cycle;
        const auto entry = reinterpret_cast<ModuleEntryFunction>(
            reinterpret_cast<void*>(GetProcAddress(module, "ModuleEntry")));
        ASSERT_NE(nullptr, entry);
        EXPECT_EQ(0, world.search(entry, TARVEL_UTF16("report"), 10));
        ASSERT_TRUE(FreeLibrary(module));
        ASSERT_EQ(nullptr, GetModuleHandleW(file.c_str())) << "the module stayed loaded";
        ASSERT_EQ(paths, world.host.lines) << "cycle " << cycle;
        ASSERT_EQ(std::vector<std::string>{}, world.leftovers()) << "cycle " << cycle;
        if (cycle + 1 == kSettlingCycles) {
            settledHandles = handleCount();
            settledMemory = privateBytes();
        }
    }
    const long handles = handleCount();
    const SIZE_T memory = privateBytes();
    std::printf(
        "load and unload: after %d cycles %ld handles, %zu private bytes; after %d "
        "cycles %ld handles, %zu private bytes\n",
        kSettlingCycles, settledHandles, size_t(settledMemory), kCycles, handles, size_t(memory));
    EXPECT_LE(handles - settledHandles, kHandleGrowthBound);
    EXPECT_LE(memory, settledMemory + kPrivateGrowthBound);
}

}  // namespace
}  // namespace tarvel
