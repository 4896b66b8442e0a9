// Engine tests (POSIX only): DeleteToRecycleBin through the real backend: duplicates and overwritten
// files go to the trash with their log lines, a trash that refuses leaves both files in place.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/engine/move_fixture.h"
#include "tests/platform/locked_folder_posix.h"
#include "tests/support/scoped_env.h"
#include "tests/support/trash_contents.h"

namespace tandemere::testing {
namespace {

class TrashMoveTest : public MoveFixture {
protected:
    // The home trash of a case lies below keep/, so the invariant counts what goes into it as kept.
    std::string Data() const { return Keep("data"); }
    std::string Trash() const { return Data() + "/Trash"; }
    std::string Where() const { return "the trash \"" + Trash() + "\""; }
    // The paths the trash's .trashinfo files name, with the content each one's file holds.
    std::vector<std::string> Trashed() const {
        std::vector<std::string> trashed;
        for (const TrashedEntry& entry : ListTrash(Trash()))
            trashed.push_back(entry.m_strPath + ": " + ReadFile(Trash() + "/files/" + entry.m_strName));
        return trashed;
    }
};

// The three ways a file leaves for good with the switch off go to the trash with it on, each with
// its line; off, the log and the disk are as ever.
TEST_F(TrashMoveTest, DuplicatesAndOverwrittenFilesGoToTheTrash) {
    struct Case {
        const char* m_pszName;
        bool m_bSwitch;
        const char* m_pszSource;  // below src/, content "same" unless overwriting
        const char* m_pszDest;    // below dst/, content "same" unless overwriting
        bool m_bOverwrite;
        std::string m_strLog;  // <src>, <trash> stand for the source root and where
        std::vector<std::string> m_lstTrashed;
    };
    const Case cases[] = {
        {"duplicate",
         true,
         "a.txt",
         "a.txt",
         false,
         "Moved source file \"a.txt\" to <trash>, because destination file \"a.txt\" is the same.\r\n",
         {"<src>/a.txt: same"}},
        {"delete and rename",
         true,
         "a.txt",
         "b.txt",
         false,
         "Moved source file \"a.txt\" to <trash> and renamed identical destination file from \"b.txt\" to "
         "\"a.txt\". (stored answer)\r\n",
         {"<src>/a.txt: same"}},
        {"overwrite",
         true,
         "a.txt",
         "a.txt",
         true,
         "Moved different existing file \"a.txt\" to <trash>, to make room for source file \"a.txt\". "
         "(stored "
         "answer)\r\n"
         "Moved source file \"a.txt\" to destination folder, overwriting different existing file "
         "\"a.txt\". (stored answer)\r\n",
         {"<dst>/a.txt: old"}},
        {"duplicate, switch off", false, "a.txt", "a.txt", false, DeletedLine("a.txt", "a.txt"), {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.m_pszName);
        StartCase();
        ScopedEnv data("XDG_DATA_HOME", Data().c_str());
        SetRemembered("DeleteToRecycleBin", c.m_bSwitch ? 1 : 0);
        SetRemembered("SameFileDiffNameDlgDefault", engine::AnswerSecond);
        SetRemembered("DiffFileSameNameDlgDefault", engine::AnswerFirst);
        ASSERT_TRUE(WriteFile(Src(c.m_pszSource), c.m_bOverwrite ? "new" : "same"));
        ASSERT_TRUE(WriteFile(Dst(c.m_pszDest), c.m_bOverwrite ? "old" : "same"));
        const std::vector<std::pair<std::string, std::string>> marks = {
            {"<src>", Src()}, {"<dst>", Dst()}, {"<trash>", Where()}};

        EXPECT_EQ(engine::MoveFinished, Run({Src(c.m_pszSource)}, {}, {"a.txt", "b.txt"}));

        EXPECT_EQ(m_log, WithPaths(c.m_strLog, marks));
        std::vector<std::string> trashed;
        for (const std::string& entry : c.m_lstTrashed) trashed.push_back(WithPaths(entry, marks));
        EXPECT_EQ(Trashed(), trashed);
        EXPECT_EQ(ListTree(Dst()),
                  std::vector<std::string>{"a.txt (" + std::to_string(3 + !c.m_bOverwrite) + ")"});
        EXPECT_TRUE(ListTree(Src()).empty());
        EXPECT_TRUE(m_ui.m_lstErrors.empty());
    }
}

// A trash that does not take the file, whether the call fails or the trash cannot be made, leaves
// the duplicate, or both files of an overwrite, where they were: not all moved, no error box.
TEST_F(TrashMoveTest, RefusingTrashLeavesTheFiles) {
    struct Case {
        const char* m_pszName;
        bool m_bOverwrite;
        bool m_bFault;  // else the home trash lies in a folder that refuses it
    };
    const Case cases[] = {{"duplicate, call fails", false, true},
                          {"overwrite, call fails", true, true},
                          {"duplicate, trash cannot be made", false, false},
                          {"overwrite, trash cannot be made", true, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.m_pszName);
        StartCase();
        SetRemembered("DeleteToRecycleBin", 1);
        SetRemembered("DiffFileSameNameDlgDefault", engine::AnswerFirst);
        ASSERT_TRUE(WriteFile(Src("D/a.txt"), c.m_bOverwrite ? "new" : "same"));
        ASSERT_TRUE(WriteFile(Dst("D/a.txt"), c.m_bOverwrite ? "old" : "same"));
        const std::string data = c.m_bFault ? Data() : Keep("locked/data");
        ScopedEnv home("XDG_DATA_HOME", data.c_str());
        ASSERT_TRUE(MakeFolders(Keep("locked")));
        LockedFolder lock(Keep("locked"));
        ASSERT_TRUE(lock.IsLocked());
        if (c.m_bFault) FailAt(Op::MoveToTrash, 1);
        const std::string where = "the trash \"" + data + "/Trash\"";

        EXPECT_EQ(engine::MoveFinished, Run({Src("D")}));

        // Not all moved: the folder stays with what is left in it.
        EXPECT_EQ(m_log,
                  (c.m_bOverwrite ? "Left source file \"D/a.txt\" alone, given existence of differing "
                                    "destination file \"D/a.txt\", because " +
                                        where + " couldn't take that file. (stored answer)\r\n"
                                  : "Left source file \"D/a.txt\" alone, although destination file "
                                    "\"D/a.txt\" is the same, because " +
                                        where + " couldn't take it.\r\n") +
                      "Didn't delete source folder \"D\" because it wasn't possible to move all objects "
                      "from within it.\r\n");
        EXPECT_EQ(ReadFile(Src("D/a.txt")), c.m_bOverwrite ? "new" : "same");
        EXPECT_EQ(ReadFile(Dst("D/a.txt")), c.m_bOverwrite ? "old" : "same");
        EXPECT_TRUE(ListTrash(data + "/Trash").empty());
        EXPECT_TRUE(m_ui.m_lstErrors.empty());
    }
}

}  // namespace
}  // namespace tandemere::testing
