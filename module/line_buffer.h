// One result line, reused for every row of a search: 4096 UTF-16 units held in place,
// terminator included, and once a search, when the first longer line comes, the room for the
// longest line Windows hands over: 32,767 units and the terminator, from the module's
// allocator. A line that would be longer still, or that needs that room when it cannot be had,
// is not whole: its row is delivered as an error, never cut into another item's path.
#pragma once

#include <cstddef>
#include <string>

#include "module_allocator.h"
#include "platform.h"

namespace tarvel {

// NOLINTNEXTLINE(cppcoreguidelines-pro-type-member-init): see inlineUnits
class LineBuffer {
public:
    static constexpr size_t kInline = 4096;
    static constexpr size_t kCapacity = 32768;

    // NOLINTNEXTLINE(cppcoreguidelines-pro-type-member-init): see inlineUnits
    LineBuffer() = default;
    LineBuffer(const LineBuffer&) = delete;
    LineBuffer& operator=(const LineBuffer&) = delete;

    void clear() {
        length = 0;
        isWhole = true;
    }
    // Appends the text up to its terminator, or up to maxUnits units, whichever comes first.
    // The text is read in blocks: all of its first maxUnits units must be readable.
    void append(const WCHAR* text, size_t maxUnits);
    // Appends a terminated text.
    void append(const WCHAR* text) {
        if (text != nullptr) {
            append(text, std::char_traits<WCHAR>::length(text));
        }
    }
    // "(Unhandled database type %d)" with the type as an unsigned number.
    void appendUnhandledType(DBTYPE type);

    // Whether every piece fit: only then is text() the line.
    bool whole() const { return isWhole; }
    // The line with its terminator.
    const WCHAR* text() {
        units[length] = 0;
        return units;
    }

private:
    // Takes the room for the longest line; false when the line has it already, or it cannot be
    // had (then no later line tries again).
    bool grow();

    // Units are written before they are read; the buffer is not cleared for every search.
    WCHAR inlineUnits[kInline];
    ModuleBlock<WCHAR> grown;
    WCHAR* units = inlineUnits;
    size_t capacity = kInline;
    size_t length = 0;
    bool isWhole = true;
    bool growthFailed = false;
};

}  // namespace tarvel
