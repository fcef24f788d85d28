# The mode pop-up: its rules by table, then the dialog in this process and Kova.exe as a
# user meets it, both under Wine with the development EMSC.dll.
kova_add_test(kovadlg_logic_tests
  SOURCES KovaDlgLogicTest.cpp
  LIBS kova_mode_logic)

kova_add_test(kovadlg_tests
  SOURCES KovaDlgTestKit.h KovaDlgTestKit.cpp KovaDlgWindowTest.cpp
  LIBS kova_dialogs kova_res kova_test_support)
add_dependencies(kovadlg_tests emsc_cdecl kovatest_helper)

kova_add_test(kovadlg_e2e_tests
  SOURCES KovaDlgTestKit.h KovaDlgTestKit.cpp KovaDlgE2ETest.cpp
  LIBS kova_skin_dialog kova_res kova_test_support kova_gdiplus)
add_dependencies(kovadlg_e2e_tests Kova emsc_cdecl kovatest_helper)
