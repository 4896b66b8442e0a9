// Reliability tests: one scenario made real, moved and judged.
#include "tests/reliability/scenario_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>

#include "engine/move_command.h"
#include "engine/recording_file_system.h"
#include "engine/undo_move.h"
#include "tests/reliability/scenario_folders.h"
#include "tests/reliability/scenario_trash.h"
#include "tests/support/platform_backend.h"
#include "tests/support/scripted_ui.h"
#include "tests/support/temp_folder.h"

namespace tandemere::testing {
namespace {

const engine::WindowHandle kScenarioOwner = reinterpret_cast<engine::WindowHandle>(0x5CE);

// Changes files while the move runs, as another program would: the bytes change, the size and
// the last-write time stay. Each change is recorded for the oracle.
class ConcurrentEditor {
public:
    ConcurrentEditor(const Scenario& scenario, const ScenarioFolders& folders,
                     const engine::MoveCommand& command, const ScriptedUserInterface& ui, MoveRecord& record)
        : m_rScenario(scenario), m_rFolders(folders), m_rCommand(command), m_rUi(ui), m_rRecord(record) {}

    void OnPump() {
        // A plain write: the time changes, as any writer's does.
        if (++m_nPumps == m_rScenario.m_nEditAtPump)
            Edit(m_rFolders.FullPath(m_rScenario.m_strEditPath), false);
    }
    void BeforeAnswer() {
        const bool clash = m_rUi.m_lstClashPrompts.size() > m_nClashPrompts;
        m_nClashPrompts = m_rUi.m_lstClashPrompts.size();
        if (++m_nPrompts != m_rScenario.m_nEditAtPrompt) return;
        const bool destination = m_rScenario.m_bEditDestination;
        if (clash) {
            const engine::ClashPrompt& prompt = m_rUi.m_lstClashPrompts.back();
            Edit(destination ? prompt.m_strDestPath : prompt.m_strSrcPath, true);
        } else if (const engine::DecisionKind kind = m_rUi.m_lstChoicePrompts.back().m_nKind;
                   kind == engine::DecisionKind::SameFileDiffName ||
                   kind == engine::DecisionKind::SameFileElsewhere) {
            EditQuoted(m_rUi.m_lstChoicePrompts.back().m_strQuestion, destination);
        }
    }

private:
    // The question "Source file "S" is the same as [destination] file "I"..." names both files.
    void EditQuoted(const std::string& question, bool destination) {
        const std::size_t first = question.find('"');
        const std::size_t middle = question.find("\" is the same as ", first);
        if (first == std::string::npos || middle == std::string::npos) return;
        const std::size_t start = destination ? question.find('"', middle + 1) + 1 : first + 1;
        const std::size_t end = question.find('"', start);
        const std::string shown = question.substr(start, end - start);
        const std::string& root = destination ? m_rCommand.m_szDestFolder : m_rCommand.m_szSourceRoot;
        Edit(IsFullPath(shown) ? shown : root + shown, true);
    }
    // Changes one byte (an empty file gets one), the last-write time kept when `keepTime`.
    void Edit(const std::string& path, bool keepTime);

