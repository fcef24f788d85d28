// Owning wrappers for Win32 handles, GDI and GDI+ objects, COM pointers.
#pragma once

#include <windows.h>
#include <objidl.h>

#include <utility>

namespace kfw {

// One move-only owner for every handle kind; Traits names the null value and the release.
template <class Traits>
class UniqueHandle {
public:
    using Type = typename Traits::Type;

    UniqueHandle() noexcept : m_h(Traits::Invalid()) {}
    explicit UniqueHandle(Type h) noexcept : m_h(h) {}
    ~UniqueHandle() { Reset(); }

    UniqueHandle(UniqueHandle&& other) noexcept : m_h(other.Release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept
    {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    Type Get() const noexcept { return m_h; }
    bool IsValid() const noexcept { return m_h != Traits::Invalid(); }
    explicit operator bool() const noexcept { return IsValid(); }

    // Gives up ownership, e.g. when a region is handed to SetWindowRgn.
    Type Release() noexcept { return std::exchange(m_h, Traits::Invalid()); }

    void Reset(Type h = Traits::Invalid()) noexcept
    {
        Type old = std::exchange(m_h, h);
        if (old != Traits::Invalid())
            Traits::Close(old);
    }

private:
    Type m_h;
};

struct KernelHandleTraits {
    using Type = HANDLE;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::CloseHandle(h); }
};
// Files and a few other APIs report failure as INVALID_HANDLE_VALUE rather than null.
struct FileHandleTraits {
    using Type = HANDLE;
    static Type Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Type h) noexcept { ::CloseHandle(h); }
};
struct IconTraits {
    using Type = HICON;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::DestroyIcon(h); }
};
struct MenuTraits {
    using Type = HMENU;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::DestroyMenu(h); }
};
struct HookTraits {
    using Type = HHOOK;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::UnhookWindowsHookEx(h); }
};
struct ModuleTraits {
    using Type = HMODULE;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::FreeLibrary(h); }
};
struct RegKeyTraits {
    using Type = HKEY;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::RegCloseKey(h); }
};
struct GlobalTraits {
    using Type = HGLOBAL;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::GlobalFree(h); }
};
template <class T>
struct GdiObjectTraits {
    using Type = T;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::DeleteObject(h); }
};
struct DcTraits {
    using Type = HDC;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::DeleteDC(h); }
};

using CHandle   = UniqueHandle<KernelHandleTraits>;
using CFile     = UniqueHandle<FileHandleTraits>;
using CIcon     = UniqueHandle<IconTraits>;
using CMenuH    = UniqueHandle<MenuTraits>;
using CHookH    = UniqueHandle<HookTraits>;
using CModule   = UniqueHandle<ModuleTraits>;
using CRegKey   = UniqueHandle<RegKeyTraits>;

// A procedure found by GetProcAddress, as the type it has. void (*)() converts to any
// function pointer without a cast-function-type warning.
template <class T>
T ProcAs(FARPROC pfn)
{
    return reinterpret_cast<T>(reinterpret_cast<void (*)()>(pfn));
}
using CGlobal   = UniqueHandle<GlobalTraits>;
using CGdiObj   = UniqueHandle<GdiObjectTraits<HGDIOBJ>>;
using CBitmapH  = UniqueHandle<GdiObjectTraits<HBITMAP>>;
using CBrushH   = UniqueHandle<GdiObjectTraits<HBRUSH>>;
using CFontH    = UniqueHandle<GdiObjectTraits<HFONT>>;
// A region given to SetWindowRgn belongs to the window: Release() it, never Reset().
using CRgnH     = UniqueHandle<GdiObjectTraits<HRGN>>;
using CMemDC    = UniqueHandle<DcTraits>;

// Selects an object into a DC for one scope and puts the previous one back.
class CScopedSelect {
public:
    CScopedSelect(HDC hDC, HGDIOBJ hObj) noexcept : m_hDC(hDC), m_hOld(::SelectObject(hDC, hObj)) {}
    ~CScopedSelect() { if (m_hOld) ::SelectObject(m_hDC, m_hOld); }
    CScopedSelect(const CScopedSelect&) = delete;
    CScopedSelect& operator=(const CScopedSelect&) = delete;
private:
    HDC m_hDC;
    HGDIOBJ m_hOld;
};

// A window DC from GetDC, given back with ReleaseDC.
class CWindowDC {
public:
    explicit CWindowDC(HWND hWnd) noexcept : m_hWnd(hWnd), m_hDC(::GetDC(hWnd)) {}
    ~CWindowDC() { if (m_hDC) ::ReleaseDC(m_hWnd, m_hDC); }
    CWindowDC(const CWindowDC&) = delete;
    CWindowDC& operator=(const CWindowDC&) = delete;
    HDC Get() const noexcept { return m_hDC; }
private:
    HWND m_hWnd;
    HDC m_hDC;
};

// BeginPaint / EndPaint for one WM_PAINT.
class CPaintDC {
public:
    explicit CPaintDC(HWND hWnd) noexcept : m_hWnd(hWnd), m_ps{} { m_hDC = ::BeginPaint(hWnd, &m_ps); }
    ~CPaintDC() { ::EndPaint(m_hWnd, &m_ps); }
    CPaintDC(const CPaintDC&) = delete;
    CPaintDC& operator=(const CPaintDC&) = delete;
    HDC Get() const noexcept { return m_hDC; }
    const PAINTSTRUCT& Info() const noexcept { return m_ps; }
private:
    HWND m_hWnd;
    PAINTSTRUCT m_ps;
    HDC m_hDC;
};

// Owning COM pointer (IStream and friends).
template <class T>
class CComPtr {
public:
    CComPtr() noexcept = default;
    explicit CComPtr(T* p) noexcept : m_p(p) {}   // adopts the reference
    ~CComPtr() { Reset(); }
    CComPtr(CComPtr&& other) noexcept : m_p(std::exchange(other.m_p, nullptr)) {}
    CComPtr& operator=(CComPtr&& other) noexcept
    {
        if (this != &other) { Reset(); m_p = std::exchange(other.m_p, nullptr); }
        return *this;
    }
    CComPtr(const CComPtr&) = delete;
    CComPtr& operator=(const CComPtr&) = delete;

    T* Get() const noexcept { return m_p; }
    T* operator->() const noexcept { return m_p; }
    explicit operator bool() const noexcept { return m_p != nullptr; }
    T** Put() noexcept { Reset(); return &m_p; }
    void Reset() noexcept { if (m_p) { m_p->Release(); m_p = nullptr; } }

private:
    T* m_p = nullptr;
};

} // namespace kfw
