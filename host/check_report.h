// The report of tarvel-host --check: its facts and verdict as lines a user reads, one for each
// finding and the verdict last, or as one JSON object for a bug report or PowerShell's
// ConvertFrom-Json.
#pragma once

#include <string>

#include "check_facts.h"
#include "check_names.h"
#include "check_verdict.h"

namespace tarvel::host {

std::string reportText(const CheckFacts& facts, const Verdict& verdict);
std::string reportJson(const CheckFacts& facts, const Verdict& verdict);
// The object of a check that could not begin (a folder that is not there, a stand-in that
// cannot start): every finding null, and the message as its verdict with its exit status.
std::string reportJsonOfRefusal(bool standIn, const std::string& message, int exitStatus);

}  // namespace tarvel::host
