// The SQL the stand-in provider accepts: exactly the statements its query helper generates.
// Anything else is DB_E_ERRORSINCOMMAND.
#pragma once

#include <vector>

#include "com_text.h"

namespace tarvel::service {

struct SqlCondition {
    enum class Kind { NameLike, ExtensionEquals };
    Kind kind;
    WString value;  // the LIKE pattern as written, or the extension with its dot
};

struct SqlQuery {
    long top = -1;  // -1: no limit
    std::vector<WString> columns;
    std::vector<SqlCondition> conditions;
};

HRESULT parseSql(const WString& text, SqlQuery& query);

// LIKE: % any run, _ one character, [c] the character c itself; letters A-Z compare without
// case. False for a malformed pattern.
bool likeMatches(const WString& pattern, const WString& text);
// Whether the name's extension (from its last dot on, dot included; none without a dot) is
// extension, letters A-Z without case.
bool extensionIs(const WString& name, const WString& extension);

}  // namespace tarvel::service
