#include "system_check.h"

#include "check_probes.h"
#include "check_report.h"

namespace tarvel::host {

CheckFacts gatherFacts(const CheckSubject& subject, platform::ModuleLibrary& library) {
    CheckFacts facts;
    facts.standIn = subject.standIn;
    facts.module = probeModule(subject.modulePath, library);
    if (!facts.module.loaded || !facts.module.exportsEntry) {
        return facts;
    }
    if (!subject.standIn && platform::hasRealSearchService()) {
        facts.service = platform::serviceStatus(TARVEL_UTF16("WSearch"));
        if (facts.service->queried && (!facts.service->installed || facts.service->disabled)) {
            return facts;
        }
    }
    ComPtr<ISearchManager> manager;
    facts.manager = probeManager(manager);
    if (FAILED(facts.manager->created)) {
        return facts;
    }
    ComPtr<ISearchCatalogManager> catalog;
    facts.catalog = probeCatalog(manager.get(), catalog);
    if (FAILED(facts.catalog->opened)) {
        return facts;
    }
    std::vector<WString> files;
    facts.folder = probeFolder(subject.folder, catalog.get(), files);
    if (!facts.folder->readable) {
        return facts;
    }
    const auto entry = reinterpret_cast<ModuleEntryFunction>(library.symbol("ModuleEntry"));
    facts.search = probeSearch(entry, subject.folder, std::move(files));
    return facts;
}

int checkSearching(const CheckSubject& subject) {
    platform::ModuleLibrary library;
    const CheckFacts facts = gatherFacts(subject, library);
    const Verdict verdict = decide(facts);
    platform::WriteFailure failure;
    if (!platform::writeOut(subject.json ? reportJson(facts, verdict) : reportText(facts, verdict),
                            &failure)) {
        // A check whose findings were not all written tells nothing: it says so, unless no
        // one reads.
        if (!failure.readerGone) {
            platform::writeError("tarvel-host: cannot write the check: " + failure.reason + "\n");
        }
        return kCheckFoundProblem;
    }
    return verdict.exitStatus();
}

}  // namespace tarvel::host
