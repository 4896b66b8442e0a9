// Reliability tests (POSIX only): seeded scenarios moved twice, first as a dry run, then for real with
// the same answers: the dry run must leave the disk and the settings as they were and log exactly what
// the real move then logs. The figures go to $TANDEMERE_FIGURES_DIR/dryrun.txt.
//
// TANDEMERE_DRY_RUN_COUNT=N   scenarios of the run (default: 2000, 200 with the sanitizers)
// TANDEMERE_DRY_RUN_SEED=S    run only the scenario of seed S and describe it
#ifndef _WIN32

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include "engine/move_command.h"
#include "engine/recording_file_system.h"
#include "engine/settings_table.h"
#include "engine/unsaved_settings_store.h"
#include "tests/reliability/scenario.h"
#include "tests/reliability/scenario_folders.h"
#include "tests/reliability/scenario_posix.h"
#include "tests/reliability/scenario_trash.h"
#include "tests/support/platform_backend.h"
#include "tests/support/scripted_ui.h"
#include "tests/support/temp_folder.h"
#include "tests/support/tree_snapshot.h"

namespace tandemere::testing {
namespace {

const engine::WindowHandle kOwner = reinterpret_cast<engine::WindowHandle>(0xD21);

// Outcomes a dry run cannot foresee stay out: faults, permissions, other programs' writes.
ScenarioOptions DryRunOptions() {
    ScenarioOptions options;
    options.m_bPipesAmongEntries = true;
    return options;
}

Scenario DryRunScenario(std::uint64_t seed) {
    Scenario scenario = GenerateScenario(seed, DryRunOptions());
    scenario.m_nEditAtPump = 0;
    scenario.m_nEditAtPrompt = 0;
    // Both runs log whatever the settings say, so that there is a log to compare; every fourth with
    // the trash, on one file system or across two.
    std::istringstream lines(scenario.m_strSettings);
    std::string kept;
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("\"Logging\"", 0) != 0) kept += line + "\n";
    scenario.m_bTrash = seed % 4 == 0;
    // Half of those across two file systems, where a file copied in may be trashed again.
    if (scenario.m_bTrash && seed % 8 == 0 && scenario.m_strDestFolder == "dst")
        scenario.m_bDestOnOtherVolume = true;
    if (scenario.m_bTrash) kept += "\"DeleteToRecycleBin\"=dword:00000001\n";
    scenario.m_strSettings = kept;
    return scenario;
}

// Every tree below the roots, one line per entry (kind, bytes, time, link target).
std::string Describe(const std::vector<std::string>& roots) {
    std::string text;
    for (const std::string& root : roots) text += root + "\n" + TreeSnapshot::Take(root).Describe();
    return text;
}

std::string SettingsText(engine::ISettingsStore& store) {
    std::unique_ptr<engine::ISettingsKey> key = store.OpenForRead();
    if (!key) return "no settings";
    std::string text;
    for (const engine::SettingInfo& setting : engine::kSettings) {
        std::uint32_t value = 0;
        const engine::ValueKind kind = key->QueryDword(setting.m_pszName, value);
        text += std::string(setting.m_pszName) + "=" +
                (kind == engine::ValueKind::Dword ? std::to_string(value) : "-") + "\n";
    }
    return text;
}

// The first line where two texts part, numbered from 1, with both versions.
std::string FirstDifference(const std::string& expected, const std::string& actual) {
    std::istringstream a(expected);
    std::istringstream b(actual);
    for (int number = 1;; ++number) {
        std::string lineA;
        std::string lineB;
        const bool moreA = static_cast<bool>(std::getline(a, lineA));
        const bool moreB = static_cast<bool>(std::getline(b, lineB));
        if (!moreA && !moreB) return "the texts differ only in their line ends";
        if (!moreA || !moreB || lineA != lineB)
            return "line " + std::to_string(number) + ":\n  dry run: " + (moreA ? lineA : "(none)") +
                   "\n  move:    " + (moreB ? lineB : "(none)");
    }
}

struct MoveResult {
    std::string m_strLog;
    engine::MoveOutcome m_nOutcome = engine::MoveFinished;
    std::string m_strShown;  // the prompts and errors the user saw, in order
};

MoveResult RunOnce(const Scenario& scenario, const ScenarioFolders& folders, engine::IFileSystem& fs,
                   engine::ISettingsStore& settings) {
    ScriptedUserInterface ui;
    for (const engine::PromptResult& answer : scenario.m_lstAnswers)
        ui.QueueAnswer(answer.m_nAnswer, answer.m_bThisMove, answer.m_bEveryMove);
    for (bool yes : scenario.m_lstYesNo) ui.QueueYesNo(yes);
    if (scenario.m_nCancelAtPump > 0) ui.CancelAtPump(scenario.m_nCancelAtPump);
    engine::MoveCommand command(fs, settings, ui);
    // A pump at every block, so Cancel comes at the same instant of both moves.
    command.m_oKeepAlive =
        engine::KeepAlive([&ui] { ui.PumpAndCheckCancel(); }, std::chrono::milliseconds(0));
    command.SetDestFolder(folders.FullPath(scenario.m_strDestFolder));
    for (const std::string& dropped : scenario.m_lstDropped) command.AddDropped(folders.FullPath(dropped));
    MoveResult result;
    result.m_nOutcome = command.Run(kOwner);
    result.m_strLog = command.Log();
    for (const engine::ChoicePrompt& prompt : ui.m_lstChoicePrompts)
        result.m_strShown += prompt.m_strQuestion + "\n";
    for (const engine::ClashPrompt& prompt : ui.m_lstClashPrompts)
        result.m_strShown += prompt.m_strQuestion + "\n";
    for (const std::string& error : ui.m_lstErrors) result.m_strShown += error + "\n";
    result.m_strShown += "pumps " + std::to_string(ui.m_nPumps) + "\n";
    return result;
}

struct DryRunFigures {
    int m_nRuns = 0;
    int m_nLogsEqual = 0;
    int m_nTrashed = 0;  // files the real moves put in a trash, so the figures show the trash was reached
    int m_nDisksUnchanged = 0;
    int m_nSearchTree = 0;  // runs that searched the whole destination tree
    std::vector<std::string> m_lstFailures;
};

// One scenario: the dry run, the disk and settings compared, the real move, the logs compared.
void RunDryRunScenario(std::uint64_t seed, DryRunFigures& figures) {
    const Scenario scenario = DryRunScenario(seed);
    ScenarioFolders folders(scenario.m_bDestOnOtherVolume);
    PosixScenarioPlatform platform;
    for (const auto& [relative, entry] : scenario.m_mapEntries)
        MakePlannedEntry(entry, folders.FullPath(relative), platform);
    TestSettings settings(OtherVolumeBase());
    if (!scenario.m_strSettings.empty()) settings.Write(scenario.m_strSettings);
    // The home trash lies in the scenario's own folder, where the snapshots see it; with the trash on,
    // on the destination's file system, the other one's trash being its top folder's.
    ::setenv("XDG_DATA_HOME", folders.m_oWork.Path("xdg").c_str(), 1);
    const ScenarioTrash trash(scenario.m_bTrash, folders.Roots());

    const std::string diskBefore = Describe(folders.Roots());
    const std::string settingsBefore = SettingsText(settings.Store());
    std::unique_ptr<engine::IFileSystem> real = MakeRealFileSystem();
    engine::RecordingFileSystem recording(*real);
    engine::UnsavedSettingsStore unsaved(settings.Store());
    const MoveResult dry = RunOnce(scenario, folders, recording, unsaved);
    const std::string diskAfter = Describe(folders.Roots());
    const std::string settingsAfter = SettingsText(settings.Store());

    ++figures.m_nRuns;
    if (scenario.m_bSearchTree) ++figures.m_nSearchTree;
    std::string failure;
    if (diskAfter == diskBefore && settingsAfter == settingsBefore)
        ++figures.m_nDisksUnchanged;
    else if (diskAfter != diskBefore)
        failure += "the dry run changed the disk, " + FirstDifference(diskBefore, diskAfter) + "\n";
    else
        failure +=
            "the dry run changed the settings, " + FirstDifference(settingsBefore, settingsAfter) + "\n";

    const MoveResult moved = RunOnce(scenario, folders, *real, settings.Store());
    for (std::size_t at = moved.m_strLog.find(" to the trash \""); at != std::string::npos;
         at = moved.m_strLog.find(" to the trash \"", at + 1))
        ++figures.m_nTrashed;
    if (dry.m_strLog == moved.m_strLog && dry.m_nOutcome == moved.m_nOutcome &&
        dry.m_strShown == moved.m_strShown)
        ++figures.m_nLogsEqual;
    else if (dry.m_strLog != moved.m_strLog)
        failure += "the logs differ, " + FirstDifference(dry.m_strLog, moved.m_strLog) + "\n";
    else if (dry.m_strShown != moved.m_strShown)
        failure += "the prompts differ, " + FirstDifference(dry.m_strShown, moved.m_strShown) + "\n";
    else
        failure += "the outcomes differ\n";
    if (!failure.empty())
        figures.m_lstFailures.push_back("seed " + std::to_string(seed) + ": " + failure + "dry run's log:\n" +
                                        dry.m_strLog.substr(0, 3000) + "\nmove log:\n" + moved.m_strLog.substr(0, 3000));
}

std::uint64_t EnvNumber(const char* name, std::uint64_t fallback) {
    const char* text = std::getenv(name);
    return text == nullptr || *text == '\0' ? fallback : std::strtoull(text, nullptr, 10);
}

void WriteFigures(const DryRunFigures& figures) {
    const char* folder = std::getenv("TANDEMERE_FIGURES_DIR");
    if (folder == nullptr || *folder == '\0') return;
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    std::ofstream out(std::filesystem::path(folder) / "dryrun.txt", std::ios::trunc);
    out << "dry runs: " << figures.m_nRuns << ", logs equal: " << figures.m_nLogsEqual
        << ", disks unchanged: " << figures.m_nDisksUnchanged << ", files trashed: " << figures.m_nTrashed
        << ", searching the whole destination: " << figures.m_nSearchTree << "\n";
    if (!out) ADD_FAILURE() << "could not write the figures to " << folder;
}

TEST(DryRunScenarios, DryRunChangesNothingAndLogsWhatTheMoveDoes) {
    const char* xdg = std::getenv("XDG_DATA_HOME");
    const std::optional<std::string> savedXdg = xdg ? std::optional<std::string>(xdg) : std::nullopt;
    DryRunFigures figures;
    if (const std::uint64_t seed = EnvNumber("TANDEMERE_DRY_RUN_SEED", 0)) {
        std::printf("%s", DryRunScenario(seed).Describe().c_str());
        RunDryRunScenario(seed, figures);
    } else {
        const std::uint64_t count = EnvNumber("TANDEMERE_DRY_RUN_COUNT", TANDEMERE_DRY_RUN_COUNT);
        for (std::uint64_t i = 0; i < count; ++i) RunDryRunScenario(2000000001 + i, figures);
        WriteFigures(figures);
    }
    if (savedXdg)
        ::setenv("XDG_DATA_HOME", savedXdg->c_str(), 1);
    else
        ::unsetenv("XDG_DATA_HOME");
    for (std::size_t i = 0; i < figures.m_lstFailures.size() && i < 5; ++i)
        ADD_FAILURE() << figures.m_lstFailures[i] << "\nagain: TANDEMERE_DRY_RUN_SEED=<seed> "
                      << "reliability_tests --gtest_filter=DryRunScenarios.*";
    EXPECT_EQ(figures.m_nRuns, figures.m_nLogsEqual);
    EXPECT_EQ(figures.m_nRuns, figures.m_nDisksUnchanged);
}

}  // namespace
}  // namespace tandemere::testing

#endif  // _WIN32
