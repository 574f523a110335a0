// A table that a TableRowset serves: column descriptions as a provider reports them, and rows
// found one at a time as the consumer fetches them, whose cells the rowset converts to whatever
// type each binding asks for.
#pragma once

#include <cstdint>
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
        Null,      // DBSTATUS_S_ISNULL
        Text,      // strings; BSTR and VT_BSTR for BSTR and VARIANT bindings
        NullText,  // a null BSTR, as a BSTR value or inside a VARIANT
        Integer,
        Real,
        Bytes,    // raw bytes: fixed-length values, DBTYPE_BYTES, vector elements
        Chapter,  // an HCHAPTER the consumer must release
        Object,   // an object the consumer must release (a stream over text or bytes)
        Texts,    // a SAFEARRAY of BSTRs
    };

    Kind kind = Kind::Null;
    // A status other than DBSTATUS_S_OK replaces the value: the rowset reports only it.
    DBSTATUS status = DBSTATUS_S_OK;
    WString text;
    int64_t integer = 0;
    double real = 0;
    std::vector<BYTE> bytes;
    HCHAPTER chapter = 0;
    std::vector<WString> texts;

    static Cell null() { return Cell{}; }
    static Cell ofText(WString value);
    static Cell ofNullText();
    static Cell ofInteger(int64_t value);
    static Cell ofReal(double value);
    static Cell ofBytes(std::vector<BYTE> value);
    static Cell ofChapter(HCHAPTER value);
    static Cell ofObject(WString content);
    static Cell ofTexts(std::vector<WString> values);
    static Cell ofStatus(DBSTATUS status);
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
    // Whether CreateAccessor accepts an accessor without bindings.
    bool nullAccessorSupported = true;
    // When false, RestartPosition and GetNextRows refuse while a row is held.
    bool canHoldRows = true;
};

}  // namespace tarvel::service
