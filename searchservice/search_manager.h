// Stand-ins for the Windows Search manager, the catalog manager of "SystemIndex" and its
// query helper. The helper's SQL comes from a generator, so that tests can script it.
#pragma once

#include <functional>
#include <string>

#include "com_object.h"

namespace tarvel::service {

struct QueryHelperSettings {
    LONG maxResults = -1;
    WString selectColumns;
};

// Turns a user query into SQL under the helper's settings; a failure is reported as is.
using SqlGenerator =
    std::function<HRESULT(const WString& query, const QueryHelperSettings& settings, WString& sql)>;

struct SearchServiceConfig {
    SqlGenerator generator;
    // Misbehaves as a careless helper would: hands out the text even when generation fails.
    bool leaveTextOnFailure = false;
};

class QueryHelper final : public ComObject<QueryHelper, ISearchQueryHelper> {
public:
    QueryHelper(Instrumentation* instrumentation, const SearchServiceConfig* config)
        : ComObject(instrumentation, "ISearchQueryHelper"), config_(config) {}

    HRESULT STDMETHODCALLTYPE get_ConnectionString(LPWSTR* pszConnectionString) override;
    HRESULT STDMETHODCALLTYPE put_QueryContentLocale(LCID) override;
    HRESULT STDMETHODCALLTYPE get_QueryContentLocale(LCID*) override;
    HRESULT STDMETHODCALLTYPE put_QueryKeywordLocale(LCID) override;
    HRESULT STDMETHODCALLTYPE get_QueryKeywordLocale(LCID*) override;
    HRESULT STDMETHODCALLTYPE put_QueryTermExpansion(SEARCH_TERM_EXPANSION) override;
    HRESULT STDMETHODCALLTYPE get_QueryTermExpansion(SEARCH_TERM_EXPANSION*) override;
    HRESULT STDMETHODCALLTYPE put_QuerySyntax(SEARCH_QUERY_SYNTAX) override;
    HRESULT STDMETHODCALLTYPE get_QuerySyntax(SEARCH_QUERY_SYNTAX*) override;
    HRESULT STDMETHODCALLTYPE put_QueryContentProperties(LPCWSTR) override;
    HRESULT STDMETHODCALLTYPE get_QueryContentProperties(LPWSTR*) override;
    HRESULT STDMETHODCALLTYPE put_QuerySelectColumns(LPCWSTR pszSelectColumns) override;
    HRESULT STDMETHODCALLTYPE get_QuerySelectColumns(LPWSTR* ppszSelectColumns) override;
    HRESULT STDMETHODCALLTYPE put_QueryWhereRestrictions(LPCWSTR) override;
    HRESULT STDMETHODCALLTYPE get_QueryWhereRestrictions(LPWSTR*) override;
    HRESULT STDMETHODCALLTYPE put_QuerySorting(LPCWSTR) override;
    HRESULT STDMETHODCALLTYPE get_QuerySorting(LPWSTR*) override;
    HRESULT STDMETHODCALLTYPE GenerateSQLFromUserQuery(LPCWSTR pszQuery, LPWSTR* ppszSQL) override;
    HRESULT STDMETHODCALLTYPE WriteProperties(LONG, DWORD, PROPERTYKEY*, void*, FILETIME*) override;
    HRESULT STDMETHODCALLTYPE put_QueryMaxResults(LONG cMaxResults) override;
    HRESULT STDMETHODCALLTYPE get_QueryMaxResults(LONG* pcMaxResults) override;

private:
    const SearchServiceConfig* config_;
    QueryHelperSettings settings_;
};

class CatalogManager final : public ComObject<CatalogManager, ISearchCatalogManager> {
public:
    CatalogManager(Instrumentation* instrumentation, const SearchServiceConfig* config)
        : ComObject(instrumentation, "ISearchCatalogManager"), config_(config) {}

