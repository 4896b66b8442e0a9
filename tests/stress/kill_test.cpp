// Stress tests: the real tool killed with SIGKILL at seeded random instants of moves between two
// file systems; after each kill no content is lost, and the same move run again completes, or
// (a share of the kill points) `undo` reverses every change the killed move's journal recorded.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "engine/journal.h"
#include "platform/posix/journal_file_posix.h"
#include "platform/posix/user_files_posix.h"
#include "tests/cli/tool_runner.h"
#include "tests/stress/stress_support.h"
#include "tests/support/temp_folder.h"
#include "tests/support/trash_contents.h"

namespace tandemere::testing {
namespace {

constexpr std::size_t kMiB = 1024 * 1024;
constexpr std::uint64_t kDefaultKillPoints = 512;
constexpr std::uint64_t kDefaultSeed = 20261210;
constexpr int kReportedFailures = 3;
// The file of the merge whose destination namesake differs: renamed, or overwritten.
constexpr char kClash[] = "merge/clash.txt";

struct TreeFile {
    std::string m_strPath;  // relative to the source or the destination root, '/'
    std::string m_strBytes;
};

// The trees every kill point starts from: a large file dropped alone, a new folder (one copy of
// the whole tree) and a folder merged file by file into its counterpart, with an identical file
// under its own name, one under another name and a clash.
class KillScene {
public:
    explicit KillScene(std::mt19937_64& random) {
        const std::string same = RandomBytes(random, 4096);
        const std::string other = RandomBytes(random, kMiB / 4);
        m_lstSource = {{"big.bin", RandomBytes(random, 10 * kMiB)},
                       {"tree/large.bin", RandomBytes(random, 3 * kMiB)},
                       {"tree/sub/mid.bin", RandomBytes(random, kMiB)},
                       {"tree/sub/deep/note.txt", "deep\n"},
                       {"merge/same.txt", same},
                       {"merge/other.bin", other},
                       {"merge/clash.txt", "the source's clash.txt\n"},
                       {"merge/part.bin", RandomBytes(random, 2 * kMiB)}};
        for (int i = 0; i < 6; ++i)
            m_lstSource.push_back({"tree/small" + std::to_string(i) + ".txt", RandomBytes(random, 100 + i)});
        m_lstDest = {{"merge/same.txt", same},
                     {"merge/renamed.bin", other},
                     {"merge/clash.txt", "the destination's clash.txt\n"}};
    }

    // Lays both trees anew (whatever was there goes).
    void Lay(const std::string& src, const std::string& dst) const {
        for (const std::string& root : {src, dst}) {
            std::filesystem::remove_all(PathFromUtf8(root));
            MakeFolders(root);
        }
        for (const TreeFile& file : m_lstSource) WriteFile(JoinPath(src, file.m_strPath), file.m_strBytes);
        for (const TreeFile& file : m_lstDest) WriteFile(JoinPath(dst, file.m_strPath), file.m_strBytes);
    }

    static std::vector<std::string> Items() { return {"big.bin", "tree", "merge"}; }

private:
    std::vector<TreeFile> m_lstSource;
    std::vector<TreeFile> m_lstDest;
};

// One way across: the source root on one file system, the destination on the other. Each way runs
// in a thread of its own and takes the next kill point as soon as it is free, so that the way whose
// flushes wait for a disk does not hold the other up.
struct Direction {
    std::string m_strSrc;
    std::string m_strDst;
    std::string m_strLog;
    std::string m_strJournals;  // this way's own journals, so `undo` finds the move it follows
    ToolEnvironment m_oEnv;
    std::vector<TreeSnapshot> m_lstBefore;
    std::vector<TreeSnapshot> m_lstBeforeOverwrite;  // less the destination's clash.txt, which may go
    std::chrono::microseconds m_nFullRun{0};
    std::uint64_t m_nPoints = 0;  // killed on this way
    std::uint64_t m_nCompleted = 0;
    std::uint64_t m_nUndone = 0;           // undone instead of run again, consistently with its journal
    std::uint64_t m_nEndedBeforeKill = 0;  // the move had already ended when its kill came
    std::uint64_t m_nCopyCut = 0;          // the kill left a copy under way behind
    int m_nLost = 0;
};

class Kills : public ::testing::Test {
protected:
    // The move of every dropped item still in the source, its clash renamed or overwritten; -1 when
    // none is left.
    pid_t StartMove(const Direction& way, bool overwrite, bool trash = false) {
        std::vector<std::string> args = {"move",
                                         "--identical=delete",
                                         overwrite ? "--different=overwrite" : "--different=rename",
                                         trash ? "--trash" : "--no-trash",
                                         "--log-file",
                                         way.m_strLog};
        bool any = false;
        for (const std::string& item : KillScene::Items()) {
            if (!Exists(JoinPath(way.m_strSrc, item))) continue;
            args.push_back(JoinPath(way.m_strSrc, item));
            any = true;
        }
        if (!any) return -1;
        args.push_back(way.m_strDst);
        return StartTool(args, way.m_oEnv);
    }

