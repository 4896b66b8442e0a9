// Reliability tests (POSIX only): seeded moves recorded call by call; every crash state the
// persistence model allows is rebuilt, must hold every content, and the same move run on it must
// end with nothing lost and no orphan of ours in the trash.
//
// TANDEMERE_CRASH_SCENARIOS=N   scenarios per family (default: TANDEMERE_CRASH_SCENARIO_COUNT)
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>

#include "engine/move_command.h"
#include "engine/path.h"
#include "tests/reliability/crash_states_posix.h"
#include "tests/reliability/scenario_folders.h"
#include "tests/reliability/scenario_posix.h"
#include "tests/support/platform_backend.h"
#include "tests/support/scoped_env.h"
#include "tests/support/scripted_ui.h"
#include "tests/support/trash_contents.h"

namespace tandemere::testing {
namespace {

constexpr std::size_t kSamplesPerScenario = 44;
constexpr int kReportedFailures = 5;

// One family of moves: where the destination lies, whether the trash is on, how a clash with a
// different file is settled (0xe6 overwrites, 0xe7 renames).
struct CrashFamily {
    const char* m_pszName;
    bool m_bOtherVolume;
    bool m_bTrash;
    const char* m_pszClash;
};

constexpr CrashFamily kFamilies[] = {
    {"folder merges across file systems, clashes renamed", true, false, "e7"},
    {"across file systems, clashes overwritten", true, false, "e6"},
    {"one file system, duplicates and overwritten files to the trash", false, true, "e6"},
    {"one file system, clashes renamed, duplicates to the trash", false, true, "e7"},
};

struct Totals {
    int m_nStates = 0;
    int m_nLost = 0;
    int m_nCompleted = 0;
    int m_nFailures = 0;
    int m_nLeftovers = 0;
    int m_nLeftoversKept = 0;     // of those, named in the rerun's log as kept, with the reason
    int m_nLeftoversPlanted = 0;  // not named: laid before a move on one file system (CountLeftovers)
    int m_nOldFilesKept = 0;      // not named: second names of files an overwrite replaced (IsOldFileKept)
};

// The scenario of `seed` with its settings in place of prompts, faults and concurrent changes: the
// same move runs again unchanged on each crash state.
Scenario FamilyScenario(const CrashFamily& family, std::uint64_t seed) {
    ScenarioOptions options;
    options.m_bHardLinks = true;
    Scenario scenario = GenerateScenario(seed, options);
    scenario.m_bDestOnOtherVolume = family.m_bOtherVolume;
    scenario.m_bTrash = family.m_bTrash;
    scenario.m_lstFaults.clear();
    scenario.m_lstAnswers.clear();
    scenario.m_lstYesNo.clear();
    scenario.m_nCancelAtPump = scenario.m_nEditAtPump = scenario.m_nEditAtPrompt = 0;
    scenario.m_strSettings = std::string(family.m_bTrash ? "\"DeleteToRecycleBin\"=dword:00000001\n" : "") +
                             "\"DiffFileSameNameDlgDefault\"=dword:000000" + family.m_pszClash +
                             "\n\"SameFileDiffNameDlgDefault\"=dword:000000e6\n"
                             "\"FldrnameFnameClashDlgDefault\"=dword:000000e7\n"
                             "\"FnameFldrnameClashDlgDefault\"=dword:000000e7\n";
    return scenario;
}

bool InTemporary(const std::string& relative) {
    for (std::size_t start = 0; start <= relative.size();) {
        const std::size_t end = std::min(relative.find('/', start), relative.size());
        if (engine::IsTemporaryName(std::string_view(relative).substr(start, end - start))) return true;
        start = end + 1;
    }
    return false;
}

// Whether a line of `log` says that the temporary `name` was found, kept or left alone.
bool NamedAsKept(const std::string& log, const std::string& name) {
    for (std::size_t at = log.find(name); at != std::string::npos; at = log.find(name, at + 1)) {
        const std::size_t start = log.rfind('\n', at);
        const std::string_view line =
            std::string_view(log).substr(start == std::string::npos ? 0 : start + 1);
        if (line.rfind("Kept \"", 0) == 0 || line.rfind("Found \"", 0) == 0 || line.rfind("Left \"", 0) == 0)
            return true;
    }
    return false;
}

class CrashCheck {
public:
    CrashCheck(const CrashFamily& family, std::uint64_t seed)
        : m_rFamily(family), m_oScenario(FamilyScenario(family, seed)), m_oFolders(family.m_bOtherVolume) {
        if (family.m_bTrash) m_oEnv.emplace("XDG_DATA_HOME", m_oFolders.m_oWork.Path("xdg").c_str());
        m_oSettings.Write(m_oScenario.m_strSettings);
    }

