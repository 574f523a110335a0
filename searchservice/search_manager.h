// Stand-ins for the Windows Search manager, the catalog manager of "SystemIndex", its query
// helper and its crawl scope manager. The helper's SQL comes from a generator; what the service
// tells of itself comes from its configuration. Each object makes the next through a virtual
// method, so that classes derived from these can serve otherwise.
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

class QueryHelper : public ComObject<QueryHelper, ISearchQueryHelper> {
public:
    explicit QueryHelper(const SearchServiceConfig* config) : config_(config) {}

    TARVEL_NOT_SERVED(get_ConnectionString, LPWSTR*)
    TARVEL_NOT_SERVED(put_QueryContentLocale, LCID)
    TARVEL_NOT_SERVED(get_QueryContentLocale, LCID*)
    TARVEL_NOT_SERVED(put_QueryKeywordLocale, LCID)
    TARVEL_NOT_SERVED(get_QueryKeywordLocale, LCID*)
    TARVEL_NOT_SERVED(put_QueryTermExpansion, SEARCH_TERM_EXPANSION)
    TARVEL_NOT_SERVED(get_QueryTermExpansion, SEARCH_TERM_EXPANSION*)
    TARVEL_NOT_SERVED(put_QuerySyntax, SEARCH_QUERY_SYNTAX)
    TARVEL_NOT_SERVED(get_QuerySyntax, SEARCH_QUERY_SYNTAX*)
    TARVEL_NOT_SERVED(put_QueryContentProperties, LPCWSTR)
    TARVEL_NOT_SERVED(get_QueryContentProperties, LPWSTR*)
    HRESULT STDMETHODCALLTYPE put_QuerySelectColumns(LPCWSTR pszSelectColumns) override;
    HRESULT STDMETHODCALLTYPE get_QuerySelectColumns(LPWSTR* ppszSelectColumns) override;
    TARVEL_NOT_SERVED(put_QueryWhereRestrictions, LPCWSTR)
    TARVEL_NOT_SERVED(get_QueryWhereRestrictions, LPWSTR*)
    TARVEL_NOT_SERVED(put_QuerySorting, LPCWSTR)
    TARVEL_NOT_SERVED(get_QuerySorting, LPWSTR*)
    HRESULT STDMETHODCALLTYPE GenerateSQLFromUserQuery(LPCWSTR pszQuery, LPWSTR* ppszSQL) override;
    TARVEL_NOT_SERVED(WriteProperties, LONG, DWORD, PROPERTYKEY*, void*, FILETIME*)
    HRESULT STDMETHODCALLTYPE put_QueryMaxResults(LONG cMaxResults) override;
    HRESULT STDMETHODCALLTYPE get_QueryMaxResults(LONG* pcMaxResults) override;

protected:
    const SearchServiceConfig* config() const { return config_; }

private:
    const SearchServiceConfig* config_;
    QueryHelperSettings settings_;
};

class QueryHelper;
class CrawlScopeManager;

class CatalogManager : public ComObject<CatalogManager, ISearchCatalogManager> {
public:
    explicit CatalogManager(const SearchServiceConfig* config) : config_(config) {}

    HRESULT STDMETHODCALLTYPE get_Name(LPWSTR* pszName) override;
    TARVEL_NOT_SERVED(GetParameter, LPCWSTR, PROPVARIANT**)
    TARVEL_NOT_SERVED(SetParameter, LPCWSTR, PROPVARIANT*)
    HRESULT STDMETHODCALLTYPE GetCatalogStatus(CatalogStatus* pStatus,
                                               CatalogPausedReason* pPausedReason) override;
    TARVEL_NOT_SERVED(Reset)
    TARVEL_NOT_SERVED(Reindex)
    TARVEL_NOT_SERVED(ReindexMatchingURLs, LPCWSTR)
    TARVEL_NOT_SERVED(ReindexSearchRoot, LPCWSTR)
    TARVEL_NOT_SERVED(put_ConnectTimeout, DWORD)
    TARVEL_NOT_SERVED(get_ConnectTimeout, DWORD*)
    TARVEL_NOT_SERVED(put_DataTimeout, DWORD)
    TARVEL_NOT_SERVED(get_DataTimeout, DWORD*)
    HRESULT STDMETHODCALLTYPE NumberOfItems(LONG* plCount) override;
    HRESULT STDMETHODCALLTYPE NumberOfItemsToIndex(LONG* plIncrementalCount,
                                                   LONG* plNotificationQueue,
                                                   LONG* plHighPriorityQueue) override;
    TARVEL_NOT_SERVED(URLBeingIndexed, LPWSTR*)
    TARVEL_NOT_SERVED(GetURLIndexingState, LPCWSTR, DWORD*)
    TARVEL_NOT_SERVED(GetPersistentItemsChangedSink, IUnknown**)
    TARVEL_NOT_SERVED(RegisterViewForNotification, LPCWSTR, IUnknown*, DWORD*)
    TARVEL_NOT_SERVED(GetItemsChangedSink, IUnknown*, REFIID, void**, GUID*, GUID*, DWORD*)
    TARVEL_NOT_SERVED(UnregisterViewForNotification, DWORD)
    TARVEL_NOT_SERVED(SetExtensionClusion, LPCWSTR, BOOL)
    TARVEL_NOT_SERVED(EnumerateExcludedExtensions, IEnumString**)
    HRESULT STDMETHODCALLTYPE GetQueryHelper(ISearchQueryHelper** ppSearchQueryHelper) override;
    TARVEL_NOT_SERVED(put_DiacriticSensitivity, BOOL)
    TARVEL_NOT_SERVED(get_DiacriticSensitivity, BOOL*)
    HRESULT STDMETHODCALLTYPE
    GetCrawlScopeManager(ISearchCrawlScopeManager** ppCrawlScopeManager) override;

protected:
    // The helper and the crawl scope manager the catalog hands out, each holding one reference.
    virtual QueryHelper* newQueryHelper();
    virtual CrawlScopeManager* newCrawlScope();
    const SearchServiceConfig* config() const { return config_; }

private:
    const SearchServiceConfig* config_;
};

