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
#include <string>
#include <vector>

#include "search_service.h"

namespace {

using tarvel::WString;
using namespace tarvel::service;

const wchar_t kWaitingEvent[] = L"TarvelSearchServerWaiting";

// The objects the server has made, and those not released. Wine's COM does not suspend a
// server's classes when its last object goes (CoReleaseServerProcess only counts): the server
// lingers a while after its last object goes, so that a client that searches again soon finds
// it, and ends when none came.
std::atomic<long> made{0};
std::atomic<long> live{0};

// A stand-in object the server counts; objects are made on several of COM's threads at once.
template <class Base>
class Counted : public Base {
public:
    explicit Counted(const SearchServiceConfig* config) : Base(config) {
        ++made;
        ++live;
    }

protected:
    void destroy() override {
        --live;
        Base::destroy();
    }
};

// A query that begins with "wait:N " waits N milliseconds, having signalled that it waits,
// before the SQL of the rest is generated.
class ServerQueryHelper final : public Counted<QueryHelper> {
public:
    using Counted::Counted;

    HRESULT STDMETHODCALLTYPE GenerateSQLFromUserQuery(LPCWSTR pszQuery, LPWSTR* ppszSQL) override {
        const WString query = pszQuery != nullptr ? WString(pszQuery) : WString();
        const WString prefix = tarvel::utf16FromUtf8("wait:");
        if (query.compare(0, prefix.size(), prefix) != 0) {
            return QueryHelper::GenerateSQLFromUserQuery(pszQuery, ppszSQL);
        }
        const size_t blank = query.find(u' ');
        const std::string milliseconds =
            tarvel::utf8FromUtf16(query.substr(prefix.size(), blank - prefix.size()));
        HANDLE waiting = CreateEventW(nullptr, TRUE, FALSE, kWaitingEvent);
        SetEvent(waiting);
        Sleep(DWORD(std::strtoul(milliseconds.c_str(), nullptr, 10)));
        CloseHandle(waiting);
        const WString rest = blank == WString::npos ? WString() : query.substr(blank + 1);
        return QueryHelper::GenerateSQLFromUserQuery(rest.c_str(), ppszSQL);
    }
};

class ServerCatalog final : public Counted<CatalogManager> {
public:
    using Counted::Counted;

protected:
    QueryHelper* newQueryHelper() override {
        return QueryHelper::create<ServerQueryHelper>(config());
    }
    CrawlScopeManager* newCrawlScope() override {
        return CrawlScopeManager::create<Counted<CrawlScopeManager>>(config());
    }
};

class ServerSearchManager final : public Counted<SearchManager> {
public:
    using Counted::Counted;

    static HRESULT make(void* context, REFIID riid, void** ppv) {
        return handOut(SearchManager::create<ServerSearchManager>(
                           static_cast<const SearchServiceConfig*>(context)),
                       riid, ppv);
    }

protected:
    CatalogManager* newCatalog() override {
        return CatalogManager::create<ServerCatalog>(config());
    }
};

class ServerSearchService final : public SearchService {
public:
    explicit ServerSearchService(WString root) : SearchService(std::move(root)) {}

protected:
    ClassFactory* searchManagerClass() override {
        return ClassFactory::create(ServerSearchManager::make,
                                    const_cast<SearchServiceConfig*>(&searchConfig()));
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
        ServerSearchService service(indexFolder());
        ClassRegistration registration;
        status = FAILED(service.registerClasses(registration)) ? 1 : 0;
        // Idle: no object lives, and none was made since the last look.
        DWORD idle = 0;
        long seen = 0;
        for (DWORD waited = 0; status == 0; waited += 50) {
            Sleep(50);
            idle = live == 0 && made == seen ? idle + 50 : 0;
            seen = made;
            if (seen != 0 ? idle >= kLinger : waited >= kFirstClient) {
                registration.revoke();
                if (live == 0 && made == seen) {
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
