// wsprintfW as user32 has it, for the conversions the module uses: %d with a 32-bit value, and
// %%. Other characters are copied; the output is cut at 1023 units plus the terminator.
#include <cstdarg>

#include "../winuser.h"
#include "runtime_state.h"

namespace {

constexpr int kLimit = 1024;

class Output {
public:
    explicit Output(LPWSTR buffer) : buffer_(buffer) {}
    void put(char16_t unit) {
        if (length_ < kLimit - 1) {
            buffer_[length_++] = unit;
        }
    }
    int finish() {
        buffer_[length_] = 0;
        return length_;
    }

private:
    LPWSTR buffer_;
    int length_ = 0;
};

void putDecimal(Output& out, int value) {
    unsigned magnitude = value < 0 ? 0u - unsigned(value) : unsigned(value);
    char16_t digits[12];
    int length = 0;
    do {
        digits[length++] = char16_t(u'0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0) {
        out.put(u'-');
    }
    while (length > 0) {
        out.put(digits[--length]);
    }
}

}  // namespace

extern "C" TARVEL_RUNTIME_API int wsprintfW(LPWSTR buffer, LPCWSTR format, ...) {
    if (buffer == nullptr || format == nullptr) {
        return 0;
    }
    va_list args;
    va_start(args, format);
    Output out(buffer);
    for (const char16_t* p = format; *p != 0; ++p) {
        if (p[0] == u'%' && p[1] == u'd') {
            putDecimal(out, va_arg(args, int));
            ++p;
        } else if (p[0] == u'%' && p[1] == u'%') {
            out.put(u'%');
            ++p;
        } else {
            out.put(*p);
        }
    }
    va_end(args);
    return out.finish();
}
