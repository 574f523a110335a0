// One search request, from the user's query to the last result line.
#pragma once

#include "host_records.h"

namespace tarvel {

class SearchRun {
public:
    static HRESULT run(SearchRequest* request, HostAppInfo* info);
};

}  // namespace tarvel
