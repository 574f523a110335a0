// Searches from wherever a file manager searches: several host threads at once, each in its own
// apartment; a thread already in the multithreaded apartment; callbacks that call the module
// again, for its description or for a whole nested search. One driver runs every scenario of
// the table: each host thread has its own world (or registers the one shared stand-in service
// in its apartment) and its own host record, and checks that it receives exactly its own lines,
// in order, on its own thread, and that nothing is held after.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "host_platform.h"
#include "search_service.h"
#include "search_world.h"
#include "test_threads.h"

namespace tarvel {
namespace {

using namespace tarvel::testing;

enum class Reentry {
    None,
    InfoOnEveryLine,          // the callback asks for the module's description on every line
    NestedSearchOnFirstLine,  // the callback runs a whole search for another query
};

enum class World {
    Scripted,         // a scripted world per thread, the scripted data initialization
    PlatformService,  // the same, the provider opened by the platform's data initialization
    SharedStandIn,    // one stand-in service over a folder for every thread
};

struct Scenario {
    const char* name;
    size_t threads;
    int searches;  // per thread
    DWORD apartment;
    Reentry reentry;
    World world;
};

void PrintTo(const Scenario& scenario, std::ostream* out) {
    *out << scenario.name;
}

constexpr DWORD kSingle = COINIT_APARTMENTTHREADED;
constexpr DWORD kMulti = COINIT_MULTITHREADED;

constexpr World kScripted = World::Scripted;

const Scenario kScenarios[] = {
    {"EightApartmentsAtOnce", 8, 100, kSingle, Reentry::None, kScripted},
    {"EightApartmentsThroughThePlatformsService", 8, 25, kSingle, Reentry::None,
     World::PlatformService},
    {"EightApartmentsThroughOneStandInService", 8, 25, kSingle, Reentry::None,
     World::SharedStandIn},
    {"AHostThreadInTheMultithreadedApartment", 1, 20, kMulti, Reentry::None, kScripted},
    {"InfoAskedOnEveryLine", 1, 20, kSingle, Reentry::InfoOnEveryLine, kScripted},
    {"ANestedSearchOnTheFirstLine", 1, 20, kSingle, Reentry::NestedSearchOnFirstLine, kScripted},
    {"NestedSearchesInFourApartmentsAtOnce", 4, 25, kSingle, Reentry::NestedSearchOnFirstLine,
     kScripted},
    {"ANestedSearchInTheMultithreadedApartment", 1, 10, kMulti, Reentry::NestedSearchOnFirstLine,
     kScripted},
};

// The stand-in service over a folder of 30 files, 10 of which a search for "report" finds, for
// every thread at once; made and started on the test's own thread.
class SharedStandIn {
public:
    SharedStandIn() {
        const std::filesystem::path root = std::filesystem::temp_directory_path() /
                                           ("tarvel-threads-" + std::to_string(currentThreadId()));
        std::filesystem::remove_all(root);
        std::filesystem::create_directories(root);
        for (int i = 0; i < 30; ++i) {
            const std::string name = "item" + std::to_string(i) + (i % 3 == 0 ? "-report" : "");
            std::ofstream(root / name).put('x');
        }
        folder_ = platform::absoluteFolder(utf16FromUtf8(root.string()));
        for (int i = 0; i < 30; i += 3) {
            const std::string name = "item" + std::to_string(i) + "-report";
            lines_.push_back(platform::childPath(folder_, WString(name.begin(), name.end())));
        }
        std::sort(lines_.begin(), lines_.end());
        entered_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
        service_ = std::make_unique<service::SearchService>(folder_);
        started_ = service_->start();
    }
    ~SharedStandIn() {
        service_.reset();
        if (entered_) {
            CoUninitialize();
        }
        std::error_code ignored;
        std::filesystem::remove_all(std::filesystem::path(folder_.c_str()), ignored);
    }
    HRESULT started() const { return started_; }
    service::SearchService& service() { return *service_; }
    // The lines of a search for "report", in path order.
    const std::vector<WString>& lines() const { return lines_; }

private:
    WString folder_;
    std::vector<WString> lines_;
    bool entered_ = false;
    HRESULT started_ = E_FAIL;
    std::unique_ptr<service::SearchService> service_;
};

const WCHAR kDescription[] = TARVEL_UTF16("Tarvel Windows Search Module  by the Tarvel team");
const WCHAR kWhere[] = TARVEL_UTF16(" WHERE q=");

// The lines a query finds, made from the query alone: 0 to 4 of them. With two columns the
// line is built from a path and a BSTR; with one, it is the path as it lies in the row.
std::vector<WString> linesFor(const WString& query, bool twoColumns) {
    size_t count = 0;
    for (WCHAR unit : query) {
        count += unit;
    }
    std::vector<WString> lines;
    for (size_t i = 0; i < count % 5; ++i) {
        const WString path =
            TARVEL_UTF16("C:\\") + query + TARVEL_UTF16("\\item") + WString(1, WCHAR(u'0' + i));
        lines.push_back(twoColumns ? path + TARVEL_UTF16(" #") + query : path);
    }
    return lines;
}

Table tableFor(const WString& query, bool twoColumns) {
    Table table;
    table.columns.push_back(column(1, DBTYPE_WSTR, 260));
    if (twoColumns) {
        table.columns.push_back(column(2, DBTYPE_BSTR, 8));
    }
    for (const WString& line : linesFor(query, false)) {
        service::Row row{Cell::ofText(line)};
        if (twoColumns) {
            row.push_back(Cell::ofText(TARVEL_UTF16(" #") + query));
        }
        table.rows.push_back(std::move(row));
    }
    return table;
}

WString queryOf(size_t thread, int search, bool nested) {
    const std::string text =
        "t" + std::to_string(thread) + "s" + std::to_string(search) + (nested ? "n" : "");
    return WString(text.begin(), text.end());
}

// A host thread's record: HostAppInfo first, as the module reads it, then what the thread keeps.
struct ThreadHost {
    HostAppInfo info{&ThreadHost::receive};
    uint64_t thread = 0;
    Reentry reentry = Reentry::None;
    WString nestedQuery;
    int depth = 0;
    bool nestedRan = false;
    // Each line with the depth of the search that delivered it: 0 outer, 1 nested.
    std::vector<std::pair<int, WString>> received;
    std::vector<std::string> problems;
    // Callbacks that came on another thread, which may touch nothing else of the record.
    std::atomic<long> elsewhere{0};

