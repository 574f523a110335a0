// Everything a whole search meets, scripted: the search manager with its query helper, a
// data-initialization service and the provider, whose command yields a table the test sets.
// The host's callback copies each line and notes it in the journal, so that lines and calls
// can be checked in one sequence. After a test every object, row, accessor, chapter and block
// must be gone.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "fake_provider.h"
#include "host_records.h"
#include "instrumentation.h"
#include "memory_ledger.h"
#include "module_allocator_probe.h"
#include "platform_support.h"
#include "table_helpers.h"
#include "watched_search.h"

namespace tarvel::testing {

using service::FakeRowset;
using service::MemoryLedger;
using service::TableRowset;

constexpr char kSql[] = "SELECT System.ItemPathDisplay FROM SystemIndex";

struct CapturingHost {
    HostAppInfo info{&CapturingHost::receive};
    std::vector<WString> lines;
    Instrumentation* journal = nullptr;
    std::vector<std::string> problems;
    // The instrumented call count when each line arrived.
    std::vector<long> callsBeforeLine;
    // Where each line lay when it was handed over.
    std::vector<const void*> lineAddresses;

    static int32_t receive(HostAppInfo* info, uint32_t request, void* data);
};

struct SearchWorldOptions {
    // The platform's own data-initialization service (oledb32 on Windows) opens the provider,
    // found by its ProgID, instead of the scripted one.
    bool platformService = false;
    // With platformService: the ProgID is already registered, once for every world of the
    // process (see registerProviderProgId), as worlds on several threads need.
    bool progIdRegistered = false;
    // The model of the apartment the world's thread enters.
    DWORD apartment = COINIT_APARTMENTTHREADED;
    // The world serves its own search manager; otherwise COM finds the one registered for the
    // machine, such as the out-of-process server under Wine.
    bool searchManager = true;
};

// Each world belongs to the thread that makes it: it enters that thread's apartment and
// registers its class objects there, where COM finds them. Worlds on several threads at once
// share nothing.
class SearchWorld {
public:
    explicit SearchWorld(bool platformService = false);
    explicit SearchWorld(const SearchWorldOptions& options);
    ~SearchWorld();
    SearchWorld(const SearchWorld&) = delete;
    SearchWorld& operator=(const SearchWorld&) = delete;

    // The table the command yields; null yields no rowset.
    void setTable(Table table);
    // Back to the state of a new world, without doing the set-up again: for the fuzzer, which
    // searches a world a million times.
    void reset();

    // Whether every registration of the set-up took; leftovers() names what did not.
    bool ready() const { return setupProblems_.empty(); }
    // Runs a search through ModuleEntry and returns what it returned; -1, without a search,
    // when the set-up failed.
    int32_t search(const WCHAR* query = TARVEL_UTF16("report"), int32_t maxResults = 10);
    // The same through another copy of the module, such as the module file loaded on its own.
    int32_t search(ModuleEntryFunction entry, const WCHAR* query, int32_t maxResults);
    // Problems left after the search: objects with references, held rows, accessors and
    // chapters, unfreed or twice-freed blocks, module blocks, errors the fakes recorded.
    std::vector<std::string> leftovers() const;

    Instrumentation instrumentation;
    service::SearchServiceConfig searchConfig;
    service::FakeProvider provider;
    service::ProviderConfig& providerConfig = provider.config;
    service::Quirks& quirks = provider.quirks;
    CapturingHost host;
    MemoryLedger ledger;

private:
    void require(const char* step, HRESULT hr);
    void configure();

    std::vector<std::string> setupProblems_;
    service::WatchedSearch search_{&instrumentation, &searchConfig};
    std::shared_ptr<const service::Table> table_;
    service::ClassRegistration registration_;
    long moduleBlocks_ = 0;
    bool entered_ = false;
    platform::ProgIdRegistration progId_;
};

// Registers the stand-in provider under its ProgID for as long as the holder lives.
HRESULT registerProviderProgId(platform::ProgIdRegistration& registration);

// The columns of a table: each WSTR of the given reported size.
Table pathTable(std::vector<WString> paths, DBLENGTH size = 260);
std::string narrowText(const WString& text);

}  // namespace tarvel::testing
