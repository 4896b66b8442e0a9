// Engine tests (POSIX only): moves to another file system that fail part-way or race with a
// writer, made deterministic with a file-size limit and the copy's keep-alive tick.
#include <gtest/gtest.h>

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

}  // namespace
}  // namespace tandemere::testing
