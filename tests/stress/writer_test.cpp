// Stress tests: another process changes a source file, the identical destination file or a
// folder's content at the worst moments (while a prompt waits, while a copy across file systems
// runs); nothing it wrote may be lost.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "tests/cli/tool_runner.h"
#include "tests/engine/move_fixture.h"
#include "tests/stress/stress_support.h"

namespace tandemere::testing {
namespace {

constexpr std::size_t kMiB = 1024 * 1024;
constexpr std::size_t kChunk = 4096;
constexpr int kCopyRounds = 8;

// Counts one raced run and rewrites the figure with the counts so far.
void CountRun(int lost) {
    static int s_nRuns = 0;
    static int s_nLost = 0;
    ++s_nRuns;
    s_nLost += lost;
    WriteFigure("writers.txt", "concurrent-writer runs: " + std::to_string(s_nRuns) +
                                   ", content lost: " + std::to_string(s_nLost));
}

// Rewrites the first bytes of a file in place with `bytes` and puts its last-write time back:
// a change that size and time cannot show.
bool RewriteKeepingSizeAndTime(const std::string& path, std::string_view bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st;
    bool ok = ::fstat(fd, &st) == 0 &&
              ::pwrite(fd, bytes.data(), bytes.size(), 0) == static_cast<ssize_t>(bytes.size());
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    ok = ok && ::futimens(fd, times) == 0;
    return ::close(fd) == 0 && ok;
}

// A forked process that makes one change when asked and says when it is done: the test's prompt
// waits for it, so the change lands while the engine waits for the user.
class PromptWriter {
public:
    explicit PromptWriter(const std::function<bool()>& change) {
        if (::pipe(m_nAsk) != 0 || ::pipe(m_nDone) != 0) ADD_FAILURE() << "no pipes";
        m_nChild = ::fork();
        if (m_nChild == 0) {
            char c = 0;
            if (::read(m_nAsk[0], &c, 1) != 1) ::_exit(2);
            const char ok = change() ? 1 : 0;
            ::_exit(::write(m_nDone[1], &ok, 1) == 1 && ok ? 0 : 1);
        }
    }
    ~PromptWriter() {
        for (int fd : {m_nAsk[0], m_nAsk[1], m_nDone[0], m_nDone[1]}) ::close(fd);
        if (m_nChild > 0) {
            ::kill(m_nChild, SIGKILL);
            ::waitpid(m_nChild, nullptr, 0);
        }
    }
    PromptWriter(const PromptWriter&) = delete;
    PromptWriter& operator=(const PromptWriter&) = delete;

