#pragma once

#include "table.h"

namespace tarvel::testing {

inline service::TableColumn column(DBORDINAL ordinal, DBTYPE type, DBLENGTH size) {
    service::TableColumn column;
    column.ordinal = ordinal;
    column.type = type;
    column.size = size;
    return column;
}

}  // namespace tarvel::testing
