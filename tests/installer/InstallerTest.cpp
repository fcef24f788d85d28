// The installer under Wine: a silent install into Program Files with its registry entries,
// an upgrade over a running Kova, and an uninstall that leaves nothing behind. Each test
// installs into the prefix's real Program Files and the machine's registry, so the fixture
// clears both before and after, whatever the outcome.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace {

using kovatest::BinPath;
using kovatest::CProcessGuard;

const char kUninstKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Kova";
const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kVersionKey[] = "SOFTWARE\\KOVA";
const char kKovaClass[] = "KovamodeClass";

std::string ProgramFiles()
{
    char szPath[MAX_PATH] = {};
    return SUCCEEDED(::SHGetFolderPathA(nullptr, CSIDL_PROGRAM_FILES, nullptr, 0, szPath)) ? szPath : "";
}
std::string PravoDir() { return ProgramFiles() + "\\Pravo"; }
std::string InstallDir() { return PravoDir() + "\\Kova"; }
std::string Installed(const char* pszName) { return InstallDir() + "\\" + pszName; }

bool Exists(const std::string& strPath)
{
    return ::GetFileAttributesA(strPath.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string ReadFile(const std::string& strPath)
{
    std::ifstream in(strPath, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> FolderEntries(const std::string& strDir)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA fd;
    HANDLE hFind = ::FindFirstFileA((strDir + "\\*").c_str(), &fd);
    if (hFind == INVALID_HANDLE_VALUE)
        return names;
    do {
        if (strcmp(fd.cFileName, ".") != 0 && strcmp(fd.cFileName, "..") != 0)
            names.push_back(fd.cFileName);
    } while (::FindNextFileA(hFind, &fd));
    ::FindClose(hFind);
    return names;
}

// A value of HKLM, "" and false when missing.
bool ReadString(const char* pszKey, const char* pszValue, std::string& rstr)
{
    char sz[1024] = {};
    DWORD cb = sizeof(sz) - 1;
    if (::RegGetValueA(HKEY_LOCAL_MACHINE, pszKey, pszValue, RRF_RT_REG_SZ, nullptr, sz, &cb) != ERROR_SUCCESS)
        return rstr.clear(), false;
    rstr = sz;
    return true;
}
std::string String(const char* pszKey, const char* pszValue)
{
    std::string str;
    ReadString(pszKey, pszValue, str);
    return str;
}
DWORD Dword(const char* pszKey, const char* pszValue)
{
    DWORD dw = ~0u, cb = sizeof(dw);
    ::RegGetValueA(HKEY_LOCAL_MACHINE, pszKey, pszValue, RRF_RT_REG_DWORD, nullptr, &dw, &cb);
    return dw;
}
bool KeyExists(const char* pszKey)
{
    HKEY hKey = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, pszKey, 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return false;
    ::RegCloseKey(hKey);
    return true;
}

std::string ImagePath(HANDLE hProcess)
{
    char sz[MAX_PATH] = {};
    DWORD cch = MAX_PATH;
    return ::QueryFullProcessImageNameA(hProcess, 0, sz, &cch) ? std::string(sz, cch) : "";
}

// Process ids of programs running from the install folder.
std::vector<DWORD> ProcessesFromInstallDir()
{
    std::vector<DWORD> pids;
    const std::string strPrefix = InstallDir() + "\\";
    HANDLE hSnap = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 pe = {};
    pe.dwSize = sizeof(pe);
    for (BOOL b = ::Process32First(hSnap, &pe); b; b = ::Process32Next(hSnap, &pe)) {
        HANDLE h = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pe.th32ProcessID);
        if (!h)
            continue;
        const std::string strImage = ImagePath(h);
        ::CloseHandle(h);
        if (strImage.size() > strPrefix.size() &&
            _strnicmp(strImage.c_str(), strPrefix.c_str(), strPrefix.size()) == 0)
            pids.push_back(pe.th32ProcessID);
    }
    ::CloseHandle(hSnap);
    return pids;
}

bool PollFor(const std::function<bool()>& pred, DWORD dwTimeoutMs)
{
    return kovatest::PumpUntil(pred, dwTimeoutMs);
}

// The resident Kova's process, opened from its window; null when none appears in time.
kfw::CHandle WaitForResidentKova(DWORD dwTimeoutMs = 15000)
{
    HWND hWnd = nullptr;
    if (!PollFor([&] { return (hWnd = ::FindWindowA(kKovaClass, nullptr)) != nullptr; }, dwTimeoutMs))
        return kfw::CHandle();
    DWORD dwPid = 0;
    ::GetWindowThreadProcessId(hWnd, &dwPid);
    return kfw::CHandle(::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, dwPid));
}

DWORD ExitCode(HANDLE hProcess, DWORD dwTimeoutMs = 10000)
{
    return kovatest::WaitForExit(hProcess, dwTimeoutMs);
}

// Removes whatever an installer (or a failed test) left: processes, files, entries.
void Scrub()
{
    for (DWORD dwPid : ProcessesFromInstallDir()) {
        if (HANDLE h = ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, dwPid)) {
            ::TerminateProcess(h, 1);
            ::WaitForSingleObject(h, 5000);
            ::CloseHandle(h);
        }
    }
    for (const std::string& strName : FolderEntries(InstallDir()))
        ::DeleteFileA(Installed(strName.c_str()).c_str());
    ::RemoveDirectoryA(InstallDir().c_str());
    ::RemoveDirectoryA(PravoDir().c_str());
    ::RegDeleteKeyA(HKEY_LOCAL_MACHINE, kVersionKey);
    ::RegDeleteKeyA(HKEY_LOCAL_MACHINE, kUninstKey);
    HKEY hKey = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRunKey, 0, KEY_SET_VALUE, &hKey) == ERROR_SUCCESS) {
        ::RegDeleteValueA(hKey, "Kova");
        ::RegCloseKey(hKey);
    }
}

class InstallerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(ProgramFiles().empty());
        Scrub();
        ASSERT_FALSE(Exists(InstallDir())) << "could not clear " << InstallDir();
    }
    void TearDown() override { Scrub(); }

    // Runs the installer to its end; its exit code.
    static DWORD RunSetup(const std::string& strArgs)
    {
        CProcessGuard setup = CProcessGuard::StartPath(BinPath(KOVA_SETUP_NAME), strArgs);
        return setup ? setup.Wait(60000) : ~0u;
    }
    // The uninstaller copies itself elsewhere and returns at once: done is when the
    // uninstall key, the last thing it removes, is gone.
    static bool RunUninstaller()
    {
        CProcessGuard un = CProcessGuard::StartPath(Installed("Uninstall.exe"), "/S");
        return un && un.Wait(30000) == 0 && PollFor([] { return !KeyExists(kUninstKey); }, 30000);
    }
    static void ExpectRegistryCleared()
    {
        std::string str;
        EXPECT_FALSE(ReadString(kVersionKey, "Version", str));
        EXPECT_FALSE(KeyExists(kVersionKey));
        EXPECT_FALSE(ReadString(kRunKey, "Kova", str));
        EXPECT_FALSE(KeyExists(kUninstKey));
    }
};

TEST_F(InstallerTest, SilentInstallPutsFilesAndEntriesInPlaceAndUninstallRemovesThem)
{
    ASSERT_EQ(0u, RunSetup("/S"));

    const std::string strDir = InstallDir();
    EXPECT_TRUE(Exists(Installed("Kova.exe")));
    EXPECT_EQ(ReadFile(BinPath("kovaHelp.mht")), ReadFile(Installed("kovaHelp.mht")));
    EXPECT_TRUE(Exists(Installed("Uninstall.exe")));
    EXPECT_FALSE(Exists(Installed("EMSC.dll"))) << "the development library must never ship";
    EXPECT_EQ(3u, FolderEntries(strDir).size());
    EXPECT_TRUE(ProcessesFromInstallDir().empty()) << "silent install started Kova without /START";

    EXPECT_EQ(KOVA_PRODUCT_VERSION, String(kVersionKey, "Version"));
    EXPECT_EQ("\"" + strDir + "\\Kova.exe\"", String(kRunKey, "Kova"));
    EXPECT_EQ("Kova", String(kUninstKey, "DisplayName"));
    EXPECT_EQ(KOVA_PRODUCT_VERSION, String(kUninstKey, "DisplayVersion"));
    EXPECT_EQ("Pravo", String(kUninstKey, "Publisher"));
    EXPECT_EQ(strDir, String(kUninstKey, "InstallLocation"));
    EXPECT_EQ("\"" + strDir + "\\Uninstall.exe\"", String(kUninstKey, "UninstallString"));
    EXPECT_EQ("\"" + strDir + "\\Uninstall.exe\" /S", String(kUninstKey, "QuietUninstallString"));
    EXPECT_EQ(1u, Dword(kUninstKey, "NoModify"));
    EXPECT_EQ(1u, Dword(kUninstKey, "NoRepair"));

    ASSERT_TRUE(RunUninstaller());
    EXPECT_FALSE(Exists(strDir));
    EXPECT_FALSE(Exists(PravoDir()));
    ExpectRegistryCleared();
}

TEST_F(InstallerTest, UpgradeAndUninstallQuitTheRunningKova)
{
    // Kova ends at once without EMSC.dll: the test puts the development one in the folder
    // beforehand (the installer never ships it) and expects it to be the one file left.
    ASSERT_TRUE(::CreateDirectoryA(PravoDir().c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryA(InstallDir().c_str(), nullptr));
    ASSERT_TRUE(::CopyFileA(BinPath("EMSC.dll").c_str(), Installed("EMSC.dll").c_str(), TRUE));

    // /START: the silent install starts Kova from the install folder.
    ASSERT_EQ(0u, RunSetup("/S /START"));
    kfw::CHandle hKova = WaitForResidentKova();
    ASSERT_TRUE(hKova.IsValid()) << "Kova was not started";
    EXPECT_EQ(0, _stricmp(Installed("Kova.exe").c_str(), ImagePath(hKova.Get()).c_str()));

    // Upgrade over it: the running Kova is asked to quit, and the files are replaced.
    { std::ofstream(Installed("kovaHelp.mht"), std::ios::binary | std::ios::trunc) << "stale"; }
    ASSERT_EQ(0u, RunSetup("/S"));
    EXPECT_EQ(0u, ExitCode(hKova.Get()));
    EXPECT_EQ(ReadFile(BinPath("kovaHelp.mht")), ReadFile(Installed("kovaHelp.mht")));
    EXPECT_TRUE(ProcessesFromInstallDir().empty());
    EXPECT_EQ(KOVA_PRODUCT_VERSION, String(kVersionKey, "Version"));

    // The uninstaller quits a running Kova too, and removes only what it installed.
    CProcessGuard kova = CProcessGuard::StartPath(Installed("Kova.exe"), "", InstallDir().c_str());
    ASSERT_TRUE(kova);
    ASSERT_TRUE(WaitForResidentKova().IsValid());
    ASSERT_TRUE(RunUninstaller());
    EXPECT_EQ(0u, kova.Wait());
    EXPECT_EQ(nullptr, ::FindWindowA(kKovaClass, nullptr));
    EXPECT_TRUE(ProcessesFromInstallDir().empty());
    EXPECT_EQ(std::vector<std::string>{"EMSC.dll"}, FolderEntries(InstallDir()));
    ExpectRegistryCleared();
}

} // namespace
