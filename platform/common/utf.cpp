#include "utf.h"

namespace tarvel {

namespace {

constexpr uint32_t kReplacement = 0xFFFD;

void appendUtf8(std::string& out, uint32_t code) {
    if (code < 0x80) {
        out += char(code);
    } else if (code < 0x800) {
        out += char(0xC0 | (code >> 6));
        out += char(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += char(0xE0 | (code >> 12));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    } else {
        out += char(0xF0 | (code >> 18));
        out += char(0x80 | ((code >> 12) & 0x3F));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    }
}

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

static std::string toUtf8(const WCHAR* text, size_t length, bool unescape) {
    std::string out;
    out.reserve(length);
    for (size_t i = 0; i < length; ++i) {
        uint32_t code = uint16_t(text[i]);
        if (code >= 0xD800 && code < 0xDC00) {
            const uint32_t low = i + 1 < length ? uint16_t(text[i + 1]) : 0;
            if (low >= 0xDC00 && low < 0xE000) {
                code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            } else {
                code = kReplacement;
            }
        } else if (unescape && code >= kEscapeFirst && code <= kEscapeLast) {
            out += char(code & 0xFF);
            continue;
        } else if (code >= 0xDC00 && code < 0xE000) {
            code = kReplacement;
        }
        appendUtf8(out, code);
    }
    return out;
}

std::string utf8FromUtf16(const WCHAR* text, size_t length) {
    return toUtf8(text, length, false);
}

std::string utf8FromUtf16(const WString& text) {
    return utf8FromUtf16(text.data(), text.size());
}

static WString toUtf16(const std::string& text, bool escape) {
    WString out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        size_t extra = 0;
        uint32_t code = 0;
        uint32_t least = 0;
        if (lead < 0x80) {
            code = lead;
        } else if ((lead & 0xE0) == 0xC0) {
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
            if (i + k >= text.size()) {
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
    return out;
}

WString utf16FromUtf8(const std::string& text) {
    return toUtf16(text, false);
}

WString utf16FromFileName(const std::string& bytes) {
    return toUtf16(bytes, true);
}

std::string fileNameFromUtf16(const WString& text) {
    return toUtf8(text.data(), text.size(), true);
}

}  // namespace tarvel
