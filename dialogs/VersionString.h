// The installed version, as the installer records it in the registry.
#pragma once

#include <string>

// The "Version" value under HKEY_LOCAL_MACHINE\SOFTWARE\KOVA, at most 19 characters;
// out is left as it was when the key or value is missing or unreadable.
void ReadVersionString(std::string& out);

// The text of a REG_SZ value of cbData bytes: up to its first NUL, at most 19 characters.
std::string VersionFromValueBytes(const char* pData, unsigned long cbData);
