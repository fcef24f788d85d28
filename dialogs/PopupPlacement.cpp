#include "dialogs/PopupPlacement.h"

void CentreIn(const ScreenRect& rcWork, int cx, int cy, int32_t& rx, int32_t& ry)
{
    rx = static_cast<int32_t>(rcWork.left + (static_cast<int64_t>(rcWork.right) - rcWork.left - cx) / 2);
    ry = static_cast<int32_t>(rcWork.top + (static_cast<int64_t>(rcWork.bottom) - rcWork.top - cy) / 2);
}
