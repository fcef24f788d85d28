// How a caption fits its band: first smaller, down to a floor, then cut short with an
// ellipsis. Platform-free: the widths come from whoever measures the text.
#pragma once

#include <cstddef>
#include <functional>

// The em size at which a caption fWidth wide at fEmSize fits fBand (widths scale with the
// em size): fEmSize when it fits, never below fMinEmSize. A band of 0 or less has no limit.
float FitCaptionEmSize(float fWidth, float fEmSize, float fMinEmSize, float fBand);

// The longest count of leading characters, at most nLength, for which fits(count) holds;
// fits is monotonic (a shorter prefix fits when a longer one does). 0 when none does.
// isTrail(i) tells that character i continues the one before it (a UTF-16 low surrogate),
// so that no count splits a character.
size_t LongestFittingPrefix(size_t nLength, const std::function<bool(size_t)>& fits,
                            const std::function<bool(size_t)>& isTrail);
