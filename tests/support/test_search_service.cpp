#include "test_search_service.h"

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
        }
    }
    server_ = std::getenv("TARVEL_STANDIN_SERVER") != nullptr;
    if (const char* reason = std::getenv("TARVEL_STANDIN_PAUSED")) {
        catalog_.status = CATALOG_STATUS_PAUSED;
        catalog_.pausedReason = CatalogPausedReason(std::strtol(reason, nullptr, 10));
    }
}

bool TestSearchService::deliverable(const WString& path) const {
    const size_t n = unreadableName_.size();
    if (n == 0 || path.size() <= n || path.compare(path.size() - n, n, unreadableName_) != 0) {
        return true;
    }
    const WCHAR before = path[path.size() - n - 1];
    return before != u'/' && before != u'\\';
}

}  // namespace tarvel::testing

namespace tarvel::host {

// The test host's stand-in: the one with the switches.
std::unique_ptr<service::SearchService> makeStandIn(WString root,
                                                    service::SearchService::Unreadable unreadable) {
    return std::make_unique<testing::TestSearchService>(std::move(root), std::move(unreadable));
}

}  // namespace tarvel::host
