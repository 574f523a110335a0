#include "search_service.h"

#include <cstdlib>

#include "query_syntax.h"

namespace tarvel::service {

namespace {

const WCHAR kProgId[] = TARVEL_UTF16("Search.CollatorDSO.1");
const WCHAR kPathColumn[] = TARVEL_UTF16("System.ItemPathDisplay");

}  // namespace

SearchService::SearchService(WString root, ObjectWatcher* watcher,
                             DirectoryIndex::Unreadable unreadable)
    : root_(std::move(root)), watcher_(watcher), unreadable_(std::move(unreadable)) {
    readTestSettings();
    searchConfig_.generator = generateSql;
    providerConfig_.initialize = [this] { return index_.build(root_, unreadable_); };
    providerConfig_.backend = [this](const WString& text, std::shared_ptr<const Table>& table) {
        return execute(text, table);
    };
}

HRESULT SearchService::start() {
    HRESULT hr = registration_.add(CLSID_CSearchManager, CLSCTX_LOCAL_SERVER, watcher_,
                                   SearchManager::make, &searchConfig_);
    if (SUCCEEDED(hr)) {
        hr = registration_.add(CLSID_StandInProvider, CLSCTX_INPROC_SERVER, watcher_,
                               ProviderDataSource::make, &providerConfig_);
    }
    if (SUCCEEDED(hr)) {
        hr = progId_.add(kProgId, CLSID_StandInProvider);
    }
    if (FAILED(hr)) {
        stop();
    }
    return hr;
}

void SearchService::stop() {
    progId_.remove();
    registration_.revoke();
}

HRESULT SearchService::execute(const WString& text, std::shared_ptr<const Table>& table) const {
    SqlQuery query;
    const HRESULT hr = parseSql(text, query);
    if (FAILED(hr)) {
        return hr;
    }
    auto result = std::make_shared<Table>();
    for (size_t i = 0; i < query.columns.size(); ++i) {
        TableColumn column;
        column.name = kPathColumn;
        column.ordinal = i + 1;
        column.type = DBTYPE_WSTR;
        column.size = pathUnits_;
        column.flags = DBCOLUMNFLAGS_ISNULLABLE | DBCOLUMNFLAGS_MAYBENULL;
        result->columns.push_back(column);
    }
    for (WString& path : index_.search(query)) {
        const Cell cell = unreadable(path) ? Cell::ofStatus(DBSTATUS_E_UNAVAILABLE)
                                           : Cell::ofText(std::move(path));
        result->rows.push_back(Row(query.columns.size(), cell));
    }
    table = std::move(result);
    return S_OK;
}

void SearchService::readTestSettings() {
    if (const char* name = std::getenv("TARVEL_STANDIN_UNREADABLE")) {
        unreadableName_ = utf16FromUtf8(name);
    }
    if (const char* units = std::getenv("TARVEL_STANDIN_PATH_UNITS")) {
        const unsigned long value = std::strtoul(units, nullptr, 10);
        if (value >= 1 && value <= kPathColumnSize) {
            pathUnits_ = value;
        }
    }
}

bool SearchService::unreadable(const WString& path) const {
    const size_t n = unreadableName_.size();
    if (n == 0 || path.size() <= n || path.compare(path.size() - n, n, unreadableName_) != 0) {
        return false;
    }
    const WCHAR before = path[path.size() - n - 1];
    return before == u'/' || before == u'\\';
}

}  // namespace tarvel::service
