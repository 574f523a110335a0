// Text the service's parsers and messages share: HRESULTs as text, and ASCII helpers.
#pragma once

#include <string>

#include "common/utf.h"
#include "platform.h"

namespace tarvel::service {

using tarvel::WString;

// "0x80004005".
std::string hresultText(HRESULT hr);

// A-Z as a-z, every other unit as it is.
inline WCHAR lowerAscii(WCHAR unit) {
    return unit >= u'A' && unit <= u'Z' ? WCHAR(unit + 32) : unit;
}
// The UTF-16 form of ASCII text.
inline WString ascii(const char* text) {
    return WString(text, text + std::char_traits<char>::length(text));
}

}  // namespace tarvel::service
