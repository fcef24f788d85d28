// The archive table on real Win32: global memory, streams, the resource, GDI+ decoding.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "TarBuilder.h"
#include "framework/GdiPlus.h"
#include "framework/DynCalls.h"
#include "framework/LinkedCalls.h"
#include "skin/SkinArchive.h"
#include "support/Seam.h"

using kovatest::CTarBuilder;

namespace {

// Committed pages followed by a PAGE_NOACCESS page: data placed flush against the guard
// crashes the test on the first byte read past its end.
class CGuardedBuffer {
public:
    explicit CGuardedBuffer(size_t cbMax)
    {
        SYSTEM_INFO si;
        ::GetSystemInfo(&si);
        m_cbCommit = (cbMax + si.dwPageSize - 1) / si.dwPageSize * si.dwPageSize;
        m_pBase = static_cast<uint8_t*>(
            ::VirtualAlloc(nullptr, m_cbCommit + si.dwPageSize, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        DWORD dwOld = 0;
        m_bGuarded = m_pBase && ::VirtualProtect(m_pBase + m_cbCommit, si.dwPageSize, PAGE_NOACCESS, &dwOld);
    }
    ~CGuardedBuffer()
    {
        if (m_pBase)
            ::VirtualFree(m_pBase, 0, MEM_RELEASE);
    }
    CGuardedBuffer(const CGuardedBuffer&) = delete;
    CGuardedBuffer& operator=(const CGuardedBuffer&) = delete;

    bool IsGuarded() const
    {
        MEMORY_BASIC_INFORMATION mbi = {};
        return m_bGuarded && ::VirtualQuery(m_pBase + m_cbCommit, &mbi, sizeof mbi) && mbi.Protect == PAGE_NOACCESS;
    }
    // Copies cb bytes so that they end where the guard page begins.
    const uint8_t* Place(const uint8_t* pData, size_t cb)
    {
        uint8_t* pDest = m_pBase + m_cbCommit - cb;
        if (cb)
            std::memcpy(pDest, pData, cb);
        return pDest;
    }

private:
    uint8_t* m_pBase = nullptr;
    size_t m_cbCommit = 0;
    bool m_bGuarded = false;
};

// The copy seams: every block and stream the archive makes, with a reference of the test's
// own on each stream so that a release by the archive can be seen in the count.
class CCopyRecorder {
public:
    CCopyRecorder() { s_pThis = this; }
    ~CCopyRecorder()
    {
        for (IStream* pStream : m_streams)
            if (pStream)
                pStream->Release();
        s_pThis = nullptr;
    }
    CCopyRecorder(const CCopyRecorder&) = delete;
    CCopyRecorder& operator=(const CCopyRecorder&) = delete;

    int m_nFailAllocAt = -1;    // index of the allocation to fail
    int m_nFailStreamAt = -1;   // index of the stream creation to fail
    std::vector<HGLOBAL> m_blocks;
    std::vector<UINT> m_allocFlags;
    std::vector<IStream*> m_streams;
    std::vector<BOOL> m_deleteOnRelease;

    // Drops the test's reference; the count left, 0 when nobody else holds the stream.
    ULONG DropStream(size_t i)
    {
        const ULONG uLeft = m_streams[i]->Release();
        m_streams[i] = nullptr;
        return uLeft;
    }

private:
    static HGLOBAL WINAPI Alloc(UINT uFlags, SIZE_T cb)
    {
        CCopyRecorder& r = *s_pThis;
        if (r.m_nAllocs++ == r.m_nFailAllocAt)
            return nullptr;
        HGLOBAL h = ::GlobalAlloc(uFlags, cb);
        r.m_blocks.push_back(h);
        r.m_allocFlags.push_back(uFlags);
        return h;
    }
    static HRESULT WINAPI CreateStream(HGLOBAL h, BOOL fDeleteOnRelease, LPSTREAM* ppStream)
    {
        CCopyRecorder& r = *s_pThis;
        if (r.m_nStreams++ == r.m_nFailStreamAt)
            return E_OUTOFMEMORY;
        const HRESULT hr = ::CreateStreamOnHGlobal(h, fDeleteOnRelease, ppStream);
        if (SUCCEEDED(hr))
        {
            (*ppStream)->AddRef();
            r.m_streams.push_back(*ppStream);
            r.m_deleteOnRelease.push_back(fDeleteOnRelease);
        }
        return hr;
    }

    kovatest::CSeam<decltype(kfw::LinkedCalls::pfnGlobalAlloc)> m_alloc{ kfw::g_linked.pfnGlobalAlloc, &Alloc };
    kovatest::CSeam<decltype(kfw::Ole32Calls::pfnCreateStreamOnHGlobal)> m_create{
        kfw::Ole32().pfnCreateStreamOnHGlobal, &CreateStream
    };
    int m_nAllocs = 0;
    int m_nStreams = 0;
    static CCopyRecorder* s_pThis;
};
CCopyRecorder* CCopyRecorder::s_pThis = nullptr;

bool IsFreed(HGLOBAL h)
{
    return ::GlobalFlags(h) == GMEM_INVALID_HANDLE;
}

std::vector<std::string> Keys(const SkinArchive& archive)
{
    std::vector<std::string> keys;
    for (const auto& item : archive)
        keys.push_back(item.first);
    return keys;
}

std::string ReadToEnd(IStream* pStream)
{
    std::string str;
    char buf[300];
    ULONG cbRead = 0;
    while (SUCCEEDED(pStream->Read(buf, sizeof buf, &cbRead)) && cbRead)
        str.append(buf, cbRead);
    return str;
}

std::string Bytes(const SkinArchiveEntry& entry)
{
    return std::string(reinterpret_cast<const char*>(entry.pbyBytes), entry.cbBytes);
}

// A 3 x 2 24-bit BMP, each pixel a colour of its own.
const COLORREF kPixels[2][3] = { { 0x0000FF, 0x00FF00, 0xFF0000 }, { 0x123456, 0xFFFFFF, 0x000000 } };

std::string MakeBmp()
{
    const int cx = 3, cy = 2, cbRow = (cx * 3 + 3) & ~3;
    BITMAPFILEHEADER bf = {};
    BITMAPINFOHEADER bi = {};
    bf.bfType = 0x4D42;
    bf.bfOffBits = sizeof bf + sizeof bi;
    bf.bfSize = bf.bfOffBits + cbRow * cy;
    bi.biSize = sizeof bi;
    bi.biWidth = cx;
    bi.biHeight = cy;   // bottom-up
    bi.biPlanes = 1;
    bi.biBitCount = 24;
    bi.biCompression = BI_RGB;
    std::string str(reinterpret_cast<const char*>(&bf), sizeof bf);
    str.append(reinterpret_cast<const char*>(&bi), sizeof bi);
    for (int y = cy - 1; y >= 0; --y)
    {
        std::string row(cbRow, '\0');
        for (int x = 0; x < cx; ++x)
        {
            row[x * 3 + 0] = static_cast<char>(GetBValue(kPixels[y][x]));
            row[x * 3 + 1] = static_cast<char>(GetGValue(kPixels[y][x]));
            row[x * 3 + 2] = static_cast<char>(GetRValue(kPixels[y][x]));
        }
        str += row;
    }
    return str;
}

::testing::AssertionResult HasTestPixels(Gdiplus::GpBitmap* pBitmap)
{
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
        {
            Gdiplus::ARGB argb = 0;
            const COLORREF cr = kPixels[y][x];
            const Gdiplus::ARGB expected = 0xFF000000u | (GetRValue(cr) << 16) | (GetGValue(cr) << 8) | GetBValue(cr);
            if (kfw::gdip::GdipBitmapGetPixel(pBitmap, x, y, &argb) != Gdiplus::Ok || argb != expected)
                return ::testing::AssertionFailure() << "pixel " << x << "," << y << " is " << std::hex << argb;
        }
    return ::testing::AssertionSuccess();
}

class SkinArchiveTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        ReleaseSkinArchive(m_archive);
    }
    BOOL Load(const CTarBuilder& tar) { return LoadSkinArchive(m_archive, tar.Bytes().data(), tar.Bytes().size()); }

