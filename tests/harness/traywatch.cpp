// traywatch: looks at the notification area and drives it as a user would, for end-to-end
// tests written as scripts. One command per run; results as "key=value" lines on stdout,
// errors on stderr. Exit code 0 done, 1 timed out / not found, 2 bad arguments, 3 failed.
//
// ICON is a tip text, "tip=TEXT", "owner=HWND,ID" (hex handle) or "class=OWNERCLASS,ID".
//
//   list                                   every icon, left to right
//   count                                  count=N
//   wait-icon ICON [TIMEOUT_MS]            until the icon is shown; prints it
//   wait-tip TEXT [TIMEOUT_MS]             until an icon has exactly this tip
//   wait-gone ICON [TIMEOUT_MS]            until no icon matches
//   pixels ICON [grid]                     digest of the icon's picture on the screen
//   click ICON left|right|double [input|post]
//   menu-wait [TIMEOUT_MS]                 until a pop-up menu is shown
//   menu-choose KEY [TIMEOUT_MS]           waits for a menu, presses KEY (an access key,
//                                          esc, enter, up, down...), waits until it closes
//   simulate-shell-restart HWND ID [TIMEOUT_MS]
//   find-window CLASS [TIMEOUT_MS]         a top-level window of the class
//   wait-exit PID [TIMEOUT_MS]             until the process ends; prints its exit code
//
// Icon line: icon hwnd=0x... rect=L,T,R,B pid=N owner=0x...|? id=N|? callback=0x...|? tip=TEXT
// (the tip runs to the end of the line; backslash, tab and line breaks escaped as \\ \t \n \r).
#include <windows.h>
#include <shellapi.h>

#include <stdio.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "harness/TrayObserver.h"
#include "support/TestSupport.h"

using namespace kovatest;

namespace {

enum { kDone = 0, kTimedOut = 1, kUsage = 2, kFailed = 3 };
const DWORD kDefaultTimeoutMs = 5000;

std::string Escape(const std::string& str)
{
    std::string out;
    for (char c : str)
    {
        switch (c)
        {
        case '\\': out += "\\\\"; break;
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        default: out += c;
        }
    }
    return out;
}

int Usage(const std::string& strWhy)
{
    fprintf(stderr, "traywatch: %s\n", strWhy.c_str());
    return kUsage;
}

int Failed(const std::string& strWhy)
{
    fprintf(stderr, "traywatch: %s\n", strWhy.c_str());
    return kFailed;
}

int TimedOut(const std::string& strWhat)
{
    fprintf(stderr, "traywatch: timed out: %s\n", strWhat.c_str());
    return kTimedOut;
}

bool ParseNumber(const std::wstring& str, unsigned long& rValue, int nBase = 0)
{
    wchar_t* pEnd = nullptr;
    rValue = wcstoul(str.c_str(), &pEnd, nBase);
    return !str.empty() && *pEnd == L'\0';
}

// The optional time-out at args[nIndex].
bool TimeoutArg(const std::vector<std::wstring>& args, size_t nIndex, DWORD& rdwTimeout)
{
    rdwTimeout = kDefaultTimeoutMs;
    if (args.size() <= nIndex)
        return true;
    unsigned long ul = 0;
    if (!ParseNumber(args[nIndex], ul))
        return false;
    rdwTimeout = ul;
    return true;
}

void PrintIcon(const TrayIcon& icon)
{
    printf("icon hwnd=0x%08lx rect=%ld,%ld,%ld,%ld pid=%lu ", static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(icon.hWnd)),
           icon.rc.left, icon.rc.top, icon.rc.right, icon.rc.bottom, icon.dwPid);
    if (icon.bOwnerKnown)
        printf("owner=0x%08lx id=%u callback=0x%x ", static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(icon.hOwner)),
               icon.uID, icon.uCallbackMessage);
    else
        printf("owner=? id=? callback=? ");
    printf("tip=%s\n", Escape(ToUtf8(icon.strTip)).c_str());
}

int ListCmd()
{
    std::vector<TrayIcon> icons;
    std::string strError;
    const bool bOk = ListTrayIcons(icons, &strError);
    for (const TrayIcon& icon : icons)
        if (icon.bVisible)
            PrintIcon(icon);
    return bOk ? kDone : Failed(strError);
}

int CountCmd()
{
    std::vector<TrayIcon> icons;
    std::string strError;
    if (!ListTrayIcons(icons, &strError))
        return Failed(strError);
    int nShown = 0;
    for (const TrayIcon& icon : icons)
        nShown += icon.bVisible ? 1 : 0;
    printf("count=%d\n", nShown);
    return kDone;
}

bool SelectorArg(const std::vector<std::wstring>& args, size_t nIndex, CIconSelector& rSel)
{
    return args.size() > nIndex && CIconSelector::Parse(args[nIndex], rSel);
}

