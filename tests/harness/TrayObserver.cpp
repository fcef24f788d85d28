#include "harness/TrayObserver.h"

#include <commctrl.h>
#include <shellapi.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <functional>
#include <map>

#include "framework/Handles.h"
#include "support/TestSupport.h"

namespace kovatest {

namespace {

const char kMenuClass[] = "#32768";
const DWORD kSendTimeoutMs = 2000;

std::string Hex(const void* p)
{
    char sz[24];
    snprintf(sz, sizeof(sz), "0x%08lx", static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(p)));
    return sz;
}

// Memory inside another process, freed with it.
class CRemoteBuffer {
public:
    CRemoteBuffer(HANDLE hProcess, SIZE_T cb)
        : m_hProcess(hProcess),
          m_p(::VirtualAllocEx(hProcess, nullptr, cb, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE))
    {
    }
    ~CRemoteBuffer()
    {
        if (m_p)
            ::VirtualFreeEx(m_hProcess, m_p, 0, MEM_RELEASE);
    }
    CRemoteBuffer(const CRemoteBuffer&) = delete;
    CRemoteBuffer& operator=(const CRemoteBuffer&) = delete;

    BYTE* Get() const { return static_cast<BYTE*>(m_p); }
    bool Write(SIZE_T off, const void* pData, SIZE_T cb) const
    {
        SIZE_T cbDone = 0;
        return ::WriteProcessMemory(m_hProcess, Get() + off, pData, cb, &cbDone) && cbDone == cb;
    }
    bool Read(SIZE_T off, void* pData, SIZE_T cb) const
    {
        SIZE_T cbDone = 0;
        return ::ReadProcessMemory(m_hProcess, Get() + off, pData, cb, &cbDone) && cbDone == cb;
    }

private:
    HANDLE m_hProcess;
    void* m_p;
};

// One of explorer's processes, opened for reading its icon records and tool tips.
struct ExplorerProcess {
    kfw::CHandle hProcess;
    std::map<HWND, std::wstring> tips;   // icon window -> tool tip text
};

// The owner of an icon, from the record the X11 driver keeps for each icon window
// (GWLP_USERDATA points at it inside explorer). In Wine 8 the record starts
//   list entry (2 pointers), image, owner, window, layered, tooltip, state, id, callback
// The slot holding the icon window's own handle anchors the layout; the tooltip slot
// must name a tool tip window, or the record is taken for one we do not know.
void ReadOwner(HANDLE hProcess, TrayIcon& rIcon)
{
    const LONG_PTR lpRecord = ::GetWindowLongPtrA(rIcon.hWnd, GWLP_USERDATA);
    if (!lpRecord || !HasClass(rIcon.hWnd, "__winex11_tray_icon"))
        return;
    ULONG_PTR slots[10] = {};
    SIZE_T cbDone = 0;
    if (!::ReadProcessMemory(hProcess, reinterpret_cast<void*>(lpRecord), slots, sizeof(slots), &cbDone) ||
        cbDone != sizeof(slots))
        return;
    const HWND hSelf = reinterpret_cast<HWND>(slots[4]);
    const HWND hOwner = reinterpret_cast<HWND>(slots[3]);
    const HWND hTip = reinterpret_cast<HWND>(slots[6]);
    if (hSelf != rIcon.hWnd || (hTip && !HasClass(hTip, TOOLTIPS_CLASSA)))
        return;
    rIcon.bOwnerKnown = true;
    rIcon.hOwner = hOwner;
    rIcon.uID = static_cast<UINT>(slots[8]);
    rIcon.uCallbackMessage = static_cast<UINT>(slots[9]);
}

// Tool tip texts of every tool in explorer's tooltips_class32 windows whose tool is an
// icon window. The TTM_ messages carry pointers, so the records live in a buffer
// allocated inside explorer. Tools of removed icons may stay behind (their window is
// gone, or their rectangle empty): only tools on live icon windows count.
bool ReadTips(DWORD dwPid, ExplorerProcess& rExplorer, std::string& rstrError)
{
    std::vector<HWND> tooltips;
    ForEachTopLevel([&](HWND hWnd) {
        if (PidOf(hWnd) == dwPid && HasClass(hWnd, TOOLTIPS_CLASSA))
            tooltips.push_back(hWnd);
        return true;
    });
    if (tooltips.empty())
        return true;

    // comctl32 copies at most INFOTIPSIZE (1024) characters into the text buffer.
    const SIZE_T cchText = 1024;
    const SIZE_T cbBuffer = sizeof(TTTOOLINFOW) + cchText * sizeof(WCHAR);
    CRemoteBuffer remote(rExplorer.hProcess.Get(), cbBuffer);
    if (!remote.Get())
    {
        rstrError = "VirtualAllocEx in explorer failed (error " + std::to_string(::GetLastError()) + ")";
        return false;
    }
    auto* pRemoteTool = reinterpret_cast<TTTOOLINFOW*>(remote.Get());
    auto* pRemoteText = reinterpret_cast<WCHAR*>(remote.Get() + sizeof(TTTOOLINFOW));

    for (HWND hTooltip : tooltips)
    {
        DWORD_PTR dwCount = 0;
        if (!::SendMessageTimeoutW(hTooltip, TTM_GETTOOLCOUNT, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &dwCount))
            continue;
        for (DWORD_PTR i = 0; i < dwCount; ++i)
        {
            TTTOOLINFOW ti = {};
            ti.cbSize = sizeof(ti);
            DWORD_PTR dwOk = 0;
            if (!remote.Write(0, &ti, sizeof(ti)) ||
                !::SendMessageTimeoutW(hTooltip, TTM_ENUMTOOLSW, i, reinterpret_cast<LPARAM>(pRemoteTool),
                                       SMTO_ABORTIFHUNG, kSendTimeoutMs, &dwOk) ||
                !dwOk || !remote.Read(0, &ti, sizeof(ti)))
                continue;
            // The tray registers each icon as a TTF_IDISHWND tool: uId is the icon window
            // and the rectangle is unused. Otherwise the tool is a rectangle of ti.hwnd.
            const HWND hTool = (ti.uFlags & TTF_IDISHWND) ? reinterpret_cast<HWND>(ti.uId) : ti.hwnd;
            if (!::IsWindow(hTool) || !IsIconWindow(hTool))
                continue;
            if (!(ti.uFlags & TTF_IDISHWND) && ::IsRectEmpty(&ti.rect))
                continue;

            const WCHAR wcNul = 0;
            ti.lpszText = pRemoteText;
            if (!remote.Write(sizeof(TTTOOLINFOW), &wcNul, sizeof(wcNul)) || !remote.Write(0, &ti, sizeof(ti)) ||
                !::SendMessageTimeoutW(hTooltip, TTM_GETTEXTW, cchText, reinterpret_cast<LPARAM>(pRemoteTool),
                                       SMTO_ABORTIFHUNG, kSendTimeoutMs, &dwOk))
                continue;
            std::vector<WCHAR> text(cchText + 1, 0);
            if (!remote.Read(sizeof(TTTOOLINFOW), text.data(), cchText * sizeof(WCHAR)))
                continue;
            rExplorer.tips[hTool] = text.data();
        }
    }
    return true;
}

} // namespace

