#include "check_report.h"

#include <cstdio>

#include "com_text.h"

namespace tarvel::host {

namespace {

std::string out(const WString& text) {
    return platform::textForOutput(text);
}

std::string number(long long value) {
    return std::to_string(value);
}

std::string milliseconds(double ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f ms", ms);
    return text;
}

const char* statusName(CatalogStatus status) {
    switch (status) {
        case CATALOG_STATUS_IDLE:
            return "idle";
        case CATALOG_STATUS_PAUSED:
            return "paused";
        case CATALOG_STATUS_RECOVERING:
            return "recovering";
        case CATALOG_STATUS_FULL_CRAWL:
            return "indexing everything (full crawl)";
        case CATALOG_STATUS_INCREMENTAL_CRAWL:
            return "indexing changes (incremental crawl)";
        case CATALOG_STATUS_PROCESSING_NOTIFICATIONS:
            return "processing notifications of changes";
        case CATALOG_STATUS_SHUTTING_DOWN:
            return "shutting down";
        default:
            return "in an unknown state";
    }
}

// How the report names a scope rule: in words, and as the JSON key.
struct RuleNames {
    const char* text;
    const char* key;
};

RuleNames ruleNames(CLUSION_REASON rule) {
    switch (rule) {
        case CLUSIONREASON_DEFAULT:
            return {"by a default rule", "default"};
        case CLUSIONREASON_USER:
            return {"by a rule a user set", "user"};
        case CLUSIONREASON_GROUPPOLICY:
            return {"by group policy", "group policy"};
        default:
            return {"no rule covers it", "none"};
    }
}

const char* outcomeName(SearchFact::Outcome outcome) {
    switch (outcome) {
        case SearchFact::Outcome::NoFile:
            return "no file";
        case SearchFact::Outcome::NoSearchableName:
            return "no searchable name";
        case SearchFact::Outcome::QueryRejected:
            return "query rejected";
        case SearchFact::Outcome::CameBack:
            return "came back";
        case SearchFact::Outcome::CameBackCut:
            return "came back cut";
        case SearchFact::Outcome::OnlyMessages:
            return "only messages";
        default:
            return "did not come back";
    }
}

// ---- text

std::string line(const std::string& label, const std::string& text) {
    return label + ": " + text + "\n";
}

std::string moduleText(const ModuleFact& module) {
    const std::string path = out(module.path);
    if (!module.loaded) {
        return line("module", "cannot load " + path + ": " + module.loadError);
    }
    if (!module.exportsEntry) {
        return line("module", path + " does not export ModuleEntry");
    }
    return line("module", path + ", " +
                              (module.version.empty() ? std::string("no version resource")
                                                      : "version " + module.version) +
                              ", exports ModuleEntry");
}

std::string serviceText(const platform::ServiceStatus& service) {
    const std::string name = "Windows Search (WSearch)";
    if (!service.queried) {
        return line("service", name + " cannot be asked about: " + service.reason);
    }
    if (!service.installed) {
        return line("service", name + " is not installed");
    }
    return line("service", name + " is " + service.state + ", start type " + service.startType);
}

std::string managerText(const ManagerFact& manager) {
    if (FAILED(manager.created)) {
        return line("search manager", "cannot be created: " + describeResult(manager.created));
    }
    return line("search manager",
                SUCCEEDED(manager.versioned) && !manager.indexerVersion.empty()
                    ? "created, indexer version " + out(manager.indexerVersion)
                    : "created, indexer version unknown " + describeResult(manager.versioned));
}

std::string catalogText(const CatalogFact& catalog) {
    const std::string label = "catalog " + out(kSystemIndex);
    if (FAILED(catalog.opened)) {
        return line(label, "cannot be opened: " + describeResult(catalog.opened));
    }
    std::string text = SUCCEEDED(catalog.statusRead)
                           ? statusName(catalog.status)
                           : "its state unknown " + describeResult(catalog.statusRead);
    if (SUCCEEDED(catalog.statusRead) && catalog.status == CATALOG_STATUS_PAUSED) {
        text += " (" + pausedReasonText(catalog.pausedReason) + ")";
    }
    if (catalog.items) {
        text += ", " + number(*catalog.items) + (*catalog.items == 1 ? " item" : " items");
    }
    if (catalog.waiting) {
        const CatalogFact::Waiting& waiting = *catalog.waiting;
        text += ", " + number(waiting.total()) + " to index (" + number(waiting.changed) +
                " changed, " + number(waiting.notified) + " notified, " + number(waiting.urgent) +
                " urgent)";
    }
    return line(label, text);
}

std::string folderText(const FolderFact& folder) {
    const std::string path = out(folder.path);
    if (FAILED(folder.scopeAsked)) {
        return line("folder", "cannot tell whether " + path +
                                  " is indexed: " + describeResult(folder.scopeAsked));
    }
    if (folder.included) {
        return line("folder",
                    path + " is in the indexed locations, " + ruleNames(folder.rule).text);
    }
    return line("folder",
                path + " is not in the indexed locations (" + ruleNames(folder.rule).text + ")");
}

std::string typeText(DBTYPE type) {
    return typeName(type) + " (" + number(type) + ")";
}

std::string rowsetText(const RowsetFact& rowset) {
    if (FAILED(rowset.described)) {
        return line("rowset", "cannot be described: " + rowset.failedStep + " failed, " +
                                  describeResult(rowset.described));
    }
    std::string text;
    for (size_t i = 0; i < rowset.columns.size(); ++i) {
        const ColumnFact& column = rowset.columns[i];
        char flags[16];
        std::snprintf(flags, sizeof flags, "0x%X", unsigned(column.flags));
        text += line("column " + number((long long)i + 1),
                     (column.name.empty() ? std::string("(no name)") : out(column.name)) +
                         ", reported as " + typeText(column.reportedType) + " of size " +
                         number((long long)column.reportedSize) + " with flags " + flags +
                         ", bound as " + typeText(column.boundType) + " of size " +
                         number((long long)column.boundSize));
    }
    return text;
}

std::string searchText(const SearchFact& search, const FolderFact& folder) {
    const std::string query = out(search.query);
    const std::string count =
        number((long long)search.lines) + (search.lines == 1 ? " line" : " lines");
    const std::string timing = ", the first after " + milliseconds(search.firstLineMs) +
                               ", all after " + milliseconds(search.allMs);
    std::string text;
    switch (search.outcome) {
        case SearchFact::Outcome::NoFile:
            return line("search", "skipped: " + out(folder.path) + " holds no file to search for");
        case SearchFact::Outcome::NoSearchableName:
            return line("search", "skipped: every file in " + out(folder.path) +
                                      " has a \" in its name, which a quoted phrase cannot hold");
        case SearchFact::Outcome::QueryRejected:
            return line("search",
                        query + " cannot be searched: " + describeResult(search.rejected));
        case SearchFact::Outcome::CameBack:
            text = line("search", query + " came back: " + count + timing);
            break;
        case SearchFact::Outcome::CameBackCut:
            text =
                line("search", query + " came back cut after " + number((long long)search.cutAt) +
                                   " units: " + count + timing);
            break;
        case SearchFact::Outcome::OnlyMessages:
            text = line("search", query + " came back only as the module's messages: " + count +
                                      " in " + milliseconds(search.allMs));
            break;
        case SearchFact::Outcome::NotBack:
            text = line("search", query + " did not come back: " + count + " in " +
                                      milliseconds(search.allMs));
            break;
    }
    for (const WString& sample : search.sample) {
        text += line("line", out(sample));
    }
    if (search.rowset) {
        text += rowsetText(*search.rowset);
    }
    return text;
}

// ---- JSON

class Json {
public:
    std::string text;

