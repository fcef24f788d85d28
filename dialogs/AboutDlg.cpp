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

    char szText[64] = "";
    ::GetDlgItemTextA(m_hWnd, IDC_ABOUT_VERSION, szText, sizeof szText);
    std::string strVersion;
    ReadVersionString(strVersion);
    const std::string strLine = szText + strVersion;
    ::SetDlgItemTextA(m_hWnd, IDC_ABOUT_VERSION, strLine.c_str());
    return TRUE;
}