    const Scenario& m_rScenario;
    const ScenarioFolders& m_rFolders;
    const engine::MoveCommand& m_rCommand;
    const ScriptedUserInterface& m_rUi;
    MoveRecord& m_rRecord;
    int m_nPumps = 0;
    int m_nPrompts = 0;
    std::size_t m_nClashPrompts = 0;
};

void ConcurrentEditor::Edit(const std::string& path, bool keepTime) {
    std::error_code error;
    const std::optional<unsigned> mode = Mode(path);
    // A file of several names would change under each: the oracle follows one path.
    if (!std::filesystem::is_regular_file(std::filesystem::symlink_status(PathFromUtf8(path), error)) ||
        !mode || (*mode & 0600) != 0600 || std::filesystem::hard_link_count(PathFromUtf8(path), error) != 1)
        return;
    // Only a file still as it was before the move: not one the move has put there.
    for (TreeSnapshot& tree : m_rRecord.m_lstBefore) {
        if (path.rfind(tree.Root() + NativeSeparator(), 0) != 0) continue;
        std::string relative = path.substr(tree.Root().size() + 1);
        for (char& c : relative)
            if (c == NativeSeparator()) c = '/';
        const SnapshotEntry* before = tree.Find(relative);
        const std::optional<std::string> bytes = TryReadFile(path);
        const std::optional<std::uint64_t> ticks = LastWriteTime(path);
        if (before == nullptr || !bytes || bytes->empty() || !ticks ||
            ContentKey(TreeSnapshot::TakeFile(path)) != ContentKey(*before))
            return;
        {
            // In place, as a writer does; Windows refuses while the move has the file open.
            std::fstream file(PathFromUtf8(path), std::ios::in | std::ios::out | std::ios::binary);
            if (!file || !file.put(static_cast<char>((*bytes)[0] ^ 1)) || !file.flush()) return;
        }
        if (keepTime && !SetLastWriteTime(path, *ticks)) return;
        m_rRecord.m_lstEdits.push_back({m_rCommand.m_strLog.size(), path, TreeSnapshot::TakeFile(path)});
        return;
    }
}

std::vector<TreeSnapshot> TakeAll(const std::vector<std::string>& roots) {
    std::vector<TreeSnapshot> trees;
    for (const std::string& root : roots) trees.push_back(TreeSnapshot::Take(root));
    return trees;
}

void QueueScript(const Scenario& scenario, ScriptedUserInterface& ui) {
    for (const engine::PromptResult& answer : scenario.m_lstAnswers)
        ui.QueueAnswer(answer.m_nAnswer, answer.m_bThisMove, answer.m_bEveryMove);
    for (bool yes : scenario.m_lstYesNo) ui.QueueYesNo(yes);
    if (scenario.m_nCancelAtPump > 0) ui.CancelAtPump(scenario.m_nCancelAtPump);
    ui.SkipErrors(scenario.m_bSkipErrors);
}

// The answers the move got to its yes/no questions: the script's, then No once it ran out.
std::vector<bool> YesNoGiven(const Scenario& scenario, const ScriptedUserInterface& ui) {
    std::vector<bool> given;
    for (std::size_t i = 0; i < ui.m_lstYesNoTexts.size(); ++i)
        given.push_back(i < scenario.m_lstYesNo.size() && scenario.m_lstYesNo[i]);
    return given;
}

// The journal of a scenario's move, kept in memory.
class StringJournal : public engine::IJournalFile {
public:
    engine::Status AppendLine(const std::string& line) override {
        m_strText += line;
        return engine::Status::Ok();
    }
    std::string m_strText;
};

// Where what the journal says was replaced or deleted for good lay before the move: an item the move
// itself had put there came from an earlier place, and a duplicate deleted for it had its content only there.
// A file in a trash that names no file it keeps (the Recycle Bin) stays there.
std::set<std::string> NotUndoable(const std::vector<engine::JournalRecord>& records) {
    using engine::JournalKind;
    std::set<std::string> notUndoable;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const JournalKind kind = records[i].m_nKind;
        if (kind != JournalKind::Overwritten && kind != JournalKind::Deleted &&
            (kind != JournalKind::Trashed || !records[i].m_lstFields.at(5).empty()))
            continue;
        std::string path = records[i].m_lstFields.at(0);
        for (std::size_t j = i; j-- > 0;) {
            const engine::JournalRecord& earlier = records[j];
            if (earlier.m_nKind == JournalKind::Duplicate && earlier.m_lstFields.at(5) == path)
                notUndoable.insert(earlier.m_lstFields[0]);
            if (earlier.m_nKind != JournalKind::Moved && earlier.m_nKind != JournalKind::Copied &&
                earlier.m_nKind != JournalKind::Renamed)
                continue;
            // The item itself, or a folder that held it, came from an earlier place.
            const std::string& to = earlier.m_lstFields.at(1);
            if (path.compare(0, to.size(), to) == 0 &&
                (path.size() == to.size() || path[to.size()] == NativeSeparator()))
                path = earlier.m_lstFields[0] + path.substr(to.size());
        }
        notUndoable.insert(path);
    }
    return notUndoable;
}

// Undoes a move that ran to its end from its journal, its dry run first: the two logs must be one, and
// the undo must lose nothing that was there after the move. With `compareTrees` (nothing was written
// meanwhile) the trees must be those before the move, but for what cannot be undone.
void UndoAndJudge(const std::string& journal, engine::IFileSystem& fs, const std::vector<std::string>& roots,
                  const MoveRecord& record, bool modesChanged, bool compareTrees, ScenarioOutcome& outcome) {
    const std::vector<engine::JournalRecord> records = engine::ParseJournal(journal);
    // The move's pumps (and the changes the scenario makes at them) are over.
    fs.SetKeepAlive(nullptr);
#ifndef _WIN32
    // The dry run is the Linux tool's: the recording file system knows POSIX paths only.
    engine::RecordingFileSystem recording(fs);
    engine::UndoCommand dryRun(recording);
    dryRun.Run(records);
#endif
    engine::UndoCommand undo(fs);
    undo.Run(records);
    outcome.m_nRefusedChanged = static_cast<int>(undo.Summary().m_nChanged);
    // Every record reads back as it was written, and a torn last line is left out, not misread.
    std::string again;
    for (const engine::JournalRecord& each : records)
        again += engine::FormatJournalLine(each.m_nKind, each.m_lstFields);
    const bool torn =
        !journal.empty() &&
        engine::ParseJournal(journal.substr(0, journal.size() - 1)).size() + 1 != records.size();
    if (again != journal || torn)
        outcome.m_strReport += "the journal does not read back as written:\n" + journal;
#ifndef _WIN32
    if (dryRun.Log() != undo.Log())
        outcome.m_strReport += "the undo's dry run logged:\n" + dryRun.Log() + "its real run:\n" + undo.Log();
#endif
    std::vector<TreeSnapshot> undone = TakeAll(roots);
    std::string findings;
    if (compareTrees) {
        findings = JudgeUndo(record, undone, NotUndoable(records), modesChanged);
        outcome.m_nUndos = 1;
        outcome.m_nRestored = findings.empty() ? 1 : 0;
    }
    undone.insert(undone.end(), record.m_lstTrashes.begin(), record.m_lstTrashes.end());
    // A .trashinfo goes with its file back out of the trash: it only named where the file came from.
    std::vector<TreeSnapshot> after;
    for (const std::vector<TreeSnapshot>* trees : {&record.m_lstAfter, &record.m_lstTrashes})
        for (const TreeSnapshot& tree : *trees)
            after.push_back(tree.Without([](const std::string& path) {
                return path.size() > 10 && path.compare(path.size() - 10, 10, ".trashinfo") == 0;
            }));
    std::string lost = FindLostContent(after, undone);
    std::set<std::string> excused = NotUndoable(records);
    excused.merge(InOurTemporaries(record.m_lstBefore));
    if (compareTrees) lost += FindLostContent(record.m_lstBefore, undone, excused);
    outcome.m_bLost = outcome.m_bLost || !lost.empty();
    if (!findings.empty() || !lost.empty())
        outcome.m_strReport += "undo:\n" + lost + findings + "its log:\n" + undo.Log();
}

// Failures the test helpers reported so far (a file they could not make or read); a child
// process that runs scenarios has no other way to see them.
int HelperFailures() {
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    return test == nullptr ? 0 : test->result()->total_part_count();
}

// Wine's bin takes files from its own file system only, the system's temporary folder's: half the
// scenarios with the bin on have their sources there, half on the second volume, where it refuses.
bool SourcesOnSystemVolume(const Scenario& scenario) {
#ifdef _WIN32
    return scenario.m_bTrash && scenario.m_nSeed % 2 == 0;
#else
    (void)scenario;
    return false;
#endif
}

}  // namespace

