// CLI tests: every prompt kind answered through a pipe: each answer, "+", "!", end of input, bad input.
#include <gtest/gtest.h>

#include "tests/cli/cli_fixture.h"

namespace tandemere::testing {
namespace {

constexpr std::int64_t kOlder = 1700000000;  // 11/14/23 (22:13:20) UTC

class PromptTest : public ToolTest {
protected:
    // src/a.txt (2,048 bytes) against a different dst/a.txt (1,024 bytes, one second newer).
    void MakeDifferentPair(const std::string& name = "a.txt") {
        WriteFile(Src(name), std::string(2048, name[0]), TicksFromUnixTime(kOlder));
        WriteFile(Dst(name), std::string(1024, '-'), TicksFromUnixTime(kOlder + 1));
    }
};

TEST_F(PromptTest, DifferentFilePromptShowsEveryText) {
    MakeDifferentPair();
    const ToolResult run = Move({Src("a.txt")}, "s\n");
    EXPECT_EQ(run.m_nExit, 0) << run.m_strErr;
    for (const char* text :
         {"Source file \"a.txt\" is unique, but a (different) destination file \"a.txt\" already exists.",
          "Source File", "Destination File", "2.0 KiB (2,048 bytes) (larger)\n", "1.0 KiB (1,024 bytes)\n",
          "2023-11-14 22:13:20\n", "2023-11-14 22:13:21 (newer)\n", "p  Open", "n  Open",
          "o  Overwrite  Overwrite destination file \"a.txt\" with source file \"a.txt\".",
          "r  Rename     Rename source file to \"a (2).txt\" and move to destination folder.",
          "s  Skip       Leave source file \"a.txt\" alone.", "c  Cancel     Don't process any more files",
          "Always do this...", "...for this move", "...for every move"}) {
        EXPECT_NE(run.m_strErr.find(text), std::string::npos) << "missing: " << text << "\n" << run.m_strErr;
    }
}

TEST_F(PromptTest, DifferentFileAnswers) {
    struct Case {
        const char* m_pszInput;
        int m_nExit;
        std::vector<std::string> m_lstSrc, m_lstDst;
    };
    const Case cases[] = {
        {"o\n", 0, {}, {"a.txt (2048)"}},
        {"O\n", 0, {}, {"a.txt (2048)"}},
        {"r\n", 0, {}, {"a (2).txt (2048)", "a.txt (1024)"}},
        {"s\n", 0, {"a.txt (2048)"}, {"a.txt (1024)"}},
        {"c\n", 1, {"a.txt (2048)"}, {"a.txt (1024)"}},
        {"", 1, {"a.txt (2048)"}, {"a.txt (1024)"}},  // end of input is Cancel
        {"x\n\nhello\no+!!\nq\n  r  \n", 0, {}, {"a (2).txt (2048)", "a.txt (1024)"}},  // bad lines ask again
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("input: ") + c.m_pszInput);
        StartCase();
        MakeDifferentPair();
        const ToolResult run = Move({Src("a.txt")}, c.m_pszInput);
        EXPECT_EQ(run.m_nExit, c.m_nExit) << run.m_strErr;
        EXPECT_EQ(ListTree(Src()), c.m_lstSrc);
        EXPECT_EQ(ListTree(Dst()), c.m_lstDst);
        if (c.m_nExit == 1) {
            EXPECT_EQ(Count(run.m_strOut, "Cancelled by request."), 1) << run.m_strOut;
        }
        EXPECT_FALSE(Exists(m_tmp.Path("settings")));
    }
}

TEST_F(PromptTest, PlusRemembersForThisMoveOnly) {
    MakeDifferentPair("a.txt");
    MakeDifferentPair("b.txt");
    const ToolResult run = Move({Src("a.txt"), Src("b.txt")}, "r+\n");
    EXPECT_EQ(run.m_nExit, 0) << run.m_strErr;
    EXPECT_EQ(Count(run.m_strErr, "is unique, but a (different)"), 1);
    EXPECT_EQ(ListTree(Dst()), (std::vector<std::string>{"a (2).txt (2048)", "a.txt (1024)",
                                                         "b (2).txt (2048)", "b.txt (1024)"}));
    EXPECT_FALSE(Exists(m_tmp.Path("settings")));
}

TEST_F(PromptTest, BangRemembersForEveryMove) {
    MakeDifferentPair("a.txt");
    MakeDifferentPair("b.txt");
    ToolResult run = Move({Src("a.txt"), Src("b.txt")}, "s!\n");
    EXPECT_EQ(run.m_nExit, 0) << run.m_strErr;
    EXPECT_EQ(Count(run.m_strErr, "is unique, but a (different)"), 1);
    EXPECT_EQ(ReadFile(m_tmp.Path("settings")), "\"DiffFileSameNameDlgDefault\"=dword:000000e8\n");
    // The next move takes the stored answer without asking.
    run = Move({Src("a.txt")});
    EXPECT_EQ(run.m_nExit, 0) << run.m_strErr;
    EXPECT_EQ(Count(run.m_strErr, "is unique, but a (different)"), 0) << run.m_strErr;
    EXPECT_NE(
        run.m_strOut.find("Left source file \"a.txt\" alone, given existence of differing destination file"),
        std::string::npos);
}

TEST_F(PromptTest, CancelWithABoxTickedRemembersNothing) {
    MakeDifferentPair();
    const ToolResult run = Move({Src("a.txt")}, "c!\n");
    EXPECT_EQ(run.m_nExit, 1);
    EXPECT_FALSE(Exists(m_tmp.Path("settings")));
}

TEST_F(PromptTest, OpenButtonsRunTheDesktopOpenerAndAskAgain) {
    MakeDifferentPair();
    const std::string record = InstallOpener(0);
    const ToolResult run = Move({Src("a.txt")}, "p\nN\ns\n");
    EXPECT_EQ(run.m_nExit, 0) << run.m_strErr;
    EXPECT_EQ(ReadFile(record), Src("a.txt") + "\n" + Dst("a.txt") + "\n");
    EXPECT_EQ(Count(run.m_strErr, "Answer o, r, s, or c"), 3);
    EXPECT_EQ(ListTree(Src()), std::vector<std::string>{"a.txt (2048)"});
}

TEST_F(PromptTest, AFailedOpenSaysSoAndAsksAgain) {
    MakeDifferentPair();
    InstallOpener(4);
    ToolResult run = Move({Src("a.txt")}, "n\no\n");
    EXPECT_EQ(run.m_nExit, 0) << run.m_strErr;
    EXPECT_NE(run.m_strErr.find("Couldn't open file \"" + Dst("a.txt") + "\": xdg-open ended with status 4"),
              std::string::npos)
        << run.m_strErr;
    EXPECT_EQ(ListTree(Dst()), std::vector<std::string>{"a.txt (2048)"});

    // No opener at all.
    m_env.m_lstExtra = {"PATH=" + m_tmp.Path("nothing-here")};
    MakeDifferentPair("b.txt");
    run = Move({Src("b.txt")}, "p\ns\n");
    EXPECT_NE(
        run.m_strErr.find("Couldn't open file \"" + Src("b.txt") + "\": xdg-open: No such file or directory"),
        std::string::npos)
        << run.m_strErr;
}

TEST_F(PromptTest, IdenticalFileUnderAnotherName) {
    struct Case {
        const char* m_pszInput;
        std::vector<std::string> m_lstSrc, m_lstDst;
    };
    const Case cases[] = {
        {"d\n", {}, {"other.txt (5)"}},
        {"R\n", {}, {"same.txt (5)"}},
        {"s\n", {"same.txt (5)"}, {"other.txt (5)"}},
        {"c\n", {"same.txt (5)"}, {"other.txt (5)"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.m_pszInput);
        StartCase();
        WriteFile(Src("same.txt"), "hello");
        WriteFile(Dst("other.txt"), "hello");
        const ToolResult run = Move({Src("same.txt")}, c.m_pszInput);
        EXPECT_NE(run.m_strErr.find("Source file \"same.txt\" is the same as destination file \"other.txt\""),
                  std::string::npos)
            << run.m_strErr;
        for (const std::string& text :
             {std::string("d  Delete "),
              std::string("r  Delete and Rename  Delete source file \"same.txt\", and rename"),
              std::string("s  Skip "), std::string("Don't process any more files"),
              "  Source       " + Src("same.txt") + "\n  Destination  " + Dst("other.txt") + "\n"}) {
            EXPECT_NE(run.m_strErr.find(text), std::string::npos) << text << "\n" << run.m_strErr;
        }
        EXPECT_EQ(ListTree(Src()), c.m_lstSrc);
        EXPECT_EQ(ListTree(Dst()), c.m_lstDst);
    }
}

TEST_F(PromptTest, FileAgainstFolderAndFolderAgainstFile) {
    struct Case {
        bool m_bSourceIsFile;
        const char* m_pszInput;
        std::vector<std::string> m_lstDst;
    };
    const Case cases[] = {
        {true, "d\n", {"x (2)/", "x (2)/inner (1)", "x (3)"}},
        {true, "f\n", {"x (2) (3)", "x/", "x/inner (1)"}},
        {true, "s\n", {"x/", "x/inner (1)"}},
        {false, "f\n", {"x (2) (4)", "x/", "x/inner (1)"}},
        {false, "d\n", {"x (2)/", "x (2)/inner (1)", "x (4)"}},
        {false, "s\n", {"x (4)"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.m_bSourceIsFile ? "file vs folder: " : "folder vs file: ") + c.m_pszInput);
        StartCase();
        if (c.m_bSourceIsFile) {
            WriteFile(Src("x"), "abc");
            WriteFile(Dst("x/inner"), "i");
        } else {
            WriteFile(Src("x/inner"), "i");
            WriteFile(Dst("x"), "abcd");
        }
        const ToolResult run = Move({Src("x")}, c.m_pszInput);
        EXPECT_EQ(run.m_nExit, 0) << run.m_strErr;
        const char* question =
            c.m_bSourceIsFile ? "Can't move source file \"x\" into the destination folder because a subfolder"
                              : "Can't move subfolder \"x\" to the destination folder because a file named";
        EXPECT_NE(run.m_strErr.find(question), std::string::npos) << run.m_strErr;
        EXPECT_NE(run.m_strErr.find(c.m_bSourceIsFile ? "d  Rename folder" : "f  Rename file"),
                  std::string::npos);
        EXPECT_NE(run.m_strErr.find(c.m_bSourceIsFile ? "f  Rename file" : "d  Rename folder"),
                  std::string::npos);
        EXPECT_EQ(ListTree(Dst()), c.m_lstDst);
    }
}

}  // namespace
}  // namespace tandemere::testing
