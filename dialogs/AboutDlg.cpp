#include "dialogs/AboutDlg.h"

#include <string>

#include "dialogs/VersionString.h"
#include "res/resource.h"

CAboutDlg::CAboutDlg() : CDialog(IDD_ABOUTBOX)
{
}

CAboutDlg::~CAboutDlg() = default;

BOOL CAboutDlg::OnInitDialog()
{
    CDialog::OnInitDialog();

    wchar_t szText[64] = L"";
    ::GetDlgItemTextW(m_hWnd, IDC_ABOUT_VERSION, szText, 64);
    std::string strVersion;
    ReadVersionString(strVersion);
    // The version is digits and dots: each widens as it is.
    const std::wstring strLine = szText + std::wstring(strVersion.begin(), strVersion.end());
    ::SetDlgItemTextW(m_hWnd, IDC_ABOUT_VERSION, strLine.c_str());
    return TRUE;
}
