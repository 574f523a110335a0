// The stand-in search manager as Windows has its own: an out-of-process COM server, started by
// COM on a client's CoCreateInstance of CLSID_CSearchManager (registered as its LocalServer32 in
// a test prefix), serving the search manager, its catalog manager, query helper and crawl scope
// manager, and ending when the last of its objects is released. Every call reaches it through
// the proxies and stubs of tarvel-search-ps.dll.
//
// Usage (as registered): tarvel-search-server.exe [--index FOLDER] [-Embedding]
// FOLDER is the folder whose crawl scope and items the catalog reports. A query that begins
// with "wait:N " makes the query helper wait N milliseconds before it generates the SQL for the
// rest, signalling the event "TarvelSearchServerWaiting" first: a test can call it slow, and
// kill the server while a client waits on it.
#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "search_service.h"

namespace {

using tarvel::WString;
using namespace tarvel::service;

const wchar_t kWaitingEvent[] = L"TarvelSearchServerWaiting";

// Holds the server's process for each object it hands out, and lets it go when the object's
// last reference goes: when none is left, COM suspends the class and the server ends.
class ServerWatcher final : public ObjectWatcher {
public:
    explicit ServerWatcher(HANDLE done) : done_(done) {}
    ~ServerWatcher() {
        for (ObjectCore* object : objects_) {
            delete object;
        }
    }

    std::optional<HRESULT> calling(const ObjectCore&, std::string_view, const CallDetail&) override {
        return std::nullopt;
    }
    bool addingReference(const ObjectCore&, const char*) override { return true; }
    void releasing(const ObjectCore& object, const char*) override {
        if (object.references() == 1 && CoReleaseServerProcess() == 0) {
            SetEvent(done_);
        }
    }
    HRESULT unexpected(std::string_view) override { return E_NOTIMPL; }
    void fault(std::string) override {}
    void adopt(ObjectCore* object) override {
        CoAddRefServerProcess();
        objects_.push_back(object);
    }
    void handedOver(std::string) override {}

    bool served() const { return !objects_.empty(); }

private:
    HANDLE done_;
    std::vector<ObjectCore*> objects_;  // kept until the server ends; a search makes a few
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

int main() {
    if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) {
        return 1;
    }
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    int status = 0;
    {
        ServerWatcher watcher(done);
        ServerSearchService service(indexFolder(), &watcher);
        ClassRegistration registration;
        if (FAILED(service.registerClasses(registration))) {
            status = 1;
        } else {
            // A server that no client reaches within a minute ends as well.
            while (WaitForSingleObject(done, 60000) == WAIT_TIMEOUT && watcher.served()) {
            }
        }
        registration.revoke();
    }
    CloseHandle(done);
    CoUninitialize();
    return status;
}