CIconSelector CIconSelector::ByTip(const std::wstring& strTip)
{
    CIconSelector sel;
    sel.m_kind = Kind::Tip;
    sel.m_strTip = strTip;
    return sel;
}

CIconSelector CIconSelector::ByOwner(HWND hOwner, UINT uID)
{
    CIconSelector sel;
    sel.m_kind = Kind::Owner;
    sel.m_hOwner = hOwner;
    sel.m_uID = uID;
    return sel;
}

CIconSelector CIconSelector::ByOwnerClass(const std::string& strClass, UINT uID)
{
    CIconSelector sel;
    sel.m_kind = Kind::OwnerClass;
    sel.m_strClass = strClass;
    sel.m_uID = uID;
    return sel;
}

bool CIconSelector::Parse(const std::wstring& strSpec, CIconSelector& rSel)
{
    auto splitId = [](const std::wstring& strRest, std::wstring& rstrHead, UINT& ruID) {
        const size_t pos = strRest.rfind(L',');
        if (pos == std::wstring::npos || pos == 0 || pos + 1 == strRest.size())
            return false;
        wchar_t* pEnd = nullptr;
        ruID = static_cast<UINT>(wcstoul(strRest.c_str() + pos + 1, &pEnd, 0));
        rstrHead = strRest.substr(0, pos);
        return *pEnd == L'\0';
    };
    std::wstring strHead;
    UINT uID = 0;
    if (strSpec.compare(0, 6, L"owner=") == 0)
    {
        if (!splitId(strSpec.substr(6), strHead, uID))
            return false;
        wchar_t* pEnd = nullptr;
        const unsigned long ulOwner = wcstoul(strHead.c_str(), &pEnd, 16);
        if (*pEnd != L'\0' || !ulOwner)
            return false;
        rSel = ByOwner(reinterpret_cast<HWND>(static_cast<ULONG_PTR>(ulOwner)), uID);
        return true;
    }
    if (strSpec.compare(0, 6, L"class=") == 0)
    {
        if (!splitId(strSpec.substr(6), strHead, uID))
            return false;
        rSel = ByOwnerClass(ToUtf8(strHead), uID);
        return true;
    }
    rSel = ByTip(strSpec.compare(0, 4, L"tip=") == 0 ? strSpec.substr(4) : strSpec);
    return true;
}

