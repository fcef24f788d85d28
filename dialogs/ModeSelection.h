// The mode pop-up's decisions as plain values: which layout a machine gets, what each button
// shows, which entry is current, how the selection steps and when a choice may be written.
// No Windows header: tested by tables.
#pragma once

#include "radio/RadioBits.h"
#include "radio/RadioPolicy.h"

// The current entry when no entry matches the radios; also the first index that is no entry.
constexpr int MODE_ENTRY_NONE = 3;
constexpr int MODE_BUTTON_COUNT = 3;   // controls 1001, 1002, 1003, in this order

// The skin's backgrounds: three buttons, and one (also the switch-off notice's).
extern const char SKIN_BACKGROUND_THREE[];
extern const char SKIN_BACKGROUND_ONE[];
// Where the caption goes on each, in the picture's own pixels: centred on x, top at y. The
// mode pop-up's status line, and the notice's caption on the one-button background.
struct CaptionOrigin {
    float x;
    float y;
};
constexpr CaptionOrigin CAPTION_AT_THREE = { 128.0f, 169.0f };
constexpr CaptionOrigin CAPTION_AT_ONE = { 52.0f, 127.0f };

enum class ModeLayout {
    None,            // no radio fitted: nothing to choose
    Three,           // both fitted: 1001 both on, 1002 WiFi only, 1003 Bluetooth only
    BluetoothOnly,   // one button, control 1002
    WirelessOnly,    // one button, control 1002
};

ModeLayout ModeLayoutFor(const RadioFlags& flags);

// Everything the pop-up sets up at opening, from the flags read then.
struct ModeLayoutChoice {
    ModeLayout eLayout = ModeLayout::None;
    int nModeCount = 0;
    int anModeCodes[MODE_BUTTON_COUNT] = {};
    int nSelected = 0;
    int nCurrent = MODE_ENTRY_NONE;
    const char* pszBackground = nullptr;                        // null: keep the constructor's
    const char* apszImage[MODE_BUTTON_COUNT] = {};              // null: the layout file's strip stays
    unsigned auTipId[MODE_BUTTON_COUNT] = {};                   // 0: no tool tip
    bool bWideTips = false;                                     // 260-pixel tips, for the line break
    // Per entry: false where choosing it would switch on a radio the organisation forbids.
    // Such an entry is greyed, passed over, and never written; its tip says why.
    bool abAvailable[MODE_BUTTON_COUNT] = {};
};

ModeLayoutChoice ChooseModeLayout(const RadioFlags& flags, const RadioPolicy& policy = {});
// The button (0-2, controls 1001-1003) that shows an entry of the layout.
int ModeButtonForEntry(ModeLayout eLayout, int nEntry);

// The status line for a selected (or hovered) entry, and the highlight of each button.
struct ModeStatus {
    unsigned uStringId = 0;   // 0: the line stays as it is
    bool bSetHighlights = false;
    bool abHighlight[MODE_BUTTON_COUNT] = {};
};

ModeStatus ModeStatusFor(ModeLayout eLayout, const RadioFlags& flags, int nSelected);

// The entry a button stands for: 1001, 1002, 1003 in the three-button layout, the single
// 1002 on a one-radio machine; -1 for any other control, or when nothing can be chosen.
int ModeEntryForControl(ModeLayout eLayout, unsigned uControlId);

// One arrow-key step with wrap-around at both ends; unchanged when there is nothing to choose.
int StepSelection(int nSelected, int nModeCount, bool bLeft);
// The same step, passing over entries that are not available; unchanged when no other is.
int StepAvailable(int nSelected, const ModeLayoutChoice& choice, bool bLeft);

// A choice is written only with the switch on, for an existing entry that is not the current one.
bool ShouldApplyMode(bool bKillSwitchOn, int nSelected, int nCurrent, int nModeCount);
