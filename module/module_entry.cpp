#include <type_traits>

#include "apartment_scope.h"
#include "description.h"
#include "host_records.h"
#include "search_run.h"

namespace tarvel {

namespace {

constexpr WCHAR kDescription[] = TARVEL_UTF16(TARVEL_MODULE_DESCRIPTION);
static_assert(sizeof(kDescription) / sizeof(WCHAR) < 64);

int32_t answerInfo(ModuleInfoRequest* request) {
    if (request == nullptr || request->kind != 0 || request->text == nullptr) {
        return 0;
    }
    request->value = ModuleInfoValue;
    for (size_t i = 0; i < sizeof(kDescription) / sizeof(WCHAR); ++i) {
        request->text[i] = kDescription[i];
    }
    return 1;
}

int32_t search(HostAppInfo* info, SearchRequest* request) {
    if (request == nullptr || request->query == nullptr || request->query[0] == 0) {
        return 0;
    }
    // Without a callback no line could be delivered; the search is not run at all. The field
    // is read once: the search calls what was checked.
    const HostCallback callback = info != nullptr ? info->callback : nullptr;
    if (callback == nullptr) {
        return 0;
    }
    const ApartmentScope apartment(SearchApartment);
    if (apartment.usable()) {
        SearchRun::run(request, info, callback);
    }
    return 0;
}

int32_t dispatch(HostAppInfo* info, uint32_t command, void* param) {
    switch (command) {
        case CommandInfo:
            return answerInfo(static_cast<ModuleInfoRequest*>(param));
        case CommandSearch:
            return search(info, static_cast<SearchRequest*>(param));
        default:
            return 0;
    }
}

}  // namespace

}  // namespace tarvel

static_assert(std::is_same_v<decltype(&ModuleEntry), tarvel::ModuleEntryFunction>);

extern "C" int32_t ModuleEntry(tarvel::HostAppInfo* info, uint32_t command, void* param) {
    try {
        return tarvel::dispatch(info, command, param);
    } catch (...) {
        return 0;
    }
}