    void open(const char* name = nullptr) {
        key(name);
        text += '{';
        first_ = true;
    }
    void close() {
        text += '}';
        first_ = false;
    }
    void openArray(const char* name) {
        key(name);
        text += '[';
        first_ = true;
    }
    void closeArray() {
        text += ']';
        first_ = false;
    }
    void null(const char* name) {
        key(name);
        text += "null";
    }
    void boolean(const char* name, bool value) {
        key(name);
        text += value ? "true" : "false";
    }
    void integer(const char* name, long long value) {
        key(name);
        text += std::to_string(value);
    }
    void real(const char* name, double value) {
        char digits[32];
        std::snprintf(digits, sizeof digits, "%.3f", value);
        key(name);
        text += digits;
    }
    void string(const char* name, const std::string& value) {
        key(name);
        quote(value);
    }
    // Text of the platform's: a name that is no UTF-8 on POSIX shows U+FFFD where its odd
    // bytes are, so that the object stays valid JSON.
    void string(const char* name, const WString& value) { string(name, utf8FromUtf16(value)); }
    void result(const char* name, HRESULT hr) { string(name, service::hresultText(hr)); }

private:
    void key(const char* name) {
        if (!first_) {
            text += ',';
        }
        first_ = false;
        if (name != nullptr) {
            quote(name);
            text += ':';
        }
    }
    void quote(const std::string& value) {
        text += '"';
        for (const unsigned char c : value) {
            if (c == '"' || c == '\\') {
                text += '\\';
                text += char(c);
            } else if (c < 0x20) {
                char escape[8];
                std::snprintf(escape, sizeof escape, "\\u%04X", c);
                text += escape;
            } else {
                text += char(c);
            }
        }
        text += '"';
    }

