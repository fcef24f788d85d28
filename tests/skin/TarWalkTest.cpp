// The archive walk as plain values: where members and their data lie, what ends the walk.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TarBuilder.h"
#include "skin/TarWalk.h"

using kovatest::CTarBuilder;

namespace {

std::vector<std::string> Names(const TarWalkResult& walk)
{
    std::vector<std::string> names;
    for (const TarMember& m : walk.members)
        names.push_back(m.strName);
    return names;
}

std::vector<uint8_t> HeaderWithSizeField(const char* pszField)
{
    std::vector<uint8_t> header(TAR_BLOCK_SIZE, 0);
    std::memcpy(header.data() + TAR_SIZE_OFFSET, pszField, 12);
    return header;
}

} // namespace

TEST(ParseTarSize, TakesExactlyElevenOctalDigits)
{
    struct Case {
        const char* pszField;   // the 12 bytes at offset 124
        bool bOk;
        uint32_t uSize;
    };
    const Case cases[] = {
        { "00000000000\0", true, 0 },
        { "00000000001\0", true, 1 },
        { "00000001000\0", true, 512 },
        { "00000001001\0", true, 513 },
        { "00000160130\0", true, 57432 },
        { "00000000001" "7", true, 1 },          // the twelfth byte is not read
        { "17777777777\0", true, 0x7FFFFFFFu },  // the largest size held
        { "20000000000\0", false, 0 },           // 2 GiB: past what 32-bit block sums take
        { "77777777777\0", false, 0 },
        { "        12 \0", false, 0 },           // space padding, as some writers produce
        { "0000000012 \0", false, 0 },
        { " 0000000012\0", false, 0 },
        { "0000000001\0\0", false, 0 },          // ten digits and a NUL
        { "00000000008\0", false, 0 },
        { "0000000000a\0", false, 0 },
        { "\x80" "0000000001\0", false, 0 },
    };
    for (const Case& c : cases)
    {
        const std::vector<uint8_t> header = HeaderWithSizeField(c.pszField);
        uint32_t uSize = 12345;
        EXPECT_EQ(ParseTarSize(header.data(), &uSize), c.bOk) << c.pszField;
        EXPECT_EQ(uSize, c.uSize) << c.pszField;
    }
}

TEST(TarMemberName, StopsAtTheFirstNulOrTheFieldsEnd)
{
    struct Case {
        std::string strField;   // raw bytes of the name field
        std::string strName;
    };
    const std::string str100(100, 'n');
    const Case cases[] = {
        { "image/4wifi.bmp", "image/4wifi.bmp" },
        { std::string("a\0junk", 6), "a" },
        { "", "" },
        { str100, str100 },                                    // no NUL: not into the mode field
        { "Image\\\xE9\xFF", "Image\\\xE9\xFF" },              // bytes as stored, no folding
    };
    for (const Case& c : cases)
    {
        std::vector<uint8_t> header(TAR_BLOCK_SIZE, 0);
        std::memcpy(header.data(), c.strField.data(), c.strField.size());
        std::memcpy(header.data() + 100, "0000644", 8);
        EXPECT_EQ(TarMemberName(header.data()), c.strName);
    }
}

TEST(WalkTar, DataTakesWholeBlocksAndEmptyMembersNone)
{
    CTarBuilder tar;
    tar.Add("one", "1")
        .Add("full", std::string(512, 'f'))
        .Add("over", std::string(513, 'o'))
        .Add("zero", "")
        .AddDirectory("image/")
        .Add("last", "xyz")
        .End();
    const std::vector<uint8_t>& bytes = tar.Bytes();
    const TarWalkResult walk = WalkTar(bytes.data(), bytes.size());

    struct Expect {
        const char* pszName;
        size_t cbOffset;
        uint32_t cbData;
    };
    // 1 and 512 bytes: next header 1,024 on; 513 bytes: 1,536 on; 0 bytes: right after.
    const Expect expected[] = {
        { "one", 0, 1 }, { "full", 1024, 512 }, { "over", 2048, 513 },
        { "zero", 3584, 0 }, { "image/", 4096, 0 }, { "last", 4608, 3 },
    };
    ASSERT_EQ(walk.members.size(), std::size(expected));
    for (size_t i = 0; i < walk.members.size(); ++i)
    {
        const TarMember& m = walk.members[i];
        SCOPED_TRACE(expected[i].pszName);
        EXPECT_EQ(m.strName, expected[i].pszName);
        EXPECT_EQ(m.cbHeaderOffset, expected[i].cbOffset);
        EXPECT_EQ(m.pHeader, bytes.data() + expected[i].cbOffset);
        EXPECT_EQ(m.cbData, expected[i].cbData);
        EXPECT_EQ(m.pData, m.cbData ? bytes.data() + expected[i].cbOffset + 512 : nullptr);
    }
    EXPECT_EQ(walk.members[2].pData[512], 'o');
    EXPECT_EQ(walk.eEnd, TarEnd::EndBlock);
    EXPECT_EQ(walk.cbEndOffset, 5632u);
}

