// Engine tests: content comparison seen through whole moves: what is read, what counts as the same, and every
// failure text.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/engine/move_fixture.h"

namespace tandemere::testing::files {
namespace {

int CountOf(const std::vector<std::string>& list, const std::string& item) {
    return static_cast<int>(std::count(list.begin(), list.end(), item));
}

bool OverwriteFirstByte(const std::string& path, char byte) {
    std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out);
    file.put(byte);
    return static_cast<bool>(file);
}

TEST_F(FileMoves, EqualSizeAndBytesAloneMakeFilesTheSame) {
    struct Case {
        const char* m_pszWhat;
        std::string m_strSource;
        std::string m_strDest;
        bool m_bSame;
    };
    const Case cases[] = {
        {"two empty files", "", "", true},
        {"equal bytes", "abc\0def", "abc\0def", true},
        {"first byte differs", "Xbcdef", "abcdef", false},
        {"last byte differs", "abcdeX", "abcdef", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.m_pszWhat);
        StartCase();
        SetRemembered("DiffFileSameNameDlgDefault", engine::AnswerThird);
        ASSERT_TRUE(WriteFile(Src("f.dat"), c.m_strSource));
        ASSERT_TRUE(WriteFile(Dst("f.dat"), c.m_strDest));
        EXPECT_EQ(engine::MoveFinished, Run({Src("f.dat")}));
        EXPECT_EQ(!c.m_bSame, Exists(Src("f.dat")));
        EXPECT_EQ(c.m_bSame
                      ? DeletedLine("f.dat", "f.dat")
                      : Stored("Left source file \"f.dat\" alone, given existence of differing destination "
                               "file \"f.dat\".\r\n"),
                  m_log);
        EXPECT_TRUE(m_ui.m_lstErrors.empty());
    }
}

TEST_F(FileMoves, FilesOfAnotherSizeAreNeverOpened) {
    SetRemembered("DiffFileSameNameDlgDefault", engine::AnswerThird);
    ASSERT_TRUE(WriteFile(Src("a.txt"), "four"));
    ASSERT_TRUE(WriteFile(Dst("a.txt"), "five!"));
    ASSERT_TRUE(WriteFile(Dst("b.txt"), "three"));
    ASSERT_TRUE(MakeFolders(Dst("c.txt")));
    EXPECT_EQ(engine::MoveFinished, Run({Src("a.txt")}));
    EXPECT_TRUE(m_lstOpened.empty());
    EXPECT_TRUE(Exists(Src("a.txt")));
}

TEST_F(FileMoves, TheSourceIsReadOnceForAllCandidatesOfItsSize) {
    ASSERT_TRUE(WriteFile(Src("s.bin"), "0123456789"));
    ASSERT_TRUE(WriteFile(Dst("s.bin"), "0123456780"));
    for (const char* name : {"p.bin", "q.bin", "r.bin"})
        ASSERT_TRUE(WriteFile(Dst(name), std::string(name) + "-----"));
    m_ui.QueueAnswer(engine::AnswerThird);
    EXPECT_EQ(engine::MoveFinished, Run({Src("s.bin")}));
    EXPECT_EQ(1, CountOf(m_lstOpened, Src("s.bin")));
    EXPECT_EQ(5, static_cast<int>(m_lstOpened.size()));  // the source, the same-name file, three others
    ASSERT_EQ(1u, m_ui.m_lstClashPrompts.size());
}

TEST_F(FileMoves, EachDestinationFileIsReadOnceAMoveAndTheFilesItPlacesNever) {
    // Four sources and three destination files of one size, every content different.
    for (const char* name : {"p.bin", "q.bin", "r.bin"})
        ASSERT_TRUE(WriteFile(Dst(name), std::string(name) + "-dst-"));
    std::vector<std::string> dropped;
    for (const char* name : {"a.bin", "b.bin", "c.bin", "d.bin"}) {
        ASSERT_TRUE(WriteFile(Src(name), std::string(name) + "-src-"));
        dropped.push_back(Src(name));
    }
    EXPECT_EQ(engine::MoveFinished, Run(dropped));
    for (const char* name : {"p.bin", "q.bin", "r.bin"})
        EXPECT_EQ(1, CountOf(m_lstOpened, Dst(name))) << name;
    for (const char* name : {"a.bin", "b.bin", "c.bin", "d.bin"}) {
        EXPECT_EQ(1, CountOf(m_lstOpened, Src(name))) << name;
        EXPECT_EQ(0, CountOf(m_lstOpened, Dst(name))) << name;
    }
    EXPECT_TRUE(m_ui.m_lstErrors.empty());
}

TEST_F(FileMoves, AFileIdenticalToOneTheMovePlacedIsStillFoundAndConfirmedOnDisk) {
    ASSERT_TRUE(WriteFile(Src("a.bin"), "twin"));
    ASSERT_TRUE(MakeFolders(Src("sub")));
    ASSERT_TRUE(WriteFile(Src("sub/b.bin"), "twin"));
    ASSERT_TRUE(WriteFile(Dst("other.bin"), "diff"));  // so both sources are read and digested
    SetRemembered("SameFileDiffNameDlgDefault", engine::AnswerFirst);
    EXPECT_EQ(engine::MoveFinished, Run({Src("a.bin"), Src("sub/b.bin")}));
    EXPECT_EQ(UniqueLine("a.bin", "a.bin") + Stored(DeletedLine(Native("sub/b.bin"), "a.bin")), m_log);
    // The digest only pointed at it: its bytes were compared before the source was deleted.
    EXPECT_EQ(1, CountOf(m_lstOpened, Dst("a.bin")));
}

TEST_F(FileMoves, ADigestIsNotTrustedOnceItsFileChanged) {
    ASSERT_TRUE(WriteFile(Dst("x.bin"), "AAAA", TicksFromUnixTime(1600000000)));
    ASSERT_TRUE(WriteFile(Keep("x.bin"), "AAAA"));  // the bytes the change below overwrites
    ASSERT_TRUE(WriteFile(Src("a.bin"), "BBBB"));   // digests x.bin on its way in
    ASSERT_TRUE(MakeFolders(Src("sub")));
    ASSERT_TRUE(WriteFile(Src("sub/x.bin"), "CCCC"));
    // Between the two items (before the second looks at its name) x.bin takes the second source's
    // bytes, in the same size.
    int lookups = 0;
    m_fs.m_fnBeforeCall = [&](Op op, const std::string& path) {
        if (op == Op::Lookup && path == Dst("x.bin") && ++lookups == 2)
            WriteFile(Dst("x.bin"), "CCCC", TicksFromUnixTime(1700000000));
    };
    EXPECT_EQ(engine::MoveFinished, Run({Src("a.bin"), Src("sub/x.bin")}, {}, {"x.bin"}));
    EXPECT_EQ(UniqueLine("a.bin", "a.bin") + DeletedLine(Native("sub/x.bin"), "x.bin"), m_log);
    EXPECT_TRUE(m_ui.m_lstClashPrompts.empty());
}

TEST_F(FileMoves, ADifferenceAtTheStartOfLargeFilesIsFoundAfterAFewKibibytes) {
    // Streamed sources and sources kept whole alike.
    for (const std::uint64_t size : {engine::kSourceInMemoryLimit + 5, std::uint64_t{3} * 1024 * 1024}) {
        SCOPED_TRACE(size);
        StartCase();
        ASSERT_TRUE(WriteSparseFile(Src("big.img"), size, 'a'));
        ASSERT_TRUE(WriteSparseFile(Dst("big.img"), size, 'a'));
        ASSERT_TRUE(OverwriteFirstByte(Dst("big.img"), 'X'));
        m_ui.QueueAnswer(engine::AnswerThird);
        EXPECT_EQ(engine::MoveFinished, Run({Src("big.img")}));
        ASSERT_EQ(1u, m_ui.m_lstClashPrompts.size());
        EXPECT_LE(m_fs.m_mapBytesRead[Dst("big.img")], 64u * 1024);
        EXPECT_LE(m_fs.m_mapBytesRead[Src("big.img")], 64u * 1024);
    }
}

TEST_F(FileMoves, ACandidateGoneBeforeItsComparisonIsPassedOverAndTheSearchGoesOn) {
    ASSERT_TRUE(WriteFile(Src("s.txt"), "same bytes"));
    ASSERT_TRUE(WriteFile(Dst("x.txt"), "same bytes"));
    ASSERT_TRUE(WriteFile(Dst("y.txt"), "same bytes"));
    // The index is built before the source is opened; the first candidate in listing order
    // then disappears.
    std::vector<engine::DirEntry> listing;
    ASSERT_TRUE(m_realFs.ListFolder(Dst(), listing).IsOk());
    std::string first, second;
    for (const engine::DirEntry& entry : listing) {
        if (entry.m_strName != "x.txt" && entry.m_strName != "y.txt") continue;
        (first.empty() ? first : second) = entry.m_strName;
    }
    m_fnBeforeOpen = [&](const std::string& path) {
        if (path == Src("s.txt")) std::remove(Dst(first).c_str());
    };
    SetRemembered("SameFileDiffNameDlgDefault", engine::AnswerFirst);
    EXPECT_EQ(engine::MoveFinished, Run({Src("s.txt")}, {}, {first}));
    EXPECT_TRUE(m_ui.m_lstErrors.empty());
    EXPECT_EQ(Stored(DeletedLine("s.txt", second)), m_log);
    EXPECT_FALSE(Exists(Src("s.txt")));
}

TEST_F(FileMoves, ACandidateThatChangedSizeIsNotTheSame) {
    ASSERT_TRUE(WriteFile(Src("s.txt"), "same bytes"));
    ASSERT_TRUE(WriteFile(Dst("x.txt"), "same bytes"));
    m_fnBeforeOpen = [&](const std::string& path) {
        if (path == Src("s.txt")) WriteFile(Dst("x.txt"), "same bytes, and more");
    };
    EXPECT_EQ(engine::MoveFinished, Run({Src("s.txt")}, {}, {"x.txt"}));
    EXPECT_EQ(UniqueLine("s.txt", "s.txt"), m_log);
}

TEST_F(FileMoves, LargeSourcesAreStreamedAndADifferenceInTheLastBlockCounts) {
    const std::uint64_t size = engine::kSourceInMemoryLimit + 3 * 1024 * 1024 + 17;
    ASSERT_TRUE(WriteSparseFile(Src("big.img"), size, 'a'));
    ASSERT_TRUE(WriteSparseFile(Dst("big.img"), size, 'b'));
    ASSERT_TRUE(WriteSparseFile(Dst("copy.img"), size, 'a'));
    SetRemembered("SameFileDiffNameDlgDefault", engine::AnswerFirst);
    EXPECT_EQ(engine::MoveFinished, Run({Src("big.img")}));
    EXPECT_EQ(Stored(DeletedLine("big.img", "copy.img")), m_log);
    // Streamed, the source is read again beside each candidate of its size.
    EXPECT_EQ(2, CountOf(m_lstOpened, Src("big.img")));
}

TEST_F(FileMoves, ALongComparisonLetsMessagesThroughAndItsCancelEndsTheMoveAfterTheItem) {
    const std::string bytes(3 * 1024 * 1024 + 5, 'x');
    ASSERT_TRUE(WriteFile(Src("big.bin"), bytes));
    ASSERT_TRUE(WriteFile(Dst("big.bin"), bytes));
    ASSERT_TRUE(WriteFile(Src("next.txt"), "next"));
    // From its first open on, the comparison lasts longer than the keep-alive's interval.
    bool slept = false;
    m_fnBeforeOpen = [&slept](const std::string&) {
        if (!slept) std::this_thread::sleep_for(engine::kKeepAliveInterval + std::chrono::milliseconds(10));
        slept = true;
    };
    m_ui.CancelAtPump(1);  // pressed while the comparison runs
    EXPECT_EQ(engine::MoveStopped, Run({Src("big.bin"), Src("next.txt")}));
    EXPECT_GE(m_ui.m_nPumps, 2) << "no message was let through during the comparison";
    EXPECT_EQ(DeletedLine("big.bin", "big.bin") + "Cancelled by request.", m_log);
    EXPECT_TRUE(Exists(Src("next.txt")));
}

// Past 4 GiB the bytes are compared to the end (sparse files: no disk is spent), and the file moves.
TEST_F(FileMoves, FilesOfFourGibibytesOrMoreAreComparedToTheirEndAndMoved) {
    const std::uint64_t big = (std::uint64_t{4} << 30) + 5;
    ASSERT_TRUE(WriteSparseFile(Src("huge.bin"), big, 'q'));
    ASSERT_TRUE(WriteSparseFile(Dst("huge.bin"), big, 'r'));
    m_bCheckInvariant = false;  // it would read the files once more
    m_ui.QueueAnswer(engine::AnswerSecond);
    EXPECT_EQ(engine::MoveFinished, Run({Src("huge.bin")}));
    EXPECT_TRUE(m_ui.m_lstErrors.empty());
    ASSERT_EQ(1u, m_ui.m_lstClashPrompts.size());
    EXPECT_FALSE(Exists(Src("huge.bin")));
    std::error_code error;
    EXPECT_EQ(big, std::filesystem::file_size(PathFromUtf8(Dst("huge (2).bin")), error));
}

TEST_F(FileMoves, EveryComparisonFailureIsReportedAndEndsTheMove) {
    struct Case {
        const char* m_pszWhat;
        Op m_nOp;
        int m_nCall;
        std::string m_strError;
    };
    // Calls in order: the source is opened and read, then the destination file.
    const Case cases[] = {
        {"source open", Op::OpenRead, 1, "ERROR: Couldn't open source file: \"%SRC%\""},
        {"source read", Op::Read, 1, "ERROR: Couldn't read source file: \"%SRC%\""},
        {"destination open", Op::OpenRead, 2, "ERROR: Couldn't open destination file: \"%DST%\""},
        {"destination read", Op::Read, 3, "ERROR: Couldn't read destination file: \"f.txt\""},
    };
    for (const Case& c : cases) {
        for (const bool skip : {false, true}) {
            SCOPED_TRACE(std::string(c.m_pszWhat) + (skip ? ", skipped" : ", stopped"));
            StartCase();
            m_ui.SkipErrors(skip);
            ASSERT_TRUE(WriteFile(Src("f.txt"), "0123"));
            ASSERT_TRUE(WriteFile(Src("later.txt"), "later"));
            ASSERT_TRUE(WriteFile(Dst("f.txt"), "0124"));
            FailAt(c.m_nOp, c.m_nCall);
            EXPECT_EQ(skip ? engine::MoveFinished : engine::MoveStopped,
                      Run({Src("f.txt"), Src("later.txt")}));
            const std::string error =
                WithPaths(c.m_strError, {{"%SRC%", Src("f.txt")}, {"%DST%", Dst("f.txt")}});
            EXPECT_EQ(std::vector<std::string>{Failed(error)}, m_ui.m_lstErrors);
            EXPECT_EQ(0u, m_log.rfind(FailedLog(error, skip), 0)) << m_log;
            EXPECT_TRUE(Exists(Src("f.txt")));
            EXPECT_EQ(!skip, Exists(Src("later.txt")));
            EXPECT_TRUE(m_ui.m_lstClashPrompts.empty());
        }
    }
}

}  // namespace
}  // namespace tandemere::testing::files
