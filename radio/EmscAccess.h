// The one owner of EMSC.dll in a process: finds it, binds EMSCEvaluate, and lets it go.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

#include "framework/Handles.h"

enum class EmscLoad { Loaded, NotFound, NoEntryPoint };

// Where Load looks. The resident frame first takes a library something else has already
// mapped into the process; the tools only ever take the trusted folders' own.
enum class EmscLookup { TrustedFolders, MappedFirst };

class CEmscAccess {
public:
    static constexpr size_t NO_CANDIDATE = static_cast<size_t>(-1);

    CEmscAccess() = default;
    ~CEmscAccess() { Unload(); }
    CEmscAccess(const CEmscAccess&) = delete;
    CEmscAccess& operator=(const CEmscAccess&) = delete;

    // Loads the library and binds g_pfnEMSCEvaluate. A library without the entry point is
    // let go again at once.
    // strProgramFolder: as for EmscCandidates.
    EmscLoad Load(EmscLookup eLookup = EmscLookup::TrustedFolders, const std::string& strProgramFolder = std::string());
    // The index in EmscCandidates() of the library the last Load found (with or without its
    // entry point); NO_CANDIDATE when none, or when it took an already mapped one.
    size_t CandidateIndex() const { return m_nCandidate; }
    // The library bound, or null.
    HMODULE Module() const { return m_hBound; }

    // Clears the entry point, stops the controller thread and frees what Load loaded. With a
    // call still inside the library, nothing is waited for and the library stays mapped.
    void Unload();

private:
    kfw::CModule m_module;   // null when the library was mapped before Load: not ours to free
    HMODULE m_hBound = nullptr;
    size_t m_nCandidate = NO_CANDIDATE;
};
