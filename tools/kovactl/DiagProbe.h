// Gathers what "kovactl diag" reports from the system, Kova and EMSC.dll.
#pragma once

#include <string>

#include "tools/kovactl/DiagReport.h"

// Everything at once. EMSC.dll is loaded the trusted way, its status byte read once through
// the controller, and the library freed again before this returns, unless that read never
// came back.
DiagFacts ProbeDiagnostics();

// UTF-8 text to stdout in the console's code page, as a user pastes it from there.
void PrintUtf8(const std::string& strUtf8);
