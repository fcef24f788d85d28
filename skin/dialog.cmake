# The skinned dialog base, its layout files and caption painting. The outline runs, the
# layout-record scanner and the version table build without Windows headers.
add_library(kova_skin_logic STATIC
  RegionRuns.h RegionRuns.cpp
  SkinLayout.h SkinLayout.cpp
  OsVersion.h OsVersion.cpp
  DpiScale.h DpiScale.cpp
  CaptionFit.h CaptionFit.cpp)

# dwmapi is not linked: it is bound at run time, so Kova starts on systems without it.
add_library(kova_skin_dialog STATIC
  TPDialog.h TPDialog.cpp
  SkinControls.h SkinControls.cpp
  SkinCaption.h SkinCaption.cpp)
target_link_libraries(kova_skin_dialog PUBLIC kova_skin_logic kova_skin kova_skin_picture kova_skin_button kfw kova_gdiplus gdi32 user32)
