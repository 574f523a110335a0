// The stand-in search manager as Windows has its own: an out-of-process COM server, started by
// COM on a client's CoCreateInstance of CLSID_CSearchManager (registered as its LocalServer32 in
// a test prefix), serving the search manager, its catalog manager, query helper and crawl scope
// manager, and ending when the last of its objects is released. Every call reaches it through
// the proxies and stubs of tarvel-search-ps.dll. It ends a second after its last object goes,
// unless a client comes back meanwhile.
//
// Usage (as registered): tarvel-search-server.exe [--index FOLDER] [-Embedding]
// FOLDER is the folder whose crawl scope and items the catalog reports. A query that begins
// with "wait:N " makes the query helper wait N milliseconds before it generates the SQL for the
// rest, signalling the event "TarvelSearchServerWaiting" first: a test can call it slow, and
// kill the server while a client waits on it.
#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include "search_service.h"

namespace {

using tarvel::WString;
using namespace tarvel::service;

const wchar_t kWaitingEvent[] = L"TarvelSearchServerWaiting";

// Counts the objects the server has made and those it has not had back. Wine's COM does not
// suspend a server's classes when its last object goes (CoReleaseServerProcess only counts): the
// server lingers a while after its last object goes, so that a client that searches again soon
// finds it, and ends when none came.
class ServerWatcher final : public ObjectWatcher {
public:
    ServerWatcher() = default;
    ~ServerWatcher() {
        for (ObjectCore* object : objects_) {
            delete object;
        }
    }

    std::optional<HRESULT> calling(const ObjectCore&, std::string_view,
                                   const CallDetail&) override {
        return std::nullopt;
    }
    bool addingReference(const ObjectCore&, const char*) override { return true; }
    void releasing(const ObjectCore&, const char*) override {}
    void released(const ObjectCore&) override { --live_; }
    HRESULT unexpected(std::string_view) override { return E_NOTIMPL; }
    void fault(std::string) override {}
    void adopt(ObjectCore* object) override {
        ++live_;
        ++made_;
        const std::lock_guard<Lock> guard(lock_);
        objects_.push_back(object);
    }
    void handedOver(std::string) override {}

    // The objects made so far, and those not released.
    long made() const { return made_; }
    long live() const { return live_; }

private:
    // The objects are kept until the server ends; a search makes a few. Objects are made on
    // several of COM's threads at once.
    struct Lock {
        CRITICAL_SECTION section;
        Lock() { InitializeCriticalSection(&section); }
        ~Lock() { DeleteCriticalSection(&section); }
        void lock() { EnterCriticalSection(&section); }
        void unlock() { LeaveCriticalSection(&section); }
    };
    Lock lock_;
    std::vector<ObjectCore*> objects_;
    std::atomic<long> live_{0};
    std::atomic<long> made_{0};
};

class ServerSearchService final : public SearchService {
public:
    ServerSearchService(WString root, ObjectWatcher* watcher)
        : SearchService(std::move(root), watcher) {}

protected:
    HRESULT generate(const WString& query, const QueryHelperSettings& settings,
                     WString& sql) const override {
        const WString prefix = tarvel::utf16FromUtf8("wait:");
        if (query.compare(0, prefix.size(), prefix) != 0) {
            return SearchService::generate(query, settings, sql);
        }
        const size_t blank = query.find(u' ');
        const std::string milliseconds =
            tarvel::utf8FromUtf16(query.substr(prefix.size(), blank - prefix.size()));
        HANDLE waiting = CreateEventW(nullptr, TRUE, FALSE, kWaitingEvent);
        SetEvent(waiting);
        Sleep(DWORD(std::strtoul(milliseconds.c_str(), nullptr, 10)));
        CloseHandle(waiting);
        return SearchService::generate(blank == WString::npos ? WString() : query.substr(blank + 1),
                                       settings, sql);
    }
};

WString indexFolder() {
    int count = 0;
    LPWSTR* words = CommandLineToArgvW(GetCommandLineW(), &count);
    WString folder;
    for (int i = 1; words != nullptr && i + 1 < count; ++i) {
        if (lstrcmpW(words[i], L"--index") == 0) {
            folder = words[i + 1];
        }
    }
    LocalFree(words);
    return folder;
}

}  // namespace

// How long the server waits for a client: for the first after it started, and for another after
// its last object went. Wine starts a server for each of several activations that come at once,
// where Windows starts one; the servers no client reached end after a few seconds.
constexpr DWORD kFirstClient = 5000;
constexpr DWORD kLinger = 1000;

int main() {
    if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) {
        return 1;
    }
    int status = 0;
    {
        ServerWatcher watcher;
        ServerSearchService service(indexFolder(), &watcher);
        ClassRegistration registration;
        status = FAILED(service.registerClasses(registration)) ? 1 : 0;
        // Idle: no object lives, and none was made since the last look.
        DWORD idle = 0;
        long made = 0;
        for (DWORD waited = 0; status == 0; waited += 50) {
            Sleep(50);
            idle = watcher.live() == 0 && watcher.made() == made ? idle + 50 : 0;
            made = watcher.made();
            if (made != 0 ? idle >= kLinger : waited >= kFirstClient) {
                registration.revoke();
                if (watcher.live() == 0 && watcher.made() == made) {
                    break;  // no object came while the class went
                }
                status = FAILED(service.registerClasses(registration)) ? 1 : 0;
            }
        }
        registration.revoke();
    }
    CoUninitialize();
    return status;
}
