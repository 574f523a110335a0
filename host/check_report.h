// The report of tarvel-host --check: its facts and verdict as lines a user reads, one for each
// finding and the verdict last, or as one JSON object for a bug report or PowerShell's
// ConvertFrom-Json.
#pragma once

#include <string>

#include "check_facts.h"
#include "check_verdict.h"

namespace tarvel::host {

std::string reportText(const CheckFacts& facts, const Verdict& verdict);
std::string reportJson(const CheckFacts& facts, const Verdict& verdict);

// A DBTYPE as the platform names it: "DBTYPE_WSTR", "DBTYPE_BYREF|DBTYPE_WSTR".
std::string typeName(DBTYPE type);

}  // namespace tarvel::host
