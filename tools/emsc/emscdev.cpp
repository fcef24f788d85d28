// emscdev: reads and sets the development EMSC.dll's state from a console.
//   emscdev get | set <byte> | fault [on|off] | delay [ms|hang] | log | clear
// Exit codes: 0 done, 1 the library or its state file failed, 2 usage error.
#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "framework/Handles.h"
#include "tools/emsc/EmscDev.h"

namespace {

constexpr int EXIT_FAILED = 1;
constexpr int EXIT_USAGE = 2;

int Usage(const char* pszWhy)
{
    std::fprintf(stderr,
                 "emscdev: %s\n"
                 "usage: emscdev get            print the status byte of register 0xBB\n"
                 "       emscdev set <byte>     set it (0x1F, 31 or 037; 0 to 255)\n"
                 "       emscdev fault [on|off] show or switch the mode in which reads return nothing\n"
                 "       emscdev delay [ms|hang] show or set how long every call waits before it is\n"
                 "                              served (0: none; hang: until set back to 0)\n"
                 "       emscdev log            list the requests served since the last clear\n"
                 "       emscdev clear          empty that list\n"
                 "The state file is %%" EMSCDEV_STATE_ENV "%% or %%TEMP%%\\" EMSCDEV_STATE_DEFAULT_NAME ".\n",
                 pszWhy);
    return EXIT_USAGE;
}

int Failed(const char* pszWhat)
{
    std::fprintf(stderr, "emscdev: %s failed\n", pszWhat);
    return EXIT_FAILED;
}

// A whole number in nBase (0: with C's prefixes) from 0 to ulMax.
bool ParseNumber(const char* psz, int nBase, unsigned long ulMax, unsigned long* pulValue)
{
    if (!psz || !(psz[0] >= '0' && psz[0] <= '9'))
        return false;
    char* pszEnd = nullptr;
    errno = 0;
    *pulValue = std::strtoul(psz, &pszEnd, nBase);
    return errno == 0 && *pszEnd == '\0' && *pulValue <= ulMax;
}

// The library beside this program, not whichever EMSC.dll the search path finds first.
kfw::CModule LoadLibraryBesideMe()
{
    char szPath[MAX_PATH] = {};
    DWORD cch = ::GetModuleFileNameA(nullptr, szPath, MAX_PATH);
    if (cch == 0 || cch >= MAX_PATH)
        return kfw::CModule();
    char* pszSlash = std::strrchr(szPath, '\\');
    if (!pszSlash || (pszSlash - szPath) + sizeof "\\EMSC.dll" > MAX_PATH)
        return kfw::CModule();
    std::strcpy(pszSlash, "\\EMSC.dll");
    return kfw::CModule(::LoadLibraryA(szPath));
}

// Calls the library's export pszName with the arguments; false when it is missing or fails.
template <class Pfn, class... Args>
bool Call(const kfw::CModule& module, const char* pszName, Args... args)
{
    const auto pfn = kfw::ProcAs<Pfn>(::GetProcAddress(module.Get(), pszName));
    return pfn && pfn(args...);
}

void PrintEntry(const EmscDevLogEntry& entry)
{
    const char* pszCommand = entry.command == 0xB0 ? "read " : entry.command == 0xB1 ? "write" : "other";
    std::printf("%4u pid %-6u %s cmd 0x%02x in [", static_cast<unsigned>(entry.dwSequence),
                static_cast<unsigned>(entry.dwProcessId), pszCommand, entry.command);
    for (unsigned i = 0; i < entry.cbInCopied && i < sizeof entry.abyIn; ++i)
        std::printf(i ? " %02x" : "%02x", entry.abyIn[i]);
    std::printf("] inLength %u outLength %u%s %s\n", static_cast<unsigned>(entry.inLength),
                static_cast<unsigned>(entry.outLength), entry.bHadOutBuffer ? "" : " (no out)",
                entry.bAccepted ? "served" : "refused");
}

// Milliseconds in decimal, or "hang".
bool ParseDelay(const char* psz, uint32_t* pdwDelayMs)
{
    unsigned long ulValue = EMSCDEV_DELAY_HANG;
    if (std::strcmp(psz, "hang") != 0 && !ParseNumber(psz, 10, EMSCDEV_DELAY_HANG - 1, &ulValue))
        return false;
    *pdwDelayMs = static_cast<uint32_t>(ulValue);
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return Usage("no command");
    const char* pszCommand = argv[1];
    const bool bGet = std::strcmp(pszCommand, "get") == 0;
    const bool bSet = std::strcmp(pszCommand, "set") == 0;
    const bool bFault = std::strcmp(pszCommand, "fault") == 0;
    const bool bDelay = std::strcmp(pszCommand, "delay") == 0;
    const bool bLog = std::strcmp(pszCommand, "log") == 0;
    const bool bClear = std::strcmp(pszCommand, "clear") == 0;
    if (!bGet && !bSet && !bFault && !bDelay && !bLog && !bClear)
        return Usage("unknown command");

    // Check the arguments before touching the library, so a typo changes nothing.
    uint8_t byStatus = 0;
    int nFault = -1;   // -1: only show it
    bool bSetDelay = false;
    uint32_t dwDelayMs = 0;
    if (bSet) {
        if (argc != 3)
            return Usage("set takes one byte");
        unsigned long ulStatus = 0;
        if (!ParseNumber(argv[2], 0, 0xFF, &ulStatus))
            return Usage("the byte must be a number from 0 to 255");
        byStatus = static_cast<uint8_t>(ulStatus);
    } else if (bFault) {
        if (argc > 3)
            return Usage("fault takes on or off");
        if (argc == 3) {
            if (std::strcmp(argv[2], "on") == 0)
                nFault = 1;
            else if (std::strcmp(argv[2], "off") == 0)
                nFault = 0;
            else
                return Usage("fault takes on or off");
        }
    } else if (bDelay) {
        if (argc > 3)
            return Usage("delay takes milliseconds or hang");
        bSetDelay = argc == 3;
        if (bSetDelay && !ParseDelay(argv[2], &dwDelayMs))
            return Usage("the delay must be milliseconds (0 for none) or hang");
    } else if (argc != 2) {
        return Usage("too many arguments");
    }

    kfw::CModule module = LoadLibraryBesideMe();
    if (!module)
        return Failed("loading EMSC.dll beside emscdev.exe");

    if (bGet) {
        if (!Call<PFN_EMSCDEVGETSTATUS>(module, EMSCDEV_GETSTATUS, &byStatus))
            return Failed("reading the status byte");
        std::printf("0x%02x\n", byStatus);
    } else if (bSet) {
        if (!Call<PFN_EMSCDEVSETSTATUS>(module, EMSCDEV_SETSTATUS, byStatus))
            return Failed("setting the status byte");
    } else if (bFault) {
        if (nFault >= 0) {
            if (!Call<PFN_EMSCDEVSETFAULT>(module, EMSCDEV_SETFAULT, nFault))
                return Failed("switching the fault mode");
        } else {
            int bOn = 0;
            if (!Call<PFN_EMSCDEVGETFAULT>(module, EMSCDEV_GETFAULT, &bOn))
                return Failed("reading the fault mode");
            std::printf("%s\n", bOn ? "on" : "off");
        }
    } else if (bDelay) {
        if (bSetDelay) {
            if (!Call<PFN_EMSCDEVSETDELAY>(module, EMSCDEV_SETDELAY, dwDelayMs))
                return Failed("setting the delay");
        } else {
            if (!Call<PFN_EMSCDEVGETDELAY>(module, EMSCDEV_GETDELAY, &dwDelayMs))
                return Failed("reading the delay");
            if (dwDelayMs == EMSCDEV_DELAY_HANG)
                std::puts("hang");
            else
                std::printf("%u\n", static_cast<unsigned>(dwDelayMs));
        }
    } else if (bLog) {
        EmscDevLogEntry aEntries[EMSCDEV_LOG_CAPACITY];
        uint32_t nCopied = 0;
        if (!Call<PFN_EMSCDEVREADLOG>(module, EMSCDEV_READLOG, aEntries, EMSCDEV_LOG_CAPACITY, &nCopied))
            return Failed("reading the log");
        for (uint32_t i = 0; i < nCopied; ++i)
            PrintEntry(aEntries[i]);
    } else {
        if (!Call<PFN_EMSCDEVCLEARLOG>(module, EMSCDEV_CLEARLOG))
            return Failed("clearing the log");
    }
    return 0;
}
