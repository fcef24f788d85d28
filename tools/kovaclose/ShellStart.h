// Starting Kova as the interactive user, whoever runs the installer.
#pragma once

#include <windows.h>

#include <string>

namespace kovastart {

// Has the interactive user's shell start a program: S_OK when it did, S_FALSE when no shell
// is reachable (no user logged on to this session), else the failing step's HRESULT.
using PFN_SHELL_START = HRESULT (*)(const std::wstring& strProgram, const std::wstring& strDir);

// The desktop shell window's ShellExecute, which runs in explorer's process.
HRESULT ShellStartFromDesktop(const std::wstring& strProgram, const std::wstring& strDir);

struct CStartResult {
    bool bStarted;
    std::wstring strLog;   // one line for the installer's log
};

// Starts the Kova.exe of strDir through pfnShellStart, never with the caller's own token.
CStartResult StartKovaAsUser(const std::wstring& strDir, PFN_SHELL_START pfnShellStart = ShellStartFromDesktop);

} // namespace kovastart
