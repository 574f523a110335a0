#include "search_check.h"

#include <cstdio>

#include "common/com_ptr.h"
#include "query_translator.h"

namespace tarvel::host {

namespace {

std::string code(HRESULT hr) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", unsigned(hr));
    return text;
}

// What the codes that a user meets most say.
const char* meaning(HRESULT hr) {
    switch (static_cast<uint32_t>(hr)) {
        case 0x80070422:
            return "the service is disabled";
        case 0x80040154:
            return "no search service is registered";
        case 0x80070005:
            return "access is denied";
        case 0x80041601:
            return "the query helper cannot read the query (QUERY_E_INVALIDQUERY)";
        case 0x80041605:
            return "the query has no terms to search for (QUERY_E_ALLNOISE)";
        case 0x80041606:
            return "the query is too complex (QUERY_E_TOOCOMPLEX)";
        default:
            return nullptr;
    }
}

}  // namespace

std::string describeResult(HRESULT hr) {
    const char* why = meaning(hr);
    return (why != nullptr ? std::string(why) + " (" : std::string("(")) + code(hr) + ")";
}

std::string SearchCheck::message() const {
    return std::string(outcome == Outcome::QueryRejected ? "the query cannot be searched"
                                                         : "Windows Search is not available") +
           (meaning(hr) != nullptr ? ": " : " ") + describeResult(hr);
}

SearchCheck checkSearch(const WString& query, int32_t maxResults) {
    SearchCheck check;
    ComPtr<ISearchQueryHelper> helper;
    check.hr = QueryTranslator::lookupQueryHelper(helper.put());
    if (FAILED(check.hr)) {
        check.outcome = SearchCheck::Outcome::NoService;
        return check;
    }
    TaskMemPtr<WCHAR> sql;
    check.hr = QueryTranslator::generateSql(helper.get(), query.c_str(), sql.put(), maxResults);
    check.outcome =
        FAILED(check.hr) ? SearchCheck::Outcome::QueryRejected : SearchCheck::Outcome::Ready;
    return check;
}

}  // namespace tarvel::host