    SkinArchive m_archive;
};

} // namespace

TEST_F(SkinArchiveTest, EachMemberGetsAnExactCopyInLockedMovableMemory)
{
    CCopyRecorder rec;
    CTarBuilder tar;
    tar.AddDirectory("image/")
        .Add("image/one.txt", "1")
        .Add("image/full.bin", std::string(512, 'f'))
        .Add("image/over.bin", std::string(511, 'o') + "\x01\x02")
        .Add("image/zero.txt", "")
        .End();
    ASSERT_TRUE(Load(tar));

    struct Expect {
        const char* pszName;
        size_t nMember;   // order added
        std::string strData;
    };
    const Expect expected[] = {
        { "image/", 0, "" },
        { "image/full.bin", 2, std::string(512, 'f') },
        { "image/one.txt", 1, "1" },
        { "image/over.bin", 3, std::string(511, 'o') + "\x01\x02" },
        { "image/zero.txt", 4, "" },
    };
    ASSERT_EQ(m_archive.size(), std::size(expected));
    auto it = m_archive.begin();
    for (const Expect& e : expected)
    {
        SCOPED_TRACE(e.pszName);
        const SkinArchiveEntry& entry = it->second;
        EXPECT_EQ(it->first, e.pszName);
        EXPECT_EQ(0, std::memcmp(entry.abyHeader, tar.Bytes().data() + tar.Offsets()[e.nMember], TAR_BLOCK_SIZE));
        uint32_t uSize = 0;
        EXPECT_TRUE(ParseTarSize(entry.abyHeader, &uSize));
        EXPECT_EQ(uSize, e.strData.size());
        if (e.strData.empty())
        {
            EXPECT_FALSE(entry.hMemory);
            EXPECT_EQ(entry.pStream.Get(), nullptr);
            EXPECT_EQ(entry.pbyBytes, nullptr);
            EXPECT_EQ(entry.cbBytes, 0u);
        }
        else
        {
            EXPECT_EQ(Bytes(entry), e.strData);
            // Exactly the member's size, not rounded to blocks, and locked once for good.
            EXPECT_EQ(::GlobalSize(entry.hMemory.Get()), e.strData.size());
            EXPECT_EQ(::GlobalFlags(entry.hMemory.Get()) & GMEM_LOCKCOUNT, 1u);
            STATSTG stat = {};
            ASSERT_EQ(entry.pStream->Stat(&stat, STATFLAG_NONAME), S_OK);
            EXPECT_EQ(stat.cbSize.QuadPart, e.strData.size());
            HGLOBAL hUnder = nullptr;
            EXPECT_EQ(::GetHGlobalFromStream(entry.pStream.Get(), &hUnder), S_OK);
            EXPECT_EQ(hUnder, entry.hMemory.Get());
        }
        ++it;
    }
    ASSERT_EQ(rec.m_allocFlags.size(), 3u);
    for (UINT uFlags : rec.m_allocFlags)
        EXPECT_EQ(uFlags, static_cast<UINT>(GMEM_MOVEABLE | GMEM_ZEROINIT));
    for (BOOL bDelete : rec.m_deleteOnRelease)
        EXPECT_FALSE(bDelete);
}