    bool first_ = true;
};

void moduleJson(Json& json, const ModuleFact& module) {
    json.open("module");
    json.string("path", module.path);
    json.boolean("loaded", module.loaded);
    json.string("error", module.loadError);
    json.boolean("exportsModuleEntry", module.exportsEntry);
    json.string("version", module.version);
    json.close();
}

void serviceJson(Json& json, const std::optional<platform::ServiceStatus>& service) {
    if (!service) {
        json.null("service");
        return;
    }
    json.open("service");
    json.string("name", std::string("WSearch"));
    json.boolean("queried", service->queried);
    json.boolean("installed", service->installed);
    json.boolean("running", service->running);
    json.boolean("disabled", service->disabled);
    json.string("state", service->state);
    json.string("startType", service->startType);
    json.string("reason", service->reason);
    json.close();
}

void managerJson(Json& json, const std::optional<ManagerFact>& manager) {
    if (!manager) {
        json.null("searchManager");
        return;
    }
    json.open("searchManager");
    json.boolean("created", SUCCEEDED(manager->created));
    json.result("result", manager->created);
    json.string("indexerVersion", manager->indexerVersion);
    json.close();
}

void catalogJson(Json& json, const std::optional<CatalogFact>& catalog) {
    if (!catalog) {
        json.null("catalog");
        return;
    }
    json.open("catalog");
    json.string("name", WString(kSystemIndex));
    json.boolean("opened", SUCCEEDED(catalog->opened));
    json.result("result", FAILED(catalog->opened) ? catalog->opened : catalog->statusRead);
    json.string("status", std::string(SUCCEEDED(catalog->statusRead) ? statusName(catalog->status)
                                                                     : "unknown"));
    json.integer("statusCode", catalog->status);
    json.integer("pausedReason", catalog->pausedReason);
    if (catalog->items) {
        json.integer("items", *catalog->items);
    } else {
        json.null("items");
    }
    if (catalog->waiting) {
        json.open("toIndex");
        json.integer("changed", catalog->waiting->changed);
        json.integer("notified", catalog->waiting->notified);
        json.integer("urgent", catalog->waiting->urgent);
        json.close();
    } else {
        json.null("toIndex");
    }
    json.close();
}

void folderJson(Json& json, const std::optional<FolderFact>& folder) {
    if (!folder) {
        json.null("folder");
        return;
    }
    json.open("folder");
    json.string("path", folder->path);
    json.boolean("readable", folder->readable);
    json.string("readError", folder->readError);
    json.result("scopeResult", folder->scopeAsked);
    json.boolean("indexed", SUCCEEDED(folder->scopeAsked) && folder->included);
    json.string("rule", std::string(ruleNames(folder->rule).key));
    json.close();
}

void rowsetJson(Json& json, const std::optional<RowsetFact>& rowset) {
    if (!rowset) {
        json.null("rowset");
        return;
    }
    json.open("rowset");
    json.result("result", rowset->described);
    json.string("failedStep", rowset->failedStep);
    json.openArray("columns");
    for (const ColumnFact& column : rowset->columns) {
        json.open();
        json.string("name", column.name);
        json.integer("reportedType", column.reportedType);
        json.string("reportedTypeName", typeName(column.reportedType));
        json.integer("reportedSize", (long long)column.reportedSize);
        json.integer("flags", column.flags);
        json.integer("boundType", column.boundType);
        json.string("boundTypeName", typeName(column.boundType));
        json.integer("boundSize", (long long)column.boundSize);
        json.close();
    }
    json.closeArray();
    json.close();
}

void searchJson(Json& json, const std::optional<SearchFact>& search) {
    if (!search) {
        json.null("search");
        return;
    }
    json.open("search");
    json.string("outcome", std::string(outcomeName(search->outcome)));
    json.string("file", search->file);
    json.string("query", search->query);
    json.result("result", search->rejected);
    json.integer("lines", (long long)search->lines);
    json.real("firstLineMs", search->firstLineMs);
    json.real("allMs", search->allMs);
    json.integer("cutAt", (long long)search->cutAt);
    json.openArray("sampleLines");
    for (const WString& sample : search->sample) {
        json.string(nullptr, sample);
    }
    json.closeArray();
    rowsetJson(json, search->rowset);
    json.close();
}

}  // namespace

std::string typeName(DBTYPE type) {
    static const struct {
        DBTYPE type;
        const char* name;
    } kNames[] = {
        {DBTYPE_EMPTY, "DBTYPE_EMPTY"},
        {DBTYPE_NULL, "DBTYPE_NULL"},
        {DBTYPE_I2, "DBTYPE_I2"},
        {DBTYPE_I4, "DBTYPE_I4"},
        {DBTYPE_R4, "DBTYPE_R4"},
        {DBTYPE_R8, "DBTYPE_R8"},
        {DBTYPE_CY, "DBTYPE_CY"},
        {DBTYPE_DATE, "DBTYPE_DATE"},
        {DBTYPE_BSTR, "DBTYPE_BSTR"},
        {DBTYPE_IDISPATCH, "DBTYPE_IDISPATCH"},
        {DBTYPE_ERROR, "DBTYPE_ERROR"},
        {DBTYPE_BOOL, "DBTYPE_BOOL"},
        {DBTYPE_VARIANT, "DBTYPE_VARIANT"},
        {DBTYPE_IUNKNOWN, "DBTYPE_IUNKNOWN"},
        {DBTYPE_DECIMAL, "DBTYPE_DECIMAL"},
        {DBTYPE_I1, "DBTYPE_I1"},
        {DBTYPE_UI1, "DBTYPE_UI1"},
        {DBTYPE_UI2, "DBTYPE_UI2"},
        {DBTYPE_UI4, "DBTYPE_UI4"},
        {DBTYPE_I8, "DBTYPE_I8"},
        {DBTYPE_UI8, "DBTYPE_UI8"},
        {DBTYPE_FILETIME, "DBTYPE_FILETIME"},
        {DBTYPE_GUID, "DBTYPE_GUID"},
        {DBTYPE_BYTES, "DBTYPE_BYTES"},
        {DBTYPE_STR, "DBTYPE_STR"},
        {DBTYPE_WSTR, "DBTYPE_WSTR"},
        {DBTYPE_NUMERIC, "DBTYPE_NUMERIC"},
        {DBTYPE_DBDATE, "DBTYPE_DBDATE"},
        {DBTYPE_DBTIME, "DBTYPE_DBTIME"},
        {DBTYPE_DBTIMESTAMP, "DBTYPE_DBTIMESTAMP"},
        {DBTYPE_HCHAPTER, "DBTYPE_HCHAPTER"},
        {DBTYPE_PROPVARIANT, "DBTYPE_PROPVARIANT"},
    };
    std::string name;
    for (const auto& [bit, modifier] :
         {std::pair<DBTYPE, const char*>{DBTYPE_BYREF, "DBTYPE_BYREF"},
          {DBTYPE_ARRAY, "DBTYPE_ARRAY"},
          {DBTYPE_VECTOR, "DBTYPE_VECTOR"}}) {
        if ((type & bit) != 0) {
            name += std::string(modifier) + "|";
        }
    }
    const DBTYPE base = DBTYPE(type & ~(DBTYPE_BYREF | DBTYPE_ARRAY | DBTYPE_VECTOR));
    const char* baseName = "DBTYPE_?";
    for (const auto& known : kNames) {
        if (known.type == base) {
            baseName = known.name;
        }
    }
    return name + baseName;
}

std::string reportText(const CheckFacts& facts, const Verdict& verdict) {
    std::string text = moduleText(facts.module);
    if (facts.service) {
        text += serviceText(*facts.service);
    }
    if (facts.manager) {
        text += managerText(*facts.manager);
    }
    if (facts.catalog) {
        text += catalogText(*facts.catalog);
    }
    if (facts.folder) {
        text += folderText(*facts.folder);
        if (!facts.folder->readable) {
            text += line("search", "skipped: " + out(facts.folder->path) +
                                       " cannot be read: " + facts.folder->readError);
        }
    }
    if (facts.search && facts.folder) {
        text += searchText(*facts.search, *facts.folder);
    }
    return text + line("verdict", verdict.text);
}

std::string reportJson(const CheckFacts& facts, const Verdict& verdict) {
    Json json;
    json.open();
    json.boolean("standIn", facts.standIn);
    moduleJson(json, facts.module);
    serviceJson(json, facts.service);
    managerJson(json, facts.manager);
    catalogJson(json, facts.catalog);
    folderJson(json, facts.folder);
    searchJson(json, facts.search);
    json.open("verdict");
    json.boolean("works", verdict.works);
    json.string("text", verdict.text);
    json.integer("exitStatus", verdict.exitStatus());
    json.close();
    json.close();
    return json.text + "\n";
}

}  // namespace tarvel::host