    // Makes the change now and waits for it; false when it failed.
    bool ChangeNow() {
        char c = 1;
        if (m_bUsed || ::write(m_nAsk[1], &c, 1) != 1) return false;
        m_bUsed = true;
        return ::read(m_nDone[0], &c, 1) == 1 && c == 1;
    }

private:
    int m_nAsk[2] = {-1, -1};
    int m_nDone[2] = {-1, -1};
    pid_t m_nChild = -1;
    bool m_bUsed = false;
};

class ConcurrentWritersDuringPrompt : public MoveFixture {
protected:
    // Runs a move of `dropped` into `dest` (default: dst) whose first prompt is answered `answer`
    // while `change` runs in the writer; afterwards every content in `mustSurvive` (bytes) still
    // exists in the source or the destination, under a name the user can find.
    void RunRacedPrompt(std::int32_t answer, const std::function<bool()>& change,
                        const std::vector<std::string>& mustSurvive, const std::string& dropped,
                        std::string dest = {}) {
        if (dest.empty()) dest = Dst();
        PromptWriter writer(change);
        m_ui.QueueAnswer(answer);
        m_ui.m_fnBeforeAnswer = [&] { EXPECT_TRUE(writer.ChangeNow()); };
        for (std::size_t i = 0; i < mustSurvive.size(); ++i)
            WriteFile(Keep("expected/" + std::to_string(i)), mustSurvive[i]);
        const TreeSnapshot expected = TreeSnapshot::Take(Keep("expected"));
        m_bCheckInvariant = false;
        Run({dropped}, dest);
        int lost = 0;
        const std::string report =
            CheckNothingLost({expected}, {TreeSnapshot::Take(Src()), TreeSnapshot::Take(dest)}, lost);
        EXPECT_EQ("", report) << m_log;
        EXPECT_EQ(1u, m_ui.m_lstChoicePrompts.size() + m_ui.m_lstClashPrompts.size());
        CountRun(lost);
    }
};

// The identical file under another name: the writer changes the source, or the destination file
// it was found identical to, while the user is asked whether to delete the source.
TEST_F(ConcurrentWritersDuringPrompt, IdenticalFileChangedKeepingSizeAndTime) {
    const std::string original(8192, 'o');
    const std::string changed = "written while the prompt waited";
    const std::string changedWhole = changed + original.substr(changed.size());
    for (const bool changeSource : {true, false}) {
        for (const std::int32_t answer : {engine::AnswerFirst, engine::AnswerSecond}) {
            SCOPED_TRACE(std::string(changeSource ? "source" : "destination") + " changed, answer " +
                         std::to_string(answer));
            StartCase();
            WriteFile(Src("report.txt"), original, TicksFromUnixTime(1700000000));
            WriteFile(Dst("copy of report.txt"), original, TicksFromUnixTime(1700000000));
            const std::string target = changeSource ? Src("report.txt") : Dst("copy of report.txt");
            RunRacedPrompt(
                answer, [&] { return RewriteKeepingSizeAndTime(target, changed); }, {original, changedWhole},
                Src("report.txt"));
        }
    }
}

// A different file of the same name: the source changes while the user is asked; whatever the
// answer, the source's new content must end up somewhere.
TEST_F(ConcurrentWritersDuringPrompt, DifferentFileSourceChangedKeepingSizeAndTime) {
    const std::string source(8192, 's');
    const std::string changed = "the source, written while the prompt waited";
    const std::string changedWhole = changed + source.substr(changed.size());
    for (const std::int32_t answer : {engine::AnswerFirst, engine::AnswerSecond, engine::AnswerThird}) {
        SCOPED_TRACE("answer " + std::to_string(answer));
        StartCase();
        WriteFile(Src("data.bin"), source, TicksFromUnixTime(1700000000));
        WriteFile(Dst("data.bin"), std::string(8192, 'd'), TicksFromUnixTime(1700000000));
        RunRacedPrompt(
            answer, [&] { return RewriteKeepingSizeAndTime(Src("data.bin"), changed); }, {changedWhole},
            Src("data.bin"));
    }
}

// A folder whose name a destination file has: while the user is asked, files are added to it and
// one is changed; the file is renamed, and the folder moved across file systems takes all of it along.
TEST_F(ConcurrentWritersDuringPrompt, FolderContentChangedWhileAskedAcrossFileSystems) {
    std::optional<TempFolder> other = OtherVolume();
    if (!other) GTEST_SKIP() << "no second file system";
    const std::string dst = other->Path("dst");
    MakeFolders(dst);
    WriteFile(JoinPath(dst, "photos"), "a file named like the folder");
    WriteFile(Src("photos/a.jpg"), std::string(4096, 'a'), TicksFromUnixTime(1700000000));
    const std::string changed = "changed while asked";
    RunRacedPrompt(
        engine::AnswerFirst,
        [&] {
            return RewriteKeepingSizeAndTime(Src("photos/a.jpg"), changed) &&
                   WriteFile(Src("photos/new.jpg"), "added while asked");
        },
        {changed + std::string(4096 - changed.size(), 'a'), "added while asked"}, Src("photos"), dst);
}

// What a writer process running beside a copy did, in memory both processes share.
struct WriterRecord {
    std::atomic<int> m_nStop{0};
    int m_nVersions = 0;   // changes certainly made while the file stood at its name
    int m_bUncertain = 0;  // one more change that may have landed after the file went
    int m_nCreated = 0;    // new files completely written
};

// The n-th chunk a writer appends: a content found nowhere else.
std::string Chunk(int n) {
    std::string chunk(kChunk, static_cast<char>('a' + n % 26));
    const std::string mark = "chunk " + std::to_string(n) + "\n";
    chunk.replace(0, mark.size(), mark);
    return chunk;
}

enum class WriterKind : std::uint8_t { Append, RewriteInPlace, CreateFiles };

// One change by the writer; false when the file or folder is gone (the writer then stops).
bool WriteOnce(WriterKind kind, const std::string& path, int n, WriterRecord& record) {
    const bool create = kind == WriterKind::CreateFiles;
    const std::string name = create ? path + "/new-" + std::to_string(n) + ".txt" : path;
    const int flags = create ? O_CREAT | O_EXCL : (kind == WriterKind::Append ? O_APPEND : 0);
    const int fd = ::open(name.c_str(), O_WRONLY | O_CLOEXEC | flags, 0644);
    if (fd < 0) return false;
    struct stat st;
    ::fstat(fd, &st);
    const std::string bytes = Chunk(n);
    const bool ok = ::pwrite(fd, bytes.data(), bytes.size(), kind == WriterKind::Append ? st.st_size : 0) ==
                    static_cast<ssize_t>(bytes.size());
    if (kind == WriterKind::RewriteInPlace) {
        const struct timespec times[2] = {st.st_atim, st.st_mtim};
        ::futimens(fd, times);
    }
    // Certain only while the file still stands at its name after the change: gone or replaced by
    // then, the change may have landed after the move had checked the file.
    struct stat now;
    const bool inPlace = ::fstat(fd, &st) == 0 && ::stat(name.c_str(), &now) == 0 &&
                         now.st_ino == st.st_ino && now.st_dev == st.st_dev;
    ::close(fd);
    if (ok && inPlace) (create ? record.m_nCreated : record.m_nVersions) = n + 1;
    if (ok && !inPlace) record.m_bUncertain = 1;
    return ok && inPlace;
}

// Forks a writer that changes `path` every few hundred microseconds until told to stop.
pid_t StartWriter(WriterKind kind, const std::string& path, WriterRecord& record) {
    const pid_t child = ::fork();
    if (child != 0) return child;
    for (int n = 0; record.m_nStop.load() == 0; ++n) {
        if (!WriteOnce(kind, path, n, record)) break;
        std::this_thread::sleep_for(std::chrono::microseconds(300));
    }
    ::_exit(0);
}

class ConcurrentWritersDuringCopy : public ::testing::Test {
protected:
    void SetUp() override {
        m_pRecord = static_cast<WriterRecord*>(
            ::mmap(nullptr, sizeof(WriterRecord), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0));
        ASSERT_NE(MAP_FAILED, static_cast<void*>(m_pRecord));
    }
    void TearDown() override { ::munmap(m_pRecord, sizeof(WriterRecord)); }