bool CIconSelector::Matches(const TrayIcon& icon) const
{
    switch (m_kind)
    {
    case Kind::Tip:
        return icon.bHasTip && icon.strTip == m_strTip;
    case Kind::Owner:
        return icon.bOwnerKnown && icon.hOwner == m_hOwner && icon.uID == m_uID;
    case Kind::OwnerClass:
        return icon.bOwnerKnown && icon.uID == m_uID && ::IsWindow(icon.hOwner) &&
               HasClass(icon.hOwner, m_strClass.c_str());
    }
    return false;
}

std::string CIconSelector::Describe() const
{
    switch (m_kind)
    {
    case Kind::Tip:
        return "tip \"" + ToUtf8(m_strTip) + "\"";
    case Kind::Owner:
        return "owner " + Hex(m_hOwner) + " id " + std::to_string(m_uID);
    case Kind::OwnerClass:
        return "owner class " + m_strClass + " id " + std::to_string(m_uID);
    }
    return std::string();
}

bool ListTrayIcons(std::vector<TrayIcon>& rIcons, std::string* pstrError)
{
    rIcons.clear();
    std::map<DWORD, ExplorerProcess> explorers;
    std::string strError;
    for (HWND hWnd : IconWindows())
    {
        TrayIcon icon;
        icon.hWnd = hWnd;
        icon.dwPid = PidOf(hWnd);
        icon.bVisible = ::IsWindowVisible(hWnd) != FALSE;
        ::GetWindowRect(hWnd, &icon.rc);

        auto it = explorers.find(icon.dwPid);
        if (it == explorers.end())
        {
            ExplorerProcess explorer;
            explorer.hProcess.Reset(::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE |
                                                      PROCESS_QUERY_INFORMATION,
                                                  FALSE, icon.dwPid));
            if (!explorer.hProcess)
                strError = "OpenProcess(" + std::to_string(icon.dwPid) + ") failed (error " +
                           std::to_string(::GetLastError()) + ")";
            else
                ReadTips(icon.dwPid, explorer, strError);
            it = explorers.emplace(icon.dwPid, std::move(explorer)).first;
        }
        if (it->second.hProcess)
            ReadOwner(it->second.hProcess.Get(), icon);
        const auto itTip = it->second.tips.find(hWnd);
        if (itTip != it->second.tips.end())
        {
            icon.bHasTip = true;
            icon.strTip = itTip->second;
        }
        rIcons.push_back(std::move(icon));
    }
    std::sort(rIcons.begin(), rIcons.end(), [](const TrayIcon& a, const TrayIcon& b) {
        return a.rc.top != b.rc.top ? a.rc.top < b.rc.top : a.rc.left < b.rc.left;
    });
    if (pstrError)
        *pstrError = strError;
    return strError.empty();
}

