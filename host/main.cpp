// tarvel-host: loads the module from a file and speaks to it exactly as the file manager does,
// through ModuleEntry, its records and its callback.
#include <cstdint>

#include "host_options.h"
#include "host_platform.h"
#include "host_records.h"
#include "search_service.h"

namespace tarvel::host {

namespace {

// The records are the file manager's, declared once for both sides of the boundary.
using ModuleEntryFunction = int32_t (*)(HostAppInfo* info, uint32_t command, void* param);

int32_t printLine(HostAppInfo*, uint32_t request, void* data) {
    if (request != HostOutputLine || data == nullptr) {
        return 0;
    }
    const auto* line = static_cast<const WCHAR*>(data);
    size_t length = 0;
    while (line[length] != 0) {
        ++length;
    }
    platform::writeOut(utf8FromUtf16(line, length) + "\n");
    return 0;
}

int fail(const std::string& message) {
    platform::writeError("tarvel-host: " + message + "\n");
    return 1;
}

int run(const HostOptions& options) {
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) {
        return fail("cannot enter a COM apartment");
    }
    int status = 0;
    {
        // The service is registered on this thread before the module is loaded; the module
        // is then called on the same thread.
        std::unique_ptr<service::SearchService> standIn;
        if (!options.index.empty()) {
            const WString folder = platform::absoluteFolder(options.index);
            if (folder.empty()) {
                CoUninitialize();
                return fail("no such folder: " + utf8FromUtf16(options.index));
            }
            standIn = std::make_unique<service::SearchService>(folder);
            const HRESULT hr = standIn->start();
            if (FAILED(hr)) {
                CoUninitialize();
                return fail("cannot register the stand-in search service: " +
                            service::hresultText(hr));
            }
        }
        const WString path =
            options.module.empty() ? platform::defaultModulePath() : options.module;
        platform::ModuleLibrary module;
        std::string reason;
        if (!module.load(path, &reason)) {
            status = fail("cannot load the module " + utf8FromUtf16(path) + ": " + reason);
        } else if (auto entry = reinterpret_cast<ModuleEntryFunction>(module.symbol("ModuleEntry"));
                   entry == nullptr) {
            status = fail("the module " + utf8FromUtf16(path) + " has no ModuleEntry");
        } else {
            HostAppInfo info{printLine};
            if (options.info) {
                WCHAR text[256] = {};
                ModuleInfoRequest request{0, 0, text};
                if (entry(&info, CommandInfo, &request) == 1) {
                    platform::writeOut(utf8FromUtf16(text, std::char_traits<WCHAR>::length(text)) +
                                       "\n");
                } else {
                    status = fail("the module declined the info request");
                }
            } else {
                SearchRequest request{options.query.c_str(), 0, options.maxResults};
                entry(&info, CommandSearch, &request);
            }
        }
    }
    CoUninitialize();
    return status;
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
        return 2;
    }
    if (options.help) {
        platform::writeOut(host::kUsage);
        return 0;
    }
    return host::run(options);
}
