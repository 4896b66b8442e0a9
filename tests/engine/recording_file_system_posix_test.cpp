// Engine tests: the dry run's overlay file system on real folders, for what the dry-run scenarios
// reach seldom or never: folders never listed, names the move took and freed, links resolved after
// the move changed what they lead through.
#include "engine/recording_file_system.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/free_name.h"
#include "tests/support/platform_backend.h"
#include "tests/support/status_assert.h"
#include "tests/support/temp_folder.h"

namespace tandemere::testing {
namespace {

class RecordingFileSystemTest : public ::testing::Test {
protected:
    std::vector<std::string> Names(const std::string& folder) {
        std::vector<engine::DirEntry> entries;
        EXPECT_OK(m_oFs.ListFolder(folder, entries));
        std::vector<std::string> names;
        for (const engine::DirEntry& entry : entries) names.push_back(entry.m_strName);
        return names;
    }
    std::string Read(const std::string& path) {
        std::unique_ptr<engine::IReadFile> file;
        if (!m_oFs.OpenRead(path, file)) return "(cannot open)";
        std::string bytes(64, '\0');
        std::size_t got = 0;
        EXPECT_OK(file->Read(bytes.data(), bytes.size(), got));
        return bytes.substr(0, got);
    }

    TempFolder m_oDir;
    std::unique_ptr<engine::IFileSystem> m_pReal = MakeRealFileSystem();
    engine::RecordingFileSystem m_oFs{*m_pReal};
};

TEST_F(RecordingFileSystemTest, MovedFolderReadsItsUnlistedEntriesFromWhereItWas) {
    ASSERT_TRUE(WriteFile(m_oDir.Path("src/f/deep/x"), "xx"));
    ASSERT_TRUE(WriteFile(m_oDir.Path("src/f/y"), "y"));
    ASSERT_TRUE(MakeFolders(m_oDir.Path("dst")));
    const std::vector<std::string> disk = ListTree(m_oDir.Root());

    ASSERT_OK(m_oFs.Move(m_oDir.Path("src/f"), m_oDir.Path("dst/f")));
    engine::DirEntry entry;
    EXPECT_EQ(m_oFs.Lookup(m_oDir.Path("src/f"), entry).Kind(), engine::ErrorKind::NotFound);
    EXPECT_EQ(Names(m_oDir.Path("dst/f")), (std::vector<std::string>{".", "..", "deep", "y"}));
    ASSERT_OK(m_oFs.Lookup(m_oDir.Path("dst/f/deep/x"), entry));
    EXPECT_EQ(entry.m_nSize, 2u);
    EXPECT_EQ(Read(m_oDir.Path("dst/f/deep/x")), "xx");
    EXPECT_EQ(Names(m_oDir.Path("src")), (std::vector<std::string>{".", ".."}));
    ASSERT_OK(m_oFs.RemoveFolder(m_oDir.Path("src")));
    // A folder made by the move takes its name from then on.
    ASSERT_OK(m_oFs.CreateFolder(m_oDir.Path("dst/made")));
    EXPECT_EQ(m_oFs.CreateFolder(m_oDir.Path("dst/made")).Kind(), engine::ErrorKind::Exists);
    EXPECT_EQ(m_oFs.CreateFolder(m_oDir.Path("dst/f/y")).Kind(), engine::ErrorKind::Exists);
    EXPECT_EQ(m_oFs.CreateFolder(m_oDir.Path("src/made")).Kind(), engine::ErrorKind::NotFound);
    EXPECT_EQ(Names(m_oDir.Path("dst/made")), (std::vector<std::string>{".", ".."}));
    EXPECT_EQ(m_oFs.ChangeCount(), 3u);
    EXPECT_EQ(ListTree(m_oDir.Root()), disk);
}

TEST_F(RecordingFileSystemTest, FreeNamesCountTheNamesTheMoveTookAndFreed) {
    ASSERT_TRUE(WriteFile(m_oDir.Path("dst/n.txt"), "n"));
    ASSERT_TRUE(WriteFile(m_oDir.Path("src/n.txt"), "other n"));
    ASSERT_TRUE(WriteFile(m_oDir.Path("src/m.txt"), "m"));
    const std::string dst = m_oDir.Path("dst") + "/";
    // The destination was never listed: its names are still looked up on disk.
    EXPECT_EQ(m_oFs.Move(m_oDir.Path("src/n.txt"), dst + "n.txt").Kind(), engine::ErrorKind::Exists);
    ASSERT_OK(m_oFs.Move(m_oDir.Path("src/m.txt"), dst + "n (2).txt"));
    EXPECT_EQ(engine::FindFreeName(m_oFs, dst, "n.txt"), "n (3).txt");
    ASSERT_OK(m_oFs.DeleteFile(dst + "n (2).txt"));
    EXPECT_EQ(engine::FindFreeName(m_oFs, dst, "n.txt"), "n (2).txt");
    EXPECT_EQ(ListTree(m_oDir.Root()),
              (std::vector<std::string>{"dst/", "dst/n.txt (1)", "src/", "src/m.txt (1)", "src/n.txt (7)"}));
}

TEST_F(RecordingFileSystemTest, LinksLeadWhereTheirTargetTextLeadsNow) {
    ASSERT_TRUE(MakeFolders(m_oDir.Path("dst/real")));
    ASSERT_TRUE(MakeFolders(m_oDir.Path("dst/sub")));
    ASSERT_TRUE(MakeSymlink("real", m_oDir.Path("dst/l")));
    ASSERT_TRUE(WriteFile(m_oDir.Path("src/f"), "f"));

    ASSERT_OK(m_oFs.Move(m_oDir.Path("src/f"), m_oDir.Path("dst/l/f")));
    engine::DirEntry entry;
    EXPECT_OK(m_oFs.Lookup(m_oDir.Path("dst/real/f"), entry));
    bool same = false;
    ASSERT_OK(m_oFs.IsSameObject(m_oDir.Path("dst/l"), m_oDir.Path("dst/real"), same));
    EXPECT_TRUE(same);
    EXPECT_TRUE(m_oFs.IsFolder(m_oDir.Path("dst/l")));

    // Moved beside no "real", the relative link dangles; a folder that arrives there gives it a target.
    ASSERT_OK(m_oFs.Move(m_oDir.Path("dst/l"), m_oDir.Path("dst/sub/l")));
    EXPECT_FALSE(m_oFs.IsFolder(m_oDir.Path("dst/sub/l")));
    ASSERT_OK(m_oFs.Lookup(m_oDir.Path("dst/sub/l"), entry));
    EXPECT_TRUE(entry.m_bLink);
    ASSERT_OK(m_oFs.Move(m_oDir.Path("dst/real"), m_oDir.Path("dst/sub/real")));
    EXPECT_EQ(Read(m_oDir.Path("dst/sub/l/f")), "f");
    EXPECT_FALSE(Exists(m_oDir.Path("dst/sub/l")));
    EXPECT_TRUE(Exists(m_oDir.Path("src/f")));
}

}  // namespace
}  // namespace tandemere::testing