    // Moves `item` (below src) into dst on the other file system while a writer changes `target`;
    // then the contents the writer made last (`expected` by its record: all of them, for an uncertain
    // last change those of either version) survive.
    void RunRacedCopy(WriterKind kind, const std::string& item, const std::string& target,
                      const std::function<std::vector<std::string>(const WriterRecord&, bool)>& expected) {
        new (m_pRecord) WriterRecord();
        const pid_t writer = StartWriter(kind, target, *m_pRecord);
        const int exit = WaitTool(StartTool({"move", "--no-log", item, m_shm.Path("dst")}, m_env));
        m_pRecord->m_nStop = 1;
        ::waitpid(writer, nullptr, 0);
        const std::vector<TreeSnapshot> after = {TreeSnapshot::Take(m_tmp.Path("src")),
                                                 TreeSnapshot::Take(m_shm.Path("dst"))};
        int lost = 0;
        std::string report = Check(expected(*m_pRecord, false), after, lost);
        if (!report.empty() && m_pRecord->m_bUncertain)
            report = Check(expected(*m_pRecord, true), after, lost);
        EXPECT_EQ("", report) << "tool exit " << exit << ", writer versions " << m_pRecord->m_nVersions
                              << ", uncertain " << m_pRecord->m_bUncertain << ", created "
                              << m_pRecord->m_nCreated << "\nsource:\n"
                              << after[0].Describe() << "destination:\n"
                              << after[1].Describe();
        CountRun(lost);
    }

