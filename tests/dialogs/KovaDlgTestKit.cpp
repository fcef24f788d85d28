#include "KovaDlgTestKit.h"

#include "radio/RadioBits.h"
#include "support/TestSupport.h"

namespace kovadlgtest {

int ReadsAfterLastWrite(const std::vector<EmscDevLogEntry>& log)
{
    int nReads = 0;
    for (const EmscDevLogEntry& e : log)
    {
        if (e.command == EC_CMD_WRITE)
            nReads = 0;
        else if (e.command == EC_CMD_READ)
            ++nReads;
    }
    return nReads;
}

} // namespace kovadlgtest
