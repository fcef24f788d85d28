// The archive walk on arbitrary bytes. The first four bytes (little-endian) give the size
// the caller claims, cut to the bytes that follow: the program passes SizeofResource with
// the resource's own pointer, and a resource is never larger than its data, but it may end
// anywhere. The archive is copied into a buffer of exactly that size so that ASan sees any
// read past the claimed end.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "skin/TarWalk.h"

namespace {

// A broken promise of the walk's contract is a finding even when nothing is read wrongly.
void Check(bool bHolds)
{
    if (!bHolds)
        std::abort();
}

} // namespace

// Keeps the reads of the member data from being optimised away.
volatile unsigned g_uTouched;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t cbData)
{
    uint32_t uClaimed = 0;
    size_t cbPrefix = 0;
    for (; cbPrefix < 4 && cbPrefix < cbData; ++cbPrefix)
        uClaimed |= static_cast<uint32_t>(pData[cbPrefix]) << (8 * cbPrefix);
    const size_t cbLeft = cbData - cbPrefix;
    const size_t cbArchive = uClaimed < cbLeft ? uClaimed : cbLeft;
    const std::vector<uint8_t> archive(pData + cbPrefix, pData + cbPrefix + cbArchive);
    const uint8_t* pArchive = archive.empty() ? nullptr : archive.data();

    const TarWalkResult walk = WalkTar(pArchive, cbArchive);

    Check(walk.cbEndOffset <= cbArchive);
    size_t cbNextHeader = 0;
    unsigned uSum = 0;
    for (const TarMember& member : walk.members)
    {
        Check(member.cbHeaderOffset == cbNextHeader);
        Check(member.pHeader == pArchive + member.cbHeaderOffset);
        Check(cbArchive - member.cbHeaderOffset >= TAR_BLOCK_SIZE);
        Check(HasGnuMagic(member.pHeader));
        uint32_t uSize = 0;
        Check(ParseTarSize(member.pHeader, &uSize) && uSize == member.cbData);
        Check(member.strName.size() <= TAR_NAME_SIZE);
        Check((member.pData == nullptr) == (member.cbData == 0));
        if (member.pData)
        {
            Check(member.pData == member.pHeader + TAR_BLOCK_SIZE);
            Check(cbArchive - (member.cbHeaderOffset + TAR_BLOCK_SIZE) >= member.cbData);
            // Touch every byte the walk hands out, as the member copy does.
            for (uint32_t i = 0; i < member.cbData; ++i)
                uSum += member.pData[i];
        }
        cbNextHeader = member.cbHeaderOffset + TAR_BLOCK_SIZE
                       + (static_cast<size_t>(member.cbData) + TAR_BLOCK_SIZE - 1) / TAR_BLOCK_SIZE * TAR_BLOCK_SIZE;
    }
    switch (walk.eEnd)
    {
    case TarEnd::EndBlock:
    case TarEnd::BadSize:
        // Ends at a whole header block that follows the last member.
        Check(walk.cbEndOffset == cbNextHeader && cbArchive - walk.cbEndOffset >= TAR_BLOCK_SIZE);
        break;
    case TarEnd::Truncated:
        Check(walk.cbEndOffset == cbNextHeader || walk.cbEndOffset == cbArchive);
        break;
    default:
        Check(false);
    }
    g_uTouched = uSum;
    return 0;
}
