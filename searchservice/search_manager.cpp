#include "search_manager.h"

#include <cstring>

namespace tarvel::service {

LPWSTR taskString(const WString& text, ObjectWatcher* watcher) {
    auto* copy = static_cast<LPWSTR>(CoTaskMemAlloc((text.size() + 1) * sizeof(WCHAR)));
    if (copy != nullptr) {
        std::memcpy(copy, text.c_str(), (text.size() + 1) * sizeof(WCHAR));
        if (watcher != nullptr) {
            watcher->handedOver("text \"" + narrow(copy) + "\"");
        }
    }
    return copy;
}

// ---- QueryHelper

HRESULT QueryHelper::put_QuerySelectColumns(LPCWSTR pszSelectColumns) {
    if (auto failure = enter("ISearchQueryHelper::put_QuerySelectColumns",
                             [&] { return narrow(pszSelectColumns); })) {
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
    *ppszSelectColumns = taskString(settings_.selectColumns, watcher());
    return *ppszSelectColumns != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT QueryHelper::GenerateSQLFromUserQuery(LPCWSTR pszQuery, LPWSTR* ppszSQL) {
    if (ppszSQL != nullptr) {
        *ppszSQL = nullptr;
    }
    if (auto failure = enter("ISearchQueryHelper::GenerateSQLFromUserQuery",
                             [&] { return narrow(pszQuery); })) {
        return *failure;
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
            *ppszSQL = taskString(sql, watcher());
        }
        return hr;
    }
    *ppszSQL = taskString(sql, watcher());
    return *ppszSQL != nullptr ? hr : E_OUTOFMEMORY;
}

HRESULT QueryHelper::put_QueryMaxResults(LONG cMaxResults) {
    if (auto failure = enter("ISearchQueryHelper::put_QueryMaxResults",
                             [&] { return std::to_string(cMaxResults); })) {
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
    *pszName = taskString(WString(TARVEL_UTF16("SystemIndex")), watcher());
    return *pszName != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT CatalogManager::GetQueryHelper(ISearchQueryHelper** ppSearchQueryHelper) {
    if (ppSearchQueryHelper != nullptr) {
        *ppSearchQueryHelper = nullptr;
    }
    if (auto failure = enter("ISearchCatalogManager::GetQueryHelper")) {
        return *failure;
    }
    if (ppSearchQueryHelper == nullptr) {
        return E_POINTER;
    }
    QueryHelper* helper = QueryHelper::create(watcher(), config_);
    *ppSearchQueryHelper = helper->as<ISearchQueryHelper>();
    return S_OK;
}

// ---- SearchManager

HRESULT SearchManager::make(ObjectWatcher* watcher, void* context, REFIID riid, void** ppv) {
    return handOut(SearchManager::create(watcher, static_cast<const SearchServiceConfig*>(context)),
                   riid, ppv);
}

HRESULT SearchManager::GetCatalog(LPCWSTR pszCatalog, ISearchCatalogManager** ppCatalogManager) {
    if (ppCatalogManager != nullptr) {
        *ppCatalogManager = nullptr;
    }
    if (auto failure = enter("ISearchManager::GetCatalog", [&] { return narrow(pszCatalog); })) {
        return *failure;
    }
    if (ppCatalogManager == nullptr) {
        return E_POINTER;
    }
    if (pszCatalog == nullptr || narrow(pszCatalog) != "SystemIndex") {
        return E_INVALIDARG;
    }
    CatalogManager* catalog = CatalogManager::create(watcher(), config_);
    *ppCatalogManager = catalog->as<ISearchCatalogManager>();
    return S_OK;
}

}  // namespace tarvel::service
