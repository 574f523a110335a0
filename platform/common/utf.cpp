#include "utf.h"

#include <bit>
#include <cstdint>
#include <cstring>

namespace tarvel {

namespace {

constexpr uint32_t kReplacement = 0xFFFD;

void appendUtf16(WString& out, uint32_t code) {
    if (code < 0x10000) {
        out += WCHAR(code);
    } else {
        code -= 0x10000;
        out += WCHAR(0xD800 + (code >> 10));
        out += WCHAR(0xDC00 + (code & 0x3FF));
    }
}

}  // namespace

// The escapes of bytes that are not UTF-8: U+DC80 to U+DCFF, which no UTF-8 text can hold.
constexpr uint32_t kEscapeFirst = 0xDC80;
constexpr uint32_t kEscapeLast = 0xDCFF;

// Writes the UTF-8 of code at to; returns the end.
static char* putUtf8(char* to, uint32_t code) {
    if (code < 0x80) {
        *to++ = char(code);
    } else if (code < 0x800) {
        *to++ = char(0xC0 | (code >> 6));
        *to++ = char(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        *to++ = char(0xE0 | (code >> 12));
        *to++ = char(0x80 | ((code >> 6) & 0x3F));
        *to++ = char(0x80 | (code & 0x3F));
    } else {
        *to++ = char(0xF0 | (code >> 18));
        *to++ = char(0x80 | ((code >> 12) & 0x3F));
        *to++ = char(0x80 | ((code >> 6) & 0x3F));
        *to++ = char(0x80 | (code & 0x3F));
    }
    return to;
}

static_assert(std::endian::native == std::endian::little, "four units are read as one word");

// A unit makes at most three bytes (a pair of them four). Runs of ASCII, the most of any path,
// go four units at a time.
static char* putAsUtf8(char* to, const WCHAR* text, size_t length, bool unescape) {
    size_t i = 0;
    while (i < length) {
        uint64_t four = 0;
        if (i + 4 <= length &&
            (std::memcpy(&four, text + i, sizeof four), (four & 0xFF80FF80FF80FF80ULL) == 0)) {
            for (int k = 0; k < 4; ++k) {
                *to++ = char(four >> (16 * k));
            }
            i += 4;
            continue;
        }
        uint32_t code = uint16_t(text[i++]);
        if (code >= 0xD800 && code < 0xDC00) {
            const uint32_t low = i < length ? uint16_t(text[i]) : 0;
            if (low >= 0xDC00 && low < 0xE000) {
                code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            } else {
                code = kReplacement;
            }
        } else if (unescape && code >= kEscapeFirst && code <= kEscapeLast) {
            *to++ = char(code & 0xFF);
            continue;
        } else if (code >= 0xDC00 && code < 0xE000) {
            code = kReplacement;
        }
        to = putUtf8(to, code);
    }
    return to;
}

static void appendAsUtf8(std::string& out, const WCHAR* text, size_t length, bool unescape) {
    const size_t at = out.size();
    out.resize(at + kMostUtf8PerUnit * length);
    char* const start = &out[0];
    out.resize(size_t(putAsUtf8(start + at, text, length, unescape) - start));
}

static std::string toUtf8(const WCHAR* text, size_t length, bool unescape) {
    std::string out;
    appendAsUtf8(out, text, length, unescape);
    return out;
}

char* putUtf8FromUtf16(char* to, const WCHAR* text, size_t length) {
    return putAsUtf8(to, text, length, false);
}

char* putFileNameFromUtf16(char* to, const WCHAR* text, size_t length) {
    return putAsUtf8(to, text, length, true);
}

std::string utf8FromUtf16(const WCHAR* text, size_t length) {
    return toUtf8(text, length, false);
}

std::string utf8FromUtf16(const WString& text) {
    return utf8FromUtf16(text.data(), text.size());
}

static void appendAsUtf16(WString& out, const char* text, size_t size, bool escape) {
    out.reserve(out.size() + size);
    size_t i = 0;
    while (i < size) {
        const auto lead = static_cast<unsigned char>(text[i]);
        if (lead < 0x80) {
            size_t end = i + 1;
            while (end < size && static_cast<unsigned char>(text[end]) < 0x80) {
                ++end;
            }
            const size_t at = out.size();
            out.resize(at + (end - i));
            WCHAR* to = &out[at];
            for (const char* from = text + i; from != text + end; ++from) {
                *to++ = WCHAR(static_cast<unsigned char>(*from));
            }
            i = end;
            continue;
        }
        size_t extra = 0;
        uint32_t code = 0;
        uint32_t least = 0;
        if ((lead & 0xE0) == 0xC0) {
            extra = 1;
            code = lead & 0x1F;
            least = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            extra = 2;
            code = lead & 0x0F;
            least = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            extra = 3;
            code = lead & 0x07;
            least = 0x10000;
        } else {
            appendUtf16(out, escape ? kEscapeFirst - 0x80 + lead : kReplacement);
            ++i;
            continue;
        }
        bool valid = true;
        size_t k = 1;
        for (; k <= extra; ++k) {
            if (i + k >= size) {
                valid = false;
                break;
            }
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) {
                valid = false;
                break;
            }
            code = (code << 6) | (next & 0x3F);
        }
        if (!valid || code < least || code > 0x10FFFF || (code >= 0xD800 && code < 0xE000)) {
            if (escape) {
                appendUtf16(out, kEscapeFirst - 0x80 + lead);
                ++i;
            } else {
                appendUtf16(out, kReplacement);
                i += k;
            }
            continue;
        }
        appendUtf16(out, code);
        i += extra + 1;
    }
}

WString utf16FromUtf8(const std::string& text) {
    WString out;
    appendAsUtf16(out, text.data(), text.size(), false);
    return out;
}

WString utf16FromFileName(const std::string& bytes) {
    WString out;
    appendAsUtf16(out, bytes.data(), bytes.size(), true);
    return out;
}

void assignFromFileName(WString& out, const char* bytes) {
    out.clear();
    appendAsUtf16(out, bytes, std::strlen(bytes), true);
}

std::string fileNameFromUtf16(const WString& text) {
    return toUtf8(text.data(), text.size(), true);
}

}  // namespace tarvel
