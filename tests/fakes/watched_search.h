// The stand-in search manager, catalog manager, query helper and crawl scope manager, watched:
// each call is journaled with its detail, may fail on demand, and each text handed over is in
// the memory ledger. A catalog asked for what its configuration does not tell is an unexpected
// call, as a method the stand-in does not serve is.
#pragma once

#include "search_manager.h"
#include "watched.h"

namespace tarvel::service {

class WatchedQueryHelper final : public Watched<QueryHelper> {
public:
    WatchedQueryHelper(Instrumentation* watch, const SearchServiceConfig* config)
        : Watched(watch, "ISearchQueryHelper", config) {}

    HRESULT STDMETHODCALLTYPE put_QuerySelectColumns(LPCWSTR pszSelectColumns) override;
    HRESULT STDMETHODCALLTYPE get_QuerySelectColumns(LPWSTR* ppszSelectColumns) override;
    HRESULT STDMETHODCALLTYPE GenerateSQLFromUserQuery(LPCWSTR pszQuery, LPWSTR* ppszSQL) override;
    HRESULT STDMETHODCALLTYPE put_QueryMaxResults(LONG cMaxResults) override;
    HRESULT STDMETHODCALLTYPE get_QueryMaxResults(LONG* pcMaxResults) override;
};

class WatchedCrawlScope final : public Watched<CrawlScopeManager> {
public:
    WatchedCrawlScope(Instrumentation* watch, const SearchServiceConfig* config)
        : Watched(watch, "ISearchCrawlScopeManager", config) {}

    HRESULT STDMETHODCALLTYPE IncludedInCrawlScopeEx(LPCWSTR pszURL, BOOL* pfIsIncluded,
                                                     CLUSION_REASON* pReason) override;
};

class WatchedCatalog final : public Watched<CatalogManager> {
public:
    WatchedCatalog(Instrumentation* watch, const SearchServiceConfig* config)
        : Watched(watch, "ISearchCatalogManager", config) {}

    HRESULT STDMETHODCALLTYPE get_Name(LPWSTR* pszName) override;
    HRESULT STDMETHODCALLTYPE GetCatalogStatus(CatalogStatus* pStatus,
                                               CatalogPausedReason* pPausedReason) override;
    HRESULT STDMETHODCALLTYPE NumberOfItems(LONG* plCount) override;
    HRESULT STDMETHODCALLTYPE NumberOfItemsToIndex(LONG* plIncrementalCount,
                                                   LONG* plNotificationQueue,
                                                   LONG* plHighPriorityQueue) override;
    HRESULT STDMETHODCALLTYPE GetQueryHelper(ISearchQueryHelper** ppSearchQueryHelper) override;
    HRESULT STDMETHODCALLTYPE
    GetCrawlScopeManager(ISearchCrawlScopeManager** ppCrawlScopeManager) override;

protected:
    QueryHelper* newQueryHelper() override;
    CrawlScopeManager* newCrawlScope() override;
};

class WatchedSearchManager final : public Watched<SearchManager> {
public:
    WatchedSearchManager(Instrumentation* watch, const SearchServiceConfig* config)
        : Watched(watch, "ISearchManager", config) {}

    HRESULT STDMETHODCALLTYPE GetIndexerVersionStr(LPWSTR* ppszVersionString) override;
    HRESULT STDMETHODCALLTYPE GetCatalog(LPCWSTR pszCatalog,
                                         ISearchCatalogManager** ppCatalogManager) override;

protected:
    CatalogManager* newCatalog() override;
};

// A class object whose CreateInstance is journaled ("IClassFactory::CreateInstance(IRowset)")
// and may fail on demand, as the objects it makes are.
class WatchedClassFactory final : public ClassFactory, public Watchable {
public:
    WatchedClassFactory(Instrumentation* watch, Maker maker, void* context)
        : ClassFactory(maker, context), watch_(watch) {}

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* pUnkOuter, REFIID riid,
                                             void** ppvObject) override;
    const std::string& watchedName() const override { return name_; }
    long watchedReferences() const override { return references(); }

private:
    Instrumentation* watch_;
    std::string name_ = "IClassFactory";
};

// Registers a class object, watched, whose maker makes instances out of makerContext.
HRESULT registerWatched(ClassRegistration& registration, REFCLSID clsid, DWORD context,
                        Instrumentation* watch, ClassFactory::Maker maker, void* makerContext);

// The watched search manager and what it serves, as a class object's context.
struct WatchedSearch {
    Instrumentation* watch;
    const SearchServiceConfig* config;

    static HRESULT make(void* context, REFIID riid, void** ppv);
};

}  // namespace tarvel::service
