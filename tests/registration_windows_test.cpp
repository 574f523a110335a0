// On Windows a ProgID registration is the current user's alone, volatile, and leaves the
// machine's registration as it was, also when the console is interrupted.
#include <gtest/gtest.h>

#include <string>

#include "platform_support.h"

namespace tarvel {
namespace {

const wchar_t kProgId[] = L"Tarvel.TestClass.3";
const wchar_t kMachineKey[] = L"Software\\Classes\\Tarvel.TestClass.3\\CLSID";
const CLSID kMachine = {0x55555555, 0x5555, 0x5555, {5, 5, 5, 5, 5, 5, 5, 5}};
const CLSID kStandIn = {0x66666666, 0x6666, 0x6666, {6, 6, 6, 6, 6, 6, 6, 6}};

std::wstring text(REFCLSID clsid) {
    wchar_t buffer[40];
    StringFromGUID2(clsid, buffer, 40);
    return buffer;
}

std::wstring machineValue() {
    wchar_t value[64] = {};
    DWORD size = sizeof value - sizeof(wchar_t);
    RegGetValueW(HKEY_LOCAL_MACHINE, kMachineKey, nullptr, RRF_RT_REG_SZ, nullptr, value, &size);
    return value;
}

class MachineRegistration : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(S_OK, CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
        HKEY key = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, kMachineKey, 0, nullptr, 0,
                                                 KEY_WRITE, nullptr, &key, nullptr));
        const std::wstring value = text(kMachine);
        RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       DWORD((value.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(key);
    }
    void TearDown() override {
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, kMachineKey);
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, L"Software\\Classes\\Tarvel.TestClass.3");
        CoUninitialize();
    }
    static CLSID named() {
        CLSID found{};
        CLSIDFromProgID(kProgId, &found);
        return found;
    }
};

TEST_F(MachineRegistration, TheUsersVolatileRegistrationOverridesItAndTheMachinesComesBack) {
    if (!platform::registrationsArePerUser()) {
        GTEST_SKIP() << "this system does not honour per-user classes";
    }
    EXPECT_TRUE(IsEqualGUID(kMachine, named()));
    {
        platform::ProgIdRegistration registration;
        ASSERT_EQ(S_OK, registration.add(kProgId, kStandIn));
        EXPECT_TRUE(IsEqualGUID(kStandIn, named()));
        EXPECT_EQ(text(kMachine), machineValue()) << "the machine's registration was changed";
        // A volatile key takes no lasting child.
        HKEY child = nullptr;
        EXPECT_EQ(
            ERROR_CHILD_MUST_BE_VOLATILE,
            RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Classes\\Tarvel.TestClass.3\\Lasting", 0,
                            nullptr, 0, KEY_WRITE, nullptr, &child, nullptr));
    }
    EXPECT_TRUE(IsEqualGUID(kMachine, named()));
    EXPECT_EQ(text(kMachine), machineValue());
}

TEST_F(MachineRegistration, AnInterruptionPutsTheMachinesBack) {
    platform::ProgIdRegistration registration;
    ASSERT_EQ(S_OK, registration.add(kProgId, kStandIn));
    EXPECT_TRUE(IsEqualGUID(kStandIn, named()));
    platform::endAllRegistrations();
    EXPECT_TRUE(IsEqualGUID(kMachine, named())) << "the machine's registration did not come back";
    EXPECT_EQ(text(kMachine), machineValue());
}

}  // namespace
}  // namespace tarvel
