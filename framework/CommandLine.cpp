#include "framework/CommandLine.h"

void CCommandLineInfo::ParseParam(const char* pszParam, bool bFlag, bool)
{
    if (!bFlag && m_strFileName.empty())
        m_strFileName = pszParam;
}

void ParseCommandLine(int argc, const char* const* argv, CCommandLineInfo& rInfo)
{
    for (int i = 1; i < argc; ++i)
    {
        const char* pszParam = argv[i];
        const bool bFlag = pszParam[0] == '/' || pszParam[0] == '-';
        rInfo.ParseParam(bFlag ? pszParam + 1 : pszParam, bFlag, i + 1 == argc);
    }
}
