// The search manager in another process, as Windows has it: COM starts the stand-in's local
// server (tarvel-search-server.exe) on the module's CoCreateInstance and marshals every call of
// the translation through the generated proxies (tarvel-search-ps.dll); the provider stays in
// the host's process. One driver runs the table of scenarios: each host thread searches with a
// world of its own that serves the provider alone, and gets exactly its lines in order; nothing
// is held in the host afterwards, and the server ends with the last search.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <vector>

#include "search_world.h"
#include "server_registration_windows.h"
#include "shipped_files_windows.h"
#include "test_threads.h"
#include "windows/win32_handles.h"
// after windows.h, which it needs
#include <tlhelp32.h>

namespace tarvel {
namespace {

using namespace tarvel::testing;
using Clock = std::chrono::steady_clock;

const wchar_t kServerFile[] = L"tarvel-search-server.exe";
const wchar_t kWaitingEvent[] = L"TarvelSearchServerWaiting";
const WCHAR kLike[] = L"LIKE '%";

enum class Event {
    None,
    SecondSearchFromTheWindow,  // a window procedure searches while the first search waits
    ServerKilled,               // the server dies while the module waits on it
    ServerMissing,              // the registered server's file is not there
};

struct Scenario {
    const char* name;
    size_t singleThreaded;  // host threads, each in a single-threaded apartment of its own
    size_t multiThreaded;   // host threads in the multithreaded apartment
    int searches;           // per thread
    Event event;
};

void PrintTo(const Scenario& scenario, std::ostream* out) {
    *out << scenario.name;
}

const Scenario kScenarios[] = {
    {"SearchesThroughTheServer", 1, 0, 3, Event::None},
    {"EightApartmentsAndTheMultithreadedOneAtOnce", 8, 1, 5, Event::None},
    {"ASecondSearchFromAWindowWhileTheFirstWaits", 1, 0, 1, Event::SecondSearchFromTheWindow},
    {"TheServerKilledDuringTheTranslation", 1, 0, 1, Event::ServerKilled},
    {"TheServersFileMissing", 1, 0, 1, Event::ServerMissing},
};

// The lines a query finds: 1 to 3 of them, made from the query alone.
std::vector<WString> linesFor(const WString& query) {
    std::vector<WString> lines;
    for (size_t i = 0; i < 1 + query.size() % 3; ++i) {
        lines.push_back(L"C:\\" + query + L"\\item" + WString(1, WCHAR(L'0' + i)));
    }
    return lines;
}

std::vector<DWORD> processesNamed(const wchar_t* file) {
    std::vector<DWORD> found;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more;
         more = Process32NextW(snapshot, &entry)) {
        if (lstrcmpiW(entry.szExeFile, file) == 0) {
            found.push_back(entry.th32ProcessID);
        }
    }
    CloseHandle(snapshot);
    return found;
}

std::vector<DWORD> serverProcesses() {
    return processesNamed(kServerFile);
}

void kill(const wchar_t* file) {
    for (DWORD id : processesNamed(file)) {
        HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, id);
        TerminateProcess(process, 9);
        CloseHandle(process);
    }
}

// Whether every server process has ended within the time.
bool serversEnd(std::chrono::milliseconds within) {
    const Clock::time_point end = Clock::now() + within;
    while (!serverProcesses().empty()) {
        if (Clock::now() > end) {
            return false;
        }
        Sleep(50);
    }
    return true;
}

// Stops Wine's RpcSs service, as its service manager asks; true when it stopped in time.
bool stopRpcss(std::chrono::milliseconds within) {
    const platform::ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    const platform::ServiceHandle service(
        OpenServiceW(manager.get(), L"RpcSs", SERVICE_STOP | SERVICE_QUERY_STATUS));
    SERVICE_STATUS status{};
    ControlService(service.get(), SERVICE_CONTROL_STOP, &status);
    const Clock::time_point end = Clock::now() + within;
    while (QueryServiceStatus(service.get(), &status) && status.dwCurrentState != SERVICE_STOPPED) {
        if (Clock::now() > end) {
            return false;
        }
        Sleep(50);
    }
    return true;
}

// A host thread's record, and its world: the scripted provider, whose rows come from the word
// the server's query helper put in the SQL.
struct ThreadHost {
    HostAppInfo info{&ThreadHost::receive};
    std::vector<WString> received;
    WString nestedQuery;  // searched from the window procedure
    int nestedResult = -1;

