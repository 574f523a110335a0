// What tarvel-host --check finds out, gathered into one record before anything is decided or
// printed: the module, the Windows Search service, the search manager, the catalog, the folder
// and its place in the crawl scope, and a test search through the module with a description of
// the rowset the provider returned. A probe that makes searching impossible ends the gathering;
// what comes after it stays unset.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "common/utf.h"
#include "host_platform.h"

namespace tarvel::host {

struct ModuleFact {
    WString path;
    bool loaded = false;
    std::string loadError;  // why it could not be loaded
    bool exportsEntry = false;
    std::string version;  // from the version resource; empty where there is none
};

struct ManagerFact {
    HRESULT created = S_OK;
    HRESULT versioned = S_OK;
    WString indexerVersion;
};

struct CatalogFact {
    HRESULT opened = S_OK;
    HRESULT statusRead = S_OK;
    CatalogStatus status = CATALOG_STATUS_IDLE;
    CatalogPausedReason pausedReason = CATALOG_PAUSED_REASON_NONE;
    std::optional<LONG> items;
    // Items waiting to be indexed: changed, notified of, and urgent.
    struct Waiting {
        LONG changed = 0;
        LONG notified = 0;
        LONG urgent = 0;
        long long total() const { return (long long)changed + notified + urgent; }
    };
    std::optional<Waiting> waiting;
};

struct FolderFact {
    WString path;
    // Whether its files could be listed, and why not.
    bool readable = true;
    std::string readError;
    // The crawl scope's answer: its result, whether the folder is included, and by which rule.
    HRESULT scopeAsked = S_OK;
    bool included = false;
    CLUSION_REASON rule = CLUSIONREASON_UNKNOWNSCOPE;
};

// A column of the rowset the provider returned for the test search: as the provider reported
// it, and as the module's consumer bound it.
struct ColumnFact {
    WString name;
    DBTYPE reportedType = 0;
    DBLENGTH reportedSize = 0;
    DBCOLUMNFLAGS flags = 0;
    DBTYPE boundType = 0;
    DBLENGTH boundSize = 0;
};

struct RowsetFact {
    // The first step of translating, opening, executing and binding that failed, if one did.
    HRESULT described = S_OK;
    std::string failedStep;
    std::vector<ColumnFact> columns;
    // The rows the check's own walk fetched, and the code that ended the walk:
    // DB_S_ENDOFROWSET at the normal end, QUERY_E_TIMEDOUT where the index was too slow.
    size_t rows = 0;
    HRESULT walked = S_OK;
};

struct SearchFact {
    enum class Outcome {
        NoFile,            // the folder holds no file to search for
        NoSearchableName,  // every file's name holds a ", which a quoted phrase cannot
        QueryRejected,     // the query helper would not translate the search
        CameBack,          // the file's path was among the lines
        CameBackCut,       // a line held the start of the file's path, not all of it
        OnlyMessages,      // lines came, every one the module's message of an unprinted type
        NotBack,           // the file's path was not among the lines
    };
    Outcome outcome = Outcome::NoFile;
    WString file;  // its name
    WString path;
    WString query;
    HRESULT rejected = S_OK;
    size_t lines = 0;
    double firstLineMs = 0;
    double allMs = 0;
    // Up to three of the lines, when none was the file's path.
    std::vector<WString> sample;
    // The longest start of the path a line held, when it came back cut.
    size_t cutAt = 0;
    std::optional<RowsetFact> rowset;
};

struct CheckFacts {
    bool standIn = false;  // the stand-in service over --index, not the machine's own
    ModuleFact module;
    // Asked only where the machine's own service is searched.
    std::optional<platform::ServiceStatus> service;
    std::optional<ManagerFact> manager;
    std::optional<CatalogFact> catalog;
    std::optional<FolderFact> folder;
    std::optional<SearchFact> search;
};

}  // namespace tarvel::host
