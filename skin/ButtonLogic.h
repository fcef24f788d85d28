// The image button's decisions, kept free of Windows so they can be tested by tables:
// which slice a state shows, the press parity rule, and the frame stepping of an animation.
#pragma once

#include <cstddef>
#include <cstdint>

// Button states, as the image button keeps them.
constexpr int TPBUTTON_NORMAL = 0;
constexpr int TPBUTTON_HOVERED = 1;
constexpr int TPBUTTON_PRESSED = 2;

// The slice drawn for a state: 0 normal, 1 hovered (or normal with the highlight), 2 pressed.
// An unknown state draws the normal slice.
int ButtonSliceForState(int nState, uint8_t bHighlight);

// The left edge of slice nSlice in a strip whose slices are nSliceWidth wide, taken in
// 64 bits and held within int (a slice past the strip then draws nothing).
int ButtonSliceLeft(int nSlice, int nSliceWidth);

// The state after a draw request: a request showing the button pushed (the system's selected
// bit) presses it only while the press parity is 0; otherwise the state is kept.
int ButtonStateForDraw(int nState, uint32_t dwPressParity, bool bSelected);

// The frame after nIndex, wrapping at nFrameCount (0 when there are no frames).
uint32_t NextAnimationFrame(uint32_t nIndex, uint32_t nFrameCount);

// How long frame nIndex stays, in milliseconds, from delays in hundredths of a second. A
// frame without a delay, or with 0 or 1 (which viewers treat as "as fast as possible"),
// stays FRAME_DELAY_DEFAULT_MS, so a bare or short delay list never spins the animation.
constexpr uint32_t FRAME_DELAY_DEFAULT_MS = 100;
uint32_t AnimationFrameDelayMs(const uint32_t* pdwDelays, size_t cDelays, uint32_t nIndex);
