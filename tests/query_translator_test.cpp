#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "instrumentation.h"
#include "journal_checks.h"
#include "memory_ledger.h"
#include "query_translator.h"
#include "watched_search.h"

namespace tarvel {
namespace {

using namespace tarvel::testing;
using service::ClassRegistration;
using service::Instrumentation;
using service::MemoryLedger;
using service::QueryHelperSettings;
using service::SearchManager;
using service::SearchServiceConfig;
using service::WString;
using Journal = std::vector<std::string>;

constexpr HRESULT kServiceDisabled = static_cast<HRESULT>(0x80070422);
constexpr HRESULT kQueryError = static_cast<HRESULT>(0x80041605);

class QueryTranslatorTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(S_OK, CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
        config_.generator = [this](const WString& query, const QueryHelperSettings& settings,
                                   WString& sql) {
            seenSettings_ = settings;
            sql = TARVEL_UTF16("SELECT \"System.ItemPathDisplay\" FROM \"SystemIndex\" WHERE ") +
                  query;
            return S_OK;
        };
        ASSERT_EQ(S_OK, service::registerWatched(registration_, CLSID_CSearchManager,
                                                 CLSCTX_LOCAL_SERVER, &instrumentation_,
                                                 service::WatchedSearch::make, &search_));
    }
    void TearDown() override {
        registration_.revoke();
        EXPECT_EQ(Journal{}, instrumentation_.liveObjects());
        EXPECT_EQ(Journal{}, instrumentation_.errors());
        EXPECT_EQ(Journal{}, ledger_.unfreed());
        EXPECT_EQ(Journal{}, ledger_.freedTwice());
        CoUninitialize();
    }

    HRESULT translate(LPCWSTR query, LONG maxResults) {
        sql_ = reinterpret_cast<LPWSTR>(0x1);  // the translator must clear it first
        return QueryTranslator::translate(query, &sql_, maxResults);
    }
    void freeSql() {
        CoTaskMemFree(sql_);
        sql_ = nullptr;
    }

