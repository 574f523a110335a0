#include "line_buffer.h"

#include <cstring>

#include "common/text_copy.h"

namespace tarvel {

void LineBuffer::append(const WCHAR* text, size_t maxUnits) {
    if (!whole_ || text == nullptr) {
        return;
    }
    for (;;) {
        const size_t room = capacity_ - 1 - length_;
        const size_t copied = platform::copyUntilTerminator(units_ + length_, text,
                                                            maxUnits < room ? maxUnits : room);
        length_ += copied;
        // The piece ended: at its terminator, at its limit, or exactly where the room ends.
        if (copied < room || copied == maxUnits || text[copied] == 0) {
            return;
        }
        if (!grow()) {
            whole_ = false;
            return;
        }
        text += copied;
        maxUnits -= copied;
    }
}

bool LineBuffer::grow() {
    if (capacity_ == kCapacity || growthFailed_) {
        return false;
    }
    if (!grown_.allocate(kCapacity)) {
        growthFailed_ = true;
        return false;
    }
    std::memcpy(grown_.get(), units_, length_ * sizeof(WCHAR));
    units_ = grown_.get();
    capacity_ = kCapacity;
    return true;
}

void LineBuffer::appendUnhandledType(DBTYPE type) {
    // Short enough for any 16-bit type: 28 units of text and at most 5 digits.
    WCHAR message[64] = {};
    wsprintfW(message, TARVEL_UTF16("(Unhandled database type %d)"), int(type));
    append(message, sizeof message / sizeof message[0]);
}

}  // namespace tarvel
