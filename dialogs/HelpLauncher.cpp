#include "dialogs/HelpLauncher.h"

#include <shlobj.h>
#include <shellapi.h>

#include <string>

#include "framework/Trace.h"
#include "res/KovaNames.h"

PFN_SHGETFOLDERPATHA g_pfnSHGetFolderPath = &::SHGetFolderPathA;
PFN_SHELLEXECUTEA g_pfnShellExecute = &::ShellExecuteA;

void OpenHelpFile()
{
    std::string strPath;
    char szFolder[MAX_PATH] = "";
    const HRESULT hr = g_pfnSHGetFolderPath(nullptr, CSIDL_PROGRAM_FILES, nullptr, SHGFP_TYPE_CURRENT, szFolder);
    if (FAILED(hr))
    {
        kfw::TraceLine("Can't get program files folder path!");
    }
    else
    {
        szFolder[MAX_PATH - 1] = '\0';
        strPath = std::string(szFolder) + "\\" KOVA_INSTALL_FOLDER "\\" KOVA_HELP_NAME;
    }
    // A missing document (or an empty path) just does nothing.
    g_pfnShellExecute(nullptr, "open", strPath.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}
