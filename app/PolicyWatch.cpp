#include "app/PolicyWatch.h"

#include <string>

#include "res/KovaNames.h"

namespace {

// Both device policies live below this key.
const char DEVICE_POLICIES[] = R"(SOFTWARE\Microsoft\PolicyManager\current\device)";

} // namespace

CPolicyWatch::CPolicyWatch()
{
    const HKEY ahRoots[COUNT] = { HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE };
    const char* const apszKeys[COUNT] = { KOVA_POLICY_KEY, KOVA_POLICY_KEY, DEVICE_POLICIES };
    for (int i = 0; i < COUNT; ++i)
    {
        CSpot& spot = m_aSpots[static_cast<size_t>(i)];
        spot.hRoot = ahRoots[i];
        spot.pszKey = apszKeys[i];
        spot.hEvent.Reset(::CreateEventA(nullptr, FALSE, FALSE, nullptr));
    }
}

void CPolicyWatch::Arm(int i)
{
    CSpot& spot = m_aSpots[static_cast<size_t>(i)];
    if (!spot.hEvent)
        return;
    // The 64-bit view, where policy is written.
    std::string strKey = spot.pszKey;
    for (;;)
    {
        spot.hKey.Reset();
        if (::RegOpenKeyExA(spot.hRoot, strKey.c_str(), 0, KEY_NOTIFY | KEY_WOW64_64KEY, spot.hKey.Put()) == ERROR_SUCCESS)
            break;
        const size_t nSlash = strKey.rfind('\\');
        if (nSlash == std::string::npos)
            return;
        strKey.erase(nSlash);
    }
    const bool bWhole = strKey == spot.pszKey;
    const DWORD dwFilter = bWhole ? REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET : REG_NOTIFY_CHANGE_NAME;
    ::RegNotifyChangeKeyValue(spot.hKey.Get(), bWhole, dwFilter, spot.hEvent.Get(), TRUE);
}
