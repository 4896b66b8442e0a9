// Reliability tests: a scenario's trashes, set up, read for the oracle and cleaned.
#include "tests/reliability/scenario_trash.h"

#include <algorithm>
#include <filesystem>
#include <set>

#include "tests/support/temp_folder.h"
#ifdef _WIN32
#include "tests/support/wine_bin_win32.h"
#endif

namespace tandemere::testing {

#ifndef _WIN32
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
    m_oShmTrash.emplace(roots.front());
}

ScenarioTrash::~ScenarioTrash() = default;

std::vector<std::string> ScenarioTrash::OtherTrashes() const {
    if (!m_strHome.empty()) return {ShmTrash()};
    return {};
}

void ScenarioTrash::Note(MoveRecord& record) const {
    if (m_strHome.empty()) return;
    record.m_strTrashHome = m_strHome;
    std::error_code error;
    for (const std::string& trash : OtherTrashes()) {
        if (!std::filesystem::is_directory(PathFromUtf8(JoinPath(trash, "files")), error)) continue;
        // Tests in other processes add to and empty this trash meanwhile: only our entries are read.
        std::set<std::string> ours;
        for (const TrashedEntry& entry : ListTrash(trash))
            if (IsBelow(entry.m_strPath, m_lstRoots)) ours.insert(entry.m_strName);
        record.m_lstTrashes.push_back(TreeSnapshot::Take(
            JoinPath(trash, "files"), [&](const std::string& name) { return ours.count(name) != 0; }));
    }
}

int ScenarioTrash::Count() const {
    if (m_strHome.empty()) return 0;
    int count = static_cast<int>(ListTrash(JoinPath(m_strHome, "Trash")).size());
    for (const std::string& trash : OtherTrashes())
        for (const TrashedEntry& entry : ListTrash(trash))
            count += IsBelow(entry.m_strPath, m_lstRoots) ? 1 : 0;
    return count;
}

#else  // _WIN32

// What the log calls the bin (the platform's header would bring <windows.h> in after the engine's).
constexpr const char* kRecycleBin = "the Recycle Bin";

// Here m_strHome is the bin's trash folder.
ScenarioTrash::ScenarioTrash(bool on, const std::vector<std::string>& roots) : m_lstRoots(roots) {
    if (on && !roots.empty()) m_strHome = WineBinFolder();
}

ScenarioTrash::~ScenarioTrash() {
    if (!m_strHome.empty()) RemoveFromWineBin(m_lstRoots);
}

std::vector<std::string> ScenarioTrash::OtherTrashes() const {
    return {};
}

void ScenarioTrash::Note(MoveRecord& record) const {
    if (m_strHome.empty()) return;
    MoveRecord::NamedTrash& bin = record.m_mapNamedTrashes[kRecycleBin];
    bin.m_strFolder = m_strHome;
    bin.m_lstEntries = ListWineBin(m_lstRoots);
    // Only the scenario's own entries hold kept content: the bin may have others of earlier tests.
    std::vector<std::string> ours;
    for (const TrashedEntry& entry : bin.m_lstEntries) ours.push_back(entry.m_strName);
    // A bin that has taken nothing yet has no folder of files.
    std::error_code error;
    if (!std::filesystem::is_directory(PathFromUtf8(JoinPath(m_strHome, "files")), error)) return;
    record.m_lstTrashes.push_back(TreeSnapshot::Take(
        JoinPath(m_strHome, "files"),
        [&](const std::string& name) { return std::find(ours.begin(), ours.end(), name) != ours.end(); }));
}

int ScenarioTrash::Count() const {
    if (m_strHome.empty()) return 0;
    int count = 0;
    for (const TrashedEntry& entry : ListWineBin(m_lstRoots)) {
        const std::string kept = JoinPath(m_strHome, "files/" + entry.m_strName);
        std::error_code error;
        const bool putBack =
            std::filesystem::is_regular_file(PathFromUtf8(entry.m_strPath), error) &&
            ContentKey(TreeSnapshot::TakeFile(entry.m_strPath)) == ContentKey(TreeSnapshot::TakeFile(kept));
        count += putBack ? 0 : 1;
    }
    return count;
}

#endif  // _WIN32

}  // namespace tandemere::testing
