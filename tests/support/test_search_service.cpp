#include "test_search_service.h"

#include <cstdio>
#include <cstdlib>

#include "stand_in.h"

namespace tarvel::testing {

TestSearchService::TestSearchService(WString root, service::SearchService::Unreadable unreadable)
    : SearchService(std::move(root), nullptr, std::move(unreadable)) {
    readSwitchesForTesting();
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
    const size_t n = unreadableName_.size();
    if (n != 0 && path.size() > n && path.compare(path.size() - n, n, unreadableName_) == 0) {
        const WCHAR before = path[path.size() - n - 1];
        if (before == u'/' || before == u'\\') {
            return false;
        }
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
