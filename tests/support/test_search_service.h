// The stand-in service as test hosts have it: switches read from the environment when it is
// made, which the service that ships does not know.
//   TARVEL_STANDIN_UNREADABLE   names items (by file name) whose path the provider cannot
//                               deliver: their rows carry DBSTATUS_E_UNAVAILABLE
//   TARVEL_STANDIN_PATH_UNITS   the reported size of the path column (1 to 32767): longer
//                               paths come cut, and a column above the module's 8000 units is
//                               bound as a stream, which the module does not print
//   TARVEL_STANDIN_PATH_TYPE    "bstr": the path column is a BSTR, which holds a path of any
//                               length
//   TARVEL_STANDIN_ROWS_FILE    a file that gets the number of rows the searches made, as the
//                               service ends
//   TARVEL_STANDIN_PAUSED       the catalog reports itself paused, for the CatalogPausedReason
//                               given as a number
//   TARVEL_STANDIN_SERVER       (any value) the search manager is the one registered as a local
//                               server, which COM starts in a process of its own
//   TARVEL_STANDIN_FETCH_FAILS  an HRESULT ("0x80041607") that every GetNextRows answers, as a
//                               slow or failing index does
//   TARVEL_STANDIN_MOVE         NAME:FROM:TO: when the row of a file named NAME is made, FROM is
//                               renamed TO, as another program may do while a search walks
#pragma once

#include <atomic>
#include <string>

#include "fake_provider.h"
#include "search_service.h"

namespace tarvel::testing {

class TestSearchService final : public service::SearchService {
public:
    TestSearchService(WString root, service::SearchService::Unreadable unreadable);
    ~TestSearchService() override;

protected:
    DBTYPE pathColumnType() const override { return pathType_; }
    DBLENGTH pathColumnUnits() const override { return pathUnits_; }
    bool deliverable(const WString& path) const override;
    service::CatalogState catalogState() const override { return catalog_; }
    bool servesSearchManager() const override { return !server_; }

private:
    // Reads the switches from the environment.
    void readSwitchesForTesting();

    WString unreadableName_;
    service::CatalogState catalog_;
    DBLENGTH pathUnits_ = service::kPathColumnSize;
    bool cutsPaths_ = false;
    DBTYPE pathType_ = DBTYPE_WSTR;
    bool server_ = false;
    service::Instrumentation instrumentation_;
    service::Quirks quirks_;
    WString moveAt_;
    std::string moveFrom_;
    std::string moveTo_;
    mutable bool moved_ = false;
    std::string rowsFile_;
    mutable std::atomic<long long> rows_{0};
};

}  // namespace tarvel::testing
