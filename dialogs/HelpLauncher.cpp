#include "dialogs/HelpLauncher.h"

#include <shlobj.h>
#include <shellapi.h>

#include <string>

#include "framework/LinkedCalls.h"
#include "framework/Trace.h"
#include "res/KovaNames.h"


void OpenHelpFile()
{
    std::string strPath;
    char szFolder[MAX_PATH] = "";
    const HRESULT hr = kfw::g_linked.pfnSHGetFolderPathA(nullptr, CSIDL_PROGRAM_FILES, nullptr, SHGFP_TYPE_CURRENT, szFolder);
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
    kfw::g_linked.pfnShellExecuteA(nullptr, "open", strPath.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}
