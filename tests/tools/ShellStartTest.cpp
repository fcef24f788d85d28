// Whether and how the installers start Kova: only ever through the interactive user's shell.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "framework/Handles.h"
#include "tools/kovaclose/ShellStart.h"

namespace {

// Stands for ShellStartFromDesktop: S_OK started, S_FALSE no shell reachable, else the failing step.
struct CFakeShell {
    static HRESULT s_hr;
    static int s_nCalls;
    static std::wstring s_strProgram, s_strDir;
    static HRESULT Start(const std::wstring& strProgram, const std::wstring& strDir)
    {
        ++s_nCalls;
        s_strProgram = strProgram;
        s_strDir = strDir;
        return s_hr;
    }
};
HRESULT CFakeShell::s_hr = S_OK;
int CFakeShell::s_nCalls = 0;
std::wstring CFakeShell::s_strProgram, CFakeShell::s_strDir;

TEST(ShellStartTest, StartsOnlyThroughAReachableShellAndSaysWhat)
{
    WCHAR szTemp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, szTemp);
    const std::wstring strDir = std::wstring(szTemp) + L"KovaShellStartTest";
    ::CreateDirectoryW(strDir.c_str(), nullptr);
    kfw::CFile hKova(::CreateFileW((strDir + L"\\Kova.exe").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    ASSERT_TRUE(hKova.IsValid());
    hKova.Reset();
    const std::wstring strEmpty = std::wstring(szTemp) + L"KovaShellStartTestEmpty";
    ::CreateDirectoryW(strEmpty.c_str(), nullptr);

    const struct {
        const std::wstring& strDir;
        HRESULT hrShell;
        bool bAsked, bStarted;
        const wchar_t* pszLog;
    } cases[] = {
        {strDir, S_OK, true, true, L"Kova started through the interactive user's shell"},
        {strDir, S_FALSE, true, false, L"no interactive user's shell: Kova not started"},
        {strDir, E_ACCESSDENIED, true, false, L"the shell did not start Kova (0x80070005): Kova not started"},
        {strEmpty, S_OK, false, false, L"no Kova.exe to start in \""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pszLog);
        CFakeShell::s_hr = c.hrShell;
        CFakeShell::s_nCalls = 0;
        const kovastart::CStartResult result = kovastart::StartKovaAsUser(c.strDir + L"\\", CFakeShell::Start);
        EXPECT_EQ(c.bStarted, result.bStarted);
        EXPECT_EQ(0u, result.strLog.find(c.pszLog)) << std::string(result.strLog.begin(), result.strLog.end());
        ASSERT_EQ(c.bAsked ? 1 : 0, CFakeShell::s_nCalls) << "one request to the shell, never a start of our own";
        if (c.bAsked) {
            EXPECT_EQ(strDir + L"\\Kova.exe", CFakeShell::s_strProgram);
            EXPECT_EQ(strDir + L"\\", CFakeShell::s_strDir);
        }
    }
    ::DeleteFileW((strDir + L"\\Kova.exe").c_str());
    ::RemoveDirectoryW(strDir.c_str());
    ::RemoveDirectoryW(strEmpty.c_str());
}

} // namespace