    // Lays the trees, runs the whole move twice and keeps the shorter time, the one less stretched by
    // other load on the machine: the span the kills fall in.
    void Measure(Direction& way, const KillScene& scene) {
        scene.Lay(way.m_strSrc, way.m_strDst);
        way.m_lstBefore = {TreeSnapshot::Take(way.m_strSrc), TreeSnapshot::Take(way.m_strDst)};
        way.m_lstBeforeOverwrite = {
            way.m_lstBefore[0],
            way.m_lstBefore[1].Without([](const std::string& path) { return path == kClash; })};
        for (int run = 0; run < 2; ++run) {
            scene.Lay(way.m_strSrc, way.m_strDst);
            const auto start = std::chrono::steady_clock::now();
            ASSERT_EQ(0, WaitTool(StartMove(way, false)));
            const auto spent = std::chrono::duration_cast<std::chrono::microseconds>(
                std::chrono::steady_clock::now() - start);
            if (run == 0 || spent < way.m_nFullRun) way.m_nFullRun = spent;
        }
    }

    static bool LeftACopy(const std::vector<TreeSnapshot>& trees) {
        for (const TreeSnapshot& tree : trees)
            for (const auto& [path, entry] : tree.Entries())
                if (LiesInTemporary(path)) return true;
        return false;
    }

    std::vector<TreeSnapshot> Trees(const Direction& way) const {
        return {TreeSnapshot::Take(way.m_strSrc), TreeSnapshot::Take(way.m_strDst)};
    }

    // Runs the move again after a kill: it must end well with every content in the destination
    // and nothing of the drop left in the source. Empty when it did; `lost` counts the contents
    // found neither in the source nor in the destination.
    std::string RunAgain(const Direction& way, bool overwrite, bool trash, int& lost) {
        const std::vector<TreeSnapshot>& before = overwrite ? way.m_lstBeforeOverwrite : way.m_lstBefore;
        const pid_t again = StartMove(way, overwrite, trash);
        const int exit = again < 0 ? 0 : WaitTool(again);
        CheckNothingLost(before, Trees(way), lost);
        const std::vector<TreeSnapshot> after = {TreeSnapshot::Take(way.m_strDst)};
        int notMoved = 0;
        std::string report =
            CheckNothingLost(before, after, notMoved) + FindTornCopies(way.m_lstBefore, after);
        if (exit != 0) report += "the move run again ended with " + std::to_string(exit) + "\n";
        for (const std::string& item : KillScene::Items())
            if (Exists(JoinPath(way.m_strSrc, item))) report += "left in the source: " + item + "\n";
        if (!report.empty())
            report += "after the move run again, the destination holds:\n" + after[0].Describe();
        return report + FindOrphanTrashInfo(way);
    }

    // A .trashinfo of the way's files whose file the trash does not hold: a kill between the two
    // steps of a move to the trash leaves one, and the next run must remove it (not trash anew
    // under NAME.2). The trashes are emptied of the way's entries.
    // After an undo, which knows only what the journal recorded, an orphan may stay (`orphans` false).
    std::string FindOrphanTrashInfo(const Direction& way, bool orphans = true) const {
        std::string report;
        for (const std::string& trash : {m_tmp.Path("xdg/Trash"), ShmTrash()})
            for (const TrashedEntry& entry : ListTrash(trash)) {
                if (entry.m_strPath.rfind(way.m_strSrc + "/", 0) != 0) continue;
                if (orphans && !Exists(trash + "/files/" + entry.m_strName))
                    report += "a .trashinfo without its file: " + entry.m_strName + "\n";
                std::filesystem::remove_all(PathFromUtf8(trash + "/files/" + entry.m_strName));
                std::filesystem::remove(PathFromUtf8(trash + "/info/" + entry.m_strName + ".trashinfo"));
            }
        return report;
    }

    // The change records of the way's newest journal; false when the kill came before it was made.
    static bool ReadNewestJournal(const Direction& way, std::vector<engine::JournalRecord>& records) {
        const std::vector<std::string> names = posix::ListJournals(way.m_strJournals);
        std::string text;
        if (names.empty() || !posix::ReadWholeFile(posix::JournalPath(way.m_strJournals, names.back()), text))
            return false;
        records = engine::ParseJournal(text);
        return true;
    }

