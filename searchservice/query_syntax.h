// The user query syntax the stand-in query helper understands, and the Windows Search style
// SQL it generates:
//   word        the file name contains the word (letters A-Z compare without case)
//   "a phrase"  the file name contains the phrase; * and ? inside are plain characters
//   wild*card?  a word with * (any run of characters) or ? (one character) matches the whole
//               file name
//   ext:txt     the file name extension is .txt (a leading dot is optional)
// Terms are separated by blanks and must all match. The generated SQL is
//   SELECT [TOP n] "<column>", ... FROM "SystemIndex" WHERE <condition> AND ...
// with "System.FileName" LIKE '<pattern>' and "System.FileExtension" = '<.ext>' conditions.
#pragma once

#include <vector>

#include "search_manager.h"

namespace tarvel::service {

// The query cannot be read: an unterminated or empty phrase, an empty or wildcard ext:, a
// quote inside a word.
constexpr HRESULT QUERY_E_INVALIDQUERY = static_cast<HRESULT>(0x80041601);
// The query has no terms at all.
constexpr HRESULT QUERY_E_ALLNOISE = static_cast<HRESULT>(0x80041605);

struct QueryTerm {
    enum class Kind { Word, Phrase, Pattern, Extension };
    Kind kind;
    WString text;
};

HRESULT parseUserQuery(const WString& query, std::vector<QueryTerm>& terms);

// The helper's SQL for a user query under its settings: TOP n for a positive maximum, no limit
// for 0 or a negative one; the selected columns as set (System.ItemPathDisplay when none were).
HRESULT generateSql(const WString& query, const QueryHelperSettings& settings, WString& sql);

}  // namespace tarvel::service
