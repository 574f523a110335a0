// Whole searches through ModuleEntry against the scripted service and provider: the lines the
// host receives and the order in which everything is released.
#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

#include "apartment_probe.h"
#include "journal_checks.h"
#include "search_run.h"
#include "search_world.h"

namespace tarvel {
namespace {

using namespace tarvel::testing;
using testing::apartmentCalls;
using testing::ApartmentCalls;
using Lines = std::vector<WString>;

const WCHAR kError[] = TARVEL_UTF16("(Error reading result)");

WString repeated(WCHAR unit, size_t count) {
    return WString(count, unit);
}

Table oneColumn(DBTYPE type, DBLENGTH size, std::vector<Cell> cells) {
    Table table{{column(1, type, size)}};
    for (Cell& cell : cells) {
        table.rows.push_back({std::move(cell)});
    }
    return table;
}

class SearchRunTest : public ::testing::Test {
protected:
    void TearDown() override { EXPECT_EQ(Journal{}, world_.leftovers()); }

    Lines searchLines(Table table) {
        world_.setTable(std::move(table));
        EXPECT_EQ(0, world_.search());
        return world_.host.lines;
    }
    // The journal from the first entry equal to first.
    Journal journalFrom(const std::string& first) const {
        const Journal& all = world_.instrumentation.journal();
        auto it = std::find(all.begin(), all.end(), first);
        return Journal(it, all.end());
    }

