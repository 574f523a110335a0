#include "search_manager.h"

#include <cstring>

#include "memory_ledger.h"

namespace tarvel::service {

LPWSTR taskString(const WString& text) {
    auto* copy = static_cast<LPWSTR>(CoTaskMemAlloc((text.size() + 1) * sizeof(WCHAR)));
    if (copy != nullptr) {
        std::memcpy(copy, text.c_str(), (text.size() + 1) * sizeof(WCHAR));
        if (MemoryLedger* ledger = MemoryLedger::active()) {
            ledger->recordLastAllocation("text \"" + narrow(copy) + "\"");
        }
    }
    return copy;
}

// ---- QueryHelper

HRESULT QueryHelper::get_ConnectionString(LPWSTR*) {
    return unexpected("ISearchQueryHelper::get_ConnectionString");
}
HRESULT QueryHelper::put_QueryContentLocale(LCID) {
    return unexpected("ISearchQueryHelper::put_QueryContentLocale");
}
HRESULT QueryHelper::get_QueryContentLocale(LCID*) {
    return unexpected("ISearchQueryHelper::get_QueryContentLocale");
}
HRESULT QueryHelper::put_QueryKeywordLocale(LCID) {
    return unexpected("ISearchQueryHelper::put_QueryKeywordLocale");
}
HRESULT QueryHelper::get_QueryKeywordLocale(LCID*) {
    return unexpected("ISearchQueryHelper::get_QueryKeywordLocale");
}
HRESULT QueryHelper::put_QueryTermExpansion(SEARCH_TERM_EXPANSION) {
    return unexpected("ISearchQueryHelper::put_QueryTermExpansion");
}
HRESULT QueryHelper::get_QueryTermExpansion(SEARCH_TERM_EXPANSION*) {
    return unexpected("ISearchQueryHelper::get_QueryTermExpansion");
}
HRESULT QueryHelper::put_QuerySyntax(SEARCH_QUERY_SYNTAX) {
    return unexpected("ISearchQueryHelper::put_QuerySyntax");
}
HRESULT QueryHelper::get_QuerySyntax(SEARCH_QUERY_SYNTAX*) {
    return unexpected("ISearchQueryHelper::get_QuerySyntax");
}
HRESULT QueryHelper::put_QueryContentProperties(LPCWSTR) {
    return unexpected("ISearchQueryHelper::put_QueryContentProperties");
}
HRESULT QueryHelper::get_QueryContentProperties(LPWSTR*) {
    return unexpected("ISearchQueryHelper::get_QueryContentProperties");
}

HRESULT QueryHelper::put_QuerySelectColumns(LPCWSTR pszSelectColumns) {
    if (auto failure =
            enter("ISearchQueryHelper::put_QuerySelectColumns", narrow(pszSelectColumns))) {
        return *failure;
    }
    if (pszSelectColumns == nullptr) {
        return E_INVALIDARG;
    }
    settings_.selectColumns = pszSelectColumns;
    return S_OK;
}

HRESULT QueryHelper::get_QuerySelectColumns(LPWSTR* ppszSelectColumns) {
    if (auto failure = enter("ISearchQueryHelper::get_QuerySelectColumns")) {
        return *failure;
    }
    if (ppszSelectColumns == nullptr) {
        return E_POINTER;
    }
    *ppszSelectColumns = taskString(settings_.selectColumns);
    return *ppszSelectColumns != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT QueryHelper::put_QueryWhereRestrictions(LPCWSTR) {
    return unexpected("ISearchQueryHelper::put_QueryWhereRestrictions");
}
HRESULT QueryHelper::get_QueryWhereRestrictions(LPWSTR*) {
    return unexpected("ISearchQueryHelper::get_QueryWhereRestrictions");
}
HRESULT QueryHelper::put_QuerySorting(LPCWSTR) {
    return unexpected("ISearchQueryHelper::put_QuerySorting");
}
HRESULT QueryHelper::get_QuerySorting(LPWSTR*) {
    return unexpected("ISearchQueryHelper::get_QuerySorting");
}

HRESULT QueryHelper::GenerateSQLFromUserQuery(LPCWSTR pszQuery, LPWSTR* ppszSQL) {
    if (auto failure = enter("ISearchQueryHelper::GenerateSQLFromUserQuery", narrow(pszQuery))) {
        if (ppszSQL != nullptr) {
            *ppszSQL = nullptr;
        }
        return *failure;
    }
    if (ppszSQL == nullptr) {
        return E_POINTER;
    }
    *ppszSQL = nullptr;
    if (pszQuery == nullptr || config_ == nullptr || !config_->generator) {
        return E_INVALIDARG;
    }
    WString sql;
    const HRESULT hr = config_->generator(pszQuery, settings_, sql);
    if (FAILED(hr)) {
        if (config_->leaveTextOnFailure) {
            *ppszSQL = taskString(sql);
        }
        return hr;
    }
    *ppszSQL = taskString(sql);
    return *ppszSQL != nullptr ? hr : E_OUTOFMEMORY;
}

HRESULT QueryHelper::WriteProperties(LONG, DWORD, PROPERTYKEY*, void*, FILETIME*) {
    return unexpected("ISearchQueryHelper::WriteProperties");
}

HRESULT QueryHelper::put_QueryMaxResults(LONG cMaxResults) {
    if (auto failure =
            enter("ISearchQueryHelper::put_QueryMaxResults", std::to_string(cMaxResults))) {
        return *failure;
    }
    settings_.maxResults = cMaxResults;
    return S_OK;
}

HRESULT QueryHelper::get_QueryMaxResults(LONG* pcMaxResults) {
    if (auto failure = enter("ISearchQueryHelper::get_QueryMaxResults")) {
        return *failure;
    }
    if (pcMaxResults == nullptr) {
        return E_POINTER;
    }
    *pcMaxResults = settings_.maxResults;
    return S_OK;
}

// ---- CatalogManager

HRESULT CatalogManager::get_Name(LPWSTR* pszName) {
    if (auto failure = enter("ISearchCatalogManager::get_Name")) {
        return *failure;
    }
    if (pszName == nullptr) {
        return E_POINTER;
    }
    *pszName = taskString(WString(TARVEL_UTF16("SystemIndex")));
    return *pszName != nullptr ? S_OK : E_OUTOFMEMORY;
}
HRESULT CatalogManager::GetParameter(LPCWSTR, PROPVARIANT**) {
    return unexpected("ISearchCatalogManager::GetParameter");
}
HRESULT CatalogManager::SetParameter(LPCWSTR, PROPVARIANT*) {
    return unexpected("ISearchCatalogManager::SetParameter");
}
HRESULT CatalogManager::GetCatalogStatus(CatalogStatus*, CatalogPausedReason*) {
    return unexpected("ISearchCatalogManager::GetCatalogStatus");
}
HRESULT CatalogManager::Reset() {
    return unexpected("ISearchCatalogManager::Reset");
}
HRESULT CatalogManager::Reindex() {
    return unexpected("ISearchCatalogManager::Reindex");
}
HRESULT CatalogManager::ReindexMatchingURLs(LPCWSTR) {
    return unexpected("ISearchCatalogManager::ReindexMatchingURLs");
}
HRESULT CatalogManager::ReindexSearchRoot(LPCWSTR) {
    return unexpected("ISearchCatalogManager::ReindexSearchRoot");
}
HRESULT CatalogManager::put_ConnectTimeout(DWORD) {
    return unexpected("ISearchCatalogManager::put_ConnectTimeout");
}
HRESULT CatalogManager::get_ConnectTimeout(DWORD*) {
    return unexpected("ISearchCatalogManager::get_ConnectTimeout");
}
HRESULT CatalogManager::put_DataTimeout(DWORD) {
    return unexpected("ISearchCatalogManager::put_DataTimeout");
}
HRESULT CatalogManager::get_DataTimeout(DWORD*) {
    return unexpected("ISearchCatalogManager::get_DataTimeout");
}
HRESULT CatalogManager::NumberOfItems(LONG*) {
    return unexpected("ISearchCatalogManager::NumberOfItems");
}
HRESULT CatalogManager::NumberOfItemsToIndex(LONG*, LONG*, LONG*) {
    return unexpected("ISearchCatalogManager::NumberOfItemsToIndex");
}
HRESULT CatalogManager::URLBeingIndexed(LPWSTR*) {
    return unexpected("ISearchCatalogManager::URLBeingIndexed");
}
HRESULT CatalogManager::GetURLIndexingState(LPCWSTR, DWORD*) {
    return unexpected("ISearchCatalogManager::GetURLIndexingState");
}
HRESULT CatalogManager::GetPersistentItemsChangedSink(IUnknown**) {
    return unexpected("ISearchCatalogManager::GetPersistentItemsChangedSink");
}
HRESULT CatalogManager::RegisterViewForNotification(LPCWSTR, IUnknown*, DWORD*) {
    return unexpected("ISearchCatalogManager::RegisterViewForNotification");
}
HRESULT CatalogManager::GetItemsChangedSink(IUnknown*, REFIID, void**, GUID*, GUID*, DWORD*) {
    return unexpected("ISearchCatalogManager::GetItemsChangedSink");
}
HRESULT CatalogManager::UnregisterViewForNotification(DWORD) {
    return unexpected("ISearchCatalogManager::UnregisterViewForNotification");
}
HRESULT CatalogManager::SetExtensionClusion(LPCWSTR, BOOL) {
    return unexpected("ISearchCatalogManager::SetExtensionClusion");
}
HRESULT CatalogManager::EnumerateExcludedExtensions(IEnumString**) {
    return unexpected("ISearchCatalogManager::EnumerateExcludedExtensions");
}

HRESULT CatalogManager::GetQueryHelper(ISearchQueryHelper** ppSearchQueryHelper) {
    if (auto failure = enter("ISearchCatalogManager::GetQueryHelper")) {
        if (ppSearchQueryHelper != nullptr) {
            *ppSearchQueryHelper = nullptr;
        }
        return *failure;
    }
    if (ppSearchQueryHelper == nullptr) {
        return E_POINTER;
    }
    QueryHelper* helper = QueryHelper::create(instrumentation(), config_);
    *ppSearchQueryHelper = helper->as<ISearchQueryHelper>();
    return S_OK;
}

HRESULT CatalogManager::put_DiacriticSensitivity(BOOL) {
    return unexpected("ISearchCatalogManager::put_DiacriticSensitivity");
}
HRESULT CatalogManager::get_DiacriticSensitivity(BOOL*) {
    return unexpected("ISearchCatalogManager::get_DiacriticSensitivity");
}
HRESULT CatalogManager::GetCrawlScopeManager(IUnknown**) {
    return unexpected("ISearchCatalogManager::GetCrawlScopeManager");
}

// ---- SearchManager

HRESULT SearchManager::make(Instrumentation* instrumentation, void* context, REFIID riid,
                            void** ppv) {
    SearchManager* manager =
        SearchManager::create(instrumentation, static_cast<const SearchServiceConfig*>(context));
    const HRESULT hr = manager->lookup(riid, ppv);
    manager->release(nullptr);
    return hr;
}

HRESULT SearchManager::GetIndexerVersionStr(LPWSTR*) {
    return unexpected("ISearchManager::GetIndexerVersionStr");
}
HRESULT SearchManager::GetIndexerVersion(DWORD*, DWORD*) {
    return unexpected("ISearchManager::GetIndexerVersion");
}
HRESULT SearchManager::GetParameter(LPCWSTR, PROPVARIANT**) {
    return unexpected("ISearchManager::GetParameter");
}
HRESULT SearchManager::SetParameter(LPCWSTR, const PROPVARIANT*) {
    return unexpected("ISearchManager::SetParameter");
}
HRESULT SearchManager::get_ProxyName(LPWSTR*) {
    return unexpected("ISearchManager::get_ProxyName");
}
HRESULT SearchManager::get_BypassList(LPWSTR*) {
    return unexpected("ISearchManager::get_BypassList");
}
HRESULT SearchManager::SetProxy(PROXY_ACCESS, BOOL, DWORD, LPCWSTR, LPCWSTR) {
    return unexpected("ISearchManager::SetProxy");
}

HRESULT SearchManager::GetCatalog(LPCWSTR pszCatalog, ISearchCatalogManager** ppCatalogManager) {
    if (auto failure = enter("ISearchManager::GetCatalog", narrow(pszCatalog))) {
        if (ppCatalogManager != nullptr) {
            *ppCatalogManager = nullptr;
        }
        return *failure;
    }
    if (ppCatalogManager == nullptr) {
        return E_POINTER;
    }
    *ppCatalogManager = nullptr;
    if (pszCatalog == nullptr || narrow(pszCatalog) != "SystemIndex") {
        return E_INVALIDARG;
    }
    CatalogManager* catalog = CatalogManager::create(instrumentation(), config_);
    *ppCatalogManager = catalog->as<ISearchCatalogManager>();
    return S_OK;
}

HRESULT SearchManager::get_UserAgent(LPWSTR*) {
    return unexpected("ISearchManager::get_UserAgent");
}
HRESULT SearchManager::put_UserAgent(LPCWSTR) {
    return unexpected("ISearchManager::put_UserAgent");
}
HRESULT SearchManager::get_UseProxy(PROXY_ACCESS*) {
    return unexpected("ISearchManager::get_UseProxy");
}
HRESULT SearchManager::get_LocalBypass(BOOL*) {
    return unexpected("ISearchManager::get_LocalBypass");
}
HRESULT SearchManager::get_PortNumber(DWORD*) {
    return unexpected("ISearchManager::get_PortNumber");
}

}  // namespace tarvel::service
