// Opening the provider and executing a command: which calls, in which order, what each failure
// returns and what stays held until the teardown releases it.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "command.h"
#include "data_source.h"
#include "journal_checks.h"
#include "peers.h"
#include "search_world.h"
#include "session.h"

namespace tarvel {
namespace {

using namespace tarvel::testing;

const char kInit[] = "provider=Search.CollatorDSO.1;EXTENDED PROPERTIES=\"Application=Windows\"";
const WCHAR kInitString[] =
    TARVEL_UTF16("provider=Search.CollatorDSO.1;EXTENDED PROPERTIES=\"Application=Windows\"");
const WCHAR kText[] = TARVEL_UTF16("SELECT 1");

class CommandTest : public ::testing::Test {
protected:
    void SetUp() override { world_.setTable(pathTable({TARVEL_UTF16("C:\\a")})); }
    void TearDown() override {
        session_.close();
        dataSource_.reset();
        EXPECT_EQ(Journal{}, world_.leftovers());
    }

    Instrumentation& journal() { return world_.instrumentation; }
    // Opens data source and session; the journal starts after them.
    void openSession() { openSession(*dataSource_, session_); }
    void openSession(DataSource& dataSource, Session& session) {
        ASSERT_EQ(S_OK, dataSource.open(kInitString));
        ASSERT_EQ(S_OK, session.open(dataSource));
        journal().clearJournal();
    }

