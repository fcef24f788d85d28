#include "radio/EmscLoader.h"

// A library is taken only from the program's own folder or the system folders, never from
// the current directory or PATH, where anyone could plant one.
std::vector<EmscCandidate> EmscCandidates(const std::string& strProgramFolder)
{
    std::vector<EmscCandidate> candidates;
    char szPath[MAX_PATH] = "";
    DWORD dwLen = ::GetModuleFileNameA(nullptr, szPath, MAX_PATH);
    if (!strProgramFolder.empty())
        candidates.push_back({strProgramFolder + "EMSC.dll", "program folder"});
    else if (dwLen > 0 && dwLen < MAX_PATH)
    {
        std::string strExe(szPath, dwLen);
        candidates.push_back({strExe.substr(0, strExe.find_last_of("\\/") + 1) + "EMSC.dll", "program folder"});
    }
    UINT uLen = ::GetSystemDirectoryA(szPath, MAX_PATH);
    if (uLen > 0 && uLen < MAX_PATH)
        candidates.push_back({std::string(szPath, uLen) + "\\EMSC.dll", "System32"});
    uLen = ::GetWindowsDirectoryA(szPath, MAX_PATH);
    if (uLen > 0 && uLen < MAX_PATH)
        candidates.push_back({std::string(szPath, uLen) + "\\EMSC.dll", "Windows folder"});
    return candidates;
}

HMODULE LoadEmscFromTrustedFolders(size_t* pnIndex, const std::string& strProgramFolder)
{
    const std::vector<EmscCandidate> candidates = EmscCandidates(strProgramFolder);
    for (size_t i = 0; i < candidates.size(); ++i)
    {
        const char* pszDll = candidates[i].strPath.c_str();
        if (::GetFileAttributesA(pszDll) == INVALID_FILE_ATTRIBUTES)
            continue;
        // The library's own dependencies are looked for beside it first.
        if (HMODULE hModule = ::LoadLibraryExA(pszDll, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH))
        {
            if (pnIndex)
                *pnIndex = i;
            return hModule;
        }
    }
    return nullptr;
}