    static int32_t receive(HostAppInfo* info, uint32_t request, void* data) {
        auto* host = reinterpret_cast<ThreadHost*>(info);
        if (request == HostOutputLine && data != nullptr) {
            host->received.emplace_back(static_cast<const WCHAR*>(data));
        }
        return 0;
    }
};

void serveLinesOfTheQuery(SearchWorld& world) {
    world.instrumentation.keepJournal(false);
    world.providerConfig.backend = [](const WString& sql,
                                      std::shared_ptr<const service::Table>& table) {
        const size_t like = sql.find(kLike);
        if (like == WString::npos) {
            return DB_E_ERRORSINCOMMAND;
        }
        const size_t start = like + WString(kLike).size();
        Table lines = pathTable(linesFor(sql.substr(start, sql.find(L'%', start) - start)));
        table = service::serve(std::move(lines));
        return S_OK;
    };
}

int32_t search(ThreadHost& host, const WString& query) {
    SearchRequest request{query.c_str(), 0, -1};
    return ModuleEntry(&host.info, CommandSearch, &request);
}

// What a file manager's window thread registers so that its window stays responsive while a COM
// call waits: the messages posted to the thread are dispatched as they come.
class DispatchingFilter final : public IMessageFilter {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IID_IMessageFilter)) {
            *ppv = static_cast<IMessageFilter*>(this);
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    DWORD STDMETHODCALLTYPE HandleInComingCall(DWORD, HTASK, DWORD, LPINTERFACEINFO) override {
        return SERVERCALL_ISHANDLED;
    }
    DWORD STDMETHODCALLTYPE RetryRejectedCall(HTASK, DWORD, DWORD) override { return DWORD(-1); }
    DWORD STDMETHODCALLTYPE MessagePending(HTASK, DWORD, DWORD) override {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageW(&message);
        }
        return PENDINGMSG_WAITDEFPROCESS;
    }
};

LRESULT CALLBACK searchOnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_APP) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    auto* host = reinterpret_cast<ThreadHost*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    host->nestedResult = search(*host, host->nestedQuery);
    return 0;
}

// What one host thread saw go wrong; empty when all went well.
std::vector<std::string> runHostThread(const Scenario& scenario, size_t index, DWORD apartment,
                                       std::atomic<long long>& searchEnded,
                                       std::atomic<HWND>& hostWindow,
                                       const std::atomic<bool>& serverGone) {
    std::vector<std::string> problems;
    auto fail = [&](const std::string& what) {
        problems.push_back("thread " + std::to_string(index) + ": " + what);
    };
    SearchWorldOptions options;
    options.apartment = apartment;
    options.searchManager = false;
    SearchWorld world(options);
    serveLinesOfTheQuery(world);
    ThreadHost host;
    HWND window = nullptr;
    DispatchingFilter filter;
    IMessageFilter* previousFilter = nullptr;
    if (scenario.event == Event::SecondSearchFromTheWindow) {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = searchOnMessage;
        windowClass.lpszClassName = L"TarvelHostWindow";
        RegisterClassW(&windowClass);
        window = CreateWindowExW(0, windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                 nullptr, nullptr, nullptr);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&host));
        host.nestedQuery = L"window";
        CoRegisterMessageFilter(&filter, &previousFilter);
        hostWindow = window;  // the watch posts the message while the first search waits
    }
    for (int s = 0; s < scenario.searches; ++s) {
        const WString word = L"t" + std::to_wstring(index) + L"s" + std::to_wstring(s);
        // The server waits on the first search while a window has a message for the thread, or
        // while the test kills it.
        const WString wait = scenario.event == Event::ServerKilled                ? L"wait:30000 "
                             : scenario.event == Event::SecondSearchFromTheWindow ? L"wait:500 "
                                                                                  : L"";
        host.received.clear();
        const int32_t result = search(host, wait + word);
        searchEnded = Clock::now().time_since_epoch().count();
        std::vector<WString> expected = linesFor(word);
        if (window != nullptr) {
            std::vector<WString> nested = linesFor(host.nestedQuery);
            expected.insert(expected.begin(), nested.begin(), nested.end());
            if (host.nestedResult != 0) {
                fail("the search from the window procedure did not run while the first waited");
            }
        }
        if (scenario.event == Event::ServerKilled || scenario.event == Event::ServerMissing) {
            expected.clear();
        }
        if (result != 0 || host.received != expected) {
            fail("search " + std::to_string(s) + " delivered " +
                 std::to_string(host.received.size()) + " lines, not the " +
                 std::to_string(expected.size()) + " expected in their order");
        }
        for (const std::string& problem : world.leftovers()) {
            fail("after search " + std::to_string(s) + ": " + problem);
        }
    }
    if (scenario.event == Event::ServerKilled) {
        // The next search, once the server is gone for good, starts a server anew.
        for (int wait = 0; wait < 2000 && !serverGone; ++wait) {
            Sleep(10);
        }
        host.received.clear();
        if (search(host, L"again") != 0 || host.received != linesFor(L"again")) {
            fail("the search after the server died delivered " +
                 std::to_string(host.received.size()) + " lines");
        }
    }
    // Nothing is held in the server: it ends while this thread's apartment still lives (when the
    // apartment goes, COM lets go of whatever it held).
    if (!serversEnd(std::chrono::seconds(15))) {
        fail("the server outlived the searches");
    }
    if (window != nullptr) {
        CoRegisterMessageFilter(previousFilter, nullptr);
        DestroyWindow(window);
        UnregisterClassW(L"TarvelHostWindow", nullptr);
    }
    return problems;
}

