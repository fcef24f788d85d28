# The radio-off notice: its decisions without windows; the dialog in this process; and the
# notice of the real Kova.exe as the user meets it.
kova_add_test(switchoff_logic_tests
  SOURCES SwitchOffLogicTest.cpp
  LIBS kova_notice_logic)

kova_add_test(switchoff_dialog_tests
  SOURCES SwitchOffDlgTest.cpp
  LIBS kova_dialogs kova_res kova_test_support kova_gdiplus)
add_dependencies(switchoff_dialog_tests kovatest_helper)

# Kova.exe driven through the end-to-end tests' session helpers.
kova_add_test(switchoff_notice_tests
  SOURCES SwitchOffNoticeTest.cpp
  LIBS kova_skin_dialog kova_res kova_e2e_session kova_gdiplus)
add_dependencies(switchoff_notice_tests Kova emsc_cdecl kovatest_helper)
