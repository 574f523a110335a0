#include "check_probes.h"

#include <algorithm>
#include <chrono>

#include "command.h"
#include "data_source.h"
#include "query_translator.h"
#include "search_run.h"
#include "session.h"

namespace tarvel::host {

namespace {

using Clock = std::chrono::steady_clock;

double milliseconds(Clock::duration span) {
    return std::chrono::duration<double, std::milli>(span).count();
}

bool isSeparator(WCHAR unit) {
    return unit == u'/' || unit == u'\\';
}

// A line that is the module's message for a column of a type it does not print, such as
// "(Unhandled database type 13)": what a path bound otherwise than as text gives.
bool unprintable(const WString& line) {
    static const WString message = utf16FromUtf8("(Unhandled database type ");
    return line.compare(0, message.size(), message) == 0;
}

// The host record of the check's search: it hands each line to the classification and notes
// when the first came.
struct CheckHost {
    HostAppInfo info{&CheckHost::receive};
    SearchFact* search = nullptr;
    Clock::time_point start;

    static int32_t receive(HostAppInfo* info, uint32_t request, void* data) {
        auto* host = reinterpret_cast<CheckHost*>(info);
        if (request != HostOutputLine || data == nullptr) {
            return 0;
        }
        SearchFact& search = *host->search;
        if (search.lines == 0) {
            search.firstLineMs = milliseconds(Clock::now() - host->start);
        }
        classifyLine(static_cast<const WCHAR*>(data), search);
        return 0;
    }
};

}  // namespace

ModuleFact probeModule(const WString& path, platform::ModuleLibrary& library) {
    ModuleFact module;
    module.path = path;
    module.loaded = library.load(path, &module.loadError);
    if (module.loaded) {
        module.exportsEntry = library.symbol("ModuleEntry") != nullptr;
        module.version = platform::fileVersion(path);
    }
    return module;
}

ManagerFact probeManager(ComPtr<ISearchManager>& manager) {
    ManagerFact fact;
    fact.created = createInstance(CLSID_CSearchManager, CLSCTX_LOCAL_SERVER, manager);
    if (FAILED(fact.created)) {
        return fact;
    }
    TaskMemPtr<WCHAR> version;
    fact.versioned = manager->GetIndexerVersionStr(version.put());
    if (SUCCEEDED(fact.versioned) && version) {
        fact.indexerVersion = version.get();
    }
    return fact;
}

CatalogFact probeCatalog(ISearchManager* manager, ComPtr<ISearchCatalogManager>& catalog) {
    CatalogFact fact;
    fact.opened = manager->GetCatalog(kSystemIndex, catalog.put());
    if (FAILED(fact.opened)) {
        return fact;
    }
    fact.statusRead = catalog->GetCatalogStatus(&fact.status, &fact.pausedReason);
    LONG items = 0;
    if (SUCCEEDED(catalog->NumberOfItems(&items))) {
        fact.items = items;
    }
    CatalogFact::Waiting waiting;
    if (SUCCEEDED(
            catalog->NumberOfItemsToIndex(&waiting.changed, &waiting.notified, &waiting.urgent))) {
        fact.waiting = waiting;
    }
    return fact;
}

FolderFact probeFolder(const WString& path, ISearchCatalogManager* catalog,
                       std::vector<WString>& files) {
    FolderFact fact;
    fact.path = path;
    fact.readable = platform::filesIn(path, files, &fact.readError);
    ComPtr<ISearchCrawlScopeManager> scope;
    fact.scopeAsked = catalog->GetCrawlScopeManager(scope.put());
    if (SUCCEEDED(fact.scopeAsked)) {
        const WString url = platform::folderUrl(path);
        BOOL included = FALSE;
        fact.scopeAsked = scope->IncludedInCrawlScopeEx(url.c_str(), &included, &fact.rule);
        fact.included = included != FALSE;
    }
    return fact;
}

void classifyLine(const WString& line, SearchFact& search) {
    const bool whole = platform::samePath(line, search.path);
    // A start of the path, cut anywhere but where an ancestor folder's path ends.
    const bool cut = !whole && !line.empty() && line.size() < search.path.size() &&
                     !isSeparator(search.path[line.size()]) &&
                     platform::samePath(line, search.path.substr(0, line.size()));
    const bool messages = unprintable(line);
    if (search.lines++ == 0) {
        search.outcome =
            messages ? SearchFact::Outcome::OnlyMessages : SearchFact::Outcome::NotBack;
    }
    if (whole) {
        search.outcome = SearchFact::Outcome::CameBack;
        search.sample.clear();
        return;
    }
    if (search.outcome == SearchFact::Outcome::CameBack) {
        return;
    }
    if (cut) {
        search.outcome = SearchFact::Outcome::CameBackCut;
        search.cutAt = std::max(search.cutAt, line.size());
    } else if (!messages && search.outcome == SearchFact::Outcome::OnlyMessages) {
        search.outcome = SearchFact::Outcome::NotBack;
    }
    if (search.sample.size() < 3) {
        search.sample.push_back(line);
    }
}

SearchFact probeSearch(ModuleEntryFunction entry, const WString& folder,
                       std::vector<WString> files) {
    SearchFact search;
    const bool anyFile = !files.empty();
    files.erase(
        std::remove_if(files.begin(), files.end(),
                       [](const WString& name) { return name.find(u'"') != WString::npos; }),
        files.end());
    if (files.empty()) {
        search.outcome =
            anyFile ? SearchFact::Outcome::NoSearchableName : SearchFact::Outcome::NoFile;
        return search;
    }
    search.file = *std::min_element(files.begin(), files.end());
    search.path = platform::childPath(folder, search.file);
    search.query = WCHAR(u'"') + search.file + WCHAR(u'"');
    // The module would deliver nothing for a query the helper rejects: the check asks first.
    TaskMemPtr<WCHAR> sql;
    search.rejected = QueryTranslator::translate(search.query.c_str(), sql.put(), -1);
    if (FAILED(search.rejected)) {
        search.outcome = SearchFact::Outcome::QueryRejected;
        return search;
    }
    search.outcome = SearchFact::Outcome::NotBack;
    CheckHost host;
    host.search = &search;
    SearchRequest request{search.query.c_str(), 0, -1};
    host.start = Clock::now();
    entry(&host.info, CommandSearch, &request);
    search.allMs = milliseconds(Clock::now() - host.start);
    search.rowset = describeRowset(sql.get());
    return search;
}

RowsetFact describeRowset(const WString& sql) {
    RowsetFact fact;
    auto failed = [&fact](HRESULT hr, const char* step) {
        fact.described = hr;
        fact.failedStep = step;
        return fact;
    };
    DataSource dataSource;
    HRESULT hr = dataSource.open(kSearchProviderString);
    if (FAILED(hr)) {
        return failed(hr, "opening the provider");
    }
    Session session;
    hr = session.open(dataSource);
    if (FAILED(hr)) {
        return failed(hr, "opening a session");
    }
    Command command(kSearchBlobHandling, kSearchBlobThreshold);
    hr = command.create(session, sql.c_str());
    if (SUCCEEDED(hr)) {
        hr = command.execute();
    }
    if (FAILED(hr)) {
        return failed(hr, "executing the search");
    }
    if (!command.results().isOpen()) {
        return failed(hr, "executing the search (no rowset)");
    }
    ComPtr<IColumnsInfo> info;
    hr = query(command.results().rows(), info);
    DBORDINAL count = 0;
    TaskMemPtr<DBCOLUMNINFO> columns;
    TaskMemPtr<OLECHAR> names;
    if (SUCCEEDED(hr)) {
        hr = info->GetColumnInfo(&count, columns.put(), names.put());
    }
    if (FAILED(hr)) {
        return failed(hr, "asking for the columns");
    }
    const DynamicAccessor& accessor = command.columns();
    for (DBORDINAL i = 0; columns && i < count; ++i) {
        const DBCOLUMNINFO& reported = columns[i];
        ColumnFact column;
        column.name = reported.pwszName != nullptr ? WString(reported.pwszName) : WString();
        column.reportedType = reported.wType;
        column.reportedSize = reported.ulColumnSize;
        column.flags = reported.dwFlags;
        DBORDINAL index = 0;
        if (accessor.findColumn(reported.iOrdinal, &index)) {
            column.boundType = accessor.typeAt(index);
            column.boundSize = accessor.valueSizeAt(index);
        }
        fact.columns.push_back(column);
    }
    // The rows as the module walks them: a slow or failing index shows in the code that ends
    // the walk, which the module keeps to itself.
    HRESULT walked = command.moveToFirstRow();
    while (walked == S_OK) {
        ++fact.rows;
        walked = command.moveToNextRow();
    }
    fact.walked = walked;
    command.closeResults();
    command.close();
    return fact;
}

}  // namespace tarvel::host
