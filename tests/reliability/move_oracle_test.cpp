// Reliability tests: the oracle itself finds each kind of fault it is there to find, and passes a
// move that has none.
#include "tests/reliability/move_oracle.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <vector>

#include "tests/support/platform_backend.h"
#include "tests/support/temp_folder.h"

namespace tandemere::testing {
namespace {

namespace fs = std::filesystem;

struct OracleCase {
    const char* m_pszName;
    std::function<void(const TempFolder&)> m_fnMove;  // what happened on disk
    const char* m_pszLog;
    engine::MoveOutcome m_nOutcome;
    const char* m_pszLost;       // a part of the lost-content report, or "" for none
    const char* m_pszViolation;  // a part of the violations, or "" for none
};

void Rename(const TempFolder& dir, const char* from, const char* to) {
    fs::rename(PathFromUtf8(dir.Path(from)), PathFromUtf8(dir.Path(to)));
}

// One case a kind of fault, from trees of src/a.txt "alpha", src/b.txt "beta" and dst/b.txt "bravo".
std::vector<OracleCase> OracleCases() {
    const char* kMoved =
        "Moved source file \"a.txt\" to destination \"a.txt\" because the source file is unique and the "
        "filename was not already being used.\r\n";
    return {
        {"sound move", [](const TempFolder& d) { Rename(d, "src/a.txt", "dst/a.txt"); }, kMoved,
         engine::MoveFinished, "", ""},
        {"change without its line", [](const TempFolder& d) { Rename(d, "src/a.txt", "dst/a.txt"); }, "",
         engine::MoveFinished, "", "appeared without a log line"},
        {"line without its change", [](const TempFolder&) {}, kMoved, engine::MoveFinished, "",
         "gone without a log line"},
        {"content lost", [](const TempFolder& d) { fs::remove(PathFromUtf8(d.Path("src/a.txt"))); }, "",
         engine::MoveFinished, "src/a.txt", "gone without a log line"},
        {"overwrite that the answer allowed",
         [](const TempFolder& d) {
             fs::remove(PathFromUtf8(d.Path("dst/b.txt")));
             Rename(d, "src/b.txt", "dst/b.txt");
         },
         "Moved source file \"b.txt\" to destination folder, overwriting different existing file "
         "\"b.txt\".\r\n",
         engine::MoveFinished, "", ""},
        {"source deleted for a destination file of other bytes",
         [](const TempFolder& d) { fs::remove(PathFromUtf8(d.Path("src/b.txt"))); },
         "Deleted source file \"b.txt\", because destination file \"b.txt\" is the same.\r\n",
         engine::MoveFinished, "src/b.txt", "does not hold its content"},
        {"stopped without a stop in the log", [](const TempFolder&) {}, "", engine::MoveStopped, "",
         "says stopped"},
        {"stop in the log of a finished move", [](const TempFolder&) {}, "Cancelled by request.",
         engine::MoveFinished, "", "says finished"},
        {"temporary left behind",
         [](const TempFolder& d) { WriteFile(d.Path("dst/.tandemere-abcdefabcdef.part"), "alpha"); }, "",
         engine::MoveFinished, "", "stray temporary"},
    };
}

TEST(MoveOracle, FindsEveryKindOfFaultAndPassesASoundMove) {
    for (const OracleCase& c : OracleCases()) {
        SCOPED_TRACE(c.m_pszName);
        TempFolder dir;
        ASSERT_TRUE(WriteFile(dir.Path("src/a.txt"), "alpha"));
        ASSERT_TRUE(WriteFile(dir.Path("src/b.txt"), "beta"));
        ASSERT_TRUE(WriteFile(dir.Path("dst/b.txt"), "bravo"));
        MoveRecord record;
        record.m_lstBefore = {TreeSnapshot::Take(dir.Root())};
        c.m_fnMove(dir);
        record.m_lstAfter = {TreeSnapshot::Take(dir.Root())};
        record.m_strLog = c.m_pszLog;
        record.m_strSourceRoot = dir.Path("src/");
        record.m_strDestFolder = dir.Path("dst/");
        record.m_nOutcome = c.m_nOutcome;

        const OracleVerdict verdict = JudgeMove(record);
        if (*c.m_pszLost == '\0')
            EXPECT_EQ("", verdict.m_strLost);
        else
            EXPECT_NE(std::string::npos, verdict.m_strLost.find(Native(c.m_pszLost))) << verdict.m_strLost;
        if (*c.m_pszViolation == '\0')
            EXPECT_EQ("", verdict.m_strViolations);
        else
            EXPECT_NE(std::string::npos, verdict.m_strViolations.find(c.m_pszViolation))
                << verdict.m_strViolations;
    }
}

}  // namespace
}  // namespace tandemere::testing
