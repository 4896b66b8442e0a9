// Reliability tests: a random move scenario, made from a seed alone: the trees on both sides, the
// dragged items, the settings, the answers and the faults. Portable; the POSIX-only parts (pipes,
// permissions, system-call faults) are data here and made real by scenario_posix.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "engine/user_interface.h"

namespace tandemere::testing {

// splitmix64: the same numbers from the same seed on every compiler and platform, which the
// standard distributions do not promise.
class ScenarioRandom {
public:
    explicit ScenarioRandom(std::uint64_t seed) : m_nState(seed) {}
    std::uint64_t Next();
    // 0..n-1 (0 when n is 0).
    std::uint32_t Below(std::uint32_t n) { return n == 0 ? 0 : static_cast<std::uint32_t>(Next() % n); }
    bool Chance(std::uint32_t percent) { return Below(100) < percent; }

private:
    std::uint64_t m_nState;
};

enum class PlannedKind : std::uint8_t { File, Folder, Link, Pipe, HardLink };

// One entry to make before the move. Paths are relative, written with '/', and begin with the
// side: "src/..." in the work folder, "dst/..." in the destination's volume.
struct PlannedEntry {
    PlannedKind m_nKind = PlannedKind::File;
    std::string m_strBytes;       // files
    std::uint64_t m_nTicks = 0;   // files: the last-write time, engine ticks
    std::string m_strLinkTarget;  // links: the target text, relative to the link's folder; hard links:
                                  // the scenario path of the file it is another name of
    unsigned m_nMode = 0;         // permission bits applied before the move (unprivileged runs); 0: as made
};

// One system call of the backend made to fail at its n-th use (counted from the move's start).
struct PlannedFault {
    int m_nCall = 0;  // SyscallFaults::Call
    int m_nNth = 1;
    int m_nErrno = 0;
};

// What the generator may put into a scenario.
struct ScenarioOptions {
    bool m_bLinks = true;
    // Pipes among the entries (POSIX only): never opened or compared, left where they are.
    bool m_bPipesAmongEntries = false;
    // Files of several names (POSIX only) among the sources.
    bool m_bHardLinks = false;
    // Read-only and unreadable folders and files: meaningful only for an unprivileged user.
    bool m_bPermissions = false;
    // System-call faults of the POSIX backend.
    bool m_bSyscallFaults = false;
    bool m_bOtherVolume = true;
    // Only names Windows keeps as they are: none that ends in a dot or a blank (it drops them), no
    // two that differ in letter case alone (it takes them for one).
    bool m_bWindowsNames = false;
    // The share of scenarios (percent) that run with DeleteToRecycleBin on, drawn apart from the
    // rest so a seed's scenario is the same either way.
    std::uint32_t m_nTrashPercent = 0;
};

struct Scenario {
    std::uint64_t m_nSeed = 0;
    std::map<std::string, PlannedEntry> m_mapEntries;  // parents sort before their children
    std::string m_strDestFolder = "dst";               // relative, like the entries
    bool m_bDestOnOtherVolume = false;
    std::vector<std::string> m_lstDropped;  // relative, in drop order
    std::string m_strSettings;              // TestSettings::Write lines; empty for no settings
    bool m_bTrash = false;                  // DeleteToRecycleBin is among the settings
    bool m_bSearchTree = false;             // SearchWholeDestination is among the settings
    std::vector<engine::PromptResult> m_lstAnswers;
    std::vector<bool> m_lstYesNo;
    int m_nCancelAtPump = 0;
    std::vector<PlannedFault> m_lstFaults;
    // Errors that leave an item are answered Skip (the move goes on) instead of Stop.
    bool m_bSkipErrors = false;
    // Changes made while the move runs, as another program would: the bytes of a file, its size
    // kept. At the n-th pump (between items, between a copy's blocks) the file m_strEditPath, by
    // a plain write; at the n-th prompt, the source or the destination file the prompt is about,
    // its last-write time kept too.
    int m_nEditAtPump = 0;
    std::string m_strEditPath;
    int m_nEditAtPrompt = 0;
    bool m_bEditDestination = false;

    // A readable account of the whole scenario, for a failure's report.
    std::string Describe() const;
};

// The scenario of this seed.
Scenario GenerateScenario(std::uint64_t seed, const ScenarioOptions& options);

}  // namespace tandemere::testing