// The crawl scope of the service: the folder it indexes, and what lies below.
class CrawlScopeManager : public ComObject<CrawlScopeManager, ISearchCrawlScopeManager> {
public:
    explicit CrawlScopeManager(const SearchServiceConfig* config) : config_(config) {}

    TARVEL_NOT_SERVED(AddDefaultScopeRule, LPCWSTR, BOOL, DWORD)
    TARVEL_NOT_SERVED(AddRoot, IUnknown*)
    TARVEL_NOT_SERVED(RemoveRoot, LPCWSTR)
    TARVEL_NOT_SERVED(EnumerateRoots, IUnknown**)
    TARVEL_NOT_SERVED(AddHierarchicalScope, LPCWSTR, BOOL, BOOL, BOOL)
    TARVEL_NOT_SERVED(AddUserScopeRule, LPCWSTR, BOOL, BOOL, DWORD)
    TARVEL_NOT_SERVED(RemoveScopeRule, LPCWSTR)
    TARVEL_NOT_SERVED(EnumerateScopeRules, IUnknown**)
    TARVEL_NOT_SERVED(HasParentScopeRule, LPCWSTR, BOOL*)
    TARVEL_NOT_SERVED(HasChildScopeRule, LPCWSTR, BOOL*)
    HRESULT STDMETHODCALLTYPE IncludedInCrawlScope(LPCWSTR pszURL, BOOL* pfIsIncluded) override;
    HRESULT STDMETHODCALLTYPE IncludedInCrawlScopeEx(LPCWSTR pszURL, BOOL* pfIsIncluded,
                                                     CLUSION_REASON* pReason) override;

private:
    const SearchServiceConfig* config_;
};

class SearchManager : public ComObject<SearchManager, ISearchManager> {
public:
    explicit SearchManager(const SearchServiceConfig* config) : config_(config) {}

    // The class object's maker; context is the SearchServiceConfig.
    static HRESULT make(void* context, REFIID riid, void** ppv);

    HRESULT STDMETHODCALLTYPE GetIndexerVersionStr(LPWSTR* ppszVersionString) override;
    TARVEL_NOT_SERVED(GetIndexerVersion, DWORD*, DWORD*)
    TARVEL_NOT_SERVED(GetParameter, LPCWSTR, PROPVARIANT**)
    TARVEL_NOT_SERVED(SetParameter, LPCWSTR, const PROPVARIANT*)
    TARVEL_NOT_SERVED(get_ProxyName, LPWSTR*)
    TARVEL_NOT_SERVED(get_BypassList, LPWSTR*)
    TARVEL_NOT_SERVED(SetProxy, PROXY_ACCESS, BOOL, DWORD, LPCWSTR, LPCWSTR)
    HRESULT STDMETHODCALLTYPE GetCatalog(LPCWSTR pszCatalog,
                                         ISearchCatalogManager** ppCatalogManager) override;
    TARVEL_NOT_SERVED(get_UserAgent, LPWSTR*)
    TARVEL_NOT_SERVED(put_UserAgent, LPCWSTR)
    TARVEL_NOT_SERVED(get_UseProxy, PROXY_ACCESS*)
    TARVEL_NOT_SERVED(get_LocalBypass, BOOL*)
    TARVEL_NOT_SERVED(get_PortNumber, DWORD*)

protected:
    // The catalog the manager hands out, holding one reference.
    virtual CatalogManager* newCatalog();
    const SearchServiceConfig* config() const { return config_; }

private:
    const SearchServiceConfig* config_;
};

// A copy of text in the task allocator, as COM out-strings are handed over.
LPWSTR taskString(const WString& text);

}  // namespace tarvel::service
