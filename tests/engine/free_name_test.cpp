// Engine tests: free names, seen through whole moves that must give a file a new name beside a different one.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/engine/move_fixture.h"

namespace tandemere::testing::files {
namespace {

struct FreeNameCase {
    const char* m_pszName;
    std::vector<std::string>
        m_lstTaken;  // entries beside the different file of the same name; "/" ends a folder
    const char* m_pszExpected;
};

TEST_F(FileMoves, FreeNamesFollowStemCounterExtension) {
    const FreeNameCase cases[] = {
        {"report.txt", {"report (2).txt"}, "report (3).txt"},
        {"README", {}, "README (2)"},
        {"archive.tar.gz", {}, "archive.tar (2).gz"},
        {"notes.old copy", {}, "notes.old copy (2)"},
        {".profile", {}, " (2).profile"},
        {"photo.jpg", {"photo (2).jpg/"}, "photo (3).jpg"},
        {"n.txt",
         {"n (2).txt", "n (3).txt", "n (4).txt", "n (5).txt", "n (6).txt", "n (7).txt", "n (8).txt",
          "n (9).txt"},
         "n (10).txt"},
        {"plain", {"plain (1)", "plain (02)"}, "plain (2)"},
    };
    int serial = 0;
    for (const FreeNameCase& c : cases) {
        SCOPED_TRACE(c.m_pszName);
        StartCase();
        SetRemembered("DiffFileSameNameDlgDefault", engine::AnswerSecond);
        ASSERT_TRUE(WriteFile(Src(c.m_pszName), "source bytes"));
        ASSERT_TRUE(WriteFile(Dst(c.m_pszName), "a different file of that name"));
        for (const std::string& taken : c.m_lstTaken) {
            if (taken.back() == '/')
                ASSERT_TRUE(MakeFolders(Dst(taken.substr(0, taken.size() - 1))));
            else
                ASSERT_TRUE(WriteFile(Dst(taken), "taken " + std::to_string(++serial)));
        }
        EXPECT_EQ(engine::MoveFinished, Run({Src(c.m_pszName)}));
        EXPECT_EQ("source bytes", ReadFile(Dst(c.m_pszExpected)));
        EXPECT_EQ(Stored("Moved source file \"" + std::string(c.m_pszName) +
                         "\" to destination folder, naming it \"" + c.m_pszExpected +
                         "\" to avoid overwriting different existing file \"" + c.m_pszName + "\".\r\n"),
                  m_log);
        EXPECT_FALSE(Exists(Src(c.m_pszName)));
    }
}

TEST_F(FileMoves, AnyKindOfEntryTakesAFreeNameCandidate) {
    // A dangling link takes its name as much as a file does (a file where links cannot be made).
    SetRemembered("DiffFileSameNameDlgDefault", engine::AnswerSecond);
    ASSERT_TRUE(WriteFile(Src("x.txt"), "new"));
    ASSERT_TRUE(WriteFile(Dst("x.txt"), "old"));
    if (CanMakeLinks()) {
        ASSERT_TRUE(MakeSymlink("nowhere", Dst("x (2).txt")));
    } else {
        ASSERT_TRUE(WriteFile(Dst("x (2).txt"), "taken"));
    }
    ASSERT_TRUE(MakeFolders(Dst("x (3).txt")));
    EXPECT_EQ(engine::MoveFinished, Run({Src("x.txt")}));
    EXPECT_EQ("new", ReadFile(Dst("x (4).txt")));
}

TEST_F(FileMoves, FreeNameOfASubfolderClashIsNumberedEvenForTheRenamedFolder) {
    // The subfolder that makes room and the file beside it get the same free name rule.
    ASSERT_TRUE(WriteFile(Src("data.bin"), "file"));
    ASSERT_TRUE(MakeFolders(Dst("data.bin")));
    ASSERT_TRUE(WriteFile(Dst("data (2).bin"), "other"));
    m_ui.QueueAnswer(engine::AnswerFirst);
    EXPECT_EQ(engine::MoveFinished, Run({Src("data.bin")}));
    EXPECT_TRUE(m_realFs.IsFolder(Dst("data (3).bin")));
    EXPECT_EQ("file", ReadFile(Dst("data.bin")));
}

}  // namespace
}  // namespace tandemere::testing::files
