// The check's report as one JSON object. Every text goes through the JSON library, which writes
// what is not UTF-8 as U+FFFD, so that the object always parses.
#include <cmath>
#include <nlohmann/json.hpp>

#include "check_names.h"
#include "check_report.h"
#include "com_text.h"

namespace tarvel::host {

namespace {

using Json = nlohmann::ordered_json;

// A name of the platform's as UTF-8: a lone surrogate, or a POSIX name's byte that is no UTF-8,
// is U+FFFD.
std::string text(const WString& value) {
    return utf8FromUtf16(value);
}

std::string result(HRESULT hr) {
    return service::hresultText(hr);
}

template <class Fact, class Make>
Json optional(const std::optional<Fact>& fact, Make make) {
    return fact ? make(*fact) : Json(nullptr);
}

Json moduleJson(const ModuleFact& module) {
    return {{"path", text(module.path)},
            {"loaded", module.loaded},
            {"error", module.loadError},
            {"exportsModuleEntry", module.exportsEntry},
            {"version", module.version}};
}

Json serviceJson(const platform::ServiceStatus& service) {
    return {{"name", "WSearch"},
            {"queried", service.queried},
            {"installed", service.installed},
            {"running", service.running},
            {"disabled", service.disabled},
            {"state", service.state},
            {"startType", service.startType},
            {"reason", service.reason}};
}

Json managerJson(const ManagerFact& manager) {
    return {{"created", SUCCEEDED(manager.created)},
            {"result", result(manager.created)},
            {"indexerVersion", text(manager.indexerVersion)}};
}

Json catalogJson(const CatalogFact& catalog) {
    const auto toIndex = [](const CatalogFact::Waiting& waiting) {
        return Json{{"changed", waiting.changed},
                    {"notified", waiting.notified},
                    {"urgent", waiting.urgent}};
    };
    return {{"name", text(kSystemIndex)},
            {"opened", SUCCEEDED(catalog.opened)},
            {"result", result(FAILED(catalog.opened) ? catalog.opened : catalog.statusRead)},
            {"status", SUCCEEDED(catalog.statusRead) ? statusName(catalog.status) : "unknown"},
            {"statusCode", catalog.status},
            {"pausedReason", catalog.pausedReason},
            {"items", catalog.items ? Json(*catalog.items) : Json(nullptr)},
            {"toIndex", optional(catalog.waiting, toIndex)}};
}

Json folderJson(const FolderFact& folder) {
    return {{"path", text(folder.path)},
            {"readable", folder.readable},
            {"readError", folder.readError},
            {"scopeResult", result(folder.scopeAsked)},
            {"indexed", SUCCEEDED(folder.scopeAsked) && folder.included},
            {"rule", ruleNames(folder.rule).key}};
}

Json rowsetJson(const RowsetFact& rowset) {
    Json columns = Json::array();
    for (const ColumnFact& column : rowset.columns) {
        columns.push_back({{"name", text(column.name)},
                           {"reportedType", column.reportedType},
                           {"reportedTypeName", typeName(column.reportedType)},
                           {"reportedSize", column.reportedSize},
                           {"flags", column.flags},
                           {"boundType", column.boundType},
                           {"boundTypeName", typeName(column.boundType)},
                           {"boundSize", column.boundSize}});
    }
    return {{"result", result(rowset.described)},
            {"failedStep", rowset.failedStep},
            {"columns", std::move(columns)},
            {"rows", rowset.rows},
            {"walkResult", result(rowset.walked)}};
}

// Milliseconds to the microsecond, as the report has always given them.
double rounded(double ms) {
    return double(std::llround(ms * 1000)) / 1000;
}

Json searchJson(const SearchFact& search) {
    Json sample = Json::array();
    for (const WString& line : search.sample) {
        sample.push_back(text(line));
    }
    return {{"outcome", outcomeName(search.outcome)},
            {"file", text(search.file)},
            {"query", text(search.query)},
            {"result", result(search.rejected)},
            {"lines", search.lines},
            {"firstLineMs", rounded(search.firstLineMs)},
            {"allMs", rounded(search.allMs)},
            {"cutAt", search.cutAt},
            {"sampleLines", std::move(sample)},
            {"rowset", optional(search.rowset, rowsetJson)}};
}

std::string dump(const Json& report) {
    return report.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
}

Json verdictJson(bool works, const std::string& text, const std::vector<std::string>& notes,
                 int exitStatus) {
    return {{"works", works}, {"text", text}, {"notes", notes}, {"exitStatus", exitStatus}};
}

}  // namespace

std::string reportJson(const CheckFacts& facts, const Verdict& verdict) {
    return dump({{"standIn", facts.standIn},
                 {"module", moduleJson(facts.module)},
                 {"service", optional(facts.service, serviceJson)},
                 {"searchManager", optional(facts.manager, managerJson)},
                 {"catalog", optional(facts.catalog, catalogJson)},
                 {"folder", optional(facts.folder, folderJson)},
                 {"search", optional(facts.search, searchJson)},
                 {"verdict",
                  verdictJson(verdict.works, verdict.text, verdict.notes, verdict.exitStatus())}});
}

std::string reportJsonOfRefusal(bool standIn, const std::string& message, int exitStatus) {
    return dump({{"standIn", standIn},
                 {"module", nullptr},
                 {"service", nullptr},
                 {"searchManager", nullptr},
                 {"catalog", nullptr},
                 {"folder", nullptr},
                 {"search", nullptr},
                 {"verdict", verdictJson(false, message, {}, exitStatus)}});
}

}  // namespace tarvel::host
