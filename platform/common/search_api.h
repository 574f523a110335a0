// The Windows Search interfaces the module, tarvel-host's check and the stand-in service use.
// Neither the MinGW-w64 headers nor the non-Windows layer ship them, so both builds take them
// from here. A COM call goes through the vtable slot, so every method up to the last one called
// is declared, in the platform's order.
#pragma once

namespace tarvel {

// The catalog of the system index, and the property of an item's display path that a search
// selects: the names Windows Search gives them, for the module, tarvel-host and the stand-in.
inline constexpr WCHAR kSystemIndex[] = TARVEL_UTF16("SystemIndex");
inline constexpr WCHAR kItemPathDisplay[] = TARVEL_UTF16("System.ItemPathDisplay");

}  // namespace tarvel

typedef int PROXY_ACCESS;
typedef int CatalogStatus;
typedef int CatalogPausedReason;
typedef int SEARCH_TERM_EXPANSION;
typedef int SEARCH_QUERY_SYNTAX;
typedef int CLUSION_REASON;

// The values of the enumerations tarvel-host's check reads, as the platform publishes them.
enum : CatalogStatus {
    CATALOG_STATUS_IDLE = 0,
    CATALOG_STATUS_PAUSED = 1,
    CATALOG_STATUS_RECOVERING = 2,
    CATALOG_STATUS_FULL_CRAWL = 3,
    CATALOG_STATUS_INCREMENTAL_CRAWL = 4,
    CATALOG_STATUS_PROCESSING_NOTIFICATIONS = 5,
    CATALOG_STATUS_SHUTTING_DOWN = 6,
};
enum : CatalogPausedReason {
    CATALOG_PAUSED_REASON_NONE = 0,
    CATALOG_PAUSED_REASON_HIGH_IO = 1,
    CATALOG_PAUSED_REASON_HIGH_CPU = 2,
    CATALOG_PAUSED_REASON_HIGH_NTF_RATE = 3,
    CATALOG_PAUSED_REASON_LOW_BATTERY = 4,
    CATALOG_PAUSED_REASON_LOW_MEMORY = 5,
    CATALOG_PAUSED_REASON_LOW_DISK = 6,
    CATALOG_PAUSED_REASON_DELAYED_RECOVERY = 7,
    CATALOG_PAUSED_REASON_USER_ACTIVE = 8,
    CATALOG_PAUSED_REASON_EXTERNAL = 9,
    CATALOG_PAUSED_REASON_UPGRADING = 10,
};
enum : CLUSION_REASON {
    CLUSIONREASON_UNKNOWNSCOPE = 0,
    CLUSIONREASON_DEFAULT = 1,
    CLUSIONREASON_USER = 2,
    CLUSIONREASON_GROUPPOLICY = 3,
};

// COM interfaces are released, never deleted: no virtual destructor.
// NOLINTBEGIN(cppcoreguidelines-virtual-class-destructor)
struct ISearchCatalogManager;
struct ISearchCrawlScopeManager;
struct ISearchQueryHelper;

struct ISearchManager : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetIndexerVersionStr(LPWSTR* ppszVersionString) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetIndexerVersion(DWORD* pdwMajor, DWORD* pdwMinor) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetParameter(LPCWSTR pszName, PROPVARIANT** ppValue) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetParameter(LPCWSTR pszName, const PROPVARIANT* pValue) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ProxyName(LPWSTR* ppszProxyName) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_BypassList(LPWSTR* ppszBypassList) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetProxy(PROXY_ACCESS sUseProxy, BOOL fLocalByPassProxy,
                                               DWORD dwPortNumber, LPCWSTR pszProxyName,
                                               LPCWSTR pszByPassList) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetCatalog(LPCWSTR pszCatalog,
                                                 ISearchCatalogManager** ppCatalogManager) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_UserAgent(LPWSTR* ppszUserAgent) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_UserAgent(LPCWSTR pszUserAgent) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_UseProxy(PROXY_ACCESS* pUseProxy) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_LocalBypass(BOOL* pfLocalBypass) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_PortNumber(DWORD* pdwPortNumber) = 0;
};

struct ISearchCatalogManager : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE get_Name(LPWSTR* pszName) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetParameter(LPCWSTR pszName, PROPVARIANT** ppValue) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetParameter(LPCWSTR pszName, PROPVARIANT* pValue) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetCatalogStatus(CatalogStatus* pStatus,
                                                       CatalogPausedReason* pPausedReason) = 0;
    virtual HRESULT STDMETHODCALLTYPE Reset() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reindex() = 0;
    virtual HRESULT STDMETHODCALLTYPE ReindexMatchingURLs(LPCWSTR pszPattern) = 0;
    virtual HRESULT STDMETHODCALLTYPE ReindexSearchRoot(LPCWSTR pszRootURL) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_ConnectTimeout(DWORD dwConnectTimeout) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ConnectTimeout(DWORD* pdwConnectTimeout) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_DataTimeout(DWORD dwDataTimeout) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_DataTimeout(DWORD* pdwDataTimeout) = 0;
    virtual HRESULT STDMETHODCALLTYPE NumberOfItems(LONG* plCount) = 0;
    virtual HRESULT STDMETHODCALLTYPE NumberOfItemsToIndex(LONG* plIncrementalCount,
                                                           LONG* plNotificationQueue,
                                                           LONG* plHighPriorityQueue) = 0;
    virtual HRESULT STDMETHODCALLTYPE URLBeingIndexed(LPWSTR* pszUrl) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetURLIndexingState(LPCWSTR pszURL, DWORD* pdwState) = 0;
    virtual HRESULT STDMETHODCALLTYPE
    GetPersistentItemsChangedSink(IUnknown** ppISearchPersistentItemsChangedSink) = 0;
    virtual HRESULT STDMETHODCALLTYPE RegisterViewForNotification(LPCWSTR pszView,
                                                                  IUnknown* pViewChangedSink,
                                                                  DWORD* pdwCookie) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetItemsChangedSink(IUnknown* pISearchNotifyInlineSite,
                                                          REFIID riid, void** ppv,
                                                          GUID* pGUIDCatalogResetSignature,
                                                          GUID* pGUIDCheckPointSignature,
                                                          DWORD* pdwLastCheckPointNumber) = 0;
    virtual HRESULT STDMETHODCALLTYPE UnregisterViewForNotification(DWORD dwCookie) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetExtensionClusion(LPCWSTR pszExtension, BOOL fExclude) = 0;
    virtual HRESULT STDMETHODCALLTYPE EnumerateExcludedExtensions(IEnumString** ppExtensions) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetQueryHelper(ISearchQueryHelper** ppSearchQueryHelper) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_DiacriticSensitivity(BOOL fDiacriticSensitive) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_DiacriticSensitivity(BOOL* pfDiacriticSensitive) = 0;
    virtual HRESULT STDMETHODCALLTYPE
    GetCrawlScopeManager(ISearchCrawlScopeManager** ppCrawlScopeManager) = 0;
};

