#include "search_world.h"

#include "platform_support.h"
#include "scripted_data_initialize.h"

namespace tarvel::testing {

namespace {

// Each thread searches its own world.
thread_local CapturingHost* searching = nullptr;
thread_local std::vector<std::string> strayCalls;

}  // namespace

int32_t CapturingHost::receive(HostAppInfo* info, uint32_t request, void* data) {
    if (searching == nullptr || info != &searching->info) {
        strayCalls.push_back("a callback without the host's record");
        return 0;
    }
    auto* host = searching;
    if (request != HostOutputLine) {
        host->problems.push_back("request code " + std::to_string(request));
        return 0;
    }
    const auto* line = static_cast<const WCHAR*>(data);
    size_t length = 0;
    while (length < 32768 && line[length] != 0) {
        ++length;
    }
    if (length > 32767) {
        host->problems.push_back("line without a terminator in 32768 units");
    }
    host->lines.emplace_back(line, length);
    host->lineAddresses.push_back(line);
    host->callsBeforeLine.push_back(host->journal != nullptr ? host->journal->callCount() : 0);
    if (host->journal != nullptr) {
        host->journal->note("HostCallback(" + service::narrow(line, std::min<size_t>(length, 60)) +
                            ")");
    }
    return 0;
}

namespace {

const WCHAR kProviderProgId[] = TARVEL_UTF16("Search.CollatorDSO.1");

}  // namespace

SearchWorld::SearchWorld(bool platformService)
    : SearchWorld(SearchWorldOptions{platformService, false, COINIT_APARTMENTTHREADED, true}) {}

SearchWorld::SearchWorld(const SearchWorldOptions& options) {
    const bool platformService = options.platformService;
    host.journal = &instrumentation;
    provider.watch = &instrumentation;
    ledger.journalFreesTo(&instrumentation);
    const HRESULT apartment = CoInitializeEx(nullptr, options.apartment);
    entered_ = SUCCEEDED(apartment);
    require("entering the apartment", apartment);
    if (!ledger.watching()) {
        setupProblems_.push_back("set-up failed: the memory ledger is not watching");
    }
    configure();
    if (options.searchManager) {
        require("registering the search manager",
                service::registerWatched(registration_, CLSID_CSearchManager, CLSCTX_LOCAL_SERVER,
                                         &instrumentation, service::WatchedSearch::make, &search_));
    }
    if (platformService) {
        require("registering the provider",
                service::registerWatched(registration_, service::CLSID_StandInProvider,
                                         CLSCTX_INPROC_SERVER, &instrumentation,
                                         service::FakeProvider::make, &provider));
        if (!options.progIdRegistered) {
            require("registering the provider's ProgID",
                    progId_.add(kProviderProgId, service::CLSID_StandInProvider));
        }
    } else {
        require("registering the data-initialization service",
                service::registerWatched(registration_, CLSID_MSDAINITIALIZE, CLSCTX_INPROC_SERVER,
                                         &instrumentation, service::ScriptedDataInitialize::make,
                                         &provider));
    }
}

void SearchWorld::configure() {
    moduleBlocks_ = ModuleAllocatorProbe::liveBlocks();
    searchConfig.generator = [](const WString&, const service::QueryHelperSettings&, WString& sql) {
        sql.assign(kSql, kSql + sizeof kSql - 1);
        return S_OK;
    };
    providerConfig.backend = [this](const WString&, std::shared_ptr<const service::Table>& table) {
        table = table_;
        return S_OK;
    };
    providerConfig.initialize = {};
    quirks = service::Quirks{};
}

void SearchWorld::reset() {
    ModuleAllocatorProbe::failAllocation(0);
    instrumentation.reset();
    ledger.reset();
    host.lines.clear();
    host.problems.clear();
    host.callsBeforeLine.clear();
    host.lineAddresses.clear();
    strayCalls.clear();
    table_.reset();
    configure();
}

void SearchWorld::require(const char* step, HRESULT hr) {
    if (FAILED(hr)) {
        setupProblems_.push_back(std::string("set-up failed: ") + step + " " +
                                 service::hresultText(hr));
    }
}

SearchWorld::~SearchWorld() {
    ModuleAllocatorProbe::failAllocation(0);
    registration_.revoke();
    progId_.remove();
    if (entered_) {
        CoUninitialize();
    }
}

HRESULT registerProviderProgId(platform::ProgIdRegistration& registration) {
    return registration.add(kProviderProgId, service::CLSID_StandInProvider);
}

void SearchWorld::setTable(Table table) {
    table_ = service::serve(std::move(table));
}

int32_t SearchWorld::search(const WCHAR* query, int32_t maxResults) {
    return search(&ModuleEntry, query, maxResults);
}

int32_t SearchWorld::search(ModuleEntryFunction entry, const WCHAR* query, int32_t maxResults) {
    // A search in a world that is not there would prove nothing, least of all that nothing
    // is delivered.
    if (!ready()) {
        return -1;
    }
    SearchRequest request{query, 0, maxResults};
    searching = &host;
    const int32_t result = entry(&host.info, CommandSearch, &request);
    searching = nullptr;
    return result;
}

std::vector<std::string> SearchWorld::leftovers() const {
    std::vector<std::string> problems = setupProblems_;
    problems.insert(problems.end(), instrumentation.errors().begin(),
                    instrumentation.errors().end());
    for (const std::string& live : instrumentation.liveObjects()) {
        problems.push_back("references left: " + live);
    }
    for (const service::Watchable* object : instrumentation.objects()) {
        if (const auto* rowset = dynamic_cast<const FakeRowset*>(object)) {
            if (rowset->outstandingRows() != 0) {
                problems.push_back("rows held: " + std::to_string(rowset->outstandingRows()));
            }
            if (rowset->outstandingAccessors() != 0) {
                problems.push_back("accessors held: " +
                                   std::to_string(rowset->outstandingAccessors()));
            }
            if (rowset->outstandingChapters() != 0) {
                problems.push_back("chapters held: " +
                                   std::to_string(rowset->outstandingChapters()));
            }
        }
    }
    for (const std::string& block : ledger.unfreed()) {
        problems.push_back("not freed: " + block);
    }
    for (const std::string& block : ledger.freedTwice()) {
        problems.push_back("freed twice: " + block);
    }
    if (ModuleAllocatorProbe::liveBlocks() != moduleBlocks_) {
        problems.push_back("module blocks left: " +
                           std::to_string(ModuleAllocatorProbe::liveBlocks() - moduleBlocks_));
    }
    for (const std::string& problem : host.problems) {
        problems.push_back("host: " + problem);
    }
    for (const std::string& stray : strayCalls) {
        problems.push_back("host: " + stray);
    }
    return problems;
}

Table pathTable(std::vector<WString> paths, DBLENGTH size) {
    Table table;
    TableColumn path;
    path.name = TARVEL_UTF16("System.ItemPathDisplay");
    path.ordinal = 1;
    path.type = DBTYPE_WSTR;
    path.size = size;
    table.columns.push_back(path);
    for (WString& text : paths) {
        table.rows.push_back({Cell::ofText(std::move(text))});
    }
    return table;
}

std::string narrowText(const WString& text) {
    return service::narrow(text.c_str());
}

}  // namespace tarvel::testing
