// tarvel-host --check's verdict from its facts alone: one table of fact records, each with the
// verdict and exit status it must give, and how the lines of a test search are classified.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <nlohmann/json.hpp>

#include "check_probes.h"
#include "check_report.h"
#include "check_verdict.h"

namespace tarvel::host {
namespace {

constexpr HRESULT kDisabled = static_cast<HRESULT>(0x80070422);

// Facts of a machine where searching works: the module, the service running, the index idle,
// the folder in it and its file found.
CheckFacts working() {
    CheckFacts facts;
    facts.module = ModuleFact{utf16FromUtf8("C:\\t\\tarvel-search.dll"), true, "", true, "0.1"};
    facts.service = platform::ServiceStatus{true, true, true, false, "running", "automatic", ""};
    facts.manager = ManagerFact{S_OK, S_OK, utf16FromUtf8("7.0")};
    facts.catalog = CatalogFact{};
    facts.catalog->items = 5;
    facts.catalog->waiting = CatalogFact::Waiting{};
    facts.folder = FolderFact{utf16FromUtf8("C:\\f"), true, "", S_OK, true, CLUSIONREASON_DEFAULT};
    facts.search = SearchFact{};
    facts.search->outcome = SearchFact::Outcome::CameBack;
    facts.search->file = utf16FromUtf8("a.txt");
    facts.search->lines = 1;
    return facts;
}

// Where the gathering ends, as it does after a probe that makes searching impossible.
enum class Stop { None, Module, Service, Manager, Catalog };

struct VerdictCase {
    const char* what;
    std::function<void(CheckFacts&)> arrange;
    const char* verdict;  // a part of the verdict's text, or of a note beside it
    int status;
    Stop stop = Stop::None;
};

void service(CheckFacts& facts, bool installed, bool running, bool disabled) {
    facts.service = platform::ServiceStatus{true, installed, running, disabled, "", "", ""};
}

void stop(CheckFacts& facts, Stop after) {
    if (after == Stop::None) {
        return;
    }
    if (after == Stop::Module) {
        facts.service.reset();
    }
    if (after < Stop::Manager) {
        facts.manager.reset();
    }
    if (after < Stop::Catalog) {
        facts.catalog.reset();
    }
    facts.folder.reset();
    facts.search.reset();
}

void notBack(CheckFacts& facts, HRESULT walked = DB_S_ENDOFROWSET, size_t rows = 0) {
    facts.search->outcome = SearchFact::Outcome::NotBack;
    facts.search->rowset = RowsetFact{};
    facts.search->rowset->walked = walked;
    facts.search->rowset->rows = rows;
}

const VerdictCase kCases[] = {
    {"all is well", [](CheckFacts&) {}, "verdict: searching works", 0},
    {"the stand-in, no service asked", [](CheckFacts& f) { f.service.reset(); },
     "verdict: searching works", 0},
    {"the module cannot be loaded", [](CheckFacts& f) { f.module.loaded = false; },
     "the module cannot be loaded", 1, Stop::Module},
    {"no ModuleEntry", [](CheckFacts& f) { f.module.exportsEntry = false; },
     "not a Tarvel search module", 1, Stop::Module},
    {"service not installed", [](CheckFacts& f) { service(f, false, false, false); },
     "Windows Search is not installed", 1, Stop::Service},
    {"service disabled", [](CheckFacts& f) { service(f, true, false, true); },
     "service is disabled", 1, Stop::Service},
    {"service stopped, the search manager not there",
     [](CheckFacts& f) {
         service(f, true, false, false);
         f.manager->created = REGDB_E_CLASSNOTREG;
     },
     "verdict: the Windows Search service is not running", 1, Stop::Manager},
    {"service stopped, the file came back", [](CheckFacts& f) { service(f, true, false, false); },
     "note: the service control manager reported the Windows Search service stopped, yet the "
     "search came back",
     0},
    {"service not asked", [](CheckFacts& f) { f.service->queried = false; }, "searching works", 0},
    {"manager class not registered, service running",
     [](CheckFacts& f) { f.manager->created = REGDB_E_CLASSNOTREG; },
     "search manager is not registered", 1, Stop::Manager},
    {"manager class not registered, no service",
     [](CheckFacts& f) {
         f.service.reset();
         f.manager->created = REGDB_E_CLASSNOTREG;
     },
     "Windows Search is not installed", 1, Stop::Manager},
    {"manager on a disabled service", [](CheckFacts& f) { f.manager->created = kDisabled; },
     "service is disabled", 1, Stop::Manager},
    {"manager otherwise", [](CheckFacts& f) { f.manager->created = E_ACCESSDENIED; },
     "cannot be reached (access is denied (0x80070005))", 1, Stop::Manager},
    {"manager's process gone",
     [](CheckFacts& f) { f.manager->created = static_cast<HRESULT>(0x800706BA); },
     "cannot be reached (the search manager's process is not there (0x800706BA))", 1,
     Stop::Manager},
    {"a call to the manager failed",
     [](CheckFacts& f) { f.manager->created = static_cast<HRESULT>(0x800706BE); },
     "cannot be reached (a call to the search manager failed (0x800706BE))", 1, Stop::Manager},
    {"catalog cannot be opened", [](CheckFacts& f) { f.catalog->opened = E_FAIL; },
     "the index cannot be opened ((0x80004005))", 1, Stop::Catalog},
    {"catalog state unknown", [](CheckFacts& f) { f.catalog->statusRead = E_FAIL; },
     "searching works", 0},
    {"catalog recovering, the file came back",
     [](CheckFacts& f) { f.catalog->status = CATALOG_STATUS_RECOVERING; },
     "note: the index is being recovered", 0},
    {"catalog recovering, the file not back",
     [](CheckFacts& f) {
         f.catalog->status = CATALOG_STATUS_RECOVERING;
         notBack(f);
     },
     "verdict: the index is being recovered", 1},
    {"catalog shutting down",
     [](CheckFacts& f) {
         f.catalog->status = CATALOG_STATUS_SHUTTING_DOWN;
         notBack(f);
     },
     "verdict: the indexer is shutting down", 1},
    {"catalog paused, the file came back",
     [](CheckFacts& f) { f.catalog->status = CATALOG_STATUS_PAUSED; }, "note: indexing is paused",
     0},
    {"catalog crawling, the file found",
     [](CheckFacts& f) { f.catalog->status = CATALOG_STATUS_FULL_CRAWL; }, "searching works", 0},
    {"catalog processing notifications",
     [](CheckFacts& f) { f.catalog->status = CATALOG_STATUS_PROCESSING_NOTIFICATIONS; },
     "searching works", 0},
    {"folder by a user rule", [](CheckFacts& f) { f.folder->rule = CLUSIONREASON_USER; },
     "searching works", 0},
    {"folder by group policy", [](CheckFacts& f) { f.folder->rule = CLUSIONREASON_GROUPPOLICY; },
     "searching works", 0},
    {"folder outside",
     [](CheckFacts& f) {
         f.folder->included = false;
         notBack(f);
     },
     "C:\\f is not in the indexed locations, so nothing in it is found: add it in Indexing", 1},
    {"folder outside, the file came back", [](CheckFacts& f) { f.folder->included = false; },
     "note: C:\\f is not in the indexed locations as the crawl scope answers, yet its file came "
     "back: to be sure that what changes in it is found, add it in Indexing Options",
     0},
    {"folder outside the stand-in's",
     [](CheckFacts& f) {
         f.standIn = true;
         f.folder->included = false;
         notBack(f);
     },
     "give --index a folder that holds it", 1},
    {"folder of unknown scope, file found", [](CheckFacts& f) { f.folder->scopeAsked = E_FAIL; },
     "searching works", 0},
    {"folder unreadable",
     [](CheckFacts& f) {
         f.folder->readable = false;
         f.folder->readError = "Permission denied";
         f.search.reset();
     },
     "C:\\f cannot be read (Permission denied)", 1},
    {"folder without files", [](CheckFacts& f) { f.search->outcome = SearchFact::Outcome::NoFile; },
     "searching works (no file in the folder to try it with)", 0},
    {"folder whose names all hold a quote",
     [](CheckFacts& f) { f.search->outcome = SearchFact::Outcome::NoSearchableName; },
     "a name that holds \" cannot be searched as a quoted phrase", 0},
    {"file came back cut",
     [](CheckFacts& f) {
         f.search->outcome = SearchFact::Outcome::CameBackCut;
         f.search->cutAt = 4095;
     },
     "searching works, but the path of a.txt came back cut after 4095 units", 0},
    {"file came back only as messages",
     [](CheckFacts& f) {
         f.search->outcome = SearchFact::Outcome::OnlyMessages;
         f.search->sample = {utf16FromUtf8("(Unhandled database type 13)")};
     },
     "such as (Unhandled database type 13): the provider delivers the path in a form the module "
     "cannot print (a binding problem)",
     1},
    {"only messages, none kept",
     [](CheckFacts& f) { f.search->outcome = SearchFact::Outcome::OnlyMessages; },
     "came back only as the module's messages: the provider delivers", 1},
    {"file did not come back", [](CheckFacts& f) { notBack(f); },
     "a.txt in C:\\f is not found through the index", 1},
    {"file did not come back, the fetch timed out",
     [](CheckFacts& f) { notBack(f, kQueryTimedOut); },
     "the index is too slow: fetching the rows of the search for a.txt ended after 0 rows: the "
     "index did not answer in time (QUERY_E_TIMEDOUT) (0x80041607)",
     1},
    {"file did not come back, the fetch failed", [](CheckFacts& f) { notBack(f, E_FAIL, 1); },
     "the index fails the search for a.txt: fetching its rows failed after 1 row ((0x80004005))",
     1},
    {"file did not come back, its execution failed",
     [](CheckFacts& f) {
         notBack(f);
         f.search->rowset->described = E_FAIL;
         f.search->rowset->failedStep = "executing the search";
     },
     "the provider fails the search for a.txt: executing the search failed ((0x80004005))", 1},
    {"file did not come back, index crawling",
     [](CheckFacts& f) {
         notBack(f);
         f.catalog->status = CATALOG_STATUS_INCREMENTAL_CRAWL;
     },
     "still being built (0 items to index)", 1},
    {"file did not come back, items waiting",
     [](CheckFacts& f) {
         notBack(f);
         f.catalog->waiting->urgent = 7;
     },
     "still being built (7 items to index)", 1},
    {"file did not come back, one item waiting",
     [](CheckFacts& f) {
         notBack(f);
         f.catalog->waiting->notified = 1;
     },
     "still being built (1 item to index)", 1},
    {"search rejected",
     [](CheckFacts& f) {
         f.search->outcome = SearchFact::Outcome::QueryRejected;
         f.search->rejected = static_cast<HRESULT>(0x80041601);
     },
     "does not accept a search for a.txt (the query helper cannot read the query", 1},
};

TEST(CheckVerdict, EachFactRecordGivesItsVerdictAndExitStatus) {
    for (const VerdictCase& c : kCases) {
        CheckFacts facts = working();
        c.arrange(facts);
        stop(facts, c.stop);
        const Verdict verdict = decide(facts);
        // The report ends with the verdict, after a line for each note; the JSON says the same.
        const std::string text = reportText(facts, verdict);
        EXPECT_NE(std::string::npos, text.find(c.verdict)) << c.what << ": " << text;
        EXPECT_EQ(c.status, verdict.exitStatus()) << c.what;
        EXPECT_EQ(text.size() - verdict.text.size() - 10, text.rfind("verdict: ")) << c.what;
        const nlohmann::json json = nlohmann::json::parse(reportJson(facts, verdict));
        EXPECT_EQ(c.status, json["verdict"]["exitStatus"]) << c.what;
        EXPECT_EQ(verdict.notes, json["verdict"]["notes"].get<std::vector<std::string>>());
        // Whatever else was read, a search that came back decides that searching works.
        if (facts.search) {
            facts.search->outcome = SearchFact::Outcome::CameBack;
        } else {
            facts.search = working().search;
        }
        const Verdict evidence = decide(facts);
        EXPECT_EQ(0, evidence.exitStatus()) << c.what << ": " << evidence.text;
        EXPECT_EQ("searching works", evidence.text) << c.what;
    }
}

TEST(CheckVerdict, EveryPauseNamesItsReason) {
    const char* const reasons[] = {
        "no reason given",  "disks are busy",        "processor is busy",   "files change faster",
        "battery is low",   "memory is low",         "disk is nearly full", "recovery waits",
        "someone is using", "a program or a person", "upgrading the index", "no reason given"};
    for (int reason = 0; reason <= 11; ++reason) {
        CheckFacts facts = working();
        notBack(facts);
        facts.catalog->status = CATALOG_STATUS_PAUSED;
        facts.catalog->pausedReason = CatalogPausedReason(reason);
        const Verdict verdict = decide(facts);
        EXPECT_FALSE(verdict.works);
        EXPECT_NE(std::string::npos, verdict.text.find(std::string("indexing is paused")));
        EXPECT_NE(std::string::npos, verdict.text.find(reasons[reason])) << reason;
    }
}

TEST(CheckReport, HostileNamesAreEscapedInTextAndAlwaysJson) {
    // Each name as the folder, the module and the file of a search that did not come back, so
    // that the verdict holds it too: what the JSON parses back to, and how the text shows it.
    const std::string replacement = "\xEF\xBF\xBD";
    const struct {
        WString name;
        std::string json;
        std::string text;
    } cases[] = {
        {utf16FromUtf8("a\"b\\c"), "a\"b\\c", "a\"b\\c"},
        {utf16FromUtf8("a\nb\x1B[31mc\t"), "a\nb\x1B[31mc\t", "a\\nb\\x1B[31mc\\t"},
        {utf16FromUtf8("\xC2\x9B"), "\xC2\x9B", "\\u009B"},
        {WString{u'a', WCHAR(0xD800), u'b'}, "a" + replacement + "b", "a" + replacement + "b"},
#ifdef _WIN32
        {WString{u'a', WCHAR(0xDCFE)}, "a" + replacement, "a" + replacement},
#else
        {utf16FromFileName("a\xFE"), "a" + replacement, "a\\xFE"},
#endif
    };
    for (const auto& c : cases) {
        CheckFacts facts = working();
        facts.module.path = c.name;
        facts.folder->path = c.name;
        facts.search->file = c.name;
        facts.search->query = c.name;
        facts.search->outcome = SearchFact::Outcome::NotBack;
        facts.folder->readError = "x\xFF";  // a system's reason, as bytes that are not UTF-8
        const Verdict verdict = decide(facts);
        const nlohmann::json json = nlohmann::json::parse(reportJson(facts, verdict));
        EXPECT_EQ("x" + replacement, json["folder"]["readError"]);
        EXPECT_EQ(c.json, json["module"]["path"]) << c.text;
        EXPECT_EQ(c.json, json["folder"]["path"]) << c.text;
        EXPECT_EQ(c.json, json["search"]["file"]) << c.text;
        EXPECT_EQ(c.text + " in " + c.text + " is not found",
                  verdict.text.substr(0, 2 * c.text.size() + 17));
        const std::string text = reportText(facts, verdict);
        EXPECT_EQ(7, std::count(text.begin(), text.end(), '\n')) << text;
        EXPECT_EQ(std::string::npos, text.find('\x1B'));
    }
}

TEST(CheckSearchLines, ALineIsThePathItsStartOrAMessage) {
    struct Case {
        std::vector<const char*> lines;
        SearchFact::Outcome outcome;
        size_t sample;
        size_t cutAt;
    };
    using O = SearchFact::Outcome;
    const Case cases[] = {
        {{"/f/a.txt"}, O::CameBack, 0, 0},
        {{"/f/b", "/f/a.txt", "/f/c"}, O::CameBack, 0, 0},
        {{"/f/a.t"}, O::CameBackCut, 1, 6},
        {{"/f"}, O::NotBack, 1, 0},  // the folder itself, found by its name, is no cut
        {{"(Unhandled database type 13)", "(Unhandled database type 13)"}, O::OnlyMessages, 2, 0},
        {{"(Unhandled database type 13)", "(Error reading result)"}, O::NotBack, 2, 0},
        {{"(Error reading result)", "/g/x", "/g/y", "/g/z"}, O::NotBack, 3, 0},
        {{"/g/x"}, O::NotBack, 1, 0},
    };
    for (const Case& c : cases) {
        SearchFact search;
        search.path = utf16FromUtf8("/f/a.txt");
        for (const char* line : c.lines) {
            classifyLine(utf16FromUtf8(line), search);
        }
        EXPECT_EQ(c.outcome, search.outcome) << c.lines.front();
        EXPECT_EQ(c.lines.size(), search.lines);
        EXPECT_EQ(c.sample, search.sample.size()) << c.lines.front();
        EXPECT_EQ(c.cutAt, search.cutAt);
    }
}

TEST(CheckReport, TypesAreNamedAsThePlatformNamesThem) {
    EXPECT_EQ("DBTYPE_WSTR", typeName(DBTYPE_WSTR));
    EXPECT_EQ("DBTYPE_BYREF|DBTYPE_WSTR", typeName(DBTYPE(DBTYPE_BYREF | DBTYPE_WSTR)));
    EXPECT_EQ("DBTYPE_VECTOR|DBTYPE_I4", typeName(DBTYPE(DBTYPE_VECTOR | DBTYPE_I4)));
    EXPECT_EQ("DBTYPE_?", typeName(DBTYPE(999)));
}

}  // namespace
}  // namespace tarvel::host
