// The walk over a GNU tar archive in memory, as plain values: which members it holds,
// where their data lies, and why the walk stopped. No Windows header here: this builds
// and tests natively as well.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr size_t TAR_BLOCK_SIZE = 512;
constexpr size_t TAR_NAME_OFFSET = 0;
constexpr size_t TAR_NAME_SIZE = 100;
constexpr size_t TAR_SIZE_OFFSET = 124;
constexpr size_t TAR_SIZE_DIGITS = 11;
constexpr size_t TAR_MAGIC_OFFSET = 257;
constexpr size_t TAR_MAGIC_SIZE = 8;

// "ustar  \0": GNU tar's magic and version. The POSIX form ("ustar\0" "00") is not taken.
extern const uint8_t TAR_GNU_MAGIC[TAR_MAGIC_SIZE];

// Largest member size accepted: block arithmetic on it must not overflow 32 bits.
constexpr uint32_t TAR_MAX_MEMBER_SIZE = 0x7FFFFFFFu;

// pHeader points at a 512-byte header block.
bool HasGnuMagic(const uint8_t* pHeader);
// The size field: exactly 11 octal digits '0'-'7' at offset 124. FALSE (and *puSize 0) for
// anything else, such as space padding, or for a value above TAR_MAX_MEMBER_SIZE.
bool ParseTarSize(const uint8_t* pHeader, uint32_t* puSize);
// The name field up to its first NUL, at most 100 bytes, byte for byte.
std::string TarMemberName(const uint8_t* pHeader);

struct TarMember {
    std::string strName;
    size_t cbHeaderOffset;       // where its header block starts in the archive
    const uint8_t* pHeader;      // that block, 512 bytes
    const uint8_t* pData;        // first data byte; null when cbData is 0
    uint32_t cbData;
};

enum class TarEnd {
    EndBlock,    // a block without the GNU magic: the archive's end (or a foreign header)
    Truncated,   // a header or a member's data would run past the end of the buffer
    BadSize,     // a header whose size field does not parse: the next header cannot be found
};

struct TarWalkResult {
    std::vector<TarMember> members;   // archive order, duplicates included
    TarEnd eEnd;
    size_t cbEndOffset;               // where the block that ended the walk starts
};

// Walks the archive from its first byte; reads nothing outside [pArchive, pArchive + cbArchive).
TarWalkResult WalkTar(const uint8_t* pArchive, size_t cbArchive);
