// The pieces of Kova's start-up and hot-key path that kovamicro times, on the program's own
// code: the skin archive from the program's resource, the pop-ups' backgrounds, their
// outlines, caption and buttons, the radio read, and whole pop-ups shown and painted.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "bench/micro/MicroRunner.h"
#include "framework/GdiPlus.h"
#include "framework/Handles.h"
#include "radio/EmscAccess.h"
#include "skin/PictureStore.h"

// What every piece shares: GDI+, the skin archive loaded from this program's resource as
// Kova loads it at start-up, and the development EMSC.dll from this program's folder with a
// status byte in a file of our own.
class CMicroContext {
public:
    CMicroContext() = default;
    ~CMicroContext();
    CMicroContext(const CMicroContext&) = delete;
    CMicroContext& operator=(const CMicroContext&) = delete;

    // false, with a message for the user, when any of it cannot be had.
    bool Open(std::string& rstrError);

    // The table the pop-ups' store serves; pieces check their members.
    SkinArchive& Archive() { return m_archive; }
    CSkinPictureStore& Pictures() { return m_pictures; }
    // Sets the status byte the next radio read sees (bits as the development library's).
    bool SetRadioStatus(BYTE byStatus);

private:
    kfw::CGdiplusSession m_gdiplus;
    SkinArchive m_archive;
    CSkinPictureStore m_pictures;
    std::string m_strStateFile;
    CEmscAccess m_emsc;
};

// Every piece, in the order of the path: start-up, the parts of a pop-up, whole pop-ups.
// For a whole pop-up, the plain window piece of its size, run along with it so that
// "<name>.own" (Kova's own work, see OwnWork) follows it; empty for any other piece.
std::string MicroPlainWindowOf(const std::string& strPiece);
std::vector<MicroPiece> MakeMicroPieces(CMicroContext& rContext);

// The three-button pop-up opened step by step with the same public pieces as the real one,
// each step a stage: where popup_mode_three's time goes.
MicroPiece ModeStepsPiece(CMicroContext& rContext);

// The status bytes the whole pop-ups are opened with.
constexpr BYTE MICRO_STATUS_BOTH_ON = 0x1F;        // both fitted and on, switch on: three buttons
constexpr BYTE MICRO_STATUS_BT_ONLY = 0x1A;        // Bluetooth fitted and on: one button
constexpr BYTE MICRO_STATUS_SWITCH_OFF = 0x0F;     // both fitted, hardware switch off: the notice
