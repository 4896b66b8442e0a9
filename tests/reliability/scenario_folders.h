// Reliability tests: the folders a scenario is made in, and its planned entries made real.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tests/reliability/scenario.h"
#include "tests/reliability/scenario_run.h"
#include "tests/support/temp_folder.h"

namespace tandemere::testing {

// The folders of one scenario: the work folder for the sources, and the destination's volume.
// The work folder lies on the second volume where there is one (a memory file system natively,
// many times faster to fill and empty), the other volume is then the system's temporary folder.
// `swapped` puts the work folder on the system's temporary folder and the other volume on the second.
struct ScenarioFolders {
    explicit ScenarioFolders(bool otherVolume, bool swapped = false);
    static std::string WorkBase();

    TempFolder m_oWork;
    std::optional<TempFolder> m_oOther;

    std::string FullPath(const std::string& relative) const;
    std::vector<std::string> Roots() const;
};

// Makes one planned entry at `path`; false when it could not be made.
bool MakePlannedEntry(const PlannedEntry& entry, const std::string& path, IScenarioPlatform& platform);

}  // namespace tandemere::testing
