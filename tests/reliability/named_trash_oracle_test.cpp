// Reliability tests: the oracle follows a file the log says went to a trash it names by a name of
// its own ("the Recycle Bin"), through the entries the record lists for that name.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/reliability/move_oracle.h"
#include "tests/support/temp_folder.h"

namespace tandemere::testing {
namespace {

constexpr const char* kBinLine =
    "Moved source file \"a.txt\" to the Recycle Bin, because destination file \"a.txt\" is the same.\r\n";

TEST(MoveOracle, FollowsAFileIntoATrashOfItsOwnName) {
    struct Case {
        const char* m_pszName;
        const char* m_pszInBin;  // the bytes the bin holds
        const char* m_pszFrom;   // the original path its entry gives, below the tree
        const char* m_pszViolation;
    };
    const Case cases[] = {
        {"in the bin with its bytes and its path", "alpha", "src/a.txt", ""},
        {"in the bin from elsewhere", "alpha", "src/b.txt", "no .trashinfo there names it"},
        {"in the bin with other bytes", "alphA", "src/a.txt", "no .trashinfo there names it"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.m_pszName);
        TempFolder dir;
        TempFolder bin;
        ASSERT_TRUE(WriteFile(dir.Path("src/a.txt"), "alpha"));
        ASSERT_TRUE(WriteFile(dir.Path("dst/a.txt"), "alpha"));
        MoveRecord record;
        record.m_lstBefore = {TreeSnapshot::Take(dir.Root())};
        std::filesystem::remove(PathFromUtf8(dir.Path("src/a.txt")));
        ASSERT_TRUE(WriteFile(bin.Path("files/a.txt"), c.m_pszInBin));
        record.m_lstAfter = {TreeSnapshot::Take(dir.Root())};
        record.m_lstTrashes = {TreeSnapshot::Take(bin.Path("files"))};
        record.m_mapNamedTrashes["the Recycle Bin"] = {bin.Root(),
                                                       {{"a.txt", dir.Path(c.m_pszFrom), "", ""}}};
        record.m_strLog = kBinLine;
        record.m_strSourceRoot = dir.Path("src/");
        record.m_strDestFolder = dir.Path("dst/");

        const OracleVerdict verdict = JudgeMove(record);
        EXPECT_EQ("", verdict.m_strLost);
        if (*c.m_pszViolation == '\0')
            EXPECT_EQ("", verdict.m_strViolations);
        else
            EXPECT_NE(std::string::npos, verdict.m_strViolations.find(c.m_pszViolation))
                << verdict.m_strViolations;
    }
}

}  // namespace
}  // namespace tandemere::testing
