// tarvel-host: loads the module from a file and speaks to it exactly as the file manager does,
// through ModuleEntry, its records and its callback. The module tells nothing of what went
// wrong; the host finds out what it can and says so: exit 0 when the results were listed
// (possibly none), 1 when it could not search or write, 2 for bad usage or a query the query
// helper rejects.
#include <cstdint>

#include "apartment_scope.h"
#include "check_names.h"
#include "check_report.h"
#include "host_options.h"
#include "host_platform.h"
#include "host_records.h"
#include "result_output.h"
#include "search_check.h"
#include "stand_in.h"
#include "system_check.h"

namespace tarvel::host {

namespace {

constexpr int kExitListed = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

int fail(const std::string& message, int status = kExitFailed) {
    platform::writeError("tarvel-host: " + message + "\n");
    return status;
}

// The host's record as the module sees it, and what the host keeps beside it.
struct Host {
    HostAppInfo info{&Host::printLine};
    // The stand-in service, when there is one: it is registered before the module is loaded and
    // goes after the output, whose failure ends its walks.
    std::unique_ptr<service::SearchService> standIn;
    ResultOutput output{[this](const platform::WriteFailure& failure) { outputFailed(failure); }};
    size_t unreadableFolders = 0;

    // Adds each line to the output as it arrives; after a failed write it prints no more.
    static int32_t printLine(HostAppInfo* info, uint32_t request, void* data) {
        auto* host = reinterpret_cast<Host*>(info);
        if (request == HostOutputLine && data != nullptr) {
            host->output.addLine(static_cast<const WCHAR*>(data));
        }
        return 0;
    }

    // No one will see the rest: the walk ends, and a failure other than a reader that has
    // gone is told.
    void outputFailed(const platform::WriteFailure& failure) {
        if (standIn != nullptr) {
            standIn->stopWalks();
        }
        if (!failure.readerGone) {
            fail("cannot write the results: " + failure.reason);
        }
    }
};

int search(ModuleEntryFunction entry, const HostOptions& options, Host& host) {
    const SearchCheck check = checkSearch(options.query, options.maxResults);
    if (check.outcome != SearchCheck::Outcome::Ready) {
        return fail(check.message(), check.outcome == SearchCheck::Outcome::QueryRejected
                                         ? kExitUsage
                                         : kExitFailed);
    }
    SearchRequest request{options.query.c_str(), 0, options.maxResults};
    entry(&host.info, CommandSearch, &request);
    if (!host.output.finish()) {
        return kExitFailed;
    }
    if (host.unreadableFolders != 0) {
        return fail("some folders could not be read; their items are missing");
    }
    return kExitListed;
}

// What a failed write of something other than results says: nothing when no one reads.
int writeFailed(const std::string& what, const platform::WriteFailure& failure) {
    return failure.readerGone ? kExitFailed : fail("cannot write " + what + ": " + failure.reason);
}

int describe(ModuleEntryFunction entry, Host& host) {
    WCHAR text[256] = {};
    ModuleInfoRequest request{0, 0, text};
    if (entry(&host.info, CommandInfo, &request) != 1) {
        return fail("the module declined the info request");
    }
    platform::WriteFailure failure;
    if (!platform::writeOut(platform::textForOutput(WString(text)) + "\n", &failure)) {
        return writeFailed("the description", failure);
    }
    return kExitListed;
}

// A check that cannot begin says why, and with --json as the verdict of an object without
// findings, so that what reads it always gets one.
int refuse(const HostOptions& options, const std::string& message, int status = kExitFailed) {
    if (options.check && options.json) {
        platform::writeOut(reportJsonOfRefusal(!options.index.empty(), message, status));
    }
    return fail(message, status);
}

int run(const HostOptions& options) {
    WString checked;
    if (options.check) {
        std::string problem;
        checked = platform::absoluteFolder(options.folder, &problem);
        if (checked.empty()) {
            return refuse(options, problem + ": " + shown(options.folder), kExitUsage);
        }
    }
    const ApartmentScope apartment(SearchApartment);
    if (!apartment.usable()) {
        return refuse(options, "cannot enter a COM apartment");
    }
    Host host;
    // The service is registered on this thread before the module is loaded; the module is then
    // called on the same thread. Everything goes in the reverse order as the scope ends.
    if (!options.index.empty() && !options.info) {
        if (service::SearchService::wouldShadowMachineProvider()) {
            return refuse(
                options,
                "--index would hide this machine's Windows Search provider from your account "
                "while tarvel-host runs: leave --index out to search through Windows Search, or "
                "try the stand-in on a machine without Windows Search",
                kExitUsage);
        }
        std::string problem;
        const WString folder = platform::absoluteFolder(options.index, &problem);
        if (folder.empty()) {
            return refuse(options, problem + ": " + shown(options.index));
        }
        // What the check's search meets elsewhere in the index is none of its findings.
        const bool warn = !options.check;
        host.standIn =
            makeStandIn(folder, [&host, warn](const WString& path, const std::string& reason) {
                ++host.unreadableFolders;
                if (warn) {
                    fail("cannot read folder " + shown(path) + ": " + reason);
                }
            });
        const HRESULT hr = host.standIn->start();
        if (FAILED(hr)) {
            return refuse(options, "cannot register the stand-in search service: " +
                                       service::hresultText(hr));
        }
    }
    const WString path = options.module.empty() ? platform::defaultModulePath() : options.module;
    if (options.check) {
        return checkSearching(CheckSubject{path, checked, host.standIn != nullptr, options.json});
    }
    platform::ModuleLibrary module;
    std::string reason;
    if (!module.load(path, &reason)) {
        return fail("cannot load the module " + shown(path) + ": " + shown(reason));
    }
    const auto entry = reinterpret_cast<ModuleEntryFunction>(module.symbol("ModuleEntry"));
    if (entry == nullptr) {
        return fail("the module " + shown(path) + " has no ModuleEntry");
    }
    return options.info ? describe(entry, host) : search(entry, options, host);
}

}  // namespace

}  // namespace tarvel::host

int main(int argc, char** argv) {
    using namespace tarvel;
    const std::vector<WString> arguments = platform::commandLineArguments(argc, argv);
    const WString defaultIndex = platform::hasRealSearchService() ? WString() : utf16FromUtf8(".");
    host::HostOptions options;
    std::string error;
    if (!host::parseHostOptions(arguments, defaultIndex, options, error)) {
        platform::writeError("tarvel-host: " + error + "\nTry 'tarvel-host --help'.\n");
        return host::kExitUsage;
    }
    if (options.help) {
        platform::WriteFailure failure;
        return platform::writeOut(host::kUsage, &failure) ? host::kExitListed
                                                          : host::writeFailed("the help", failure);
    }
    return host::run(options);
}
