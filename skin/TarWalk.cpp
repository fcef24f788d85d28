#include "skin/TarWalk.h"

#include <cstring>

const uint8_t TAR_GNU_MAGIC[TAR_MAGIC_SIZE] = { 'u', 's', 't', 'a', 'r', ' ', ' ', 0 };

bool HasGnuMagic(const uint8_t* pHeader)
{
    return std::memcmp(pHeader + TAR_MAGIC_OFFSET, TAR_GNU_MAGIC, TAR_MAGIC_SIZE) == 0;
}

bool ParseTarSize(const uint8_t* pHeader, uint32_t* puSize)
{
    *puSize = 0;
    // 11 octal digits reach 2^33 - 1: accumulate in 64 bits, then check the range. Anything
    // but a digit is refused rather than folded into the sum, where a space (0x20 - '0')
    // would turn into a wild size.
    uint64_t ullSize = 0;
    for (size_t i = 0; i < TAR_SIZE_DIGITS; ++i)
    {
        const uint8_t by = pHeader[TAR_SIZE_OFFSET + i];
        if (by < '0' || by > '7')
            return false;
        ullSize = ullSize * 8 + (by - '0');
    }
    if (ullSize > TAR_MAX_MEMBER_SIZE)
        return false;
    *puSize = static_cast<uint32_t>(ullSize);
    return true;
}

std::string TarMemberName(const uint8_t* pHeader)
{
    // A name of exactly 100 bytes has no NUL: stop at the field's end, not in the mode field.
    const uint8_t* pName = pHeader + TAR_NAME_OFFSET;
    const void* pNul = std::memchr(pName, 0, TAR_NAME_SIZE);
    const size_t cchName = pNul ? static_cast<size_t>(static_cast<const uint8_t*>(pNul) - pName) : TAR_NAME_SIZE;
    return std::string(reinterpret_cast<const char*>(pName), cchName);
}

TarWalkResult WalkTar(const uint8_t* pArchive, size_t cbArchive)
{
    TarWalkResult result{ {}, TarEnd::EndBlock, 0 };
    size_t cbPos = 0;
    // Every bound is checked as "what is left", never as pos + n, so no sum can wrap.
    for (;;)
    {
        result.cbEndOffset = cbPos;
        if (cbArchive - cbPos < TAR_BLOCK_SIZE)
        {
            result.eEnd = TarEnd::Truncated;
            return result;
        }
        const uint8_t* pHeader = pArchive + cbPos;
        if (!HasGnuMagic(pHeader))
        {
            result.eEnd = TarEnd::EndBlock;
            return result;
        }
        uint32_t cbData = 0;
        if (!ParseTarSize(pHeader, &cbData))
        {
            result.eEnd = TarEnd::BadSize;
            return result;
        }
        const size_t cbAfterHeader = cbPos + TAR_BLOCK_SIZE;
        // The data itself must be there; its zero padding may be cut off, nothing reads it.
        if (cbArchive - cbAfterHeader < cbData)
        {
            result.eEnd = TarEnd::Truncated;
            return result;
        }
        result.members.push_back(TarMember{ TarMemberName(pHeader), cbPos, pHeader,
                                            cbData ? pArchive + cbAfterHeader : nullptr, cbData });

        const size_t cbPadded = (static_cast<size_t>(cbData) + TAR_BLOCK_SIZE - 1) / TAR_BLOCK_SIZE * TAR_BLOCK_SIZE;
        if (cbArchive - cbAfterHeader < cbPadded)
        {
            result.cbEndOffset = cbArchive;
            result.eEnd = TarEnd::Truncated;
            return result;
        }
        cbPos = cbAfterHeader + cbPadded;
    }
}