int WaitIconCmd(const std::vector<std::wstring>& args, bool bTipOnly)
{
    CIconSelector sel;
    DWORD dwTimeout = 0;
    const bool bParsed = bTipOnly ? (args.size() > 1 && (sel = CIconSelector::ByTip(args[1]), true))
                                  : SelectorArg(args, 1, sel);
    if (!bParsed || !TimeoutArg(args, 2, dwTimeout))
        return Usage(bTipOnly ? "wait-tip TEXT [TIMEOUT_MS]" : "wait-icon ICON [TIMEOUT_MS]");
    TrayIcon icon;
    if (!WaitForTrayIcon(sel, dwTimeout, &icon))
        return TimedOut("no icon with " + sel.Describe());
    PrintIcon(icon);
    return kDone;
}

int WaitGoneCmd(const std::vector<std::wstring>& args)
{
    CIconSelector sel;
    DWORD dwTimeout = 0;
    if (!SelectorArg(args, 1, sel) || !TimeoutArg(args, 2, dwTimeout))
        return Usage("wait-gone ICON [TIMEOUT_MS]");
    if (!WaitForTrayIconGone(sel, dwTimeout))
        return TimedOut("an icon with " + sel.Describe() + " is still shown");
    printf("gone\n");
    return kDone;
}

int PixelsCmd(const std::vector<std::wstring>& args)
{
    CIconSelector sel;
    if (!SelectorArg(args, 1, sel) || (args.size() > 2 && args[2] != L"grid"))
        return Usage("pixels ICON [grid]");
    TrayIcon icon;
    if (!FindTrayIcon(sel, icon))
        return TimedOut("no icon with " + sel.Describe());
    PixelDigest digest;
    if (!SampleIconPixels(icon, digest))
        return Failed("could not read the screen at the icon");
    const COLORREF crCentre = digest.At(digest.cx / 2, digest.cy / 2);
    printf("pixels hwnd=0x%08lx size=%dx%d hash=0x%08lx centre=%02x%02x%02x colours=",
           static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(icon.hWnd)), digest.cx, digest.cy, digest.ulHash,
           GetRValue(crCentre), GetGValue(crCentre), GetBValue(crCentre));
    for (size_t i = 0; i < digest.buckets.size(); ++i)
        printf("%s%s:%d", i ? "," : "", digest.buckets[i].first.c_str(), digest.buckets[i].second);
    printf("\n");
    if (args.size() > 2)
        for (int y = 0; y < digest.cy; ++y)
        {
            printf("row %d:", y);
            for (int x = 0; x < digest.cx; ++x)
            {
                const COLORREF cr = digest.At(x, y);
                printf(" %02x%02x%02x", GetRValue(cr), GetGValue(cr), GetBValue(cr));
            }
            printf("\n");
        }
    return kDone;
}

int ClickCmd(const std::vector<std::wstring>& args)
{
    const char szUsage[] = "click ICON left|right|double [input|post]";
    CIconSelector sel;
    if (!SelectorArg(args, 1, sel) || args.size() < 3 || args.size() > 4)
        return Usage(szUsage);
    ClickKind kind;
    if (args[2] == L"left")
        kind = ClickKind::Left;
    else if (args[2] == L"right")
        kind = ClickKind::Right;
    else if (args[2] == L"double")
        kind = ClickKind::Double;
    else
        return Usage(szUsage);
    ClickMethod method = ClickMethod::Input;
    if (args.size() > 3)
    {
        if (args[3] == L"post")
            method = ClickMethod::Post;
        else if (args[3] != L"input")
            return Usage(szUsage);
    }
    TrayIcon icon;
    if (!FindTrayIcon(sel, icon))
        return TimedOut("no icon with " + sel.Describe());
    std::string strError;
    if (!ClickTrayIcon(icon, kind, method, &strError))
        return Failed(strError);
    printf("clicked hwnd=0x%08lx\n", static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(icon.hWnd)));
    return kDone;
}

void PrintMenu(const PopupMenu& menu)
{
    printf("menu hwnd=0x%08lx pid=%lu rect=%ld,%ld,%ld,%ld\n",
           static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(menu.hWnd)), menu.dwPid, menu.rc.left,
           menu.rc.top, menu.rc.right, menu.rc.bottom);
}

int MenuWaitCmd(const std::vector<std::wstring>& args)
{
    DWORD dwTimeout = 0;
    if (args.size() > 2 || !TimeoutArg(args, 1, dwTimeout))
        return Usage("menu-wait [TIMEOUT_MS]");
    PopupMenu menu;
    if (!WaitForPopupMenu(dwTimeout, &menu))
        return TimedOut("no pop-up menu");
    PrintMenu(menu);
    return kDone;
}

