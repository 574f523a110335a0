#include "watched_search.h"

namespace tarvel::service {

namespace {

std::string handedText(LPCWSTR text) {
    return "text \"" + narrow(text) + "\"";
}

}  // namespace

// ---- WatchedQueryHelper

HRESULT WatchedQueryHelper::put_QuerySelectColumns(LPCWSTR pszSelectColumns) {
    if (auto failure = enter("ISearchQueryHelper::put_QuerySelectColumns",
                             [&] { return narrow(pszSelectColumns); })) {
        return *failure;
    }
    return QueryHelper::put_QuerySelectColumns(pszSelectColumns);
}

HRESULT WatchedQueryHelper::get_QuerySelectColumns(LPWSTR* ppszSelectColumns) {
    if (auto failure = enter("ISearchQueryHelper::get_QuerySelectColumns")) {
        return *failure;
    }
    const HRESULT hr = QueryHelper::get_QuerySelectColumns(ppszSelectColumns);
    if (ppszSelectColumns != nullptr) {
        handedOver(*ppszSelectColumns, handedText(*ppszSelectColumns));
    }
    return hr;
}

HRESULT WatchedQueryHelper::GenerateSQLFromUserQuery(LPCWSTR pszQuery, LPWSTR* ppszSQL) {
    if (ppszSQL != nullptr) {
        *ppszSQL = nullptr;
    }
    if (auto failure = enter("ISearchQueryHelper::GenerateSQLFromUserQuery",
                             [&] { return narrow(pszQuery); })) {
        return *failure;
    }
    const HRESULT hr = QueryHelper::GenerateSQLFromUserQuery(pszQuery, ppszSQL);
    if (ppszSQL != nullptr) {
        handedOver(*ppszSQL, handedText(*ppszSQL));
    }
    return hr;
}

HRESULT WatchedQueryHelper::put_QueryMaxResults(LONG cMaxResults) {
    if (auto failure = enter("ISearchQueryHelper::put_QueryMaxResults",
                             [&] { return std::to_string(cMaxResults); })) {
        return *failure;
    }
    return QueryHelper::put_QueryMaxResults(cMaxResults);
}

HRESULT WatchedQueryHelper::get_QueryMaxResults(LONG* pcMaxResults) {
    if (auto failure = enter("ISearchQueryHelper::get_QueryMaxResults")) {
        return *failure;
    }
    return QueryHelper::get_QueryMaxResults(pcMaxResults);
}

// ---- WatchedCrawlScope

HRESULT WatchedCrawlScope::IncludedInCrawlScopeEx(LPCWSTR pszURL, BOOL* pfIsIncluded,
                                                  CLUSION_REASON* pReason) {
    if (auto failure = enter("ISearchCrawlScopeManager::IncludedInCrawlScopeEx",
                             [&] { return narrow(pszURL); })) {
        return *failure;
    }
    return CrawlScopeManager::IncludedInCrawlScopeEx(pszURL, pfIsIncluded, pReason);
}

// ---- WatchedCatalog

HRESULT WatchedCatalog::get_Name(LPWSTR* pszName) {
    if (auto failure = enter("ISearchCatalogManager::get_Name")) {
        return *failure;
    }
    const HRESULT hr = CatalogManager::get_Name(pszName);
    if (pszName != nullptr) {
        handedOver(*pszName, handedText(*pszName));
    }
    return hr;
}

HRESULT WatchedCatalog::GetCatalogStatus(CatalogStatus* pStatus,
                                         CatalogPausedReason* pPausedReason) {
    if (!config()->catalogState) {
        return watch()->unexpected("ISearchCatalogManager::GetCatalogStatus");
    }
    if (auto failure = enter("ISearchCatalogManager::GetCatalogStatus")) {
        return *failure;
    }
    return CatalogManager::GetCatalogStatus(pStatus, pPausedReason);
}

HRESULT WatchedCatalog::NumberOfItems(LONG* plCount) {
    if (!config()->itemCount) {
        return watch()->unexpected("ISearchCatalogManager::NumberOfItems");
    }
    if (auto failure = enter("ISearchCatalogManager::NumberOfItems")) {
        return *failure;
    }
    return CatalogManager::NumberOfItems(plCount);
}

HRESULT WatchedCatalog::NumberOfItemsToIndex(LONG* plIncrementalCount, LONG* plNotificationQueue,
                                             LONG* plHighPriorityQueue) {
    if (!config()->itemCount) {
        return watch()->unexpected("ISearchCatalogManager::NumberOfItemsToIndex");
    }
    if (auto failure = enter("ISearchCatalogManager::NumberOfItemsToIndex")) {
        return *failure;
    }
    return CatalogManager::NumberOfItemsToIndex(plIncrementalCount, plNotificationQueue,
                                                plHighPriorityQueue);
}

HRESULT WatchedCatalog::GetQueryHelper(ISearchQueryHelper** ppSearchQueryHelper) {
    if (ppSearchQueryHelper != nullptr) {
        *ppSearchQueryHelper = nullptr;
    }
    if (auto failure = enter("ISearchCatalogManager::GetQueryHelper")) {
        return *failure;
    }
    return CatalogManager::GetQueryHelper(ppSearchQueryHelper);
}

HRESULT WatchedCatalog::GetCrawlScopeManager(ISearchCrawlScopeManager** ppCrawlScopeManager) {
    if (ppCrawlScopeManager != nullptr) {
        *ppCrawlScopeManager = nullptr;
    }
    if (!config()->inCrawlScope) {
        return watch()->unexpected("ISearchCatalogManager::GetCrawlScopeManager");
    }
    if (auto failure = enter("ISearchCatalogManager::GetCrawlScopeManager")) {
        return *failure;
    }
    return CatalogManager::GetCrawlScopeManager(ppCrawlScopeManager);
}

QueryHelper* WatchedCatalog::newQueryHelper() {
    return QueryHelper::create<WatchedQueryHelper>(watch(), config());
}

CrawlScopeManager* WatchedCatalog::newCrawlScope() {
    return CrawlScopeManager::create<WatchedCrawlScope>(watch(), config());
}

// ---- WatchedSearchManager

HRESULT WatchedSearchManager::GetIndexerVersionStr(LPWSTR* ppszVersionString) {
    if (ppszVersionString != nullptr) {
        *ppszVersionString = nullptr;
    }
    if (config()->indexerVersion.empty()) {
        return watch()->unexpected("ISearchManager::GetIndexerVersionStr");
    }
    if (auto failure = enter("ISearchManager::GetIndexerVersionStr")) {
        return *failure;
    }
    const HRESULT hr = SearchManager::GetIndexerVersionStr(ppszVersionString);
    if (ppszVersionString != nullptr) {
        handedOver(*ppszVersionString, handedText(*ppszVersionString));
    }
    return hr;
}

HRESULT WatchedSearchManager::GetCatalog(LPCWSTR pszCatalog,
                                         ISearchCatalogManager** ppCatalogManager) {
    if (ppCatalogManager != nullptr) {
        *ppCatalogManager = nullptr;
    }
    if (auto failure = enter("ISearchManager::GetCatalog", [&] { return narrow(pszCatalog); })) {
        return *failure;
    }
    return SearchManager::GetCatalog(pszCatalog, ppCatalogManager);
}

CatalogManager* WatchedSearchManager::newCatalog() {
    return CatalogManager::create<WatchedCatalog>(watch(), config());
}

HRESULT WatchedSearch::make(void* context, REFIID riid, void** ppv) {
    const auto* search = static_cast<const WatchedSearch*>(context);
    return handOut(SearchManager::create<WatchedSearchManager>(search->watch, search->config), riid,
                   ppv);
}

// ---- WatchedClassFactory

HRESULT registerWatched(ClassRegistration& registration, REFCLSID clsid, DWORD context,
                        Instrumentation* watch, ClassFactory::Maker maker, void* makerContext) {
    return registration.add(clsid, context,
                            ClassFactory::create<WatchedClassFactory>(watch, maker, makerContext));
}

HRESULT WatchedClassFactory::CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppvObject) {
    if (ppvObject != nullptr) {
        *ppvObject = nullptr;
    }
    auto name = [&] { return interfaceName(riid); };
    if (auto failure = watch_->calling(*this, "IClassFactory::CreateInstance", CallDetail(name))) {
        return *failure;
    }
    return ClassFactory::CreateInstance(pUnkOuter, riid, ppvObject);
}

}  // namespace tarvel::service
