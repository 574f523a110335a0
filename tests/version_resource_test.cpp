// The DLL's version resource, as Windows reads it for the file's properties: the strings and
// numbers the build gave it. The resource adds no import (module-exports checks that).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "description.h"
#include "platform.h"

namespace tarvel {
namespace {

// The module file beside the folder of this test program.
std::wstring moduleFile() {
    wchar_t self[32768];
    const DWORD length = GetModuleFileNameW(nullptr, self, 32768);
    std::wstring path(self, length);
    path = path.substr(0, path.find_last_of(L"\\/"));
    return path.substr(0, path.find_last_of(L"\\/")) + L"\\tarvel-search.dll";
}

std::wstring wide(const char* text) {
    return std::wstring(text, text + std::char_traits<char>::length(text));
}

TEST(VersionResource, NamesTheModuleItsMakerAndTheBuildsVersion) {
    const std::wstring file = moduleFile();
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(file.c_str(), &ignored);
    ASSERT_NE(0u, size) << "no version resource in the module";
    std::vector<BYTE> data(size);
    ASSERT_TRUE(GetFileVersionInfoW(file.c_str(), 0, size, data.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(DWORD(VS_FFI_SIGNATURE), fixed->dwSignature);
    EXPECT_EQ(DWORD((TARVEL_VERSION_MAJOR << 16) | TARVEL_VERSION_MINOR), fixed->dwFileVersionMS);
    EXPECT_EQ(DWORD(TARVEL_VERSION_PATCH << 16), fixed->dwFileVersionLS);
    EXPECT_EQ(fixed->dwFileVersionMS, fixed->dwProductVersionMS);
    EXPECT_EQ(fixed->dwFileVersionLS, fixed->dwProductVersionLS);
    EXPECT_EQ(DWORD(VFT_DLL), fixed->dwFileType);

    const struct {
        const wchar_t* name;
        std::wstring value;
    } strings[] = {
        {L"CompanyName", L"Tarvel"},
        {L"FileDescription", wide(TARVEL_MODULE_DESCRIPTION)},
        {L"FileVersion", wide(TARVEL_VERSION)},
        {L"ProductName", wide(TARVEL_PRODUCT_NAME)},
        {L"ProductVersion", wide(TARVEL_VERSION)},
        {L"OriginalFilename", L"tarvel-search.dll"},
        {L"LegalCopyright", L"Copyright (c) 2026 the Tarvel team. MIT License."},
    };
    for (const auto& expected : strings) {
        wchar_t* value = nullptr;
        const std::wstring key = std::wstring(L"\\StringFileInfo\\040904B0\\") + expected.name;
        ASSERT_TRUE(
            VerQueryValueW(data.data(), key.c_str(), reinterpret_cast<void**>(&value), &length))
            << std::string(key.begin(), key.end());
        EXPECT_EQ(expected.value, std::wstring(value)) << std::string(key.begin(), key.end());
    }
}

}  // namespace
}  // namespace tarvel
