// Engine tests: the search for the same content under another name in the destination, and its decision, by
// whole moves.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/engine/move_fixture.h"

namespace tandemere::testing::files {
namespace {

// The two names of `first` and `second` in the order the destination lists them.
std::pair<std::string, std::string> InListingOrder(engine::IFileSystem& fs, const std::string& folder,
                                                   const std::string& a, const std::string& b) {
    std::vector<engine::DirEntry> listing;
    EXPECT_TRUE(fs.ListFolder(folder, listing).IsOk());
    for (const engine::DirEntry& entry : listing) {
        if (entry.m_strName == a) return {a, b};
        if (entry.m_strName == b) return {b, a};
    }
    return {a, b};
}

TEST_F(FileMoves, EveryAnswerToAnIdenticalFileUnderAnotherName) {
    struct Case {
        const char* m_pszWhat;
        bool m_bNameTaken;  // a different file already bears the source's name
        std::int32_t m_nAnswer;
        engine::MoveOutcome m_nResult;
        std::string m_strLog;
        const char* m_pszIdenticalAt;  // where the identical content is afterwards
    };
    const Case cases[] = {
        {"delete", false, engine::AnswerFirst, engine::MoveFinished, DeletedLine("s.txt", "x.txt"), "x.txt"},
        {"delete and rename", false, engine::AnswerSecond, engine::MoveFinished,
         "Deleted source file \"s.txt\" and renamed identical destination file from \"x.txt\" to "
         "\"s.txt\".\r\n",
         "s.txt"},
        {"delete and rename beside a different file", true, engine::AnswerSecond, engine::MoveFinished,
         "Deleted source file \"s.txt\" and renamed identical destination file from \"x.txt\" to \"s "
         "(2).txt\".  Changed "
         "name of file because source filename is already used in destination folder.\r\n",
         "s (2).txt"},
        {"skip", false, engine::AnswerThird, engine::MoveFinished,
         "Left source file \"s.txt\" alone, given existence of identical destination file \"x.txt\".\r\n",
         "x.txt"},
        {"cancel", true, engine::AnswerCancel, engine::MoveStopped, "Cancelled by request.", "x.txt"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.m_pszWhat);
        StartCase();
        ASSERT_TRUE(WriteFile(Src("s.txt"), "content"));
        ASSERT_TRUE(WriteFile(Dst("x.txt"), "content"));
        if (c.m_bNameTaken) {
            ASSERT_TRUE(WriteFile(Dst("s.txt"), "another"));
        }
        m_ui.QueueAnswer(c.m_nAnswer);
        EXPECT_EQ(c.m_nResult, Run({Src("s.txt")}, {}, {"x.txt"}));
        EXPECT_EQ(c.m_strLog, m_log);
        EXPECT_EQ("content", ReadFile(Dst(c.m_pszIdenticalAt)));
        const bool kept = c.m_nAnswer == engine::AnswerThird || c.m_nAnswer == engine::AnswerCancel;
        EXPECT_EQ(kept, Exists(Src("s.txt")));
        if (c.m_bNameTaken) {
            EXPECT_EQ("another", ReadFile(Dst("s.txt")));
        }
        ASSERT_EQ(1u, m_ui.m_lstChoicePrompts.size());
        const engine::ChoicePrompt& p = m_ui.m_lstChoicePrompts[0];
        EXPECT_EQ(engine::DecisionKind::SameFileDiffName, p.m_nKind);
        const std::string freeName = c.m_bNameTaken ? "s (2).txt" : "s.txt";
        EXPECT_EQ(
            (std::vector<std::string>{
                std::string("Source file \"s.txt\" is the same as destination file \"x.txt\"") +
                    (c.m_bNameTaken
                         ? "\r\nA different file named \"s.txt\" already exists in the destination folder."
                         : ""),
                "&Delete", "Delete source file \"s.txt\", leaving identical file \"x.txt\".",
                "Delete and &Rename",
                "Delete source file \"s.txt\", and rename identical destination file from \"x.txt\" to \"" +
                    freeName + "\".",
                "Leave source file \"s.txt\" alone.", Src("s.txt"), Dst("x.txt")}),
            TextsOf(p));
    }
}

// With SearchWholeDestination on, a source with no identical file in its counterpart folder is
// looked for in the whole destination tree: never in a trash, through a link, or in itself.
TEST_F(FileMoves, TheWholeDestinationTreeIsSearchedOnlyWhenAsked) {
    const std::string elsewhere = "Left source file \"" + Native("a/s.txt") +
                                  "\" alone, given existence of identical file \"" + Native("b/c/x.txt") +
                                  "\" elsewhere in the destination folder.\r\n";
    const struct {
        const char* m_pszWhat;
        const char* m_pszSettings;
        const char* m_pszCopyAt;  // the destination's copy of the source's content
        std::int32_t m_nAnswer;   // -1: no prompt
        std::string m_strFirstLine;
        const char* m_pszOtherAt = "a/other.txt";  // "z/...": the source folder has no counterpart
    } cases[] = {
        {"off", "", "b/c/x.txt", -1, UniqueLine(Native("a/s.txt"), Native("a/s.txt"))},
        {"delete", "\"SearchWholeDestination\"=dword:00000001\n", "b/c/x.txt", engine::AnswerFirst,
         DeletedLine(Native("a/s.txt"), Native("b/c/x.txt"))},
        {"leave", "\"SearchWholeDestination\"=dword:00000001\n", "b/c/x.txt", engine::AnswerThird, elsewhere},
        {"remembered",
         "\"SearchWholeDestination\"=dword:00000001\n\"SameFileElsewhereDlgDefault\"=dword:000000e6\n",
         "b/c/x.txt", -1, DeletedLine(Native("a/s.txt"), Native("b/c/x.txt"))},
        {"231 is no answer here: asked",
         "\"SearchWholeDestination\"=dword:00000001\n\"SameFileElsewhereDlgDefault\"=dword:000000e7\n",
         "b/c/x.txt", engine::AnswerThird, elsewhere},
        {"other extension",
         "\"SearchWholeDestination\"=dword:00000001\n\"OnlyCompareSameExt\"=dword:00000001\n", "b/c/x.bin",
         -1, UniqueLine(Native("a/s.txt"), Native("a/s.txt"))},
        {"in a trash", "\"SearchWholeDestination\"=dword:00000001\n", ".Trash-1000/files/x.txt", -1,
         UniqueLine(Native("a/s.txt"), Native("a/s.txt"))},
        // A folder without counterpart is made there and merged into, so its files are searched too.
        {"off, no counterpart", "", "b/c/x.txt", -1,
         Native("Moved source folder \"a/\" to destination as \"a/\".\r\n"), "z/other.txt"},
        {"delete, no counterpart", "\"SearchWholeDestination\"=dword:00000001\n", "b/c/x.txt",
         engine::AnswerFirst,
         "Created destination folder \"a\" for source folder \"a\", so that each of its files is looked for "
         "in the whole destination.\r\n",
         "z/other.txt"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.m_pszWhat);
        StartCase();
        WriteSettings(c.m_pszSettings);
        ASSERT_TRUE(WriteFile(Src("a/s.txt"), "content"));
        ASSERT_TRUE(WriteFile(Dst(c.m_pszOtherAt), "another"));
        ASSERT_TRUE(WriteFile(Dst(c.m_pszCopyAt), "content"));
        if (CanMakeLinks()) {
            ASSERT_TRUE(WriteFile(Keep("deep/x.txt"), "content"));
            ASSERT_TRUE(MakeSymlink(Keep("deep"), Dst("linked")));  // never entered
        }
        if (c.m_nAnswer != -1) m_ui.QueueAnswer(c.m_nAnswer);
        EXPECT_EQ(engine::MoveFinished, Run({Src("a")}));
        // A stored answer's line ends in " (stored answer)".
        EXPECT_EQ(0u, m_log.find(c.m_strFirstLine.substr(0, c.m_strFirstLine.size() - 2))) << m_log;
        EXPECT_EQ(c.m_nAnswer == -1 ? 0u : 1u, m_ui.m_lstChoicePrompts.size());
        if (c.m_nAnswer == -1) continue;
        EXPECT_EQ(
            (std::vector<std::string>{"Source file \"" + Native("a/s.txt") + "\" is the same as file \"" +
                                          Native("b/c/x.txt") + "\" elsewhere in the destination folder.",
                                      "&Delete",
                                      "Delete source file \"" + Native("a/s.txt") +
                                          "\", leaving identical file \"" + Native("b/c/x.txt") + "\".",
                                      "", "", "Leave source file \"" + Native("a/s.txt") + "\" alone.",
                                      Src("a/s.txt"), Dst("b/c/x.txt")}),
            TextsOf(m_ui.m_lstChoicePrompts[0]));
    }

    // A file this move placed counts once it is in place; a source lying in the tree is never its
    // own duplicate.
    StartCase();
    WriteSettings(
        "\"SearchWholeDestination\"=dword:00000001\n\"SameFileElsewhereDlgDefault\"=dword:000000e6\n");
    ASSERT_TRUE(WriteFile(Src("a/s.txt"), "content"));
    ASSERT_TRUE(WriteFile(Src("b/t.txt"), "content"));
    ASSERT_TRUE(MakeFolders(Dst("a")));
    ASSERT_TRUE(MakeFolders(Dst("b")));
    EXPECT_EQ(engine::MoveFinished, Run({Src("a"), Src("b")}, {}, {"a/s.txt"}));
    EXPECT_EQ(0u, m_log.find(UniqueLine("a/s.txt", "a/s.txt"))) << m_log;
    EXPECT_NE(std::string::npos,
              m_log.find("Deleted source file \"" + Native("b/t.txt") + "\", because destination file \"" +
                         Native("a/s.txt") + "\" is the same. (stored answer)"))
        << m_log;

    StartCase();
    WriteSettings(
        "\"SearchWholeDestination\"=dword:00000001\n\"SameFileElsewhereDlgDefault\"=dword:000000e6\n");
    ASSERT_TRUE(WriteFile(Dst("in/tree/u.txt"), "content"));
    EXPECT_EQ(engine::MoveFinished, Run({Dst("in/tree/u.txt")}, {}, {"u.txt", "in/tree/u.txt"}));
    EXPECT_EQ(std::string::npos, m_log.find("Deleted")) << m_log;
    EXPECT_EQ("content", ReadFile(Dst("u.txt")));
}

TEST_F(FileMoves, OnlyFilesCanBeIdentical) {
    ASSERT_TRUE(WriteFile(Src("s.txt"), "content"));
    ASSERT_TRUE(WriteFile(Keep("x.txt"), "content"));
    if (CanMakeLinks()) {
        ASSERT_TRUE(MakeSymlink(Keep("x.txt"), Dst("link.txt")));  // same bytes behind it; never followed
    }
    ASSERT_TRUE(MakeFolders(Dst("folder")));
    EXPECT_EQ(engine::MoveFinished, Run({Src("s.txt")}));
    EXPECT_EQ(UniqueLine("s.txt", "s.txt"), m_log);
    EXPECT_TRUE(m_ui.m_lstChoicePrompts.empty());

    // An empty file holds only its name: another empty file is the same under that name alone.
    StartCase();
    ASSERT_TRUE(WriteFile(Src("__init__.py"), ""));
    ASSERT_TRUE(WriteFile(Src("same.txt"), ""));
    ASSERT_TRUE(WriteFile(Dst(".keep_me"), ""));
    ASSERT_TRUE(WriteFile(Dst("same.txt"), ""));
    EXPECT_EQ(engine::MoveFinished, Run({Src("__init__.py"), Src("same.txt")}));
    EXPECT_EQ(UniqueLine("__init__.py", "__init__.py") + DeletedLine("same.txt", "same.txt"), m_log);
    EXPECT_TRUE(m_ui.m_lstChoicePrompts.empty());
}

// The caches the system rebuilds go for the counterpart folder's own whatever their bytes, without a
// prompt; any other file of their kind is a file like any other.
TEST_F(FileMoves, ARebuiltCacheGoesForTheCounterpartFoldersOwn) {
    const bool ignoreCase = m_realFs.Style().m_bIgnoreCase;
    for (const std::string name : {"Thumbs.db", "ehthumbs.db", ".DS_Store", "THUMBS.DB", "desktop.ini"}) {
        if (name == "THUMBS.DB" && !ignoreCase) continue;  // no counterpart of that name there
        SCOPED_TRACE(name);
        StartCase();
        const bool cache = name != "desktop.ini";
        ASSERT_TRUE(WriteFile(Src("Album/" + name), "source's cache"));
        ASSERT_TRUE(WriteFile(Keep("copy"), "source's cache"));
        ASSERT_TRUE(
            WriteFile(Dst("Album/" + (name == "THUMBS.DB" ? std::string("Thumbs.db") : name)), "its own"));
        m_ui.QueueAnswer(engine::AnswerThird);
        EXPECT_EQ(engine::MoveFinished, Run({Src("Album")}));
        EXPECT_EQ(cache ? 0u : 1u, m_ui.m_lstClashPrompts.size());
        EXPECT_EQ(!cache, Exists(Src("Album")));
        if (cache) {
            EXPECT_EQ("Deleted source file \"" + Native("Album/" + name) +
                          "\", a cache the system rebuilds, because the destination folder has its own \"" +
                          Native("Album/" + name) +
                          "\".\r\nDeleted source folder \"Album\" because its contents are all in the "
                          "equivalent destination folder.\r\n",
                      m_log);
        }
    }
}

TEST_F(FileMoves, OnlyCompareSameExtNarrowsTheSearchAndAnEmptyOneFindsNothing) {
    for (bool narrow : {false, true}) {
        SCOPED_TRACE(narrow ? "same extension only" : "every file");
        StartCase();
        ASSERT_TRUE(WriteFile(Src("a.txt"), "bytes"));
        ASSERT_TRUE(WriteFile(Dst("b.dat"), "bytes"));
        SetRemembered("OnlyCompareSameExt", narrow ? 1 : 0);
        SetRemembered("SameFileDiffNameDlgDefault", engine::AnswerFirst);
        EXPECT_EQ(engine::MoveFinished, Run({Src("a.txt")}));
        // With no .txt file at all the search finds nothing, and that is no error.
        EXPECT_EQ(narrow ? UniqueLine("a.txt", "a.txt") : Stored(DeletedLine("a.txt", "b.dat")), m_log);
        EXPECT_TRUE(m_ui.m_lstErrors.empty());
    }
    // A source without an extension is compared with every file, even when the search is narrowed.
    StartCase();
    SetRemembered("OnlyCompareSameExt", 1);
    SetRemembered("SameFileDiffNameDlgDefault", engine::AnswerFirst);
    ASSERT_TRUE(WriteFile(Src("README"), "bytes"));
    ASSERT_TRUE(WriteFile(Dst("b.dat"), "bytes"));
    EXPECT_EQ(engine::MoveFinished, Run({Src("README")}));
    EXPECT_EQ(Stored(DeletedLine("README", "b.dat")), m_log);
}

TEST_F(FileMoves, TheFirstIdenticalFileInListingOrderIsTaken) {
    ASSERT_TRUE(WriteFile(Src("s.bin"), "twice"));
    ASSERT_TRUE(WriteFile(Dst("x.bin"), "twice"));
    ASSERT_TRUE(WriteFile(Dst("y.bin"), "twice"));
    const auto [first, second] = InListingOrder(m_realFs, Dst(), "x.bin", "y.bin");
    m_ui.QueueAnswer(engine::AnswerFirst);
    EXPECT_EQ(engine::MoveFinished, Run({Src("s.bin")}));
    EXPECT_EQ(DeletedLine("s.bin", first), m_log);
    EXPECT_EQ(0, std::count(m_lstOpened.begin(), m_lstOpened.end(), Dst(second)));
}

TEST_F(FileMoves, ARememberedAnswerDeletesEveryIdenticalFileAndTheFolderIsListedOnce) {
    SetRemembered("SameFileDiffNameDlgDefault", engine::AnswerFirst);
    std::vector<std::string> dropped;
    std::string expected;
    for (int i = 0; i < 5; ++i) {
        const std::string n = std::to_string(i);
        ASSERT_TRUE(WriteFile(Src("s" + n), "content " + n));
        ASSERT_TRUE(WriteFile(Dst("d" + n), "content " + n));
        dropped.push_back(Src("s" + n));
        expected += Stored(DeletedLine("s" + n, "d" + n));
    }
    EXPECT_EQ(engine::MoveFinished, Run(dropped));
    EXPECT_EQ(expected, m_log);
    EXPECT_TRUE(m_ui.m_lstChoicePrompts.empty());
    EXPECT_EQ(1, m_fs.Calls(Op::ListFolder));
}

TEST_F(FileMoves, FilesPlacedEarlierInTheMoveAreFoundUnderTheirNewNames) {
    // a.txt moves in; b.txt equals it and is deleted; c.txt equals the file that the answer
    // renamed, and is found under that new name.
    ASSERT_TRUE(WriteFile(Src("a.txt"), "one"));
    ASSERT_TRUE(WriteFile(Src("b.txt"), "one"));
    ASSERT_TRUE(WriteFile(Src("c.txt"), "one"));
    m_ui.QueueAnswer(engine::AnswerSecond);
    m_ui.QueueAnswer(engine::AnswerFirst);
    EXPECT_EQ(engine::MoveFinished, Run({Src("a.txt"), Src("b.txt"), Src("c.txt")}));
    EXPECT_EQ(UniqueLine("a.txt", "a.txt") +
                  "Deleted source file \"b.txt\" and renamed identical destination file from \"a.txt\" to "
                  "\"b.txt\".\r\n" +
                  DeletedLine("c.txt", "b.txt"),
              m_log);
    EXPECT_EQ(std::vector<std::string>{"b.txt (3)"}, ListTree(Dst()));
}

TEST_F(FileMoves, AnIdenticalFileRewrittenRightAfterItsComparisonKeepsTheSource) {
    ASSERT_TRUE(WriteFile(Src("s.txt"), "same"));
    ASSERT_TRUE(WriteFile(Dst("x.txt"), "same", TicksFromUnixTime(1600000000)));
    ASSERT_TRUE(WriteFile(Keep("x.txt"), "diff"));  // the bytes the writer below brings
    SetRemembered("SameFileDiffNameDlgDefault", engine::AnswerFirst);
    // A writer replaces x.txt's bytes as soon as they have been read, before anything else.
    bool read = false;
    bool rewritten = false;
    m_fs.m_fnBeforeCall = [&](Op op, const std::string& path) {
        const bool readingX = op == Op::Read && path == Dst("x.txt");
        if (read && !readingX && !rewritten) rewritten = WriteFile(Dst("x.txt"), "diff");
        read = read || readingX;
    };
    EXPECT_EQ(engine::MoveFinished, Run({Src("s.txt")}, {}, {"x.txt"}));
    EXPECT_TRUE(rewritten);
    EXPECT_EQ(std::vector<std::string>{"ERROR: Destination file \"" + Dst("x.txt") +
                                       "\" changed while it was being compared"},
              m_ui.m_lstErrors);
    EXPECT_EQ("same", ReadFile(Src("s.txt")));
}

TEST_F(FileMoves, AnUnknownRememberedAnswerAsks) {
    SetRemembered("SameFileDiffNameDlgDefault", 1234);
    ASSERT_TRUE(WriteFile(Src("s.txt"), "content"));
    ASSERT_TRUE(WriteFile(Dst("x.txt"), "content"));
    m_ui.QueueAnswer(engine::AnswerThird);
    EXPECT_EQ(engine::MoveFinished, Run({Src("s.txt")}));
    EXPECT_EQ(1u, m_ui.m_lstChoicePrompts.size());
    EXPECT_TRUE(Exists(Src("s.txt")));
}

TEST_F(FileMoves, FailuresOfTheSearchAndItsDecision) {
    struct Case {
        const char* m_pszWhat;
        std::int32_t m_nAnswer;
        Op m_nOp;
        int m_nCall;
        std::string m_strError;
        bool m_bSourceStays;
        std::string m_strLogBefore;  // what the log says of changes made before the failure
    };
    const Case cases[] = {
        {"listing", engine::AnswerFirst, Op::ListFolder, 1, "ERROR: Couldn't find files in \"%D\"", true, ""},
        {"delete", engine::AnswerFirst, Op::DeleteFile, 1, "ERROR: Couldn't delete \"%S\"", true, ""},
        // The source is gone already; its content stays in the identical file under its name, and
        // the log still says that the source was deleted.
        {"rename", engine::AnswerSecond, Op::Move, 1, "ERROR: Couldn't rename \"%I\" to \"%A\"", false,
         "Deleted source file \"s.txt\", because destination file \"x.txt\" is the same. (stored "
         "answer)\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.m_pszWhat);
        StartCase();
        ASSERT_TRUE(WriteFile(Src("s.txt"), "content"));
        ASSERT_TRUE(WriteFile(Src("t.txt"), "later"));
        ASSERT_TRUE(WriteFile(Dst("x.txt"), "content"));
        SetRemembered("SameFileDiffNameDlgDefault", c.m_nAnswer);
        FailAt(c.m_nOp, c.m_nCall);
        EXPECT_EQ(engine::MoveStopped, Run({Src("s.txt"), Src("t.txt")}));
        const std::string error = WithPaths(c.m_strError, {{"%S", Src("s.txt")},
                                                           {"%D", Dst() + NativeSeparator()},
                                                           {"%I", Dst("x.txt")},
                                                           {"%A", Dst("s.txt")}});
        EXPECT_EQ(std::vector<std::string>{Failed(error)}, m_ui.m_lstErrors);
        EXPECT_EQ(c.m_strLogBefore + FailedLog(error), m_log);
        EXPECT_EQ(c.m_bSourceStays, Exists(Src("s.txt")));
        EXPECT_EQ("content", ReadFile(Dst("x.txt")));
        EXPECT_TRUE(Exists(Src("t.txt")));
    }
}

// A move across file systems killed after its copy but before the rename leaves the whole copy
// beside the target. Taken for an identical file, it would take the source's place.
TEST_F(FileMoves, ACopyAnInterruptedMoveLeftIsNeverTakenForTheSourcesContent) {
    const std::string leftover = ".tandemere-abcdefghijkl.part";
    for (const std::int32_t answer : {engine::AnswerFirst, engine::AnswerSecond}) {
        SCOPED_TRACE(answer);
        StartCase();
        ASSERT_TRUE(WriteFile(Src("s.txt"), "content"));
        ASSERT_TRUE(WriteFile(Dst(leftover), "content"));
        SetRemembered("SameFileDiffNameDlgDefault", answer);
        EXPECT_EQ(engine::MoveFinished, Run({Src("s.txt")}, {}, {leftover}));
        // It holds nothing but the source's content, which the move keeps: it goes.
        EXPECT_EQ("Deleted \"" + leftover +
                      "\", left by an interrupted move, because source file \"s.txt\" is the same.\r\n" +
                      UniqueLine("s.txt", "s.txt"),
                  m_log);
        EXPECT_EQ(std::vector<std::string>{"s.txt (7)"}, ListTree(Dst()));
        EXPECT_FALSE(Exists(Src("s.txt")));
    }
}

TEST_F(FileMoves, WhatAnInterruptedMoveLeftIsReportedOnceAndKeptUnlessASourceIsItsCopy) {
    const std::string partial = ".tandemere-0123456789ab.part";  // the start of a.txt
    const std::string whole = ".tandemere-cdefghijklmn.part";    // all of b.txt, the second source
    const std::string folder = ".tandemere-opqrstuvwxyz.part";   // a folder's copy
    const std::string similar = ".tandemere-abc.part";           // the user's own file
    ASSERT_TRUE(WriteFile(Src("a.txt"), "first"));
    ASSERT_TRUE(WriteFile(Src("b.txt"), "second"));
    ASSERT_TRUE(WriteFile(Dst(partial), "fir"));
    ASSERT_TRUE(WriteFile(Dst(whole), "second"));
    ASSERT_TRUE(WriteFile(Dst(folder + "/c.txt"), "third"));
    ASSERT_TRUE(WriteFile(Dst(similar), "first"));
    SetRemembered("SameFileDiffNameDlgDefault", engine::AnswerFirst);
    EXPECT_EQ(engine::MoveFinished, Run({Src("a.txt"), Src("b.txt")}, {}, {whole}));
    const auto found = [](const std::string& name) {
        return "Found \"" + name +
               "\", left by an interrupted move: it may hold the only copy of a file.\r\n";
    };
    // Those no item accounted for are named once, at the end.
    EXPECT_EQ(Stored(DeletedLine("a.txt", similar)) + "Deleted \"" + whole +
                  "\", left by an interrupted move, because source file \"b.txt\" is the same.\r\n" +
                  UniqueLine("b.txt", "b.txt") + found(partial) + found(folder),
              m_log);
    EXPECT_EQ((std::vector<std::string>{partial + " (3)", similar + " (5)", folder + "/",
                                        folder + "/c.txt (5)", "b.txt (6)"}),
              ListTree(Dst()));
}

// The user may drag such a file, or a folder of such a name: moving it would plant what later
// moves take for a leftover, and its counterpart in the destination is no clash to settle.
TEST_F(FileMoves, ADraggedItemUnderATemporaryNameIsLeftAlone) {
    const std::string name = ".tandemere-abcdefghijkl.part";
    ASSERT_TRUE(WriteFile(Src(name), "content"));
    ASSERT_TRUE(WriteFile(Dst(name), "content"));
    ASSERT_TRUE(WriteFile(Src("b.txt"), "b"));
    SetRemembered("SameFileDiffNameDlgDefault", engine::AnswerFirst);
    EXPECT_EQ(engine::MoveFinished, Run({Src(name), Src("b.txt")}));
    EXPECT_EQ("Left \"" + name +
                  "\" alone, because its name marks an unfinished copy of an interrupted move.\r\n" +
                  UniqueLine("b.txt", "b.txt") + "Found \"" + name +
                  "\", left by an interrupted move: it may hold the only copy of a file.\r\n",
              m_log);
    EXPECT_EQ("content", ReadFile(Src(name)));
    EXPECT_TRUE(m_ui.m_lstChoicePrompts.empty());
}

// A prompt can wait for minutes, and a writer can keep a file's size and time meanwhile: after a
// prompt the bytes are compared again before the source goes.
TEST_F(FileMoves, AfterThePromptTheBytesAreComparedAgainBeforeTheSourceIsDeleted) {
    const std::uint64_t time = TicksFromUnixTime(1600000000);
    for (const std::int32_t answer : {engine::AnswerFirst, engine::AnswerSecond}) {
        for (const bool sourceChanges : {true, false}) {
            SCOPED_TRACE(std::to_string(answer) +
                         (sourceChanges ? ", source written" : ", identical file written"));
            StartCase();
            ASSERT_TRUE(WriteFile(Src("s.txt"), "content", time));
            ASSERT_TRUE(WriteFile(Dst("x.txt"), "content", time));
            const std::string written = sourceChanges ? Src("s.txt") : Dst("x.txt");
            m_ui.m_fnBeforeAnswer = [&] { WriteFile(written, "CONTENT", time); };
            m_ui.QueueAnswer(answer);
            EXPECT_EQ(engine::MoveFinished, Run({Src("s.txt")}, {}, {"x.txt"}));
            // Which of the two was written cannot be told: the source, which stays, is named.
            EXPECT_EQ(std::vector<std::string>{"ERROR: Source file \"" + Src("s.txt") +
                                               "\" changed while it was being compared"},
                      m_ui.m_lstErrors);
            EXPECT_EQ(sourceChanges ? "CONTENT" : "content", ReadFile(Src("s.txt")));
            EXPECT_EQ(std::vector<std::string>{"x.txt (7)"}, ListTree(Dst()));
        }
    }
    // A remembered answer shows no prompt and does not read the files again.
    StartCase();
    ASSERT_TRUE(WriteFile(Src("s.txt"), "content"));
    ASSERT_TRUE(WriteFile(Dst("x.txt"), "content"));
    SetRemembered("SameFileDiffNameDlgDefault", engine::AnswerFirst);
    EXPECT_EQ(engine::MoveFinished, Run({Src("s.txt")}));
    EXPECT_EQ(Stored(DeletedLine("s.txt", "x.txt")), m_log);
    EXPECT_EQ(1, std::count(m_lstOpened.begin(), m_lstOpened.end(), Src("s.txt")));
}

}  // namespace
}  // namespace tandemere::testing::files
