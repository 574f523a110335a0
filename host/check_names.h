// How the check names what it found: catalog states, scope rules, search outcomes and DBTYPEs in
// words, and names of files as text that is safe to print.
#pragma once

#include <string>

#include "check_facts.h"

namespace tarvel::host {

const char* statusName(CatalogStatus status);

// A scope rule in words, and as its JSON key.
struct RuleNames {
    const char* text;
    const char* key;
};
RuleNames ruleNames(CLUSION_REASON rule);

const char* outcomeName(SearchFact::Outcome outcome);

// A DBTYPE as the platform names it: "DBTYPE_WSTR", "DBTYPE_BYREF|DBTYPE_WSTR".
std::string typeName(DBTYPE type);

// Text for a terminal: control characters as \n, \t, \x1B or \u009B, and bytes that are not
// UTF-8 (a POSIX name's) as \xFF, so that a name can neither split a line of the report nor
// reach the terminal as an escape sequence.
std::string shown(const std::string& text);
std::string shown(const WString& text);

}  // namespace tarvel::host
