# The skinned dialog base: plain logic (no window), then the dialog, layout loader and
# caption under Wine with the real skin archive.
kova_add_test(skin_dialog_logic_tests
  SOURCES RegionRunsTest.cpp SkinLayoutTest.cpp OsVersionTest.cpp OsVersionTable.h DpiScaleTest.cpp CaptionFitTest.cpp
  LIBS kova_skin_logic)

if(TARGET kova_res)
  kova_add_test(skin_dialog_tests
    SOURCES SkinDialogKit.h TPDialogTest.cpp OsVersionTable.h LoadControlSkinTest.cpp TarBuilder.h SkinCaptionTest.cpp SkinScreenshotTest.cpp
    LIBS kova_skin_dialog kova_res kova_test_support kova_gdiplus)
endif()
