// Reads and writes the radio status byte through EMSCEvaluate.
#pragma once

#include <windows.h>

#include "radio/RadioBits.h"

class SystemController {
public:
    SystemController();
    virtual ~SystemController();
    SystemController(const SystemController&) = delete;
    SystemController& operator=(const SystemController&) = delete;

    // Reads register 0xBB into returnECData (0x66 when the read fills nothing).
    void QueryWsBlStatus();

    // Answers from returnECData, 1 or 0; they never ask the EC.
    BOOL IsWirelessOn();
    BOOL IsBluetoothOn();
    BOOL IsWirelessExist();
    BOOL IsBluetoothExist();
    BOOL IsKillSwitchOn();

    BOOL ReadECData(BYTE* pbyIn, DWORD dwInLength, BYTE* pbyOut, DWORD dwOutLength);
    BOOL WriteECData(BYTE* pbyIn, DWORD dwInLength);

    // Fresh read, one bit changed, written back; returnECData keeps the byte read. Nothing
    // is written when the library did not answer the read.
    BOOL SetWirelessOn(BOOL bOn);
    BOOL SetBluetoothOn(BOOL bOn);

    // The status byte as last read by QueryWsBlStatus.
    BYTE returnECData;

    // What EMSCEvaluate returned for the last read; Kova goes by the buffer alone.
    int LastReadResult() const { return m_nLastReadResult; }
    // False when the library did not answer the last read in time (or an earlier call of
    // it still had not returned); the read then counts as one that filled nothing.
    bool LastReadAnswered() const { return m_bLastReadAnswered; }

private:
    BOOL SetRadioBit(BYTE byMask, BOOL bOn);

    int m_nLastReadResult = 0;
    bool m_bLastReadAnswered = false;
};

// One fresh read of the status byte through controller, as its five flags.
RadioFlags ReadRadioFlags(SystemController& controller);

// Carries out a mode code (MODE_BT_ONLY, MODE_BOTH_ON, MODE_WIFI_ONLY) with the given
// controller; any other value writes nothing. bBothFitted: both radios were fitted at the
// caller's last read.
void ApplyModeCode(SystemController& controller, int nModeCode, BOOL bBothFitted);
