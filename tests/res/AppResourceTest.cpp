// The manifest and version resources, read from kova_res_probe.exe (linked like Kova.exe)
// loaded as data: this test program itself carries no manifest.
#include "support/ResTestUtil.h"
#include "KovaVersion.h"
#include "res/resource.h"

#include <gtest/gtest.h>

namespace {

const char kProbe[] = "kova_res_probe.exe";

TEST(AppResources, ManifestNamesKovaAndAsksForAsInvoker)
{
    kfw::CModule hProbe(::LoadLibraryExA(kProbe, nullptr, LOAD_LIBRARY_AS_DATAFILE));
    ASSERT_TRUE(hProbe) << ::GetLastError();
    restest::Bytes m = restest::ResourceBytes(hProbe.Get(), MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    ASSERT_NE(nullptr, m.p);
    std::string manifest(reinterpret_cast<const char*>(m.p), m.size);
    const char* const kParts[] = {
        "name=\"Kova\"", "version=\"1.0.0.1\"", "processorArchitecture=\"X86\"",
        "<description>Kova.exe</description>", "level=\"asInvoker\"",
        KOVA_UIACCESS ? "uiAccess=\"true\"" : "uiAccess=\"false\"",
        // Windows would otherwise scale the tray icon it gets as a bitmap, blurred.
        "<dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">true/pm</dpiAware>",
        "<dpiAwareness xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">PerMonitorV2, PerMonitor</dpiAwareness>",
    };
    for (const char* part : kParts)
        EXPECT_NE(std::string::npos, manifest.find(part)) << part;

    // The other resources came along through the same kind of link.
    EXPECT_NE(nullptr, ::FindResourceA(hProbe.Get(), MAKEINTRESOURCEA(IDR_SKIN_TAR), "tar"));
}

TEST(AppResources, TestProgramsLinkingKovaResHaveNoManifest)
{
    EXPECT_EQ(nullptr, ::FindResourceA(nullptr, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24)));
}

TEST(AppResources, VersionIs1001AndProductKova)
{
    DWORD ignored = 0;
    DWORD size = ::GetFileVersionInfoSizeA(kProbe, &ignored);
    ASSERT_NE(0u, size);
    std::vector<BYTE> info(size);
    ASSERT_TRUE(::GetFileVersionInfoA(kProbe, 0, size, info.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(0x00010000u, fixed->dwFileVersionMS);
    EXPECT_EQ(0x00000001u, fixed->dwFileVersionLS);
    EXPECT_EQ(0x00010000u, fixed->dwProductVersionMS);
    EXPECT_EQ(0x00000001u, fixed->dwProductVersionLS);

    const std::pair<const char*, const char*> kValues[] = {
        {"ProductName", "Kova"}, {"FileVersion", "1.0.0.1"}, {"ProductVersion", "1.0.0.1"},
        {"OriginalFilename", "Kova.exe"},
    };
    for (const auto& [key, value] : kValues) {
        std::string path = std::string("\\StringFileInfo\\040904B0\\") + key;
        char* text = nullptr;
        ASSERT_TRUE(::VerQueryValueA(info.data(), path.c_str(), reinterpret_cast<void**>(&text), &length)) << key;
        EXPECT_STREQ(value, text) << key;
    }
}

} // namespace
