// What the tray picture depends on besides the radio state: the taskbar's theme and the
// display scale. Values in, values out; no Windows header.
#pragma once

#include <cstddef>
#include <cstdint>

enum class TaskbarTheme { Dark, Light };

// The registry's type code of a 32-bit little-endian number (REG_DWORD).
constexpr std::uint32_t TRAY_REG_DWORD = 4;

// SystemUsesLightTheme as read: whether it was found, its type and its bytes.
TaskbarTheme TaskbarThemeFromValue(bool bFound, std::uint32_t uType, const unsigned char* pData, std::size_t cbData);
// The picture for a dark-taskbar id; the caller falls back to uDarkId if it is missing.
unsigned TrayPictureId(unsigned uDarkId, TaskbarTheme eTheme);
