// Finding EMSC.dll where only the program's owner or the system could have put it.
#pragma once

#include <windows.h>

// Loads EMSC.dll by full path from the program's own folder, System32 or the Windows
// folder, in that order; never from the current directory or PATH. Null when none loads.
HMODULE LoadEmscFromTrustedFolders();
