#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/CommandLine.h"

namespace {

struct Recorder : CCommandLineInfo {
    std::vector<std::string> m_params;
    std::vector<bool> m_flags;
    std::vector<bool> m_last;
    void ParseParam(const char* pszParam, bool bFlag, bool bLast) override
    {
        m_params.emplace_back(pszParam);
        m_flags.push_back(bFlag);
        m_last.push_back(bLast);
        CCommandLineInfo::ParseParam(pszParam, bFlag, bLast);
    }
};

std::string FileNameOf(std::vector<const char*> args)
{
    args.insert(args.begin(), "prog.exe");
    CCommandLineInfo info;
    ParseCommandLine(static_cast<int>(args.size()), args.data(), info);
    return info.m_strFileName;
}

} // namespace

TEST(CommandLine, FileNameIsTheFirstParameterThatIsNoFlag)
{
    EXPECT_EQ(FileNameOf({ "Close" }), "Close");
    EXPECT_EQ(FileNameOf({ "/Close" }), "");
    EXPECT_EQ(FileNameOf({ "-Close" }), "");
    EXPECT_EQ(FileNameOf({ "/x", "-y", "close", "Close" }), "close");
    EXPECT_EQ(FileNameOf({}), "");
    EXPECT_EQ(FileNameOf({ "" }), "");   // an empty parameter is no file name either
}

TEST(CommandLine, FlagsLoseTheirMarkAndTheLastParameterIsTold)
{
    const char* argv[] = { "prog.exe", "/flag", "-x", "name" };
    Recorder info;
    ParseCommandLine(4, argv, info);
    EXPECT_EQ(info.m_params, (std::vector<std::string>{ "flag", "x", "name" }));
    EXPECT_EQ(info.m_flags, (std::vector<bool>{ true, true, false }));
    EXPECT_EQ(info.m_last, (std::vector<bool>{ false, false, true }));
}
