// The organisation's word on switching a radio on, as plain values: what each place where
// policy is read says, which decides, and which modes it leaves to choose. No Windows
// header: tested by tables.
#pragma once

#include <cstdint>

#include "radio/RadioBits.h"

// The places read for each radio, in the order they are reported.
enum class PolicyPlace { Computer, User, Device };
constexpr int POLICY_PLACE_COUNT = 3;

// One place's value as found.
struct PolicyValue {
    enum class Kind { Absent, Dword, OtherType };
    Kind eKind = Kind::Absent;
    uint32_t dwValue = 0;
};

// 0 forbids; a missing key or value, 1, 2, any other value or type allows.
bool PolicyForbids(const PolicyValue& value);
// A type other than REG_DWORD, or a value other than 0, 1 or 2: allowed, and worth a line
// in the diagnosis.
bool PolicyUnexpected(const PolicyValue& value);

struct RadioPolicyDecision {
    bool bForbidden = false;
    int nDecidedBy = -1;   // the first place that forbids; -1 when none does
};
// The most restrictive place wins.
RadioPolicyDecision DecideRadioPolicy(const PolicyValue (&aValues)[POLICY_PLACE_COUNT]);

// Which radios the organisation forbids switching on.
struct RadioPolicy {
    bool bWirelessForbidden = false;
    bool bBluetoothForbidden = false;
};

// The radio a mode would switch on against the policy, if any: Kova may switch a forbidden
// radio off, and leaves one that is already on alone.
bool ModeSwitchesForbiddenOn(int nModeCode, const RadioFlags& flags, const RadioPolicy& policy, Radio& rRadio);
inline bool ModeAllowedByPolicy(int nModeCode, const RadioFlags& flags, const RadioPolicy& policy)
{
    Radio eRadio = Radio::Wlan;
    return !ModeSwitchesForbiddenOn(nModeCode, flags, policy, eRadio);
}
