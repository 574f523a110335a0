#include "line_buffer.h"

#include "common/text_copy.h"

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
    WCHAR* out = units_ + length_;
    size_t copied = platform::copyUntilTerminator(out, text, maxUnits < room ? maxUnits : room);
    if (copied == room && copied < maxUnits && text[copied] != 0) {
        // The piece does not fit: keep what does, without half a surrogate pair.
        if (copied > 0 && isHighSurrogate(out[copied - 1])) {
            --copied;
        }
        full_ = true;
    }
    length_ += copied;
}

void LineBuffer::appendUnhandledType(DBTYPE type) {
    // Short enough for any 16-bit type: 28 units of text and at most 5 digits.
    WCHAR message[64] = {};
    wsprintfW(message, TARVEL_UTF16("(Unhandled database type %d)"), int(type));
    append(message, sizeof message / sizeof message[0]);
}

}  // namespace tarvel
