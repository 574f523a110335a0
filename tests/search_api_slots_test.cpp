// The module reaches the Windows Search interfaces through fixed vtable slots. These tests call
// the stand-in objects through raw slot numbers, as a caller built against the platform's
// headers would, and check which method answered.
#include <gtest/gtest.h>

#include "instrumentation.h"
#include "watched_search.h"

namespace tarvel {
namespace {

using service::CatalogManager;
using service::Instrumentation;
using service::QueryHelper;
using service::QueryHelperSettings;
using service::SearchManager;
using service::SearchServiceConfig;
using service::WString;

template <class Fn, class I>
Fn slot(I* object, size_t index) {
    void** table = *reinterpret_cast<void***>(object);
    return reinterpret_cast<Fn>(table[index]);
}

class SearchApiSlots : public ::testing::Test {
protected:
    void SetUp() override {
        config_.generator = [](const WString&, const QueryHelperSettings&, WString& sql) {
            sql = TARVEL_UTF16("SELECT");
            return S_OK;
        };
    }
    std::string lastCall() const {
        return instrumentation_.journal().empty() ? "" : instrumentation_.journal().back();
    }
    Instrumentation instrumentation_;
    SearchServiceConfig config_;
};

TEST_F(SearchApiSlots, GetCatalogIsSlotTenOfTheSearchManager) {
    SearchManager* manager =
        SearchManager::create<service::WatchedSearchManager>(&instrumentation_, &config_);
    using Fn = HRESULT(STDMETHODCALLTYPE*)(ISearchManager*, LPCWSTR, ISearchCatalogManager**);
    ISearchCatalogManager* catalog = nullptr;
    ISearchManager* itf = manager->as<ISearchManager>();
    EXPECT_EQ(S_OK, slot<Fn>(itf, 10)(itf, TARVEL_UTF16("SystemIndex"), &catalog));
    EXPECT_EQ("ISearchManager::GetCatalog(SystemIndex)", lastCall());
    ASSERT_NE(nullptr, catalog);
    catalog->Release();
    itf->Release();
}

TEST_F(SearchApiSlots, GetQueryHelperIsSlotTwentyFiveOfTheCatalogManager) {
    CatalogManager* catalog =
        CatalogManager::create<service::WatchedCatalog>(&instrumentation_, &config_);
    using Fn = HRESULT(STDMETHODCALLTYPE*)(ISearchCatalogManager*, ISearchQueryHelper**);
    ISearchQueryHelper* helper = nullptr;
    ISearchCatalogManager* itf = catalog->as<ISearchCatalogManager>();
    EXPECT_EQ(S_OK, slot<Fn>(itf, 25)(itf, &helper));
    EXPECT_EQ("ISearchCatalogManager::GetQueryHelper()", lastCall());
    ASSERT_NE(nullptr, helper);
    helper->Release();
    itf->Release();
}

TEST_F(SearchApiSlots, TheQueryHelperSlotsTheModuleCalls) {
    QueryHelper* helper =
        QueryHelper::create<service::WatchedQueryHelper>(&instrumentation_, &config_);
    ISearchQueryHelper* itf = helper->as<ISearchQueryHelper>();

    using ColumnsFn = HRESULT(STDMETHODCALLTYPE*)(ISearchQueryHelper*, LPCWSTR);
    EXPECT_EQ(S_OK, slot<ColumnsFn>(itf, 14)(itf, TARVEL_UTF16("System.ItemPathDisplay")));
    EXPECT_EQ("ISearchQueryHelper::put_QuerySelectColumns(System.ItemPathDisplay)", lastCall());

    using MaxFn = HRESULT(STDMETHODCALLTYPE*)(ISearchQueryHelper*, LONG);
    EXPECT_EQ(S_OK, slot<MaxFn>(itf, 22)(itf, 7));
    EXPECT_EQ("ISearchQueryHelper::put_QueryMaxResults(7)", lastCall());

    using GenerateFn = HRESULT(STDMETHODCALLTYPE*)(ISearchQueryHelper*, LPCWSTR, LPWSTR*);
    LPWSTR sql = nullptr;
    EXPECT_EQ(S_OK, slot<GenerateFn>(itf, 20)(itf, TARVEL_UTF16("report"), &sql));
    EXPECT_EQ("ISearchQueryHelper::GenerateSQLFromUserQuery(report)", lastCall());
    CoTaskMemFree(sql);

    using GetMaxFn = HRESULT(STDMETHODCALLTYPE*)(ISearchQueryHelper*, LONG*);
    LONG max = 0;
    EXPECT_EQ(S_OK, slot<GetMaxFn>(itf, 23)(itf, &max));
    EXPECT_EQ(7, max);
    itf->Release();
}

TEST_F(SearchApiSlots, TheSlotsTarvelHostsCheckCalls) {
    config_.indexerVersion = TARVEL_UTF16("7.0");
    config_.catalogState = [] {
        return service::CatalogState{CATALOG_STATUS_PAUSED, CATALOG_PAUSED_REASON_LOW_DISK};
    };
    config_.itemCount = [] { return LONG(42); };
    config_.inCrawlScope = [](const WString&, CLUSION_REASON* reason) {
        *reason = CLUSIONREASON_USER;
        return true;
    };
    ISearchManager* manager =
        SearchManager::create<service::WatchedSearchManager>(&instrumentation_, &config_)
            ->as<ISearchManager>();
    using VersionFn = HRESULT(STDMETHODCALLTYPE*)(ISearchManager*, LPWSTR*);
    LPWSTR version = nullptr;
    EXPECT_EQ(S_OK, slot<VersionFn>(manager, 3)(manager, &version));
    EXPECT_EQ("ISearchManager::GetIndexerVersionStr()", lastCall());
    ASSERT_NE(nullptr, version);
    EXPECT_EQ(WString(TARVEL_UTF16("7.0")), WString(version));
    CoTaskMemFree(version);
    manager->Release();

    ISearchCatalogManager* catalog =
        CatalogManager::create<service::WatchedCatalog>(&instrumentation_, &config_)
            ->as<ISearchCatalogManager>();
    using StatusFn =
        HRESULT(STDMETHODCALLTYPE*)(ISearchCatalogManager*, CatalogStatus*, CatalogPausedReason*);
    CatalogStatus status = 0;
    CatalogPausedReason reason = 0;
    EXPECT_EQ(S_OK, slot<StatusFn>(catalog, 6)(catalog, &status, &reason));
    EXPECT_EQ("ISearchCatalogManager::GetCatalogStatus()", lastCall());
    EXPECT_EQ(1, status);
    EXPECT_EQ(6, reason);
    using CountFn = HRESULT(STDMETHODCALLTYPE*)(ISearchCatalogManager*, LONG*);
    LONG items = 0;
    EXPECT_EQ(S_OK, slot<CountFn>(catalog, 15)(catalog, &items));
    EXPECT_EQ("ISearchCatalogManager::NumberOfItems()", lastCall());
    EXPECT_EQ(42, items);
    using WaitingFn = HRESULT(STDMETHODCALLTYPE*)(ISearchCatalogManager*, LONG*, LONG*, LONG*);
    LONG waiting[3] = {7, 7, 7};
    EXPECT_EQ(S_OK, slot<WaitingFn>(catalog, 16)(catalog, &waiting[0], &waiting[1], &waiting[2]));
    EXPECT_EQ("ISearchCatalogManager::NumberOfItemsToIndex()", lastCall());
    EXPECT_EQ(0, waiting[0] + waiting[1] + waiting[2]);
    using ScopeFn = HRESULT(STDMETHODCALLTYPE*)(ISearchCatalogManager*, ISearchCrawlScopeManager**);
    ISearchCrawlScopeManager* scope = nullptr;
    EXPECT_EQ(S_OK, slot<ScopeFn>(catalog, 28)(catalog, &scope));
    EXPECT_EQ("ISearchCatalogManager::GetCrawlScopeManager()", lastCall());
    catalog->Release();
    ASSERT_NE(nullptr, scope);

    using IncludedFn =
        HRESULT(STDMETHODCALLTYPE*)(ISearchCrawlScopeManager*, LPCWSTR, BOOL*, CLUSION_REASON*);
    BOOL included = FALSE;
    CLUSION_REASON clusion = 0;
    EXPECT_EQ(S_OK,
              slot<IncludedFn>(scope, 14)(scope, TARVEL_UTF16("file:///d/"), &included, &clusion));
    EXPECT_EQ("ISearchCrawlScopeManager::IncludedInCrawlScopeEx(file:///d/)", lastCall());
    EXPECT_TRUE(included);
    EXPECT_EQ(2, clusion);
    scope->Release();
    EXPECT_EQ(std::vector<std::string>{}, instrumentation_.liveObjects());
}

}  // namespace
}  // namespace tarvel
