#include "check_verdict.h"

#include "check_names.h"
#include "com_text.h"

namespace tarvel::host {

namespace {

constexpr HRESULT kServiceDisabled = static_cast<HRESULT>(0x80070422);

const char kRemedyNotInstalled[] =
    "Windows Search is not installed: turn on the Windows feature \"Windows Search\" (on "
    "Windows Server, add the feature \"Windows Search Service\"), then check again";
const char kRemedyDisabled[] =
    "the Windows Search service is disabled: in a command prompt run as administrator, set it to "
    "start by itself with: sc.exe config WSearch start= delayed-auto, start it with: sc.exe "
    "start WSearch, then check again";
const char kRemedyStopped[] =
    "the Windows Search service is not running: start it in a command prompt run as "
    "administrator with: sc.exe start WSearch (and have it start by itself with: sc.exe config "
    "WSearch start= delayed-auto), then check again";
const char kRemedyNotRegistered[] =
    "the Windows Search service is installed, but its search manager is not registered: repair "
    "Windows Search by turning the Windows feature \"Windows Search\" off and on again (or run: "
    "sfc /scannow), then check again";

}  // namespace

std::string pausedReasonText(CatalogPausedReason reason) {
    switch (reason) {
        case CATALOG_PAUSED_REASON_HIGH_IO:
            return "the disks are busy; it goes on when they are not";
        case CATALOG_PAUSED_REASON_HIGH_CPU:
            return "the processor is busy; it goes on when it is not";
        case CATALOG_PAUSED_REASON_HIGH_NTF_RATE:
            return "files change faster than it can follow; it goes on when that eases";
        case CATALOG_PAUSED_REASON_LOW_BATTERY:
            return "the battery is low; it goes on when the computer is plugged in";
        case CATALOG_PAUSED_REASON_LOW_MEMORY:
            return "memory is low; it goes on when programs are closed";
        case CATALOG_PAUSED_REASON_LOW_DISK:
            return "the disk is nearly full; free some space";
        case CATALOG_PAUSED_REASON_DELAYED_RECOVERY:
            return "the index's recovery waits; it goes on by itself";
        case CATALOG_PAUSED_REASON_USER_ACTIVE:
            return "someone is using the computer; it goes on when the computer is idle";
        case CATALOG_PAUSED_REASON_EXTERNAL:
            return "a program or a person paused it; resume it in Indexing Options";
        case CATALOG_PAUSED_REASON_UPGRADING:
            return "Windows is upgrading the index; it goes on by itself";
        default:
            return "for no reason given; resume it in Indexing Options";
    }
}

namespace {

// What one probe found wrong: the problem with its remedy, and what is said of it as a note
// when the test search came back all the same (the problem itself when note is empty).
struct Finding {
    std::string problem;
    std::string note;
};

Finding moduleProblem(const ModuleFact& module) {
    if (!module.loaded) {
        return {"the module cannot be loaded (" + shown(module.loadError) +
                    "): copy tarvel-search.dll from the package again",
                {}};
    }
    if (!module.exportsEntry) {
        return {
            "the module file is not a Tarvel search module: copy tarvel-search.dll from the "
            "package again",
            {}};
    }
    return {};
}

// The service as the service control manager tells it.
Finding serviceProblem(const platform::ServiceStatus& service) {
    if (!service.queried) {
        return {};  // nothing known: the search manager will tell
    }
    if (!service.installed) {
        return {kRemedyNotInstalled, {}};
    }
    if (service.disabled) {
        return {kRemedyDisabled, {}};
    }
    if (service.running) {
        return {};
    }
    return {kRemedyStopped,
            "the service control manager reported the Windows Search service stopped, yet the "
            "search came back (the service starts when a search asks for it): to have it start "
            "by itself, in a command prompt run as administrator run: sc.exe config WSearch "
            "start= delayed-auto"};
}

Finding managerProblem(const CheckFacts& facts) {
    const HRESULT hr = facts.manager->created;
    if (SUCCEEDED(hr)) {
        return {};
    }
    if (hr == kServiceDisabled) {
        return {kRemedyDisabled, {}};
    }
    if (hr == REGDB_E_CLASSNOTREG) {
        const bool installed = facts.service && facts.service->queried && facts.service->installed;
        return {installed ? kRemedyNotRegistered : kRemedyNotInstalled, {}};
    }
    return {"Windows Search cannot be reached (" + describeResult(hr) +
                "): check in services.msc that \"Windows Search\" runs, then check again",
            {}};
}

Finding catalogProblem(const CatalogFact& catalog) {
    if (FAILED(catalog.opened)) {
        return {"the index cannot be opened (" + describeResult(catalog.opened) +
                    "): rebuild it in Indexing Options > Advanced > Rebuild",
                {}};
    }
    if (FAILED(catalog.statusRead)) {
        return {};
    }
    switch (catalog.status) {
        case CATALOG_STATUS_PAUSED:
            return {"indexing is paused, so what changed since is not found yet: " +
                        pausedReasonText(catalog.pausedReason),
                    {}};
        case CATALOG_STATUS_RECOVERING:
            return {
                "the index is being recovered and may miss items until it is done: wait, "
                "Indexing Options shows when indexing is complete",
                {}};
        case CATALOG_STATUS_SHUTTING_DOWN:
            return {
                "the indexer is shutting down: start the service again in a command prompt "
                "run as administrator with: sc.exe start WSearch",
                {}};
        default:
            return {};
    }
}

Finding folderProblem(const FolderFact& folder, bool standIn) {
    const std::string path = shown(folder.path);
    if (!folder.readable) {
        return {path + " cannot be read (" + shown(folder.readError) +
                    "), so neither the index nor this check can see what is in it: give your "
                    "account permission to read it, then check again",
                {}};
    }
    if (FAILED(folder.scopeAsked) || folder.included) {
        return {};
    }
    const std::string remedy =
        standIn ? "the stand-in service indexes only its --index folder and what lies below it; "
                  "give --index a folder that holds it"
                : "add it in Indexing Options > Modify (on Windows 11 also under Settings > "
                  "Privacy & security > Searching Windows), then wait until indexing is complete";
    return {path + " is not in the indexed locations, so nothing in it is found: " + remedy,
            path +
                " is not in the indexed locations as the crawl scope answers, yet its file "
                "came back: to be sure that what changes in it is found, " +
                remedy};
}

// Whether the index is still being built, and how many items wait.
bool stillBuilding(const CheckFacts& facts, long long* waiting) {
    if (!facts.catalog) {
        return false;
    }
    const CatalogFact& catalog = *facts.catalog;
    *waiting = catalog.waiting ? catalog.waiting->total() : 0;
    const bool crawling =
        SUCCEEDED(catalog.statusRead) && (catalog.status == CATALOG_STATUS_FULL_CRAWL ||
                                          catalog.status == CATALOG_STATUS_RECOVERING ||
                                          catalog.status == CATALOG_STATUS_INCREMENTAL_CRAWL);
    return crawling || *waiting > 0;
}

std::string count(size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

// A test search that did not come back, when the provider's rows said why: the index too slow
// to serve them, or failing to.
std::string rowsetProblem(const RowsetFact& rowset, const std::string& name) {
    if (FAILED(rowset.described)) {
        return "the provider fails the search for " + name + ": " + rowset.failedStep +
               " failed (" + describeResult(rowset.described) +
               "): check in services.msc that \"Windows Search\" runs, then check again; if it "
               "goes on failing, rebuild the index (Indexing Options > Advanced > Rebuild)";
    }
    if (rowset.walked == kQueryTimedOut) {
        return "the index is too slow: fetching the rows of the search for " + name +
               " ended after " + count(rowset.rows, "row", "rows") + ": " +
               describeResult(rowset.walked) +
               ", which Windows Search answers when it cannot serve them within about 30 "
               "seconds: wait until the computer is idle and Indexing Options says indexing is "
               "complete, then check again; if it stays slow, rebuild the index (Advanced > "
               "Rebuild)";
    }
    if (FAILED(rowset.walked)) {
        return "the index fails the search for " + name + ": fetching its rows failed after " +
               count(rowset.rows, "row", "rows") + " (" + describeResult(rowset.walked) +
               "): rebuild the index in Indexing Options > Advanced > Rebuild, then check again";
    }
    return std::string();
}

std::string searchProblem(const CheckFacts& facts) {
    const SearchFact& search = *facts.search;
    const std::string name = shown(search.file);
    const std::string folder = shown(facts.folder->path);
    switch (search.outcome) {
        case SearchFact::Outcome::QueryRejected:
            return "the query helper does not accept a search for " + name + " (" +
                   describeResult(search.rejected) +
                   "): send the output of tarvel-host --check --json to the module's makers";
        case SearchFact::Outcome::OnlyMessages:
            return "the search for " + name + " came back only as the module's messages" +
                   (search.sample.empty() ? std::string()
                                          : ", such as " + shown(search.sample.front())) +
                   ": the provider delivers the path in a form the module cannot print (a "
                   "binding problem); send the output of tarvel-host --check --json to the "
                   "module's makers";
        case SearchFact::Outcome::NotBack: {
            if (search.rowset) {
                std::string problem = rowsetProblem(*search.rowset, name);
                if (!problem.empty()) {
                    return problem;
                }
            }
            long long waiting = 0;
            if (stillBuilding(facts, &waiting)) {
                return "the index is still being built (" + std::to_string(waiting) +
                       (waiting == 1 ? " item" : " items") + " to index), and " + name +
                       " is not in it yet: wait until Indexing Options says indexing is "
                       "complete, then search again";
            }
            return name + " in " + folder +
                   " is not found through the index: check in Indexing Options that the folder "
                   "is indexed, or rebuild the index (Advanced > Rebuild)";
        }
        default:
            return std::string();
    }
}

bool cameBack(const CheckFacts& facts) {
    return facts.search && (facts.search->outcome == SearchFact::Outcome::CameBack ||
                            facts.search->outcome == SearchFact::Outcome::CameBackCut);
}

// What the verdict adds when searching works but the test was not all it could be.
std::string note(const CheckFacts& facts) {
    if (!facts.search) {
        return std::string();
    }
    switch (facts.search->outcome) {
        case SearchFact::Outcome::NoFile:
            return " (no file in the folder to try it with)";
        case SearchFact::Outcome::NoSearchableName:
            return " (no file in the folder to try it with: a name that holds \" cannot be "
                   "searched as a quoted phrase)";
        case SearchFact::Outcome::CameBackCut:
            return ", but the path of " + shown(facts.search->file) + " came back cut after " +
                   std::to_string(facts.search->cutAt) +
                   " units: the search service delivers no longer paths whole";
        default:
            return std::string();
    }
}

}  // namespace

const char* meaningOf(HRESULT hr) {
    switch (static_cast<uint32_t>(hr)) {
        case 0x80070422:
            return "the service is disabled";
        case 0x80040154:
            return "no search service is registered";
        case 0x80070005:
            return "access is denied";
        case 0x80041601:
            return "the query helper cannot read the query (QUERY_E_INVALIDQUERY)";
        case 0x80041605:
            return "the query has no terms to search for (QUERY_E_ALLNOISE)";
        case 0x80041606:
            return "the query is too complex (QUERY_E_TOOCOMPLEX)";
        case 0x80080005:
            return "the search manager's program could not be started";
        case 0x800706BA:
            return "the search manager's process is not there";
        case 0x800706BE:
            return "a call to the search manager failed";
        case 0x80041607:
            return "the index did not answer in time (QUERY_E_TIMEDOUT)";
        default:
            return nullptr;
    }
}

std::string describeResult(HRESULT hr) {
    const char* why = meaningOf(hr);
    return (why != nullptr ? std::string(why) + " (" : std::string("(")) +
           service::hresultText(hr) + ")";
}

Verdict decide(const CheckFacts& facts) {
    std::vector<Finding> findings;
    const auto add = [&findings](Finding finding) {
        if (!finding.problem.empty()) {
            findings.push_back(std::move(finding));
        }
    };
    add(moduleProblem(facts.module));
    if (facts.service) {
        add(serviceProblem(*facts.service));
    }
    if (facts.manager) {
        add(managerProblem(facts));
    }
    if (facts.catalog) {
        add(catalogProblem(*facts.catalog));
    }
    if (facts.folder) {
        add(folderProblem(*facts.folder, facts.standIn));
    }
    // The search through the module is the evidence: what came back was served.
    if (cameBack(facts)) {
        Verdict verdict{true, "searching works" + note(facts), {}};
        for (Finding& finding : findings) {
            verdict.notes.push_back(finding.note.empty() ? std::move(finding.problem)
                                                         : std::move(finding.note));
        }
        return verdict;
    }
    if (!findings.empty()) {
        return Verdict{false, std::move(findings.front().problem), {}};
    }
    if (facts.search && facts.folder) {
        std::string problem = searchProblem(facts);
        if (!problem.empty()) {
            return Verdict{false, std::move(problem), {}};
        }
    }
    return Verdict{true, "searching works" + note(facts), {}};
}

}  // namespace tarvel::host
