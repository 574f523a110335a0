// Stand-ins for the Windows Search manager, the catalog manager of "SystemIndex", its query
// helper and its crawl scope manager. The helper's SQL comes from a generator, so that tests can
// script it; what the service tells of itself comes from its configuration.
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

// What the catalog reports of its state.
struct CatalogState {
    CatalogStatus status = CATALOG_STATUS_IDLE;
    CatalogPausedReason pausedReason = CATALOG_PAUSED_REASON_NONE;
};

struct SearchServiceConfig {
    SqlGenerator generator;
    // What the service tells of itself, each answered only when set: the indexer's version,
    // the catalog's state and the number of items it holds, and whether a file URL lies in the
    // crawl scope (and by which rule).
    WString indexerVersion;
    std::function<CatalogState()> catalogState;
    std::function<LONG()> itemCount;
    std::function<bool(const WString& url, CLUSION_REASON* reason)> inCrawlScope;
};

class QueryHelper final : public ComObject<QueryHelper, ISearchQueryHelper> {
public:
    QueryHelper(ObjectWatcher* watcher, const SearchServiceConfig* config)
        : ComObject(watcher, "ISearchQueryHelper"), config_(config) {}

    TARVEL_NOT_SERVED(ISearchQueryHelper, get_ConnectionString, LPWSTR*)
    TARVEL_NOT_SERVED(ISearchQueryHelper, put_QueryContentLocale, LCID)
    TARVEL_NOT_SERVED(ISearchQueryHelper, get_QueryContentLocale, LCID*)
    TARVEL_NOT_SERVED(ISearchQueryHelper, put_QueryKeywordLocale, LCID)
    TARVEL_NOT_SERVED(ISearchQueryHelper, get_QueryKeywordLocale, LCID*)
    TARVEL_NOT_SERVED(ISearchQueryHelper, put_QueryTermExpansion, SEARCH_TERM_EXPANSION)
    TARVEL_NOT_SERVED(ISearchQueryHelper, get_QueryTermExpansion, SEARCH_TERM_EXPANSION*)
    TARVEL_NOT_SERVED(ISearchQueryHelper, put_QuerySyntax, SEARCH_QUERY_SYNTAX)
    TARVEL_NOT_SERVED(ISearchQueryHelper, get_QuerySyntax, SEARCH_QUERY_SYNTAX*)
    TARVEL_NOT_SERVED(ISearchQueryHelper, put_QueryContentProperties, LPCWSTR)
    TARVEL_NOT_SERVED(ISearchQueryHelper, get_QueryContentProperties, LPWSTR*)
    HRESULT STDMETHODCALLTYPE put_QuerySelectColumns(LPCWSTR pszSelectColumns) override;
    HRESULT STDMETHODCALLTYPE get_QuerySelectColumns(LPWSTR* ppszSelectColumns) override;
    TARVEL_NOT_SERVED(ISearchQueryHelper, put_QueryWhereRestrictions, LPCWSTR)
    TARVEL_NOT_SERVED(ISearchQueryHelper, get_QueryWhereRestrictions, LPWSTR*)
    TARVEL_NOT_SERVED(ISearchQueryHelper, put_QuerySorting, LPCWSTR)
    TARVEL_NOT_SERVED(ISearchQueryHelper, get_QuerySorting, LPWSTR*)
    HRESULT STDMETHODCALLTYPE GenerateSQLFromUserQuery(LPCWSTR pszQuery, LPWSTR* ppszSQL) override;
    TARVEL_NOT_SERVED(ISearchQueryHelper, WriteProperties, LONG, DWORD, PROPERTYKEY*, void*,
                      FILETIME*)
    HRESULT STDMETHODCALLTYPE put_QueryMaxResults(LONG cMaxResults) override;
    HRESULT STDMETHODCALLTYPE get_QueryMaxResults(LONG* pcMaxResults) override;

private:
    const SearchServiceConfig* config_;
    QueryHelperSettings settings_;
};

