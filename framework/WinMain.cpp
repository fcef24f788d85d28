// The program's entry point; kept apart so test programs with their own main() link
// the framework without it.
#include "framework/WinApp.h"

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nShowCmd)
{
    return AfxWinMain(hInstance, hPrevInstance, lpCmdLine, nShowCmd);
}
