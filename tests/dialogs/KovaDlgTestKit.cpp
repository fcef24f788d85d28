#include "KovaDlgTestKit.h"

#include "radio/RadioBits.h"
#include "support/TestSupport.h"

namespace kovadlgtest {

std::vector<int> WritesIn(const std::vector<EmscDevLogEntry>& log)
{
    std::vector<int> writes;
    for (const EmscDevLogEntry& e : log)
    {
        if (e.command == EC_CMD_WRITE && e.cbInCopied >= 2 && e.abyIn[0] == EC_REG_RADIO_STATUS)
            writes.push_back(e.abyIn[1]);
    }
    return writes;
}

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