class CatalogManager final : public ComObject<CatalogManager, ISearchCatalogManager> {
public:
    CatalogManager(ObjectWatcher* watcher, const SearchServiceConfig* config)
        : ComObject(watcher, "ISearchCatalogManager"), config_(config) {}

    HRESULT STDMETHODCALLTYPE get_Name(LPWSTR* pszName) override;
    TARVEL_NOT_SERVED(ISearchCatalogManager, GetParameter, LPCWSTR, PROPVARIANT**)
    TARVEL_NOT_SERVED(ISearchCatalogManager, SetParameter, LPCWSTR, PROPVARIANT*)
    HRESULT STDMETHODCALLTYPE GetCatalogStatus(CatalogStatus* pStatus,
                                               CatalogPausedReason* pPausedReason) override;
    TARVEL_NOT_SERVED(ISearchCatalogManager, Reset)
    TARVEL_NOT_SERVED(ISearchCatalogManager, Reindex)
    TARVEL_NOT_SERVED(ISearchCatalogManager, ReindexMatchingURLs, LPCWSTR)
    TARVEL_NOT_SERVED(ISearchCatalogManager, ReindexSearchRoot, LPCWSTR)
    TARVEL_NOT_SERVED(ISearchCatalogManager, put_ConnectTimeout, DWORD)
    TARVEL_NOT_SERVED(ISearchCatalogManager, get_ConnectTimeout, DWORD*)
    TARVEL_NOT_SERVED(ISearchCatalogManager, put_DataTimeout, DWORD)
    TARVEL_NOT_SERVED(ISearchCatalogManager, get_DataTimeout, DWORD*)
    HRESULT STDMETHODCALLTYPE NumberOfItems(LONG* plCount) override;
    HRESULT STDMETHODCALLTYPE NumberOfItemsToIndex(LONG* plIncrementalCount,
                                                   LONG* plNotificationQueue,
                                                   LONG* plHighPriorityQueue) override;
    TARVEL_NOT_SERVED(ISearchCatalogManager, URLBeingIndexed, LPWSTR*)
    TARVEL_NOT_SERVED(ISearchCatalogManager, GetURLIndexingState, LPCWSTR, DWORD*)
    TARVEL_NOT_SERVED(ISearchCatalogManager, GetPersistentItemsChangedSink, IUnknown**)
    TARVEL_NOT_SERVED(ISearchCatalogManager, RegisterViewForNotification, LPCWSTR, IUnknown*,
                      DWORD*)
    TARVEL_NOT_SERVED(ISearchCatalogManager, GetItemsChangedSink, IUnknown*, REFIID, void**, GUID*,
                      GUID*, DWORD*)
    TARVEL_NOT_SERVED(ISearchCatalogManager, UnregisterViewForNotification, DWORD)
    TARVEL_NOT_SERVED(ISearchCatalogManager, SetExtensionClusion, LPCWSTR, BOOL)
    TARVEL_NOT_SERVED(ISearchCatalogManager, EnumerateExcludedExtensions, IEnumString**)
    HRESULT STDMETHODCALLTYPE GetQueryHelper(ISearchQueryHelper** ppSearchQueryHelper) override;
    TARVEL_NOT_SERVED(ISearchCatalogManager, put_DiacriticSensitivity, BOOL)
    TARVEL_NOT_SERVED(ISearchCatalogManager, get_DiacriticSensitivity, BOOL*)
    HRESULT STDMETHODCALLTYPE
    GetCrawlScopeManager(ISearchCrawlScopeManager** ppCrawlScopeManager) override;

private:
    const SearchServiceConfig* config_;
};

// The crawl scope of the service: the folder it indexes, and what lies below.
class CrawlScopeManager final : public ComObject<CrawlScopeManager, ISearchCrawlScopeManager> {
public:
    CrawlScopeManager(ObjectWatcher* watcher, const SearchServiceConfig* config)
        : ComObject(watcher, "ISearchCrawlScopeManager"), config_(config) {}

