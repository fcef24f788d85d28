#include "dialogs/ScanHook.h"

#include "res/KovaNames.h"

namespace {

constexpr kfw::KeyHookNames KOVA_KEY_PATH = KOVA_KEY_PATH_NAMES;

} // namespace

const kfw::KeyHookNames& ScanHook::Names()
{
    return KOVA_KEY_PATH;
}

BOOL ScanHook::Install(HWND hWndTarget, HINSTANCE hMod)
{
    return kfw::CKeyHook::Install(KOVA_KEY_PATH, hWndTarget, hMod);
}

BOOL ScanHook::Remove()
{
    return kfw::CKeyHook::Remove();
}