    // Where a record's item must be again after its undo, or must be gone ("-" first); empty for a record
    // that names no change, "!" for one that cannot be undone.
    static std::string PlaceAfterUndo(const engine::JournalRecord& record) {
        using Kind = engine::JournalKind;
        if (record.m_nKind == Kind::Overwritten || record.m_nKind == Kind::Deleted) return "!";
        if (record.m_nKind == Kind::FolderCreated) return "-" + record.m_lstFields.at(0);
        // The kinds from Moved to FolderRemoved name the item's old place first.
        return record.m_nKind < Kind::Moved || record.m_nKind > Kind::FolderRemoved
                   ? ""
                   : record.m_lstFields.at(0);
    }

    // Undoes the killed move instead of running it again: every change its journal recorded is reversed
    // or named in a line of the undo's log, the exit status is 0 exactly when all were reversed, no content
    // is lost, and a move that had ended before its kill gives back the trees before it.
    std::string UndoAfterKill(const Direction& way, const std::vector<TreeSnapshot>& laid, bool ended,
                              int& lost) {
        std::vector<engine::JournalRecord> records;
        const bool journal = ReadNewestJournal(way, records);
        const ToolResult undo = RunTool({"undo"}, way.m_oEnv);
        const std::vector<TreeSnapshot> after = Trees(way);
        std::string report =
            CheckNothingLost(way.m_lstBefore, after, lost) + FindTornCopies(way.m_lstBefore, after);
        if (!journal && undo.m_nExit != 2)
            report += "undo without a journal ended with " + std::to_string(undo.m_nExit) + "\n";
        bool all = true;
        for (const engine::JournalRecord& record : records) {
            const std::string place = PlaceAfterUndo(record);
            const bool undone =
                place.empty() || (place[0] == '-' ? !Exists(place.substr(1)) : place != "!" && Exists(place));
            all = all && undone;
            if (!undone && place != "!" &&
                undo.m_strOut.find("\"" + record.m_lstFields.at(0) + "\"") == std::string::npos &&
                (record.m_lstFields.size() < 2 ||
                 undo.m_strOut.find("\"" + record.m_lstFields[1] + "\"") == std::string::npos))
                report += "undo neither reversed nor named: " +
                          engine::FormatJournalLine(record.m_nKind, record.m_lstFields);
        }
        const bool complete = undo.m_strOut.find("; left 0 (") != std::string::npos &&
                              undo.m_strOut.find("; 0 errors.") != std::string::npos &&
                              undo.m_strOut.find("can't be undone") == std::string::npos;
        if (journal && ((undo.m_nExit == 0) != complete || (undo.m_nExit == 0 && !all) ||
                        (undo.m_nExit != 0 && undo.m_nExit != 1)))
            report += "undo's exit status " + std::to_string(undo.m_nExit) + " does not fit its summary\n";
        if (ended && undo.m_nExit != 0) report += "undo of a move that had ended left something\n";
        if (ended && undo.m_nExit == 0)
            for (std::size_t i = 0; i < after.size(); ++i)
                report += FindChangedEntries(laid[i], after[i].Without(LiesInTemporary));
        if (!report.empty()) report += "the undo's log:\n" + undo.m_strOut + undo.m_strErr;
        return report + FindOrphanTrashInfo(way, false);
    }

    // Overwritten, the clash file holds its old content or the source's, whenever the kill came.
    static std::string CheckOverwrittenWhole(const Direction& way, const TreeSnapshot& dst) {
        const SnapshotEntry* now = dst.Find(kClash);
        const std::string key = now == nullptr ? "" : ContentKey(*now);
        if (key == ContentKey(*way.m_lstBefore[0].Find(kClash)) ||
            key == ContentKey(*way.m_lstBefore[1].Find(kClash)))
            return "";
        return std::string("the file being overwritten is neither the old one nor the new one: ") +
               (now == nullptr ? "gone" : key) + "\n";
    }

