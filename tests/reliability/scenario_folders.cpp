// Reliability tests: the folders a scenario is made in, and its planned entries made real.
#include "tests/reliability/scenario_folders.h"

#include <filesystem>

#include "tests/support/platform_backend.h"

namespace tandemere::testing {

ScenarioFolders::ScenarioFolders(bool otherVolume, bool swapped)
    : m_oWork(swapped ? Utf8FromPath(std::filesystem::temp_directory_path()) : WorkBase()) {
    if (!otherVolume || OtherVolumeBase().empty()) return;
    if (swapped)
        m_oOther.emplace(OtherVolumeBase());
    else
        m_oOther.emplace();
}

std::string ScenarioFolders::WorkBase() {
    const std::string base = OtherVolumeBase();
    return base.empty() ? Utf8FromPath(std::filesystem::temp_directory_path()) : base;
}

std::string ScenarioFolders::FullPath(const std::string& relative) const {
    if (relative.rfind("dst", 0) == 0 && m_oOther) return m_oOther->Path(relative);
    return m_oWork.Path(relative);
}

std::vector<std::string> ScenarioFolders::Roots() const {
    std::vector<std::string> roots{m_oWork.Root()};
    if (m_oOther) roots.push_back(m_oOther->Root());
    return roots;
}

bool MakePlannedEntry(const PlannedEntry& entry, const std::string& path, IScenarioPlatform& platform) {
    switch (entry.m_nKind) {
        case PlannedKind::Folder:
            return MakeFolders(path);
        case PlannedKind::File:
            return WriteFile(path, entry.m_strBytes, entry.m_nTicks);
        case PlannedKind::Link:
            return MakeSymlink(entry.m_strLinkTarget, path);
        case PlannedKind::Pipe:
        case PlannedKind::HardLink:
            return platform.MakeSpecial(entry, path);
    }
    return false;
}

}  // namespace tandemere::testing
