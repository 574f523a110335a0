#include "system_check.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "common/com_ptr.h"
#include "host_platform.h"
#include "host_records.h"
#include "search_check.h"

namespace tarvel::host {

namespace {

using Clock = std::chrono::steady_clock;

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

std::string out(const WString& text) {
    return platform::textForOutput(text);
}

std::string number(long long value) {
    return std::to_string(value);
}

std::string milliseconds(Clock::duration span) {
    const double ms = std::chrono::duration<double, std::milli>(span).count();
    char text[32];
    std::snprintf(text, sizeof text, "%.1f ms", ms);
    return text;
}

const char* statusName(CatalogStatus status) {
    switch (status) {
        case CATALOG_STATUS_IDLE:
            return "idle";
        case CATALOG_STATUS_PAUSED:
            return "paused";
        case CATALOG_STATUS_RECOVERING:
            return "recovering";
        case CATALOG_STATUS_FULL_CRAWL:
            return "indexing everything (full crawl)";
        case CATALOG_STATUS_INCREMENTAL_CRAWL:
            return "indexing changes (incremental crawl)";
        case CATALOG_STATUS_PROCESSING_NOTIFICATIONS:
            return "processing notifications of changes";
        case CATALOG_STATUS_SHUTTING_DOWN:
            return "shutting down";
        default:
            return "in an unknown state";
    }
}

// Why indexing is paused, and when it goes on.
const char* pausedReason(CatalogPausedReason reason) {
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

const char* clusionName(CLUSION_REASON reason) {
    switch (reason) {
        case CLUSIONREASON_DEFAULT:
            return "by a default rule";
        case CLUSIONREASON_USER:
            return "by a rule a user set";
        case CLUSIONREASON_GROUPPOLICY:
            return "by group policy";
        default:
            return "no rule covers it";
    }
}

// The host record of the check's search: it counts the lines, notes when the first came and
// whether the file's path was among them.
struct CheckHost {
    HostAppInfo info{&CheckHost::receive};
    WString expected;
    Clock::time_point start;
    Clock::duration firstLine{};
    size_t lines = 0;
    bool found = false;

    static int32_t receive(HostAppInfo* info, uint32_t request, void* data) {
        auto* host = reinterpret_cast<CheckHost*>(info);
        if (request != HostOutputLine || data == nullptr) {
            return 0;
        }
        if (host->lines++ == 0) {
            host->firstLine = Clock::now() - host->start;
        }
        host->found =
            host->found || platform::samePath(static_cast<const WCHAR*>(data), host->expected);
        return 0;
    }
};

class SystemCheck {
public:
    explicit SystemCheck(const CheckSubject& subject) : subject_(subject) {}

    int run() {
        run_();
        print("verdict", problem_.empty() ? "searching works" + verdictNote_ : problem_);
        if (!unwritten_.empty()) {
            // A check whose findings were not all written tells nothing: it says so.
            platform::writeError("tarvel-host: cannot write the check: " + unwritten_ + "\n");
            return kCheckFoundProblem;
        }
        return problem_.empty() ? kCheckPassed : kCheckFoundProblem;
    }

private:
    void print(const char* label, const std::string& text) {
        std::string reason;
        if (!platform::writeOut(std::string(label) + ": " + text + "\n", &reason) &&
            unwritten_.empty()) {
            unwritten_ = reason;
        }
    }
    // The first problem found decides the verdict.
    void problem(const std::string& verdict) {
        if (problem_.empty()) {
            problem_ = verdict;
        }
    }

    void run_() {
        if (!checkModule() || !checkService() || !checkSearchManager() || !checkCatalog()) {
            return;
        }
        checkFolder();
        checkSearch();
    }

    bool checkModule() {
        const std::string path = out(subject_.modulePath);
        std::string reason;
        if (!module_.load(subject_.modulePath, &reason)) {
            print("module", "cannot load " + path + ": " + reason);
            problem("the module cannot be loaded (" + reason +
                    "): copy tarvel-search.dll from the package again");
            return false;
        }
        entry_ = reinterpret_cast<ModuleEntryFunction>(module_.symbol("ModuleEntry"));
        if (entry_ == nullptr) {
            print("module", path + " does not export ModuleEntry");
            problem(
                "the module file is not a Tarvel search module: copy tarvel-search.dll from "
                "the package again");
            return false;
        }
        const std::string version = platform::fileVersion(subject_.modulePath);
        print("module",
              path + ", " +
                  (version.empty() ? std::string("no version resource") : "version " + version) +
                  ", exports ModuleEntry");
        return true;
    }

    // The Windows Search service, where the machine's own service is searched.
    bool checkService() {
        if (subject_.standIn || !platform::hasRealSearchService()) {
            return true;
        }
        const platform::ServiceStatus service = platform::serviceStatus(TARVEL_UTF16("WSearch"));
        const std::string name = "Windows Search (WSearch)";
        if (!service.queried) {
            print("service", name + " cannot be asked about: " + service.reason);
            return true;
        }
        if (!service.installed) {
            print("service", name + " is not installed");
            problem(kRemedyNotInstalled);
            return false;
        }
        print("service", name + " is " + service.state + ", start type " + service.startType);
        if (service.disabled) {
            problem(kRemedyDisabled);
            return false;
        }
        if (!service.running) {
            problem(kRemedyStopped);
        }
        return true;
    }

    bool checkSearchManager() {
        const HRESULT hr = createInstance(CLSID_CSearchManager, CLSCTX_LOCAL_SERVER, manager_);
        if (FAILED(hr)) {
            print("search manager", "cannot be created: " + describeResult(hr));
            if (hr == static_cast<HRESULT>(0x80070422)) {
                problem(kRemedyDisabled);
            } else if (hr == REGDB_E_CLASSNOTREG) {
                problem(kRemedyNotInstalled);
            } else {
                problem("Windows Search cannot be reached (" + describeResult(hr) +
                        "): check in services.msc that \"Windows Search\" runs, then check "
                        "again");
            }
            return false;
        }
        TaskMemPtr<WCHAR> version;
        const HRESULT versioned = manager_->GetIndexerVersionStr(version.put());
        print("search manager",
              SUCCEEDED(versioned) && version
                  ? "created, indexer version " + out(version.get())
                  : "created, indexer version unknown " + describeResult(versioned));
        return true;
    }

    bool checkCatalog() {
        const std::string name = "catalog " + out(kSystemIndex);
        HRESULT hr = manager_->GetCatalog(kSystemIndex, catalog_.put());
        if (FAILED(hr)) {
            print(name.c_str(), "cannot be opened: " + describeResult(hr));
            problem("the index cannot be opened (" + describeResult(hr) +
                    "): rebuild it in Indexing Options > Advanced > Rebuild");
            return false;
        }
        CatalogStatus status = CATALOG_STATUS_IDLE;
        CatalogPausedReason reason = CATALOG_PAUSED_REASON_NONE;
        hr = catalog_->GetCatalogStatus(&status, &reason);
        std::string text =
            SUCCEEDED(hr) ? statusName(status) : "its state unknown " + describeResult(hr);
        if (SUCCEEDED(hr) && status == CATALOG_STATUS_PAUSED) {
            text += std::string(" (") + pausedReason(reason) + ")";
        }
        LONG items = 0;
        if (SUCCEEDED(catalog_->NumberOfItems(&items))) {
            text += ", " + number(items) + " items";
        }
        LONG incremental = 0;
        LONG notifications = 0;
        LONG highPriority = 0;
        if (SUCCEEDED(
                catalog_->NumberOfItemsToIndex(&incremental, &notifications, &highPriority))) {
            waiting_ = (long long)incremental + notifications + highPriority;
            text += ", " + number(waiting_) + " to index (" + number(incremental) + " changed, " +
                    number(notifications) + " notified, " + number(highPriority) + " urgent)";
        }
        print(name.c_str(), text);
        if (FAILED(hr)) {
            return true;
        }
        building_ = status == CATALOG_STATUS_FULL_CRAWL || status == CATALOG_STATUS_RECOVERING ||
                    status == CATALOG_STATUS_INCREMENTAL_CRAWL || waiting_ > 0;
        if (status == CATALOG_STATUS_PAUSED) {
            problem(std::string("indexing is paused, so what changed since is not found yet: ") +
                    pausedReason(reason));
        } else if (status == CATALOG_STATUS_RECOVERING) {
            problem(
                "the index is being recovered and may miss items until it is done: wait, "
                "Indexing Options shows when indexing is complete");
        } else if (status == CATALOG_STATUS_SHUTTING_DOWN) {
            problem(
                "the indexer is shutting down: start the service again in a command prompt "
                "run as administrator with: sc.exe start WSearch");
        }
        return true;
    }

    void checkFolder() {
        const std::string folder = out(subject_.folder);
        ComPtr<ISearchCrawlScopeManager> scope;
        HRESULT hr = catalog_->GetCrawlScopeManager(scope.put());
        BOOL included = FALSE;
        CLUSION_REASON reason = CLUSIONREASON_UNKNOWNSCOPE;
        if (SUCCEEDED(hr)) {
            const WString url = platform::folderUrl(subject_.folder);
            hr = scope->IncludedInCrawlScopeEx(url.c_str(), &included, &reason);
        }
        if (FAILED(hr)) {
            print("folder", "cannot tell whether " + folder + " is indexed: " + describeResult(hr));
            return;
        }
        if (included) {
            print("folder", folder + " is in the indexed locations, " + clusionName(reason));
            return;
        }
        outside_ = true;
        print("folder", folder + " is not in the indexed locations (" + clusionName(reason) + ")");
        problem(folder + " is not in the indexed locations, so nothing in it is found: " +
                (subject_.standIn
                     ? std::string("the stand-in service indexes only its --index folder and "
                                   "what lies below it; give --index a folder that holds it")
                     : std::string("add it in Indexing Options > Modify (on Windows 11 also "
                                   "under Settings > Privacy & security > Searching Windows), "
                                   "then wait until indexing is complete")));
    }

    // A search for the first file of the folder, by name, through the module.
    void checkSearch() {
        std::vector<WString> names = platform::filesIn(subject_.folder);
        names.erase(
            std::remove_if(names.begin(), names.end(),
                           [](const WString& name) { return name.find(u'"') != WString::npos; }),
            names.end());
        if (names.empty()) {
            print("search", "skipped: " + out(subject_.folder) + " holds no file to search for");
            verdictNote_ = " (no file in the folder to try it with)";
            return;
        }
        const WString name = *std::min_element(names.begin(), names.end());
        const WString query = WCHAR(u'"') + name + WCHAR(u'"');
        CheckHost host;
        host.expected = platform::childPath(subject_.folder, name);
        SearchRequest request{query.c_str(), 0, -1};
        host.start = Clock::now();
        entry_(&host.info, CommandSearch, &request);
        const Clock::duration all = Clock::now() - host.start;
        const std::string lines =
            number((long long)host.lines) + (host.lines == 1 ? " line" : " lines");
        if (host.found) {
            print("search", out(query) + " came back: " + lines + ", the first after " +
                                milliseconds(host.firstLine) + ", all after " + milliseconds(all));
            return;
        }
        print("search", out(query) + " did not come back: " + lines + " in " + milliseconds(all));
        if (outside_) {
            return;  // the folder's place already says why
        }
        if (building_) {
            problem("the index is still being built (" + number(waiting_) +
                    " items to index), and " + out(name) +
                    " is not in it yet: wait until Indexing Options says indexing is complete, "
                    "then search again");
        } else {
            problem(out(name) + " in " + out(subject_.folder) +
                    " is not found through the index: check in Indexing Options that the "
                    "folder is indexed, or rebuild the index (Advanced > Rebuild)");
        }
    }

    const CheckSubject& subject_;
    platform::ModuleLibrary module_;
    ModuleEntryFunction entry_ = nullptr;
    ComPtr<ISearchManager> manager_;
    ComPtr<ISearchCatalogManager> catalog_;
    long long waiting_ = 0;
    bool building_ = false;
    bool outside_ = false;
    std::string problem_;
    std::string verdictNote_;
    std::string unwritten_;  // why a finding could not be written, if one could not
};

}  // namespace

int checkSearching(const CheckSubject& subject) {
    return SystemCheck(subject).run();
}

}  // namespace tarvel::host
