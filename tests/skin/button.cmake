if(TARGET kova_skin_button)
  kova_add_test(skin_button_tests
    SOURCES ButtonLogicTest.cpp TPButtonTest.cpp
    LIBS kova_skin_button kova_test_support kova_gdiplus)
endif()
