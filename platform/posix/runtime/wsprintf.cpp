// wsprintfW as user32 has it: %s takes a UTF-16 string, the integer conversions take 32-bit
// values (64-bit with I64), and the output is cut at 1023 units plus the terminator.
#include <cstdarg>

#include "../winuser.h"
#include "runtime_state.h"

namespace {

constexpr int kLimit = 1024;

class Output {
public:
    explicit Output(LPWSTR buffer) : buffer_(buffer) {}
    bool put(char16_t unit) {
        if (length_ >= kLimit - 1) {
            return false;
        }
        buffer_[length_++] = unit;
        return true;
    }
    int finish() {
        buffer_[length_] = 0;
        return length_;
    }

private:
    LPWSTR buffer_;
    int length_ = 0;
};

struct Conversion {
    bool leftAlign = false;
    bool zeroPad = false;
    int width = 0;
};

void putPadded(Output& out, const char16_t* text, int length, const Conversion& conversion) {
    const int padding = conversion.width > length ? conversion.width - length : 0;
    if (!conversion.leftAlign) {
        for (int i = 0; i < padding; ++i) {
            out.put(conversion.zeroPad ? u'0' : u' ');
        }
    }
    for (int i = 0; i < length; ++i) {
        out.put(text[i]);
    }
    if (conversion.leftAlign) {
        for (int i = 0; i < padding; ++i) {
            out.put(u' ');
        }
    }
}

void putNumber(Output& out, unsigned long long magnitude, bool negative, unsigned base, bool upper,
               const Conversion& conversion) {
    char16_t digits[24];
    int length = 0;
    do {
        const unsigned digit = unsigned(magnitude % base);
        digits[length++] = char16_t(digit < 10 ? u'0' + digit : (upper ? u'A' : u'a') + digit - 10);
        magnitude /= base;
    } while (magnitude != 0);
    char16_t text[26];
    int size = 0;
    if (negative) {
        text[size++] = u'-';
    }
    while (length > 0) {
        text[size++] = digits[--length];
    }
    putPadded(out, text, size, conversion);
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
        if (*p != u'%') {
            out.put(*p);
            continue;
        }
        ++p;
        Conversion conversion;
        for (;; ++p) {
            if (*p == u'-') {
                conversion.leftAlign = true;
            } else if (*p == u'0') {
                conversion.zeroPad = true;
            } else {
                break;
            }
        }
        while (*p >= u'0' && *p <= u'9') {
            conversion.width = conversion.width * 10 + (*p - u'0');
            ++p;
        }
        bool wide64 = false;
        if (p[0] == u'I' && p[1] == u'6' && p[2] == u'4') {
            wide64 = true;
            p += 3;
        } else if (*p == u'l' || *p == u'h') {
            ++p;
        }
        switch (*p) {
            case u's': {
                const char16_t* text = va_arg(args, const char16_t*);
                if (text == nullptr) {
                    text = u"(null)";
                }
                int length = 0;
                while (text[length] != 0) {
                    ++length;
                }
                putPadded(out, text, length, conversion);
                break;
            }
            case u'c': {
                const char16_t unit = char16_t(va_arg(args, int));
                putPadded(out, &unit, 1, conversion);
                break;
            }
            case u'd':
            case u'i': {
                const long long value = wide64 ? va_arg(args, long long) : va_arg(args, int);
                const unsigned long long magnitude =
                    value < 0 ? 0ULL - static_cast<unsigned long long>(value)
                              : static_cast<unsigned long long>(value);
                putNumber(out, magnitude, value < 0, 10, false, conversion);
                break;
            }
            case u'u':
            case u'x':
            case u'X': {
                const unsigned long long value =
                    wide64 ? va_arg(args, unsigned long long) : va_arg(args, unsigned int);
                putNumber(out, value, false, *p == u'u' ? 10 : 16, *p == u'X', conversion);
                break;
            }
            case u'%':
                out.put(u'%');
                break;
            case 0:
                --p;
                break;
            default:
                out.put(*p);
                break;
        }
    }
    va_end(args);
    return out.finish();
}