    void Run(Totals& totals) {
        Lay();
        std::vector<TreeSnapshot> before;
        for (const std::string& root : m_oFolders.Roots()) before.push_back(TreeSnapshot::Take(root));
        std::vector<RecordedCall> calls;
        {
            SyscallRecorder recorder;
            Move();
            calls = recorder.Calls();
        }
        // What the move itself gives up (a file overwritten at the user's word) a crash may lose too;
        // a leftover of an earlier interrupted move is no user's file: the move leaves it where it is.
        std::set<std::string> kept;
        for (const std::string& root : m_oFolders.Roots()) {
            const TreeSnapshot moved = TreeSnapshot::Take(root);
            for (const auto& [path, entry] : moved.Entries()) kept.insert(ContentKey(entry));
        }
        for (const TreeSnapshot& tree : before)
            m_lstBefore.push_back(tree.Without([&](const std::string& path) {
                return InTemporary(path) || kept.count(ContentKey(*tree.Find(path))) == 0;
            }));
        for (const CrashState& state : CrashStates(calls, m_oScenario.m_nSeed, kSamplesPerScenario)) {
            Lay();
            ApplyCrashState(calls, state);
            ++totals.m_nStates;
            std::string report = Judge(true);
            if (!report.empty()) ++totals.m_nLost;
            std::string log;
            {
                // The rerun's own flushes are not under test; made, they would only wait for the disk.
                posix::PosixSyscalls table = posix::RealSyscalls();
                table.m_pfnFsync = [](int) { return 0; };
                const posix::ScopedSyscalls noFlush(table);
                log = Move();
            }
            std::string again = Judge(false);
            CountLeftovers(log, totals, again);
            if (again.empty()) ++totals.m_nCompleted;
            report += again;
            if (!report.empty() && totals.m_nFailures++ < kReportedFailures)
                ADD_FAILURE() << m_rFamily.m_pszName << ", seed " << m_oScenario.m_nSeed << ", crash state "
                              << state.m_strName << ":\n"
                              << report << "rerun's log:\n"
                              << log.substr(0, 3000);
        }
    }

private:
    // The trees as they were before the move, anew.
    void Lay() {
        for (const std::string& root : m_oFolders.Roots()) {
            for (const auto& item : std::filesystem::directory_iterator(PathFromUtf8(root)))
                std::filesystem::remove_all(item.path());
        }
        for (const auto& [relative, entry] : m_oScenario.m_mapEntries)
            if (!MakePlannedEntry(entry, m_oFolders.FullPath(relative), m_oPlatform))
                ADD_FAILURE() << "could not make " << relative;
    }

    std::string Move() {
        std::unique_ptr<engine::IFileSystem> fs = MakeRealFileSystem();
        ScriptedUserInterface ui;
        engine::MoveCommand command(*fs, m_oSettings.Store(), ui);
        command.SetDestFolder(m_oFolders.FullPath(m_oScenario.m_strDestFolder));
        // Run again, the move is given what is still there, as the user would drop it.
        for (const std::string& dropped : m_oScenario.m_lstDropped)
            if (std::error_code error; std::filesystem::exists(
                    std::filesystem::symlink_status(PathFromUtf8(m_oFolders.FullPath(dropped)), error)))
                command.AddDropped(m_oFolders.FullPath(dropped));
        command.Run(reinterpret_cast<engine::WindowHandle>(0xC4A5));
        return command.Log();
    }

    // Every content of before is whole somewhere: with `crashed`, our temporaries count (the next
    // run recognises them); after the rerun they do not. No .trashinfo lacks its file.
    std::string Judge(bool crashed) const {
        std::vector<TreeSnapshot> after;
        for (const std::string& root : m_oFolders.Roots())
            after.push_back(crashed ? TreeSnapshot::Take(root)
                                    : TreeSnapshot::Take(root).Without(InTemporary));
        std::string report = FindLostContent(m_lstBefore, after);
        if (!report.empty())
            report = (crashed ? "lost in the crash state:\n" : "lost after the rerun:\n") + report;
        if (crashed || !m_rFamily.m_bTrash) return report;
        const std::string trash = m_oFolders.m_oWork.Path("xdg/Trash");
        for (const TrashedEntry& entry : ListTrash(trash))
            if (!Exists(trash + "/files/" + entry.m_strName))
                report += "after the rerun, a .trashinfo without its file: " + entry.m_strName + "\n";
        return report;
    }

