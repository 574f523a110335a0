#include "line_buffer.h"

#include <cstring>

#include "common/text_copy.h"

namespace tarvel {

void LineBuffer::append(const WCHAR* text, size_t maxUnits) {
    if (!isWhole || text == nullptr) {
        return;
    }
    for (;;) {
        const size_t room = capacity - 1 - length;
        const size_t copied =
            platform::copyUntilTerminator(units + length, text, maxUnits < room ? maxUnits : room);
        length += copied;
        // The piece ended: at its terminator, at its limit, or exactly where the room ends.
        if (copied < room || copied == maxUnits || text[copied] == 0) {
            return;
        }
        if (!grow()) {
            isWhole = false;
            return;
        }
        text += copied;
        maxUnits -= copied;
    }
}

bool LineBuffer::grow() {
    if (capacity == kCapacity || growthFailed) {
        return false;
    }
    if (!grown.allocate(kCapacity)) {
        growthFailed = true;
        return false;
    }
    std::memcpy(grown.get(), units, length * sizeof(WCHAR));
    units = grown.get();
    capacity = kCapacity;
    return true;
}

void LineBuffer::appendUnhandledType(DBTYPE type) {
    // Short enough for any 16-bit type: 28 units of text and at most 5 digits.
    WCHAR message[64] = {};
    wsprintfW(message, TARVEL_UTF16("(Unhandled database type %d)"), int(type));
    append(message, sizeof message / sizeof message[0]);
}

}  // namespace tarvel
