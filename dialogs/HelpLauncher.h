// Opens the help document with the shell's viewer for it.
#pragma once

#include <windows.h>

// The shell calls, replaceable by tests.
using PFN_SHGETFOLDERPATHA = HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, LPSTR);
using PFN_SHELLEXECUTEA = HINSTANCE(WINAPI*)(HWND, LPCSTR, LPCSTR, LPCSTR, LPCSTR, INT);
extern PFN_SHGETFOLDERPATHA g_pfnSHGetFolderPath;
extern PFN_SHELLEXECUTEA g_pfnShellExecute;

// "<program files>\Pravo\Kova\kovaHelp.mht", opened with the verb "open". Failures
// are not reported to the user.
void OpenHelpFile();
