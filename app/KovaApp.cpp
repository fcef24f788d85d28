#include "app/KovaApp.h"

#include <utility>

#include "app/SingleInstance.h"
#include "dialogs/AboutDlg.h"
#include "dialogs/Popups.h"
#include "framework/DynCalls.h"
#include "framework/Handles.h"
#include "framework/KeyHook.h"
#include "framework/StepMarks.h"
#include "framework/ToolTipCtrl.h"

namespace {

// Windows starts Kova again after an installer closed it for an update. Not after a crash,
// a hang or a reboot: the logon entry starts it then.
void RegisterForRestart()
{
    if (const auto pfnRegister = kfw::g_kernel32.pfnRegisterApplicationRestart)
        pfnRegister(nullptr, RESTART_NO_CRASH | RESTART_NO_HANG | RESTART_NO_REBOOT);
}

} // namespace

CKovaApp::CKovaApp()
{
    // Created not owned: only the about command takes it.
    m_hAboutMutex.Reset(::CreateMutexA(nullptr, FALSE, nullptr));
}

CKovaApp::~CKovaApp()
{
    // Whatever start-up got to: the watcher is joined before its events go (member order),
    // the skin goes with no window left to show it, GDI+ shuts down last.
    m_pMainFrame.reset();
    kfw::CKeyHook::Shutdown();
    m_eventWatcher.Stop();
    ReleaseSkin();
    m_gdiplus.reset();
}

BOOL CKovaApp::InitInstance()
{
    CWinApp::InitInstance();
    CCommandLineInfo cmdInfo;
    ParseCommandLine(cmdInfo);

    // The messenger: tell a resident instance to quit, never become resident.
    if (cmdInfo.m_strFileName == "Close")
    {
        if (::FindWindowA(KOVA_WINDOW_CLASS, nullptr))
        {
            m_hCloseEvent.Reset(::CreateEventA(nullptr, FALSE, FALSE, KOVA_CLOSE_EVENT_NAME));
            if (m_hCloseEvent)
                ::SetEvent(m_hCloseEvent.Get());
        }
        return FALSE;
    }

    // A second start ends silently; the mutex stays ours until the frame gives back what
    // other processes see.
    CSingleInstance singleInstance;
    if (!singleInstance.Create(KOVA_WINDOW_CLASS))
        return FALSE;
    kfw::MarkStep("instance");

    // Before the window: a close request must reach even the library's error box, which
    // start-up may show, and the organisation's policy is watched before the frame reads it.
    m_eventWatcher.Start();
    kfw::MarkStep("watcher");

    // The class's icon, which no one sees of a hidden window, comes after the tray icon too.
    WNDCLASSA wc = {};
    wc.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
    wc.lpfnWndProc = ::DefWindowProcA;   // the framework takes the window over at creation
    wc.hInstance = m_hInstance;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = KOVA_WINDOW_CLASS;
    if (!AfxRegisterClass(&wc))
        return FALSE;
    kfw::MarkStep("class");

    // Once the tray icon shows, a piece per turn of the loop: a key or a click waits for one
    // piece at most, and a pop-up opened before all are done makes the rest itself.
    AddIdleTask(m_skinTask);
    AddIdleTask(m_backgroundsTask);
    AddIdleTask(m_captionFaceTask);
    AddIdleTask(CToolTipCtrl::LibraryTask());

    m_pMainFrame = std::make_unique<CMainFrame>();
    m_pMainFrame->KeepInstance(std::move(singleInstance));
    m_pMainFrame->SetPopupPreparation([this] { StartSkin(); });
    m_pMainFrame->SetPictureStore(&m_skinPictures);
    m_pMainFrame->SetWindowMade([this](HWND hWnd) { m_eventWatcher.SetTarget(hWnd); });
    if (!m_pMainFrame->LoadFrame(IDR_MAINFRAME, WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE, nullptr, nullptr))
    {
        m_pMainFrame.reset();
        return FALSE;
    }
    m_pMainWnd = m_pMainFrame.get();
    ::SetWindowPos(m_pMainFrame->m_hWnd, HWND_TOPMOST, -100, -100, 0, 0, SWP_NOACTIVATE | SWP_FRAMECHANGED);
    ::ShowWindow(m_pMainFrame->m_hWnd, SW_HIDE);
    ::UpdateWindow(m_pMainFrame->m_hWnd);

    // The tray icon shows: what follows, no one sees.
    ::SetClassLongPtrA(m_pMainFrame->m_hWnd, GCLP_HICON,
                       reinterpret_cast<LONG_PTR>(::LoadIconA(m_hInstance, MAKEINTRESOURCEA(IDR_MAINFRAME))));
    RegisterForRestart();
    return TRUE;
}

void CKovaApp::StartSkin()
{
    // A GDI+ that failed is tried again by the next pop-up.
    kfw::StartGdiplus(m_gdiplus);
    kfw::MarkStep("gdiplus");
    if (!std::exchange(m_bSkinLoaded, true))
        LoadSkinArchive(m_skinArchive, m_hInstance);
    kfw::MarkStep("skin");
    m_skinPictures.SetArchive(&m_skinArchive);
}

int CKovaApp::ExitInstance()
{
    // Every thread ends before the entry point returns, never in static destruction, whose
    // order across files nobody decides.
    kfw::CKeyHook::Shutdown();
    m_eventWatcher.Stop();
    m_hCloseEvent.Reset();
    ReleaseSkin();
    return 0;
}

void CKovaApp::ReleaseSkin()
{
    // No lookups from here; the pictures before the archive: GDI+ may still read their streams.
    m_skinPictures.SetArchive(nullptr);
    m_skinPictures.Clear();
    ReleaseSkinArchive(m_skinArchive);
}

void CKovaApp::OnAppAbout()
{
    // Issued again from the About box's own loop: one box is enough.
    if (m_bAboutLocked || !m_hAboutMutex)
        return;
    if (::WaitForSingleObject(m_hAboutMutex.Get(), INFINITE) != WAIT_OBJECT_0)
        return;
    m_bAboutLocked = true;
    {
        CAboutDlg dlgAbout;
        dlgAbout.DoModal();
    }
    ::ReleaseMutex(m_hAboutMutex.Get());
    m_bAboutLocked = false;
}
