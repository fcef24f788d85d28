#include "radio/EmscLoader.h"

#include <string>

// A library is taken only from the program's own folder or the system folders, never from
// the current directory or PATH, where anyone could plant one.
HMODULE LoadEmscFromTrustedFolders()
{
    std::string folders[3];
    char szPath[MAX_PATH] = "";
    DWORD dwLen = ::GetModuleFileNameA(nullptr, szPath, MAX_PATH);
    if (dwLen > 0 && dwLen < MAX_PATH)
    {
        std::string strExe(szPath, dwLen);
        folders[0] = strExe.substr(0, strExe.find_last_of("\\/") + 1);
    }
    UINT uLen = ::GetSystemDirectoryA(szPath, MAX_PATH);
    if (uLen > 0 && uLen < MAX_PATH)
        folders[1] = std::string(szPath, uLen) + "\\";
    uLen = ::GetWindowsDirectoryA(szPath, MAX_PATH);
    if (uLen > 0 && uLen < MAX_PATH)
        folders[2] = std::string(szPath, uLen) + "\\";

    for (const std::string& strFolder : folders)
    {
        if (strFolder.empty())
            continue;
        const std::string strDll = strFolder + "EMSC.dll";
        if (::GetFileAttributesA(strDll.c_str()) == INVALID_FILE_ATTRIBUTES)
            continue;
        // The library's own dependencies are looked for beside it first.
        if (HMODULE hModule = ::LoadLibraryExA(strDll.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH))
            return hModule;
    }
    return nullptr;
}
