// Kova.exe without a usable EMSC.dll: a copy of the program in a folder of its own, with no
// library, a library without the entry point, or a good library only where a planted one
// would be (the current directory, PATH). Each must end in the same message box, and the
// same folder with the good library beside the program must start normally.
#include <gtest/gtest.h>

#include <algorithm>

#include "support/KovaSession.h"
#include "tools/emsc/EmscDev.h"

using namespace kovatest;
using namespace kovae2e;

namespace {

const char kAppTitle[] = "Kova";
const char kErrorText[] = "EMSC.dll ERROR!";

// How the user or another program ends Kova while the error box is up.
enum class Dismiss { Ok, CloseEvent, Messenger };

// The process shows the error box and no icon, and ends with 0 once OK is pressed, or once
// it is asked to close: a close request does not wait behind the box.
void ExpectLibraryErrorAndExit(CKova& kova, Dismiss eHow = Dismiss::Ok)
{
    ASSERT_TRUE(kova.Process());
    const HWND hBox = WaitForDialogOf(kova.Pid(), kWaitMs, kAppTitle);
    ASSERT_NE(nullptr, hBox) << "no \"" << kAppTitle << "\" message box: " << kova.Describe();
    const std::vector<std::string> texts = StaticTextsOf(hBox);
    EXPECT_NE(texts.end(), std::find(texts.begin(), texts.end(), kErrorText))
        << "the box says: " << (texts.empty() ? std::string("nothing") : texts.front());

    // The icon comes only after the library: while the box is up there is none.
    TrayIcon icon;
    EXPECT_FALSE(FindTrayIcon(CIconSelector::ByOwnerClass(kFrameClass, kTrayId), icon));

    const HWND hOk = ::GetDlgItem(hBox, IDOK);
    ASSERT_NE(nullptr, hOk) << "the box has no OK button";
    if (eHow == Dismiss::Ok)
        ::PostMessageA(hBox, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(hOk));
    else if (eHow == Dismiss::CloseEvent)
        ASSERT_TRUE(SignalFromAnotherProcess(kCloseEvent));
    else
        EXPECT_EQ(0u, CKova("Close").Wait());
    EXPECT_EQ(0u, kova.Wait());
    EXPECT_FALSE(FindTrayIcon(CIconSelector::ByOwnerClass(kFrameClass, kTrayId), icon));
}

// The copy in the folder starts for real once the good library sits beside it: the
// failures above are the library's doing, not the copy's.
void ExpectStartsWithLibraryBeside(CEmscState& state, CTempFolder& folder, const char* pszCurrentDir = nullptr)
{
    ASSERT_TRUE(folder.CopyFromBin("EMSC.dll", "EMSC.dll"));
    CResidentKova kova(state, KovaStart().Exe(folder.Path() + "Kova.exe", pszCurrentDir));
    ASSERT_TRUE(kova.IsResident()) << "the copy did not start with its library: " << kova.Describe();
    EXPECT_TRUE(kova.WaitForIcon(kTipBothOn));
    ASSERT_TRUE(SignalFromAnotherProcess(kCloseEvent));
    EXPECT_EQ(0u, kova.Wait());
}

TEST(KovaLibrary, MissingLibraryIsReportedAndNothingStarts)
{
    CEmscState state(0x1F);
    ASSERT_TRUE(state.IsReady());
    CTempFolder folder;
    ASSERT_TRUE(folder.CopyFromBin("Kova.exe", "Kova.exe"));
    {
        CKova kova(folder.Path() + "Kova.exe", std::string(), nullptr);
        ASSERT_NO_FATAL_FAILURE(ExpectLibraryErrorAndExit(kova, Dismiss::CloseEvent));
    }
    ASSERT_NO_FATAL_FAILURE(ExpectStartsWithLibraryBeside(state, folder));
}

TEST(KovaLibrary, LibraryWithoutTheEntryPointCountsAsMissing)
{
    CEmscState state(0x1F);
    ASSERT_TRUE(state.IsReady());
    CTempFolder folder;
    ASSERT_TRUE(folder.CopyFromBin("Kova.exe", "Kova.exe"));
    ASSERT_TRUE(folder.CopyFromBin("noentry\\EMSC.dll", "EMSC.dll"));
    {
        CKova kova(folder.Path() + "Kova.exe", std::string(), nullptr);
        ASSERT_NO_FATAL_FAILURE(ExpectLibraryErrorAndExit(kova, Dismiss::Messenger));
    }
    ASSERT_NO_FATAL_FAILURE(ExpectStartsWithLibraryBeside(state, folder));
}

TEST(KovaLibrary, PlantedLibraryIsNotLoaded)
{
    CEmscState state(0x1F);
    ASSERT_TRUE(state.IsReady());
    CTempFolder program, planted;
    ASSERT_TRUE(program.CopyFromBin("Kova.exe", "Kova.exe"));
    ASSERT_TRUE(planted.CopyFromBin("EMSC.dll", "EMSC.dll"));
    {
        SCOPED_TRACE("library in the current directory");
        CKova kova(program.Path() + "Kova.exe", std::string(), planted.Path().c_str());
        ASSERT_NO_FATAL_FAILURE(ExpectLibraryErrorAndExit(kova));
    }
    {
        SCOPED_TRACE("library on PATH");
        CPathPrefix path(planted.Path());
        CKova kova(program.Path() + "Kova.exe", std::string(), nullptr);
        ASSERT_NO_FATAL_FAILURE(ExpectLibraryErrorAndExit(kova));
    }
    // Started in the planted folder, the program still takes its own library.
    ASSERT_NO_FATAL_FAILURE(ExpectStartsWithLibraryBeside(state, program, planted.Path().c_str()));
}

// A library that never returns: Kova starts all the same, showing the read as failed, its
// menu opens, and every way to end it does so in time with 0.
TEST(KovaLibrary, LibraryThatDoesNotAnswerFreezesNothing)
{
    CEmscState state(0x1F);
    ASSERT_TRUE(state.IsReady());
    ASSERT_TRUE(state.SetDelay(EMSCDEV_DELAY_HANG));
    using End = bool (*)(CKova&, const TrayIcon&);
    const std::pair<const char*, End> ways[] = {
        {"E&xit", [](CKova& kova, const TrayIcon& icon) {
             return ClickTrayIcon(icon, ClickKind::Right) && WaitForPopupMenu(kWaitMs, nullptr, kova.Pid()) &&
                    PressKey("x");
         }},
        {"Kova.exe Close", [](CKova&, const TrayIcon&) { return CKova("Close").Wait() == 0; }},
        {"close event", [](CKova&, const TrayIcon&) { return SignalFromAnotherProcess(kCloseEvent); }},
        {"end of session", [](CKova& kova, const TrayIcon&) {
             return ::PostMessageA(kova.Frame(), WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF) != FALSE;
         }},
    };
    for (const auto& [pszHow, pfnEnd] : ways)
    {
        SCOPED_TRACE(pszHow);
        CResidentKova kova(state);
        ASSERT_TRUE(kova.IsResident()) << kova.Describe();
        TrayIcon icon = kova.StartIcon();
        EXPECT_TRUE(kova.WaitForIcon(kTipWlanOff, &icon)) << "the unread byte 0x66 reads as WiFi off";
        const DWORD dwStart = ::GetTickCount();
        ASSERT_TRUE(pfnEnd(kova, icon));
        EXPECT_EQ(0u, kova.Wait(8000)) << "ended after " << ::GetTickCount() - dwStart << " ms";
    }
    EXPECT_TRUE(state.SetDelay(0));
}

} // namespace
