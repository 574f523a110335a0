// A table that a TableRowset serves: column descriptions as a provider reports them, and rows
// found one at a time as the consumer fetches them, whose cells the rowset converts to the type
// each binding asks for.
#pragma once

#include <any>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "common/utf.h"
#include "platform.h"

namespace tarvel::service {

using tarvel::WString;

struct TableColumn {
    WString name;
    DBORDINAL ordinal = 1;
    DBTYPE type = DBTYPE_WSTR;
    DBLENGTH size = 0;
    DBCOLUMNFLAGS flags = 0;
    BYTE precision = 0;
    BYTE scale = 0;
};

struct Cell {
    enum class Kind {
        Null,   // DBSTATUS_S_ISNULL
        Text,   // DBTYPE_WSTR and DBTYPE_BSTR
        Other,  // a value of a kind the stand-in serves no table of, which a rowset derived
                // from TableRowset converts itself
    };

    Kind kind = Kind::Null;
    // A status other than DBSTATUS_S_OK replaces the value: the rowset reports only it.
    DBSTATUS status = DBSTATUS_S_OK;
    WString text;
    std::any other;

    static Cell null() { return Cell{}; }
    static Cell ofText(WString value) {
        Cell cell;
        cell.kind = Kind::Text;
        cell.text = std::move(value);
        return cell;
    }
    static Cell ofStatus(DBSTATUS status) {
        Cell cell;
        cell.kind = Kind::Text;
        cell.status = status;
        return cell;
    }
};

using Row = std::vector<Cell>;

// Rows found one at a time as they are fetched.
class RowSource {
public:
    virtual ~RowSource() = default;
    // The next row into row; false when there is none left.
    virtual bool next(Row& row) = 0;
};

struct Table {
    std::vector<TableColumn> columns;
    // A new source of the table's rows, from the first; a rowset that restarts makes a new one.
    // Without it the table has no rows.
    std::function<std::unique_ptr<RowSource>()> rows;
    // Boolean rowset properties of DBPROPSET_ROWSET that IRowsetInfo reports; others are not
    // supported.
    std::map<DBPROPID, bool> properties;
};

}  // namespace tarvel::service
