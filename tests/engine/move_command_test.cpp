// Engine tests: the move command as a whole: progress, counting, Cancel, shown paths, logging.
#include <gtest/gtest.h>

#include "tests/engine/move_fixture.h"

namespace tandemere::testing {
namespace {

using engine::MoveFinished;
using engine::MoveStopped;

class MoveCommandTest : public MoveFixture {};

TEST_F(MoveCommandTest, EmptyDropOpensAndClosesProgressAndShowsEmptyLog) {
    EXPECT_EQ(MoveFinished, Run({}));
    EXPECT_EQ(1, m_ui.m_nProgressCreated);
    EXPECT_EQ(1, m_ui.m_nProgressDestroyed);
    EXPECT_EQ(std::vector<std::uint32_t>{0}, m_ui.m_lstProgressRanges);
    EXPECT_EQ(1, m_ui.m_nLogsShown);
    EXPECT_EQ("", m_ui.m_strShownLog);
}

TEST_F(MoveCommandTest, MovesEachItemInDropOrderAndAdvancesProgress) {
    ASSERT_TRUE(WriteFile(Src("one.txt"), "first file"));
    ASSERT_TRUE(WriteFile(Src("two.txt"), "second file!"));
    ASSERT_TRUE(WriteFile(Src("Photos/a.jpg"), "jpeg bytes"));
    m_ui.m_hActiveWindow = reinterpret_cast<engine::WindowHandle>(0xBEEF);

    EXPECT_EQ(MoveFinished, Run({Src("two.txt"), Src("one.txt"), Src("Photos")}));

    EXPECT_EQ(UniqueLine("two.txt", "two.txt") + UniqueLine("one.txt", "one.txt") +
                  Native("Moved source folder \"Photos/\" to destination as \"Photos/\".\r\n"),
              m_log);
    EXPECT_EQ(m_log, m_ui.m_strShownLog);
    EXPECT_EQ("jpeg bytes", ReadFile(Dst("Photos/a.jpg")));
    EXPECT_EQ(std::vector<std::uint32_t>{4}, m_ui.m_lstProgressRanges);  // 3 items + a.jpg
    EXPECT_EQ((std::vector<std::int32_t>{1, 2, 3}), m_ui.m_lstProgressPositions);
    EXPECT_EQ((std::vector<std::string>{Src("two.txt"), Src("one.txt"), Src("Photos")}),
              m_ui.m_lstProgressItems);
    EXPECT_EQ(3, m_ui.m_nPumps);
    EXPECT_EQ(1, m_ui.m_nProgressDestroyed);
    EXPECT_EQ(1, m_ui.m_nLogsShown);
    EXPECT_EQ(0u, m_ui.m_lstErrors.size());
}

TEST_F(MoveCommandTest, AUniqueFileCostsItsMoveAndTwoLookupsAndEachFolderIsComparedOnce) {
    // Five files of five sizes, none of which the destination has.
    ASSERT_TRUE(WriteFile(Dst("old.dat"), "0123456789"));
    std::vector<std::string> dropped;
    for (const std::string name : {"a", "b", "c"}) {
        ASSERT_TRUE(WriteFile(Src(name), name + std::string(name[0] - 'a', '+')));
        dropped.push_back(Src(name));
    }
    ASSERT_TRUE(WriteFile(Src("sub/d"), "dddd"));
    ASSERT_TRUE(WriteFile(Src("sub/e"), "eeeee"));
    ASSERT_TRUE(MakeFolders(Dst("sub")));
    dropped.push_back(Src("sub"));
    EXPECT_EQ(MoveFinished, Run(dropped));
    EXPECT_EQ(0, m_fs.Calls(Op::OpenRead));
    EXPECT_EQ(0, m_fs.Calls(Op::IsFolder));
    EXPECT_EQ(5, m_fs.Calls(Op::Move));
    // Each file: itself and its name in the destination; the folder: itself and its counterpart.
    EXPECT_EQ(2 * 5 + 2, m_fs.Calls(Op::Lookup));
    // The dropped items' folder against the destination, then the merged pair.
    EXPECT_EQ(2, m_fs.Calls(Op::IsSameObject));
}

TEST_F(MoveCommandTest, CancelDuringThirdOfFiveFinishesItAndSkipsTheRest) {
    std::vector<std::string> dropped;
    for (int i = 1; i <= 5; ++i) {
        const std::string name = "f" + std::to_string(i) + ".txt";
        ASSERT_TRUE(WriteFile(Src(name), std::string(static_cast<std::size_t>(i), 'x')));
        dropped.push_back(Src(name));
    }
    m_ui.CancelAtPump(3);

    EXPECT_EQ(MoveStopped, Run(dropped));

    EXPECT_EQ(UniqueLine("f1.txt", "f1.txt") + UniqueLine("f2.txt", "f2.txt") +
                  UniqueLine("f3.txt", "f3.txt") + "Cancelled by request.",
              m_log);
    for (int i = 1; i <= 5; ++i) {
        const std::string name = "f" + std::to_string(i) + ".txt";
        SCOPED_TRACE(name);
        EXPECT_EQ(i <= 3, Exists(Dst(name)));
        EXPECT_EQ(i > 3, Exists(Src(name)));
    }
    EXPECT_EQ(1, m_ui.m_nProgressDestroyed);
    EXPECT_EQ(1, m_ui.m_nLogsShown);
    EXPECT_EQ(m_log, m_ui.m_strShownLog);
}

TEST_F(MoveCommandTest, CountsEntriesBelowDroppedFoldersSkippingOnlyDotEntriesAndLinks) {
    TANDEMERE_SKIP_WITHOUT_LINKS();
    ASSERT_TRUE(WriteFile(Src("Work/a.txt"), "a"));
    ASSERT_TRUE(WriteFile(Src("Work/.hidden"), "h"));
    ASSERT_TRUE(WriteFile(Src("Work/sub/b.txt"), "b"));
    ASSERT_TRUE(WriteFile(Src("Work/.git/config"), "c"));
    ASSERT_TRUE(WriteFile(Src("Big/x/y/z.txt"), "z"));
    ASSERT_TRUE(MakeSymlink(Src("Big"), Src("Work/sub/big-link")));
    ASSERT_TRUE(MakeSymlink(Src("Big"), Src("dropped-link")));

    engine::MoveCommand command(m_fs, m_settings, m_ui);
    struct Case {
        const char* m_szName;
        std::vector<std::string> m_lstDropped;
        std::uint32_t m_nTotal;
    };
    const Case cases[] = {
        {"folder with a.txt, .hidden, sub/b.txt, a link and .git/config", {Src("Work")}, 1 + 7},
        {"a dropped link to a folder counts once", {Src("dropped-link")}, 1},
        {"a missing path counts once", {Src("missing")}, 1},
        {"several", {Src("Work"), Src("Big"), Src("Work/a.txt")}, 8 + 4 + 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.m_szName);
        command.m_lstDropped.assign(c.m_lstDropped.begin(), c.m_lstDropped.end());
        EXPECT_EQ(c.m_nTotal, command.CountItems());
    }
    EXPECT_EQ(0u, command.CountFolderEntries(Src("missing")));
    EXPECT_EQ(0u, command.CountFolderEntries(Src("Work/a.txt")));
}

TEST_F(MoveCommandTest, FolderThatCannotBeListedCountsZero) {
    ASSERT_TRUE(WriteFile(Src("Work/a.txt"), "a"));
    ASSERT_TRUE(WriteFile(Src("Work/b.txt"), "b"));
    m_fs.FailPath(FaultyFileSystem::Operation::ListFolder, Src("Work"));
    engine::MoveCommand command(m_fs, m_settings, m_ui);
    command.AddDropped(Src("Work"));
    EXPECT_EQ(1u, command.CountItems());
}

TEST_F(MoveCommandTest, ShownPathsAreRelativeToTheirRootsUnlessFullPathsOrOutsideTheRoot) {
    ASSERT_TRUE(WriteFile(Src("Work/Photos/a.jpg"), "photo a"));
    ASSERT_TRUE(WriteFile(Src("Work/Photos/b.jpg"), "photo bb"));
    ASSERT_TRUE(WriteFile(Src("Other/folder/c-with-a-long-name.txt"), "other c"));
    ASSERT_TRUE(MakeFolders(Dst("Photos")));

    // Items dragged from two folders: the second folder's item is shown whole.
    EXPECT_EQ(MoveFinished,
              Run({Src("Work/Photos/a.jpg"), Src("Other/folder/c-with-a-long-name.txt")}, Dst("Photos")));
    EXPECT_EQ(UniqueLine("a.jpg", "a.jpg") +
                  UniqueLine(Src("Other/folder/c-with-a-long-name.txt"), "c-with-a-long-name.txt"),
              m_log);

    WriteSettings("\"FullPaths\"=dword:00000001\n");
    EXPECT_EQ(MoveFinished, Run({Src("Work/Photos/b.jpg")}));
    EXPECT_EQ(UniqueLine(Src("Work/Photos/b.jpg"), Dst("b.jpg")), m_log);
}

TEST_F(MoveCommandTest, AnItemFromBelowTheDestinationIsShownWholeWhenBothRootsAreAsLong) {
    // "src" and "dst" are as long: the destination must not pass for the second item's root.
    ASSERT_EQ(Src().size(), Dst().size());
    ASSERT_TRUE(WriteFile(Src("a.txt"), "alpha"));
    ASSERT_TRUE(WriteFile(Dst("sub/b.txt"), "beta"));
    EXPECT_EQ(MoveFinished, Run({Src("a.txt"), Dst("sub/b.txt")}, Dst(), {"sub/b.txt"}));
    EXPECT_EQ(UniqueLine("a.txt", "a.txt") + UniqueLine(Dst("sub/b.txt"), "b.txt"), m_log);
}

// What counting saw of a dropped item is stale once an earlier item renamed it or moved it along:
// the item is looked at afresh, so the log never names a state that is gone.
TEST_F(MoveCommandTest, AnItemAnEarlierItemRenamedOrTookAlongIsLookedAtAfresh) {
    ASSERT_TRUE(WriteFile(Src("s.txt"), "same"));
    ASSERT_TRUE(WriteFile(Dst("z.txt"), "same"));
    ASSERT_TRUE(WriteFile(Src("folder/a.txt"), "alpha"));
    SetRemembered("SameFileDiffNameDlgDefault", engine::AnswerSecond);
    EXPECT_EQ(MoveStopped, Run({Src("s.txt"), Dst("z.txt")}, Dst(), {"z.txt", "s.txt"}));
    EXPECT_EQ(
        "Deleted source file \"s.txt\" and renamed identical destination file from \"z.txt\" to "
        "\"s.txt\". (stored answer)\r\n" +
            FailedLog("ERROR: Couldn't find \"" + Dst("z.txt") + "\"", false,
                      RealReason(m_log, "ERROR: Couldn't find \"" + Dst("z.txt") + "\"",
                                 "No such file or directory")),
        m_log);

    EXPECT_EQ(MoveStopped, Run({Src("folder"), Src("folder/a.txt")}));
    EXPECT_EQ(FailedLog("ERROR: Couldn't find \"" + Src("folder/a.txt") + "\"", false,
                        RealReason(m_log, "ERROR: Couldn't find \"" + Src("folder/a.txt") + "\"",
                                   "No such file or directory")),
              m_log.substr(m_log.find("ERROR")));
    EXPECT_EQ("alpha", ReadFile(Dst("folder/a.txt")));
}

TEST_F(MoveCommandTest, ShownPathHelperCutsOnlyARealPrefix) {
    engine::MoveCommand command(m_fs, m_settings, m_ui);
    // Paths written with '/' in the platform's separator: the rules are those of its path style.
    command.SetDestFolder(Native("/d/Archive"));
    command.m_szSourceRoot = Native("/w/");
    command.m_nSourceRootLen = 3;
    EXPECT_EQ(Native("/d/Archive/"), command.m_szDestFolder);
    EXPECT_EQ(11u, command.m_nDestFolderLen);
    struct Case {
        std::string m_strPath;
        std::string m_strRoot;
        bool m_bFull;
        std::string m_strShown;
    };
    const std::string sourceRoot = command.m_szSourceRoot, destFolder = command.m_szDestFolder;
    const Case cases[] = {
        {"/w/Photos/a.jpg", sourceRoot, false, "Photos/a.jpg"},
        {"/w/Photos/a.jpg", sourceRoot, true, "/w/Photos/a.jpg"},
        {"/d/Archive/a.jpg", destFolder, false, "a.jpg"},
        {"/x/Photos/a.jpg", sourceRoot, false, "/x/Photos/a.jpg"},
        {"/d/Other/a.jpg", destFolder, false, "/d/Other/a.jpg"},
        {"/w", sourceRoot, false, "/w"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.m_strPath);
        command.m_bFullPaths = c.m_bFull;
        EXPECT_EQ(Native(c.m_strShown), command.GetShownPath(Native(c.m_strPath), c.m_strRoot));
    }
}

TEST_F(MoveCommandTest, LoggingOffKeepsTheMoveButWritesAndShowsNoLog) {
    ASSERT_TRUE(WriteFile(Src("a.txt"), "alpha"));
    WriteSettings("\"Logging\"=dword:00000000\n");
    EXPECT_EQ(MoveStopped, Run({Src("a.txt"), Src("missing.txt")}));
    EXPECT_TRUE(Exists(Dst("a.txt")));
    EXPECT_EQ("", m_log);
    EXPECT_EQ(0, m_ui.m_nLogsShown);
    ASSERT_EQ(1u, m_ui.m_lstErrors.size());  // boxes still appear
    EXPECT_EQ(Failed("ERROR: Couldn't find \"" + Src("missing.txt") + "\"",
                     RealReason(m_ui.m_lstErrors[0], "ERROR: Couldn't find \"" + Src("missing.txt") + "\"",
                                "No such file or directory")),
              m_ui.m_lstErrors[0]);
}

TEST_F(MoveCommandTest, ErrorsAreOwnedByTheInvokingWindowAndTheLogByTheActiveOne) {
    ASSERT_TRUE(WriteFile(Src("b.txt"), "bravo"));
    m_ui.m_hActiveWindow = reinterpret_cast<engine::WindowHandle>(0xAC71);
    EXPECT_EQ(MoveStopped, Run({Src("missing.txt"), Src("b.txt")}));
    ASSERT_EQ(1u, m_ui.m_lstErrorOwners.size());
    EXPECT_EQ(kOwner, m_ui.m_lstErrorOwners[0]);
    EXPECT_EQ(FailedLog("ERROR: Couldn't find \"" + Src("missing.txt") + "\"", false,
                        RealReason(m_log, "ERROR: Couldn't find \"" + Src("missing.txt") + "\"",
                                   "No such file or directory")),
              m_log);
    EXPECT_TRUE(Exists(Src("b.txt")));  // the stop skips the rest
}

TEST_F(MoveCommandTest, ItemAlreadyInTheDropFolderIsLeftAloneWhateverTheSpelling) {
    ASSERT_TRUE(WriteFile(Dst("only-copy.txt"), "the only copy"));
    ASSERT_TRUE(WriteFile(Dst("Album/p.jpg"), "the only photo"));
    // Another spelling of the drop folder: through a link, or in other letter case where names ignore it.
    std::string viaLink;
    if (CanMakeLinks()) {
        ASSERT_TRUE(MakeSymlink(Dst(), m_tmp.Path("dst-link")));
        viaLink = m_tmp.Path("dst-link");
    } else {
        ASSERT_TRUE(m_realFs.Style().m_bIgnoreCase) << kNoLinksReason;
        viaLink = Dst();
        for (char& c : viaLink)
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }

    EXPECT_EQ(MoveFinished, Run({Dst("only-copy.txt"), Dst("Album")}, viaLink, {}, {Src()}, Dst()));
    EXPECT_EQ(
        "Left \"only-copy.txt\" alone, because it already lies in the destination folder.\r\n"
        "Left \"Album\" alone, because it already lies in the destination folder.\r\n",
        m_log);
    EXPECT_EQ("the only copy", ReadFile(Dst("only-copy.txt")));
    EXPECT_EQ("the only photo", ReadFile(Dst("Album/p.jpg")));
    EXPECT_EQ(0u, m_ui.m_lstErrors.size());
}

TEST_F(MoveCommandTest, PathTooLongForThePlatformIsReportedAndTheMoveGoesOn) {
    // The longest folder name that fits with two characters to spare: its free name "... (2)" does
    // not fit (a name of 253 bytes where names are limited, shorter where the whole path is).
    std::string name(253, 'n');
    while (!name.empty() && !m_realFs.PathFits(Src(name) + "xx")) name.pop_back();
#if defined(_WIN32) && !defined(_WIN64)
    // The 32-bit runtime's folder listing, which the snapshots use, takes no extended paths and
    // stops at MAX_PATH; the contents are checked one by one below instead.
    m_bCheckInvariant = false;
#endif
    ASSERT_TRUE(WriteFile(Src(name + "/a.txt"), "inside"));
    ASSERT_TRUE(WriteFile(Dst(name), "a file of that name"));
    ASSERT_TRUE(WriteFile(Src("b.txt"), "bravo two"));
    EXPECT_EQ(MoveFinished, Run({Src(name), Src("b.txt")}));
    const std::string error = "ERROR: Path \"" + Dst(name + " (2)") + "\" is too long";
    EXPECT_EQ(std::vector<std::string>{error}, m_ui.m_lstErrors);
    EXPECT_EQ(error + "\r\n" + UniqueLine("b.txt", "b.txt"), m_log);
    const auto folderOf = [](std::string path) { return path.substr(0, path.size() - 1); };
    EXPECT_EQ("From \"" + folderOf(Src("x")) + "\" into \"" + folderOf(Dst("x")) + "\"",
              m_ui.m_strShownLogHeader);

    // Two refusals in one move: one box lists both, the log has a line for each.
    std::string other = name;
    other.back() = 'm';
    ASSERT_TRUE(WriteFile(Src(other + "/c.txt"), "inside too"));
    ASSERT_TRUE(WriteFile(Dst(other), "another file of that name"));
    m_ui.m_lstErrors.clear();
    EXPECT_EQ(MoveFinished, Run({Src(name), Src(other)}));
    EXPECT_EQ(
        std::vector<std::string>{
            "ERROR: These paths are too long, so their items were left where they are:\r\n" +
            Dst(name + " (2)") + "\r\n" + Dst(other + " (2)")},
        m_ui.m_lstErrors);
    EXPECT_EQ(0u, m_ui.m_lstChoicePrompts.size());
    EXPECT_EQ("inside", ReadFile(Src(name + "/a.txt")));
    EXPECT_EQ("inside too", ReadFile(Src(other + "/c.txt")));
    EXPECT_EQ("a file of that name", ReadFile(Dst(name)));
    EXPECT_EQ("bravo two", ReadFile(Dst("b.txt")));
}

}  // namespace
}  // namespace tandemere::testing
