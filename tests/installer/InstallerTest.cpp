// The installers under Wine: a silent install into Program Files with its registry entries,
// an upgrade over a running Kova, and an uninstall that leaves nothing behind. Each test
// installs into the prefix's real Program Files and the machine's registry, so the fixture
// clears both before and after, whatever the outcome.
#include <gtest/gtest.h>

#include <windows.h>
#include <msi.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "res/KovaNames.h"
#include "support/TestSupport.h"

namespace {

using kovatest::BinPath;
using kovatest::CProcessGuard;

const char kUninstKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Kova";
const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kVersionKey[] = KOVA_REG_KEY;
const char kKovaClass[] = KOVA_WINDOW_CLASS;
const char kArpRoot[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const char kUpgradeCode[] = KOVA_UPGRADE_CODE;

std::string ProgramFiles()
{
    char szPath[MAX_PATH] = {};
    return SUCCEEDED(::SHGetFolderPathA(nullptr, CSIDL_PROGRAM_FILES, nullptr, 0, szPath)) ? szPath : "";
}
std::string PublisherDir() { return ProgramFiles() + "\\" KOVA_PUBLISHER; }
std::string InstallDir() { return ProgramFiles() + "\\" KOVA_INSTALL_FOLDER; }
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

bool IsFolder(const std::string& strPath)
{
    const DWORD dw = ::GetFileAttributesA(strPath.c_str());
    return dw != INVALID_FILE_ATTRIBUTES && (dw & FILE_ATTRIBUTE_DIRECTORY);
}

// Every file below strDir by its relative path, with its contents.
std::map<std::string, std::string> Tree(const std::string& strDir, const std::string& strPrefix = "")
{
    std::map<std::string, std::string> files;
    for (const std::string& strName : FolderEntries(strDir)) {
        const std::string strPath = strDir + "\\" + strName;
        if (IsFolder(strPath))
            files.merge(Tree(strPath, strPrefix + strName + "\\"));
        else
            files[strPrefix + strName] = ReadFile(strPath);
    }
    return files;
}

void RemoveTree(const std::string& strDir)
{
    for (const std::string& strName : FolderEntries(strDir)) {
        const std::string strPath = strDir + "\\" + strName;
        if (IsFolder(strPath))
            RemoveTree(strPath);
        else
            ::DeleteFileA(strPath.c_str());
    }
    ::RemoveDirectoryA(strDir.c_str());
}

// The policy templates as built: the ADMX and one ADML per language.
void ExpectPolicyTemplates()
{
    const std::map<std::string, std::string> built = Tree(BinPath("policy"));
    EXPECT_EQ(10u, built.size());
    EXPECT_TRUE(built == Tree(Installed("policy"))) << "policy\\ as built";
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

// The file name of the program that started process dwPid; "" when gone.
std::string ParentName(DWORD dwPid)
{
    DWORD dwParent = 0;
    std::string strName;
    HANDLE hSnap = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 pe = {};
    pe.dwSize = sizeof(pe);
    for (int nPass = 0; nPass < 2; ++nPass)
        for (BOOL b = ::Process32First(hSnap, &pe); b; b = ::Process32Next(hSnap, &pe)) {
            if (nPass == 0 && pe.th32ProcessID == dwPid)
                dwParent = pe.th32ParentProcessID;
            if (nPass == 1 && dwParent && pe.th32ProcessID == dwParent)
                strName = pe.szExeFile;
        }
    ::CloseHandle(hSnap);
    return strName;
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

// Product codes of the installed Kova packages.
std::vector<std::string> MsiProducts()
{
    std::vector<std::string> codes;
    char sz[39] = {};
    while (::MsiEnumRelatedProductsA(kUpgradeCode, 0, static_cast<DWORD>(codes.size()), sz) == ERROR_SUCCESS)
        codes.push_back(sz);
    return codes;
}

// Removes whatever an installer (or a failed test) left: processes, packages, files, entries.
void Scrub()
{
    for (DWORD dwPid : ProcessesFromInstallDir()) {
        if (HANDLE h = ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, dwPid)) {
            ::TerminateProcess(h, 1);
            ::WaitForSingleObject(h, 5000);
            ::CloseHandle(h);
        }
    }
    ::MsiSetInternalUI(INSTALLUILEVEL_NONE, nullptr);
    for (const std::string& strCode : MsiProducts())
        ::MsiConfigureProductA(strCode.c_str(), INSTALLLEVEL_DEFAULT, INSTALLSTATE_ABSENT);
    RemoveTree(InstallDir());
    ::RemoveDirectoryA(PublisherDir().c_str());
    ::RegDeleteKeyA(HKEY_LOCAL_MACHINE, kVersionKey);
    ::RegDeleteKeyA(HKEY_LOCAL_MACHINE, kUninstKey);
    HKEY hKey = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRunKey, 0, KEY_SET_VALUE, &hKey) == ERROR_SUCCESS) {
        ::RegDeleteValueA(hKey, KOVA_RUN_VALUE);
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
    // Kova ends at once without EMSC.dll: a test that runs it puts the development one in the
    // folder beforehand (no installer ships it) and expects it to be the one file left.
    static void PlaceEmsc()
    {
        ::CreateDirectoryA(PublisherDir().c_str(), nullptr);
        ::CreateDirectoryA(InstallDir().c_str(), nullptr);
        ASSERT_TRUE(::CopyFileA(BinPath("EMSC.dll").c_str(), Installed("EMSC.dll").c_str(), TRUE));
    }
    static void ExpectRegistryCleared()
    {
        std::string str;
        EXPECT_FALSE(ReadString(kVersionKey, "Version", str));
        EXPECT_FALSE(KeyExists(kVersionKey));
        EXPECT_FALSE(ReadString(kRunKey, KOVA_RUN_VALUE, str));
        EXPECT_FALSE(KeyExists(kUninstKey));
    }
};

TEST_F(InstallerTest, SilentInstallPutsFilesAndEntriesInPlaceAndUninstallRemovesThem)
{
    ASSERT_EQ(0u, RunSetup("/S"));

    const std::string strDir = InstallDir();
    EXPECT_TRUE(Exists(Installed("Kova.exe")));
    EXPECT_EQ(ReadFile(BinPath(KOVA_HELP_NAME)), ReadFile(Installed(KOVA_HELP_NAME)));
    EXPECT_TRUE(Exists(Installed("Uninstall.exe")));
    EXPECT_TRUE(ReadFile(BinPath("kovactl.exe")) == ReadFile(Installed("kovactl.exe"))) << "kovactl.exe as built";
    EXPECT_FALSE(Exists(Installed("EMSC.dll"))) << "the development library must never ship";
    ExpectPolicyTemplates();
    EXPECT_EQ(5u, FolderEntries(strDir).size());
    EXPECT_TRUE(ProcessesFromInstallDir().empty()) << "silent install started Kova without /START";

    EXPECT_EQ(KOVA_PRODUCT_VERSION, String(kVersionKey, "Version"));
    EXPECT_EQ("\"" + strDir + "\\Kova.exe\"", String(kRunKey, KOVA_RUN_VALUE));
    EXPECT_EQ("Kova", String(kUninstKey, "DisplayName"));
    EXPECT_EQ(KOVA_PRODUCT_VERSION, String(kUninstKey, "DisplayVersion"));
    EXPECT_EQ(KOVA_PUBLISHER, String(kUninstKey, "Publisher"));
    EXPECT_EQ(strDir, String(kUninstKey, "InstallLocation"));
    EXPECT_EQ("\"" + strDir + "\\Uninstall.exe\"", String(kUninstKey, "UninstallString"));
    EXPECT_EQ("\"" + strDir + "\\Uninstall.exe\" /S", String(kUninstKey, "QuietUninstallString"));
    EXPECT_EQ(1u, Dword(kUninstKey, "NoModify"));
    EXPECT_EQ(1u, Dword(kUninstKey, "NoRepair"));

    ASSERT_TRUE(RunUninstaller());
    EXPECT_FALSE(Exists(strDir));
    EXPECT_FALSE(Exists(PublisherDir()));
    ExpectRegistryCleared();
}

TEST_F(InstallerTest, UpgradeAndUninstallQuitTheRunningKova)
{
    PlaceEmsc();

    // /START: the silent install has the user's shell start Kova from the install folder.
    ASSERT_EQ(0u, RunSetup("/S /START"));
    kfw::CHandle hKova = WaitForResidentKova();
    ASSERT_TRUE(hKova.IsValid()) << "Kova was not started";
    EXPECT_EQ(0, _stricmp(Installed("Kova.exe").c_str(), ImagePath(hKova.Get()).c_str()));
    EXPECT_EQ("explorer.exe", ParentName(::GetProcessId(hKova.Get())));

    // Upgrade over it: the running Kova is asked to quit, and the files are replaced.
    { std::ofstream(Installed(KOVA_HELP_NAME), std::ios::binary | std::ios::trunc) << "stale"; }
    ASSERT_EQ(0u, RunSetup("/S"));
    EXPECT_EQ(0u, ExitCode(hKova.Get()));
    EXPECT_EQ(ReadFile(BinPath(KOVA_HELP_NAME)), ReadFile(Installed(KOVA_HELP_NAME)));
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

#ifdef KOVA_MSI_NAME
class MsiTest : public InstallerTest {
protected:
    // msiexec with a package of bin/ ("/i" or "/x", then properties); its exit code.
    static DWORD Msiexec(const char* pszVerb, const char* pszPackage, const std::string& strArgs = "")
    {
        char szSystem[MAX_PATH] = {};
        ::GetSystemDirectoryA(szSystem, MAX_PATH);
        CProcessGuard msiexec = CProcessGuard::StartPath(std::string(szSystem) + "\\msiexec.exe",
            std::string(pszVerb) + " \"" + BinPath(pszPackage) + "\" /qn " + strArgs);
        return msiexec ? msiexec.Wait(60000) : ~0u;
    }
    // Exactly one Kova package, at this version, with its own uninstall entry and no NSIS one.
    static std::string ExpectOneProduct(const std::string& strVersion)
    {
        const std::vector<std::string> codes = MsiProducts();
        EXPECT_EQ(1u, codes.size());
        const std::string strArp = kArpRoot + (codes.empty() ? std::string("?") : codes[0]);
        EXPECT_EQ("Kova", String(strArp.c_str(), "DisplayName"));
        EXPECT_EQ(strVersion, String(strArp.c_str(), "DisplayVersion"));
        EXPECT_EQ(KOVA_PUBLISHER, String(strArp.c_str(), "Publisher"));
        EXPECT_EQ(InstallDir() + "\\", String(strArp.c_str(), "InstallLocation"));
        EXPECT_FALSE(KeyExists(kUninstKey));
        EXPECT_EQ(strVersion, String(kVersionKey, "Version"));
        return codes.empty() ? "" : codes[0];
    }
};

TEST_F(MsiTest, SilentInstallFollowsItsPropertiesAndUninstallRemovesEverything)
{
    // Over an NSIS installation, the package takes its files over; its uninstaller and entry go.
    const struct {
        const char* pszProps;
        bool bRunEntry, bStarts, bOverNsis;
    } cases[] = {
        {"", true, false, false},
        {"STARTATLOGON=0 START=1", false, true, false},
        {"", true, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.pszProps) + (c.bOverNsis ? " over NSIS" : ""));
        Scrub();
        if (c.bStarts)
            PlaceEmsc();
        ASSERT_EQ(0u, c.bOverNsis ? RunSetup("/S") : 0u);
        ASSERT_EQ(0u, Msiexec("/i", KOVA_MSI_NAME, c.pszProps));
        EXPECT_EQ(ReadFile(BinPath("Kova.exe")), ReadFile(Installed("Kova.exe")));
        EXPECT_EQ(ReadFile(BinPath(KOVA_HELP_NAME)), ReadFile(Installed(KOVA_HELP_NAME)));
        EXPECT_TRUE(ReadFile(BinPath("kovactl.exe")) == ReadFile(Installed("kovactl.exe"))) << "kovactl.exe as built";
        ExpectPolicyTemplates();
        EXPECT_EQ(c.bStarts ? 5u : 4u, FolderEntries(InstallDir()).size()) << "only Kova.exe, its help, kovactl and policy";
        ExpectOneProduct(KOVA_PRODUCT_VERSION);
        EXPECT_EQ(c.bRunEntry ? "\"" + Installed("Kova.exe") + "\"" : "", String(kRunKey, KOVA_RUN_VALUE));
        kfw::CHandle hKova = WaitForResidentKova(c.bStarts ? 15000 : 0);
        EXPECT_EQ(c.bStarts, hKova.IsValid());
        // Started by the user's shell, not by the installer's own process.
        EXPECT_EQ(c.bStarts ? "explorer.exe" : "", hKova ? ParentName(::GetProcessId(hKova.Get())) : "");

        // Removal, with Kova running in the second case: it is asked to quit.
        ASSERT_EQ(0u, Msiexec("/x", KOVA_MSI_NAME));
        EXPECT_EQ(c.bStarts ? 0u : ~0u, hKova ? ExitCode(hKova.Get()) : ~0u);
        EXPECT_TRUE(MsiProducts().empty());
        EXPECT_EQ(c.bStarts ? std::vector<std::string>{"EMSC.dll"} : std::vector<std::string>{},
                  FolderEntries(InstallDir()));
        EXPECT_EQ(c.bStarts, Exists(PublisherDir()));
        ExpectRegistryCleared();
    }
}

TEST_F(MsiTest, UpgradeQuitsTheRunningKovaAndTheSameVersionIsRefused)
{
    PlaceEmsc();
    ASSERT_EQ(0u, Msiexec("/i", "test-msi\\Kova-0.9.0.1.msi", "START=1"));
    kfw::CHandle hKova = WaitForResidentKova();
    ASSERT_TRUE(hKova.IsValid());
    EXPECT_EQ("the help of 0.9.0.1", ReadFile(Installed(KOVA_HELP_NAME)));

    char szLog[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, szLog);
    const std::string strLog = std::string(szLog) + "kova-upgrade.log";
    ::DeleteFileA(strLog.c_str());
    ASSERT_EQ(0u, Msiexec("/i", KOVA_MSI_NAME, "/l*v \"" + strLog + "\""));
    EXPECT_EQ(0u, ExitCode(hKova.Get()));
    EXPECT_NE(std::string::npos, ReadFile(strLog).find("CloseRunningKova: Kova quit when asked"));
    ::DeleteFileA(strLog.c_str());
    EXPECT_TRUE(ProcessesFromInstallDir().empty());
    EXPECT_EQ(ReadFile(BinPath(KOVA_HELP_NAME)), ReadFile(Installed(KOVA_HELP_NAME)));
    const std::string strProduct = ExpectOneProduct(KOVA_PRODUCT_VERSION);

    // The same version under another product code, and an older one: both refused.
    EXPECT_NE(0u, Msiexec("/i", "test-msi\\Kova-" KOVA_PRODUCT_VERSION ".msi"));
    EXPECT_NE(0u, Msiexec("/i", "test-msi\\Kova-0.9.0.1.msi"));
    EXPECT_EQ(strProduct, ExpectOneProduct(KOVA_PRODUCT_VERSION));
}
TEST_F(MsiTest, StartAtLogonIsRememberedAcrossUpgradesUnlessGivenAgain)
{
    const struct {
        const char *pszFirst, *pszUpgrade;
        bool bRunEntry;
    } cases[] = {
        {"STARTATLOGON=0", "", false},
        {"STARTATLOGON=0", "STARTATLOGON=1", true},
        {"", "STARTATLOGON=0", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.pszFirst) + " then " + c.pszUpgrade);
        Scrub();
        ASSERT_EQ(0u, Msiexec("/i", "test-msi\\Kova-0.9.0.1.msi", c.pszFirst));
        ASSERT_EQ(0u, Msiexec("/i", KOVA_MSI_NAME, c.pszUpgrade));
        ExpectOneProduct(KOVA_PRODUCT_VERSION);
        EXPECT_EQ(c.bRunEntry ? "\"" + Installed("Kova.exe") + "\"" : "", String(kRunKey, KOVA_RUN_VALUE));
    }
}
#endif

} // namespace
