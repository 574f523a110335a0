// Text for messages about COM calls (UTF-8 of UTF-16 strings, interface names, HRESULTs), and
// the ASCII helpers the service's parsers share.
#pragma once

#include <string>

#include "common/utf.h"
#include "platform.h"

namespace tarvel::service {

using tarvel::WString;

// UTF-8 text of a UTF-16 string; "(null)" for a null pointer.
std::string narrow(const WCHAR* text);
std::string narrow(const WCHAR* text, size_t length);
// The interface name of a known IID, or its GUID text.
std::string interfaceName(REFIID riid);
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
