// Opens the help document with the shell's viewer for it.
#pragma once

#include <windows.h>

// "<program files>\Pravo\Kova\kovaHelp.mht", opened with the verb "open". Failures
// are not reported to the user.
void OpenHelpFile();
