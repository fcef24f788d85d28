#include "skin/OsVersion.h"

int OsVersionCode(const OsVersionFacts& f)
{
    const uint32_t uMajor = f.dwMajorVersion;
    const uint32_t uMinor = f.dwMinorVersion;
    if (f.dwPlatformId == OS_PLATFORM_NT)
    {
        if (uMajor <= 4)
            return 0;
        if (uMajor == 5 && uMinor == 0)
            return 6;
        if (uMajor == 5 && uMinor == 1)
            return 7;
        if (uMajor == 5 && uMinor == 2)
        {
            if (f.nServerR2 != 0)
                return 10;
            return f.wProductType == OS_PRODUCT_WORKSTATION && f.wArchitecture == OS_ARCH_AMD64 ? 8 : 9;
        }
        if (uMajor == 6 && uMinor == 0)
        {
            const int nBase = f.wProductType == OS_PRODUCT_WORKSTATION ? 11 : 14;
            if (f.wArchitecture == OS_ARCH_AMD64)
                return nBase + 1;
            if (f.wArchitecture == OS_ARCH_IA64)
                return nBase + 2;
            return nBase;
        }
        return -1;
    }
    if (f.dwPlatformId == OS_PLATFORM_WINDOWS && uMajor == 4)
    {
        // 95 OSR2 and 98 SE say so in the service-pack text: " C" and " A".
        if (uMinor == 0)
            return f.chCSDVersion1 == 'C' ? 2 : 1;
        if (uMinor == 10)
            return f.chCSDVersion1 == 'A' ? 4 : 3;
        if (uMinor == 90)
            return 5;
    }
    return -1;
}
