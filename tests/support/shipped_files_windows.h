// Where the tests find the files that ship: beside the test program, as the test package lays
// them out, or in the build folder above the program's own.
#pragma once

#include <windows.h>

#include <string>

namespace tarvel::testing {

inline std::wstring shippedFile(const wchar_t* name) {
    wchar_t self[32768];
    const DWORD length = GetModuleFileNameW(nullptr, self, 32768);
    std::wstring folder(self, length);
    folder = folder.substr(0, folder.find_last_of(L"\\/"));
    const std::wstring beside = folder + L"\\" + name;
    if (GetFileAttributesW(beside.c_str()) != INVALID_FILE_ATTRIBUTES) {
        return beside;
    }
    return folder.substr(0, folder.find_last_of(L"\\/")) + L"\\" + name;
}

}  // namespace tarvel::testing