    SearchWorld world_;
};

TEST_F(SearchRunTest, AQueryOfOneUnitIsSearched) {
    world_.setTable(pathTable({TARVEL_UTF16("C:\\x")}));
    EXPECT_EQ(0, world_.search(TARVEL_UTF16("x")));
    EXPECT_EQ(Lines{TARVEL_UTF16("C:\\x")}, world_.host.lines);
    EXPECT_EQ(1u, world_.instrumentation.journalMatching("GenerateSQLFromUserQuery(x)").size());
}

TEST_F(SearchRunTest, ColumnsAboveEightThousandBytesComeAsStreams) {
    Table table{{column(1, DBTYPE_BYTES, 8000), column(2, DBTYPE_BYTES, 8001)}};
    table.rows = {{bytesCell({1}), bytesCell({2})}};
    EXPECT_EQ(Lines{TARVEL_UTF16("(Unhandled database type 128)(Unhandled database type 13)")},
              searchLines(table));
}

TEST_F(SearchRunTest, AWalkEndedByAWarningStillFreesTheLastRowsValues) {
    Table table{{column(1, DBTYPE_BSTR, 8), column(2, DBTYPE_VARIANT, 24)}};
    for (const WCHAR* text :
         {TARVEL_UTF16("C:\\a"), TARVEL_UTF16("C:\\b"), TARVEL_UTF16("C:\\c")}) {
        table.rows.push_back({Cell::ofText(text), Cell::ofText(text)});
    }
    // The second row is fetched whole, then answered with a warning that ends the walk.
    world_.quirks.answerAfterFetch = S_FALSE;
    world_.quirks.answeredRow = 2;
    EXPECT_EQ(Lines{TARVEL_UTF16("C:\\aC:\\a")}, searchLines(table));
    // The teardown checks that its BSTRs were freed.
}

TEST_F(SearchRunTest, NoMatchDeliversNothingAndReleasesEverything) {
    EXPECT_EQ(Lines{}, searchLines(pathTable({})));
}

TEST_F(SearchRunTest, ThreeMatchesAreThreeLinesInRowsetOrder) {
    const Lines paths = {TARVEL_UTF16("C:\\Users\\ann\\report.docx"),
                         TARVEL_UTF16("C:\\Users\\ann\\report 2.docx"),
                         TARVEL_UTF16("D:\\archive\\Report.txt")};
    EXPECT_EQ(paths, searchLines(pathTable(paths)));
    EXPECT_EQ(3u, world_.instrumentation.journalMatching("HostCallback").size());
}

TEST_F(SearchRunTest, TheQueryAndMaximumReachTheHelper) {
    world_.setTable(pathTable({}));
    EXPECT_EQ(0, world_.search(TARVEL_UTF16("kind:doc report"), 25));
    EXPECT_EQ(
        1u,
        world_.instrumentation.journalMatching("GenerateSQLFromUserQuery(kind:doc report)").size());
    EXPECT_EQ(1u, world_.instrumentation.journalMatching("put_QueryMaxResults(25)").size());
    EXPECT_EQ(1u, world_.instrumentation
                      .journalMatching(std::string("SetCommandText(DBGUID_DEFAULT,") + kSql + ")")
                      .size());
}

TEST_F(SearchRunTest, NullPathReadsAsAnError) {
    EXPECT_EQ((Lines{kError, TARVEL_UTF16("C:\\x")}),
              searchLines(oneColumn(DBTYPE_WSTR, 260,
                                    {Cell::null(), Cell::ofText(TARVEL_UTF16("C:\\x"))})));
}

TEST_F(SearchRunTest, VariantPrintsItsStringOrTheUnhandledTypeTwelve) {
    EXPECT_EQ((Lines{TARVEL_UTF16("C:\\variant"), TARVEL_UTF16("(Unhandled database type 12)"),
                     TARVEL_UTF16("")}),
              searchLines(oneColumn(
                  DBTYPE_VARIANT, 24,
                  {Cell::ofText(TARVEL_UTF16("C:\\variant")), integerCell(42), nullTextCell()})));
}

TEST_F(SearchRunTest, BstrPrintsItsTextAndANullBstrIsEmpty) {
    EXPECT_EQ((Lines{TARVEL_UTF16("C:\\bstr"), TARVEL_UTF16("")}),
              searchLines(oneColumn(DBTYPE_BSTR, 8,
                                    {Cell::ofText(TARVEL_UTF16("C:\\bstr")), nullTextCell()})));
}

TEST_F(SearchRunTest, NarrowStringIsUnhandledType129) {
    EXPECT_EQ(Lines{TARVEL_UTF16("(Unhandled database type 129)")},
              searchLines(oneColumn(DBTYPE_STR, 100, {Cell::ofText(TARVEL_UTF16("C:\\a"))})));
}

TEST_F(SearchRunTest, LongColumnIsAStreamReleasedAtEveryRow) {
    const Lines lines =
        searchLines(oneColumn(DBTYPE_WSTR, 100000,
                              {Cell::ofText(TARVEL_UTF16("one")), Cell::ofText(TARVEL_UTF16("two")),
                               Cell::ofText(TARVEL_UTF16("three"))}));
    EXPECT_EQ(Lines(3, TARVEL_UTF16("(Unhandled database type 13)")), lines);
    // Between two requests for rows, the previous row's stream is released.
    int streams = 0;
    int moves = 0;
    for (const std::string& entry : world_.instrumentation.journal()) {
        if (entry.rfind("IRowset::GetNextRows", 0) == 0) {
            EXPECT_EQ(moves == 0 ? 0 : 1, streams) << "before move " << moves;
            streams = 0;
            ++moves;
        } else if (entry == "ISequentialStream::Release") {
            ++streams;
        }
    }
    EXPECT_EQ(4, moves);
}

TEST_F(SearchRunTest, RowsetWithoutColumnsDeliversAnEmptyLinePerRow) {
    Table table;
    table.rows = {{}, {}};
    EXPECT_EQ((Lines{TARVEL_UTF16(""), TARVEL_UTF16("")}), searchLines(table));
}

TEST_F(SearchRunTest, ExecutionWithoutRowsetDeliversNothing) {
    world_.providerConfig.backend = [](const WString&,
                                       std::shared_ptr<const service::Table>& table) {
        table.reset();
        return S_OK;
    };
    EXPECT_EQ(0, world_.search());
    EXPECT_EQ(Lines{}, world_.host.lines);
    EXPECT_TRUE(world_.instrumentation.journalMatching("GetNextRows").empty());
}

TEST_F(SearchRunTest, RowsWithUnreadableColumnsAreDeliveredAndTheWalkGoesOn) {
    Table table{{column(1, DBTYPE_WSTR, 10), column(2, DBTYPE_BSTR, 8)}};
    table.rows = {
        {Cell::ofText(TARVEL_UTF16("C:\\one")), Cell::ofText(TARVEL_UTF16("|a"))},
        // one column of two cannot be read: DB_S_ERRORSOCCURRED
        {Cell::ofText(TARVEL_UTF16("C:\\two")), Cell::ofStatus(DBSTATUS_E_CANTCONVERTVALUE)},
        // none can: DB_E_ERRORSOCCURRED
        {Cell::ofStatus(DBSTATUS_E_UNAVAILABLE), Cell::ofStatus(DBSTATUS_E_PERMISSIONDENIED)},
        // a text cut at its field: a warning status only, and S_OK
        {Cell::ofText(TARVEL_UTF16("C:\\four\\is\\long")), Cell::ofText(TARVEL_UTF16("|d"))},
        {Cell::ofText(TARVEL_UTF16("C:\\five")), Cell::ofText(TARVEL_UTF16("|e"))}};
    EXPECT_EQ((Lines{TARVEL_UTF16("C:\\one|a"), WString(TARVEL_UTF16("C:\\two")) + kError,
                     WString(kError) + kError, TARVEL_UTF16("C:\\four\\is|d"),
                     TARVEL_UTF16("C:\\five|e")}),
              searchLines(table));
    EXPECT_EQ((Journal{"IRowset::ReleaseRows(1,[1])", "IRowset::ReleaseRows(1,[2])",
                       "IRowset::ReleaseRows(1,[3])", "IRowset::ReleaseRows(1,[4])",
                       "IRowset::ReleaseRows(1,[5])"}),
              world_.instrumentation.journalMatching("ReleaseRows"));
}

TEST_F(SearchRunTest, AnUnreadablePathIsAnErrorLineAmongTheOthers) {
    // The module's own query: one path column, whose only value cannot be read in row two.
    EXPECT_EQ(
        (Lines{TARVEL_UTF16("C:\\a"), kError, TARVEL_UTF16("C:\\c\\"), TARVEL_UTF16("C:\\d")}),
        searchLines(oneColumn(
            DBTYPE_WSTR, 5,
            {Cell::ofText(TARVEL_UTF16("C:\\a")), Cell::ofStatus(DBSTATUS_E_UNAVAILABLE),
             Cell::ofText(TARVEL_UTF16("C:\\c\\cut")), Cell::ofText(TARVEL_UTF16("C:\\d"))})));
}

TEST_F(SearchRunTest, OtherWarningsFromGetDataEndTheWalk) {
    world_.instrumentation.failCall("IRowset::GetData", S_FALSE, 2);
    EXPECT_EQ(Lines{TARVEL_UTF16("C:\\first")},
              searchLines(pathTable({TARVEL_UTF16("C:\\first"), TARVEL_UTF16("C:\\second"),
                                     TARVEL_UTF16("C:\\third")})));
}

TEST_F(SearchRunTest, AnUnterminatedTextStopsAtTheEndOfItsField) {
    // Ten characters are bound as eleven units; the provider fills all eleven and puts a
    // sentinel after them.
    Table table = oneColumn(DBTYPE_WSTR, 10,
                            {Cell::ofText(TARVEL_UTF16("C:\\exactly1")),
                             Cell::ofText(TARVEL_UTF16("C:\\longer\\than\\that"))});
    world_.quirks.unterminatedText = true;
    EXPECT_EQ((Lines{TARVEL_UTF16("C:\\exactly1"), TARVEL_UTF16("C:\\longer\\t")}),
              searchLines(table));
}

TEST_F(SearchRunTest, AnOnlyTextColumnIsHandedOverWhereItLiesUnlessItMustBeCopied) {
    Table table = oneColumn(DBTYPE_WSTR, 10,
                            {Cell::ofText(TARVEL_UTF16("C:\\one")),
                             Cell::ofText(TARVEL_UTF16("C:\\longer\\than\\that")),
                             Cell::ofText(TARVEL_UTF16("C:\\three"))});
    world_.quirks.unterminatedText = true;
    EXPECT_EQ(
        (Lines{TARVEL_UTF16("C:\\one"), TARVEL_UTF16("C:\\longer\\t"), TARVEL_UTF16("C:\\three")}),
        searchLines(table));
    const std::vector<const void*>& at = world_.host.lineAddresses;
    ASSERT_EQ(3u, at.size());
    EXPECT_EQ(at[0], at[2]) << "terminated texts go to the host from the row buffer";
    EXPECT_NE(at[0], at[1]) << "a text without its terminator goes in a line of its own";
}

TEST_F(SearchRunTest, AnEmptyProviderArrayAtTheEndIsFreedAndHoldsNoRow) {
    world_.quirks.ownRowArrays = true;
    world_.quirks.emptyOwnArrays = true;
    EXPECT_EQ((Lines{TARVEL_UTF16("C:\\1"), TARVEL_UTF16("C:\\2")}),
              searchLines(pathTable({TARVEL_UTF16("C:\\1"), TARVEL_UTF16("C:\\2")})));
}

TEST_F(SearchRunTest, ProviderRowArraysDeliverTheFirstRowOfEach) {
    Table table = pathTable({TARVEL_UTF16("C:\\1"), TARVEL_UTF16("C:\\2"), TARVEL_UTF16("C:\\3"),
                             TARVEL_UTF16("C:\\4")});
    world_.quirks.ownRowArrays = true;
    world_.quirks.rowsPerFetch = 3;
    EXPECT_EQ((Lines{TARVEL_UTF16("C:\\1"), TARVEL_UTF16("C:\\4")}), searchLines(table));
    EXPECT_EQ(2u, world_.instrumentation.journalMatching("free row handle array").size());
}

TEST_F(SearchRunTest, AnUnsupportedStreamPropertyWithUndefinedBytesCountsAsFalse) {
    Table table = oneColumn(DBTYPE_WSTR, 9000, {Cell::ofText(TARVEL_UTF16("long"))});
    table.properties = {{DBPROP_IStream, true}};
    world_.quirks.undefinedUnsupportedValues = true;
    EXPECT_EQ(Lines{TARVEL_UTF16("(Unhandled database type 13)")}, searchLines(table));
}

TEST_F(SearchRunTest, ColumnsWithoutDescriptionsDeliverNothing) {
    Table table = pathTable({TARVEL_UTF16("C:\\a")});
    world_.quirks.columnsWithoutInfo = true;
    EXPECT_EQ(Lines{}, searchLines(table));
    EXPECT_TRUE(world_.instrumentation.journalMatching("CreateAccessor").empty());
    EXPECT_EQ(1u, world_.instrumentation.journalMatching("free column names").size());
}

TEST_F(SearchRunTest, PropertyValuesAreFreedLikeRowValues) {
    Table table{{column(1, DBTYPE_PROPVARIANT, 24)}};
    table.rows = {{Cell::ofText(TARVEL_UTF16("C:\\a"))},
                  {textsCell({TARVEL_UTF16("x"), TARVEL_UTF16("y")})},
                  {integerCell(7)}};
    EXPECT_EQ(Lines(3, TARVEL_UTF16("(Unhandled database type 138)")), searchLines(table));
    // Each row's strings go before the next row is fetched.
    const Journal& all = world_.instrumentation.journal();
    auto fetch = std::find(all.begin(), all.end(), "IRowset::GetData(2,1)");
    ASSERT_NE(all.end(), fetch);
    EXPECT_EQ("free text in a PROPVARIANT", *(fetch - 3));
}

TEST_F(SearchRunTest, BookmarkColumnShiftsTheOrdinalsAndTheLastReadsAsAnError) {
    Table table{{column(0, DBTYPE_I4, 4), column(1, DBTYPE_WSTR, 260)}};
    table.rows = {{integerCell(1), Cell::ofText(TARVEL_UTF16("C:\\a"))}};
    EXPECT_EQ(Lines{WString(TARVEL_UTF16("C:\\a")) + kError}, searchLines(table));
}

TEST_F(SearchRunTest, LinesUpTo32767UnitsArriveWholeAndLongerOnesAreErrorsNeverCut) {
    // Two results whose paths share their first 4095 units print apart; a line longer than any
    // path is an error, and the rows after it still arrive; pieces of several columns count
    // together.
    const WString pair{WCHAR(0xD83D), WCHAR(0xDE00)};
    Table table{{column(1, DBTYPE_BSTR, 8), column(2, DBTYPE_WSTR, 100)}};
    for (const WString& path :
         {repeated(u'p', 4095), repeated(u'p', 4096), repeated(u'p', 4094) + pair,
          repeated(u'p', 32700), repeated(u'p', 32768), repeated(u'p', 40000)}) {
        table.rows.push_back({Cell::ofText(path), Cell::ofText(repeated(u'q', 67))});
    }
    const Lines lines = searchLines(table);
    const WString q = repeated(u'q', 67);
    EXPECT_EQ((Lines{repeated(u'p', 4095) + q, repeated(u'p', 4096) + q,
                     repeated(u'p', 4094) + pair + q, repeated(u'p', 32700) + q, kError, kError}),
              lines);
    // The room for long lines cannot be had: each long row is an error, the short ones arrive.
    world_.reset();
    world_.setTable(
        oneColumn(DBTYPE_BSTR, 8,
                  {Cell::ofText(repeated(u'r', 5000)), Cell::ofText(TARVEL_UTF16("C:\\a")),
                   Cell::ofText(repeated(u'r', 6000))}));
    ModuleAllocatorProbe::failAllocation(5);  // the four of the binding pass go first
    EXPECT_EQ(0, world_.search());
    ModuleAllocatorProbe::failAllocation(0);
    EXPECT_EQ((Lines{kError, TARVEL_UTF16("C:\\a"), kError}), world_.host.lines);
    // The error goes to the host from the line's own room, as every line does.
    EXPECT_EQ(std::vector<const void*>(3, world_.host.lineAddresses[1]), world_.host.lineAddresses);
}

TEST_F(SearchRunTest, TruncatedValueIsPrintedAsTheProviderCutIt) {
    EXPECT_EQ(Lines{TARVEL_UTF16("C:\\lo")},
              searchLines(oneColumn(DBTYPE_WSTR, 5, {Cell::ofText(TARVEL_UTF16("C:\\long"))})));
    // Cut in a field of eight units that the length field follows at once: the provider's
    // length, beyond the field, is no reason to read past its end, and the cut text goes to the
    // host where it lies, as a whole one does.
    world_.reset();
    EXPECT_EQ((Lines{TARVEL_UTF16("C:\\long"), TARVEL_UTF16("C:\\a")}),
              searchLines(oneColumn(DBTYPE_WSTR, 7,
                                    {Cell::ofText(TARVEL_UTF16("C:\\longer")),
                                     Cell::ofText(TARVEL_UTF16("C:\\a"))})));
    ASSERT_EQ(2u, world_.host.lineAddresses.size());
    EXPECT_EQ(world_.host.lineAddresses[0], world_.host.lineAddresses[1]);
}

TEST_F(SearchRunTest, TeardownAfterANormalEndReleasesResultsCommandSessionTextDataSource) {
    searchLines(pathTable({TARVEL_UTF16("C:\\a")}));
    EXPECT_EQ((Journal{"IRowset::ReleaseRows(1,[1])",
                       // the command's results
                       "IAccessor::ReleaseAccessor(1)", "IAccessor::Release", "free column info",
                       "free column names", "IRowset::Release", "IRowsetChange::Release",
                       // the command
                       "ICommand::Release",
                       // the session, the SQL text, the data source
                       "IOpenRowset::Release", std::string("free text \"") + kSql + "\"",
                       "IDBInitialize::Release"}),
              releasesOf(journalFrom("IRowset::ReleaseRows(1,[1])")));
}

TEST(SearchThroughThePlatformService, TheProviderIsOpenedByItsProgIdWithTheProviderString) {
    SearchWorld world(true);
    world.setTable(pathTable({TARVEL_UTF16("C:\\one"), TARVEL_UTF16("C:\\two")}));
    EXPECT_EQ(0, world.search());
    EXPECT_EQ((Lines{TARVEL_UTF16("C:\\one"), TARVEL_UTF16("C:\\two")}), world.host.lines);
    // The provider string, DBPROP_INIT_PROVIDERSTRING (160), as the data source was given it.
    EXPECT_EQ(Journal{"IDBProperties::SetProperties(160=Application=Windows)"},
              world.instrumentation.journalMatching("IDBProperties::SetProperties"));
    EXPECT_EQ(Journal{}, world.leftovers());
    EXPECT_EQ(1u, world.instrumentation.journalMatching("IDBInitialize::Initialize()").size());
}

struct SetupFailure {
    const char* call;
    Journal after;  // the journal from the failing call on
};

TEST(SearchRunTeardown, AfterAFailedSetupStepTheTeardownEntersLater) {
    const std::string freeText = std::string("free text \"") + kSql + "\"";
    const SetupFailure failures[] = {
        {"ISearchQueryHelper::GenerateSQLFromUserQuery",
         {"ISearchQueryHelper::GenerateSQLFromUserQuery(report) -> 0x80004005",
          "ISearchQueryHelper::Release"}},
        {"IDataInitialize::GetDataSource",
         {"IDataInitialize::GetDataSource(1,provider=Search.CollatorDSO.1;EXTENDED "
          "PROPERTIES=\"Application=Windows\",IDBInitialize) -> 0x80004005",
          "IDataInitialize::Release", freeText}},
        {"IDBInitialize::Initialize",
         {"IDBInitialize::Initialize() -> 0x80004005", "IDataInitialize::Release", freeText,
          "IDBInitialize::Release"}},
        {"IDBCreateSession::CreateSession",
         {"IDBCreateSession::CreateSession(IOpenRowset) -> 0x80004005", "IDBCreateSession::Release",
          freeText, "IDBInitialize::Release"}},
        {"IDBCreateCommand::CreateCommand",
         {"IDBCreateCommand::CreateCommand(ICommand) -> 0x80004005", "IDBCreateCommand::Release",
          "IOpenRowset::Release", freeText, "IDBInitialize::Release"}},
        {"ICommand::Execute",
         {"ICommand::Execute(IRowset) -> 0x80004005", "ICommand::Release", "IOpenRowset::Release",
          freeText, "IDBInitialize::Release"}},
        {"IAccessor::CreateAccessor",
         {"IAccessor::CreateAccessor(2,1,540) -> 0x80004005", "IAccessor::Release",
          // the command first, then its destruction closes the results
          "ICommand::Release", "IRowset::QueryInterface(IAccessor)",
          "IAccessor::ReleaseAccessor(0)", "IAccessor::Release", "free column info",
          "free column names", "IRowset::Release", "IRowsetChange::Release", "IOpenRowset::Release",
          freeText, "IDBInitialize::Release"}},
    };
    for (const SetupFailure& failure : failures) {
        SearchWorld world;
        world.setTable(pathTable({TARVEL_UTF16("C:\\a")}));
        world.instrumentation.failCall(failure.call, E_FAIL);
        EXPECT_EQ(0, world.search());
        EXPECT_TRUE(world.host.lines.empty()) << failure.call;
        const Journal& all = world.instrumentation.journal();
        auto it = std::find_if(all.begin(), all.end(), [](const std::string& entry) {
            return entry.find(" -> ") != std::string::npos;
        });
        EXPECT_EQ(failure.after, Journal(it, all.end())) << failure.call;
        EXPECT_EQ(Journal{}, world.leftovers()) << failure.call;
    }
}

TEST(SearchRunTeardown, ObjectsHandedOutWithAFailureAreReleasedOnce) {
    for (const char* call : {"IDataInitialize::GetDataSource", "IDBCreateSession::CreateSession",
                             "IDBCreateCommand::CreateCommand", "ICommand::Execute"}) {
        SearchWorld world;
        world.setTable(pathTable({TARVEL_UTF16("C:\\a")}));
        world.quirks.strayOnFailure = true;
        world.instrumentation.failCall(call, E_FAIL);
        EXPECT_EQ(0, world.search()) << call;
        EXPECT_TRUE(world.host.lines.empty()) << call;
        EXPECT_EQ(Journal{}, world.leftovers()) << call;
    }
}

// What the search run returns, though the entry point discards it: the failure that stopped
// the set-up early, the data source's own result for a later set-up failure, the code that
// ended the walk otherwise.
int32_t countLine(HostAppInfo*, uint32_t, void*) {
    return 0;
}

TEST(SearchRunResult, IsTheCodeThatDecidedTheSearch) {
    struct Case {
        std::vector<std::pair<const char*, HRESULT>> failures;
        HRESULT expected;
    };
    const HRESULT disabled = static_cast<HRESULT>(0x80070422);
    const Case cases[] = {
        {{}, S_FALSE},  // the end of the rowset
        {{{"ISearchQueryHelper::GenerateSQLFromUserQuery", E_INVALIDARG}}, E_INVALIDARG},
        {{{"IDataInitialize::GetDataSource", disabled}}, disabled},
        {{{"IDBInitialize::Initialize", DB_SEC_E_AUTH_FAILED}}, DB_SEC_E_AUTH_FAILED},
        {{{"IDBCreateSession::CreateSession", E_OUTOFMEMORY}}, S_OK},
        {{{"IDBInitialize::Initialize", S_FALSE}, {"IDBCreateSession::CreateSession", E_FAIL}},
         S_FALSE},
        {{{"ICommand::Execute", E_FAIL}}, S_OK},
        {{{"IRowset::GetNextRows", E_ABORT}}, E_ABORT},
        {{{"IRowset::GetData", DB_E_BADACCESSORHANDLE}}, DB_E_BADACCESSORHANDLE},
    };
    for (const Case& c : cases) {
        SearchWorld world;
        world.setTable(pathTable({TARVEL_UTF16("C:\\a")}));
        for (const auto& [call, hr] : c.failures) {
            world.instrumentation.failCall(call, hr);
        }
        ASSERT_TRUE(world.ready());
        HostAppInfo info{&countLine};
        SearchRequest request{TARVEL_UTF16("report"), 0, 10};
        EXPECT_EQ(c.expected, SearchRun::run(&request, &info, &countLine))
            << (c.failures.empty() ? "none" : c.failures.back().first);
        EXPECT_EQ(Journal{}, world.leftovers());
    }
    // Execution without a rowset: the execution's own code.
    SearchWorld world;
    world.providerConfig.backend = [](const WString&,
                                      std::shared_ptr<const service::Table>& table) {
        table.reset();
        return DB_S_NORESULT;
    };
    HostAppInfo info{&countLine};
    SearchRequest request{TARVEL_UTF16("report"), 0, 10};
    EXPECT_EQ(DB_S_NORESULT, SearchRun::run(&request, &info, &countLine));
}

// A host whose callback changes its own record, or throws, on the first line.
struct UnrulyHost {
    HostAppInfo info;
    std::vector<WString> lines;
    bool throwing = false;

