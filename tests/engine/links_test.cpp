// Engine tests: links among the sources are moved as themselves, never followed, merged or compared.
#include <gtest/gtest.h>

#include "tests/engine/move_fixture.h"

namespace tandemere::testing {
namespace {

using engine::MoveFinished;
using engine::MoveStopped;

class LinksTest : public MoveFixture {
protected:
    // The link's own target text; empty when the path is not a link.
    static std::string TargetOf(const std::string& path) { return LinkTarget(path).value_or(""); }
    static std::string MovedLink(const std::string& s, const std::string& e) {
        return "Moved link \"" + Native(s) + "\" to destination \"" + Native(e) +
               "\" without following it.\r\n";
    }
    static std::string LeftLink(const std::string& s, const std::string& e) {
        return "Left link \"" + Native(s) + "\" alone, given existence of \"" + Native(e) +
               "\" in the destination folder.\r\n";
    }
};

TEST_F(LinksTest, DroppedLinksMoveAsLinksWhenTheirNameIsFree) {
    TANDEMERE_SKIP_WITHOUT_LINKS();
    ASSERT_TRUE(WriteFile(m_tmp.Path("elsewhere/big/file.bin"), "outside the move"));
    ASSERT_TRUE(MakeSymlink(m_tmp.Path("elsewhere/big"), Src("to-folder")));
    ASSERT_TRUE(MakeSymlink("missing-target", Src("dangling")));
    ASSERT_TRUE(MakeSymlink(m_tmp.Path("elsewhere/big/file.bin"), Src("to-file")));

    EXPECT_EQ(MoveFinished, Run({Src("to-folder"), Src("dangling"), Src("to-file")}));

    EXPECT_EQ(MovedLink("to-folder", "to-folder") + MovedLink("dangling", "dangling") +
                  MovedLink("to-file", "to-file"),
              m_log);
    EXPECT_EQ("missing-target", TargetOf(Dst("dangling")));
    EXPECT_EQ(m_tmp.Path("elsewhere/big/file.bin"), TargetOf(Dst("to-file")));
    EXPECT_EQ(m_tmp.Path("elsewhere/big"), TargetOf(Dst("to-folder")));
    EXPECT_FALSE(Exists(Src("to-folder")));
    EXPECT_FALSE(Exists(Src("dangling")));
    EXPECT_EQ("outside the move", ReadFile(m_tmp.Path("elsewhere/big/file.bin")));
    EXPECT_EQ(std::vector<std::uint32_t>{3}, m_ui.m_lstProgressRanges);  // not counted through
}

TEST_F(LinksTest, LinkWhoseNameIsTakenIsLeftAloneAndNeverCompared) {
    TANDEMERE_SKIP_WITHOUT_LINKS();
    ASSERT_TRUE(WriteFile(Src("real.txt"), "same bytes"));
    ASSERT_TRUE(MakeFolders(Src("Folder")));
    ASSERT_TRUE(MakeSymlink(Src("real.txt"), Src("Folder/copy.txt")));
    ASSERT_TRUE(MakeSymlink(Src("real.txt"), Src("copy.txt")));
    ASSERT_TRUE(WriteFile(Dst("copy.txt"), "same bytes"));
    ASSERT_TRUE(WriteFile(Dst("Folder/copy.txt"), "same bytes"));

    EXPECT_EQ(MoveFinished, Run({Src("copy.txt"), Src("Folder")}));

    EXPECT_EQ(
        LeftLink("copy.txt", "copy.txt") + LeftLink("Folder/copy.txt", "Folder/copy.txt") +
            "Didn't delete source folder \"Folder\" because it wasn't possible to move all objects from "
            "within it.\r\n",
        m_log);
    EXPECT_TRUE(Exists(Src("copy.txt")));
    EXPECT_TRUE(Exists(Src("Folder/copy.txt")));
    EXPECT_EQ("same bytes", ReadFile(Src("real.txt")));
    EXPECT_EQ(0u, m_ui.m_lstClashPrompts.size());
    EXPECT_EQ(0u, m_ui.m_lstChoicePrompts.size());
}

TEST_F(LinksTest, LinkToAFolderInsideAMergeIsNotMergedInto) {
    TANDEMERE_SKIP_WITHOUT_LINKS();
    ASSERT_TRUE(WriteFile(m_tmp.Path("elsewhere/inner.txt"), "elsewhere"));
    ASSERT_TRUE(MakeFolders(Src("Photos")));
    ASSERT_TRUE(MakeSymlink(m_tmp.Path("elsewhere"), Src("Photos/album")));
    ASSERT_TRUE(WriteFile(Dst("Photos/album/inner.txt"), "elsewhere"));
    ASSERT_TRUE(WriteFile(Src("Photos/x.jpg"), "photo x"));

    EXPECT_EQ(MoveFinished, Run({Src("Photos")}));

    EXPECT_EQ("elsewhere", ReadFile(m_tmp.Path("elsewhere/inner.txt")));
    EXPECT_TRUE(Exists(Src("Photos/album")));
    EXPECT_NE(std::string::npos, m_log.find(LeftLink("Photos/album", "Photos/album")));
    EXPECT_EQ(std::vector<std::uint32_t>{3}, m_ui.m_lstProgressRanges);  // Photos, album, x.jpg
}

// A link in the destination is an entry of its own: a source link of the same target text is the same
// link, and a dragged folder of its name clashes with it, never merged into what it points to.
TEST_F(LinksTest, ALinkInTheDestinationIsAnEntryOfItsOwn) {
    TANDEMERE_SKIP_WITHOUT_LINKS();
    struct Case {
        const char* m_pszWhat;
        const char* m_pszSourceLink;  // src/Box/Docs is a link of this text, else a folder holding a.txt
        const char* m_pszDestLink;    // the text of the link dst/Box/Docs; marks as WithPaths takes them
        std::string m_strLog;
    };
    const std::string folderLeft = "Left source folder \"" + Native("Box/Docs") +
                                   "\" alone, given existence of link \"" + Native("Box/Docs") +
                                   "\" to it in the destination folder.\r\n";
    const Case cases[] = {
        {"the same link", "t", "t",
         "Deleted source link \"" + Native("Box/Docs") + "\", because destination link \"" +
             Native("Box/Docs") +
             "\" is the same.\r\nDeleted source folder \"Box\" because its contents are all in the "
             "equivalent "
             "destination folder.\r\n"},
        {"another link", "t", "u", LeftLink("Box/Docs", "Box/Docs")},
        {"a link to a folder elsewhere", nullptr, "%ELSEWHERE%",
         "Moved source folder \"" + Native("Box/Docs") + "\" to destination as \"" + Native("Box/Docs (2)") +
             "\".  Folder name was changed to avoid clash with extant file \"" + Native("Box/Docs") +
             "\" in the destination folder.\r\nDeleted source folder \"Box\" because its contents are all in "
             "the equivalent destination folder.\r\n"},
        {"a link to the dragged folder", nullptr, "%DOCS%", folderLeft},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.m_pszWhat);
        StartCase();
        ASSERT_TRUE(MakeFolders(m_tmp.Path("elsewhere")));
        ASSERT_TRUE(MakeFolders(Src("Box")));
        ASSERT_TRUE(MakeFolders(Dst("Box")));
        ASSERT_TRUE(c.m_pszSourceLink != nullptr ? MakeSymlink(c.m_pszSourceLink, Src("Box/Docs"))
                                                 : WriteFile(Src("Box/Docs/a.txt"), "doc a"));
        const std::string destLink = WithPaths(
            c.m_pszDestLink, {{"%ELSEWHERE%", m_tmp.Path("elsewhere")}, {"%DOCS%", Src("Box/Docs")}});
        ASSERT_TRUE(MakeSymlink(destLink, Dst("Box/Docs")));
        m_ui.QueueAnswer(engine::AnswerSecond);
        EXPECT_EQ(MoveFinished, Run({Src("Box")}));
        const bool left = c.m_strLog.rfind("Left", 0) == 0;
        EXPECT_EQ(left ? c.m_strLog +
                             "Didn't delete source folder \"Box\" because it wasn't possible to move all "
                             "objects from within it.\r\n"
                       : c.m_strLog,
                  m_log);
        EXPECT_EQ(left, Exists(Src("Box/Docs")));
        EXPECT_FALSE(Exists(m_tmp.Path("elsewhere/a.txt")));  // nothing written through the link
        EXPECT_EQ(destLink, TargetOf(Dst("Box/Docs")));
    }
}

TEST_F(LinksTest, LinkAcrossFileSystemsStaysALink) {
    TANDEMERE_SKIP_WITHOUT_LINKS();
    const std::optional<TempFolder> other = OtherVolume();
    if (!other) GTEST_SKIP() << kNoOtherVolumeReason;
    ASSERT_TRUE(MakeSymlink("relative/target", Src("link")));
    EXPECT_EQ(MoveFinished, Run({Src("link")}, other->Root(), {}, {Src()}, other->Root()));
    EXPECT_EQ("relative/target", TargetOf(other->Path("link")));
    EXPECT_FALSE(Exists(Src("link")));
}

TEST_F(LinksTest, FailedLinkMoveStopsTheMove) {
    TANDEMERE_SKIP_WITHOUT_LINKS();
    ASSERT_TRUE(MakeSymlink("target", Src("link")));
    ASSERT_TRUE(WriteFile(Src("z.txt"), "zed"));
    m_fs.FailNth(FaultyFileSystem::Operation::Move, 1);
    EXPECT_EQ(MoveStopped, Run({Src("link"), Src("z.txt")}));
    const std::string error = "ERROR: Couldn't move \"" + Src("link") + "\" to \"" + Dst("link") + "\"";
    EXPECT_EQ(std::vector<std::string>{Failed(error, "input/output error")}, m_ui.m_lstErrors);
    EXPECT_EQ(FailedLog(error, false, "input/output error"), m_log);
    EXPECT_TRUE(Exists(Src("link")));
    EXPECT_TRUE(Exists(Src("z.txt")));
}

}  // namespace
}  // namespace tandemere::testing
