// One search request, from the user's query to the last result line, and the teardown of
// everything it created.
#pragma once

#include "dynamic_accessor.h"
#include "host_records.h"
#include "line_buffer.h"
#include "rowset.h"

namespace tarvel {

class SearchRun {
public:
    // Lines go to callback, called with info as the host's record.
    static HRESULT run(SearchRequest* request, HostAppInfo* info, HostCallback callback);

    // The line of the row in the accessor's row buffer.
    static void buildLine(const DynamicAccessor& accessor, LineBuffer& line);

private:
    static HRESULT walkRows(Rowset& rowset, const DynamicAccessor& accessor, HostAppInfo* info,
                            HostCallback callback);
    static void appendColumn(const DynamicAccessor& accessor, DBORDINAL ordinal, LineBuffer& line);
};

}  // namespace tarvel
