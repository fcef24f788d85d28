#include "radio/EmscAccess.h"

#include <utility>

#include "framework/Trace.h"
#include "radio/EmscCall.h"
#include "radio/EmscLoader.h"

EmscLoad CEmscAccess::Load(EmscLookup eLookup, const std::string& strProgramFolder)
{
    Unload();
    m_nCandidate = NO_CANDIDATE;
    HMODULE hModule = eLookup == EmscLookup::MappedFirst ? ::GetModuleHandleA("EMSC") : nullptr;
    if (!hModule)
    {
        m_module.Reset(LoadEmscFromTrustedFolders(&m_nCandidate, strProgramFolder));
        hModule = m_module.Get();
    }
    if (!hModule)
        return EmscLoad::NotFound;
    // A library without the entry point is as good as none: never call through null.
    if (!BindEmscEntry(hModule))
    {
        m_module.Reset();
        return EmscLoad::NoEntryPoint;
    }
    m_hBound = hModule;
    return EmscLoad::Loaded;
}

void CEmscAccess::Unload()
{
    if (!m_hBound && !m_module)
        return;
    // No new call may start once the library is on its way out.
    if (std::exchange(m_hBound, nullptr))
        BindEmscEntry(nullptr);
    if (!StopEmscCalls())
    {
        // Freeing the library would pull its code from under the thread still inside it.
        // It stays mapped until the process ends, which ends that thread too.
        kfw::TraceLine("EMSC.dll stays loaded: a call into it has not returned");
        static_cast<void>(m_module.Release());
        return;
    }
    m_module.Reset();
}
