#include "search_manager.h"

#include <cstring>

namespace tarvel::service {

LPWSTR taskString(const WString& text) {
    auto* copy = static_cast<LPWSTR>(CoTaskMemAlloc((text.size() + 1) * sizeof(WCHAR)));
    if (copy != nullptr) {
        std::memcpy(copy, text.c_str(), (text.size() + 1) * sizeof(WCHAR));
    }
    return copy;
}

// ---- QueryHelper

HRESULT QueryHelper::put_QuerySelectColumns(LPCWSTR pszSelectColumns) {
    if (pszSelectColumns == nullptr) {
        return E_INVALIDARG;
    }
    settings_.selectColumns = pszSelectColumns;
    return S_OK;
}

HRESULT QueryHelper::get_QuerySelectColumns(LPWSTR* ppszSelectColumns) {
    if (ppszSelectColumns == nullptr) {
        return E_POINTER;
    }
    *ppszSelectColumns = taskString(settings_.selectColumns);
    return *ppszSelectColumns != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT QueryHelper::GenerateSQLFromUserQuery(LPCWSTR pszQuery, LPWSTR* ppszSQL) {
    if (ppszSQL != nullptr) {
        *ppszSQL = nullptr;
    }
    if (ppszSQL == nullptr) {
        return E_POINTER;
    }
    if (pszQuery == nullptr || config_ == nullptr || !config_->generator) {
        return E_INVALIDARG;
    }
    WString sql;
    const HRESULT hr = config_->generator(pszQuery, settings_, sql);
    // Whatever text the generator produced is handed over, also along with a failure, as a
    // careless helper would; the service's generator produces none then.
    if (FAILED(hr)) {
        if (!sql.empty()) {
            *ppszSQL = taskString(sql);
        }
        return hr;
    }
    *ppszSQL = taskString(sql);
    return *ppszSQL != nullptr ? hr : E_OUTOFMEMORY;
}

HRESULT QueryHelper::put_QueryMaxResults(LONG cMaxResults) {
    settings_.maxResults = cMaxResults;
    return S_OK;
}

HRESULT QueryHelper::get_QueryMaxResults(LONG* pcMaxResults) {
    if (pcMaxResults == nullptr) {
        return E_POINTER;
    }
    *pcMaxResults = settings_.maxResults;
    return S_OK;
}

// ---- CatalogManager

HRESULT CatalogManager::get_Name(LPWSTR* pszName) {
    if (pszName == nullptr) {
        return E_POINTER;
    }
    *pszName = taskString(kSystemIndex);
    return *pszName != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT CatalogManager::GetQueryHelper(ISearchQueryHelper** ppSearchQueryHelper) {
    if (ppSearchQueryHelper != nullptr) {
        *ppSearchQueryHelper = nullptr;
    }
    if (ppSearchQueryHelper == nullptr) {
        return E_POINTER;
    }
    QueryHelper* helper = newQueryHelper();
    *ppSearchQueryHelper = helper->as<ISearchQueryHelper>();
    return S_OK;
}

HRESULT CatalogManager::GetCatalogStatus(CatalogStatus* pStatus,
                                         CatalogPausedReason* pPausedReason) {
    if (!config_->catalogState) {
        return notServed();
    }
    if (pStatus == nullptr || pPausedReason == nullptr) {
        return E_POINTER;
    }
    const CatalogState state = config_->catalogState();
    *pStatus = state.status;
    *pPausedReason = state.pausedReason;
    return S_OK;
}

HRESULT CatalogManager::NumberOfItems(LONG* plCount) {
    if (!config_->itemCount) {
        return notServed();
    }
    if (plCount == nullptr) {
        return E_POINTER;
    }
    *plCount = config_->itemCount();
    return S_OK;
}

HRESULT CatalogManager::NumberOfItemsToIndex(LONG* plIncrementalCount, LONG* plNotificationQueue,
                                             LONG* plHighPriorityQueue) {
    if (!config_->itemCount) {
        return notServed();
    }
    if (plIncrementalCount == nullptr || plNotificationQueue == nullptr ||
        plHighPriorityQueue == nullptr) {
        return E_POINTER;
    }
    // The stand-in reads the folder as it is searched: nothing ever waits to be indexed.
    *plIncrementalCount = 0;
    *plNotificationQueue = 0;
    *plHighPriorityQueue = 0;
    return S_OK;
}

HRESULT CatalogManager::GetCrawlScopeManager(ISearchCrawlScopeManager** ppCrawlScopeManager) {
    if (ppCrawlScopeManager != nullptr) {
        *ppCrawlScopeManager = nullptr;
    }
    if (!config_->inCrawlScope) {
        return notServed();
    }
    if (ppCrawlScopeManager == nullptr) {
        return E_POINTER;
    }
    CrawlScopeManager* scope = newCrawlScope();
    *ppCrawlScopeManager = scope->as<ISearchCrawlScopeManager>();
    return S_OK;
}

QueryHelper* CatalogManager::newQueryHelper() {
    return QueryHelper::create(config_);
}

CrawlScopeManager* CatalogManager::newCrawlScope() {
    return CrawlScopeManager::create(config_);
}

// ---- CrawlScopeManager

HRESULT CrawlScopeManager::IncludedInCrawlScope(LPCWSTR pszURL, BOOL* pfIsIncluded) {
    CLUSION_REASON reason = CLUSIONREASON_UNKNOWNSCOPE;
    return IncludedInCrawlScopeEx(pszURL, pfIsIncluded, &reason);
}

HRESULT CrawlScopeManager::IncludedInCrawlScopeEx(LPCWSTR pszURL, BOOL* pfIsIncluded,
                                                  CLUSION_REASON* pReason) {
    if (pszURL == nullptr || pfIsIncluded == nullptr || pReason == nullptr) {
        return E_POINTER;
    }
    CLUSION_REASON reason = CLUSIONREASON_UNKNOWNSCOPE;
    *pfIsIncluded = config_->inCrawlScope(pszURL, &reason) ? TRUE : FALSE;
    *pReason = reason;
    return S_OK;
}

// ---- SearchManager

HRESULT SearchManager::GetIndexerVersionStr(LPWSTR* ppszVersionString) {
    if (ppszVersionString != nullptr) {
        *ppszVersionString = nullptr;
    }
    if (config_->indexerVersion.empty()) {
        return notServed();
    }
    if (ppszVersionString == nullptr) {
        return E_POINTER;
    }
    *ppszVersionString = taskString(config_->indexerVersion);
    return *ppszVersionString != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT SearchManager::make(void* context, REFIID riid, void** ppv) {
    return handOut(SearchManager::create(static_cast<const SearchServiceConfig*>(context)), riid,
                   ppv);
}

CatalogManager* SearchManager::newCatalog() {
    return CatalogManager::create(config_);
}

HRESULT SearchManager::GetCatalog(LPCWSTR pszCatalog, ISearchCatalogManager** ppCatalogManager) {
    if (ppCatalogManager != nullptr) {
        *ppCatalogManager = nullptr;
    }
    if (ppCatalogManager == nullptr) {
        return E_POINTER;
    }
    if (pszCatalog == nullptr || WString(pszCatalog) != kSystemIndex) {
        return E_INVALIDARG;
    }
    CatalogManager* catalog = newCatalog();
    *ppCatalogManager = catalog->as<ISearchCatalogManager>();
    return S_OK;
}

}  // namespace tarvel::service
