// One policy value as an administrator would set it, for one test: a REG_DWORD under the
// policy key of HKLM or HKCU, taken away again when the scope ends.
#pragma once

#include <windows.h>

#include "res/KovaNames.h"

namespace kovatest {

class CPolicySetting {
public:
    CPolicySetting(HKEY hRoot, const char* pszValue, DWORD dwData) : m_hRoot(hRoot), m_pszValue(pszValue)
    {
        HKEY hKey = nullptr;
        m_bSet = ::RegCreateKeyExA(hRoot, KOVA_POLICY_KEY, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &hKey, nullptr) ==
                     ERROR_SUCCESS &&
                 ::RegSetValueExA(hKey, pszValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dwData), sizeof dwData) ==
                     ERROR_SUCCESS;
        if (hKey)
            ::RegCloseKey(hKey);
    }
    ~CPolicySetting()
    {
        ::RegDeleteKeyValueA(m_hRoot, KOVA_POLICY_KEY, m_pszValue);
        ::RegDeleteKeyA(m_hRoot, KOVA_POLICY_KEY);   // only once it is empty
    }
    CPolicySetting(const CPolicySetting&) = delete;
    CPolicySetting& operator=(const CPolicySetting&) = delete;

    bool IsSet() const { return m_bSet; }

private:
    HKEY m_hRoot;
    const char* m_pszValue;
    bool m_bSet = false;
};

} // namespace kovatest