    HRESULT STDMETHODCALLTYPE get_Name(LPWSTR* pszName) override;
    HRESULT STDMETHODCALLTYPE GetParameter(LPCWSTR, PROPVARIANT**) override;
    HRESULT STDMETHODCALLTYPE SetParameter(LPCWSTR, PROPVARIANT*) override;
    HRESULT STDMETHODCALLTYPE GetCatalogStatus(CatalogStatus*, CatalogPausedReason*) override;
    HRESULT STDMETHODCALLTYPE Reset() override;
    HRESULT STDMETHODCALLTYPE Reindex() override;
    HRESULT STDMETHODCALLTYPE ReindexMatchingURLs(LPCWSTR) override;
    HRESULT STDMETHODCALLTYPE ReindexSearchRoot(LPCWSTR) override;
    HRESULT STDMETHODCALLTYPE put_ConnectTimeout(DWORD) override;
    HRESULT STDMETHODCALLTYPE get_ConnectTimeout(DWORD*) override;
    HRESULT STDMETHODCALLTYPE put_DataTimeout(DWORD) override;
    HRESULT STDMETHODCALLTYPE get_DataTimeout(DWORD*) override;
    HRESULT STDMETHODCALLTYPE NumberOfItems(LONG*) override;
    HRESULT STDMETHODCALLTYPE NumberOfItemsToIndex(LONG*, LONG*, LONG*) override;
    HRESULT STDMETHODCALLTYPE URLBeingIndexed(LPWSTR*) override;
    HRESULT STDMETHODCALLTYPE GetURLIndexingState(LPCWSTR, DWORD*) override;
    HRESULT STDMETHODCALLTYPE GetPersistentItemsChangedSink(IUnknown**) override;
    HRESULT STDMETHODCALLTYPE RegisterViewForNotification(LPCWSTR, IUnknown*, DWORD*) override;
    HRESULT STDMETHODCALLTYPE GetItemsChangedSink(IUnknown*, REFIID, void**, GUID*, GUID*,
                                                  DWORD*) override;
    HRESULT STDMETHODCALLTYPE UnregisterViewForNotification(DWORD) override;
    HRESULT STDMETHODCALLTYPE SetExtensionClusion(LPCWSTR, BOOL) override;
    HRESULT STDMETHODCALLTYPE EnumerateExcludedExtensions(IEnumString**) override;
    HRESULT STDMETHODCALLTYPE GetQueryHelper(ISearchQueryHelper** ppSearchQueryHelper) override;
    HRESULT STDMETHODCALLTYPE put_DiacriticSensitivity(BOOL) override;
    HRESULT STDMETHODCALLTYPE get_DiacriticSensitivity(BOOL*) override;
    HRESULT STDMETHODCALLTYPE GetCrawlScopeManager(IUnknown**) override;

private:
    const SearchServiceConfig* config_;
};

class SearchManager final : public ComObject<SearchManager, ISearchManager> {
public:
    SearchManager(Instrumentation* instrumentation, const SearchServiceConfig* config)
        : ComObject(instrumentation, "ISearchManager"), config_(config) {}

    // The class object's maker; context is the SearchServiceConfig.
    static HRESULT make(Instrumentation* instrumentation, void* context, REFIID riid, void** ppv);

    HRESULT STDMETHODCALLTYPE GetIndexerVersionStr(LPWSTR*) override;
    HRESULT STDMETHODCALLTYPE GetIndexerVersion(DWORD*, DWORD*) override;
    HRESULT STDMETHODCALLTYPE GetParameter(LPCWSTR, PROPVARIANT**) override;
    HRESULT STDMETHODCALLTYPE SetParameter(LPCWSTR, const PROPVARIANT*) override;
    HRESULT STDMETHODCALLTYPE get_ProxyName(LPWSTR*) override;
    HRESULT STDMETHODCALLTYPE get_BypassList(LPWSTR*) override;
    HRESULT STDMETHODCALLTYPE SetProxy(PROXY_ACCESS, BOOL, DWORD, LPCWSTR, LPCWSTR) override;
    HRESULT STDMETHODCALLTYPE GetCatalog(LPCWSTR pszCatalog,
                                         ISearchCatalogManager** ppCatalogManager) override;
    HRESULT STDMETHODCALLTYPE get_UserAgent(LPWSTR*) override;
    HRESULT STDMETHODCALLTYPE put_UserAgent(LPCWSTR) override;
    HRESULT STDMETHODCALLTYPE get_UseProxy(PROXY_ACCESS*) override;
    HRESULT STDMETHODCALLTYPE get_LocalBypass(BOOL*) override;
    HRESULT STDMETHODCALLTYPE get_PortNumber(DWORD*) override;

private:
    const SearchServiceConfig* config_;
};

// A copy of text in the task allocator, as COM out-strings are handed over.
LPWSTR taskString(const WString& text);

}  // namespace tarvel::service