ScenarioOutcome RunScenario(const Scenario& scenario, IScenarioPlatform& platform) {
    const int helperFailures = HelperFailures();
    ScenarioOutcome outcome;
    outcome.m_nSeed = scenario.m_nSeed;
    ScenarioFolders folders(scenario.m_bDestOnOtherVolume, SourcesOnSystemVolume(scenario));
    std::vector<std::string> paths;
    for (const auto& [relative, entry] : scenario.m_mapEntries) {
        paths.push_back(folders.FullPath(relative));
        if (!MakePlannedEntry(entry, paths.back(), platform))
            outcome.m_strReport += "could not make " + paths.back() + "\n";
    }

    const ScenarioTrash trash(scenario.m_bTrash, folders.Roots());
    MoveRecord record;
    record.m_lstBefore = TakeAll(folders.Roots());
    TestSettings settings(ScenarioFolders::WorkBase());
    if (!scenario.m_strSettings.empty()) settings.Write(scenario.m_strSettings);
    std::unique_ptr<engine::IFileSystem> fs = MakeRealFileSystem();
    ScriptedUserInterface ui;
    QueueScript(scenario, ui);

    engine::MoveCommand command(*fs, settings.Store(), ui);
    StringJournal journal;
    command.SetJournal(&journal);
    // A pump at every block of a copy or a comparison, not after a time: the same pumps on every
    // run, so a seed replays its Cancel and its changes at the same instant of the move.
    command.m_oKeepAlive =
        engine::KeepAlive([&ui] { ui.PumpAndCheckCancel(); }, std::chrono::milliseconds(0));
    ConcurrentEditor editor(scenario, folders, command, ui, record);
    ui.m_fnOnPump = [&] { editor.OnPump(); };
    ui.m_fnBeforeAnswer = [&] { editor.BeforeAnswer(); };
    command.SetDestFolder(folders.FullPath(scenario.m_strDestFolder));
    for (const std::string& dropped : scenario.m_lstDropped) command.AddDropped(folders.FullPath(dropped));
    platform.BeforeMove(scenario, paths);
    record.m_nOutcome = command.Run(kScenarioOwner);
    outcome.m_nFaults = platform.AfterMove(folders.Roots(), record.m_bCleanupMayFail);

    record.m_lstAfter = TakeAll(folders.Roots());
    record.m_strLog = command.Log();
    record.m_bLogging = command.m_bLogging;
    record.m_strSourceRoot = command.m_szSourceRoot;
    record.m_strDestFolder = command.m_szDestFolder;
    record.m_lstYesNoGiven = YesNoGiven(scenario, ui);
    // 230, 231 and 232 are 0xe6, 0xe7 and 0xe8.
    record.m_bAnswersStored =
        scenario.m_strSettings.find("DlgDefault\"=dword:000000e") != std::string::npos ||
        std::any_of(scenario.m_lstAnswers.begin(), scenario.m_lstAnswers.end(),
                    [](const engine::PromptResult& answer) { return answer.m_bEveryMove; });
    trash.Note(record);
    outcome.m_nTrashed = trash.Count();
    outcome.m_nSearchTree = scenario.m_bSearchTree ? 1 : 0;
    outcome.m_nElsewhere = static_cast<int>(std::count_if(
        ui.m_lstChoicePrompts.begin(), ui.m_lstChoicePrompts.end(),
        [](const engine::ChoicePrompt& p) { return p.m_nKind == engine::DecisionKind::SameFileElsewhere; }));
    const std::string log = "\n" + record.m_strLog;
    for (std::size_t at = log.find("\nCreated destination folder \""); at != std::string::npos;
         at = log.find("\nCreated destination folder \"", at + 1))
        ++outcome.m_nFoldersMade;
    const OracleVerdict verdict = JudgeMove(record);
    outcome.m_bLost = !verdict.m_strLost.empty();
    outcome.m_strReport += verdict.m_strLost + verdict.m_strViolations;
    // Every move, stopped or not, is undone and must lose nothing. Where it ran to its end and nothing was
    // written meanwhile the trees before it come back: a file written meanwhile is what the user has now,
    // which undo leaves, and a failure that stops a move can leave a copy that no record names.
    if (record.m_nOutcome != engine::MoveRefused)
        UndoAndJudge(journal.m_strText, *fs, folders.Roots(), record,
                     std::any_of(scenario.m_mapEntries.begin(), scenario.m_mapEntries.end(),
                                 [](const auto& entry) { return entry.second.m_nMode != 0; }),
                     record.m_nOutcome == engine::MoveFinished && record.m_lstEdits.empty(), outcome);
    if (HelperFailures() != helperFailures)
        outcome.m_strReport += "a test helper failed: see its report above\n";
    outcome.m_strLog = record.m_strLog;
    return outcome;
}

}  // namespace tandemere::testing
