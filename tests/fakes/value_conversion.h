// The values tests script beyond the stand-in's text, and converting one into the value a
// binding asks for, as a provider's GetData does: the bytes, the length and the status. What a
// value owns beyond its bytes (task-allocator blocks, streams, chapters, provider-owned storage)
// is obtained through a ValueOwner.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "table_rowset.h"

namespace tarvel::service {

struct Value {
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
    WString text;
    int64_t integer = 0;
    double real = 0;
    std::vector<BYTE> bytes;
    HCHAPTER chapter = 0;
    std::vector<WString> texts;
};

// Table cells that hold scripted values.
Cell scriptedCell(Value value);
Cell nullTextCell();
Cell integerCell(int64_t value);
Cell realCell(double value);
Cell bytesCell(std::vector<BYTE> value);
Cell chapterCell(HCHAPTER value);
Cell objectCell(WString content);
Cell textsCell(std::vector<WString> values);
// The value a cell holds: its scripted value, or its text (or null) in holder.
const Value& valueOf(const Cell& cell, Value& holder);

// What a converted value hands over besides bytes; the rowset that serves it provides this.
class ValueOwner {
public:
    // The task-allocator block allocated last is handed over to the consumer.
    virtual void handedOver(std::string what) = 0;
    // Storage the provider keeps for the row, for by-reference values it owns.
    virtual BYTE* keepForRow(size_t bytes) = 0;
    // A stream over content holding one reference for the consumer.
    virtual IUnknown* newStream(std::vector<BYTE> content) = 0;
    // A chapter handed to the consumer, who releases it.
    virtual void chapterHandedOut(HCHAPTER chapter) = 0;

protected:
    ~ValueOwner() = default;
};

// The bytes a value of a fixed-length type takes, from the platform's own types; 0 for types
// whose length varies.
DBLENGTH fixedSize(DBTYPE type);
// The bytes a provider writes into the value field of the binding.
DBLENGTH valueFieldSize(const DBBINDING& binding);

// The cell as text (strings, and integers in decimal); false for cells of other kinds.
bool textOf(const Value& cell, WString& text);
// The cell as a value of a fixed-length type of size bytes; false when it cannot be one.
bool fixedBytes(const Value& cell, DBTYPE type, DBLENGTH size, std::vector<BYTE>& out);
// Text into a field of maxLength bytes for DBTYPE_STR, cut and terminated as a provider does;
// units beyond ASCII become '?'.
DBSTATUS writeNarrowText(const WString& text, DBLENGTH maxLength, BYTE* field, DBLENGTH* length);

// The cell's value written into value, as the binding's type asks.
DBSTATUS convertValue(const DBBINDING& binding, const DBOBJECT* object, const Value& cell,
                      BYTE* value, DBLENGTH* length, ValueOwner& owner);

}  // namespace tarvel::service
