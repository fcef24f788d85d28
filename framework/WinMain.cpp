// The program's entry point; kept apart so test programs with their own main() link
// the framework without it.
#include "framework/WinApp.h"
#include "framework/StepMarks.h"

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nShowCmd)
{
    kfw::MarkStep("main");
    return AfxWinMain(hInstance, hPrevInstance, lpCmdLine, nShowCmd);
}
