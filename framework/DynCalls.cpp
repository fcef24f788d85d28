#include "framework/DynCalls.h"

#include <string>

#include "framework/Handles.h"

namespace kfw {
namespace {

template <class PFN>
void Bind(HMODULE hModule, const char* pszName, PFN& rpfn)
{
    rpfn = hModule ? ProcAs<PFN>(::GetProcAddress(hModule, pszName)) : nullptr;
}

// A DLL's list, bound in hModule (null: every entry null). The DLLs not bound at start are
// mapped at their first use and kept for the process, as an import would be.
template <class TCalls, class FnBind>
TCalls BindAll(HMODULE hModule, FnBind fnBind)
{
    TCalls calls = {};
    fnBind(hModule, calls);
    return calls;
}

} // namespace

Kernel32Calls g_kernel32 = BindAll<Kernel32Calls>(::GetModuleHandleA("kernel32.dll"), [](HMODULE h, Kernel32Calls& c) {
    Bind(h, "RegisterApplicationRestart", c.pfnRegisterApplicationRestart);
    Bind(h, "GetNativeSystemInfo", c.pfnGetNativeSystemInfo);
    Bind(h, "IsWow64Process", c.pfnIsWow64Process);
    Bind(h, "LCIDToLocaleName", c.pfnLCIDToLocaleName);
    Bind(h, "SetThreadDescription", c.pfnSetThreadDescription);
});

User32Calls g_user32 = BindAll<User32Calls>(::GetModuleHandleA("user32.dll"), [](HMODULE h, User32Calls& c) {
    Bind(h, "ChangeWindowMessageFilterEx", c.pfnChangeWindowMessageFilterEx);
    Bind(h, "GetDpiForWindow", c.pfnGetDpiForWindow);
    Bind(h, "GetDpiForSystem", c.pfnGetDpiForSystem);
    Bind(h, "GetSystemMetricsForDpi", c.pfnGetSystemMetricsForDpi);
    Bind(h, "SetProcessDPIAware", c.pfnSetProcessDPIAware);
});

NtdllCalls g_ntdll = BindAll<NtdllCalls>(::GetModuleHandleA("ntdll.dll"), [](HMODULE h, NtdllCalls& c) {
    Bind(h, "RtlGetVersion", c.pfnRtlGetVersion);
});

void NameCurrentThread(PCWSTR pszName)
{
    if (const auto pfnDescribe = g_kernel32.pfnSetThreadDescription)
        pfnDescribe(::GetCurrentThread(), pszName);
}

HMODULE LoadSystemLibrary(const char* pszName)
{
    // The flag needs Windows 8, or 7 with KB2533623; without it the system folder's full path
    // does the same.
    constexpr DWORD LOAD_FROM_SYSTEM32 = 0x00000800;   // LOAD_LIBRARY_SEARCH_SYSTEM32
    if (const HMODULE hModule = ::LoadLibraryExA(pszName, nullptr, LOAD_FROM_SYSTEM32))
        return hModule;
    if (::GetLastError() != ERROR_INVALID_PARAMETER)
        return nullptr;
    char szFolder[MAX_PATH] = "";
    const UINT uLen = ::GetSystemDirectoryA(szFolder, MAX_PATH);
    if (uLen == 0 || uLen >= MAX_PATH)
        return nullptr;
    return ::LoadLibraryA((std::string(szFolder, uLen) + "\\" + pszName).c_str());
}

ShcoreCalls& Shcore()
{
    static auto s_calls = BindAll<ShcoreCalls>(LoadSystemLibrary("shcore.dll"), [](HMODULE h, ShcoreCalls& c) {
        Bind(h, "GetProcessDpiAwareness", c.pfnGetProcessDpiAwareness);
        Bind(h, "GetDpiForMonitor", c.pfnGetDpiForMonitor);
    });
    return s_calls;
}

Ole32Calls& Ole32()
{
    static auto s_calls = BindAll<Ole32Calls>(LoadSystemLibrary("ole32.dll"), [](HMODULE h, Ole32Calls& c) {
        Bind(h, "CreateStreamOnHGlobal", c.pfnCreateStreamOnHGlobal);
    });
    return s_calls;
}

ComCtl32Calls& ComCtl32()
{
    static auto s_calls = BindAll<ComCtl32Calls>(::LoadLibraryA("comctl32.dll"), [](HMODULE h, ComCtl32Calls& c) {
        Bind(h, "InitCommonControlsEx", c.pfnInitCommonControlsEx);
    });
    return s_calls;
}

DwmApiCalls& DwmApi()
{
    static auto s_calls = BindAll<DwmApiCalls>(LoadSystemLibrary("dwmapi.dll"), [](HMODULE h, DwmApiCalls& c) {
        Bind(h, MAKEINTRESOURCEA(102), c.pfnEnableComposition);
        Bind(h, "DwmSetWindowAttribute", c.pfnSetWindowAttribute);
        Bind(h, "DwmEnableBlurBehindWindow", c.pfnEnableBlurBehindWindow);
    });
    return s_calls;
}

Shell32Calls& Shell32()
{
    static auto s_calls = BindAll<Shell32Calls>(LoadSystemLibrary("shell32.dll"), [](HMODULE h, Shell32Calls& c) {
        Bind(h, "Shell_NotifyIconGetRect", c.pfnShellNotifyIconGetRect);
    });
    return s_calls;
}

} // namespace kfw