int MenuChooseCmd(const std::vector<std::wstring>& args)
{
    DWORD dwTimeout = 0;
    if (args.size() < 2 || args.size() > 3 || !TimeoutArg(args, 2, dwTimeout))
        return Usage("menu-choose KEY [TIMEOUT_MS]");
    PopupMenu menu;
    if (!WaitForPopupMenu(dwTimeout, &menu))
        return TimedOut("no pop-up menu");
    PrintMenu(menu);
    std::string strError;
    if (!PressKey(ToUtf8(args[1]), &strError))
        return Failed(strError);
    if (!WaitForNoPopupMenu(dwTimeout, menu.dwPid))
        return TimedOut("the menu is still shown after the key");
    printf("closed\n");
    return kDone;
}

int ShellRestartCmd(const std::vector<std::wstring>& args)
{
    unsigned long ulOwner = 0, ulID = 0;
    DWORD dwTimeout = 0;
    if (args.size() < 3 || !ParseNumber(args[1], ulOwner, 16) || !ParseNumber(args[2], ulID) ||
        !TimeoutArg(args, 3, dwTimeout))
        return Usage("simulate-shell-restart HWND ID [TIMEOUT_MS]");
    std::string strError;
    const HWND hOwner = reinterpret_cast<HWND>(static_cast<ULONG_PTR>(ulOwner));
    if (!SimulateShellRestart(hOwner, static_cast<UINT>(ulID), dwTimeout, &strError))
        return Failed(strError);
    printf("restarted owner=0x%08lx id=%lu\n", ulOwner, ulID);
    return kDone;
}

int FindWindowCmd(const std::vector<std::wstring>& args)
{
    DWORD dwTimeout = 0;
    if (args.size() < 2 || args.size() > 3 || !TimeoutArg(args, 2, dwTimeout))
        return Usage("find-window CLASS [TIMEOUT_MS]");
    const std::string strClass = ToUtf8(args[1]);
    const HWND hWnd = WaitForWindow(strClass.c_str(), dwTimeout);
    if (!hWnd)
        return TimedOut("no window of class " + strClass);
    DWORD dwPid = 0;
    ::GetWindowThreadProcessId(hWnd, &dwPid);
    printf("window hwnd=0x%08lx pid=%lu\n", static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(hWnd)), dwPid);
    return kDone;
}

int WaitExitCmd(const std::vector<std::wstring>& args)
{
    unsigned long ulPid = 0;
    DWORD dwTimeout = 0;
    if (args.size() < 2 || !ParseNumber(args[1], ulPid) || !TimeoutArg(args, 2, dwTimeout))
        return Usage("wait-exit PID [TIMEOUT_MS]");
    kfw::CHandle hProcess(::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, ulPid));
    if (!hProcess)
        return Failed("no process " + std::to_string(ulPid));
    const DWORD dwCode = WaitForExit(hProcess.Get(), dwTimeout);
    if (dwCode == STILL_ACTIVE)
        return TimedOut("process " + std::to_string(ulPid) + " still running");
    printf("exit code=%lu\n", dwCode);
    return kDone;
}

} // namespace

int main()
{
    int argc = 0;
    // Tips are Unicode in the tray: take the command line as Unicode too.
    LPWSTR* argvW = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    std::vector<std::wstring> args;
    for (int i = 1; argvW && i < argc; ++i)
        args.emplace_back(argvW[i]);
    ::LocalFree(argvW);
    if (args.empty())
        return Usage("usage: traywatch list|count|wait-icon|wait-tip|wait-gone|pixels|click|menu-wait|"
                     "menu-choose|simulate-shell-restart|find-window|wait-exit ...");

    const std::wstring& strCmd = args[0];
    int nResult;
    if (strCmd == L"list")
        nResult = ListCmd();
    else if (strCmd == L"count")
        nResult = CountCmd();
    else if (strCmd == L"wait-icon")
        nResult = WaitIconCmd(args, false);
    else if (strCmd == L"wait-tip")
        nResult = WaitIconCmd(args, true);
    else if (strCmd == L"wait-gone")
        nResult = WaitGoneCmd(args);
    else if (strCmd == L"pixels")
        nResult = PixelsCmd(args);
    else if (strCmd == L"click")
        nResult = ClickCmd(args);
    else if (strCmd == L"menu-wait")
        nResult = MenuWaitCmd(args);
    else if (strCmd == L"menu-choose")
        nResult = MenuChooseCmd(args);
    else if (strCmd == L"simulate-shell-restart")
        nResult = ShellRestartCmd(args);
    else if (strCmd == L"find-window")
        nResult = FindWindowCmd(args);
    else if (strCmd == L"wait-exit")
        nResult = WaitExitCmd(args);
    else
        nResult = Usage("unknown command: " + ToUtf8(strCmd));
    fflush(stdout);
    return nResult;
}
