// Engine tests: merging a folder into its existing counterpart, and what travels up from its entries.
#include <gtest/gtest.h>

#include "tests/engine/move_fixture.h"

namespace tandemere::testing {
namespace {

using engine::MoveFinished;
using engine::MoveStopped;

class MergeFolderTest : public MoveFixture {
protected:
    static std::string Deleted(const std::string& shown) {
        return "Deleted source folder \"" + Native(shown) +
               "\" because its contents are all in the equivalent destination "
               "folder.\r\n";
    }
    static std::string Kept(const std::string& shown) {
        return "Didn't delete source folder \"" + Native(shown) +
               "\" because it wasn't possible to move all objects from within it.\r\n";
    }
};

TEST_F(MergeFolderTest, EmptySourceFolderIsRemoved) {
    ASSERT_TRUE(MakeFolders(Src("Photos")));
    ASSERT_TRUE(WriteFile(Dst("Photos/old.jpg"), "old photo"));
    EXPECT_EQ(MoveFinished, Run({Src("Photos")}));
    EXPECT_EQ(Deleted("Photos"), m_log);
    EXPECT_FALSE(Exists(Src("Photos")));
    EXPECT_EQ("old photo", ReadFile(Dst("Photos/old.jpg")));
}

TEST_F(MergeFolderTest, NestedMergeMovesEntriesAndRemovesEveryEmptiedFolder) {
    ASSERT_TRUE(WriteFile(Src("Work/Photos/2019/a.jpg"), "photo a"));
    ASSERT_TRUE(WriteFile(Src("Work/Photos/2019/same.jpg"), "same bytes"));
    ASSERT_TRUE(WriteFile(Src("Work/Photos/new/n.jpg"), "new photo"));
    ASSERT_TRUE(WriteFile(Dst("Photos/2019/same.jpg"), "same bytes"));
    const auto newTree = ListTree(Src("Work/Photos/new"));

    EXPECT_EQ(MoveFinished, Run({Src("Work/Photos")}, {}, {}, {Src()}));

    EXPECT_FALSE(Exists(Src("Work/Photos")));
    EXPECT_EQ("photo a", ReadFile(Dst("Photos/2019/a.jpg")));
    EXPECT_EQ("same bytes", ReadFile(Dst("Photos/2019/same.jpg")));
    EXPECT_EQ(newTree, ListTree(Dst("Photos/new")));
    // Listing order decides the order of the lines, so check each one and the count.
    for (const std::string& line :
         {UniqueLine("Photos/2019/a.jpg", "Photos/2019/a.jpg"),
          Native("Deleted source file \"Photos/2019/same.jpg\", because destination file "
                 "\"Photos/2019/same.jpg\" "
                 "is the same.\r\n"),
          Deleted("Photos/2019"),
          Native("Moved source folder \"Photos/new/\" to destination as \"Photos/new/\".\r\n"),
          Deleted("Photos")}) {
        EXPECT_NE(std::string::npos, m_log.find(line)) << line;
    }
    EXPECT_TRUE(m_log.ends_with(Deleted("Photos")));
    EXPECT_EQ(5u, static_cast<std::size_t>(std::count(m_log.begin(), m_log.end(), '\n')));
}

TEST_F(MergeFolderTest, AnEntryLeftBehindKeepsItsFolderAndEveryEnclosingOne) {
    ASSERT_TRUE(WriteFile(Src("A/B/keep.txt"), "source version"));
    ASSERT_TRUE(WriteFile(Src("A/B/moved.txt"), "moved one"));
    ASSERT_TRUE(WriteFile(Src("A/top.txt"), "top file"));
    ASSERT_TRUE(WriteFile(Dst("A/B/keep.txt"), "destination version"));
    m_ui.QueueAnswer(232);

    EXPECT_EQ(MoveFinished, Run({Src("A")}));

    EXPECT_EQ(1u, m_ui.m_lstClashPrompts.size());
    EXPECT_EQ("source version", ReadFile(Src("A/B/keep.txt")));
    EXPECT_FALSE(Exists(Src("A/B/moved.txt")));
    EXPECT_FALSE(Exists(Src("A/top.txt")));
    EXPECT_EQ("moved one", ReadFile(Dst("A/B/moved.txt")));
    EXPECT_NE(std::string::npos, m_log.find(Kept("A/B")));
    EXPECT_TRUE(m_log.ends_with(Kept("A/B") + Kept("A")) || m_log.ends_with(Kept("A")));
    EXPECT_EQ(std::string::npos, m_log.find("Deleted source folder"));
}

TEST_F(MergeFolderTest, HiddenEntriesArePlacedLikeAnyOtherSoTheFolderGoes) {
    ASSERT_TRUE(WriteFile(Src("Photos/.hidden"), "hidden"));
    ASSERT_TRUE(WriteFile(Src("Photos/..dots"), "dots"));
    ASSERT_TRUE(WriteFile(Src("next.txt"), "next"));
    ASSERT_TRUE(MakeFolders(Dst("Photos")));
    EXPECT_EQ(MoveFinished, Run({Src("Photos"), Src("next.txt")}));
    EXPECT_TRUE(m_ui.m_lstErrors.empty());
    EXPECT_TRUE(m_log.ends_with(Deleted("Photos") + UniqueLine("next.txt", "next.txt"))) << m_log;
    EXPECT_EQ("hidden", ReadFile(Dst("Photos/.hidden")));
    EXPECT_EQ("dots", ReadFile(Dst("Photos/..dots")));
    EXPECT_FALSE(Exists(Src("Photos")));
    EXPECT_EQ(std::vector<std::uint32_t>{4}, m_ui.m_lstProgressRanges);  // counted as entries too
}

TEST_F(MergeFolderTest, CancelAfterSecondOfThreeEntriesLeavesTheThirdAndTheFolder) {
    ASSERT_TRUE(WriteFile(Src("Photos/a.jpg"), "photo a"));
    ASSERT_TRUE(WriteFile(Src("Photos/b.jpg"), "photo bb"));
    ASSERT_TRUE(WriteFile(Src("Photos/c.jpg"), "photo ccc"));
    ASSERT_TRUE(MakeFolders(Dst("Photos")));
    m_ui.CancelAtPump(2);
    EXPECT_EQ(MoveStopped, Run({Src("Photos")}));
    int left = 0;
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"})
        left += Exists(Src(std::string("Photos/") + name)) ? 1 : 0;
    EXPECT_EQ(1, left);
    // Said once, although the enclosing placement sees the Cancel too.
    EXPECT_TRUE(m_log.ends_with(".\r\nCancelled by request.")) << m_log;
    EXPECT_EQ(m_log.find("Cancelled"), m_log.rfind("Cancelled"));
    EXPECT_EQ(std::string::npos, m_log.find("source folder"));
    EXPECT_EQ(3, m_ui.m_nPumps);  // two entries, then the dropped folder itself
}

TEST_F(MergeFolderTest, ListingAndRemovalFailuresAreReportedWithFullPaths) {
    struct Case {
        const char* m_szName;
        Op m_nOp;
        const char* m_szText;
        bool m_bSearchTree = false;  // no counterpart: one is made for the merge, after the listing
    };
    const Case cases[] = {
        {"listing", Op::ListFolder, "ERROR: Couldn't find files in \""},
        {"removal", Op::RemoveFolder, "ERROR: Unable to delete folder \""},
        {"creating", Op::CreateFolder, "ERROR: Couldn't create folder \"", true},
        {"listing, none made", Op::ListFolder, "ERROR: Couldn't find files in \"", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.m_szName);
        StartCase();
        const bool creating = c.m_nOp == Op::CreateFolder;
        ASSERT_TRUE(WriteFile(Src("Work/Photos/a.jpg"), "photo a"));
        ASSERT_TRUE(WriteFile(Src("Work/z.txt"), "zed"));
        if (c.m_bSearchTree)
            WriteSettings("\"SearchWholeDestination\"=dword:00000001\n");
        else
            ASSERT_TRUE(MakeFolders(Dst("Photos")));
        if (c.m_nOp == Op::ListFolder)
            m_fs.FailPath(c.m_nOp, Src("Work/Photos"));
        else
            m_fs.FailNth(c.m_nOp, 1);
        EXPECT_EQ(MoveStopped, Run({Src("Work/Photos"), Src("Work/z.txt")}, {}, {}, {Src()}));
        EXPECT_EQ(c.m_bSearchTree, !Exists(Dst("Photos")));
        const std::string error = c.m_szText + (creating ? Dst("Photos") : Src("Work/Photos")) + "\"";
        EXPECT_EQ(std::vector<std::string>{Failed(error, "input/output error")}, m_ui.m_lstErrors);
        EXPECT_TRUE(m_log.ends_with(FailedLog(error, false, "input/output error"))) << m_log;
        EXPECT_TRUE(Exists(Src("Work/Photos")));
        EXPECT_TRUE(Exists(Src("Work/z.txt")));
    }
}

TEST_F(MergeFolderTest, CounterpartThatIsTheSourceItselfIsNotMergedIntoItself) {
    TANDEMERE_SKIP_WITHOUT_LINKS();
    ASSERT_TRUE(WriteFile(Src("A/Photos/a.jpg"), "the only photo"));
    ASSERT_TRUE(WriteFile(Src("A/b.txt"), "bravo"));
    ASSERT_TRUE(MakeFolders(Dst("A")));
    ASSERT_TRUE(MakeSymlink(Src("A/Photos"), Dst("A/Photos")));
    EXPECT_EQ(MoveFinished, Run({Src("A")}));
    EXPECT_EQ("the only photo", ReadFile(Src("A/Photos/a.jpg")));
    EXPECT_EQ("bravo", ReadFile(Dst("A/b.txt")));
    EXPECT_NE(std::string::npos,
              m_log.find(Native("Left source folder \"A/Photos\" alone, given existence of link "
                                "\"A/Photos\" to it in the destination folder.\r\n")));
    EXPECT_TRUE(m_log.ends_with(Kept("A"))) << m_log;
    EXPECT_EQ(0u, m_ui.m_lstErrors.size());
}

TEST_F(MergeFolderTest, FullPathsShowTheMergedFolderWhole) {
    ASSERT_TRUE(MakeFolders(Src("Work/Photos/2019")));
    ASSERT_TRUE(MakeFolders(Dst("Photos/2019")));
    WriteSettings("\"FullPaths\"=dword:00000001\n");
    EXPECT_EQ(MoveFinished, Run({Src("Work/Photos")}, {}, {}, {Src()}));
    EXPECT_EQ(Deleted(Src("Work/Photos/2019")) + Deleted(Src("Work/Photos")), m_log);
}

// Names outside any ANSI code page travel whole through the backend, in paths and in the log.
TEST_F(MergeFolderTest, NamesOutsideTheCodePageMoveWhole) {
    const std::string photos = "\xD0\xA4\xD0\xBE\xD1\x82\xD0\xBE";  // Cyrillic "photo"
    const std::string picture = "\xE5\x86\x99\xE7\x9C\x9F.jpg";     // CJK "picture"
    ASSERT_TRUE(WriteFile(Src(photos + "/" + picture), "photo bytes"));
    ASSERT_TRUE(WriteFile(Src(photos + "/same.jpg"), "same"));
    ASSERT_TRUE(WriteFile(Dst(photos + "/same.jpg"), "same"));
    EXPECT_EQ(MoveFinished, Run({Src(photos)}));
    EXPECT_EQ("photo bytes", ReadFile(Dst(photos + "/" + picture)));
    EXPECT_FALSE(Exists(Src(photos)));
    EXPECT_NE(std::string::npos, m_log.find(UniqueLine(photos + "/" + picture, photos + "/" + picture)))
        << m_log;
    EXPECT_TRUE(m_log.ends_with(Deleted(photos))) << m_log;
    EXPECT_EQ(0u, m_ui.m_lstErrors.size());
}

}  // namespace
}  // namespace tandemere::testing
