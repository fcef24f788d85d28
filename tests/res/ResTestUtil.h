// Helpers for the resource tests: raw resource bytes, a tiny tar walk, GDI+ decoding.
#pragma once

#include "framework/GdiPlus.h"
#include "framework/Handles.h"

#include <windows.h>

#include <cstdint>
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

inline uint16_t Le16(const BYTE* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
inline uint32_t Le32(const BYTE* p) { return Le16(p) | static_cast<uint32_t>(Le16(p + 2)) << 16; }
inline uint32_t Be32(const BYTE* p)
{
    return static_cast<uint32_t>(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3];
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

} // namespace restest