    TARVEL_NOT_SERVED(ISearchCrawlScopeManager, AddDefaultScopeRule, LPCWSTR, BOOL, DWORD)
    TARVEL_NOT_SERVED(ISearchCrawlScopeManager, AddRoot, IUnknown*)
    TARVEL_NOT_SERVED(ISearchCrawlScopeManager, RemoveRoot, LPCWSTR)
    TARVEL_NOT_SERVED(ISearchCrawlScopeManager, EnumerateRoots, IUnknown**)
    TARVEL_NOT_SERVED(ISearchCrawlScopeManager, AddHierarchicalScope, LPCWSTR, BOOL, BOOL, BOOL)
    TARVEL_NOT_SERVED(ISearchCrawlScopeManager, AddUserScopeRule, LPCWSTR, BOOL, BOOL, DWORD)
    TARVEL_NOT_SERVED(ISearchCrawlScopeManager, RemoveScopeRule, LPCWSTR)
    TARVEL_NOT_SERVED(ISearchCrawlScopeManager, EnumerateScopeRules, IUnknown**)
    TARVEL_NOT_SERVED(ISearchCrawlScopeManager, HasParentScopeRule, LPCWSTR, BOOL*)
    TARVEL_NOT_SERVED(ISearchCrawlScopeManager, HasChildScopeRule, LPCWSTR, BOOL*)
    HRESULT STDMETHODCALLTYPE IncludedInCrawlScope(LPCWSTR pszURL, BOOL* pfIsIncluded) override;
    HRESULT STDMETHODCALLTYPE IncludedInCrawlScopeEx(LPCWSTR pszURL, BOOL* pfIsIncluded,
                                                     CLUSION_REASON* pReason) override;

private:
    const SearchServiceConfig* config_;
};

class SearchManager final : public ComObject<SearchManager, ISearchManager> {
public:
    SearchManager(ObjectWatcher* watcher, const SearchServiceConfig* config)
        : ComObject(watcher, "ISearchManager"), config_(config) {}

    // The class object's maker; context is the SearchServiceConfig.
    static HRESULT make(ObjectWatcher* watcher, void* context, REFIID riid, void** ppv);

    HRESULT STDMETHODCALLTYPE GetIndexerVersionStr(LPWSTR* ppszVersionString) override;
    TARVEL_NOT_SERVED(ISearchManager, GetIndexerVersion, DWORD*, DWORD*)
    TARVEL_NOT_SERVED(ISearchManager, GetParameter, LPCWSTR, PROPVARIANT**)
    TARVEL_NOT_SERVED(ISearchManager, SetParameter, LPCWSTR, const PROPVARIANT*)
    TARVEL_NOT_SERVED(ISearchManager, get_ProxyName, LPWSTR*)
    TARVEL_NOT_SERVED(ISearchManager, get_BypassList, LPWSTR*)
    TARVEL_NOT_SERVED(ISearchManager, SetProxy, PROXY_ACCESS, BOOL, DWORD, LPCWSTR, LPCWSTR)
    HRESULT STDMETHODCALLTYPE GetCatalog(LPCWSTR pszCatalog,
                                         ISearchCatalogManager** ppCatalogManager) override;
    TARVEL_NOT_SERVED(ISearchManager, get_UserAgent, LPWSTR*)
    TARVEL_NOT_SERVED(ISearchManager, put_UserAgent, LPCWSTR)
    TARVEL_NOT_SERVED(ISearchManager, get_UseProxy, PROXY_ACCESS*)
    TARVEL_NOT_SERVED(ISearchManager, get_LocalBypass, BOOL*)
    TARVEL_NOT_SERVED(ISearchManager, get_PortNumber, DWORD*)

private:
    const SearchServiceConfig* config_;
};

// A copy of text in the task allocator, as COM out-strings are handed over.
LPWSTR taskString(const WString& text, ObjectWatcher* watcher);

}  // namespace tarvel::service
