// CKovaApp: the application object. Start-up decides between resident instance and
// "Close" messenger, and sets up everything the main frame stands on.
#pragma once

#include <windows.h>

#include <memory>
#include <optional>

#include "app/EventWatcher.h"
#include "app/MainFrame.h"
#include "dialogs/Popups.h"
#include "framework/GdiPlus.h"
#include "framework/Handles.h"
#include "framework/WinApp.h"
#include "skin/PictureStore.h"

class CKovaApp : public CWinApp {
public:
    CKovaApp();
    ~CKovaApp() override;

    BOOL InitInstance() override;
    int ExitInstance() override;

    BEGIN_MSG_MAP(CKovaApp)
        ON_COMMAND(ID_APP_ABOUT, OnAppAbout)
    END_MSG_MAP()

    void OnAppAbout();

    SkinArchive& GetSkinArchive() { return m_skinArchive; }

private:
    // GDI+ and the skin archive: left out of start-up so that the tray icon shows first,
    // made at the first idle moment or by the first pop-up, whichever comes first.
    void StartSkin();
    // Ends the skin's lookups and gives back its pictures and archive; again does nothing.
    void ReleaseSkin();

    // The first idle moment starts the skin; the pop-ups' preparation follows.
    struct CSkinTask : CIdleTask {
        explicit CSkinTask(CKovaApp& rApp) : m_rApp(rApp) {}
        bool DoPiece() override
        {
            m_rApp.StartSkin();
            return false;
        }
        CKovaApp& m_rApp;
    } m_skinTask{ *this };

    kfw::CHandle m_hAboutMutex;          // keeps a single About box open
    bool m_bAboutLocked = false;
    kfw::CHandle m_hCloseEvent;          // opened by the "Close" messenger
    std::optional<kfw::CGdiplusSession> m_gdiplus;
    bool m_bSkinLoaded = false;          // once, whatever the archive said
    SkinArchive m_skinArchive;
    CSkinPictureStore m_skinPictures;   // emptied before the archive is released
    CPopupBackgroundsTask m_backgroundsTask{ m_skinPictures };
    CCaptionFaceTask m_captionFaceTask{ m_skinPictures };
    EventWatcher m_eventWatcher;
    std::unique_ptr<CMainFrame> m_pMainFrame;
};
