# The mode selection pop-up: its decisions (no Windows header) and the skinned dialog.
add_library(kova_mode_logic STATIC ModeSelection.h ModeSelection.cpp)
target_link_libraries(kova_mode_logic PUBLIC kova_radio)

target_sources(kova_dialogs PRIVATE KovaDlg.h)
target_link_libraries(kova_dialogs PUBLIC kova_mode_logic kova_skin_dialog kova_skin_button kova_radio
                                          comctl32)
