#include "query_translator.h"

#include "common/com_ptr.h"

namespace tarvel {

HRESULT QueryTranslator::translate(LPCWSTR query, LPWSTR* sql, LONG maxResults) {
    if (sql == nullptr) {
        return E_POINTER;
    }
    *sql = nullptr;
    ComPtr<ISearchQueryHelper> helper;
    const HRESULT hr = lookupQueryHelper(helper.put());
    if (FAILED(hr)) {
        return hr;
    }
    return generateSql(helper.get(), query, sql, maxResults);
}

HRESULT QueryTranslator::generateSql(ISearchQueryHelper* helper, LPCWSTR query, LPWSTR* sql,
                                     LONG maxResults) {
    if (helper == nullptr || sql == nullptr) {
        return E_POINTER;
    }
    *sql = nullptr;
    // The helper's defaults stand for everything but these two; their results do not matter.
    helper->put_QueryMaxResults(maxResults);
    helper->put_QuerySelectColumns(kItemPathDisplay);
    const HRESULT hr = helper->GenerateSQLFromUserQuery(query, sql);
    if (FAILED(hr) && *sql != nullptr) {
        // A helper that fails must not leave text behind; should one do so, it is not leaked.
        LPWSTR stray = *sql;
        *sql = nullptr;
        CoTaskMemFree(stray);
    }
    return hr;
}

HRESULT QueryTranslator::lookupQueryHelper(ISearchQueryHelper** helper) {
    ComPtr<ISearchManager> manager;
    HRESULT hr = createInstance(CLSID_CSearchManager, CLSCTX_LOCAL_SERVER, manager);
    if (FAILED(hr)) {
        return hr;
    }
    ComPtr<ISearchCatalogManager> catalog;
    hr = manager->GetCatalog(kSystemIndex, catalog.put());
    if (FAILED(hr)) {
        return hr;
    }
    hr = catalog->GetQueryHelper(helper);
    // The catalog manager goes first, then the search manager as the scope ends.
    catalog.reset();
    return hr;
}

}  // namespace tarvel
