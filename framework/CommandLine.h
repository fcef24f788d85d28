// The standard command-line parse: flags begin with '/' or '-', the first other
// parameter is the file name. No Windows header: tested natively too.
#pragma once

#include <string>

class CCommandLineInfo {
public:
    virtual ~CCommandLineInfo() = default;

    // Called once per parameter, without the leading '/' or '-' when bFlag is set.
    virtual void ParseParam(const char* pszParam, bool bFlag, bool bLast);

    std::string m_strFileName;
};

// Feeds argv[1..argc-1] to rInfo.ParseParam.
void ParseCommandLine(int argc, const char* const* argv, CCommandLineInfo& rInfo);
