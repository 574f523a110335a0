// tarvel-host: loads the module from a file and speaks to it exactly as the file manager does,
// through ModuleEntry, its records and its callback. The module tells nothing of what went
// wrong; the host finds out what it can and says so: exit 0 when the results were listed
// (possibly none), 1 when it could not search or write, 2 for bad usage or a query the query
// helper rejects.
#include <cstdint>

#include "apartment_scope.h"
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
    ResultOutput output{[this](const platform::WriteFailure& failure) { outputFailed(failure); }};
    // The stand-in whose walks a failed write ends, when there is one.
    service::SearchService* standIn = nullptr;
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

int run(const HostOptions& options) {
    WString checked;
    if (options.check) {
        std::string problem;
        checked = platform::absoluteFolder(options.folder, &problem);
        if (checked.empty()) {
            return fail(problem + ": " + platform::textForOutput(options.folder), kExitUsage);
        }
    }
    const ApartmentScope apartment(SearchApartment);
    if (!apartment.usable()) {
        return fail("cannot enter a COM apartment");
    }
    Host host;
    // The service is registered on this thread before the module is loaded; the module is then
    // called on the same thread. Everything goes in the reverse order as the scope ends.
    std::unique_ptr<service::SearchService> standIn;
    if (!options.index.empty() && !options.info) {
        if (service::SearchService::wouldShadowMachineProvider()) {
            return fail(
                "--index would hide this machine's Windows Search provider from your account "
                "while tarvel-host runs: leave --index out to search through Windows Search, or "
                "try the stand-in on a machine without Windows Search",
                kExitUsage);
        }
        std::string problem;
        const WString folder = platform::absoluteFolder(options.index, &problem);
        if (folder.empty()) {
            return fail(problem + ": " + platform::textForOutput(options.index));
        }
        standIn = makeStandIn(folder, [&host](const WString& path, const std::string& reason) {
            ++host.unreadableFolders;
            fail("cannot read folder " + platform::textForOutput(path) + ": " + reason);
        });
        host.standIn = standIn.get();
        const HRESULT hr = standIn->start();
        if (FAILED(hr)) {
            return fail("cannot register the stand-in search service: " + service::hresultText(hr));
        }
    }
    const WString path = options.module.empty() ? platform::defaultModulePath() : options.module;
    if (options.check) {
        return checkSearching(CheckSubject{path, checked, standIn != nullptr, options.json});
    }
    platform::ModuleLibrary module;
    std::string reason;
    if (!module.load(path, &reason)) {
        return fail("cannot load the module " + platform::textForOutput(path) + ": " + reason);
    }
    const auto entry = reinterpret_cast<ModuleEntryFunction>(module.symbol("ModuleEntry"));
    if (entry == nullptr) {
        return fail("the module " + platform::textForOutput(path) + " has no ModuleEntry");
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
