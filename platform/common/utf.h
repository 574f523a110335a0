// UTF-8 and UTF-16 conversion for hosts, tests and the stand-in service. Ill-formed input
// (a lone surrogate, a bad UTF-8 sequence) becomes U+FFFD.
#pragma once

#include <string>

#include "../platform.h"

namespace tarvel {

using WString = std::basic_string<WCHAR>;

std::string utf8FromUtf16(const WCHAR* text, size_t length);
std::string utf8FromUtf16(const WString& text);
WString utf16FromUtf8(const std::string& text);
// The UTF-8 of text written at to, which has room for kMostUtf8PerUnit bytes a unit; returns
// the end of what was written.
constexpr size_t kMostUtf8PerUnit = 3;
char* putUtf8FromUtf16(char* to, const WCHAR* text, size_t length);

// File names, paths and arguments as a POSIX system has them: bytes that are not UTF-8 become
// lone surrogates U+DC80 to U+DCFF on the way in and the same bytes on the way out, so that a
// name that is no text still names its file.
WString utf16FromFileName(const std::string& bytes);
// The same into out, whose room is used again.
void assignFromFileName(WString& out, const char* bytes);
std::string fileNameFromUtf16(const WString& text);
char* putFileNameFromUtf16(char* to, const WCHAR* text, size_t length);

}  // namespace tarvel
