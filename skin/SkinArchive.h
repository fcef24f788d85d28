// The skin archive: every member of the embedded tar copied into global memory of its
// own, with an IStream over each copy, filed by exact member name.
#pragma once

#include <windows.h>
#include <objidl.h>

#include <cstdint>
#include <functional>
#include <map>
#include <string>

#include "framework/Handles.h"
#include "res/resource.h"
#include "skin/TarWalk.h"

// One member held in memory. Move-only; owns its block and its stream.
struct SkinArchiveEntry {
    SkinArchiveEntry() = default;
    ~SkinArchiveEntry() { Release(); }
    SkinArchiveEntry(SkinArchiveEntry&& other) noexcept;
    SkinArchiveEntry& operator=(SkinArchiveEntry&& other) noexcept;
    SkinArchiveEntry(const SkinArchiveEntry&) = delete;
    SkinArchiveEntry& operator=(const SkinArchiveEntry&) = delete;

    // Releases the stream, unlocks and frees the block; the header stays.
    void Release() noexcept;

    uint8_t abyHeader[TAR_BLOCK_SIZE] = {};  // the member's header block, byte for byte
    kfw::CGlobal hMemory;                    // movable, exactly the member's size; null without data
    kfw::CComPtr<IStream> pStream;           // over hMemory, not deleting it; null without data
    const uint8_t* pbyBytes = nullptr;       // hMemory locked for the entry's life; null without data
    uint32_t cbBytes = 0;                    // bytes at pbyBytes (0 whenever pbyBytes is null)
};

// Exact, byte-wise keys (std::string compares as unsigned bytes); std::less<> lets a
// lookup by const char* go without building a string.
using SkinArchive = std::map<std::string, SkinArchiveEntry, std::less<>>;

// The resource that holds the archive: IDR_SKIN_TAR (149), type "TAR" (type names match in
// any case).
constexpr WORD SKIN_ARCHIVE_RESOURCE_ID = IDR_SKIN_TAR;
constexpr const char* SKIN_ARCHIVE_RESOURCE_TYPE = "tar";

// Fills rArchive (emptied first) from an archive in memory; reads nothing outside
// [pData, pData + cbData). TRUE when the walk ended at an end block; FALSE when it was cut
// short (data ends early, a size that does not parse), keeping the members read so far.
BOOL LoadSkinArchive(SkinArchive& rArchive, const void* pData, size_t cbData);
// The same from resource 149 "tar" of hModule (null: the program's module), bounded by
// SizeofResource. FALSE, with an empty table, when the resource cannot be found or loaded.
BOOL LoadSkinArchive(SkinArchive& rArchive, HMODULE hModule = nullptr);

// The member's stream, sought to its first byte, or null (no such name, or no data). Borrowed:
// no reference added; the same object for every lookup of one name.
IStream* GetSkinStream(const SkinArchive& rArchive, const char* pszName);
// The member's entry (header and bytes), or null.
const SkinArchiveEntry* FindSkinEntry(const SkinArchive& rArchive, const char* pszName);
// Releases every entry in key order and empties the table.
void ReleaseSkinArchive(SkinArchive& rArchive);

