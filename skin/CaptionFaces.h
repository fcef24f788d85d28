// The caption's faces, opened once and kept for the life of the process. A face that is one
// font file is read into a GDI+ collection of Kova's own: looking a face up among the
// installed ones makes GDI+ open every face on the machine first (tens of milliseconds, and
// megabytes of font files kept mapped). A face from a font collection file, or one the
// system substitutes, is looked up among the installed faces as before.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "framework/GdiPlus.h"

class CCaptionFaces {
public:
    // The family of bold face pszFamily, kept until Clear(); null when there is none.
    Gdiplus::GpFontFamily* Find(LPCWSTR pszFamily);
    // How many families Kova's own collection holds (a face may add more than one name).
    int OwnFamilyCount() const;
    void Clear();

private:
    bool AddFontFile(LPCWSTR pszFamily);

    // Declared so that they go in reverse: families, the collection, then the files it reads.
    std::vector<std::vector<BYTE>> m_fontFiles;
    kfw::CGdipPrivateFonts m_collection;
    std::map<std::wstring, kfw::CGdipFontFamily> m_families;   // a null family: none found
};
