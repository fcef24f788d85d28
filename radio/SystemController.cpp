#include "radio/SystemController.h"

#include "framework/Trace.h"
#include "radio/EmscCall.h"
#include "radio/RadioBits.h"

// returnECData starts at the same "nothing read" value a failed read leaves.
SystemController::SystemController() : returnECData(STATUS_UNREAD) {}

SystemController::~SystemController() = default;

void SystemController::QueryWsBlStatus()
{
    kfw::TraceLine("void SystemController::QueryWsBlStatus()");
    // A library that fills nothing leaves this value, which reads as "WLAN fitted and off,
    // switch off": the user is then told the radios are cut rather than shown stale data.
    returnECData = STATUS_UNREAD;
    BYTE byRegister = EC_REG_RADIO_STATUS;
    ReadECData(&byRegister, 1, &returnECData, 1);
    kfw::TraceFormat("ECNRWD.returnECData is Hex(0x%x)", static_cast<unsigned>(returnECData));
}

BOOL SystemController::IsWirelessOn()
{
    kfw::TraceLine("BOOL SystemController::IsWirelessOn()");
    return StatusBit(returnECData, STATUS_WLAN_ON);
}

BOOL SystemController::IsBluetoothOn()
{
    kfw::TraceLine("BOOL SystemController::IsBluetoothOn()");
    return StatusBit(returnECData, STATUS_BT_ON);
}

BOOL SystemController::IsWirelessExist()
{
    kfw::TraceLine("BOOL SystemController::IsWirelessExist()");
    return StatusBit(returnECData, STATUS_WLAN_PRESENT);
}

BOOL SystemController::IsBluetoothExist()
{
    kfw::TraceLine("BOOL SystemController::IsBluetoothExist()");
    return StatusBit(returnECData, STATUS_BT_PRESENT);
}

BOOL SystemController::IsKillSwitchOn()
{
    kfw::TraceLine("BOOL SystemController::IsKillSwitchOn()");
    return StatusBit(returnECData, STATUS_KILLSWITCH_ON);
}

// The library's result is not examined: a read that fails shows as an untouched buffer.
BOOL SystemController::ReadECData(BYTE* pbyIn, DWORD dwInLength, BYTE* pbyOut, DWORD dwOutLength)
{
    EmscRequest request = {};
    request.command = EC_CMD_READ;
    request.inBuffer = pbyIn;
    request.inLength = dwInLength;
    request.outBuffer = pbyOut;
    request.outLength = dwOutLength;
    m_nLastReadResult = EmscEvaluate(request, &m_bLastReadAnswered);
    return TRUE;
}

BOOL SystemController::WriteECData(BYTE* pbyIn, DWORD dwInLength)
{
    EmscRequest request = {};
    request.command = EC_CMD_WRITE;
    request.inBuffer = pbyIn;
    request.inLength = dwInLength;
    EmscEvaluate(request);
    return TRUE;
}

BOOL SystemController::SetWirelessOn(BOOL bOn)
{
    return SetRadioBit(STATUS_WLAN_ON, bOn);
}

BOOL SystemController::SetBluetoothOn(BOOL bOn)
{
    return SetRadioBit(STATUS_BT_ON, bOn);
}

// Reads again right before writing, so two changes in a row compose and bits 2-7 go back
// exactly as the EC has them now, not as some older read had them.
//
// A read the library did not answer writes nothing: the byte would be the 0x66 preset, and
// should that call come back meanwhile the write would reach the EC.
BOOL SystemController::SetRadioBit(BYTE byMask, BOOL bOn)
{
    QueryWsBlStatus();
    if (!m_bLastReadAnswered)
        return TRUE;
    BYTE abyWrite[2] = { EC_REG_RADIO_STATUS, WithRadioBit(returnECData, byMask, bOn != FALSE) };
    WriteECData(abyWrite, 2);
    return TRUE;
}

void ApplyModeCode(SystemController& controller, int nModeCode, BOOL bBothFitted)
{
    for (const RadioWrite& write : ModeCodeWrites(nModeCode, bBothFitted != FALSE))
    {
        if (write.eRadio == Radio::Bluetooth)
            controller.SetBluetoothOn(write.bOn ? TRUE : FALSE);
        else
            controller.SetWirelessOn(write.bOn ? TRUE : FALSE);
    }
}

RadioFlags ReadRadioFlags(SystemController& controller)
{
    controller.QueryWsBlStatus();
    RadioFlags flags;
    flags.bKillSwitchOn = controller.IsKillSwitchOn() != FALSE;
    flags.bWirelessExist = controller.IsWirelessExist() != FALSE;
    flags.bBluetoothExist = controller.IsBluetoothExist() != FALSE;
    flags.bWirelessOn = controller.IsWirelessOn() != FALSE;
    flags.bBluetoothOn = controller.IsBluetoothOn() != FALSE;
    return flags;
}
