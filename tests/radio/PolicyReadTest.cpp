// The policy as the registry holds it: each place read where an administrator writes it,
// each kind of value as found.
#include <gtest/gtest.h>

#include "radio/PolicyRead.h"
#include "res/KovaNames.h"
#include "support/PolicySetting.h"

TEST(PolicyRead, EachPlaceIsReadWhereItsAdministratorWritesIt)
{
    EXPECT_FALSE(ReadRadioPolicyPlaces(Radio::Bluetooth).decision.bForbidden);
    {
        kovatest::CPolicySetting user(HKEY_CURRENT_USER, KOVA_POLICY_ALLOW_BLUETOOTH, 0);
        kovatest::CPolicySetting computer(HKEY_LOCAL_MACHINE, KOVA_POLICY_ALLOW_BLUETOOTH, 7);
        ASSERT_TRUE(user.IsSet() && computer.IsSet());
        const RadioPolicyReading reading = ReadRadioPolicyPlaces(Radio::Bluetooth);
        EXPECT_EQ(PolicyValue::Kind::Dword, reading.aValues[0].eKind);
        EXPECT_EQ(7u, reading.aValues[0].dwValue);
        EXPECT_EQ(0u, reading.aValues[1].dwValue);
        EXPECT_EQ(PolicyValue::Kind::Absent, reading.aValues[2].eKind);
        EXPECT_EQ(1, reading.decision.nDecidedBy);
        const RadioPolicy policy = ReadRadioPolicy();
        EXPECT_TRUE(policy.bBluetoothForbidden);
        EXPECT_FALSE(policy.bWirelessForbidden);
    }
    // A string where a number belongs allows, and is told apart.
    HKEY hKey = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, KOVA_DEVICE_POLICY_WIFI_KEY, 0, nullptr, 0,
                                               KEY_SET_VALUE, nullptr, &hKey, nullptr));
    ::RegSetValueExA(hKey, KOVA_POLICY_ALLOW_WIFI, 0, REG_SZ, reinterpret_cast<const BYTE*>("0"), 2);
    const RadioPolicyReading reading = ReadRadioPolicyPlaces(Radio::Wlan);
    ::RegDeleteValueA(hKey, KOVA_POLICY_ALLOW_WIFI);
    ::RegCloseKey(hKey);
    EXPECT_EQ(PolicyValue::Kind::OtherType, reading.aValues[2].eKind);
    EXPECT_FALSE(reading.decision.bForbidden);
}
