# The skinned image button. Its decisions (slice, press parity, frame stepping) build
# without Windows headers.
add_library(kova_skin_button STATIC
  TPButton.h TPButton.cpp
  ButtonLogic.h ButtonLogic.cpp)
target_link_libraries(kova_skin_button PUBLIC kova_skin kova_skin_picture kova_skin_logic kfw kova_gdiplus comctl32)