    static int32_t receive(HostAppInfo* info, uint32_t request, void* data) {
        auto* host = reinterpret_cast<ThreadHost*>(info);
        if (host->thread != currentThreadId()) {
            ++host->elsewhere;
            return 0;
        }
        if (request != HostOutputLine || data == nullptr) {
            host->problems.push_back("request " + std::to_string(request));
            return 0;
        }
        host->received.emplace_back(host->depth, WString(static_cast<const WCHAR*>(data)));
        if (host->reentry == Reentry::InfoOnEveryLine) {
            WCHAR text[64] = {};
            ModuleInfoRequest describe{0, 0, text};
            if (ModuleEntry(info, CommandInfo, &describe) != 1 ||
                describe.value != ModuleInfoValue || WString(text) != kDescription) {
                host->problems.push_back("the description asked from the callback");
            }
        }
        if (host->reentry == Reentry::NestedSearchOnFirstLine && host->depth == 0 &&
            !host->nestedRan) {
            host->nestedRan = true;
            host->depth = 1;
            SearchRequest nested{host->nestedQuery.c_str(), 0, -1};
            if (ModuleEntry(info, CommandSearch, &nested) != 0) {
                host->problems.push_back("the nested search did not return 0");
            }
            host->depth = 0;
        }
        return 0;
    }
};

// What one host thread searches through, set up in the thread's apartment.
class ThreadWorld {
public:
    virtual ~ThreadWorld() = default;
    // The query of the thread's search-th search, nested or not, and the lines it finds.
    virtual WString query(size_t thread, int search, bool nested) const = 0;
    virtual std::vector<WString> lines(const WString& query) const = 0;
    // Whether the lines come in a fixed order; otherwise they are compared as a set.
    virtual bool ordered() const = 0;
    // What went wrong in the set-up, or what a search left behind.
    virtual std::vector<std::string> leftovers() const = 0;
};

// A scripted world of the thread's own whose lines come from the query (linesFor): one column
// on even threads, two on odd ones.
class ScriptedThreadWorld final : public ThreadWorld {
public:
    ScriptedThreadWorld(const Scenario& scenario, size_t thread) : twoColumns_(thread % 2 == 1) {
        SearchWorldOptions options;
        options.platformService = scenario.world == World::PlatformService;
        options.progIdRegistered = true;
        options.apartment = scenario.apartment;
        world_.emplace(options);
        world_->instrumentation.keepJournal(false);
        world_->searchConfig.generator = [](const WString& query,
                                            const service::QueryHelperSettings&, WString& sql) {
            sql = TARVEL_UTF16("SELECT \"System.ItemPathDisplay\" FROM \"SystemIndex\"") +
                  WString(kWhere) + query;
            return S_OK;
        };
        world_->providerConfig.backend = [this](const WString& sql,
                                                std::shared_ptr<const service::Table>& table) {
            const size_t where = sql.find(kWhere);
            if (where == WString::npos) {
                return DB_E_ERRORSINCOMMAND;
            }
            table =
                service::serve(tableFor(sql.substr(where + WString(kWhere).size()), twoColumns_));
            return S_OK;
        };
    }

