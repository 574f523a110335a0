// The probes of tarvel-host --check through the module file against a scripted search service:
// each failure ends the gathering at its probe with the facts before it, a search that works is
// described with the rowset the provider returned, and nothing is held afterwards.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "check_report.h"
#include "search_world.h"
#include "system_check.h"
#ifdef _WIN32
#include "shipped_files_windows.h"
#else
#include <dlfcn.h>
#endif

namespace tarvel::host {
namespace {

using testing::SearchWorld;
using Outcome = SearchFact::Outcome;

WString moduleFile() {
#ifdef _WIN32
    return testing::shippedFile(L"tarvel-search.dll");
#else
    return utf16FromFileName(TARVEL_MODULE_FILE);
#endif
}

// Which facts the gathering reached: "module", "manager", "catalog", "folder" or "search".
std::string lastProbe(const CheckFacts& facts) {
    return facts.search    ? "search"
           : facts.folder  ? "folder"
           : facts.catalog ? "catalog"
           : facts.manager ? "manager"
                           : "module";
}

struct ProbeCase {
    const char* what;
    std::function<void(SearchWorld&, CheckSubject&)> arrange;
    const char* lastProbe;
    Outcome outcome;                    // when the search ran
    const char* describedUpTo;          // the step that failed describing the rowset; "" for none
    HRESULT walked = DB_S_ENDOFROWSET;  // what ended the check's own walk of the rows
};

constexpr HRESULT kInvalidQuery = static_cast<HRESULT>(0x80041601);

const ProbeCase kCases[] = {
    {"the module file is missing", [](SearchWorld&, CheckSubject& s) { s.modulePath += u'x'; },
     "module", Outcome::NoFile, ""},
    {"the search manager cannot be created",
     [](SearchWorld& w, CheckSubject&) {
         w.instrumentation.failCall("IClassFactory::CreateInstance(ISearchManager)", E_FAIL);
     },
     "manager", Outcome::NoFile, ""},
    {"the catalog cannot be opened",
     [](SearchWorld& w, CheckSubject&) {
         w.instrumentation.failCall("ISearchManager::GetCatalog", E_FAIL);
     },
     "catalog", Outcome::NoFile, ""},
    {"the folder cannot be read", [](SearchWorld&, CheckSubject& s) { s.folder += u'x'; }, "folder",
     Outcome::NoFile, ""},
    {"the file comes back", [](SearchWorld&, CheckSubject&) {}, "search", Outcome::CameBack, ""},
    {"the query helper rejects the search",
     [](SearchWorld& w, CheckSubject&) {
         w.searchConfig.generator = [](const WString&, const service::QueryHelperSettings&,
                                       WString&) { return kInvalidQuery; };
     },
     "search", Outcome::QueryRejected, ""},
    {"the provider cannot be opened again",
     [](SearchWorld& w, CheckSubject&) {
         w.instrumentation.failCall("IDataInitialize::GetDataSource", E_FAIL, 2);
     },
     "search", Outcome::CameBack, "opening the provider"},
    {"no second session",
     [](SearchWorld& w, CheckSubject&) {
         w.instrumentation.failCall("IDBCreateSession::CreateSession", E_FAIL, 2);
     },
     "search", Outcome::CameBack, "opening a session"},
    {"the second execution fails",
     [](SearchWorld& w, CheckSubject&) {
         w.instrumentation.failCall("ICommand::Execute", E_FAIL, 2);
     },
     "search", Outcome::CameBack, "executing the search"},
    {"no rowset",
     [](SearchWorld& w, CheckSubject&) {
         w.providerConfig.backend = [](const WString&, std::shared_ptr<const service::Table>&) {
             return S_OK;
         };
     },
     "search", Outcome::NotBack, "executing the search (no rowset)"},
    {"no columns to describe",
     [](SearchWorld& w, CheckSubject&) {
         w.instrumentation.failCall("IColumnsInfo::GetColumnInfo", E_FAIL, 3);
     },
     "search", Outcome::CameBack, "asking for the columns"},
    {"the index cannot serve the rows in time",
     [](SearchWorld& w, CheckSubject&) {
         w.instrumentation.failCall("IRowset::GetNextRows", kQueryTimedOut, 1);
         w.instrumentation.failCall("IRowset::GetNextRows", kQueryTimedOut, 2);
     },
     "search", Outcome::NotBack, "", kQueryTimedOut},
};

TEST(CheckProbes, EachFailureEndsTheGatheringAtItsProbeAndNothingIsHeld) {
    const std::filesystem::path root =
        std::filesystem::temp_directory_path() / "tarvel-check-probes";
    std::filesystem::create_directories(root);
    std::ofstream(root / "a.txt").put('x');
    const WString folder = platform::absoluteFolder(utf16FromUtf8(root.string()));
    const WString file = platform::childPath(folder, utf16FromUtf8("a.txt"));
    for (const ProbeCase& c : kCases) {
        SearchWorld world;
        world.searchConfig.indexerVersion = utf16FromUtf8("7");
        world.searchConfig.catalogState = [] { return service::CatalogState{}; };
        world.searchConfig.itemCount = [] { return LONG(1); };
        world.searchConfig.inCrawlScope = [](const WString&, CLUSION_REASON* rule) {
            *rule = CLUSIONREASON_DEFAULT;
            return true;
        };
        world.setTable(testing::pathTable({file}));
        CheckSubject subject{moduleFile(), folder, true, false};
        c.arrange(world, subject);
        CheckFacts facts;
        {
            platform::ModuleLibrary library;
            facts = gatherFacts(subject, library);
        }
        EXPECT_EQ(c.lastProbe, lastProbe(facts)) << c.what;
        if (facts.search) {
            EXPECT_EQ(c.outcome, facts.search->outcome) << c.what;
            const std::string failedStep =
                facts.search->rowset ? facts.search->rowset->failedStep : "";
            EXPECT_EQ(c.describedUpTo, failedStep) << c.what;
            if (facts.search->rowset && failedStep.empty()) {
                ASSERT_EQ(1u, facts.search->rowset->columns.size()) << c.what;
                EXPECT_EQ(DBTYPE_WSTR, facts.search->rowset->columns[0].boundType);
                EXPECT_EQ(c.walked, facts.search->rowset->walked) << c.what;
                EXPECT_EQ(c.walked == DB_S_ENDOFROWSET ? 1u : 0u, facts.search->rowset->rows);
            }
        }
        const Verdict verdict = decide(facts);
        EXPECT_NE(std::string::npos, reportText(facts, verdict).find("verdict: " + verdict.text));
        EXPECT_NE(std::string::npos,
                  reportJson(facts, verdict)
                      .find("\"exitStatus\":" + std::to_string(verdict.exitStatus())));
        EXPECT_EQ(std::vector<std::string>{}, world.leftovers()) << c.what;
    }
    std::filesystem::remove_all(root);
}

TEST(CheckProbes, AModuleLoadedInPlaceOfAnotherUnloadsIt) {
    {
        platform::ModuleLibrary library;
        ASSERT_TRUE(library.load(moduleFile(), nullptr) && library.load(moduleFile(), nullptr));
    }
#ifdef _WIN32
    EXPECT_EQ(nullptr, GetModuleHandleW(L"tarvel-search.dll"));
#else
    EXPECT_EQ(nullptr, dlopen(TARVEL_MODULE_FILE, RTLD_NOW | RTLD_NOLOAD));
#endif
}

}  // namespace
}  // namespace tarvel::host