TEST_F(SkinArchiveTest, EndsWhereTheWalkEnds)
{
    CTarBuilder::Header posix{ "image/a.png", "png" };
    posix.pszMagic = "ustar\0" "00";
    CTarBuilder::Header spaced{ "image/b.png", "0123456789" };
    spaced.pszSizeField = "        12 ";

    struct Case {
        const char* pszWhat;
        CTarBuilder tar;
        std::vector<std::string> keys;
        BOOL bResult;
    };
    Case cases[] = {
        { "POSIX ustar form", CTarBuilder().Add(posix).Add("image/c.png", "c").End(), {}, TRUE },
        { "end block before more headers",
          CTarBuilder().Add("image/c.png", "c").End().Add("image/d.png", "d").End(), { "image/c.png" }, TRUE },
        { "space-padded size", CTarBuilder().Add("image/c.png", "c").Add(spaced).Add("image/d.png", "d").End(),
          { "image/c.png" }, FALSE },
        { "no end block", CTarBuilder().Add("image/c.png", "c"), { "image/c.png" }, FALSE },
        { "empty resource", CTarBuilder(), {}, FALSE },
    };
    for (Case& c : cases)
    {
        SCOPED_TRACE(c.pszWhat);
        EXPECT_EQ(Load(c.tar), c.bResult);
        EXPECT_EQ(Keys(m_archive), c.keys);
    }
}

