#include "search_run.h"

namespace tarvel {

HRESULT SearchRun::run(SearchRequest*, HostAppInfo*) {
    return S_OK;
}

}  // namespace tarvel