TEST(WalkTar, EndsAtTheFirstBlockWithoutTheGnuMagic)
{
    CTarBuilder::Header posix{ "posix", "data" };
    posix.pszMagic = "ustar\0" "00";
    CTarBuilder::Header gnuNoNul{ "odd", "data" };
    gnuNoNul.pszMagic = "ustar   ";

    struct Case {
        const char* pszWhat;
        CTarBuilder tar;
        std::vector<std::string> names;
        size_t cbEnd;
    };
    Case cases[] = {
        { "POSIX ustar form", CTarBuilder().Add(posix).Add("b", "b").End(), {}, 0 },
        { "magic without its NUL", CTarBuilder().Add("a", "a").Add(gnuNoNul).End(), { "a" }, 1024 },
        { "end block before more headers", CTarBuilder().Add("a", "a").End().Add("b", "b").End(), { "a" }, 1024 },
        { "nothing but end blocks", CTarBuilder().End(), {}, 0 },
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.pszWhat);
        const TarWalkResult walk = WalkTar(c.tar.Bytes().data(), c.tar.Bytes().size());
        EXPECT_EQ(Names(walk), c.names);
        EXPECT_EQ(walk.eEnd, TarEnd::EndBlock);
        EXPECT_EQ(walk.cbEndOffset, c.cbEnd);
    }
}

TEST(WalkTar, KeepsDuplicatesInArchiveOrder)
{
    CTarBuilder tar;
    tar.Add("a", "first").Add("b", "b").Add("a", "second").End();
    const TarWalkResult walk = WalkTar(tar.Bytes().data(), tar.Bytes().size());
    ASSERT_EQ(Names(walk), (std::vector<std::string>{ "a", "b", "a" }));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(walk.members[2].pData), walk.members[2].cbData), "second");
}

TEST(WalkTar, StopsAtASizeFieldThatDoesNotParse)
{
    struct Case {
        const char* pszField;
    };
    const Case cases[] = { { "        12 \0" }, { "77777777777\0" }, { "0000000001x\0" } };
    for (const Case& c : cases)
    {
        CTarBuilder::Header bad{ "bad", std::string(10, 'b') };
        bad.pszSizeField = c.pszField;
        CTarBuilder tar;
        tar.Add("a", "a").Add(bad).Add("c", "c").End();
        const TarWalkResult walk = WalkTar(tar.Bytes().data(), tar.Bytes().size());
        EXPECT_EQ(Names(walk), (std::vector<std::string>{ "a" })) << c.pszField;
        EXPECT_EQ(walk.eEnd, TarEnd::BadSize) << c.pszField;
        EXPECT_EQ(walk.cbEndOffset, 1024u) << c.pszField;
    }
}

// Every prefix of an archive: a member is taken exactly when its header and data lie
// inside the prefix, and anything short of the end block is reported as cut short.
TEST(WalkTar, CutAtEveryByteTakesOnlyWholeMembers)
{
    CTarBuilder tar;
    tar.Add("one", "1").Add("zero", "").Add("over", std::string(513, 'o')).Add("full", std::string(512, 'f')).End();
    const std::vector<uint8_t>& bytes = tar.Bytes();
    const size_t cbEndBlock = tar.Offsets().back() + 1024;
    const TarWalkResult whole = WalkTar(bytes.data(), bytes.size());
    ASSERT_EQ(whole.members.size(), 4u);

    for (size_t cb = 0; cb <= bytes.size(); ++cb)
    {
        std::vector<std::string> expected;
        for (const TarMember& m : whole.members)
            if (m.cbHeaderOffset + TAR_BLOCK_SIZE + m.cbData <= cb)
                expected.push_back(m.strName);
        // A copy of exactly cb bytes, so that a sanitizer build sees any read past it (the
        // Windows tests put the prefix before a guard page).
        const std::vector<uint8_t> prefix(bytes.begin(), bytes.begin() + cb);
        const TarWalkResult walk = WalkTar(prefix.data(), prefix.size());
        ASSERT_EQ(Names(walk), expected) << "cut at " << cb;
        ASSERT_EQ(walk.eEnd, cb >= cbEndBlock + TAR_BLOCK_SIZE ? TarEnd::EndBlock : TarEnd::Truncated) << "cut at " << cb;
        ASSERT_LE(walk.cbEndOffset, cb) << "cut at " << cb;
    }
}

TEST(WalkTar, AHugeSizeInASmallBufferIsCutShort)
{
    CTarBuilder::Header huge{ "huge", "x" };
    huge.pszSizeField = "17777777777";
    CTarBuilder tar;
    tar.Add("a", "a").Add(huge).End();
    const TarWalkResult walk = WalkTar(tar.Bytes().data(), tar.Bytes().size());
    EXPECT_EQ(Names(walk), (std::vector<std::string>{ "a" }));
    EXPECT_EQ(walk.eEnd, TarEnd::Truncated);
}
