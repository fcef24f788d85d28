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

} // namespace

Kernel32Calls g_kernel32 = [] {
    Kernel32Calls calls = {};
    const HMODULE hModule = ::GetModuleHandleA("kernel32.dll");
    Bind(hModule, "RegisterApplicationRestart", calls.pfnRegisterApplicationRestart);
    Bind(hModule, "GetNativeSystemInfo", calls.pfnGetNativeSystemInfo);
    Bind(hModule, "IsWow64Process", calls.pfnIsWow64Process);
    Bind(hModule, "LCIDToLocaleName", calls.pfnLCIDToLocaleName);
    return calls;
}();

User32Calls g_user32 = [] {
    User32Calls calls = {};
    const HMODULE hModule = ::GetModuleHandleA("user32.dll");
    Bind(hModule, "ChangeWindowMessageFilterEx", calls.pfnChangeWindowMessageFilterEx);
    Bind(hModule, "GetDpiForWindow", calls.pfnGetDpiForWindow);
    Bind(hModule, "GetDpiForSystem", calls.pfnGetDpiForSystem);
    Bind(hModule, "GetSystemMetricsForDpi", calls.pfnGetSystemMetricsForDpi);
    Bind(hModule, "SetProcessDPIAware", calls.pfnSetProcessDPIAware);
    return calls;
}();

NtdllCalls g_ntdll = [] {
    NtdllCalls calls = {};
    Bind(::GetModuleHandleA("ntdll.dll"), "RtlGetVersion", calls.pfnRtlGetVersion);
    return calls;
}();

const ShcoreCalls& Shcore()
{
    static const ShcoreCalls s_calls = [] {
        ShcoreCalls calls = {};
        const HMODULE hModule = ::LoadLibraryA("shcore.dll");
        Bind(hModule, "GetProcessDpiAwareness", calls.pfnGetProcessDpiAwareness);
        Bind(hModule, "GetDpiForMonitor", calls.pfnGetDpiForMonitor);
        return calls;
    }();
    return s_calls;
}

const Ole32Calls& Ole32()
{
    static const Ole32Calls s_calls = [] {
        Ole32Calls calls = {};
        Bind(::LoadLibraryA("ole32.dll"), "CreateStreamOnHGlobal", calls.pfnCreateStreamOnHGlobal);
        return calls;
    }();
    return s_calls;
}

const ComCtl32Calls& ComCtl32()
{
    static const ComCtl32Calls s_calls = [] {
        ComCtl32Calls calls = {};
        Bind(::LoadLibraryA("comctl32.dll"), "InitCommonControlsEx", calls.pfnInitCommonControlsEx);
        return calls;
    }();
    return s_calls;
}

const DwmApiCalls& DwmApi()
{
    static const DwmApiCalls s_calls = [] {
        DwmApiCalls calls = {};
        const HMODULE hModule = ::LoadLibraryA("dwmapi.dll");
        Bind(hModule, MAKEINTRESOURCEA(102), calls.pfnEnableComposition);
        Bind(hModule, "DwmSetWindowAttribute", calls.pfnSetWindowAttribute);
        Bind(hModule, "DwmEnableBlurBehindWindow", calls.pfnEnableBlurBehindWindow);
        return calls;
    }();
    return s_calls;
}

const Shell32Calls& Shell32()
{
    static const Shell32Calls s_calls = [] {
        Shell32Calls calls = {};
        char szFolder[MAX_PATH] = "";
        const UINT uLen = ::GetSystemDirectoryA(szFolder, MAX_PATH);
        if (uLen > 0 && uLen < MAX_PATH)
            Bind(::LoadLibraryA((std::string(szFolder, uLen) + "\\shell32.dll").c_str()), "Shell_NotifyIconGetRect",
                 calls.pfnShellNotifyIconGetRect);
        return calls;
    }();
    return s_calls;
}

} // namespace kfw
