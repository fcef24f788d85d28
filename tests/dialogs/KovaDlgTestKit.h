// What the mode pop-up's Wine tests share: the development EMSC.dll with a status byte and
// request log private to the test, and the radio writes read back from that log.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "support/EmscState.h"

namespace kovadlgtest {

using kovatest::CEmscState;
using kovatest::WritesIn;
// Reads logged after the last write (after the start when nothing was written).
int ReadsAfterLastWrite(const std::vector<EmscDevLogEntry>& log);

} // namespace kovadlgtest