    SearchWorld world_;
    std::optional<DataSource> dataSource_{std::in_place};
    Session session_;
};

TEST_F(CommandTest, OpensTheDataSourceThroughTheInitializationService) {
    DataSource dataSource;
    EXPECT_EQ(S_OK, dataSource.open(kInitString));
    EXPECT_EQ(1, journal().referencesOf("IDBInitialize"));
    EXPECT_TRUE(
        inOrder(journal().journal(),
                {"IClassFactory::CreateInstance(IDataInitialize)",
                 std::string("IDataInitialize::GetDataSource(1,") + kInit + ",IDBInitialize)",
                 "IDBInitialize::Initialize()", "IDataInitialize::Release"}));
    EXPECT_EQ(1u, countOf(journal().journal(), "IDataInitialize::Release"));
}

TEST_F(CommandTest, FailureToCreateTheServiceLeavesNothing) {
    journal().failCall("IClassFactory::CreateInstance", E_ACCESSDENIED);
    DataSource dataSource;
    EXPECT_EQ(E_ACCESSDENIED, dataSource.open(kInitString));
    EXPECT_EQ(0, journal().referencesOf("IDBInitialize"));
}

TEST_F(CommandTest, FailedGetDataSourceReleasesTheServiceAndHoldsNothing) {
    journal().failCall("IDataInitialize::GetDataSource", static_cast<HRESULT>(0x80070422));
    DataSource dataSource;
    EXPECT_EQ(static_cast<HRESULT>(0x80070422), dataSource.open(kInitString));
    EXPECT_EQ(0, journal().referencesOf("IDBInitialize"));
    EXPECT_EQ("IDataInitialize::Release", journal().journal().back());
}

TEST_F(CommandTest, AnObjectHandedOutWithAFailedGetDataSourceIsReleasedAtOnce) {
    world_.quirks.strayOnFailure = true;
    journal().failCall("IDataInitialize::GetDataSource", E_FAIL);
    DataSource dataSource;
    EXPECT_EQ(E_FAIL, dataSource.open(kInitString));
    EXPECT_EQ(0, journal().referencesOf("IDBInitialize"));
    const Journal& entries = journal().journal();
    ASSERT_GE(entries.size(), 2u);
    EXPECT_EQ((Journal{"IDBInitialize::Release", "IDataInitialize::Release"}),
              Journal(entries.end() - 2, entries.end()));
}

TEST_F(CommandTest, FailedInitializeKeepsTheDataSourceUntilItsDestruction) {
    journal().failCall("IDBInitialize::Initialize", DB_SEC_E_AUTH_FAILED);
    {
        DataSource dataSource;
        EXPECT_EQ(DB_SEC_E_AUTH_FAILED, dataSource.open(kInitString));
        EXPECT_EQ(1, journal().referencesOf("IDBInitialize"));
        EXPECT_TRUE(journal().journalMatching("IDBInitialize::Release").empty());
    }
    EXPECT_EQ(1u, journal().journalMatching("IDBInitialize::Release").size());
    EXPECT_EQ("IDBInitialize::Release", journal().journal().back());
}

TEST_F(CommandTest, OpensASessionThroughIDBCreateSession) {
    DataSource dataSource;
    ASSERT_EQ(S_OK, dataSource.open(kInitString));
    journal().clearJournal();
    Session session;
    EXPECT_EQ(S_OK, session.open(dataSource));
    EXPECT_TRUE(inOrder(journal().journal(), {"IDBCreateSession::CreateSession(IOpenRowset)",
                                              "IDBCreateSession::Release"}));
    EXPECT_EQ(1, journal().referencesOf("IOpenRowset"));
    session.close();
    session.close();
    EXPECT_EQ("IOpenRowset::Release", journal().journal().back());
    EXPECT_EQ(1u, journal().journalMatching("IOpenRowset::Release").size());
}

TEST_F(CommandTest, DataSourceWithoutSessionsOrFailingCreateSessionLeavesNoSession) {
    for (bool withhold : {false, true}) {
        if (withhold) {
            world_.instrumentation.withhold(IID_IDBCreateSession);
        } else {
            journal().failCall("IDBCreateSession::CreateSession", E_OUTOFMEMORY);
        }
        DataSource dataSource;
        ASSERT_EQ(S_OK, dataSource.open(kInitString));
        Session session;
        EXPECT_EQ(withhold ? E_NOINTERFACE : E_OUTOFMEMORY, session.open(dataSource));
        EXPECT_EQ(0, journal().referencesOf("IOpenRowset"));
    }
}

TEST_F(CommandTest, ObjectsHandedOutWithAFailureAreReleasedAtOnceAndNotKept) {
    world_.quirks.strayOnFailure = true;
    {
        Session session;
        journal().failCall("IDBCreateSession::CreateSession", E_FAIL);
        DataSource dataSource;
        ASSERT_EQ(S_OK, dataSource.open(kInitString));
        EXPECT_EQ(E_FAIL, session.open(dataSource));
        EXPECT_EQ(0, journal().referencesOf("IOpenRowset"));
        EXPECT_EQ(1u, journal().journalMatching("IOpenRowset::Release").size());
    }
    openSession();
    Command command(BlobHandling::Default, 8000);
    journal().failCall("IDBCreateCommand::CreateCommand", E_FAIL);
    EXPECT_EQ(E_FAIL, command.create(session_, kText));
    EXPECT_EQ(0, journal().referencesOf("ICommand"));
    EXPECT_EQ(1u, journal().journalMatching("ICommand::Release").size());

    ASSERT_EQ(S_OK, command.create(session_, kText));
    journal().failCall("ICommand::Execute", E_FAIL);
    journal().clearJournal();
    EXPECT_EQ(E_FAIL, command.execute());
    EXPECT_FALSE(command.results().isOpen());
    EXPECT_EQ(0, journal().referencesOf("IRowset"));
}

TEST_F(CommandTest, CreatesACommandAndGivesItTheText) {
    openSession();
    Command command(BlobHandling::Default, 8000);
    EXPECT_EQ(S_OK, command.create(session_, kText));
    const Journal& entries = journal().journal();
    EXPECT_TRUE(inOrder(entries, {"IDBCreateCommand::CreateCommand(ICommand)",
                                  "ICommandText::SetCommandText(DBGUID_DEFAULT,SELECT 1)"}));
    EXPECT_EQ((Journal{"IDBCreateCommand::Release", "ICommandText::Release"}), releasesOf(entries))
        << "the creator and the text interface go, the command stays";
    EXPECT_EQ(1, journal().referencesOf("ICommand"));
}

TEST_F(CommandTest, CreatingTwiceReleasesTheFirstCommandFirst) {
    openSession();
    Command command(BlobHandling::Default, 8000);
    ASSERT_EQ(S_OK, command.create(session_, kText));
    journal().clearJournal();
    ASSERT_EQ(S_OK, command.create(session_, kText));
    const Journal entries = journal().journal();
    ASSERT_GE(entries.size(), 3u);
    EXPECT_EQ("ICommand::Release", entries[0]);
    EXPECT_EQ("IOpenRowset::QueryInterface(IDBCreateCommand)", entries[1]);
}

TEST_F(CommandTest, OperationsOutOfOrderAreRefusedWithoutACall) {
    DataSource unopened;
    Session session;
    EXPECT_EQ(E_UNEXPECTED, session.open(unopened));
    Command command(BlobHandling::Default, 8000);
    EXPECT_EQ(E_UNEXPECTED, command.create(session, kText));
    EXPECT_EQ(E_UNEXPECTED, command.execute());
    EXPECT_EQ(Journal{}, journal().journal());
}

TEST_F(CommandTest, CommandCreationFailuresLeaveNoCommand) {
    for (const char* failing :
         {"IOpenRowset::QueryInterface(IDBCreateCommand)", "IDBCreateCommand::CreateCommand"}) {
        DataSource dataSource;
        Session session;
        openSession(dataSource, session);
        journal().failCall(failing, E_FAIL);
        Command command(BlobHandling::Default, 8000);
        EXPECT_EQ(E_FAIL, command.create(session, kText)) << failing;
        EXPECT_EQ(0, journal().referencesOf("ICommand"));
        EXPECT_TRUE(journal().journalMatching("ICommand::").empty()) << failing;
    }
}

TEST_F(CommandTest, RejectedTextKeepsTheCommandUntilClose) {
    openSession();
    journal().failCall("ICommandText::SetCommandText", DB_E_ERRORSINCOMMAND);
    Command command(BlobHandling::Default, 8000);
    EXPECT_EQ(DB_E_ERRORSINCOMMAND, command.create(session_, kText));
    EXPECT_EQ(1, journal().referencesOf("ICommand"));
    EXPECT_EQ("ICommandText::Release", journal().journal().back());
    command.close();
    EXPECT_EQ("ICommand::Release", journal().journal().back());
    EXPECT_EQ(0, journal().referencesOf("ICommand"));
}

TEST_F(CommandTest, CommandWithoutTextInterfaceFailsTheCreation) {
    world_.instrumentation.withhold(IID_ICommandText);
    openSession();
    Command command(BlobHandling::Default, 8000);
    EXPECT_EQ(E_NOINTERFACE, command.create(session_, kText));
    EXPECT_EQ(1, journal().referencesOf("ICommand"));
}

TEST_F(CommandTest, ExecutionAttachesTheRowsetAndBindsItsColumns) {
    openSession();
    Command command(BlobHandling::Default, 8000);
    ASSERT_EQ(S_OK, command.create(session_, kText));
    journal().clearJournal();
    EXPECT_EQ(S_OK, command.execute());
    EXPECT_TRUE(command.results().isOpen());
    EXPECT_EQ(2, journal().referencesOf("IRowset")) << "IRowset and IRowsetChange are held";
    EXPECT_EQ(1u, command.columns().getColumnCount());
    const Journal& entries = journal().journal();
    EXPECT_TRUE(inOrder(entries, {"ICommand::Execute(IRowset)", "IColumnsInfo::GetColumnInfo()",
                                  "IAccessor::CreateAccessor(2,1,540)"}));
    EXPECT_EQ(1u, countOf(entries, "IRowset::QueryInterface(IRowsetChange)"));
    EXPECT_EQ((Journal{"IColumnsInfo::Release", "IAccessor::Release"}), releasesOf(entries))
        << "the binding pass's interfaces go, the rowset stays";
}

TEST_F(CommandTest, FailedExecutionHoldsNoRowset) {
    openSession();
    Command command(BlobHandling::Default, 8000);
    ASSERT_EQ(S_OK, command.create(session_, kText));
    journal().failCall("ICommand::Execute", static_cast<HRESULT>(0x80041605));
    EXPECT_EQ(static_cast<HRESULT>(0x80041605), command.execute());
    EXPECT_FALSE(command.results().isOpen());
    EXPECT_EQ(1, journal().referencesOf("ICommand"));
}

TEST_F(CommandTest, ExecutionWithoutRowsetSkipsChangeAndBinding) {
    world_.providerConfig.backend = [](const WString&,
                                       std::shared_ptr<const service::Table>& table) {
        table.reset();
        return DB_S_NORESULT;
    };
    openSession();
    Command command(BlobHandling::Default, 8000);
    ASSERT_EQ(S_OK, command.create(session_, kText));
    journal().clearJournal();
    EXPECT_EQ(DB_S_NORESULT, command.execute());
    EXPECT_EQ(Journal{"ICommand::Execute(IRowset)"}, journal().journal());
    command.closeResults();
    EXPECT_EQ(Journal{"ICommand::Execute(IRowset)"}, journal().journal());
}

TEST_F(CommandTest, RowsetWithoutChangeInterfaceIsNoFailure) {
    world_.instrumentation.withhold(IID_IRowsetChange);
    openSession();
    Command command(BlobHandling::Default, 8000);
    ASSERT_EQ(S_OK, command.create(session_, kText));
    EXPECT_EQ(S_OK, command.execute());
    EXPECT_EQ(1, journal().referencesOf("IRowset")) << "IRowset alone is held";
}

TEST_F(CommandTest, ExecutingAgainClosesTheEarlierResultsBeforeBindingAfresh) {
    openSession();
    Command command(BlobHandling::Default, 8000);
    ASSERT_EQ(S_OK, command.create(session_, kText));
    ASSERT_EQ(S_OK, command.execute());
    ASSERT_EQ(S_OK, command.moveToFirstRow());
    journal().clearJournal();
    EXPECT_EQ(S_OK, command.execute());
    const Journal& entries = journal().journal();
    const auto execution = std::find(entries.begin(), entries.end(), "ICommand::Execute(IRowset)");
    ASSERT_NE(entries.end(), execution);
    EXPECT_EQ((Journal{"IAccessor::ReleaseAccessor(1)", "IAccessor::Release", "free column info",
                       "free column names", "IRowset::ReleaseRows(1,[1])", "IRowset::Release",
                       "IRowsetChange::Release"}),
              releasesOf(Journal(entries.begin(), execution)))
        << "the earlier results, closed in their order before the execution";
    EXPECT_TRUE(inOrder(Journal(execution, entries.end()),
                        {"IColumnsInfo::GetColumnInfo()", "IAccessor::CreateAccessor(2,1,540)"}));
    // The new rowset's own column data, bound as on a first execution.
    EXPECT_EQ(522u, command.columns().valueSizeAt(0));
    ASSERT_EQ(S_OK, command.moveToFirstRow());
    EXPECT_EQ(WString(TARVEL_UTF16("C:\\a")),
              WString(static_cast<const WCHAR*>(command.columns().getValue(1))));
}

TEST_F(CommandTest, PositiveBindingResultBecomesSuccess) {
    openSession();
    Command command(BlobHandling::Default, 8000);
    ASSERT_EQ(S_OK, command.create(session_, kText));
    journal().failCall("IAccessor::CreateAccessor", DB_S_ERRORSOCCURRED);
    EXPECT_EQ(S_OK, command.execute());
}

TEST_F(CommandTest, CloseWithoutParameterAccessorAsksNothingAndRepeatsHarmlessly) {
    openSession();
    Command command(BlobHandling::Default, 8000);
    ASSERT_EQ(S_OK, command.create(session_, kText));
    journal().clearJournal();
    command.close();
    command.close();
    EXPECT_EQ(Journal{"ICommand::Release"}, journal().journal());
}

TEST_F(CommandTest, ParameterAccessorNeedsTheCommandsAccessorInterface) {
    openSession();
    Command command(BlobHandling::Default, 8000);
    ASSERT_EQ(S_OK, command.create(session_, kText));
    CommandPeer::setParameterAccessor(command, 5);
    journal().clearJournal();
    command.close();
    EXPECT_TRUE(
        inOrder(journal().journal(), {"ICommand::QueryInterface(IAccessor)", "ICommand::Release"}));
    EXPECT_EQ(5u, CommandPeer::parameterAccessor(command))
        << "kept when the command offers no IAccessor";
    CommandPeer::setParameterAccessor(command, 0);
}

TEST_F(CommandTest, DestroyingAfterCloseReleasesNothingMore) {
    openSession();
    {
        Command command(BlobHandling::Default, 8000);
        ASSERT_EQ(S_OK, command.create(session_, kText));
        ASSERT_EQ(S_OK, command.execute());
        ASSERT_EQ(S_OK, command.moveToFirstRow());
        journal().clearJournal();
        command.closeResults();
        command.close();
        EXPECT_EQ((Journal{"IAccessor::ReleaseAccessor(1)", "IAccessor::Release",
                           "free column info", "free column names", "IRowset::ReleaseRows(1,[1])",
                           "IRowset::Release", "IRowsetChange::Release", "ICommand::Release"}),
                  releasesOf(journal().journal()));
        journal().clearJournal();
    }
    EXPECT_EQ(Journal{}, journal().journal());
}

TEST_F(CommandTest, FailedBindingIsTornDownCommandFirstThenResults) {
    openSession();
    {
        Command command(BlobHandling::Default, 8000);
        ASSERT_EQ(S_OK, command.create(session_, kText));
        journal().failCall("IAccessor::CreateAccessor", DB_E_BADBINDINFO);
        EXPECT_EQ(DB_E_BADBINDINFO, command.execute());
        journal().clearJournal();
        command.close();
    }
    EXPECT_EQ((Journal{"ICommand::Release", "IAccessor::ReleaseAccessor(0)", "IAccessor::Release",
                       "free column info", "free column names", "IRowset::Release",
                       "IRowsetChange::Release"}),
              releasesOf(journal().journal()));
}

}  // namespace
}  // namespace tarvel
