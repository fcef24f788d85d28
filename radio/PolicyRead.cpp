#include "radio/PolicyRead.h"

#include "framework/Handles.h"
#include "res/KovaNames.h"

PolicyValue ReadPolicyValue(HKEY hRoot, const char* pszKey, const char* pszValue)
{
    PolicyValue value;
    kfw::CRegKey hKey;
    if (::RegOpenKeyExA(hRoot, pszKey, 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, hKey.Put()) != ERROR_SUCCESS)
        return value;
    DWORD dwType = 0;
    BYTE abyData[sizeof(DWORD)] = {};
    DWORD cbData = sizeof abyData;
    const LSTATUS lResult = ::RegQueryValueExA(hKey.Get(), pszValue, nullptr, &dwType, abyData, &cbData);
    if (lResult == ERROR_FILE_NOT_FOUND)
        return value;
    if (lResult == ERROR_SUCCESS && dwType == REG_DWORD && cbData == sizeof(DWORD))
    {
        value.eKind = PolicyValue::Kind::Dword;
        value.dwValue = static_cast<uint32_t>(abyData[0]) | static_cast<uint32_t>(abyData[1]) << 8 |
                        static_cast<uint32_t>(abyData[2]) << 16 | static_cast<uint32_t>(abyData[3]) << 24;
        return value;
    }
    // Another type, or more data than a DWORD: there, but not what a policy writes.
    value.eKind = PolicyValue::Kind::OtherType;
    return value;
}

void PolicySourcesOf(Radio eRadio, PolicySource (&aSources)[POLICY_PLACE_COUNT])
{
    const bool bWlan = eRadio == Radio::Wlan;
    const char* const pszValue = bWlan ? KOVA_POLICY_ALLOW_WIFI : KOVA_POLICY_ALLOW_BLUETOOTH;
    aSources[static_cast<int>(PolicyPlace::Computer)] = { HKEY_LOCAL_MACHINE, KOVA_POLICY_KEY, pszValue };
    aSources[static_cast<int>(PolicyPlace::User)] = { HKEY_CURRENT_USER, KOVA_POLICY_KEY, pszValue };
    // Only the "current" keys: PolicyManager\default holds Windows' defaults, not anyone's
    // decision.
    aSources[static_cast<int>(PolicyPlace::Device)] = {
        HKEY_LOCAL_MACHINE, bWlan ? KOVA_DEVICE_POLICY_WIFI_KEY : KOVA_DEVICE_POLICY_BLUETOOTH_KEY, pszValue
    };
}

RadioPolicyReading ReadRadioPolicyPlaces(Radio eRadio)
{
    PolicySource aSources[POLICY_PLACE_COUNT];
    PolicySourcesOf(eRadio, aSources);
    RadioPolicyReading reading;
    for (int i = 0; i < POLICY_PLACE_COUNT; ++i)
        reading.aValues[i] = ReadPolicyValue(aSources[i].hRoot, aSources[i].pszKey, aSources[i].pszValue);
    reading.decision = DecideRadioPolicy(reading.aValues);
    return reading;
}

RadioPolicy ReadRadioPolicy()
{
    RadioPolicy policy;
    policy.bWirelessForbidden = ReadRadioPolicyPlaces(Radio::Wlan).decision.bForbidden;
    policy.bBluetoothForbidden = ReadRadioPolicyPlaces(Radio::Bluetooth).decision.bForbidden;
    return policy;
}