    WString query(size_t thread, int search, bool nested) const override {
        return queryOf(thread, search, nested);
    }
    std::vector<WString> lines(const WString& query) const override {
        return linesFor(query, twoColumns_);
    }
    bool ordered() const override { return true; }
    std::vector<std::string> leftovers() const override { return world_->leftovers(); }

private:
    bool twoColumns_;
    std::optional<SearchWorld> world_;
};

// The one shared stand-in service, its classes registered in the thread's apartment.
class StandInThreadWorld final : public ThreadWorld {
public:
    StandInThreadWorld(const Scenario& scenario, SharedStandIn& shared) : shared_(shared) {
        entered_ = SUCCEEDED(CoInitializeEx(nullptr, scenario.apartment));
        registered_ = shared.service().registerClasses(registration_);
    }
    ~StandInThreadWorld() override {
        registration_.revoke();
        if (entered_) {
            CoUninitialize();
        }
    }

    WString query(size_t, int, bool) const override { return TARVEL_UTF16("report"); }
    std::vector<WString> lines(const WString&) const override { return shared_.lines(); }
    bool ordered() const override { return false; }
    std::vector<std::string> leftovers() const override {
        if (FAILED(registered_)) {
            return {"registering the stand-in's classes gave " + std::to_string(registered_)};
        }
        return {};
    }

private:
    SharedStandIn& shared_;
    service::ClassRegistration registration_;
    bool entered_ = false;
    HRESULT registered_ = E_FAIL;
};

std::string described(const std::pair<int, WString>& line) {
    return (line.first == 0 ? "" : "nested ") + narrowText(line.second);
}

// What one host thread saw go wrong, as text; empty when all went well.
std::vector<std::string> runHostThread(const Scenario& scenario, size_t index, ThreadWorld& world) {
    std::vector<std::string> problems;
    auto fail = [&](const std::string& what) {
        problems.push_back("thread " + std::to_string(index) + ": " + what);
    };
    for (const std::string& problem : world.leftovers()) {
        fail("set-up: " + problem);
    }
    ThreadHost host;
    host.thread = currentThreadId();
    host.reentry = scenario.reentry;
    for (int s = 0; s < scenario.searches && problems.empty(); ++s) {
        const WString query = world.query(index, s, false);
        host.nestedQuery = world.query(index, s, true);
        host.nestedRan = false;
        host.received.clear();
        SearchRequest request{query.c_str(), 0, -1};
        if (ModuleEntry(&host.info, CommandSearch, &request) != 0) {
            fail("search " + std::to_string(s) + " did not return 0");
        }
        std::vector<std::pair<int, WString>> expected;
        const std::vector<WString> outer = world.lines(query);
        for (size_t i = 0; i < outer.size(); ++i) {
            expected.emplace_back(0, outer[i]);
            if (i == 0 && scenario.reentry == Reentry::NestedSearchOnFirstLine) {
                for (const WString& line : world.lines(host.nestedQuery)) {
                    expected.emplace_back(1, line);
                }
            }
        }
        if (!world.ordered()) {
            std::sort(host.received.begin(), host.received.end());
        }
        const auto differs = std::mismatch(host.received.begin(), host.received.end(),
                                           expected.begin(), expected.end());
        if (differs.first != host.received.end() || differs.second != expected.end()) {
            const size_t at = size_t(differs.first - host.received.begin());
            fail("search " + std::to_string(s) + ": line " + std::to_string(at) + " is " +
                 (differs.first != host.received.end() ? described(*differs.first) : "missing") +
                 ", not " +
                 (differs.second != expected.end() ? described(*differs.second) : "none"));
        }
        for (const std::string& problem : world.leftovers()) {
            fail("after search " + std::to_string(s) + ": " + problem);
        }
    }
    for (const std::string& problem : host.problems) {
        fail(problem);
    }
    if (host.elsewhere != 0) {
        fail(std::to_string(host.elsewhere.load()) + " lines came on another thread");
    }
    // The host's apartment is as the host left it: entering it again nests.
    const HRESULT again = CoInitializeEx(nullptr, scenario.apartment);
    if (again != S_FALSE) {
        fail("entering the host's apartment again gave " + std::to_string(again));
    }
    if (SUCCEEDED(again)) {
        CoUninitialize();
    }
    return problems;
}

class HostThreadTest : public ::testing::TestWithParam<Scenario> {};

TEST_P(HostThreadTest, EachThreadGetsItsOwnLinesInOrderAndNothingIsHeld) {
    const Scenario& scenario = GetParam();
    // The provider's ProgID is the process's, registered once for every thread's world.
    platform::ProgIdRegistration progId;
    const bool platformService = scenario.world == World::PlatformService;
    if (platformService) {
        ASSERT_EQ(S_OK, CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
        ASSERT_EQ(S_OK, registerProviderProgId(progId));
    }
    std::optional<SharedStandIn> shared;
    if (scenario.world == World::SharedStandIn) {
        shared.emplace();
        ASSERT_EQ(S_OK, shared->started());
    }
    std::vector<std::vector<std::string>> problems(scenario.threads);
    const bool started = runOnThreads(scenario.threads, [&](size_t index) {
        std::unique_ptr<ThreadWorld> world;
        if (shared) {
            world = std::make_unique<StandInThreadWorld>(scenario, *shared);
        } else {
            world = std::make_unique<ScriptedThreadWorld>(scenario, index);
        }
        problems[index] = runHostThread(scenario, index, *world);
    });
    if (platformService) {
        progId.remove();
        CoUninitialize();
    }
    ASSERT_TRUE(started) << "not every host thread could be started";
    for (const std::vector<std::string>& thread : problems) {
        EXPECT_EQ(std::vector<std::string>{}, thread);
    }
}

INSTANTIATE_TEST_SUITE_P(Scenarios, HostThreadTest, ::testing::ValuesIn(kScenarios),
                         [](const ::testing::TestParamInfo<Scenario>& scenario) {
                             return std::string(scenario.param.name);
                         });

}  // namespace
}  // namespace tarvel
