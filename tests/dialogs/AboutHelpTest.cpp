// The About box's version line and the help launcher's shell request.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "dialogs/AboutDlg.h"
#include "dialogs/HelpLauncher.h"
#include "framework/LinkedCalls.h"
#include "res/KovaNames.h"
#include "res/resource.h"
#include "support/Seam.h"
#include "support/TraceCapture.h"

namespace {

// Reads the line once the box is up, then closes it.
class CProbeAboutDlg : public CAboutDlg {
public:
    std::string m_strLine;
    BOOL OnInitDialog() override
    {
        const BOOL bResult = CAboutDlg::OnInitDialog();
        char sz[128] = "";
        ::GetDlgItemTextA(m_hWnd, IDC_ABOUT_VERSION, sz, sizeof sz);
        m_strLine = sz;
        EndDialog(IDOK);
        return bResult;
    }
};

void SetVersion(const char* pszValue)
{
    HKEY hKey = nullptr;
    ASSERT_EQ(::RegCreateKeyA(HKEY_LOCAL_MACHINE, KOVA_REG_KEY, &hKey), ERROR_SUCCESS);
    if (pszValue)
        ::RegSetValueExA(hKey, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(pszValue),
                         static_cast<DWORD>(strlen(pszValue) + 1));
    else
        ::RegDeleteValueA(hKey, "Version");
    ::RegCloseKey(hKey);
}

struct ShellRequest {
    std::string strVerb, strFile;
    INT nShow;
};
std::vector<ShellRequest> g_requests;
HRESULT g_hrFolder = S_OK;

HRESULT WINAPI FakeGetFolderPath(HWND, int nFolder, HANDLE, DWORD, LPSTR pszPath)
{
    if (FAILED(g_hrFolder))
        return g_hrFolder;
    strcpy(pszPath, nFolder == CSIDL_PROGRAM_FILES ? "C:\\Program Files" : "wrong folder");
    return S_OK;
}

HINSTANCE WINAPI FakeShellExecute(HWND, LPCSTR pszVerb, LPCSTR pszFile, LPCSTR, LPCSTR, INT nShow)
{
    g_requests.push_back({ pszVerb ? pszVerb : "", pszFile ? pszFile : "", nShow });
    return reinterpret_cast<HINSTANCE>(2);   // "file not found": ignored
}

} // namespace

TEST(AboutBox, VersionLineShowsTheInstalledVersionWhole)
{
    const struct { const char* pszValue; const char* pszLine; } rows[] = {
        { "1234567890123456789", "Kova Ver 1234567890123456789" },
        { "1.0.0.1", "Kova Ver 1.0.0.1" },
        { nullptr, "Kova Ver " },
    };
    for (const auto& row : rows)
    {
        SetVersion(row.pszValue);
        CProbeAboutDlg dlg;
        EXPECT_EQ(dlg.DoModal(), IDOK);
        EXPECT_EQ(dlg.m_strLine, row.pszLine);
    }
    ::RegDeleteKeyA(HKEY_LOCAL_MACHINE, KOVA_REG_KEY);
}

TEST(HelpLauncher, OpensTheDocumentUnderProgramFilesOrNothing)
{
    const kovatest::CSeam folder(kfw::g_linked.pfnSHGetFolderPathA, &FakeGetFolderPath);
    const kovatest::CSeam exec(kfw::g_linked.pfnShellExecuteA, &FakeShellExecute);
    kovatest::CTraceCapture trace;

    OpenHelpFile();
    ASSERT_EQ(g_requests.size(), 1u);
    EXPECT_EQ(g_requests[0].strVerb, "open");
    EXPECT_EQ(g_requests[0].strFile, "C:\\Program Files\\" KOVA_INSTALL_FOLDER "\\" KOVA_HELP_NAME);
    EXPECT_EQ(g_requests[0].nShow, SW_SHOWNORMAL);

    g_hrFolder = E_FAIL;
    OpenHelpFile();
    ASSERT_EQ(g_requests.size(), 2u);
    EXPECT_EQ(g_requests[1].strFile, "");
    EXPECT_EQ(trace.Lines(), std::vector<std::string>{ "Can't get program files folder path!" });
}

TEST(HelpLauncher, RealFolderLookUpNamesTheWinePrefixsProgramFiles)
{
    {
        const kovatest::CSeam exec(kfw::g_linked.pfnShellExecuteA, &FakeShellExecute);
        g_requests.clear();
        OpenHelpFile();
    }
    ASSERT_EQ(g_requests.size(), 1u);
    EXPECT_EQ(g_requests[0].strFile, "C:\\Program Files\\" KOVA_INSTALL_FOLDER "\\" KOVA_HELP_NAME);
}
