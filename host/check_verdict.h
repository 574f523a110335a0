// The verdict of tarvel-host --check, decided from its facts alone: whether searching works,
// and in plain words what is wrong and what to do. A test search that came back decides that
// searching works, whatever else was read: what would otherwise be a problem is a note. Else
// the first problem in the order a search meets them decides.
#pragma once

#include <string>
#include <vector>

#include "check_facts.h"

namespace tarvel::host {

constexpr int kCheckPassed = 0;
constexpr int kCheckFoundProblem = 1;

// What Windows Search answers when the index cannot serve rows in time (about 30 s).
constexpr HRESULT kQueryTimedOut = static_cast<HRESULT>(0x80041607);

struct Verdict {
    bool works = true;
    std::string text;  // "searching works", or the problem with its remedy
    // Findings that would be problems had the test search not come back, each with its remedy.
    std::vector<std::string> notes;

    int exitStatus() const { return works ? kCheckPassed : kCheckFoundProblem; }
};

Verdict decide(const CheckFacts& facts);

// An HRESULT as a user reads it: "the service is disabled (0x80070422)", or "(0x80004005)".
std::string describeResult(HRESULT hr);
// What the codes that a user meets most say; null for others.
const char* meaningOf(HRESULT hr);
// Why indexing is paused, and when it goes on.
std::string pausedReasonText(CatalogPausedReason reason);

}  // namespace tarvel::host
