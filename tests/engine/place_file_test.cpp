// Engine tests: placement of source files by whole moves: every outcome, every prompt text, every error and
// the state it leaves.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/engine/move_fixture.h"

namespace tandemere::testing::files {
namespace {

const char kLeftDifferent[] =
    "Left source file \"a.txt\" alone, given existence of differing destination file \"a.txt\".\r\n";

TEST_F(FileMoves, UniqueFilesMoveInUnderTheirOwnNames) {
    ASSERT_TRUE(WriteFile(Src("a.txt"), "alpha"));
    ASSERT_TRUE(WriteFile(Dst("other.txt"), "gamma ray"));
    EXPECT_EQ(engine::MoveFinished, Run({Src("a.txt")}));
    EXPECT_EQ(UniqueLine("a.txt", "a.txt"), m_log);
    EXPECT_EQ("alpha", ReadFile(Dst("a.txt")));
    EXPECT_FALSE(Exists(Src("a.txt")));
    EXPECT_TRUE(m_lstOpened.empty());  // no file of its size: not a byte read
}

TEST_F(FileMoves, ASameNamedIdenticalFileMeansTheSourceIsDeletedWithoutASearch) {
    ASSERT_TRUE(WriteFile(Src("a.txt"), "alpha"));
    ASSERT_TRUE(WriteFile(Dst("a.txt"), "alpha"));
    ASSERT_TRUE(WriteFile(Dst("b.txt"), "alpha"));
    EXPECT_EQ(engine::MoveFinished, Run({Src("a.txt")}));
    EXPECT_EQ(DeletedLine("a.txt", "a.txt"), m_log);
    EXPECT_FALSE(Exists(Src("a.txt")));
    EXPECT_EQ(0, m_fs.Calls(Op::ListFolder));
    EXPECT_TRUE(m_ui.m_lstChoicePrompts.empty());
}

TEST_F(FileMoves, TheDifferentFilePromptCarriesBothFilesAndItsTexts) {
    ASSERT_TRUE(WriteFile(Src("a.txt"), "new content", TicksFromUnixTime(1700000000)));
    ASSERT_TRUE(WriteFile(Dst("a.txt"), "old", TicksFromUnixTime(1600000000)));
    ASSERT_TRUE(WriteFile(Dst("a (2).txt"), "taken"));
    m_ui.QueueAnswer(engine::AnswerSecond);
    EXPECT_EQ(engine::MoveFinished, Run({Src("a.txt")}));
    ASSERT_EQ(1u, m_ui.m_lstClashPrompts.size());
    const engine::ClashPrompt& p = m_ui.m_lstClashPrompts[0];
    EXPECT_EQ(Src("a.txt"), p.m_strSrcPath);
    EXPECT_EQ("a.txt", p.m_strSrcShown);
    EXPECT_EQ(11u, p.m_oSrcEntry.m_nSize);
    EXPECT_EQ(TicksFromUnixTime(1700000000), p.m_oSrcEntry.m_nLastWriteTime);
    EXPECT_EQ(Dst("a.txt"), p.m_strDestPath);
    EXPECT_EQ("a.txt", p.m_strDestShown);
    EXPECT_EQ(3u, p.m_oDestEntry.m_nSize);
    EXPECT_EQ(TicksFromUnixTime(1600000000), p.m_oDestEntry.m_nLastWriteTime);
    EXPECT_EQ(Dst("a (3).txt"), p.m_strNewPath);
    EXPECT_EQ("a (3).txt", p.m_strNewShown);
    EXPECT_EQ(
        (std::vector<std::string>{
            "Source file \"a.txt\" is unique, but a (different) destination file \"a.txt\" already exists.",
            "Overwrite destination file \"a.txt\" with source file \"a.txt\".",
            "Rename source file to \"a (3).txt\" and move to destination folder.",
            "Leave source file \"a.txt\" alone."}),
        (std::vector<std::string>{p.m_strQuestion, p.m_strText1, p.m_strText2, p.m_strText3}));
    EXPECT_EQ(m_ui.m_hActiveWindow, m_ui.m_lstPromptOwners[0]);
    EXPECT_EQ(
        "Moved source file \"a.txt\" to destination folder, naming it \"a (3).txt\" to avoid overwriting "
        "different existing file \"a.txt\".\r\n",
        m_log);
    EXPECT_EQ("new content", ReadFile(Dst("a (3).txt")));
    EXPECT_EQ("old", ReadFile(Dst("a.txt")));
}

TEST_F(FileMoves, EveryAnswerToTheDifferentFileDecision) {
    struct Case {
        const char* m_pszWhat;
        std::int32_t m_nRemembered;  // -1: asked, answered with m_nAnswer
        std::int32_t m_nAnswer;
        engine::MoveOutcome m_nResult;
        std::string m_strLog;
        const char* m_pszDestContent;
        bool m_bSourceStays;
    };
    const Case cases[] = {
        {"overwrite, remembered", engine::AnswerFirst, 0, engine::MoveFinished,
         "Moved source file \"a.txt\" to destination folder, overwriting different existing file "
         "\"a.txt\". (stored answer)\r\n",
         "new", false},
        {"overwrite, asked", engine::AnswerAsk, engine::AnswerFirst, engine::MoveFinished,
         "Moved source file \"a.txt\" to destination folder, overwriting different existing file "
         "\"a.txt\".\r\n",
         "new", false},
        {"skip", engine::AnswerAsk, engine::AnswerThird, engine::MoveFinished, kLeftDifferent, "old file",
         true},
        {"cancel", engine::AnswerAsk, engine::AnswerCancel, engine::MoveStopped, "Cancelled by request.",
         "old file", true},
        // A value no prompt gives, Cancel included, is not acted on blindly: the user is asked.
        {"cancel remembered", engine::AnswerCancel, engine::AnswerThird, engine::MoveFinished, kLeftDifferent,
         "old file", true},
        {"unknown remembered value", 7, engine::AnswerThird, engine::MoveFinished, kLeftDifferent, "old file",
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.m_pszWhat);
        StartCase();
        ASSERT_TRUE(WriteFile(Src("a.txt"), "new"));
        ASSERT_TRUE(WriteFile(Src("z.txt"), "later item"));
        ASSERT_TRUE(WriteFile(Dst("a.txt"), "old file"));
        ASSERT_TRUE(WriteFile(Keep("old"), "old file"));
        SetRemembered("DiffFileSameNameDlgDefault", c.m_nRemembered);
        const bool asked = c.m_nAnswer != 0;
        if (asked) m_ui.QueueAnswer(c.m_nAnswer);
        EXPECT_EQ(c.m_nResult, Run({Src("a.txt"), Src("z.txt")}, {}, {"a.txt"}));
        EXPECT_EQ(asked ? 1u : 0u, m_ui.m_lstClashPrompts.size());
        const bool stopped = c.m_nResult == engine::MoveStopped;
        EXPECT_EQ(c.m_strLog + (stopped ? "" : UniqueLine("z.txt", "z.txt")), m_log);
        EXPECT_EQ(c.m_pszDestContent, ReadFile(Dst("a.txt")));
        EXPECT_EQ(c.m_bSourceStays, Exists(Src("a.txt")));
        EXPECT_EQ(stopped, Exists(Src("z.txt")));
    }
}

TEST_F(FileMoves, EveryAnswerToASubfolderOfTheSameName) {
    struct Case {
        const char* m_pszWhat;
        std::int32_t m_nRemembered;
        std::int32_t m_nAnswer;
        engine::MoveOutcome m_nResult;
        std::string m_strLog;
        const char* m_pszFileAt;    // where the file ends up (empty: stays)
        const char* m_pszFolderAt;  // where the subfolder ends up
    };
    const std::string renamedFolder =
        "Renamed a subfolder in the destination folder from \"d.txt\" to \"d (2).txt\" because it had the "
        "same name as "
        "the source file \"d.txt\".\r\n";
    const Case cases[] = {
        {"rename folder", engine::AnswerAsk, engine::AnswerFirst, engine::MoveFinished,
         renamedFolder + "Moved source file \"d.txt\" to destination as \"d.txt\".\r\n", "d.txt",
         "d (2).txt"},
        {"rename file", engine::AnswerAsk, engine::AnswerSecond, engine::MoveFinished,
         "Moved source file \"d.txt\" to destination as \"d (2).txt\".  Filename was changed to avoid clash "
         "with extant "
         "subfolder \"d.txt\" in the destination folder.\r\n",
         "d (2).txt", "d.txt"},
        {"skip", engine::AnswerAsk, engine::AnswerThird, engine::MoveFinished,
         "Left source file \"d.txt\" alone, given existence of a subfolder of the same name in the "
         "destination folder.\r\n",
         "", "d.txt"},
        {"cancel", engine::AnswerAsk, engine::AnswerCancel, engine::MoveStopped, "Cancelled by request.", "",
         "d.txt"},
        // A remembered value no prompt gives asks.
        {"unknown remembered value", 5, engine::AnswerThird, engine::MoveFinished,
         "Left source file \"d.txt\" alone, given existence of a subfolder of the same name in the "
         "destination folder.\r\n",
         "", "d.txt"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.m_pszWhat);
        StartCase();
        ASSERT_TRUE(WriteFile(Src("d.txt"), "file"));
        ASSERT_TRUE(WriteFile(Dst("d.txt/inside"), "inside"));
        SetRemembered("FnameFldrnameClashDlgDefault", c.m_nRemembered);
        const bool asked = c.m_nRemembered != engine::AnswerFirst && c.m_nRemembered != engine::AnswerSecond;
        if (asked) m_ui.QueueAnswer(c.m_nAnswer);
        EXPECT_EQ(c.m_nResult, Run({Src("d.txt")}, {}, {"d.txt/inside"}));
        EXPECT_EQ(c.m_strLog, m_log);
        if (*c.m_pszFileAt) {
            EXPECT_EQ("file", ReadFile(Dst(c.m_pszFileAt)));
        }
        EXPECT_EQ(*c.m_pszFileAt == 0, Exists(Src("d.txt")));
        EXPECT_EQ("inside", ReadFile(Dst(std::string(c.m_pszFolderAt) + "/inside")));
        ASSERT_EQ(asked ? 1u : 0u, m_ui.m_lstChoicePrompts.size());
        if (!asked) continue;
        const engine::ChoicePrompt& p = m_ui.m_lstChoicePrompts[0];
        EXPECT_EQ(engine::DecisionKind::FnameFldrnameClash, p.m_nKind);
        EXPECT_EQ((std::vector<std::string>{
                      "Can't move source file \"d.txt\" into the destination folder because a "
                      "subfolder of that name already exists there.",
                      "Rename fol&der", "Rename the subfolder in the destination folder to \"d (2).txt\".",
                      "Rename &file", "Rename the source file to \"d (2).txt\".",
                      "Leave source file \"d.txt\" alone.", Src("d.txt"), Dst("d.txt")}),
                  TextsOf(p));
    }
}

TEST_F(FileMoves, EveryPlacementFailureIsReportedAndLeavesItsState) {
    struct Case {
        const char* m_pszWhat;
        const char* m_pszDest;       // the destination file a.txt, or "/" for a subfolder, or "" for none
        std::int32_t m_nRemembered;  // for the decision that is reached
        Op m_nOp;
        int m_nCall;  // of m_nOp, counted from the start of the move
        std::string m_strError;
        const char* m_pszDestAfter;            // what a.txt holds afterwards ("/": a folder; "": nothing)
        const char* m_pszLogBefore = nullptr;  // the line of a change made before the failure
    };
    const Case cases[] = {
        // A move, never called a rename, whatever the platform call.
        {"unique move", "", -1, Op::Move, 1, "ERROR: Couldn't move \"%S\" to \"%D\"", ""},
        {"same content delete", "same", -1, Op::DeleteFile, 1, "ERROR: Couldn't delete \"%S\"", "same"},
        // The old file gives way only to the complete new one.
        {"overwrite move", "different", engine::AnswerFirst, Op::MoveReplacing, 1,
         "ERROR: Couldn't move \"%S\" to \"%D\"", "different"},
        {"rename move", "different", engine::AnswerSecond, Op::Move, 1,
         "ERROR: Couldn't move \"%S\" to \"%F\"", "different"},
        {"subfolder rename", "/", engine::AnswerFirst, Op::Move, 1,
         "ERROR: couldn't rename subfolder in destination folder from \"%D\" to \"%F\".", "/"},
        {"move beside renamed subfolder", "/", engine::AnswerFirst, Op::Move, 2,
         "ERROR: couldn't move source file \"%S\" to destination as \"%D\".", "",
         "Renamed a subfolder in the destination folder from \"a.txt\" to \"a (2).txt\" because it had the "
         "same "
         "name as the source file \"a.txt\". (stored answer)\r\n"},
        {"move beside subfolder", "/", engine::AnswerSecond, Op::Move, 1,
         "ERROR: couldn't move source file \"%S\" to destination as \"%F\".", "/"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.m_pszWhat);
        StartCase();
        ASSERT_TRUE(WriteFile(Src("a.txt"), "same"));
        ASSERT_TRUE(WriteFile(Src("b.txt"), "never reached"));
        ASSERT_TRUE(WriteFile(Keep("copy"), c.m_pszDest));
        if (std::string(c.m_pszDest) == "/") {
            ASSERT_TRUE(MakeFolders(Dst("a.txt")));
        } else if (*c.m_pszDest) {
            ASSERT_TRUE(WriteFile(Dst("a.txt"), c.m_pszDest));
        }
        SetRemembered("DiffFileSameNameDlgDefault", c.m_nRemembered);
        SetRemembered("FnameFldrnameClashDlgDefault", c.m_nRemembered);
        FailAt(c.m_nOp, c.m_nCall);
        EXPECT_EQ(engine::MoveStopped, Run({Src("a.txt"), Src("b.txt")}, {}, {"a.txt"}));
        const std::string error =
            WithPaths(c.m_strError, {{"%S", Src("a.txt")}, {"%D", Dst("a.txt")}, {"%F", Dst("a (2).txt")}});
        EXPECT_EQ(std::vector<std::string>{Failed(error)}, m_ui.m_lstErrors);
        EXPECT_TRUE(m_log.ends_with(FailedLog(error))) << m_log;
        if (c.m_pszLogBefore != nullptr) {
            EXPECT_EQ(c.m_pszLogBefore + FailedLog(error), m_log);
        }
        EXPECT_EQ("same", ReadFile(Src("a.txt")));
        EXPECT_TRUE(Exists(Src("b.txt")));
        const std::string after = c.m_pszDestAfter;
        if (after == "/") {
            EXPECT_TRUE(m_realFs.IsFolder(Dst("a.txt")));
        } else if (after.empty()) {
            EXPECT_FALSE(Exists(Dst("a.txt")));
        } else {
            EXPECT_EQ(after, ReadFile(Dst("a.txt")));
        }
    }
}

TEST_F(FileMoves, ASourceThatChangesAfterItsComparisonIsNotDeleted) {
    // The same-name file compares equal; then, before the deletion, the source is written to.
    ASSERT_TRUE(WriteFile(Src("a.txt"), "same", TicksFromUnixTime(1600000000)));
    ASSERT_TRUE(WriteFile(Dst("a.txt"), "same"));
    ASSERT_TRUE(WriteFile(Src("b.txt"), "next"));
    m_fnBeforeOpen = [&](const std::string& path) {
        if (path == Dst("a.txt")) SetLastWriteTime(Src("a.txt"), TicksFromUnixTime(1700000000));
    };
    EXPECT_EQ(engine::MoveFinished, Run({Src("a.txt"), Src("b.txt")}));
    const std::string error =
        "ERROR: Source file \"" + Src("a.txt") + "\" changed while it was being compared";
    EXPECT_EQ(std::vector<std::string>{error}, m_ui.m_lstErrors);
    EXPECT_EQ(error + "\r\n" + UniqueLine("b.txt", "b.txt"), m_log);
    EXPECT_TRUE(Exists(Src("a.txt")));
}

TEST_F(FileMoves, ADestinationFileThatChangesAfterItsComparisonKeepsTheSource) {
    // Delete, and delete and rename: both delete the source by the same rule.
    for (const std::int32_t answer : {engine::AnswerFirst, engine::AnswerSecond}) {
        SCOPED_TRACE(answer);
        StartCase();
        ASSERT_TRUE(WriteFile(Src("a.txt"), "same"));
        ASSERT_TRUE(WriteFile(Dst("x.txt"), "same", TicksFromUnixTime(1600000000)));
        // While the user decides, the identical file is overwritten with other bytes of its size.
        m_ui.m_fnBeforeAnswer = [&] { WriteFile(Dst("x.txt"), "diff"); };
        m_ui.QueueAnswer(answer);
        EXPECT_EQ(engine::MoveFinished, Run({Src("a.txt")}, {}, {"x.txt"}));
        EXPECT_EQ(std::vector<std::string>{"ERROR: Destination file \"" + Dst("x.txt") +
                                           "\" changed while it was being compared"},
                  m_ui.m_lstErrors);
        EXPECT_EQ("same", ReadFile(Src("a.txt")));
        EXPECT_EQ("diff", ReadFile(Dst("x.txt")));  // not renamed either
    }
}

TEST_F(FileMoves, APathTheFileSystemCannotTakeIsRefusedAndTheMoveGoesOn) {
    // 251 + ".txt" fits a name (shorter where the whole path is limited); with " (2)" the free name
    // no longer does.
    std::string stem(251, 'n');
    while (!stem.empty() && !m_realFs.PathFits(Src(stem + ".txt") + "xx")) stem.pop_back();
    const std::string name = stem + ".txt";
    ASSERT_TRUE(WriteFile(Src(name), "new"));
    ASSERT_TRUE(WriteFile(Dst(name), "old"));
    ASSERT_TRUE(WriteFile(Src("b.txt"), "b"));
    SetRemembered("DiffFileSameNameDlgDefault", engine::AnswerSecond);
    EXPECT_EQ(engine::MoveFinished, Run({Src(name), Src("b.txt")}));
    ASSERT_EQ(1u, m_ui.m_lstErrors.size());
    EXPECT_EQ(0u, m_ui.m_lstErrors[0].rfind("ERROR: ", 0));
    EXPECT_NE(std::string::npos, m_ui.m_lstErrors[0].find(Dst(stem + " (2).txt")));
    EXPECT_EQ("new", ReadFile(Src(name)));
    EXPECT_EQ("b", ReadFile(Dst("b.txt")));
}

TEST_F(FileMoves, FilesMoveAcrossFileSystemsInEveryOutcome) {
    const std::optional<TempFolder> other = OtherVolume();
    if (!other) GTEST_SKIP() << kNoOtherVolumeReason;
    ASSERT_TRUE(WriteFile(Src("u.txt"), "unique", TicksFromUnixTime(1650000000)));
    ASSERT_TRUE(WriteFile(Src("twin.txt"), "unique", TicksFromUnixTime(1650000000)));
    ASSERT_TRUE(WriteFile(Src("o.txt"), "overwrite with this"));
    ASSERT_TRUE(WriteFile(other->Path("o.txt"), "old"));
    ASSERT_TRUE(WriteFile(Keep("o"), "old"));
    SetRemembered("DiffFileSameNameDlgDefault", engine::AnswerFirst);
    SetRemembered("SameFileDiffNameDlgDefault", engine::AnswerFirst);
    EXPECT_EQ(engine::MoveFinished, Run({Src("u.txt"), Src("twin.txt"), Src("o.txt")}, other->Root(),
                                        {"o.txt"}, {}, other->Root()));
    // The second file is the same as the first, which arrived earlier in this move.
    EXPECT_EQ(UniqueLine("u.txt", "u.txt") + Stored(DeletedLine("twin.txt", "u.txt")) +
                  "Moved source file \"o.txt\" to destination folder, overwriting different existing file "
                  "\"o.txt\". (stored answer)\r\n",
              m_log);
    EXPECT_EQ("unique", ReadFile(other->Path("u.txt")));
    EXPECT_EQ(TicksFromUnixTime(1650000000), LastWriteTime(other->Path("u.txt")));
    EXPECT_EQ("overwrite with this", ReadFile(other->Path("o.txt")));
    EXPECT_EQ(std::vector<std::string>{}, ListTree(Src()));

    // And back from the other volume.
    ASSERT_TRUE(WriteFile(other->Path("back/b.txt"), "back"));
    EXPECT_EQ(engine::MoveFinished, Run({other->Path("back/b.txt")}, {}, {}, {other->Path("back"), Keep()}));
    EXPECT_EQ("back", ReadFile(Dst("b.txt")));
    EXPECT_FALSE(Exists(other->Path("back/b.txt")));
}

}  // namespace
}  // namespace tandemere::testing::files
