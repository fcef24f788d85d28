// Start-up services: the single-instance mutex and the installed version string.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "app/SingleInstance.h"
#include "dialogs/VersionString.h"
#include "res/KovaNames.h"
#include "support/TestSupport.h"

TEST(SingleInstance, FirstCreatorWinsAndKeepsTheName)
{
    const std::string strName = kovatest::UniqueName("single");
    CSingleInstance first, second;
    EXPECT_TRUE(first.Create(strName.c_str()));
    EXPECT_FALSE(second.Create(strName.c_str()));
}

TEST(VersionString, ValueBytesAreCutAtTheFirstZeroAndAfterNineteen)
{
    const struct { const char* pData; unsigned long cb; const char* pszExpected; } rows[] = {
        { "1.0.0.1", 8, "1.0.0.1" },
        { "1234567890123456789", 20, "1234567890123456789" },   // 19 characters, whole
        { "12345678901234567890", 20, "1234567890123456789" },  // stored without its zero
        { "", 1, "" },
        { "ab\0cd", 6, "ab" },
        { "xyz", 0, "" },
    };
    for (const auto& row : rows)
        EXPECT_EQ(VersionFromValueBytes(row.pData, row.cb), row.pszExpected) << row.pszExpected;
}

TEST(VersionString, ReadFromTheRegistry)
{
    HKEY hKey = nullptr;
    ASSERT_EQ(::RegCreateKeyA(HKEY_LOCAL_MACHINE, KOVA_REG_KEY, &hKey), ERROR_SUCCESS);
    auto set = [&](const char* pszValue, DWORD dwType = REG_SZ) {
        ::RegSetValueExA(hKey, "Version", 0, dwType, reinterpret_cast<const BYTE*>(pszValue),
                         static_cast<DWORD>(strlen(pszValue) + 1));
    };
    std::string str = "unchanged";

    set("1234567890123456789");
    ReadVersionString(str);
    EXPECT_EQ(str, "1234567890123456789");

    str = "unchanged";
    set("123456789012345678901234");   // longer than the buffer: not shown, nothing overrun
    ReadVersionString(str);
    EXPECT_EQ(str, "unchanged");

    set("2.0", REG_BINARY);            // not a string
    ReadVersionString(str);
    EXPECT_EQ(str, "unchanged");

    ::RegDeleteValueA(hKey, "Version");
    ReadVersionString(str);
    EXPECT_EQ(str, "unchanged");
    ::RegCloseKey(hKey);
    ::RegDeleteKeyA(HKEY_LOCAL_MACHINE, KOVA_REG_KEY);
}