TEST_F(SkinArchiveTest, NeverReadsPastTheEndOfACutArchive)
{
    CTarBuilder tar;
    tar.Add("one", "1").Add("zero", "").Add("over", std::string(513, 'o')).AddDirectory("dir/")
        .Add("full", std::string(512, 'f')).End();
    const std::vector<uint8_t>& bytes = tar.Bytes();
    const size_t cbEndBlock = tar.Offsets().back() + 1024;
    const TarWalkResult whole = WalkTar(bytes.data(), bytes.size());

    CGuardedBuffer guard(bytes.size());
    ASSERT_TRUE(guard.IsGuarded());
    for (size_t cb = 0; cb <= bytes.size(); ++cb)
    {
        const uint8_t* pData = guard.Place(bytes.data(), cb);
        const BOOL bResult = LoadSkinArchive(m_archive, pData, cb);
        ASSERT_EQ(bResult, cb >= cbEndBlock + TAR_BLOCK_SIZE) << "cut at " << cb;
        size_t nExpected = 0;
        for (const TarMember& m : whole.members)
        {
            if (m.cbHeaderOffset + TAR_BLOCK_SIZE + m.cbData > cb)
                break;
            ++nExpected;
            const SkinArchiveEntry* pEntry = FindSkinEntry(m_archive, m.strName.c_str());
            ASSERT_NE(pEntry, nullptr) << m.strName << " cut at " << cb;
            ASSERT_EQ(Bytes(*pEntry), std::string(reinterpret_cast<const char*>(m.pData), m.cbData));
        }
        ASSERT_EQ(m_archive.size(), nExpected) << "cut at " << cb;
    }
}

TEST_F(SkinArchiveTest, ALaterDuplicateWinsAndTheEarlierCopyIsFreed)
{
    CCopyRecorder rec;
    CTarBuilder tar;
    tar.Add("image/a.bmp", "first").Add("image/b.bmp", "b").Add("image/a.bmp", "second!").End();
    ASSERT_TRUE(Load(tar));

    ASSERT_EQ(Keys(m_archive), (std::vector<std::string>{ "image/a.bmp", "image/b.bmp" }));
    const SkinArchiveEntry* pA = FindSkinEntry(m_archive, "image/a.bmp");
    ASSERT_NE(pA, nullptr);
    EXPECT_EQ(Bytes(*pA), "second!");
    EXPECT_EQ(ReadToEnd(GetSkinStream(m_archive, "image/a.bmp")), "second!");
    EXPECT_EQ(0, std::memcmp(pA->abyHeader, tar.Bytes().data() + tar.Offsets()[2], TAR_BLOCK_SIZE));

    ASSERT_EQ(rec.m_blocks.size(), 3u);
    EXPECT_EQ(pA->hMemory.Get(), rec.m_blocks[2]);
    EXPECT_TRUE(IsFreed(rec.m_blocks[0]));
    EXPECT_FALSE(IsFreed(rec.m_blocks[2]));
    EXPECT_EQ(rec.DropStream(0), 0u) << "the replaced entry still holds its stream";
    EXPECT_GT(rec.DropStream(2), 0u) << "the winning entry lost its stream";
}

