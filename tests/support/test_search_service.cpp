#include "test_search_service.h"

#include <cstdio>
#include <cstdlib>

#include "stand_in.h"

namespace tarvel::testing {

namespace {

bool endsWithName(const WString& path, const WString& name) {
    const size_t n = name.size();
    if (n == 0 || path.size() <= n || path.compare(path.size() - n, n, name) != 0) {
        return false;
    }
    const WCHAR before = path[path.size() - n - 1];
    return before == u'/' || before == u'\\';
}

}  // namespace

TestSearchService::TestSearchService(WString root, service::SearchService::Unreadable unreadable)
    : SearchService(std::move(root), std::move(unreadable)) {
    readSwitchesForTesting();
    // What the stand-in does not serve (streams over long paths, fetches that fail) the test
    // world's rowset does, its calls unjournaled.
    if (pathUnits_ > service::kPathColumnSize || quirks_.fetchFails != S_OK) {
        instrumentation_.keepJournal(false);
        providerConfig().makeRowset = [this](service::ObjectCore* command,
                                             std::shared_ptr<const service::Table> table,
                                             REFIID riid, IUnknown** rowset) {
            service::FakeRowset* rows = service::TableRowset::create<service::FakeRowset>(
                &instrumentation_, std::move(table), &quirks_);
            rows->keepAlive(command);
            return service::handOut(rows, riid, reinterpret_cast<void**>(rowset));
        };
    }
}

void TestSearchService::readSwitchesForTesting() {
    if (const char* name = std::getenv("TARVEL_STANDIN_UNREADABLE")) {
        unreadableName_ = utf16FromUtf8(name);
    }
    if (const char* units = std::getenv("TARVEL_STANDIN_PATH_UNITS")) {
        const unsigned long value = std::strtoul(units, nullptr, 10);
        if (value >= 1 && value <= 32767) {
            pathUnits_ = value;
            cutsPaths_ = true;
        }
    }
    if (const char* type = std::getenv("TARVEL_STANDIN_PATH_TYPE")) {
        pathType_ = std::string(type) == "bstr" ? DBTYPE_BSTR : DBTYPE_WSTR;
    }
    if (const char* file = std::getenv("TARVEL_STANDIN_ROWS_FILE")) {
        rowsFile_ = file;
    }
    server_ = std::getenv("TARVEL_STANDIN_SERVER") != nullptr;
    if (const char* code = std::getenv("TARVEL_STANDIN_FETCH_FAILS")) {
        quirks_.fetchFails = HRESULT(std::strtoul(code, nullptr, 16));
    }
    if (const char* move = std::getenv("TARVEL_STANDIN_MOVE")) {
        const std::string words = move;
        const size_t first = words.find(':');
        const size_t second = words.find(':', first + 1);
        if (second != std::string::npos) {
            moveAt_ = utf16FromUtf8(words.substr(0, first));
            moveFrom_ = words.substr(first + 1, second - first - 1);
            moveTo_ = words.substr(second + 1);
        }
    }
    if (const char* reason = std::getenv("TARVEL_STANDIN_PAUSED")) {
        catalog_.status = CATALOG_STATUS_PAUSED;
        catalog_.pausedReason = CatalogPausedReason(std::strtol(reason, nullptr, 10));
    }
}

TestSearchService::~TestSearchService() {
    if (!rowsFile_.empty()) {
        if (FILE* file = std::fopen(rowsFile_.c_str(), "w")) {
            std::fprintf(file, "%lld\n", rows_.load());
            std::fclose(file);
        }
    }
}

bool TestSearchService::deliverable(const WString& path) const {
    ++rows_;
    if (!moved_ && endsWithName(path, moveAt_)) {
        moved_ = true;
        std::rename(moveFrom_.c_str(), moveTo_.c_str());
    }
    if (endsWithName(path, unreadableName_)) {
        return false;
    }
    // A column made small on purpose cuts the longer paths, as a provider does.
    return cutsPaths_ || SearchService::deliverable(path);
}

}  // namespace tarvel::testing

namespace tarvel::host {

// The test host's stand-in: the one with the switches.
std::unique_ptr<service::SearchService> makeStandIn(WString root,
                                                    service::SearchService::Unreadable unreadable) {
    return std::make_unique<testing::TestSearchService>(std::move(root), std::move(unreadable));
}

}  // namespace tarvel::host
