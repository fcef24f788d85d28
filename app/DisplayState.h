// What the tray shows for a radio status, and which pop-up a request opens. No Windows
// header: the rules are tested by tables and build natively too.
#pragma once

#include "radio/RadioBits.h"
#include "radio/RadioPolicy.h"

// GetCurrentStatus's answer: no radio fitted, switch on (mode selection), switch off (notice).
enum StatusClass : int {
    STATUS_CLASS_NO_DEVICE = 0,
    STATUS_CLASS_SWITCH_ON = 1,
    STATUS_CLASS_SWITCH_OFF = 2,
};

StatusClass ClassifyStatus(const RadioFlags& flags);
// The tray icon id (143-148), which is also the string id of its tool tip.
unsigned TrayIdFor(const RadioFlags& flags);
// The lines the tray's tip gains, as string ids: one for each fitted radio that is off and
// that the organisation forbids switching on, WiFi first. Writes up to two; returns how many.
int PolicyTipLines(const RadioFlags& flags, const RadioPolicy& policy, unsigned (&auIds)[2]);
