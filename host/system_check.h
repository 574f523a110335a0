// tarvel-host --check: why a search would find nothing on this machine. Probes gather the facts
// (the module, the Windows Search service, the search manager, the index, the folder's place in
// the crawl scope, a search for a file of the folder and the rowset the provider returns for
// it), stopping at the first that makes searching impossible; the verdict is decided from them
// alone; the report gives one line for each finding and the verdict last, in words a user
// understands, or the same as one JSON object.
#pragma once

#include "check_facts.h"
#include "check_verdict.h"

namespace tarvel::host {

struct CheckSubject {
    WString modulePath;
    WString folder;        // absolute
    bool standIn = false;  // the stand-in service over --index, not the machine's own
    bool json = false;
};

// The facts of the subject; the module stays loaded in library.
CheckFacts gatherFacts(const CheckSubject& subject, platform::ModuleLibrary& library);

// Runs on the caller's thread, in its apartment, after the stand-in (if any) is registered.
// Returns kCheckPassed when searching works, kCheckFoundProblem otherwise, also when the report
// could not be written.
int checkSearching(const CheckSubject& subject);

}  // namespace tarvel::host
