#include "line_buffer.h"

namespace tarvel {

namespace {

bool isHighSurrogate(WCHAR unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}

}  // namespace

void LineBuffer::append(const WCHAR* text, size_t maxUnits) {
    if (full_ || text == nullptr) {
        return;
    }
    const size_t room = kCapacity - 1 - length_;
    size_t i = 0;
    for (; i < maxUnits && text[i] != 0; ++i) {
        if (i == room) {
            // The piece does not fit: keep what does, without half a surrogate pair.
            if (i > 0 && isHighSurrogate(units_[length_ + i - 1])) {
                --i;
            }
            length_ += i;
            full_ = true;
            return;
        }
        units_[length_ + i] = text[i];
    }
    length_ += i;
}

void LineBuffer::appendUnhandledType(DBTYPE type) {
    // Short enough for any 16-bit type: 28 units of text and at most 5 digits.
    WCHAR message[64];
    wsprintfW(message, TARVEL_UTF16("(Unhandled database type %d)"), int(type));
    append(message, sizeof message / sizeof message[0]);
}

}  // namespace tarvel
