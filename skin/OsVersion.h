// Which Windows this is, as the small number the skinned dialogs test: the version facts in,
// the code out. No Windows header here: this builds and tests natively as well.
#pragma once

#include <cstdint>

// What GetVersionExA, GetSystemMetrics(SM_SERVERR2) and GetNativeSystemInfo report.
struct OsVersionFacts {
    uint32_t dwPlatformId;     // 1 Windows 9x, 2 NT
    uint32_t dwMajorVersion;
    uint32_t dwMinorVersion;
    char chCSDVersion1;        // second character of the service-pack text
    uint8_t wProductType;      // 1 workstation; 0 when only the plain structure could be read
    int32_t nServerR2;         // GetSystemMetrics(SM_SERVERR2)
    uint16_t wArchitecture;    // 9 AMD64, 6 IA64; 0 when GetNativeSystemInfo is missing
};

constexpr uint32_t OS_PLATFORM_WINDOWS = 1;
constexpr uint32_t OS_PLATFORM_NT = 2;
constexpr uint8_t OS_PRODUCT_WORKSTATION = 1;
constexpr uint16_t OS_ARCH_IA64 = 6;
constexpr uint16_t OS_ARCH_AMD64 = 9;

// 0 NT 4 and older, 1-5 the Windows 9x family, 6 2000, 7 XP, 8-10 the 5.2 family, 11-16
// Vista and Server 2008 by product type and processor; -1 for everything else.
int OsVersionCode(const OsVersionFacts& facts);

// Codes 11 and 12: Windows 6.0 workstation on x86 or x64, where desktop composition is set up.
inline bool IsVistaWorkstationCode(int nCode)
{
    return nCode == 11 || nCode == 12;
}
