# The radio-off notice. Its layout and key decisions build without Windows headers.
add_library(kova_notice_logic STATIC NoticeLayout.h NoticeLayout.cpp)

target_sources(kova_dialogs PRIVATE SwitchOffDlg.h)
target_link_libraries(kova_dialogs PUBLIC kova_notice_logic kova_skin_dialog kova_skin_button kova_radio)
