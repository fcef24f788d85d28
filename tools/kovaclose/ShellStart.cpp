// An installer runs elevated, or as SYSTEM in session 0 under a management tool. A Kova it
// started itself would inherit that token: the shell's tray callbacks would not reach it, and
// its named objects would carry a default DACL the user's "Kova.exe Close" and kovactl cannot
// open. So Kova is started by the user's own explorer, through the desktop shell window's
// IShellDispatch2::ShellExecute, or not at all.
#include "ShellStart.h"

#include <exdisp.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shlobj.h>
#include <servprov.h>

#include <cwchar>

#include "framework/Handles.h"

namespace kovastart {

namespace {

class CComInit {
public:
    CComInit() noexcept : m_hr(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~CComInit() { if (SUCCEEDED(m_hr)) ::CoUninitialize(); }
    CComInit(const CComInit&) = delete;
    CComInit& operator=(const CComInit&) = delete;
private:
    HRESULT m_hr;
};

class CVariant {
public:
    CVariant() noexcept : m_v{} { ::VariantInit(&m_v); }
    explicit CVariant(const std::wstring& str) noexcept : CVariant()
    {
        m_v.vt = VT_BSTR;
        m_v.bstrVal = ::SysAllocString(str.c_str());
    }
    explicit CVariant(LONG n) noexcept : CVariant()
    {
        m_v.vt = VT_I4;
        m_v.lVal = n;
    }
    ~CVariant() { ::VariantClear(&m_v); }
    CVariant(const CVariant&) = delete;
    CVariant& operator=(const CVariant&) = delete;
    VARIANT& Get() noexcept { return m_v; }
private:
    VARIANT m_v;
};

template <class T, class U>
HRESULT QueryAs(const kfw::CComPtr<U>& p, kfw::CComPtr<T>& rOut)
{
    return p->QueryInterface(__uuidof(T), reinterpret_cast<void**>(rOut.Put()));
}

} // namespace

HRESULT ShellStartFromDesktop(const std::wstring& strProgram, const std::wstring& strDir)
{
    const CComInit com;
    // Explorer registers ShellWindows in the user's session; no explorer, no user to start for.
    kfw::CComPtr<IShellWindows> pWindows;
    if (FAILED(::CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, __uuidof(IShellWindows),
                                  reinterpret_cast<void**>(pWindows.Put()))))
        return S_FALSE;
    CVariant vLocation(LONG(CSIDL_DESKTOP));
    CVariant vEmpty;
    long hWnd = 0;
    kfw::CComPtr<IDispatch> pDesktop;
    HRESULT hr = pWindows->FindWindowSW(&vLocation.Get(), &vEmpty.Get(), SWC_DESKTOP, &hWnd, SWFO_NEEDDISPATCH,
                                        pDesktop.Put());
    if (hr != S_OK || !pDesktop)
        return S_FALSE;

    kfw::CComPtr<IServiceProvider> pService;
    if (FAILED(hr = QueryAs(pDesktop, pService)))
        return hr;
    kfw::CComPtr<IShellBrowser> pBrowser;
    if (FAILED(hr = pService->QueryService(SID_STopLevelBrowser, __uuidof(IShellBrowser),
                                           reinterpret_cast<void**>(pBrowser.Put()))))
        return hr;
    kfw::CComPtr<IShellView> pView;
    if (FAILED(hr = pBrowser->QueryActiveShellView(pView.Put())))
        return hr;
    kfw::CComPtr<IDispatch> pBackground;
    if (FAILED(hr = pView->GetItemObject(SVGIO_BACKGROUND, __uuidof(IDispatch),
                                         reinterpret_cast<void**>(pBackground.Put()))))
        return hr;
    kfw::CComPtr<IShellFolderViewDual> pFolderView;
    if (FAILED(hr = QueryAs(pBackground, pFolderView)))
        return hr;
    kfw::CComPtr<IDispatch> pApplication;
    if (FAILED(hr = pFolderView->get_Application(pApplication.Put())))
        return hr;
    kfw::CComPtr<IShellDispatch2> pShell;
    if (FAILED(hr = QueryAs(pApplication, pShell)))
        return hr;

    CVariant vFile(strProgram);
    CVariant vArgs(std::wstring(L""));
    CVariant vDir(strDir);
    CVariant vVerb(std::wstring(L"open"));
    CVariant vShow(LONG(SW_SHOWNORMAL));
    hr = pShell->ShellExecute(vFile.Get().bstrVal, vArgs.Get(), vDir.Get(), vVerb.Get(), vShow.Get());
    // The S_FALSE of a reached shell is not "no shell".
    return hr == S_FALSE ? E_FAIL : hr;
}

CStartResult StartKovaAsUser(const std::wstring& strDir, PFN_SHELL_START pfnShellStart)
{
    const std::wstring strProgram = strDir + (strDir.empty() || strDir.back() == L'\\' ? L"" : L"\\") + L"Kova.exe";
    if (strDir.empty() || ::GetFileAttributesW(strProgram.c_str()) == INVALID_FILE_ATTRIBUTES)
        return {false, L"no Kova.exe to start in \"" + strDir + L"\""};
    const HRESULT hr = pfnShellStart(strProgram, strDir);
    if (hr == S_OK)
        return {true, L"Kova started through the interactive user's shell"};
    if (hr == S_FALSE)
        return {false, L"no interactive user's shell: Kova not started"};
    // Never a fallback to starting it ourselves: that is the token Kova must not have.
    WCHAR szHr[16] = {};
    std::swprintf(szHr, 16, L"0x%08lX", static_cast<unsigned long>(hr));
    return {false, L"the shell did not start Kova (" + std::wstring(szHr) + L"): Kova not started"};
}

} // namespace kovastart
