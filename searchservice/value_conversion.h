// Converting a table cell into the value a binding asks for, as a provider's GetData does: the
// bytes, the length and the status. What a value owns beyond its bytes (task-allocator blocks,
// streams, chapters, provider-owned storage) is obtained through a ValueOwner.
#pragma once

#include <string>
#include <vector>

#include "table.h"

namespace tarvel::service {

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
bool textOf(const Cell& cell, WString& text);
// The cell as a value of a fixed-length type of size bytes; false when it cannot be one.
bool fixedBytes(const Cell& cell, DBTYPE type, DBLENGTH size, std::vector<BYTE>& out);
// Text into a field of maxLength bytes, cut and terminated as a provider does; the length is
// the whole text's in bytes, terminator not counted.
DBSTATUS writeWideText(const WString& text, DBLENGTH maxLength, BYTE* field, DBLENGTH* length);
// The same for DBTYPE_STR: units beyond ASCII become '?'.
DBSTATUS writeNarrowText(const WString& text, DBLENGTH maxLength, BYTE* field, DBLENGTH* length);

// The cell's value written into value, as the binding's type asks.
DBSTATUS convertValue(const DBBINDING& binding, const DBOBJECT* object, const Cell& cell,
                      BYTE* value, DBLENGTH* length, ValueOwner& owner);

}  // namespace tarvel::service
