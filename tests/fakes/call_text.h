// Text for journal entries and messages about COM calls: UTF-8 of UTF-16 strings, and interface
// names.
#pragma once

#include <string>

#include "com_text.h"

namespace tarvel::service {

// UTF-8 text of a UTF-16 string; "(null)" for a null pointer.
std::string narrow(const WCHAR* text);
std::string narrow(const WCHAR* text, size_t length);
// The name of an interface the stand-in offers or is asked for, without allocating; null for
// an IID it does not know.
const char* knownInterfaceName(REFIID riid);
// "IRowset::QueryInterface" for IID_IRowset, made once.
const std::string& queryMethodName(REFIID riid);
// The name of a known IID, or its GUID text.
std::string interfaceName(REFIID riid);

}  // namespace tarvel::service
