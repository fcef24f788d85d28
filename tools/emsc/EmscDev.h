// Extra exports of the development EMSC.dll, for tests and emscdev.exe.
// All are __cdecl and exported undecorated; resolve them with GetProcAddress.
//
// The state (status byte, fault switch, delay, request log) lives in a small file mapped by every
// process that loads the library, so it is shared while they run and kept between runs.
// The file is named by the environment variable KOVA_EMSC_STATE, read on every call;
// without it, %TEMP%\KovaEmscState.bin. A new file starts with status 0x1F.
#pragma once

#include <cstdint>

#define EMSCDEV_STATE_ENV "KOVA_EMSC_STATE"
#define EMSCDEV_STATE_DEFAULT_NAME "KovaEmscState.bin"
#define EMSCDEV_INITIAL_STATUS 0x1F
#define EMSCDEV_LOG_CAPACITY 64
// The delay that never ends: EMSCEvaluate waits until the delay is set back to 0.
#define EMSCDEV_DELAY_HANG 0xFFFFFFFFu

// One request as EMSCEvaluate saw it.
struct EmscDevLogEntry {
    uint32_t dwSequence;    // 1, 2, ... since the log was last cleared
    uint32_t dwProcessId;   // caller
    uint8_t command;
    uint8_t bAccepted;      // 0: rejected as malformed, or a read in fault mode
    uint8_t cbInCopied;     // how many of inBuffer's bytes are in abyIn (at most 4)
    uint8_t byReserved;
    uint8_t abyIn[4];
    uint32_t inLength;
    uint32_t outLength;
    uint8_t bHadOutBuffer;  // outBuffer was not null
    uint8_t abyReserved[3];
};
static_assert(sizeof(EmscDevLogEntry) == 28, "the log is part of the shared file");

extern "C" {
// Each returns 1 on success, 0 when the state file cannot be opened (or a null pointer).
typedef int (__cdecl* PFN_EMSCDEVGETSTATUS)(uint8_t* pbyStatus);
typedef int (__cdecl* PFN_EMSCDEVSETSTATUS)(uint8_t byStatus);
// In fault mode a read request returns without writing its output buffer.
typedef int (__cdecl* PFN_EMSCDEVGETFAULT)(int* pbFault);
typedef int (__cdecl* PFN_EMSCDEVSETFAULT)(int bFault);
// Every EMSCEvaluate call waits this many milliseconds before it is served (0: none;
// EMSCDEV_DELAY_HANG: until the delay is 0 again). The value is looked at about every 10 ms
// while a call waits, so setting 0 releases a waiting call.
typedef int (__cdecl* PFN_EMSCDEVGETDELAY)(uint32_t* pdwDelayMs);
typedef int (__cdecl* PFN_EMSCDEVSETDELAY)(uint32_t dwDelayMs);
// The log keeps the last EMSCDEV_LOG_CAPACITY requests. Copies the newest of them, at most
// nMax, oldest first, into pEntries and stores how many in *pnCopied. pEntries may be null
// when nMax is 0.
typedef int (__cdecl* PFN_EMSCDEVREADLOG)(EmscDevLogEntry* pEntries, uint32_t nMax, uint32_t* pnCopied);
typedef int (__cdecl* PFN_EMSCDEVCLEARLOG)(void);
}

#define EMSCDEV_GETSTATUS "EmscDevGetStatus"
#define EMSCDEV_SETSTATUS "EmscDevSetStatus"
#define EMSCDEV_GETFAULT "EmscDevGetFault"
#define EMSCDEV_SETFAULT "EmscDevSetFault"
#define EMSCDEV_GETDELAY "EmscDevGetDelay"
#define EMSCDEV_SETDELAY "EmscDevSetDelay"
#define EMSCDEV_READLOG "EmscDevReadLog"
#define EMSCDEV_CLEARLOG "EmscDevClearLog"
