#include "skin/CaptionFaces.h"

#include <utility>

Gdiplus::GpFontFamily* CCaptionFaces::Find(LPCWSTR pszFamily)
{
    namespace gdip = kfw::gdip;
    const auto it = m_families.find(pszFamily);
    if (it != m_families.end())
        return it->second.Get();
    kfw::CGdipFontFamily family;
    if (!AddFontFile(pszFamily) || gdip::GdipCreateFontFamilyFromName(pszFamily, m_collection.Get(), family.Put()) != Gdiplus::Ok)
        gdip::GdipCreateFontFamilyFromName(pszFamily, nullptr, family.Put());
    return m_families.emplace(pszFamily, std::move(family)).first->second.Get();
}

int CCaptionFaces::OwnFamilyCount() const
{
    INT nCount = 0;
    if (m_collection)
        kfw::gdip::GdipGetFontCollectionFamilyCount(m_collection.Get(), &nCount);
    return nCount;
}

void CCaptionFaces::Clear()
{
    m_families.clear();
    m_collection.Reset();
    m_fontFiles.clear();
}

bool CCaptionFaces::AddFontFile(LPCWSTR pszFamily)
{
    kfw::CMemDC hDC(::CreateCompatibleDC(nullptr));
    kfw::CFontH hFont(::CreateFontW(0, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                    CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, pszFamily));
    if (!hDC || !hFont)
        return false;
    kfw::CScopedSelect select(hDC.Get(), hFont.Get());
    // Another face standing in for a missing one is not this face.
    WCHAR szFace[LF_FACESIZE] = {};
    if (!::GetTextFaceW(hDC.Get(), LF_FACESIZE, szFace) || ::lstrcmpiW(szFace, pszFamily) != 0)
        return false;
    // A face of a collection file cannot be read out on its own.
    constexpr DWORD COLLECTION_TAG = 0x66637474;   // "ttcf", as GetFontData takes a tag
    if (::GetFontData(hDC.Get(), COLLECTION_TAG, 0, nullptr, 0) != GDI_ERROR)
        return false;
    const DWORD cbFile = ::GetFontData(hDC.Get(), 0, 0, nullptr, 0);
    if (cbFile == GDI_ERROR || cbFile == 0)
        return false;
    std::vector<BYTE> file(cbFile);
    if (::GetFontData(hDC.Get(), 0, 0, file.data(), cbFile) != cbFile)
        return false;
    namespace gdip = kfw::gdip;
    if (!m_collection && gdip::GdipNewPrivateFontCollection(m_collection.Put()) != Gdiplus::Ok)
        return false;
    if (gdip::GdipPrivateAddMemoryFont(m_collection.Get(), file.data(), static_cast<INT>(cbFile)) != Gdiplus::Ok)
        return false;
    m_fontFiles.push_back(std::move(file));
    return true;
}