// Declared up to the last slot called, IncludedInCrawlScopeEx (14); the enumerators and the
// search root, which nothing here uses, are passed as IUnknown.
struct ISearchCrawlScopeManager : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE AddDefaultScopeRule(LPCWSTR pszURL, BOOL fInclude,
                                                          DWORD fFollowFlags) = 0;
    virtual HRESULT STDMETHODCALLTYPE AddRoot(IUnknown* pSearchRoot) = 0;
    virtual HRESULT STDMETHODCALLTYPE RemoveRoot(LPCWSTR pszURL) = 0;
    virtual HRESULT STDMETHODCALLTYPE EnumerateRoots(IUnknown** ppSearchRoots) = 0;
    virtual HRESULT STDMETHODCALLTYPE AddHierarchicalScope(LPCWSTR pszURL, BOOL fInclude,
                                                           BOOL fDefault,
                                                           BOOL fOverrideChildren) = 0;
    virtual HRESULT STDMETHODCALLTYPE AddUserScopeRule(LPCWSTR pszURL, BOOL fInclude,
                                                       BOOL fOverrideChildren,
                                                       DWORD fFollowFlags) = 0;
    virtual HRESULT STDMETHODCALLTYPE RemoveScopeRule(LPCWSTR pszRule) = 0;
    virtual HRESULT STDMETHODCALLTYPE EnumerateScopeRules(IUnknown** ppSearchScopeRules) = 0;
    virtual HRESULT STDMETHODCALLTYPE HasParentScopeRule(LPCWSTR pszURL, BOOL* pfHasParentRule) = 0;
    virtual HRESULT STDMETHODCALLTYPE HasChildScopeRule(LPCWSTR pszURL, BOOL* pfHasChildRule) = 0;
    virtual HRESULT STDMETHODCALLTYPE IncludedInCrawlScope(LPCWSTR pszURL, BOOL* pfIsIncluded) = 0;
    virtual HRESULT STDMETHODCALLTYPE IncludedInCrawlScopeEx(LPCWSTR pszURL, BOOL* pfIsIncluded,
                                                             CLUSION_REASON* pReason) = 0;
};

struct ISearchQueryHelper : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE get_ConnectionString(LPWSTR* pszConnectionString) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_QueryContentLocale(LCID lcid) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_QueryContentLocale(LCID* plcid) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_QueryKeywordLocale(LCID lcid) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_QueryKeywordLocale(LCID* plcid) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_QueryTermExpansion(SEARCH_TERM_EXPANSION expandTerms) = 0;
    virtual HRESULT STDMETHODCALLTYPE
    get_QueryTermExpansion(SEARCH_TERM_EXPANSION* pExpandTerms) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_QuerySyntax(SEARCH_QUERY_SYNTAX querySyntax) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_QuerySyntax(SEARCH_QUERY_SYNTAX* pQuerySyntax) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_QueryContentProperties(LPCWSTR pszContentProperties) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_QueryContentProperties(LPWSTR* ppszContentProperties) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_QuerySelectColumns(LPCWSTR pszSelectColumns) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_QuerySelectColumns(LPWSTR* ppszSelectColumns) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_QueryWhereRestrictions(LPCWSTR pszRestrictions) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_QueryWhereRestrictions(LPWSTR* ppszRestrictions) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_QuerySorting(LPCWSTR pszSorting) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_QuerySorting(LPWSTR* ppszSorting) = 0;
    virtual HRESULT STDMETHODCALLTYPE GenerateSQLFromUserQuery(LPCWSTR pszQuery,
                                                               LPWSTR* ppszSQL) = 0;
    virtual HRESULT STDMETHODCALLTYPE WriteProperties(LONG itemID, DWORD dwNumberOfColumns,
                                                      PROPERTYKEY* pColumns, void* pValues,
                                                      FILETIME* pftGatherModifiedTime) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_QueryMaxResults(LONG cMaxResults) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_QueryMaxResults(LONG* pcMaxResults) = 0;
};
// NOLINTEND(cppcoreguidelines-virtual-class-destructor)

extern "C" {
extern const CLSID CLSID_CSearchManager;
extern const IID IID_ISearchManager;
extern const IID IID_ISearchCatalogManager;
extern const IID IID_ISearchQueryHelper;
extern const IID IID_ISearchCrawlScopeManager;
}
