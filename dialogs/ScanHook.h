// ScanHook: Kova's keyboard hook, the framework's key path (kfw::CKeyHook) under Kova's
// names: every key event reaches the target as WM_SCANCODE_EVENT, its scan code and flags.
// Who holds the keys, the frame or a pop-up, is kfw::CKeyHolder's to keep.
#pragma once

#include <windows.h>

#include "framework/KeyHook.h"

class ScanHook {
public:
    ScanHook() = default;
    virtual ~ScanHook() = default;
    ScanHook(const ScanHook&) = delete;
    ScanHook& operator=(const ScanHook&) = delete;

    // As kfw::CKeyHook's, with Kova's names.
    BOOL Install(HWND hWndTarget, HINSTANCE hMod);
    BOOL Remove();

    static BOOL IsInstalled() { return kfw::CKeyHook::IsInstalled(); }
    static HWND GetTarget() { return kfw::CKeyHook::GetTarget(); }
    static BOOL Reinstall() { return kfw::CKeyHook::Reinstall(); }
    static void Shutdown() { kfw::CKeyHook::Shutdown(); }
    // Kova's names for the key path.
    static const kfw::KeyHookNames& Names();
};