bool FindTrayIcon(const CIconSelector& sel, TrayIcon& rIcon)
{
    std::vector<TrayIcon> icons;
    ListTrayIcons(icons);
    for (TrayIcon& icon : icons)
        if (icon.bVisible && sel.Matches(icon))
        {
            rIcon = std::move(icon);
            return true;
        }
    return false;
}

bool WaitForTrayIcon(const CIconSelector& sel, DWORD dwTimeoutMs, TrayIcon* pIcon)
{
    TrayIcon icon;
    if (!PumpUntil([&] { return FindTrayIcon(sel, icon); }, dwTimeoutMs))
        return false;
    if (pIcon)
        *pIcon = std::move(icon);
    return true;
}

bool WaitForTrayIconGone(const CIconSelector& sel, DWORD dwTimeoutMs)
{
    TrayIcon icon;
    return PumpUntil([&] { return !FindTrayIcon(sel, icon); }, dwTimeoutMs);
}

std::string ToUtf8(const std::wstring& str)
{
    if (str.empty())
        return std::string();
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, str.c_str(), static_cast<int>(str.size()), nullptr, 0,
                                        nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, str.c_str(), static_cast<int>(str.size()), &out[0], n, nullptr, nullptr);
    return out;
}

const char* ColourName(COLORREF cr)
{
    const int r = GetRValue(cr), g = GetGValue(cr), b = GetBValue(cr);
    const int nMax = std::max({r, g, b}), nMin = std::min({r, g, b});
    if (nMax - nMin < 48)
        return nMax < 64 ? "black" : nMax < 200 ? "grey" : "white";
    // Hue in sixths of the circle, from the strongest channel.
    const int nDelta = nMax - nMin;
    int nHue;   // 0..359
    if (nMax == r)
        nHue = (60 * (g - b) / nDelta + 360) % 360;
    else if (nMax == g)
        nHue = 60 * (b - r) / nDelta + 120;
    else
        nHue = 60 * (r - g) / nDelta + 240;
    static const char* const s_names[] = {"red", "yellow", "green", "cyan", "blue", "magenta"};
    return s_names[((nHue + 30) / 60) % 6];
}

int PixelDigest::Count(const char* pszColour) const
{
    for (const auto& bucket : buckets)
        if (bucket.first == pszColour)
            return bucket.second;
    return 0;
}

bool SampleIconPixels(const TrayIcon& icon, PixelDigest& rDigest)
{
    // The screen, not the window: PrintWindow from another process draws nothing under
    // Wine, and the screen is what the user sees.
    // The picture only: the tray draws the small icon centred in a slightly larger window.
    const int cxWnd = icon.rc.right - icon.rc.left, cyWnd = icon.rc.bottom - icon.rc.top;
    const int cx = std::min(cxWnd, ::GetSystemMetrics(SM_CXSMICON));
    const int cy = std::min(cyWnd, ::GetSystemMetrics(SM_CYSMICON));
    if (cx <= 0 || cy <= 0)
        return false;
    const int x = icon.rc.left + (cxWnd - cx) / 2, y = icon.rc.top + (cyWnd - cy) / 2;
    kfw::CWindowDC screen(nullptr);
    kfw::CMemDC hdc(::CreateCompatibleDC(screen.Get()));
    BITMAPINFO bmi = {};
    bmi.bmiHeader.biSize = sizeof(bmi.bmiHeader);
    bmi.bmiHeader.biWidth = cx;
    bmi.bmiHeader.biHeight = -cy;   // top-down
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    bmi.bmiHeader.biCompression = BI_RGB;
    void* pvBits = nullptr;
    kfw::CBitmapH hBitmap(::CreateDIBSection(screen.Get(), &bmi, DIB_RGB_COLORS, &pvBits, nullptr, 0));
    if (!screen.Get() || !hdc || !hBitmap || !pvBits)
        return false;
    {
        kfw::CScopedSelect sel(hdc.Get(), hBitmap.Get());
        if (!::BitBlt(hdc.Get(), 0, 0, cx, cy, screen.Get(), x, y, SRCCOPY))
            return false;
    }
    ::GdiFlush();

    rDigest = PixelDigest();
    rDigest.cx = cx;
    rDigest.cy = cy;
    const auto* pBgrx = static_cast<const DWORD*>(pvBits);
    unsigned long ulHash = 2166136261ul;
    std::map<std::string, int> counts;
    for (int i = 0; i < cx * cy; ++i)
    {
        const DWORD dw = pBgrx[i];
        const BYTE r = static_cast<BYTE>(dw >> 16), g = static_cast<BYTE>(dw >> 8), b = static_cast<BYTE>(dw);
        const COLORREF cr = RGB(r, g, b);
        rDigest.pixels.push_back(cr);
        for (BYTE by : {r, g, b})
            ulHash = ((ulHash ^ by) * 16777619ul) & 0xFFFFFFFFul;
        ++counts[ColourName(cr)];
    }
    rDigest.ulHash = ulHash;
    rDigest.buckets.assign(counts.begin(), counts.end());
    std::stable_sort(rDigest.buckets.begin(), rDigest.buckets.end(),
                     [](const auto& a, const auto& b) { return a.second > b.second; });
    return true;
}

