// CWinApp: the one application object, its start-up, message loop and exit.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "framework/CommandLine.h"
#include "framework/Wnd.h"

// String resource that holds the application title when none is given.
#define AFX_IDS_APP_TITLE 57344

// Work the message loop does a piece at a time while its queue is empty (as WTL's
// CIdleHandler), each piece after whatever came meanwhile.
class CIdleTask {
public:
    virtual ~CIdleTask() = default;
    // Does one piece; false once nothing is left.
    virtual bool DoPiece() = 0;
};

class CWinApp : public CCmdTarget {
public:
    // With no name, the title comes from string AFX_IDS_APP_TITLE, else the module name.
    explicit CWinApp(LPCSTR lpszAppName = nullptr);
    ~CWinApp() override;

    HINSTANCE m_hInstance = nullptr;
    std::string m_strAppName;
    LPSTR m_lpCmdLine = nullptr;
    int m_nCmdShow = SW_SHOWNORMAL;
    CWnd* m_pMainWnd = nullptr;

    // Called once at start-up; FALSE ends the process (ExitInstance still runs).
    virtual BOOL InitInstance();
    // Called when the application ends; the result is the process exit code.
    virtual int ExitInstance();
    // Called after a successful InitInstance: the message loop, then ExitInstance.
    virtual int Run();
    // Called by the message loop for each message before it is dispatched.
    virtual BOOL PreTranslateMessage(MSG* pMsg);
    // Called by the message loop while its queue is empty, lCount counting the calls: TRUE
    // asks for another call. Unlike MFC's, once it says FALSE it is not called again, so
    // idle work is done once and an idle program never runs it. By default one piece of
    // the idle tasks, in the order they were added.
    virtual BOOL OnIdle(LONG lCount);
    // Adds a task (not owned; it outlives the loop) after those already added.
    void AddIdleTask(CIdleTask& rTask) { m_idleTasks.push_back(&rTask); }

    // Parses the process's own command line (__argv).
    void ParseCommandLine(CCommandLineInfo& rInfo);

    // Gets and dispatches one message; FALSE on WM_QUIT (which it posts again for the
    // outer loop when called from a nested one).
    BOOL PumpMessage();

    int m_nExitCode = 0;

private:
    std::vector<CIdleTask*> m_idleTasks;
    size_t m_nIdleTask = 0;   // the first not yet finished
};

CWinApp* AfxGetApp();
HINSTANCE AfxGetInstanceHandle();
CWnd* AfxGetMainWnd();
// Starts the application object: InitInstance, Run or ExitInstance.
int AfxWinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nCmdShow);
// Registers a window class; TRUE also when a class of that name is already registered.
BOOL AfxRegisterClass(WNDCLASSA* lpWndClass);
// A message box captioned with the application title.
int AfxMessageBox(LPCWSTR lpszText, UINT nType = MB_OK);
// The application's title for message boxes; empty before there is one.
std::wstring AfxGetAppTitle();
