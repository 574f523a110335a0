#include "thread_world.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "host_records.h"

namespace tarvel::bench {

namespace {

struct CountingHost {
    HostAppInfo info{&CountingHost::receive};
    size_t lines = 0;

    static int32_t receive(HostAppInfo* info, uint32_t request, void*) {
        if (request == HostOutputLine) {
            ++reinterpret_cast<CountingHost*>(info)->lines;
        }
        return 0;
    }
};

}  // namespace

SharedSearchService::SharedSearchService(size_t items) {
    char folder[] = "/tmp/tarvel-threads-XXXXXX";
    if (mkdtemp(folder) != nullptr) {
        folder_ = folder;
    }
    for (size_t i = 0; i < items; ++i) {
        const bool match = i % 10 == 0;
        const std::string name =
            folder_ + "/item-" + std::to_string(i) + (match ? "-report.txt" : "-notes.txt");
        const int file = open(name.c_str(), O_CREAT | O_WRONLY, 0644);
        if (file >= 0) {
            close(file);
            matches_ += match ? 1 : 0;
        }
    }
    entered_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    service_ = std::make_unique<service::SearchService>(utf16FromUtf8(folder_));
    service_->start();
}

SharedSearchService::~SharedSearchService() {
    service_.reset();
    if (entered_) {
        CoUninitialize();
    }
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
}

SharedSearchService::Thread::Thread(SharedSearchService& shared)
    : entered_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
    shared.service_->registerClasses(registration_);
}

SharedSearchService::Thread::~Thread() {
    registration_.revoke();
    if (entered_) {
        CoUninitialize();
    }
}

size_t SharedSearchService::Thread::search() {
    CountingHost host;
    SearchRequest request{TARVEL_UTF16("report"), 0, -1};
    ModuleEntry(&host.info, CommandSearch, &request);
    return host.lines;
}

}  // namespace tarvel::bench
