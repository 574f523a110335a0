// One result line: 4096 UTF-16 units, terminator included, reused for every row. Pieces are
// appended whole while they fit; a line that would be longer is cut at 4095 units, never
// between the two halves of a surrogate pair, and nothing is appended after a cut.
#pragma once

#include <cstddef>
#include <string>

#include "platform.h"

namespace tarvel {

// NOLINTNEXTLINE(cppcoreguidelines-pro-type-member-init): see units_
class LineBuffer {
public:
    static constexpr size_t kCapacity = 4096;

    void clear() {
        length_ = 0;
        full_ = false;
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

    // The line with its terminator.
    const WCHAR* text() {
        units_[length_] = 0;
        return units_;
    }
    size_t length() const { return length_; }

private:
    // Units are written before they are read; the buffer is not cleared for every search.
    WCHAR units_[kCapacity];
    size_t length_ = 0;
    bool full_ = false;
};

}  // namespace tarvel
