// Has the Windows Search query helper of the system index turn the user's query into SQL.
#pragma once

#include "platform.h"

namespace tarvel {

class QueryTranslator {
public:
    // On success *sql is text from the task allocator that the caller frees with
    // CoTaskMemFree; on failure it is null.
    static HRESULT translate(LPCWSTR query, LPWSTR* sql, LONG maxResults);

private:
    static HRESULT lookupQueryHelper(ISearchQueryHelper** helper);
};

}  // namespace tarvel
