#include "dialogs/VersionString.h"

#include <windows.h>

#include <algorithm>
#include <cstring>

#include "res/KovaNames.h"

namespace {
const DWORD VERSION_BUFFER_SIZE = 20;   // 19 characters and the terminating zero
}

std::string VersionFromValueBytes(const char* pData, unsigned long cbData)
{
    // A value stored without its terminating zero still ends inside the buffer we read.
    const size_t cbMax = std::min<size_t>(cbData, VERSION_BUFFER_SIZE - 1);
    const void* pNul = std::memchr(pData, '\0', cbMax);
    const size_t cchText = pNul ? static_cast<size_t>(static_cast<const char*>(pNul) - pData) : cbMax;
    return std::string(pData, cchText);
}

void ReadVersionString(std::string& out)
{
    HKEY hKey = nullptr;
    if (::RegOpenKeyA(HKEY_LOCAL_MACHINE, KOVA_REG_KEY, &hKey) != ERROR_SUCCESS)
        return;
    char szValue[VERSION_BUFFER_SIZE] = "";
    DWORD cbValue = VERSION_BUFFER_SIZE;
    DWORD dwType = 0;
    // A longer value does not fit the buffer (ERROR_MORE_DATA) and is not shown at all.
    const LONG lResult = ::RegQueryValueExA(hKey, "Version", nullptr, &dwType,
                                            reinterpret_cast<BYTE*>(szValue), &cbValue);
    if (lResult == ERROR_SUCCESS && (dwType == REG_SZ || dwType == REG_EXPAND_SZ))
        out = VersionFromValueBytes(szValue, cbValue);
    ::RegCloseKey(hKey);
}
