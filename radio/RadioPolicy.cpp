#include "radio/RadioPolicy.h"

bool PolicyForbids(const PolicyValue& value)
{
    return value.eKind == PolicyValue::Kind::Dword && value.dwValue == 0;
}

bool PolicyUnexpected(const PolicyValue& value)
{
    return value.eKind == PolicyValue::Kind::OtherType ||
           (value.eKind == PolicyValue::Kind::Dword && value.dwValue > 2);
}

RadioPolicyDecision DecideRadioPolicy(const PolicyValue (&aValues)[POLICY_PLACE_COUNT])
{
    RadioPolicyDecision decision;
    for (int i = 0; i < POLICY_PLACE_COUNT && !decision.bForbidden; ++i)
    {
        if (PolicyForbids(aValues[i]))
        {
            decision.bForbidden = true;
            decision.nDecidedBy = i;
        }
    }
    return decision;
}

bool ModeSwitchesForbiddenOn(int nModeCode, const RadioFlags& flags, const RadioPolicy& policy, Radio& rRadio)
{
    for (const RadioWrite& write : ModeCodeWrites(nModeCode, flags.bWirelessExist && flags.bBluetoothExist))
    {
        const bool bWlan = write.eRadio == Radio::Wlan;
        const bool bForbidden = bWlan ? policy.bWirelessForbidden : policy.bBluetoothForbidden;
        const bool bAlreadyOn = bWlan ? flags.bWirelessOn : flags.bBluetoothOn;
        if (write.bOn && bForbidden && !bAlreadyOn)
        {
            rRadio = write.eRadio;
            return true;
        }
    }
    return false;
}
