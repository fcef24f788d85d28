#include "tray/TrayLook.h"

#include "res/resource.h"

TaskbarTheme TaskbarThemeFromValue(bool bFound, std::uint32_t uType, const unsigned char* pData, std::size_t cbData)
{
    // Only a DWORD of exactly 1 means light: anything else the shell would not have written,
    // and the dark pictures are the ones every taskbar before Windows 10 1903 shows.
    if (!bFound || uType != TRAY_REG_DWORD || cbData != 4 || !pData)
        return TaskbarTheme::Dark;
    const std::uint32_t uValue = static_cast<std::uint32_t>(pData[0]) | static_cast<std::uint32_t>(pData[1]) << 8 |
                                 static_cast<std::uint32_t>(pData[2]) << 16 | static_cast<std::uint32_t>(pData[3]) << 24;
    return uValue == 1 ? TaskbarTheme::Light : TaskbarTheme::Dark;
}

unsigned TrayPictureId(unsigned uDarkId, TaskbarTheme eTheme)
{
    return eTheme == TaskbarTheme::Light ? uDarkId + IDI_TRAY_LIGHT_OFFSET : uDarkId;
}
