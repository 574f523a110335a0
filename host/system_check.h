// tarvel-host --check: why a search would find nothing on this machine. One line for each
// finding, in the order a search meets them (the module, the Windows Search service, the search
// manager, the index, the folder's place in the crawl scope, a search for a file of the
// folder), stopping at the first that makes searching impossible, then the verdict in words a
// user understands, with what to do.
#pragma once

#include "common/utf.h"

namespace tarvel::host {

struct CheckSubject {
    WString modulePath;
    WString folder;        // absolute
    bool standIn = false;  // the stand-in service over --index, not the machine's own
};

constexpr int kCheckPassed = 0;
constexpr int kCheckFoundProblem = 1;

// Runs on the caller's thread, in its apartment, after the stand-in (if any) is registered.
// Returns kCheckPassed when searching works, kCheckFoundProblem otherwise.
int checkSearching(const CheckSubject& subject);

}  // namespace tarvel::host
