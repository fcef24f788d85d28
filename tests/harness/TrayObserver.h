// Sees and drives the notification area as a user would: the icons explorer shows, their
// tool tips and pictures, clicks on them, the pop-up menus they open. Used in-process by
// end-to-end tests and by traywatch.exe; every wait pumps the calling thread.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace kovatest {

struct TrayIcon {
    HWND hWnd = nullptr;          // explorer's window for the icon
    RECT rc = {};                 // on the screen
    DWORD dwPid = 0;              // explorer's process
    bool bVisible = false;
    bool bOwnerKnown = false;     // owner fields below read from explorer's icon record
    HWND hOwner = nullptr;        // the window given to Shell_NotifyIcon
    UINT uID = 0;
    UINT uCallbackMessage = 0;
    bool bHasTip = false;         // explorer's tool tip holds a tool for the icon
    std::wstring strTip;
};

// Which icon a command means: by exact tip text, or by owner window (handle or class) + id.
class CIconSelector {
public:
    static CIconSelector ByTip(const std::wstring& strTip);
    static CIconSelector ByOwner(HWND hOwner, UINT uID);
    static CIconSelector ByOwnerClass(const std::string& strClass, UINT uID);
    // "owner=HWND,ID", "class=NAME,ID", "tip=TEXT", or any other TEXT as a tip.
    static bool Parse(const std::wstring& strSpec, CIconSelector& rSel);

    bool Matches(const TrayIcon& icon) const;
    std::string Describe() const;

private:
    enum class Kind { Tip, Owner, OwnerClass } m_kind = Kind::Tip;
    std::wstring m_strTip;
    std::string m_strClass;
    HWND m_hOwner = nullptr;
    UINT m_uID = 0;
};

std::string ToUtf8(const std::wstring& str);

// Every icon the tray shows now, left to right; false when explorer could not be read.
bool ListTrayIcons(std::vector<TrayIcon>& rIcons, std::string* pstrError = nullptr);
bool FindTrayIcon(const CIconSelector& sel, TrayIcon& rIcon);
bool WaitForTrayIcon(const CIconSelector& sel, DWORD dwTimeoutMs, TrayIcon* pIcon = nullptr);
bool WaitForTrayIconGone(const CIconSelector& sel, DWORD dwTimeoutMs);

// What the icon looks like on the screen.
struct PixelDigest {
    int cx = 0, cy = 0;
    std::vector<COLORREF> pixels;                      // row by row, top first
    unsigned long ulHash = 0;                          // FNV-1a of the RGB bytes
    std::vector<std::pair<std::string, int>> buckets;  // named colour -> pixels, most first

    // Pixels of a named colour: black, grey, white, red, yellow, green, cyan, blue, magenta.
    int Count(const char* pszColour) const;
    COLORREF At(int x, int y) const { return pixels[static_cast<size_t>(y * cx + x)]; }
};
const char* ColourName(COLORREF cr);
bool SampleIconPixels(const TrayIcon& icon, PixelDigest& rDigest);

enum class ClickKind { Left, Right, Double };
enum class ClickMethod {
    Input,   // SetCursorPos + SendInput at the icon's centre, as a user
    Post,    // mouse messages posted to explorer's icon window
};
// Clicks the icon's centre. With Input the icon must be the window under that point.
bool ClickTrayIcon(const TrayIcon& icon, ClickKind kind, ClickMethod method = ClickMethod::Input,
                   std::string* pstrError = nullptr);

struct PopupMenu {
    HWND hWnd = nullptr;
    DWORD dwPid = 0;
    RECT rc = {};
};
// A shown pop-up menu (class "#32768"), of process dwPid if not 0.
bool FindPopupMenu(PopupMenu& rMenu, DWORD dwPid = 0);
bool WaitForPopupMenu(DWORD dwTimeoutMs, PopupMenu* pMenu = nullptr, DWORD dwPid = 0);
bool WaitForNoPopupMenu(DWORD dwTimeoutMs, DWORD dwPid = 0);
// One key press through SendInput: a character (the menu's access key) or "esc",
// "enter", "up", "down", "left", "right".
bool PressKey(const std::string& strKey, std::string* pstrError = nullptr);

// Explorer restarting as the program sees it: the icon is deleted (Shell_NotifyIcon
// NIM_DELETE for hOwner/uID, checked gone) and "TaskbarCreated" is broadcast.
bool SimulateShellRestart(HWND hOwner, UINT uID, DWORD dwTimeoutMs, std::string* pstrError = nullptr);

} // namespace kovatest
