// Finding EMSC.dll where only the program's owner or the system could have put it.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// One place EMSC.dll is looked for: the full path, and the folder named for people.
struct EmscCandidate {
    std::string strPath;
    const char* pszFolder;   // "program folder", "System32" or "Windows folder"
};

// The program's own folder, System32 and the Windows folder, in the order they are tried;
// a folder whose path cannot be had is left out. strProgramFolder (with its trailing
// backslash) stands for the program's folder when given: a tool reporting on Kova looks
// where Kova looks.
std::vector<EmscCandidate> EmscCandidates(const std::string& strProgramFolder = std::string());

// Loads EMSC.dll by full path from the first candidate that exists and loads; never from
// the current directory or PATH. Null when none loads; pnIndex, when given, receives the
// index in EmscCandidates() of the one loaded.
HMODULE LoadEmscFromTrustedFolders(size_t* pnIndex = nullptr, const std::string& strProgramFolder = std::string());
