// Has the Windows Search query helper of the system index turn the user's query into SQL.
#pragma once

#include "platform.h"

namespace tarvel {

class QueryTranslator {
public:
    // On success *sql is text from the task allocator that the caller frees with
    // CoTaskMemFree; on failure it is null.
    static HRESULT translate(LPCWSTR query, LPWSTR* sql, LONG maxResults);

    // The two halves of translate, for a caller that tells a search service it cannot reach
    // from a query the helper rejects: the query helper of the system index, and the SQL it
    // generates for the query, limited to maxResults rows, selecting the item's display path.
    static HRESULT lookupQueryHelper(ISearchQueryHelper** helper);
    static HRESULT generateSql(ISearchQueryHelper* helper, LPCWSTR query, LPWSTR* sql,
                               LONG maxResults);
};

}  // namespace tarvel
