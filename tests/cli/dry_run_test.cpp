// CLI tests: `move --dry-run` prints the move's log and leaves the trees and the settings file alone.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/cli/cli_fixture.h"

namespace tandemere::testing {
namespace {

class DryRunTest : public ToolTest {
protected:
    // A different file of the same name, a duplicate under another name, a folder to merge.
    void MakeTrees() {
        WriteFile(Src("a.txt"), "source a");
        WriteFile(Dst("a.txt"), "other a");
        WriteFile(Src("b.txt"), "same bytes");
        WriteFile(Dst("c.txt"), "same bytes");
        WriteFile(Src("sub/x"), "x");
        WriteFile(Dst("sub/y"), "y");
    }
    std::vector<std::string> Trees() {
        std::vector<std::string> trees = ListTree(m_tmp.Root());
        // The journals and the digest cache are the tool's own, beside the trees.
        std::erase_if(trees, [](const std::string& entry) {
            return entry.rfind("state", 0) == 0 || entry.rfind("cache", 0) == 0;
        });
        for (const char* file : {"src/a.txt", "src/b.txt", "src/sub/x", "dst/a.txt", "dst/c.txt"})
            trees.push_back(std::string(file) + ": " + TryReadFile(m_tmp.Path(file)).value_or("(gone)"));
        return trees;
    }
};

TEST_F(DryRunTest, PrintsTheMovesLogAndChangesNothing) {
    MakeTrees();
    const std::vector<std::string> before = Trees();
    const std::vector<std::string> options = {"--identical=delete", "--log-file", m_tmp.Path("dry.log"),
                                              Src("a.txt"),         Src("b.txt"), Src("sub")};
    std::vector<std::string> dryOptions = options;
    dryOptions.insert(dryOptions.begin(), "--dry-run");
    // "Rename, for every move": a real move stores the answer.
    const ToolResult dry = Move(dryOptions, "r!\n");
    EXPECT_EQ(dry.m_nExit, 0) << dry.m_strErr;
    std::vector<std::string> after = Trees();
    const std::string dryLog = ReadFile(m_tmp.Path("dry.log"));
    after.erase(std::remove(after.begin(), after.end(), "dry.log (" + std::to_string(dryLog.size()) + ")"),
                after.end());
    EXPECT_EQ(after, before);
    EXPECT_FALSE(Exists(m_env.m_strSettingsFile));
    EXPECT_FALSE(Exists(m_tmp.Path("cache")));
    // The log file holds the log between its header and the summary, and says it was a dry run.
    EXPECT_NE(dryLog.find("\n\n" + dry.m_strOut + "\n"), std::string::npos) << dryLog;
    EXPECT_NE(dryLog.find(" log of a dry run (nothing was changed), started "), std::string::npos) << dryLog;

    std::vector<std::string> realOptions = options;
    realOptions[2] = m_tmp.Path("real.log");
    const ToolResult real = Move(realOptions, "r!\n");
    EXPECT_EQ(real.m_nExit, 0) << real.m_strErr;
    EXPECT_EQ(dry.m_strOut, real.m_strOut);
    EXPECT_NE(real.m_strOut.find("naming it \"a (2).txt\""), std::string::npos) << real.m_strOut;
    EXPECT_NE(Trees(), before);
    EXPECT_TRUE(Exists(m_env.m_strSettingsFile));
    // The digests of the destination files it read are kept for the next move.
    EXPECT_TRUE(Exists(m_tmp.Path("cache/tandemere/digests")));
}

// Undo's dry run prints what undo then does; the trees come back; a second undo does nothing.
TEST_F(DryRunTest, UndoPutsTheTreesBackOnceAndItsDryRunSaysHow) {
    MakeTrees();
    WriteFile(Src("sub/y"), "y");
    const std::vector<std::string> before = Trees();
    const ToolResult moved =
        Move({"--identical=delete", "--different=rename", Src("a.txt"), Src("b.txt"), Src("sub")});
    ASSERT_EQ(moved.m_nExit, 0) << moved.m_strErr;
    const ToolResult dry = Tool({"undo", "--dry-run"});
    EXPECT_EQ(dry.m_nExit, 0) << dry.m_strErr;
    EXPECT_NE(Trees(), before);
    const ToolResult undo = Tool({"undo"});
    EXPECT_EQ(undo.m_nExit, 0) << undo.m_strErr;
    EXPECT_EQ(dry.m_strOut, undo.m_strOut);
    EXPECT_NE(undo.m_strOut.find("Made deleted duplicate \"" + Src("sub/y") + "\" again"), std::string::npos)
        << undo.m_strOut;
    EXPECT_EQ(Trees(), before);
    const ToolResult again = Tool({"undo"});
    EXPECT_EQ(again.m_nExit, 0);
    EXPECT_NE(again.m_strOut.find("was undone already"), std::string::npos) << again.m_strOut;
    EXPECT_EQ(Trees(), before);
    EXPECT_NE(Tool({"history"}).m_strOut.find("(undone)"), std::string::npos);

    // After the next move, the earlier journals go: the old one by its age, the rest beyond the count.
    const std::string first = Tool({"history", "--names"}).m_strOut;
    WriteFile(m_tmp.Path("state/tandemere/moves/20000101T000000.000000Z.journal"), "journal\t1\n");
    ASSERT_EQ(Tool({"settings", "set", "journal-count", "2"}).m_nExit, 0);
    ASSERT_EQ(Move({"--identical=delete", Src("b.txt")}).m_nExit, 0);
    std::string kept = Tool({"history", "--names"}).m_strOut;
    EXPECT_EQ(std::count(kept.begin(), kept.end(), '\n'), 2) << kept;
    EXPECT_EQ(kept.rfind(first, 0), 0u) << kept;
    ASSERT_EQ(Tool({"settings", "set", "journal-count", "0"}).m_nExit, 0);
    ASSERT_EQ(Move({"--different=rename", Src("a.txt")}).m_nExit, 0);
    kept = Tool({"history", "--names"}).m_strOut;
    EXPECT_EQ(std::count(kept.begin(), kept.end(), '\n'), 1) << kept;
}

}  // namespace
}  // namespace tandemere::testing
