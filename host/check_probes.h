// The probes of tarvel-host --check: each asks one thing of the machine and returns what it
// found, deciding nothing. They run on the caller's thread, in its apartment, after the stand-in
// (if any) is registered.
#pragma once

#include "check_facts.h"
#include "common/com_ptr.h"
#include "host_records.h"

namespace tarvel::host {

// The module file: whether it loads and exports ModuleEntry, and its version. The library
// stays loaded in library for the test search.
ModuleFact probeModule(const WString& path, platform::ModuleLibrary& library);

// The search manager, created as the module creates it, and the indexer's version.
ManagerFact probeManager(ComPtr<ISearchManager>& manager);

// The catalog of the system index: its state, its items and those still to index.
CatalogFact probeCatalog(ISearchManager* manager, ComPtr<ISearchCatalogManager>& catalog);

// The folder: whether its files can be listed (their names into files), and whether it lies
// in the crawl scope.
FolderFact probeFolder(const WString& path, ISearchCatalogManager* catalog,
                       std::vector<WString>& files);

// A search through the module for the first file of files in name order that a quoted phrase
// can name, and what the provider returns for it.
SearchFact probeSearch(ModuleEntryFunction entry, const WString& folder,
                       std::vector<WString> files);

// The rowset the provider returns for the SQL, opened and bound by the module's own consumer.
RowsetFact describeRowset(const WString& sql);

// Takes the next line of a search for search.path into account: whether one was the path, held
// only its start, or all were the module's message of a type it does not print; up to three
// lines are kept while none was the path.
void classifyLine(const WString& line, SearchFact& search);

}  // namespace tarvel::host
