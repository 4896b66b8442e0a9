// Tests of the test helpers: temporary folders and the content invariant must catch real faults.
#include "tests/support/tree_snapshot.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/support/status_assert.h"
#include "tests/support/temp_folder.h"

namespace tandemere::testing {
namespace {

namespace fs = std::filesystem;

TEST(TempFolderTest, IsUniqueAndRemovedWithReadOnlyContents) {
    std::string kept;
    {
        TempFolder a;
        TempFolder b;
        ASSERT_TRUE(a.IsValid());
        ASSERT_NE(a.Root(), b.Root());
        ASSERT_TRUE(WriteFile(a.Path("deep/inner/f.txt"), "x"));
        ASSERT_TRUE(SetMode(a.Path("deep/inner"), 0555));
        ASSERT_TRUE(SetMode(a.Path("deep"), 0));
        kept = a.Root();
    }
    EXPECT_FALSE(Exists(kept));
}

TEST(TempFolderTest, WritesBytesTimesAndLinks) {
    TempFolder folder;
    const std::string bytes("a\0b\xff", 4);
    const std::uint64_t ticks = TicksFromUnixTime(1500000000, 123456700);
    ASSERT_TRUE(WriteFile(folder.Path("f.bin"), bytes, ticks));
    EXPECT_EQ(ReadFile(folder.Path("f.bin")), bytes);
    EXPECT_EQ(LastWriteTime(folder.Path("f.bin")), ticks);
    EXPECT_EQ(TicksFromUnixTime(0), 116444736000000000ULL);
    ASSERT_TRUE(MakeFolders(folder.Path("sub/empty")));
    ASSERT_TRUE(MakeSymlink("nowhere", folder.Path("sub/dangling")));
    EXPECT_TRUE(Exists(folder.Path("sub/dangling")));
    EXPECT_FALSE(TryReadFile(folder.Path("sub/dangling")).has_value());
    const std::vector<std::string> expected = {"f.bin (4)", "sub/", "sub/dangling -> nowhere", "sub/empty/"};
    EXPECT_EQ(ListTree(folder.Root()), expected);
}

TEST(MoveInvariantTest, HoldsForAPlainMoveAndAnAllowedOverwrite) {
    TempFolder src, dst;
    ASSERT_TRUE(WriteFile(src.Path("a.txt"), "alpha"));
    ASSERT_TRUE(MakeSymlink("a.txt", src.Path("l")));
    ASSERT_TRUE(WriteFile(dst.Path("keep.txt"), "keep"));
    ASSERT_TRUE(WriteFile(dst.Path("old.txt"), "old"));
    MoveInvariant invariant({src.Root()}, dst.Root());
    fs::rename(src.Path("a.txt"), dst.Path("a.txt"));
    fs::rename(src.Path("l"), dst.Path("l"));
    EXPECT_EQ(invariant.Check(), "");
    // Overwriting old.txt keeps every source content but changes a destination file.
    ASSERT_TRUE(WriteFile(dst.Path("old.txt"), "alpha"));
    EXPECT_NE(invariant.Check().find("old.txt"), std::string::npos);
    EXPECT_NE(invariant.Check({"old.txt"}).find("content lost"), std::string::npos)
        << "old content \"old\" is gone even where the overwrite was allowed";
}

TEST(MoveInvariantTest, ReportsLostChangedAndTouchedEntries) {
    struct Case {
        const char* m_pszName;
        void (*m_pfnAct)(const TempFolder& src, const TempFolder& dst);
        const char* m_pszExpected;
    };
    const Case cases[] = {
        {"source deleted", [](const TempFolder& s, const TempFolder&) { fs::remove(s.Path("a.txt")); },
         "content lost"},
        {"truncated copy",
         [](const TempFolder& s, const TempFolder& d) {
             WriteFile(d.Path("a.txt"), "alph");
             fs::remove(s.Path("a.txt"));
         },
         "content lost"},
        {"link lost", [](const TempFolder& s, const TempFolder&) { fs::remove(s.Path("l")); },
         "content lost"},
        {"destination rewritten",
         [](const TempFolder&, const TempFolder& d) { WriteFile(d.Path("d.txt"), "DEST"); },
         "destination entry changed"},
        {"destination touched",
         [](const TempFolder&, const TempFolder& d) {
             SetLastWriteTime(d.Path("d.txt"), TicksFromUnixTime(1000));
         },
         "destination entry changed"},
        {"destination removed", [](const TempFolder&, const TempFolder& d) { fs::remove(d.Path("d.txt")); },
         "destination entry gone"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.m_pszName);
        TempFolder src, dst;
        ASSERT_TRUE(WriteFile(src.Path("a.txt"), "alpha"));
        ASSERT_TRUE(MakeSymlink("target", src.Path("l")));
        ASSERT_TRUE(WriteFile(dst.Path("d.txt"), "dest", TicksFromUnixTime(2000)));
        MoveInvariant invariant({src.Root()}, dst.Root());
        c.m_pfnAct(src, dst);
        EXPECT_NE(invariant.Check().find(c.m_pszExpected), std::string::npos) << invariant.Check();
    }
}

TEST(StatusAssertTest, DescribesTheFailure) {
    const engine::Status failed(engine::ErrorKind::Exists, 17, "/x/y");
    const ::testing::AssertionResult result = StatusIsOk("Move()", failed);
    EXPECT_FALSE(result);
    EXPECT_NE(std::string(result.message()).find("already exists (native code 17): /x/y"), std::string::npos);
    EXPECT_OK(engine::Status::Ok());
    EXPECT_STATUS_KIND(failed, engine::ErrorKind::Exists);
}

}  // namespace
}  // namespace tandemere::testing
