#include "check_report.h"

#include <cstdio>

#include "check_names.h"
#include "com_text.h"

namespace tarvel::host {

namespace {

std::string number(long long value) {
    return std::to_string(value);
}

std::string milliseconds(double ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f ms", ms);
    return text;
}

std::string line(const std::string& label, const std::string& text) {
    return label + ": " + text + "\n";
}

std::string moduleText(const ModuleFact& module) {
    const std::string path = shown(module.path);
    if (!module.loaded) {
        return line("module", "cannot load " + path + ": " + shown(module.loadError));
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
        return line("service", name + " cannot be asked about: " + shown(service.reason));
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
                    ? "created, indexer version " + shown(manager.indexerVersion)
                    : "created, indexer version unknown " + describeResult(manager.versioned));
}

std::string catalogText(const CatalogFact& catalog) {
    const std::string label = "catalog " + shown(kSystemIndex);
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
    const std::string path = shown(folder.path);
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
                     (column.name.empty() ? std::string("(no name)") : shown(column.name)) +
                         ", reported as " + typeText(column.reportedType) + " of size " +
                         number((long long)column.reportedSize) + " with flags " + flags +
                         ", bound as " + typeText(column.boundType) + " of size " +
                         number((long long)column.boundSize));
    }
    if (FAILED(rowset.walked)) {
        text += line("rows", "fetching them failed after " + number((long long)rowset.rows) +
                                 (rowset.rows == 1 ? " row: " : " rows: ") +
                                 describeResult(rowset.walked));
    }
    return text;
}

std::string searchText(const SearchFact& search, const FolderFact& folder) {
    const std::string query = shown(search.query);
    const std::string count =
        number((long long)search.lines) + (search.lines == 1 ? " line" : " lines");
    const std::string timing = ", the first after " + milliseconds(search.firstLineMs) +
                               ", all after " + milliseconds(search.allMs);
    std::string text;
    switch (search.outcome) {
        case SearchFact::Outcome::NoFile:
            return line("search",
                        "skipped: " + shown(folder.path) + " holds no file to search for");
        case SearchFact::Outcome::NoSearchableName:
            return line("search", "skipped: every file in " + shown(folder.path) +
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
        text += line("line", shown(sample));
    }
    if (search.rowset) {
        text += rowsetText(*search.rowset);
    }
    return text;
}

}  // namespace

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
            text += line("search", "skipped: " + shown(facts.folder->path) +
                                       " cannot be read: " + shown(facts.folder->readError));
        }
    }
    if (facts.search && facts.folder) {
        text += searchText(*facts.search, *facts.folder);
    }
    for (const std::string& note : verdict.notes) {
        text += line("note", note);
    }
    return text + line("verdict", verdict.text);
}

}  // namespace tarvel::host
