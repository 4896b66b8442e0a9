// Engine tests (POSIX only): moves to another file system that fail part-way or race with a
// writer, made deterministic with a file-size limit and the copy's keep-alive tick.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "tests/engine/move_fixture.h"
#include "tests/support/file_size_limit_posix.h"

namespace tandemere::testing {
namespace {

class CrossVolumeTest : public MoveFixture {
protected:
    // Moves `dropped` into `dest`, running `change` at the `tick`-th keep-alive tick of the
    // backend's copies (in place of the command's own keep-alive, which pumps only now and then).
    engine::MoveOutcome RunChangingAtTick(const std::vector<std::string>& dropped, const std::string& dest,
                                          int tick, const std::function<void()>& change) {
        int ticks = 0;
        engine::KeepAlive writer(
            [&] {
                if (++ticks == tick) change();
            },
            std::chrono::milliseconds(0));
        engine::MoveCommand command(m_fs, m_settings, m_ui);
        m_realFs.SetKeepAlive(&writer);
        command.SetDestFolder(dest);
        for (const std::string& path : dropped) command.AddDropped(path);
        const engine::MoveOutcome outcome = command.Run(kOwner);
        m_realFs.SetKeepAlive(nullptr);
        m_log = command.Log();
        return outcome;
    }
};

// The copy fails as on a full disk: the file the user chose to overwrite must still be there.
TEST_F(CrossVolumeTest, AnOverwriteThatFailsPartWayKeepsTheOldFile) {
    const std::optional<TempFolder> other = OtherVolume();
    if (!other) GTEST_SKIP() << kNoOtherVolumeReason;
    const std::string bytes(256 * 1024, 'n');
    ASSERT_TRUE(WriteFile(Src("a.txt"), bytes));
    ASSERT_TRUE(WriteFile(other->Path("a.txt"), "old"));
    SetRemembered("DiffFileSameNameDlgDefault", engine::AnswerFirst);
    engine::MoveOutcome outcome = engine::MoveFinished;
    {
        FileSizeLimit limit(64 * 1024);
        ASSERT_TRUE(limit.IsActive());
        outcome = Run({Src("a.txt")}, other->Root(), {}, {Src()}, other->Root());
    }
    EXPECT_EQ(engine::MoveStopped, outcome);
    const std::string error =
        "ERROR: Couldn't move \"" + Src("a.txt") + "\" to \"" + other->Path("a.txt") + "\"";
    // The system's own words for the full disk.
    EXPECT_EQ(std::vector<std::string>{Failed(error, "File too large")}, m_ui.m_lstErrors);
    EXPECT_EQ(FailedLog(error, false, "File too large"), m_log);
    EXPECT_EQ("old", ReadFile(other->Path("a.txt")));
    EXPECT_EQ(bytes, ReadFile(Src("a.txt")));
    EXPECT_EQ(std::vector<std::string>{"a.txt (3)"}, ListTree(other->Root()));  // no temporary left
}

// A file written to while it is copied (at the copy's second keep-alive tick) stays in the source,
// and its copy stays in the destination.
TEST_F(CrossVolumeTest, AFileWrittenToWhileItIsCopiedStaysAndTheMoveGoesOn) {
    const std::optional<TempFolder> other = OtherVolume();
    if (!other) GTEST_SKIP() << kNoOtherVolumeReason;
    const std::string bytes((2u << 20) + 5, 'w');
    ASSERT_TRUE(WriteFile(Src("log.txt"), bytes, TicksFromUnixTime(1000000000)));
    ASSERT_TRUE(WriteFile(Src("z.txt"), "next"));
    EXPECT_EQ(engine::MoveFinished, RunChangingAtTick({Src("log.txt"), Src("z.txt")}, other->Root(), 2,
                                                      [&] { WriteFile(Src("log.txt"), bytes + "more"); }));

    EXPECT_EQ(
        "Copied source file \"log.txt\" to destination as \"log.txt\", but left it in the source folder "
        "because it changed while it was being copied.\r\n" +
            UniqueLine("z.txt", "z.txt"),
        m_log);
    EXPECT_TRUE(m_ui.m_lstErrors.empty());
    EXPECT_TRUE(ReadFile(Src("log.txt")) == bytes + "more");
    EXPECT_TRUE(ReadFile(other->Path("log.txt")).starts_with(bytes));
    EXPECT_EQ("next", ReadFile(other->Path("z.txt")));
}

// A folder moved whole to another file system: a file that appears in it meanwhile (at the copy's
// first tick, after the folder was listed) and a pipe stay in the source with the folder; the
// complete copy stays in the destination and the move goes on.
TEST_F(CrossVolumeTest, WhatAFolderCopyLeftBehindKeepsTheFolderAndIsLogged) {
    const std::optional<TempFolder> other = OtherVolume();
    if (!other) GTEST_SKIP() << kNoOtherVolumeReason;
    ASSERT_TRUE(WriteFile(Src("Photos/a.jpg"), "photo a"));
    ASSERT_EQ(0, ::mkfifo(Src("Photos/pipe").c_str(), 0600));
    ASSERT_TRUE(WriteFile(Src("z.txt"), "next"));
    EXPECT_EQ(engine::MoveFinished, RunChangingAtTick({Src("Photos"), Src("z.txt")}, other->Root(), 1,
                                                      [&] { WriteFile(Src("Photos/late.jpg"), "late"); }));

    EXPECT_EQ(
        "Copied source folder \"Photos\" to destination as \"Photos\".\r\n"
        "Left \"Photos/late.jpg\" in the source folder, because it was created or changed while the "
        "folder was being copied.\r\n"
        "Left \"Photos/pipe\" alone, because it is not a regular file (a pipe, socket or device).\r\n"
        "Didn't delete source folder \"Photos\" because it wasn't possible to move all objects from "
        "within it.\r\n" +
            UniqueLine("z.txt", "z.txt"),
        m_log);
    EXPECT_TRUE(m_ui.m_lstErrors.empty());
    EXPECT_EQ(std::vector<std::string>{"a.jpg (7)"}, ListTree(other->Path("Photos")));
    EXPECT_EQ("late", ReadFile(Src("Photos/late.jpg")));
    EXPECT_FALSE(Exists(Src("Photos/a.jpg")));
    EXPECT_EQ("next", ReadFile(other->Path("z.txt")));
}

}  // namespace
}  // namespace tandemere::testing
