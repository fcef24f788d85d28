#include "framework/LinkedCalls.h"

#include <shlobj.h>
#include <wtsapi32.h>

namespace kfw {
namespace {

// Called, not only pointed to: GNU ld keeps a delay-loaded function's stub only for a call.
Gdiplus::GpStatus WINAPI GdiplusStartupCall(ULONG_PTR* pToken, const Gdiplus::GdiplusStartupInput* pInput,
                                            Gdiplus::GdiplusStartupOutput* pOutput)
{
    return Gdiplus::GdiplusStartup(pToken, pInput, pOutput);
}

} // namespace

LinkedCalls g_linked = {
    &::SetWindowsHookExA,
    &::MonitorFromWindow,
    &::GetSystemMetrics,
    &::SystemParametersInfoW,
    &::ExtCreateRegion,
    &::GetVersionExA,
    &::GlobalAlloc,
    &::RegGetValueA,
    &::Shell_NotifyIconW,
    &::SHGetFolderPathA,
    &::ShellExecuteA,
    &::WTSRegisterSessionNotification,
    &GdiplusStartupCall,
};

} // namespace kfw
