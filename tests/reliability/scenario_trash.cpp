// Reliability tests: a scenario's trashes, set up, read for the oracle and cleaned.
#include "tests/reliability/scenario_trash.h"

#include <filesystem>

#include "tests/support/temp_folder.h"

namespace tandemere::testing {
namespace {

bool IsBelow(const std::string& path, const std::vector<std::string>& roots) {
    for (const std::string& root : roots)
        if (path.rfind(root + NativeSeparator(), 0) == 0) return true;
    return false;
}

}  // namespace

ScenarioTrash::ScenarioTrash(bool on, const std::vector<std::string>& roots) : m_lstRoots(roots) {
    if (!on || roots.empty()) return;
    m_strHome = JoinPath(roots.back(), "xdg");
    m_oEnv.emplace("XDG_DATA_HOME", m_strHome.c_str());
#ifndef _WIN32
    m_oShmTrash.emplace(roots.front());
#endif
}

ScenarioTrash::~ScenarioTrash() = default;

std::vector<std::string> ScenarioTrash::OtherTrashes() const {
#ifndef _WIN32
    if (!m_strHome.empty()) return {ShmTrash()};
#endif
    return {};
}

void ScenarioTrash::Note(MoveRecord& record) const {
    if (m_strHome.empty()) return;
    record.m_strTrashHome = m_strHome;
    std::error_code error;
    for (const std::string& trash : OtherTrashes())
        if (std::filesystem::is_directory(PathFromUtf8(JoinPath(trash, "files")), error))
            record.m_lstTrashes.push_back(TreeSnapshot::Take(JoinPath(trash, "files")));
}

int ScenarioTrash::Count() const {
    if (m_strHome.empty()) return 0;
    int count = static_cast<int>(ListTrash(JoinPath(m_strHome, "Trash")).size());
    for (const std::string& trash : OtherTrashes())
        for (const TrashedEntry& entry : ListTrash(trash))
            count += IsBelow(entry.m_strPath, m_lstRoots) ? 1 : 0;
    return count;
}

}  // namespace tandemere::testing
