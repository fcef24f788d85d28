#include "skin/SkinArchive.h"

#include <cstring>
#include <utility>

#include "framework/DynCalls.h"
#include "framework/LinkedCalls.h"

namespace {

// ole32 is mapped at the first archive load, not at process start: the resident program
// needs no COM until its skin is first wanted.
HRESULT CreateStream(HGLOBAL hGlobal, LPSTREAM* ppStream)
{
    const auto pfnCreate = kfw::Ole32().pfnCreateStreamOnHGlobal;
    *ppStream = nullptr;
    return pfnCreate ? pfnCreate(hGlobal, FALSE, ppStream) : E_NOTIMPL;
}

// ReadTarMember's copy: block, stream, lock, bytes. Any failure leaves the entry without
// stream and bytes; the header is filed all the same.
SkinArchiveEntry CopyMember(const TarMember& member)
{
    SkinArchiveEntry entry;
    std::memcpy(entry.abyHeader, member.pHeader, TAR_BLOCK_SIZE);
    if (!member.cbData)
        return entry;

    entry.hMemory.Reset(kfw::g_linked.pfnGlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, member.cbData));
    if (!entry.hMemory)
        return entry;
    if (FAILED(CreateStream(entry.hMemory.Get(), entry.pStream.Put())) || !entry.pStream)
    {
        // The block is kept (and freed with the entry), as when the lock fails below.
        entry.pStream.Reset();
        return entry;
    }
    // GlobalSize may round a block up; the stream must end where the member ends, or a
    // decoder would see trailing zeros. Done before the lock: it may reallocate.
    ULARGE_INTEGER uliSize;
    uliSize.QuadPart = member.cbData;
    entry.pStream->SetSize(uliSize);

    void* pv = ::GlobalLock(entry.hMemory.Get());
    if (!pv)
    {
        entry.pStream.Reset();
        return entry;
    }
    std::memcpy(pv, member.pData, member.cbData);
    entry.pbyBytes = static_cast<const uint8_t*>(pv);
    entry.cbBytes = member.cbData;
    return entry;
}

} // namespace

SkinArchiveEntry::SkinArchiveEntry(SkinArchiveEntry&& other) noexcept
    : hMemory(std::move(other.hMemory)),
      pStream(std::move(other.pStream)),
      pbyBytes(std::exchange(other.pbyBytes, nullptr)),
      cbBytes(std::exchange(other.cbBytes, 0))
{
    std::memcpy(abyHeader, other.abyHeader, TAR_BLOCK_SIZE);
}

SkinArchiveEntry& SkinArchiveEntry::operator=(SkinArchiveEntry&& other) noexcept
{
    if (this != &other)
    {
        // A replaced entry gives its block and stream back here, not at exit.
        Release();
        std::memcpy(abyHeader, other.abyHeader, TAR_BLOCK_SIZE);
        hMemory = std::move(other.hMemory);
        pStream = std::move(other.pStream);
        pbyBytes = std::exchange(other.pbyBytes, nullptr);
        cbBytes = std::exchange(other.cbBytes, 0);
    }
    return *this;
}

void SkinArchiveEntry::Release() noexcept
{
    // The stream first: it refers to the block. Then the lock taken at load, then the block.
    pStream.Reset();
    if (pbyBytes)
        ::GlobalUnlock(hMemory.Get());
    pbyBytes = nullptr;
    cbBytes = 0;
    hMemory.Reset();
}

BOOL LoadSkinArchive(SkinArchive& rArchive, const void* pData, size_t cbData)
{
    ReleaseSkinArchive(rArchive);
    if (!pData)
        return FALSE;
    const TarWalkResult walk = WalkTar(static_cast<const uint8_t*>(pData), cbData);
    for (const TarMember& member : walk.members)
        rArchive.insert_or_assign(member.strName, CopyMember(member));   // a later duplicate wins
    return walk.eEnd == TarEnd::EndBlock;
}

BOOL LoadSkinArchive(SkinArchive& rArchive, HMODULE hModule)
{
    ReleaseSkinArchive(rArchive);
    if (!hModule)
        hModule = ::GetModuleHandleA(nullptr);
    HRSRC hResInfo = ::FindResourceA(hModule, MAKEINTRESOURCEA(SKIN_ARCHIVE_RESOURCE_ID), SKIN_ARCHIVE_RESOURCE_TYPE);
    if (!hResInfo)
        return FALSE;
    // A resource belongs to the module image: nothing to free. SizeofResource bounds the
    // walk, so an archive without its end blocks cannot lead us past the resource.
    HGLOBAL hResData = ::LoadResource(hModule, hResInfo);
    const void* pData = hResData ? ::LockResource(hResData) : nullptr;
    if (!pData)
        return FALSE;
    return LoadSkinArchive(rArchive, pData, ::SizeofResource(hModule, hResInfo));
}

const SkinArchiveEntry* FindSkinEntry(const SkinArchive& rArchive, const char* pszName)
{
    if (!pszName)
        return nullptr;
    const auto it = rArchive.find(pszName);
    return it != rArchive.end() ? &it->second : nullptr;
}

IStream* GetSkinStream(const SkinArchive& rArchive, const char* pszName)
{
    const SkinArchiveEntry* pEntry = FindSkinEntry(rArchive, pszName);
    if (!pEntry || !pEntry->pStream)
        return nullptr;
    // Consumers decode one member again and again (a button image at every arrow key) and
    // never rewind, so each hand-out starts at the first byte. An image that GDI+ made
    // earlier from this stream is not disturbed: its position between calls belongs to the
    // caller, so GDI+ notes where the image starts and seeks back there before any later
    // read; and everything runs on the one UI thread, so no read is in flight meanwhile.
    LARGE_INTEGER liZero = {};
    pEntry->pStream->Seek(liZero, STREAM_SEEK_SET, nullptr);
    return pEntry->pStream.Get();
}

void ReleaseSkinArchive(SkinArchive& rArchive)
{
    for (auto& item : rArchive)
        item.second.Release();
    rArchive.clear();
}