TEST_F(SkinArchiveTest, ReleaseFreesEveryBlockAndStream)
{
    CCopyRecorder rec;
    CTarBuilder tar;
    tar.Add("a", "aaa").Add("b", std::string(700, 'b')).Add("c", "").Add("d", "d").End();
    ASSERT_TRUE(Load(tar));
    ASSERT_EQ(rec.m_blocks.size(), 3u);

    // Loading again starts from an empty table: the first load's copies go. (No data in
    // the second archive, so no new block can reuse a freed handle.)
    ASSERT_TRUE(Load(CTarBuilder().Add("e", "").End()));
    ASSERT_EQ(Keys(m_archive), (std::vector<std::string>{ "e" }));
    for (size_t i = 0; i < 3; ++i)
    {
        EXPECT_TRUE(IsFreed(rec.m_blocks[i])) << i;
        EXPECT_EQ(rec.DropStream(i), 0u) << i;
    }

    ASSERT_TRUE(Load(CTarBuilder().Add("f", "f").End()));
    ReleaseSkinArchive(m_archive);
    EXPECT_TRUE(m_archive.empty());
    ASSERT_EQ(rec.m_blocks.size(), 4u);
    EXPECT_TRUE(IsFreed(rec.m_blocks[3]));
    EXPECT_EQ(rec.DropStream(3), 0u);
    ReleaseSkinArchive(m_archive);   // twice is harmless
}

TEST_F(SkinArchiveTest, AFailedCopyFilesTheHeaderWithoutDataAndTheWalkGoesOn)
{
    struct Case {
        const char* pszWhat;
        int nFailAlloc;
        int nFailStream;
        bool bKeepsBlock;
    };
    const Case cases[] = {
        { "allocation fails", 1, -1, false },
        { "stream fails", -1, 1, true },
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.pszWhat);
        CCopyRecorder rec;
        rec.m_nFailAllocAt = c.nFailAlloc;
        rec.m_nFailStreamAt = c.nFailStream;
        CTarBuilder tar;
        tar.Add("a", "aaa").Add("b", "bbb").Add("c", "ccc").End();
        ASSERT_TRUE(Load(tar));

        ASSERT_EQ(Keys(m_archive), (std::vector<std::string>{ "a", "b", "c" }));
        const SkinArchiveEntry* pB = FindSkinEntry(m_archive, "b");
        EXPECT_EQ(0, std::memcmp(pB->abyHeader, tar.Bytes().data() + tar.Offsets()[1], TAR_BLOCK_SIZE));
        EXPECT_EQ(pB->pStream.Get(), nullptr);
        EXPECT_EQ(pB->pbyBytes, nullptr);
        EXPECT_EQ(pB->cbBytes, 0u);
        EXPECT_EQ(static_cast<bool>(pB->hMemory), c.bKeepsBlock);
        EXPECT_EQ(GetSkinStream(m_archive, "b"), nullptr);
        EXPECT_EQ(ReadToEnd(GetSkinStream(m_archive, "c")), "ccc");
        EXPECT_EQ(Bytes(*FindSkinEntry(m_archive, "a")), "aaa");
        ReleaseSkinArchive(m_archive);
    }
}

TEST_F(SkinArchiveTest, LooksNamesUpExactly)
{
    CTarBuilder tar;
    tar.AddDirectory("image/").Add("image/4wifi.bmp", "bmp").Add("image/Wmap2.png", "png").End();
    ASSERT_TRUE(Load(tar));

    struct Case {
        const char* pszName;
        bool bEntry;
        bool bStream;
    };
    const Case cases[] = {
        { "image/4wifi.bmp", true, true },
        { "image/Wmap2.png", true, true },
        { "image/", true, false },          // the directory is filed, without data
        { "Image/4wifi.bmp", false, false },
        { "image\\4wifi.bmp", false, false },
        { "image/4WIFI.BMP", false, false },
        { "image/wmap2.png", false, false },
        { "image/4wifi.bm", false, false },
        { "image/4wifi.bmp ", false, false },
        { "image", false, false },
        { "", false, false },
        { nullptr, false, false },
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.pszName ? c.pszName : "(null)");
        EXPECT_EQ(FindSkinEntry(m_archive, c.pszName) != nullptr, c.bEntry);
        EXPECT_EQ(GetSkinStream(m_archive, c.pszName) != nullptr, c.bStream);
    }
}

