// Engine tests (POSIX only): moves to another file system that fail part-way or race with a
// writer, made deterministic with a file-size limit and the copy's keep-alive tick.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "tests/engine/move_fixture.h"
#include "tests/support/file_size_limit_posix.h"

namespace tandemere::testing {
namespace {

class CrossVolumeTest : public MoveFixture {};

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
    EXPECT_EQ(std::vector<std::string>{error}, m_ui.m_lstErrors);
    EXPECT_EQ(error + "\r\n", m_log);
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
    int ticks = 0;
    engine::KeepAlive writer(
        [&] {
            if (++ticks == 2) WriteFile(Src("log.txt"), bytes + "more");
        },
        std::chrono::milliseconds(0));
    engine::MoveCommand command(m_fs, m_settings, m_ui);
    // In place of the command's own, which pumps only now and then.
    m_realFs.SetKeepAlive(&writer);
    command.SetDestFolder(other->Root());
    command.AddDropped(Src("log.txt"));
    command.AddDropped(Src("z.txt"));
    EXPECT_EQ(engine::MoveFinished, command.Run(kOwner));
    m_realFs.SetKeepAlive(nullptr);

    EXPECT_EQ(
        "Copied source file \"log.txt\" to destination as \"log.txt\", but left it in the source folder "
        "because it changed while it was being copied.\r\n" +
            UniqueLine("z.txt", "z.txt"),
        command.Log());
    EXPECT_TRUE(m_ui.m_lstErrors.empty());
    EXPECT_TRUE(ReadFile(Src("log.txt")) == bytes + "more");
    EXPECT_TRUE(ReadFile(other->Path("log.txt")).starts_with(bytes));
    EXPECT_EQ("next", ReadFile(other->Path("z.txt")));
}

}  // namespace
}  // namespace tandemere::testing
