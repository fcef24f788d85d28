// Windows functions the program links as imports and tests replace: one entry each, bound to
// the real function. The optional functions, bound at run time, are in DynCalls.h; tests
// replace entries of both the same way. A fake must behave as the function it stands for.
#pragma once

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>
#include <shellapi.h>

namespace kfw {

struct LinkedCalls {
    // user32. A fake hook must hook for real, as Windows would.
    HHOOK(WINAPI* pfnSetWindowsHookExA)(int idHook, HOOKPROC lpfn, HINSTANCE hMod, DWORD dwThreadId);
    HMONITOR(WINAPI* pfnMonitorFromWindow)(HWND hWnd, DWORD dwFlags);
    int(WINAPI* pfnGetSystemMetrics)(int nIndex);
    BOOL(WINAPI* pfnSystemParametersInfoW)(UINT uiAction, UINT uiParam, PVOID pvParam, UINT fWinIni);
    // gdi32
    HRGN(WINAPI* pfnExtCreateRegion)(const XFORM* lpx, DWORD nCount, const RGNDATA* lpData);
    // kernel32
    BOOL(WINAPI* pfnGetVersionExA)(LPOSVERSIONINFOA lpVersionInformation);
    HGLOBAL(WINAPI* pfnGlobalAlloc)(UINT uFlags, SIZE_T dwBytes);
    // advapi32
    LSTATUS(WINAPI* pfnRegGetValueA)(HKEY hKey, LPCSTR lpSubKey, LPCSTR lpValue, DWORD dwFlags, LPDWORD pdwType,
                                     PVOID pvData, LPDWORD pcbData);
    // shell32
    BOOL(WINAPI* pfnShellNotifyIconW)(DWORD dwMessage, PNOTIFYICONDATAW lpData);
    HRESULT(WINAPI* pfnSHGetFolderPathA)(HWND hWnd, int nFolder, HANDLE hToken, DWORD dwFlags, LPSTR pszPath);
    HINSTANCE(WINAPI* pfnShellExecuteA)(HWND hWnd, LPCSTR lpOperation, LPCSTR lpFile, LPCSTR lpParameters,
                                        LPCSTR lpDirectory, INT nShowCmd);
    // wtsapi32
    BOOL(WINAPI* pfnWTSRegisterSessionNotification)(HWND hWnd, DWORD dwFlags);
    // gdiplus, loaded at its first call
    Gdiplus::GpStatus(WINAPI* pfnGdiplusStartup)(ULONG_PTR* pToken, const Gdiplus::GdiplusStartupInput* pInput,
                                                 Gdiplus::GdiplusStartupOutput* pOutput);
};
extern LinkedCalls g_linked;

} // namespace kfw