    static int32_t receive(HostAppInfo* info, uint32_t, void* data) {
        auto* host = reinterpret_cast<UnrulyHost*>(info);
        host->lines.emplace_back(static_cast<const WCHAR*>(data));
        if (host->throwing) {
            throw std::runtime_error("the host gave up");
        }
        host->info.callback = nullptr;
        return 0;
    }
};

TEST(SearchRunHost, TheCallbackIsReadOnceForTheWholeSearch) {
    SearchWorld world;
    const Lines paths = {TARVEL_UTF16("C:\\a"), TARVEL_UTF16("C:\\b"), TARVEL_UTF16("C:\\c")};
    world.setTable(pathTable(paths));
    ASSERT_TRUE(world.ready());
    UnrulyHost host{{&UnrulyHost::receive}};
    SearchRequest request{TARVEL_UTF16("report"), 0, 10};
    EXPECT_EQ(0, ModuleEntry(&host.info, CommandSearch, &request));
    EXPECT_EQ(paths, host.lines);
    EXPECT_EQ(Journal{}, world.leftovers());
}

TEST(SearchRunHost, AThrowingCallbackEndsTheSearchWithEverythingReleased) {
    SearchWorld world;
    world.setTable(pathTable({TARVEL_UTF16("C:\\a"), TARVEL_UTF16("C:\\b")}));
    ASSERT_TRUE(world.ready());
    UnrulyHost host{{&UnrulyHost::receive}};
    host.throwing = true;
    SearchRequest request{TARVEL_UTF16("report"), 0, 10};
    const ApartmentCalls before = apartmentCalls();
    EXPECT_EQ(0, ModuleEntry(&host.info, CommandSearch, &request));
    const ApartmentCalls after = apartmentCalls();
    EXPECT_EQ(Lines{TARVEL_UTF16("C:\\a")}, host.lines);
    EXPECT_EQ(before.initialize + 1, after.initialize);
    EXPECT_EQ(before.uninitialize + 1, after.uninitialize) << "the apartment was not left";
    EXPECT_EQ(Journal{}, world.leftovers());
}

}  // namespace
}  // namespace tarvel
