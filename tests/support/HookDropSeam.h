// Windows dropping Kova's keyboard hook, as it does one that kept input waiting: the hook
// still looks installed to everyone, and its procedure is simply not called any more. The
// fake hooks for real, through a procedure of its own that passes each call on.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <utility>

#include "dialogs/ScanHook.h"
#include "framework/LinkedCalls.h"
#include "support/Seam.h"

namespace kovatest {

class CHookDropSeam {
public:
    CHookDropSeam() { s_bDropped = false; }
    ~CHookDropSeam()
    {
        s_bDropped = false;
        s_fnWhileHooking = nullptr;
    }
    CHookDropSeam(const CHookDropSeam&) = delete;
    CHookDropSeam& operator=(const CHookDropSeam&) = delete;

    // Until the next hook is put in place.
    static void Drop() { s_bDropped = true; }
    // Calls the procedure the program hooked with, as Windows would.
    static LRESULT CallProcedure(int nCode, WPARAM wParam, LPARAM lParam)
    {
        return s_pfnProduct ? s_pfnProduct(nCode, wParam, lParam) : 0;
    }
    // Runs on the input thread inside each hook's installation, before it returns.
    static void WhileHooking(std::function<void()> fn) { s_fnWhileHooking = std::move(fn); }

private:
    static HHOOK WINAPI Fake(int idHook, HOOKPROC pfnProc, HINSTANCE hMod, DWORD dwThreadId)
    {
        s_pfnProduct = pfnProc;
        if (s_fnWhileHooking)
            s_fnWhileHooking();
        const HHOOK hHook = ::SetWindowsHookExA(idHook, &Proc, hMod, dwThreadId);
        s_bDropped = false;
        return hHook;
    }
    static LRESULT CALLBACK Proc(int nCode, WPARAM wParam, LPARAM lParam)
    {
        if (s_bDropped || !s_pfnProduct)
            return ::CallNextHookEx(nullptr, nCode, wParam, lParam);
        return s_pfnProduct(nCode, wParam, lParam);
    }

    CSeam<decltype(kfw::LinkedCalls::pfnSetWindowsHookExA)> m_seam{ kfw::g_linked.pfnSetWindowsHookExA, &Fake };
    static inline std::atomic<bool> s_bDropped{ false };
    static inline HOOKPROC s_pfnProduct = nullptr;
    static inline std::function<void()> s_fnWhileHooking;
};

} // namespace kovatest