bool ClickTrayIcon(const TrayIcon& icon, ClickKind kind, ClickMethod method, std::string* pstrError)
{
    auto fail = [&](const std::string& strWhy) {
        if (pstrError)
            *pstrError = strWhy;
        return false;
    };
    if (!::IsWindow(icon.hWnd))
        return fail("icon window " + Hex(icon.hWnd) + " is gone");
    RECT rc;
    ::GetWindowRect(icon.hWnd, &rc);
    const POINT ptScreen = {(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};

    if (method == ClickMethod::Post)
    {
        // The icon window relays every mouse message it gets to the owner's callback.
        const LPARAM lPos = MAKELPARAM(ptScreen.x - rc.left, ptScreen.y - rc.top);
        struct Step { UINT uMsg; WPARAM wKeys; };
        std::vector<Step> steps;
        if (kind == ClickKind::Right)
            steps = {{WM_RBUTTONDOWN, MK_RBUTTON}, {WM_RBUTTONUP, 0}};
        else if (kind == ClickKind::Left)
            steps = {{WM_LBUTTONDOWN, MK_LBUTTON}, {WM_LBUTTONUP, 0}};
        else
            steps = {{WM_LBUTTONDOWN, MK_LBUTTON}, {WM_LBUTTONUP, 0}, {WM_LBUTTONDBLCLK, MK_LBUTTON}, {WM_LBUTTONUP, 0}};
        for (const Step& step : steps)
            if (!::PostMessageA(icon.hWnd, step.uMsg, step.wKeys, lPos))
                return fail("PostMessage to the icon failed (error " + std::to_string(::GetLastError()) + ")");
        return true;
    }

    // Real input lands on whatever window is under the point: make sure it is the icon,
    // not a menu or tool tip left over on top of it.
    const HWND hHit = ::WindowFromPoint(ptScreen);
    if (hHit != icon.hWnd)
    {
        char szClass[64] = {};
        ::GetClassNameA(hHit, szClass, sizeof(szClass));
        return fail("the icon is covered at its centre by " + Hex(hHit) + " (" + szClass + ")");
    }
    if (!MovePointer(ptScreen))
        return fail("the pointer did not get to the icon");
    std::vector<DWORD> buttons;
    if (kind == ClickKind::Right)
        buttons = {MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP};
    else
        for (int i = kind == ClickKind::Double ? 2 : 1; i > 0; --i)
            buttons.insert(buttons.end(), {MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP});
    if (!SendMouseButtons(buttons))
        return fail("SendInput failed (error " + std::to_string(::GetLastError()) + ")");
    return true;
}

bool FindPopupMenu(PopupMenu& rMenu, DWORD dwPid)
{
    PopupMenu found;
    ForEachTopLevel([&](HWND hWnd) {
        if (!::IsWindowVisible(hWnd) || !HasClass(hWnd, kMenuClass))
            return true;
        const DWORD dwOwner = PidOf(hWnd);
        if (dwPid && dwOwner != dwPid)
            return true;
        found.hWnd = hWnd;
        found.dwPid = dwOwner;
        ::GetWindowRect(hWnd, &found.rc);
        return false;
    });
    if (!found.hWnd)
        return false;
    rMenu = found;
    return true;
}

bool WaitForPopupMenu(DWORD dwTimeoutMs, PopupMenu* pMenu, DWORD dwPid)
{
    PopupMenu menu;
    if (!PumpUntil([&] { return FindPopupMenu(menu, dwPid); }, dwTimeoutMs))
        return false;
    if (pMenu)
        *pMenu = menu;
    return true;
}

bool WaitForNoPopupMenu(DWORD dwTimeoutMs, DWORD dwPid)
{
    PopupMenu menu;
    return PumpUntil([&] { return !FindPopupMenu(menu, dwPid); }, dwTimeoutMs);
}

bool PressKey(const std::string& strKey, std::string* pstrError)
{
    static const struct { const char* pszName; WORD wVk; } s_named[] = {
        {"esc", VK_ESCAPE}, {"enter", VK_RETURN}, {"up", VK_UP}, {"down", VK_DOWN},
        {"left", VK_LEFT}, {"right", VK_RIGHT}, {"space", VK_SPACE}, {"tab", VK_TAB},
    };
    WORD wVk = 0;
    for (const auto& named : s_named)
        if (lstrcmpiA(strKey.c_str(), named.pszName) == 0)
            wVk = named.wVk;
    if (!wVk && strKey.size() == 1)
    {
        const SHORT sScan = ::VkKeyScanA(strKey[0]);
        // Access keys are matched without Shift; a key that needs a modifier is refused.
        if (sScan != -1 && !(sScan & 0xFF00))
            wVk = LOBYTE(sScan);
    }
    if (!wVk)
    {
        if (pstrError)
            *pstrError = "no key for \"" + strKey + "\"";
        return false;
    }
    // Wine derives no virtual key from a scan code, and the menu finds its access key in
    // the WM_CHAR that TranslateMessage makes from the virtual key: send both.
    const WORD wScan = static_cast<WORD>(::MapVirtualKeyA(wVk, MAPVK_VK_TO_VSC));
    const bool bExtended = wVk == VK_UP || wVk == VK_DOWN || wVk == VK_LEFT || wVk == VK_RIGHT;
    INPUT inputs[2] = {};
    for (int i = 0; i < 2; ++i)
    {
        inputs[i].type = INPUT_KEYBOARD;
        inputs[i].ki.wVk = wVk;
        inputs[i].ki.wScan = wScan;
        inputs[i].ki.dwFlags = (bExtended ? KEYEVENTF_EXTENDEDKEY : 0) | (i ? KEYEVENTF_KEYUP : 0);
    }
    if (::SendInput(2, inputs, sizeof(INPUT)) != 2)
    {
        if (pstrError)
            *pstrError = "SendInput failed (error " + std::to_string(::GetLastError()) + ")";
        return false;
    }
    return true;
}

bool SimulateShellRestart(HWND hOwner, UINT uID, DWORD dwTimeoutMs, std::string* pstrError)
{
    auto fail = [&](const std::string& strWhy) {
        if (pstrError)
            *pstrError = strWhy;
        return false;
    };
    // The shell finds the icon by window and id alone, so any process can delete it.
    NOTIFYICONDATAA nid = {};
    nid.cbSize = sizeof(nid);
    nid.hWnd = hOwner;
    nid.uID = uID;
    if (!::Shell_NotifyIconA(NIM_DELETE, &nid))
        return fail("Shell_NotifyIcon(NIM_DELETE) for " + Hex(hOwner) + " id " + std::to_string(uID) +
                    " failed: no such icon");
    if (!WaitForTrayIconGone(CIconSelector::ByOwner(hOwner, uID), dwTimeoutMs))
        return fail("the icon is still shown after NIM_DELETE");
    // Wine's explorer never broadcasts "TaskbarCreated" itself. Only top-level windows
    // receive the broadcast; posting does not wait on a hung window.
    const UINT uTaskbarCreated = ::RegisterWindowMessageA("TaskbarCreated");
    if (!uTaskbarCreated || !::PostMessageA(HWND_BROADCAST, uTaskbarCreated, 0, 0))
        return fail("broadcasting TaskbarCreated failed (error " + std::to_string(::GetLastError()) + ")");
    return true;
}

} // namespace kovatest
