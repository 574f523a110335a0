#include "search_check.h"

#include "check_verdict.h"
#include "common/com_ptr.h"
#include "query_translator.h"

namespace tarvel::host {

std::string SearchCheck::message() const {
    return std::string(outcome == Outcome::QueryRejected ? "the query cannot be searched"
                                                         : "Windows Search is not available") +
           (meaningOf(hr) != nullptr ? ": " : " ") + describeResult(hr);
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