class OutOfProcessTest : public ::testing::TestWithParam<Scenario> {};

TEST_P(OutOfProcessTest, EachSearchGetsItsLinesAndNothingIsHeldInEitherProcess) {
    // The arrangement replaces the machine's search manager: only in a Wine prefix of the tests,
    // never on a machine whose Windows Search it would break.
    if (!underWine()) {
        GTEST_SKIP() << "the search manager's server is registered only under Wine";
    }
    const Scenario& scenario = GetParam();
    ASSERT_TRUE(serversEnd(std::chrono::seconds(10))) << "a server of an earlier test still runs";
    const std::wstring server = scenario.event == Event::ServerMissing
                                    ? shippedFile(L"tarvel-search-server-missing.exe")
                                    : shippedFile(kServerFile);
    const ServerRegistration registration(server);
    ASSERT_TRUE(registration.registered());
    HANDLE waiting = CreateEventW(nullptr, TRUE, FALSE, kWaitingEvent);
    ResetEvent(waiting);
    std::atomic<long long> searchEnded{0};
    std::atomic<HWND> hostWindow{nullptr};
    std::atomic<bool> serverGone{false};
    long long killed = 0;
    const size_t threads = scenario.singleThreaded + scenario.multiThreaded;
    std::vector<std::vector<std::string>> problems(threads + 1);
    const bool started = runOnThreads(threads + 1, [&](size_t index) {
        if (index == threads) {
            // The test's own thread of watch: while a search waits on the server, it posts the
            // window its message, or kills the server.
            const bool waits = scenario.event == Event::ServerKilled ||
                               scenario.event == Event::SecondSearchFromTheWindow;
            if (waits && WaitForSingleObject(waiting, 30000) != WAIT_OBJECT_0) {
                problems[index].push_back("the server never waited");
            }
            if (scenario.event == Event::SecondSearchFromTheWindow) {
                PostMessageW(hostWindow.load(), WM_APP, 0, 0);
            }
            if (scenario.event == Event::ServerKilled) {
                kill(kServerFile);
                killed = Clock::now().time_since_epoch().count();
                // Windows drops a dead server's classes; Wine's rpcss keeps them and hands
                // them to every later activation, which then fails. They go with rpcss, which
                // COM starts again for the next search.
                if (!stopRpcss(std::chrono::seconds(10))) {
                    problems[index].push_back("Wine's rpcss did not stop");
                }
                serverGone = true;
            }
            return;
        }
        problems[index] = runHostThread(
            scenario, index,
            index < scenario.singleThreaded ? COINIT_APARTMENTTHREADED : COINIT_MULTITHREADED,
            searchEnded, hostWindow, serverGone);
    });
    CloseHandle(waiting);
    ASSERT_TRUE(started);
    for (const std::vector<std::string>& thread : problems) {
        EXPECT_EQ(std::vector<std::string>{}, thread);
    }
    if (scenario.event == Event::ServerKilled) {
        const auto ended = Clock::duration(searchEnded.load() - killed);
        EXPECT_LT(ended, std::chrono::seconds(10)) << "the search waited on a dead server";
        std::printf("the search ended %.0f ms after the server was killed\n",
                    std::chrono::duration<double, std::milli>(ended).count());
    }
}

INSTANTIATE_TEST_SUITE_P(Scenarios, OutOfProcessTest, ::testing::ValuesIn(kScenarios),
                         [](const ::testing::TestParamInfo<Scenario>& scenario) {
                             return std::string(scenario.param.name);
                         });

}  // namespace
}  // namespace tarvel
