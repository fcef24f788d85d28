// Helpers for the resource tests: raw resource bytes, a tiny tar walk, GDI+ decoding.
#pragma once

#include "framework/GdiPlus.h"
#include "framework/Handles.h"

#include <windows.h>

#include <cstdint>
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace restest {

struct Bytes {
    const BYTE* p = nullptr;
    DWORD size = 0;
};

// Resource data live in the module image: nothing to free.
inline Bytes ResourceBytes(HMODULE hModule, LPCSTR lpName, LPCSTR lpType)
{
    HRSRC hRes = ::FindResourceA(hModule, lpName, lpType);
    if (!hRes)
        return {};
    HGLOBAL hData = ::LoadResource(hModule, hRes);
    if (!hData)
        return {};
    return {static_cast<const BYTE*>(::LockResource(hData)), ::SizeofResource(hModule, hRes)};
}

// The block filed under exactly wLang, or the one FindResourceExW falls back to (English, then
// any) when there is none: callers that care check the languages on their own.
inline Bytes ResourceBytes(HMODULE hModule, LPCWSTR lpName, LPCWSTR lpType, WORD wLang)
{
    HRSRC hRes = ::FindResourceExW(hModule, lpType, lpName, wLang);
    HGLOBAL hData = hRes ? ::LoadResource(hModule, hRes) : nullptr;
    if (!hData)
        return {};
    return {static_cast<const BYTE*>(::LockResource(hData)), ::SizeofResource(hModule, hRes)};
}

inline uint16_t Le16(const BYTE* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
inline uint32_t Le32(const BYTE* p) { return Le16(p) | static_cast<uint32_t>(Le16(p + 2)) << 16; }
inline uint32_t Be32(const BYTE* p)
{
    return static_cast<uint32_t>(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3];
}

// String id of the table under wLang, read from its bundle of 16 counted strings as LoadStringW
// reads it; empty when absent.
inline std::wstring LangString(HMODULE hModule, UINT id, WORD wLang)
{
    Bytes b = ResourceBytes(hModule, MAKEINTRESOURCEW(id / 16 + 1), MAKEINTRESOURCEW(6) /* RT_STRING */, wLang);
    const BYTE* p = b.p;
    for (UINT i = 0; p && p + 2 <= b.p + b.size; ++i) {
        uint16_t length = Le16(p);
        if (i == id % 16) {
            if (p + 2 + 2 * length > b.p + b.size)
                return {};
            return std::wstring(reinterpret_cast<const wchar_t*>(p + 2), length);
        }
        p += 2 + 2 * length;
    }
    return {};
}

struct TarMember {
    std::string name;
    char type = 0;
    uint32_t size = 0;
    const BYTE* data = nullptr;
};

// Walks GNU tar headers (magic "ustar  \0") until the first block without that magic, which
// must be the zero end of the archive. Independent of the program's own archive reader on
// purpose: this checks what we ship, not what we read.
inline bool WalkGnuTar(Bytes tar, std::vector<TarMember>& members, std::string& error)
{
    static const char kMagic[8] = {'u', 's', 't', 'a', 'r', ' ', ' ', '\0'};
    size_t pos = 0;
    while (pos + 512 <= tar.size) {
        const BYTE* h = tar.p + pos;
        if (std::memcmp(h + 257, kMagic, 8) != 0)
            break;
        TarMember m;
        m.name.assign(reinterpret_cast<const char*>(h), strnlen(reinterpret_cast<const char*>(h), 100));
        m.type = static_cast<char>(h[156]);
        // Eleven octal digits and a NUL: the only form the program's reader parses.
        for (int i = 0; i < 11; ++i) {
            if (h[124 + i] < '0' || h[124 + i] > '7') {
                error = m.name + ": size field is not 11 octal digits";
                return false;
            }
            m.size = m.size * 8 + (h[124 + i] - '0');
        }
        if (h[135] != 0) {
            error = m.name + ": size field does not end in NUL";
            return false;
        }
        pos += 512;
        size_t blocks = (m.size + 511) / 512;
        if (pos + blocks * 512 > tar.size) {
            error = m.name + ": data run past the resource";
            return false;
        }
        m.data = tar.p + pos;
        pos += blocks * 512;
        members.push_back(m);
    }
    for (size_t i = pos; i < tar.size; ++i) {
        if (tar.p[i] != 0) {
            error = "non-zero byte after the last member at offset " + std::to_string(i);
            return false;
        }
    }
    if (tar.size - pos < 1024) {
        error = "archive lacks its two zero end blocks";
        return false;
    }
    return true;
}

// A GDI+ bitmap decoded from a copy of the bytes; null when GDI+ cannot decode them.
inline kfw::CGdipBitmap DecodeBitmap(const BYTE* p, uint32_t size)
{
    kfw::CGlobal hMem(::GlobalAlloc(GMEM_MOVEABLE, size));
    if (!hMem)
        return {};
    if (void* dst = ::GlobalLock(hMem.Get())) {
        std::memcpy(dst, p, size);
        ::GlobalUnlock(hMem.Get());
    }
    kfw::CComPtr<IStream> stream;
    if (FAILED(::CreateStreamOnHGlobal(hMem.Get(), TRUE, stream.Put())))
        return {};
    hMem.Release();   // the stream frees it now
    kfw::CGdipBitmap bitmap;
    kfw::gdip::GdipCreateBitmapFromStream(stream.Get(), bitmap.Put());
    return bitmap;
}

// 32-bit ARGB pixels of a bitmap, row by row.
inline std::vector<uint32_t> ReadArgb(Gdiplus::GpBitmap* pBitmap, UINT width, UINT height)
{
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
    Gdiplus::GpRect rect(0, 0, static_cast<INT>(width), static_cast<INT>(height));
    Gdiplus::BitmapData data{};
    data.Width = width;
    data.Height = height;
    data.Stride = static_cast<INT>(width * 4);
    data.PixelFormat = PixelFormat32bppARGB;
    data.Scan0 = pixels.data();
    if (kfw::gdip::GdipBitmapLockBits(pBitmap, &rect, Gdiplus::ImageLockModeRead | Gdiplus::ImageLockModeUserInputBuf,
                                      PixelFormat32bppARGB, &data) != Gdiplus::Ok)
        return {};
    kfw::gdip::GdipBitmapUnlockBits(pBitmap, &data);
    return pixels;
}

struct Control {
    DWORD style = 0, exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    int id = 0;
    std::string cls;    // predefined classes by name ("Button"), others as stored
    std::string text;   // an ordinal as "#128"
};

struct Template {
    bool ex = false;
    DWORD style = 0, exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    std::string menu, cls, title;
    WORD pointSize = 0, weight = 0;
    BYTE italic = 0, charset = 0;
    std::string face;
    std::vector<Control> controls;
};

// Reads DLGTEMPLATE and DLGTEMPLATEEX fields in order; Ok() turns false once past the end.
class Reader {
public:
    explicit Reader(Bytes b) : m_p(b.p), m_end(b.p + b.size) {}
    bool Ok() const { return m_ok; }
    WORD Word() { return Need(2) ? Advance(Le16(m_p), 2) : 0; }
    DWORD Dword() { return Need(4) ? Advance(Le32(m_p), 4) : 0; }
    BYTE Byte() { return Need(1) ? Advance(*m_p, 1) : 0; }
    void AlignDword(const BYTE* base) { while ((m_p - base) % 4 && Need(1)) ++m_p; }
    // sz_Or_Ord: 0 (none), 0xFFFF + ordinal, or a zero-terminated UTF-16 string (ASCII here).
    std::string SzOrOrd()
    {
        WORD first = Word();
        if (first == 0xFFFF)
            return "#" + std::to_string(Word());
        return Utf8From(first);
    }
    std::string Sz() { return Utf8From(Word()); }
    const BYTE* Pos() const { return m_p; }
    void Skip(size_t n) { if (Need(n)) m_p += n; }

private:
    // A zero-terminated UTF-16 string from its first unit on, as UTF-8.
    std::string Utf8From(WORD first)
    {
        std::wstring w;
        for (WORD c = first; c && m_ok; c = Word())
            w += static_cast<wchar_t>(c);
        const int cb = ::WideCharToMultiByte(CP_UTF8, 0, w.c_str(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
        std::string s(static_cast<size_t>(std::max(cb, 0)), '\0');
        if (cb > 0)
            ::WideCharToMultiByte(CP_UTF8, 0, w.c_str(), static_cast<int>(w.size()), &s[0], cb, nullptr, nullptr);
        return s;
    }

    bool Need(size_t n)
    {
        if (static_cast<size_t>(m_end - m_p) < n)
            m_ok = false;
        return m_ok;
    }
    template <class T>
    T Advance(T v, size_t n) { m_p += n; return v; }

    const BYTE* m_p;
    const BYTE* m_end;
    bool m_ok = true;
};

inline std::string ClassName(const std::string& stored)
{
    static const char* const kAtoms[] = {"Button", "Edit", "Static", "ListBox", "ScrollBar", "ComboBox"};
    if (stored.size() > 1 && stored[0] == '#') {
        int atom = std::stoi(stored.substr(1));
        if (atom >= 0x80 && atom <= 0x85)
            return kAtoms[atom - 0x80];
    }
    return stored;
}

inline bool ParseTemplate(Bytes b, Template& t)
{
    if (!b.p)
        return false;
    Reader r(b);
    t.ex = Le16(b.p) == 1 && b.size > 4 && Le16(b.p + 2) == 0xFFFF;
    WORD count = 0;
    if (t.ex) {
        r.Word(); r.Word(); r.Dword();   // version, signature, help id
        t.exStyle = r.Dword();
        t.style = r.Dword();
    } else {
        t.style = r.Dword();
        t.exStyle = r.Dword();
    }
    count = r.Word();
    t.x = static_cast<short>(r.Word()); t.y = static_cast<short>(r.Word());
    t.cx = static_cast<short>(r.Word()); t.cy = static_cast<short>(r.Word());
    t.menu = r.SzOrOrd();
    t.cls = r.SzOrOrd();
    t.title = r.Sz();
    if (t.style & DS_SETFONT) {
        t.pointSize = r.Word();
        if (t.ex) {
            t.weight = r.Word();
            t.italic = r.Byte();
            t.charset = r.Byte();
        }
        t.face = r.Sz();
    }
    for (WORD i = 0; i < count && r.Ok(); ++i) {
        r.AlignDword(b.p);
        Control c;
        if (t.ex) {
            r.Dword();   // help id
            c.exStyle = r.Dword();
            c.style = r.Dword();
        } else {
            c.style = r.Dword();
            c.exStyle = r.Dword();
        }
        c.x = static_cast<short>(r.Word()); c.y = static_cast<short>(r.Word());
        c.cx = static_cast<short>(r.Word()); c.cy = static_cast<short>(r.Word());
        c.id = t.ex ? static_cast<int>(r.Dword()) : static_cast<short>(r.Word());
        c.cls = ClassName(r.SzOrOrd());
        c.text = r.SzOrOrd();
        r.Skip(r.Word());   // creation data
        t.controls.push_back(c);
    }
    return r.Ok();
}

} // namespace restest