    MemoryLedger ledger_;
    Instrumentation instrumentation_;
    SearchServiceConfig config_;
    service::WatchedSearch search_{&instrumentation_, &config_};
    ClassRegistration registration_;
    QueryHelperSettings seenSettings_;
    LPWSTR sql_ = nullptr;
};

TEST_F(QueryTranslatorTest, AsksTheHelperOfSystemIndexForOneColumnAndReleasesEverything) {
    ASSERT_EQ(S_OK, translate(TARVEL_UTF16("report"), 25));
    ASSERT_NE(nullptr, sql_);
    EXPECT_EQ(WString(TARVEL_UTF16(
                  "SELECT \"System.ItemPathDisplay\" FROM \"SystemIndex\" WHERE report")),
              WString(sql_));
    freeSql();
    EXPECT_EQ(25, seenSettings_.maxResults);
    EXPECT_EQ(WString(TARVEL_UTF16("System.ItemPathDisplay")), seenSettings_.selectColumns);
    // The helper is looked up, its catalog and search manager go in that order, and it is
    // released after it generated the SQL; each setter is called once before the generation.
    const Journal& journal = instrumentation_.journal();
    EXPECT_TRUE(inOrder(journal, {"IClassFactory::CreateInstance(ISearchManager)",
                                  "ISearchManager::GetCatalog(SystemIndex)",
                                  "ISearchCatalogManager::GetQueryHelper()",
                                  "ISearchQueryHelper::GenerateSQLFromUserQuery(report)"}));
    EXPECT_EQ((Journal{"ISearchCatalogManager::Release", "ISearchManager::Release",
                       "ISearchQueryHelper::Release"}),
              releasesOf(journal));
    for (const char* setter :
         {"ISearchQueryHelper::put_QueryMaxResults(25)",
          "ISearchQueryHelper::put_QuerySelectColumns(System.ItemPathDisplay)"}) {
        EXPECT_EQ(1u, countOf(journal, setter)) << setter;
        EXPECT_TRUE(
            inOrder(journal, {setter, "ISearchQueryHelper::GenerateSQLFromUserQuery(report)"}));
    }
}

TEST_F(QueryTranslatorTest, PassesTheMaximumCountUnchanged) {
    for (LONG maxResults : {0, -1, 1, 2147483647}) {
        instrumentation_.clearJournal();
        ASSERT_EQ(S_OK, translate(TARVEL_UTF16("x"), maxResults));
        freeSql();
        EXPECT_EQ(maxResults, seenSettings_.maxResults);
        EXPECT_EQ(1u,
                  instrumentation_
                      .journalMatching("put_QueryMaxResults(" + std::to_string(maxResults) + ")")
                      .size());
    }
}

TEST_F(QueryTranslatorTest, FailedCreationOfTheSearchManagerStopsAtOnce) {
    instrumentation_.failCall("IClassFactory::CreateInstance", kServiceDisabled);
    EXPECT_EQ(kServiceDisabled, translate(TARVEL_UTF16("report"), 10));
    EXPECT_EQ(nullptr, sql_);
    EXPECT_EQ(Journal{"IClassFactory::CreateInstance(ISearchManager) -> 0x80070422"},
              instrumentation_.journal());
}

TEST_F(QueryTranslatorTest, FailedCatalogLookupReleasesTheSearchManager) {
    instrumentation_.failCall("ISearchManager::GetCatalog", E_ACCESSDENIED);
    EXPECT_EQ(E_ACCESSDENIED, translate(TARVEL_UTF16("report"), 10));
    EXPECT_EQ(nullptr, sql_);
    EXPECT_TRUE(inOrder(instrumentation_.journal(),
                        {"ISearchManager::GetCatalog(SystemIndex) -> 0x80070005"}));
    EXPECT_EQ(Journal{"ISearchManager::Release"}, releasesOf(instrumentation_.journal()));
}

TEST_F(QueryTranslatorTest, FailedHelperLookupReleasesCatalogThenSearchManager) {
    instrumentation_.failCall("ISearchCatalogManager::GetQueryHelper", E_FAIL);
    EXPECT_EQ(E_FAIL, translate(TARVEL_UTF16("report"), 10));
    EXPECT_EQ(nullptr, sql_);
    EXPECT_TRUE(inOrder(instrumentation_.journal(),
                        {"ISearchCatalogManager::GetQueryHelper() -> 0x80004005"}));
    EXPECT_EQ((Journal{"ISearchCatalogManager::Release", "ISearchManager::Release"}),
              releasesOf(instrumentation_.journal()));
}

TEST_F(QueryTranslatorTest, FailingSettersDoNotStopTheGeneration) {
    instrumentation_.failCall("ISearchQueryHelper::put_QueryMaxResults", E_INVALIDARG);
    instrumentation_.failCall("ISearchQueryHelper::put_QuerySelectColumns", E_INVALIDARG);
    ASSERT_EQ(S_OK, translate(TARVEL_UTF16("report"), 10));
    EXPECT_NE(nullptr, sql_);
    freeSql();
    EXPECT_EQ(1u, instrumentation_.journalMatching("GenerateSQLFromUserQuery(report)").size());
}

TEST_F(QueryTranslatorTest, AQueryTheHelperRejectsEndsWithItsErrorAndNoText) {
    config_.generator = [](const WString&, const QueryHelperSettings&, WString&) {
        return kQueryError;
    };
    EXPECT_EQ(kQueryError, translate(TARVEL_UTF16("((("), 10));
    EXPECT_EQ(nullptr, sql_);
    const Journal journal = instrumentation_.journal();
    ASSERT_GE(journal.size(), 2u);
    EXPECT_EQ("ISearchQueryHelper::GenerateSQLFromUserQuery(((()", journal[journal.size() - 2]);
    EXPECT_EQ("ISearchQueryHelper::Release", journal.back());
}

TEST_F(QueryTranslatorTest, GenerationSuccessCodesArePassedOn) {
    config_.generator = [](const WString&, const QueryHelperSettings&, WString& sql) {
        sql = TARVEL_UTF16("SELECT 1");
        return S_FALSE;
    };
    EXPECT_EQ(S_FALSE, translate(TARVEL_UTF16("report"), 10));
    EXPECT_EQ(WString(TARVEL_UTF16("SELECT 1")), WString(sql_));
    freeSql();
}

TEST_F(QueryTranslatorTest, TextLeftBehindByAFailingHelperIsFreed) {
    // A generator that fails with text: the helper hands it over all the same.
    config_.generator = [](const WString&, const QueryHelperSettings&, WString& sql) {
        sql = TARVEL_UTF16("SELECT broken");
        return kQueryError;
    };
    EXPECT_EQ(kQueryError, translate(TARVEL_UTF16("report"), 10));
    EXPECT_EQ(nullptr, sql_);
    ASSERT_TRUE(ledger_.watching());
    EXPECT_EQ(1u, ledger_.handedOver());
}

TEST(QueryTranslator, RefusesAMissingOutputOrHelper) {
    EXPECT_EQ(E_POINTER, QueryTranslator::translate(TARVEL_UTF16("report"), nullptr, 10));
    LPWSTR sql = reinterpret_cast<LPWSTR>(0x1);
    EXPECT_EQ(E_POINTER, QueryTranslator::generateSql(nullptr, TARVEL_UTF16("report"), &sql, 10));
    auto* helper = reinterpret_cast<ISearchQueryHelper*>(0x1);  // never called
    EXPECT_EQ(E_POINTER, QueryTranslator::generateSql(helper, TARVEL_UTF16("report"), nullptr, 10));
}

}  // namespace
}  // namespace tarvel
