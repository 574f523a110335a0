// What the host finds out before it hands a query to the module, which tells nothing itself:
// whether the Windows Search manager can be created, and whether its query helper accepts the
// query. The check asks exactly what the module will ask, through the module's own translation.
#pragma once

#include <cstdint>
#include <string>

#include "common/utf.h"
#include "platform.h"

namespace tarvel::host {

struct SearchCheck {
    enum class Outcome {
        Ready,          // the query can be searched
        NoService,      // the search manager, its catalog or its query helper cannot be had
        QueryRejected,  // the query helper does not accept the query
    };
    Outcome outcome = Outcome::Ready;
    HRESULT hr = S_OK;

    // "Windows Search is not available: the service is disabled (0x80070422)" and the like.
    std::string message() const;
};

// Runs in the caller's apartment, on the thread that will call the module.
SearchCheck checkSearch(const WString& query, int32_t maxResults);

}  // namespace tarvel::host
