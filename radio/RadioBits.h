// The embedded controller's radio status byte and the mode codes, as plain values.
// No Windows header here: this builds and tests natively as well.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Register and commands of the EC access library.
constexpr uint8_t EC_REG_RADIO_STATUS = 0xBB;
constexpr uint8_t EC_CMD_READ = 0xB0;
constexpr uint8_t EC_CMD_WRITE = 0xB1;

// Bits of the status byte; bits 5-7 are not ours and go back as read.
constexpr uint8_t STATUS_WLAN_ON = 0x01;
constexpr uint8_t STATUS_BT_ON = 0x02;
constexpr uint8_t STATUS_WLAN_PRESENT = 0x04;
constexpr uint8_t STATUS_BT_PRESENT = 0x08;
constexpr uint8_t STATUS_KILLSWITCH_ON = 0x10;

// What the controller reports when a read leaves its buffer alone.
constexpr uint8_t STATUS_UNREAD = 0x66;

// The five flags of the status byte.
struct RadioFlags {
    bool bWirelessOn = false;
    bool bBluetoothOn = false;
    bool bWirelessExist = false;
    bool bBluetoothExist = false;
    bool bKillSwitchOn = false;
};

RadioFlags RadioFlagsFromStatus(uint8_t byStatus);

// Radio mode codes of the mode selection dialog.
constexpr int MODE_BT_ONLY = 132;
constexpr int MODE_BOTH_ON = 134;
constexpr int MODE_WIFI_ONLY = 142;

// 1 when any bit of byMask is set in byStatus, else 0.
int StatusBit(uint8_t byStatus, uint8_t byMask);

// The byte to write back when one radio bit changes: byMask set or cleared, the rest as read.
uint8_t WithRadioBit(uint8_t byStatus, uint8_t byMask, bool bOn);

enum class Radio { Wlan, Bluetooth };

struct RadioWrite {
    Radio eRadio;
    bool bOn;
    bool operator==(const RadioWrite& other) const { return eRadio == other.eRadio && bOn == other.bOn; }
};

// The writes that realise a mode code, in order; empty for a value that is no mode.
std::vector<RadioWrite> ModeCodeWrites(int nModeCode, bool bBothFitted);

