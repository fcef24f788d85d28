// Reading the organisation's policy on switching each radio on, from the registry's 64-bit
// view, where Group Policy and device management write it (a 32-bit program's HKLM\SOFTWARE
// is otherwise redirected to WOW6432Node). Read at each use, never cached, never written.
#pragma once

#include <windows.h>

#include "radio/RadioPolicy.h"

// One value as found.
PolicyValue ReadPolicyValue(HKEY hRoot, const char* pszKey, const char* pszValue);

// Where one radio's policy is read, in PolicyPlace order.
struct PolicySource {
    HKEY hRoot;
    const char* pszKey;
    const char* pszValue;
};
void PolicySourcesOf(Radio eRadio, PolicySource (&aSources)[POLICY_PLACE_COUNT]);

struct RadioPolicyReading {
    PolicyValue aValues[POLICY_PLACE_COUNT];
    RadioPolicyDecision decision;
};
RadioPolicyReading ReadRadioPolicyPlaces(Radio eRadio);
// Both radios, decided.
RadioPolicy ReadRadioPolicy();
