#include "search_service.h"

#include <climits>

#include "folder_rows.h"
#include "query_syntax.h"

namespace tarvel::service {

namespace {

constexpr HRESULT kPathNotFound = static_cast<HRESULT>(0x80070003);
const WCHAR kProgId[] = TARVEL_UTF16("Search.CollatorDSO.1");

}  // namespace

SearchService::SearchService(WString root, Unreadable unreadable)
    : root_(std::move(root)), unreadable_(std::move(unreadable)) {
    searchConfig_.generator = generateSql;
    searchConfig_.indexerVersion = utf16FromUtf8("Tarvel stand-in");
    searchConfig_.catalogState = [this] { return catalogState(); };
    searchConfig_.itemCount = [this] { return itemCount(); };
    searchConfig_.inCrawlScope = [this](const WString& url, CLUSION_REASON* reason) {
        WString folder;
        const bool inside =
            platform::folderOfUrl(url, folder) && platform::pathWithin(folder, root_);
        *reason = inside ? CLUSIONREASON_DEFAULT : CLUSIONREASON_UNKNOWNSCOPE;
        return inside;
    };
    // The folder is read as it is searched; a data source only needs it to be there.
    providerConfig_.initialize = [this] {
        return platform::absoluteFolder(root_).empty() ? kPathNotFound : S_OK;
    };
    providerConfig_.backend = [this](const WString& text, std::shared_ptr<const Table>& table) {
        return execute(text, table);
    };
}

HRESULT SearchService::start() {
    HRESULT hr = registerClasses(registration_);
    if (SUCCEEDED(hr)) {
        hr = progId_.add(kProgId, CLSID_StandInProvider);
    }
    if (FAILED(hr)) {
        stop();
    }
    return hr;
}

HRESULT SearchService::registerClasses(ClassRegistration& registration) {
    HRESULT hr = servesSearchManager() ? registration.add(CLSID_CSearchManager, CLSCTX_LOCAL_SERVER,
                                                          searchManagerClass())
                                       : S_OK;
    if (SUCCEEDED(hr)) {
        hr = registration.add(CLSID_StandInProvider, CLSCTX_INPROC_SERVER, ProviderDataSource::make,
                              &providerConfig_);
    }
    return hr;
}

ClassFactory* SearchService::searchManagerClass() {
    return ClassFactory::create(SearchManager::make, &searchConfig_);
}

bool SearchService::wouldShadowMachineProvider() {
    return platform::machineRegisters(kProgId, CLSID_StandInProvider);
}

void SearchService::stop() {
    progId_.remove();
    registration_.revoke();
}

LONG SearchService::itemCount() const {
    long long count = 0;
    platform::FolderWalk walk(root_, {});
    while (count < LONG_MAX && walk.next()) {
        ++count;
    }
    return LONG(count);
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
        column.name = kItemPathDisplay;
        column.ordinal = i + 1;
        column.type = pathColumnType();
        column.size = column.type == DBTYPE_WSTR ? pathColumnUnits() : sizeof(BSTR);
        column.flags = DBCOLUMNFLAGS_ISNULLABLE | DBCOLUMNFLAGS_MAYBENULL;
        result->columns.push_back(column);
    }
    const size_t columns = query.columns.size();
    result->rows = [this, query, columns]() -> std::unique_ptr<RowSource> {
        return std::make_unique<FolderRows>(
            root_, query, unreadable_,
            [this, columns](WString path, Row& row) {
                Cell cell = deliverable(path) ? Cell::ofText(std::move(path))
                                              : Cell::ofStatus(DBSTATUS_E_UNAVAILABLE);
                row.clear();
                for (size_t i = 1; i < columns; ++i) {
                    row.push_back(cell);
                }
                if (columns != 0) {
                    row.push_back(std::move(cell));
                }
            },
            walksStopped_);
    };
    table = std::move(result);
    return S_OK;
}

}  // namespace tarvel::service
