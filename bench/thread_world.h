// Searches from several host threads at once over the stand-in service: one service over a
// small generated folder, shared by every thread, each of which registers the service's classes
// in its own apartment (COM finds a class object only from the apartment that registered it).
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "search_service.h"

namespace tarvel::bench {

class SharedSearchService {
public:
    // The folder holds files items; one in ten of their names holds the word "report".
    explicit SharedSearchService(size_t items);
    ~SharedSearchService();
    SharedSearchService(const SharedSearchService&) = delete;
    SharedSearchService& operator=(const SharedSearchService&) = delete;

    // The lines a search for "report" finds.
    size_t expectedLines() const { return matches_; }

    // A host thread's part: its apartment and its registrations, for as long as it lives.
    class Thread {
    public:
        explicit Thread(SharedSearchService& shared);
        ~Thread();
        Thread(const Thread&) = delete;
        Thread& operator=(const Thread&) = delete;
        // One whole search through ModuleEntry; the lines the host got.
        size_t search();

    private:
        service::ClassRegistration registration_;
        bool entered_;
    };

private:
    std::string folder_;
    size_t matches_ = 0;
    bool entered_;
    std::unique_ptr<service::SearchService> service_;
};

}  // namespace tarvel::bench
