// The DLL's version resource, as Windows reads it for the file's properties: the strings and
// numbers the build gave it. The resource adds no import (module-exports checks that).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "description.h"
#include "platform.h"
#include "shipped_files_windows.h"

namespace tarvel {
namespace {

std::wstring wide(const char* text) {
    return std::wstring(text, text + std::char_traits<char>::length(text));
}

struct ShippedFile {
    const wchar_t* name;
    DWORD type;
    std::wstring description;
};

class VersionResource : public ::testing::TestWithParam<ShippedFile> {};

TEST_P(VersionResource, NamesTheFileItsMakerAndTheBuildsVersion) {
    const ShippedFile& shipped = GetParam();
    const std::wstring file = testing::shippedFile(shipped.name);
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(file.c_str(), &ignored);
    ASSERT_NE(0u, size) << "no version resource in the file";
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
    EXPECT_EQ(shipped.type, fixed->dwFileType);

    const struct {
        const wchar_t* name;
        std::wstring value;
    } strings[] = {
        {L"CompanyName", L"Tarvel"},
        {L"FileDescription", shipped.description},
        {L"FileVersion", wide(TARVEL_VERSION)},
        {L"ProductName", wide(TARVEL_PRODUCT_NAME)},
        {L"ProductVersion", wide(TARVEL_VERSION)},
        {L"OriginalFilename", shipped.name},
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

INSTANTIATE_TEST_SUITE_P(
    Package, VersionResource,
    ::testing::Values(ShippedFile{L"tarvel-search.dll", VFT_DLL, wide(TARVEL_MODULE_DESCRIPTION)},
                      ShippedFile{
                          L"tarvel-host.exe", VFT_APP,
                          L"tarvel-host: searches through the module and checks why a search finds "
                          L"nothing"}),
    [](const ::testing::TestParamInfo<ShippedFile>& file) {
        return file.index == 0 ? std::string("TheModule") : std::string("TheHost");
    });

}  // namespace
}  // namespace tarvel
