// A table whose rows a test writes out, served as the stand-in serves a folder: one row at a
// time, as the consumer fetches.
#pragma once

#include <map>
#include <memory>
#include <vector>

#include "table.h"

namespace tarvel::service {

struct ScriptedTable {
    std::vector<TableColumn> columns;
    std::vector<Row> rows;
    std::map<DBPROPID, bool> properties;
};

// The table as a provider serves it; every rowset over it reads the rows from the first.
std::shared_ptr<const Table> serve(ScriptedTable scripted);

}  // namespace tarvel::service