    // The kill points of one way: lay the trees, start the move (a quarter of them overwriting the
    // clash), kill it after a seeded delay, check; run it again, check.
    void KillRepeatedly(Direction& way, const KillScene& scene, std::uint64_t seed,
                        std::atomic<std::uint64_t>& next, std::uint64_t points) {
        std::mt19937_64 random(seed);
        int failures = 0;
        // Up to a fifth past the whole run's time, so some kills land after the move's end.
        std::uniform_int_distribution<std::int64_t> instant(0, way.m_nFullRun.count() * 6 / 5);
        for (std::uint64_t point = 0; next.fetch_add(1) < points; ++point) {
            ++way.m_nPoints;
            scene.Lay(way.m_strSrc, way.m_strDst);
            const bool overwrite = point % 4 == 3;
            const bool trash = point % 4 == 1;
            // A quarter of the points, with the trash and without, are undone instead of run again. Their
            // kills reach twice as far, so the merge's late changes are undone as often as the copies.
            const bool undo = point % 8 == 2 || point % 8 == 5;
            const std::chrono::microseconds delay(instant(random) * (undo ? 2 : 1));
            if (undo) std::filesystem::remove_all(PathFromUtf8(way.m_strJournals));
            // Laid anew, the files have new times, which an undo must give back.
            const std::vector<TreeSnapshot> laid = undo ? Trees(way) : std::vector<TreeSnapshot>();
            const pid_t child = StartMove(way, overwrite, trash);
            std::this_thread::sleep_for(delay);
            ::kill(child, SIGKILL);
            const bool ended = WaitTool(child) != 128 + SIGKILL;
            if (ended) ++way.m_nEndedBeforeKill;

            int lost = 0;
            const std::vector<TreeSnapshot> after = Trees(way);
            std::string report =
                CheckNothingLost(overwrite ? way.m_lstBeforeOverwrite : way.m_lstBefore, after, lost) +
                FindTornCopies(way.m_lstBefore, after);
            if (overwrite) report += CheckOverwrittenWhole(way, after[1]);
            int lostAgain = 0;
            const std::string again = undo ? UndoAfterKill(way, laid, ended, lostAgain)
                                           : RunAgain(way, overwrite, trash, lostAgain);
            // A content lost stays lost: the larger count is this kill point's.
            way.m_nLost += std::max(lost, lostAgain);
            if (LeftACopy(after)) ++way.m_nCopyCut;
            if (again.empty()) ++(undo ? way.m_nUndone : way.m_nCompleted);
            report += again;
            if (!report.empty() && failures++ < kReportedFailures)
                ADD_FAILURE() << "kill point " << point << (overwrite ? ", overwriting" : "")
                              << (trash ? ", to the trash" : "") << (undo ? ", undone" : "") << " (seed "
                              << seed << ", " << delay.count() << " us of " << way.m_nFullRun.count()
                              << " us, from " << way.m_strSrc << "):\n"
                              << report;
        }
    }

    TempFolder m_tmp;
    TempFolder m_shm{"/dev/shm"};
    ShmTrashUse m_oShmTrash{m_shm.Root()};
    ToolEnvironment m_env{m_tmp.Path("settings"), {"XDG_DATA_HOME=" + m_tmp.Path("xdg")}};
};

TEST_F(Kills, MovesAcrossFileSystemsLoseNothingWhereverTheyAreKilled) {
    const std::uint64_t points = EnvNumber("TANDEMERE_KILL_POINTS", kDefaultKillPoints);
    const std::uint64_t seed = EnvNumber("TANDEMERE_KILL_SEED", kDefaultSeed);
    std::mt19937_64 random(seed);
    const KillScene scene(random);
    Direction ways[2];
    ways[0].m_strSrc = m_tmp.Path("src");
    ways[0].m_strDst = m_shm.Path("dst");
    ways[1].m_strSrc = m_shm.Path("src");
    ways[1].m_strDst = m_tmp.Path("dst");
    for (int i = 0; i < 2; ++i) {
        ways[i].m_strLog = m_tmp.Path("log" + std::to_string(i) + ".txt");
        ways[i].m_oEnv = m_env;
        ways[i].m_oEnv.m_lstExtra.push_back("XDG_STATE_HOME=" + m_tmp.Path("state" + std::to_string(i)));
        ways[i].m_strJournals = m_tmp.Path("state" + std::to_string(i) + "/tandemere/moves");
        ASSERT_NO_FATAL_FAILURE(Measure(ways[i], scene));
    }
    std::atomic<std::uint64_t> next{0};
    std::thread back([&] { KillRepeatedly(ways[1], scene, seed + 1, next, points); });
    KillRepeatedly(ways[0], scene, seed, next, points);
    back.join();

    const std::uint64_t completed = ways[0].m_nCompleted + ways[1].m_nCompleted;
    const std::uint64_t undone = ways[0].m_nUndone + ways[1].m_nUndone;
    const int lost = ways[0].m_nLost + ways[1].m_nLost;
    const std::string figure =
        "kill points: " + std::to_string(points) + ", re-runs completed: " + std::to_string(completed) +
        ", undone instead: " + std::to_string(undone) + ", content lost: " + std::to_string(lost);
    for (const Direction& way : ways)
        std::printf(
            "from %s: %llu kill points, %llu during a copy, %llu after the move's end; the whole move "
            "took %lld us\n",
            way.m_strSrc.c_str(), static_cast<unsigned long long>(way.m_nPoints),
            static_cast<unsigned long long>(way.m_nCopyCut),
            static_cast<unsigned long long>(way.m_nEndedBeforeKill),
            static_cast<long long>(way.m_nFullRun.count()));
    std::printf("%s (seed %llu)\n", figure.c_str(), static_cast<unsigned long long>(seed));
    WriteFigure("kills.txt", figure);
    EXPECT_EQ(points, completed + undone);
    EXPECT_EQ(0, lost);
}

}  // namespace
}  // namespace tandemere::testing