    std::string Check(const std::vector<std::string>& contents, const std::vector<TreeSnapshot>& after,
                      int& lost) {
        std::filesystem::remove_all(PathFromUtf8(m_tmp.Path("expected")));
        MakeFolders(m_tmp.Path("expected"));
        for (std::size_t i = 0; i < contents.size(); ++i)
            WriteFile(m_tmp.Path("expected/" + std::to_string(i)), contents[i]);
        return CheckNothingLost({TreeSnapshot::Take(m_tmp.Path("expected"))}, after, lost);
    }

    // Empties both sides and lays `bytes` at src/<relative>.
    void Lay(const std::string& relative, const std::string& bytes) {
        for (const std::string& root : {m_tmp.Path("src"), m_shm.Path("dst")}) {
            std::filesystem::remove_all(PathFromUtf8(root));
            MakeFolders(root);
        }
        WriteFile(m_tmp.Path("src/" + relative), bytes);
    }

    TempFolder m_tmp;
    TempFolder m_shm{"/dev/shm"};
    ToolEnvironment m_env{m_tmp.Path("settings"), {}};
    WriterRecord* m_pRecord = nullptr;
    std::mt19937_64 m_oRandom{20261210};
};

// The file's content after `versions` appends.
std::string Appended(const std::string& start, int versions) {
    std::string bytes = start;
    for (int n = 0; n < versions; ++n) bytes += Chunk(n);
    return bytes;
}

// The file's content after its `versions`-th rewrite in place.
std::string Rewritten(const std::string& start, int versions) {
    if (versions == 0) return start;
    return Chunk(versions - 1) + start.substr(kChunk);
}

TEST_F(ConcurrentWritersDuringCopy, SingleFileAppendedOrRewrittenKeepingSizeAndTime) {
    const std::string start = RandomBytes(m_oRandom, 12 * kMiB);
    for (const WriterKind kind : {WriterKind::Append, WriterKind::RewriteInPlace}) {
        const auto version = kind == WriterKind::Append ? Appended : Rewritten;
        for (int round = 0; round < kCopyRounds; ++round) {
            SCOPED_TRACE((kind == WriterKind::Append ? "append, round " : "rewrite, round ") +
                         std::to_string(round));
            Lay("big.bin", start);
            RunRacedCopy(kind, m_tmp.Path("src/big.bin"), m_tmp.Path("src/big.bin"),
                         [&](const WriterRecord& record, bool withUncertain) {
                             return std::vector<std::string>{
                                 version(start, record.m_nVersions + (withUncertain ? 1 : 0))};
                         });
        }
    }
}

TEST_F(ConcurrentWritersDuringCopy, FolderGainsFilesAndAFileChangesWhileCopied) {
    const std::string large = RandomBytes(m_oRandom, 8 * kMiB);
    const std::string log(2 * kChunk, 'l');
    for (int round = 0; round < kCopyRounds; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        for (const WriterKind kind :
             {WriterKind::CreateFiles, WriterKind::Append, WriterKind::RewriteInPlace}) {
            Lay("tree/large.bin", large);
            WriteFile(m_tmp.Path("src/tree/sub/log.txt"), log);
            const std::string target = kind == WriterKind::CreateFiles ? m_tmp.Path("src/tree/sub")
                                                                       : m_tmp.Path("src/tree/sub/log.txt");
            const auto version = kind == WriterKind::Append ? Appended : Rewritten;
            RunRacedCopy(kind, m_tmp.Path("src/tree"), target,
                         [&](const WriterRecord& record, bool withUncertain) {
                             std::vector<std::string> all;
                             if (kind == WriterKind::CreateFiles)
                                 for (int n = 0; n < record.m_nCreated; ++n) all.push_back(Chunk(n));
                             else
                                 all.push_back(version(log, record.m_nVersions + (withUncertain ? 1 : 0)));
                             return all;
                         });
        }
    }
}

// Another user who can write in a shared folder swaps one of the trees' folders for a link to a
// folder outside them, laid out like it (same names, same bytes), at a random moment of the move:
// nothing outside the trees may change, and nothing in them may be lost.
TEST_F(ConcurrentWritersDuringCopy, FolderSwappedForALinkLeadsNoActionOutOfTheTrees) {
    constexpr int kFolders = 6, kFiles = 120, kRounds = 16;
    for (int round = 0; round < kRounds; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        for (const char* root : {"src", "dst", "outside", "aside"}) {
            std::filesystem::remove_all(PathFromUtf8(m_tmp.Path(root)));
            MakeFolders(m_tmp.Path(root));
        }
        for (int folder = 0; folder < kFolders; ++folder)
            for (int file = 0; file < kFiles; ++file) {
                const std::string name = "/tree/d" + std::to_string(folder) + "/f" + std::to_string(file);
                const std::string bytes = RandomBytes(m_oRandom, 64 + file);
                WriteFile(m_tmp.Path("src" + name), bytes);
                WriteFile(m_tmp.Path("outside" + name), bytes);
                if (file % 3 != 2) WriteFile(m_tmp.Path("dst" + name), file % 3 == 0 ? bytes : bytes + "!");
            }
        const TreeSnapshot outside = TreeSnapshot::Take(m_tmp.Path("outside"));
        const std::vector<TreeSnapshot> before = {TreeSnapshot::Take(m_tmp.Path("src")),
                                                  TreeSnapshot::Take(m_tmp.Path("dst"))};
        const std::string swapped = "/tree/d" + std::to_string(m_oRandom() % kFolders);
        const std::string side = round % 2 == 0 ? "src" : "dst";
        // The swap comes while the move works in that folder: once its first file has gone from
        // the source, or its first new file has arrived in the destination.
        const std::string trigger = m_tmp.Path(side + swapped + (side == "src" ? "/f0" : "/f2"));
        const bool triggerGone = side == "src";
        const pid_t swapper = ::fork();
        if (swapper == 0) {
            for (int poll = 0; poll < 500000 && (::access(trigger.c_str(), F_OK) == 0) == triggerGone; ++poll)
                std::this_thread::sleep_for(std::chrono::microseconds(10));
            const bool ok =
                ::rename(m_tmp.Path(side + swapped).c_str(), m_tmp.Path("aside/d").c_str()) == 0 &&
                ::symlink(m_tmp.Path("outside" + swapped).c_str(), m_tmp.Path(side + swapped).c_str()) == 0;
            ::_exit(ok ? 0 : 1);
        }
        const int exit = WaitTool(StartTool({"move", "--no-log", "--keep-going", "--identical=delete",
                                             "--different=rename", m_tmp.Path("src/tree"), m_tmp.Path("dst")},
                                            m_env));
        ::waitpid(swapper, nullptr, 0);
        const TreeSnapshot outsideAfter = TreeSnapshot::Take(m_tmp.Path("outside"));
        EXPECT_EQ(outside.Describe(), outsideAfter.Describe())
            << side << swapped << " swapped, tool exit " << exit;
        int lost = 0;
        EXPECT_EQ("", CheckNothingLost(
                          before,
                          {TreeSnapshot::Take(m_tmp.Path("src")), TreeSnapshot::Take(m_tmp.Path("dst")),
                           TreeSnapshot::Take(m_tmp.Path("aside"))},
                          lost));
        CountRun(lost);
    }
}

}  // namespace
}  // namespace tandemere::testing