    // The temporaries of ours a rerun left, and how many of them its log names as kept.
    void CountLeftovers(const std::string& log, Totals& totals, std::string& report) const {
        for (const std::string& root : m_oFolders.Roots()) {
            const TreeSnapshot tree = TreeSnapshot::Take(root);
            for (const auto& [path, entry] : tree.Entries()) {
                const std::string name = path.substr(path.rfind('/') + 1);
                if (!engine::IsTemporaryName(name)) continue;
                ++totals.m_nLeftovers;
                if (NamedAsKept(log, name))
                    ++totals.m_nLeftoversKept;
                else if (IsOldFileKept(path, entry))
                    ++totals.m_nOldFilesKept;
                // The scenario's own, in a folder that a move on one file system copies nothing into.
                else if (m_oScenario.m_mapEntries.count(path) != 0 && !m_rFamily.m_bOtherVolume)
                    ++totals.m_nLeftoversPlanted;
                else
                    report +=
                        "after the rerun, a temporary of ours its log does not name as kept: " + path + "\n";
            }
        }
    }

    // Whether the temporary at `path` is the second name an overwrite across file systems gave the
    // file it replaced, with that file's content: the source's removal on the other file system was
    // durable before the second name's. No item of a rerun leads to it; it holds only what the user
    // chose to overwrite.
    bool IsOldFileKept(const std::string& path, const SnapshotEntry& entry) const {
        const std::size_t slash = path.rfind('/');
        const std::string folder = path.substr(0, slash + 1);
        for (const auto& [relative, planned] : m_oScenario.m_mapEntries)
            if (planned.m_nKind == PlannedKind::File && relative.rfind(folder, 0) == 0 &&
                relative.find('/', folder.size()) == std::string::npos &&
                engine::IsTemporaryFor(path.substr(slash + 1), relative.substr(folder.size())) &&
                planned.m_strBytes.size() == entry.m_nSize &&
                planned.m_strBytes.compare(0, entry.m_strBytes.size(), entry.m_strBytes) == 0 &&
                !m_rFamily.m_bTrash && std::string_view(m_rFamily.m_pszClash) == "e6")
                return true;
        return false;
    }

    const CrashFamily& m_rFamily;
    Scenario m_oScenario;
    ScenarioFolders m_oFolders;
    std::optional<ScopedEnv> m_oEnv;
    TestSettings m_oSettings{ScenarioFolders::WorkBase()};
    PosixScenarioPlatform m_oPlatform;
    std::vector<TreeSnapshot> m_lstBefore;
};

TEST(CrashConsistency, EveryCrashStateHoldsEveryContentAndTheRerunCompletes) {
    const char* text = std::getenv("TANDEMERE_CRASH_SCENARIOS");
    const std::uint64_t count =
        text != nullptr && *text != '\0' ? std::strtoull(text, nullptr, 10) : TANDEMERE_CRASH_SCENARIO_COUNT;
    Totals totals;
    std::uint64_t scenarios = 0;
    for (const CrashFamily& family : kFamilies)
        for (std::uint64_t seed = 1; seed <= count; ++seed, ++scenarios) CrashCheck(family, seed).Run(totals);
    char figures[320];
    std::snprintf(
        figures, sizeof figures,
        "crash states checked: %d, content lost: %d, reruns completed: %d (%llu scenarios; "
        "temporaries of ours the reruns left: %d, named in the rerun's log as kept: %d, second names "
        "of overwritten files: %d, laid before a move on one file system: %d)\n",
        totals.m_nStates, totals.m_nLost, totals.m_nCompleted, static_cast<unsigned long long>(scenarios),
        totals.m_nLeftovers, totals.m_nLeftoversKept, totals.m_nOldFilesKept, totals.m_nLeftoversPlanted);
    std::fputs(figures, stdout);
    // The test command prints the suites' figures from this folder.
    if (const char* folder = std::getenv("TANDEMERE_FIGURES_DIR"); folder != nullptr && *folder != '\0') {
        std::error_code ignored;
        std::filesystem::create_directories(folder, ignored);
        std::ofstream(std::string(folder) + "/crash.txt", std::ios::trunc) << figures;
    }
    EXPECT_EQ(0, totals.m_nLost);
    EXPECT_EQ(totals.m_nStates, totals.m_nCompleted);
}

}  // namespace
}  // namespace tandemere::testing