TEST_F(SkinArchiveTest, EveryHandOutIsTheSameStreamFromItsFirstByte)
{
    const std::string strData = std::string(600, 'x') + "end";
    ASSERT_TRUE(Load(CTarBuilder().Add("image/kon_main.txt", strData).End()));

    IStream* pFirst = GetSkinStream(m_archive, "image/kon_main.txt");
    ASSERT_NE(pFirst, nullptr);
    EXPECT_EQ(ReadToEnd(pFirst), strData);
    // A consumer that read to the end, or stopped halfway, does not rewind.
    IStream* pSecond = GetSkinStream(m_archive, "image/kon_main.txt");
    EXPECT_EQ(pSecond, pFirst);
    char buf[10];
    ASSERT_EQ(pSecond->Read(buf, sizeof buf, nullptr), S_OK);
    EXPECT_EQ(ReadToEnd(GetSkinStream(m_archive, "image/kon_main.txt")), strData);
    // Borrowed: our lookups added no reference (the archive's own is the only one).
    pFirst->AddRef();
    EXPECT_EQ(pFirst->Release(), 1u);
}

// Wine's GDI+ seeks to the stream's start by itself, so on Wine the hand-out test above is
// what pins the rewind; this one shows the streams decode, more than once, as images.
TEST_F(SkinArchiveTest, GdiplusDecodesOneMemberAgainAndAgain)
{
    kfw::CGdiplusSession gdiplus;
    ASSERT_TRUE(gdiplus.IsStarted());
    ASSERT_TRUE(Load(CTarBuilder().Add("image/4wifi.bmp", MakeBmp()).End()));

    kfw::CGdipBitmap first;
    ASSERT_EQ(kfw::gdip::GdipCreateBitmapFromStream(GetSkinStream(m_archive, "image/4wifi.bmp"), first.Put()), Gdiplus::Ok);
    EXPECT_TRUE(HasTestPixels(first.Get()));

    // Another consumer drains the stream; the next decodes still start at the first byte.
    ReadToEnd(GetSkinStream(m_archive, "image/4wifi.bmp"));
    kfw::CGdipBitmap second;
    ASSERT_EQ(kfw::gdip::GdipCreateBitmapFromStream(GetSkinStream(m_archive, "image/4wifi.bmp"), second.Put()), Gdiplus::Ok);
    EXPECT_TRUE(HasTestPixels(second.Get()));
    kfw::CGdipImage third;
    ASSERT_EQ(kfw::gdip::GdipLoadImageFromStream(GetSkinStream(m_archive, "image/4wifi.bmp"), third.Put()), Gdiplus::Ok);
    UINT cx = 0, cy = 0;
    kfw::gdip::GdipGetImageWidth(third.Get(), &cx);
    kfw::gdip::GdipGetImageHeight(third.Get(), &cy);
    EXPECT_EQ(cx, 3u);
    EXPECT_EQ(cy, 2u);
    EXPECT_TRUE(HasTestPixels(static_cast<Gdiplus::GpBitmap*>(third.Get())));

    // The image made first still reads right after the shared position moved under it.
    ReadToEnd(GetSkinStream(m_archive, "image/4wifi.bmp"));
    EXPECT_TRUE(HasTestPixels(first.Get()));
}

// fixture.tar, written by GNU tar and compiled in as resource 149 "TAR".
TEST_F(SkinArchiveTest, LoadsTheArchiveFromTheProgramsResource)
{
    ASSERT_TRUE(LoadSkinArchive(m_archive));
    ASSERT_EQ(Keys(m_archive), (std::vector<std::string>{ "skin/", "skin/empty.txt", "skin/hello.txt" }));
    EXPECT_EQ(GetSkinStream(m_archive, "skin/"), nullptr);
    EXPECT_EQ(GetSkinStream(m_archive, "skin/empty.txt"), nullptr);
    const SkinArchiveEntry* pHello = FindSkinEntry(m_archive, "skin/hello.txt");
    ASSERT_NE(pHello, nullptr);
    EXPECT_EQ(Bytes(*pHello), "1001\timage/4wifi.bmp\r\n1002\timage/4wifiandbt.bmp");
    EXPECT_EQ(ReadToEnd(GetSkinStream(m_archive, "skin/hello.txt")), Bytes(*pHello));

    // A module without the resource leaves the table empty.
    EXPECT_FALSE(LoadSkinArchive(m_archive, ::GetModuleHandleA("kernel32.dll")));
    EXPECT_TRUE(m_archive.empty());
}
