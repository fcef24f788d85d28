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
    // For a creation function's out-parameter; releases what was held.
    Type* Put() noexcept
    {
        Reset();
        return &m_h;
    }

    void Reset(Type h = Traits::Invalid()) noexcept
    {
        Type old = std::exchange(m_h, h);
        if (old != Traits::Invalid())
            Traits::Close(old);
    }

private:
    Type m_h;
};

// A handle kind whose null is the zero value (nullptr, 0), given back by pfnClose.
template <class T, auto pfnClose>
struct NullHandleTraits {
    using Type = T;
    static Type Invalid() noexcept { return Type{}; }
    static void Close(Type h) noexcept { pfnClose(h); }
};
// Files and a few other APIs report failure as INVALID_HANDLE_VALUE rather than null.
struct FileHandleTraits {
    using Type = HANDLE;
    static Type Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Type h) noexcept { ::CloseHandle(h); }
};

using CHandle   = UniqueHandle<NullHandleTraits<HANDLE, &::CloseHandle>>;
using CFile     = UniqueHandle<FileHandleTraits>;
using CIcon     = UniqueHandle<NullHandleTraits<HICON, &::DestroyIcon>>;
using CMenuH    = UniqueHandle<NullHandleTraits<HMENU, &::DestroyMenu>>;
using CHookH    = UniqueHandle<NullHandleTraits<HHOOK, &::UnhookWindowsHookEx>>;
using CModule   = UniqueHandle<NullHandleTraits<HMODULE, &::FreeLibrary>>;
using CRegKey   = UniqueHandle<NullHandleTraits<HKEY, &::RegCloseKey>>;
using CGlobal   = UniqueHandle<NullHandleTraits<HGLOBAL, &::GlobalFree>>;
using CViewH    = UniqueHandle<NullHandleTraits<void*, &::UnmapViewOfFile>>;   // MapViewOfFile
using CGdiObj   = UniqueHandle<NullHandleTraits<HGDIOBJ, &::DeleteObject>>;
using CBitmapH  = UniqueHandle<NullHandleTraits<HBITMAP, &::DeleteObject>>;
using CBrushH   = UniqueHandle<NullHandleTraits<HBRUSH, &::DeleteObject>>;
using CFontH    = UniqueHandle<NullHandleTraits<HFONT, &::DeleteObject>>;
// A region given to SetWindowRgn belongs to the window: Release() it, never Reset().
using CRgnH     = UniqueHandle<NullHandleTraits<HRGN, &::DeleteObject>>;
using CMemDC    = UniqueHandle<NullHandleTraits<HDC, &::DeleteDC>>;

// A procedure found by GetProcAddress, as the type it has. void (*)() converts to any
// function pointer without a cast-function-type warning.
template <class T>
T ProcAs(FARPROC pfn)
{
    return reinterpret_cast<T>(reinterpret_cast<void (*)()>(pfn));
}

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

// Owning COM pointer (IStream and friends): adopts the reference it is given.
template <class T>
struct ComTraits {
    using Type = T*;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type p) noexcept { p->Release(); }
};
template <class T>
class CComPtr : public UniqueHandle<ComTraits<T>> {
public:
    using UniqueHandle<ComTraits<T>>::UniqueHandle;
    T* operator->() const noexcept { return this->Get(); }
};

} // namespace kfw
