// The notice's decisions without a window: picture and caption by fitted radios, and what
// a key seen by the hook does.
#include <gtest/gtest.h>

#include <string>

#include "dialogs/NoticeLayout.h"
#include "res/resource.h"

TEST(NoticeLayout, PictureAndCaptionFollowTheFittedRadios)
{
    const struct {
        bool bWireless, bBluetooth;
        const char* pszImageMap;
        unsigned uCaptionId;
    } rows[] = {
        { true, false, "image/nwl_main.txt", IDS_OFF_WIFI },
        { false, true, "image/nbt_main.txt", IDS_OFF_BT },
        { true, true, "image/nall_main.txt", IDS_OFF_BOTH },
        { false, false, "image/nall_main.txt", IDS_OFF_BOTH },
    };
    for (const auto& row : rows)
    {
        const NoticeLayout layout = ChooseNoticeLayout(row.bWireless, row.bBluetooth);
        EXPECT_EQ(std::string(layout.pszImageMap), row.pszImageMap) << row.bWireless << row.bBluetooth;
        EXPECT_EQ(layout.uCaptionId, row.uCaptionId) << row.bWireless << row.bBluetooth;
    }
}

TEST(NoticeLayout, RefreshKeyEitherWayEnterOnlyWhenPressed)
{
    const unsigned kExt = 0x01, kInjected = 0x10, kUp = 0x80;
    const struct {
        unsigned uFlags, uScan;
        NoticeKeyAction action;
    } rows[] = {
        { 0, 0x71, NoticeKeyAction::RefreshAndClose },
        { kUp | kInjected, 0x71, NoticeKeyAction::RefreshAndClose },
        { kExt | kUp, 0x71, NoticeKeyAction::RefreshAndClose },
        { kInjected, 0x1C, NoticeKeyAction::Close },
        { kExt, 0x1C, NoticeKeyAction::Close },            // the keypad's Enter
        { kUp, 0x1C, NoticeKeyAction::Ignore },
        { kExt | kUp | kInjected, 0x1C, NoticeKeyAction::Ignore },
        { kExt, 0x04, NoticeKeyAction::Ignore },           // the pop-up key itself
        { 0, 0x01, NoticeKeyAction::Ignore },              // Esc is the dialog manager's
    };
    for (const auto& row : rows)
        EXPECT_EQ(ClassifyNoticeKey(row.uFlags, row.uScan), row.action) << std::hex << row.uFlags << " " << row.uScan;
}
