// Engine tests: placing a source folder: refusals, whole moves, clashes with files, failures, volumes.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/engine/move_fixture.h"

namespace tandemere::testing {
namespace {

using engine::DecisionKind;
using engine::MoveFinished;
using engine::MoveStopped;

class PlaceFolderTest : public MoveFixture {
protected:
    void MakeDocsClash() {
        ASSERT_TRUE(WriteFile(Src("Docs/a.txt"), "doc a"));
        ASSERT_TRUE(WriteFile(Src("Docs/sub/b.txt"), "doc bb"));
        ASSERT_TRUE(WriteFile(Dst("Docs"), "a file called Docs"));
    }
    static std::string Moved(const std::string& s, const std::string& t) {
        return "Moved source folder \"" + Native(s) + "\" to destination as \"" + Native(t) + "\".";
    }
};

TEST_F(PlaceFolderTest, FreeNameMovesTheFolderWholeByOneRename) {
    ASSERT_TRUE(WriteFile(Src("Photos/a.jpg"), "photo a"));
    ASSERT_TRUE(WriteFile(Src("Photos/2019/b.jpg"), "photo bb"));
    if (CanMakeLinks()) {
        ASSERT_TRUE(MakeSymlink("a.jpg", Src("Photos/latest")));
    }
    const auto before = ListTree(Src("Photos"));
    EXPECT_EQ(MoveFinished, Run({Src("Photos")}));
    EXPECT_EQ(Moved("Photos/", "Photos/") + "\r\n", m_log);
    EXPECT_EQ(before, ListTree(Dst("Photos")));
    EXPECT_FALSE(Exists(Src("Photos")));
    EXPECT_EQ(0u, m_ui.m_lstErrors.size());
}

TEST_F(PlaceFolderTest, IntoItselfIsRefusedAndTheMoveGoesOn) {
    ASSERT_TRUE(WriteFile(Src("A/x.txt"), "x"));
    ASSERT_TRUE(WriteFile(Src("B.txt"), "bee"));
    EXPECT_EQ(MoveFinished, Run({Src("A"), Src("B.txt")}, Src("A")));
    const std::string error = "ERROR: Can't move folder \"" + Src("A") + "\" into itself";
    EXPECT_EQ(std::vector<std::string>{error}, m_ui.m_lstErrors);
    EXPECT_EQ(error + "\r\n" + UniqueLine("B.txt", "B.txt"), m_log);
    EXPECT_TRUE(Exists(Src("A/x.txt")));
    EXPECT_TRUE(Exists(Src("A/B.txt")));
}

TEST_F(PlaceFolderTest, IntoItsOwnSubfolderAsksWhetherToContinue) {
    ASSERT_TRUE(WriteFile(Src("A/sub/deeper/x.txt"), "x"));
    ASSERT_TRUE(WriteFile(Src("B.txt"), "bee"));
    const std::string line = "ERROR: Can't move folder \"" + Src("A") + "\" into its subfolder \"" +
                             Src("A/sub/deeper/") + "\".\r\n";
    for (bool yes : {true, false}) {
        SCOPED_TRACE(yes);
        m_ui.m_lstYesNoTexts.clear();
        m_ui.QueueYesNo(yes);
        EXPECT_EQ(yes ? MoveFinished : MoveStopped, Run({Src("A"), Src("B.txt")}, Src("A/sub/deeper")));
        EXPECT_EQ(std::vector<std::string>{line + "\r\nContinue?"}, m_ui.m_lstYesNoTexts);
        EXPECT_EQ(yes ? line + UniqueLine("B.txt", "B.txt") : line, m_log);
        EXPECT_TRUE(Exists(Src("A/sub/deeper/x.txt")));
    }
    EXPECT_EQ(0u, m_ui.m_lstErrors.size());  // the Yes/No box is the report
}

TEST_F(PlaceFolderTest, SiblingWhoseNameBeginsLikeTheSourceIsNotASubfolder) {
    ASSERT_TRUE(WriteFile(Src("A/x.txt"), "x"));
    ASSERT_TRUE(MakeFolders(Src("AB")));
    EXPECT_EQ(MoveFinished, Run({Src("A")}, Src("AB")));
    EXPECT_EQ(Moved("A/", "A/") + "\r\n", m_log);
    EXPECT_EQ("x", ReadFile(Src("AB/A/x.txt")));
}

TEST_F(PlaceFolderTest, ClashWithAFileAsksWithEveryText) {
    MakeDocsClash();
    m_ui.QueueAnswer(232);
    EXPECT_EQ(MoveFinished, Run({Src("Docs")}));
    ASSERT_EQ(1u, m_ui.m_lstChoicePrompts.size());
    const engine::ChoicePrompt& p = m_ui.m_lstChoicePrompts[0];
    EXPECT_EQ(DecisionKind::FldrnameFnameClash, p.m_nKind);
    EXPECT_EQ((std::vector<std::string>{
                  "Can't move subfolder \"Docs\" to the destination folder because a file "
                  "named \"Docs\" already exists there.",
                  "Rename &file", "Rename the file in the destination folder to \"Docs (2)\".",
                  "Rename fol&der", "Rename the subfolder to \"Docs (2)\".",
                  "Leave source folder \"Docs\" alone.", Src("Docs"), Dst("Docs")}),
              TextsOf(p));
    EXPECT_EQ(m_ui.m_hActiveWindow, m_ui.m_lstPromptOwners[0]);
    EXPECT_EQ(
        "Left source folder \"Docs\" alone, given existence of file \"Docs\" in the destination folder.\r\n",
        m_log);
    EXPECT_TRUE(Exists(Src("Docs/sub/b.txt")));
    EXPECT_EQ("a file called Docs", ReadFile(Dst("Docs")));
}

TEST_F(PlaceFolderTest, ClashAnswersAndRememberedValues) {
    struct Case {
        const char* m_szName;
        const char* m_szSettings;  // remembered answer, or nullptr to answer the prompt
        std::int32_t m_nAnswer;
        engine::MoveOutcome m_nResult;
        std::string m_strLog;
        const char* m_szFolderAt;  // where the folder's a.txt ends up, relative to the test folder
        const char* m_szFileAt;    // where the destination file ends up
    };
    const std::string movedUnderFreeName = Moved("Docs", "Docs (2)");
    const Case cases[] = {
        {"230 renames the file", nullptr, 230, MoveFinished,
         "Renamed a file in the destination folder from \"Docs\" to \"Docs (2)\" because it had the same "
         "name as "
         "the source folder \"Docs\".\r\n" +
             Moved("Docs", "Docs") + "\r\n",
         "dst/Docs/a.txt", "dst/Docs (2)"},
        {"231 renames the folder", nullptr, 231, MoveFinished,
         movedUnderFreeName + "  Folder name was changed to avoid clash with extant file \"Docs\" in the "
                              "destination folder.\r\n",
         "dst/Docs (2)/a.txt", "dst/Docs"},
        {"Cancel", nullptr, 2, MoveStopped, "Cancelled by request.", "src/Docs/a.txt", "dst/Docs"},
        {"remembered 231", "\"FldrnameFnameClashDlgDefault\"=dword:000000e7\n", 0, MoveFinished,
         movedUnderFreeName + "  Folder name was changed to avoid clash with extant file \"Docs\" in the "
                              "destination folder. (stored answer)\r\n",
         "dst/Docs (2)/a.txt", "dst/Docs"},
        // A value no prompt gives, Cancel included, asks.
        {"remembered odd value asks", "\"FldrnameFnameClashDlgDefault\"=dword:00000007\n", 231, MoveFinished,
         movedUnderFreeName + "  Folder name was changed to avoid clash with extant file \"Docs\" in the "
                              "destination folder.\r\n",
         "dst/Docs (2)/a.txt", "dst/Docs"},
        {"remembered 2 asks", "\"FldrnameFnameClashDlgDefault\"=dword:00000002\n", 232, MoveFinished,
         "Left source folder \"Docs\" alone, given existence of file \"Docs\" in the destination folder.\r\n",
         "src/Docs/a.txt", "dst/Docs"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.m_szName);
        StartCase();
        MakeDocsClash();
        if (c.m_szSettings != nullptr) WriteSettings(c.m_szSettings);
        if (c.m_nAnswer != 0) m_ui.QueueAnswer(c.m_nAnswer);

        const std::set<std::string> renamed = {"Docs"};
        EXPECT_EQ(c.m_nResult,
                  Run({Src("Docs")}, {}, c.m_nAnswer == 230 ? renamed : std::set<std::string>{}));
        EXPECT_EQ(c.m_strLog, m_log);
        EXPECT_EQ(c.m_nAnswer != 0 ? 1u : 0u, m_ui.m_lstChoicePrompts.size());
        EXPECT_EQ("doc a", ReadFile(m_tmp.Path(c.m_szFolderAt)));
        EXPECT_EQ("a file called Docs", ReadFile(m_tmp.Path(c.m_szFileAt)));
        EXPECT_EQ(0u, m_ui.m_lstErrors.size());
        EXPECT_EQ(0, m_ui.m_nUnscriptedPrompts);
    }
}

TEST_F(PlaceFolderTest, AnswerForThisMoveSettlesLaterClashesWithoutPrompt) {
    ASSERT_TRUE(WriteFile(Src("Docs/a.txt"), "doc a"));
    ASSERT_TRUE(WriteFile(Src("Music/m.mp3"), "music m"));
    ASSERT_TRUE(WriteFile(Dst("Docs"), "file Docs"));
    ASSERT_TRUE(WriteFile(Dst("Music"), "file Music"));
    m_ui.QueueAnswer(231, true, false);
    EXPECT_EQ(MoveFinished, Run({Src("Docs"), Src("Music")}));
    EXPECT_EQ(1u, m_ui.m_lstChoicePrompts.size());
    const std::string sentence =
        "  Folder name was changed to avoid clash with extant file \"%\" in the destination folder.";
    auto with = [&](const char* name) {
        std::string s = sentence;
        return s.replace(s.find('%'), 1, name);
    };
    EXPECT_EQ(Moved("Docs", "Docs (2)") + with("Docs") + "\r\n" + Moved("Music", "Music (2)") +
                  with("Music") + "\r\n",
              m_log);
    EXPECT_FALSE(m_testSettings.Exists());
}

TEST_F(PlaceFolderTest, FailuresStopTheMoveAndLeaveTheTreesAsTheySay) {
    struct Case {
        const char* m_szName;
        Op m_nOp;
        std::int32_t m_nAnswer;  // 0: no clash
        const char* m_szVerb;
        const char* m_szFrom;  // the paths of the error text, relative to the test folder
        const char* m_szTo;
        const char* m_szFileAt;          // destination file afterwards (clash cases)
        const char* m_szLogBefore = "";  // the line of a change made before the failure
    };
    const Case cases[] = {
        {"renaming the destination file", Op::Rename, 230, "rename", "dst/Docs", "dst/Docs (2)", "dst/Docs"},
        {"moving after the file was renamed", Op::Move, 230, "move", "src/Docs", "dst/Docs", "dst/Docs (2)",
         "Renamed a file in the destination folder from \"Docs\" to \"Docs (2)\" because it had the same "
         "name "
         "as the source folder \"Docs\".\r\n"},
        {"moving under the free name", Op::Move, 231, "move", "src/Docs", "dst/Docs (2)", "dst/Docs"},
        {"moving with no clash", Op::Move, 0, "move", "src/Docs/", "dst/Docs/", nullptr},
    };
    for (const Case& c : cases) {
        for (const bool skip : {false, true}) {
            SCOPED_TRACE(std::string(c.m_szName) + (skip ? ", skipped" : ", stopped"));
            StartCase();
            m_ui.SkipErrors(skip);
            ASSERT_TRUE(WriteFile(Src("Docs/a.txt"), "doc a"));
            ASSERT_TRUE(WriteFile(Src("Z.txt"), "zed"));
            if (c.m_nAnswer != 0) {
                ASSERT_TRUE(WriteFile(Dst("Docs"), "a file called Docs"));
                m_ui.QueueAnswer(c.m_nAnswer);
            }
            m_fs.FailNth(c.m_nOp, 1);

            EXPECT_EQ(skip ? MoveFinished : MoveStopped,
                      Run({Src("Docs"), Src("Z.txt")}, {}, {"Docs", "Z.txt"}));
            const std::string error = std::string("ERROR: Couldn't ") + c.m_szVerb + " \"" +
                                      m_tmp.Path(c.m_szFrom) + "\" to \"" + m_tmp.Path(c.m_szTo) + "\"";
            EXPECT_EQ(std::vector<std::string>{Failed(error, "input/output error")}, m_ui.m_lstErrors);
            EXPECT_EQ(0u, m_log.rfind(c.m_szLogBefore + FailedLog(error, skip, "input/output error"), 0))
                << m_log;
            EXPECT_EQ("doc a", ReadFile(Src("Docs/a.txt")));
            EXPECT_EQ(!skip, Exists(Src("Z.txt")));  // the rest of the move goes on only after Skip
            if (c.m_szFileAt != nullptr) {
                EXPECT_EQ("a file called Docs", ReadFile(m_tmp.Path(c.m_szFileAt)));
            }
        }
    }
}

TEST_F(PlaceFolderTest, AcrossFileSystemsTheFolderIsCopiedWholeAndShownWithoutSeparators) {
    if (RunningUnderWine()) GTEST_SKIP() << kWineFolderMoveReason;
    const std::optional<TempFolder> other = OtherVolume();
    if (!other) GTEST_SKIP() << kNoOtherVolumeReason;
    ASSERT_TRUE(WriteFile(Src("Photos/a.jpg"), "photo a"));
    ASSERT_TRUE(WriteFile(Src("Photos/2019/b.jpg"), "photo bb"));
    ASSERT_TRUE(WriteFile(Src("Docs/d.txt"), "doc d"));
    ASSERT_TRUE(WriteFile(other->Path("Docs"), "file Docs"));
    // A file of two names: each is copied and goes, no false word that it changed.
    std::error_code error;
    std::filesystem::create_hard_link(PathFromUtf8(Src("Photos/a.jpg")),
                                      PathFromUtf8(Src("Photos/2019/a.jpg")), error);
    ASSERT_FALSE(error) << error.message();
    const auto photos = ListTree(Src("Photos"));
    m_ui.QueueAnswer(231);

    EXPECT_EQ(MoveFinished, Run({Src("Photos"), Src("Docs")}, other->Root(), {}, {Src()}, other->Root()));
    EXPECT_EQ(Moved("Photos", "Photos") + "\r\n" + Moved("Docs", "Docs (2)") +
                  "  Folder name was changed to avoid clash with extant file \"Docs\" in the destination "
                  "folder.\r\n",
              m_log);
    EXPECT_EQ(photos, ListTree(other->Path("Photos")));
    EXPECT_EQ("doc d", ReadFile(other->Path("Docs (2)/d.txt")));
    EXPECT_FALSE(Exists(Src("Photos")));
    EXPECT_FALSE(Exists(Src("Docs")));
}

TEST_F(PlaceFolderTest, FailedCopyAcrossFileSystemsKeepsTheSourceWhole) {
    const std::optional<TempFolder> other = OtherVolume();
    if (!other) GTEST_SKIP() << kNoOtherVolumeReason;
    ASSERT_TRUE(WriteFile(Src("Photos/a.jpg"), "photo a"));
    m_fs.FailNth(Op::MoveFolderAcrossVolumes, 1);
    EXPECT_EQ(MoveStopped, Run({Src("Photos")}, other->Root(), {}, {Src()}, other->Root()));
    const std::string error =
        "ERROR: Couldn't copy \"" + Src("Photos") + "\" to \"" + other->Path("Photos") + "\"";
    EXPECT_EQ(std::vector<std::string>{Failed(error, "input/output error")}, m_ui.m_lstErrors);
    EXPECT_EQ(FailedLog(error, false, "input/output error"), m_log);
    EXPECT_EQ("photo a", ReadFile(Src("Photos/a.jpg")));
}

// The copy is complete and in place when the source cannot be removed: the log says the folder
// moved, then that its source stays, and the move ends.
TEST_F(PlaceFolderTest, SourceLeftAfterACompleteCopyIsLoggedAsMovedAndNotDeleted) {
    const std::optional<TempFolder> other = OtherVolume();
    if (!other) GTEST_SKIP() << kNoOtherVolumeReason;
    ASSERT_TRUE(WriteFile(Src("Photos/a.jpg"), "photo a"));
    // The backend copies the whole tree, then fails to remove the source.
    m_fs.m_fnBeforeCall = [&](Op op, const std::string&) {
        if (op != Op::MoveFolderAcrossVolumes) return;
        std::error_code error;
        std::filesystem::copy(PathFromUtf8(Src("Photos")), PathFromUtf8(other->Path("Photos")),
                              std::filesystem::copy_options::recursive, error);
        ASSERT_FALSE(error) << error.message();
    };
    m_fs.FailNth(Op::MoveFolderAcrossVolumes, 1, engine::ErrorKind::AccessDenied);
    EXPECT_EQ(MoveStopped, Run({Src("Photos")}, other->Root(), {}, {Src()}, other->Root()));
    const std::string error = "ERROR: Unable to delete folder \"" + Src("Photos") + "\"";
    EXPECT_EQ(std::vector<std::string>{Failed(error)}, m_ui.m_lstErrors);
    EXPECT_EQ(Moved("Photos", "Photos") + "\r\n" + FailedLog(error), m_log);
    EXPECT_EQ("photo a", ReadFile(other->Path("Photos/a.jpg")));
}

TEST_F(PlaceFolderTest, LoggingOffStillShowsEveryBox) {
    ASSERT_TRUE(WriteFile(Src("A/x.txt"), "x"));
    WriteSettings("\"Logging\"=dword:00000000\n");
    m_ui.QueueYesNo(true);
    EXPECT_EQ(MoveStopped, Run({Src("A"), Src("missing")}, Src("A/sub")));
    EXPECT_EQ("", m_log);
    EXPECT_EQ(1u, m_ui.m_lstYesNoTexts.size());
    EXPECT_EQ(1u, m_ui.m_lstErrors.size());
    EXPECT_EQ(0, m_ui.m_nLogsShown);
}

}  // namespace
}  // namespace tandemere::testing
