#pragma once

#include <string>
#include <vector>

#include "fake_provider.h"
#include "instrumentation.h"
#include "scripted_table.h"
#include "table.h"

namespace tarvel::testing {

using service::bytesCell;
using service::Cell;
using service::chapterCell;
using service::Instrumentation;
using service::integerCell;
using service::nullTextCell;
using service::objectCell;
using service::Quirks;
using service::realCell;
using service::textsCell;
using Table = service::ScriptedTable;
using service::TableColumn;
using service::WString;
using Journal = std::vector<std::string>;

inline service::TableColumn column(DBORDINAL ordinal, DBTYPE type, DBLENGTH size) {
    service::TableColumn column;
    column.ordinal = ordinal;
    column.type = type;
    column.size = size;
    return column;
}

}  // namespace tarvel::testing
