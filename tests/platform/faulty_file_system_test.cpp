// Tests of the fault-injecting file system around the real POSIX backend.
#include "tests/support/faulty_file_system.h"

#include <gtest/gtest.h>

#include "platform/posix/file_system_posix.h"
#include "tests/support/status_assert.h"
#include "tests/support/temp_folder.h"

namespace tandemere::testing {
namespace {

using engine::ErrorKind;
using Op = FaultyFileSystem::Operation;

class FaultyFileSystemTest : public ::testing::Test {
protected:
    posix::PosixFileSystem m_real;
    FaultyFileSystem m_fs{m_real};
    TempFolder m_dir;
};

TEST_F(FaultyFileSystemTest, FailsOnlyTheNthCallAndNeverReachesTheDisk) {
    for (int i = 1; i <= 3; ++i) ASSERT_TRUE(WriteFile(m_dir.Path("f" + std::to_string(i)), "x"));
    m_fs.FailNth(Op::Move, 2, ErrorKind::AccessDenied);
    EXPECT_OK(m_fs.Move(m_dir.Path("f1"), m_dir.Path("g1")));
    const engine::Status failed = m_fs.Move(m_dir.Path("f2"), m_dir.Path("g2"));
    EXPECT_STATUS_KIND(failed, ErrorKind::AccessDenied);
    EXPECT_EQ(failed.NativeCode(), FaultyFileSystem::kFaultCode);
    EXPECT_EQ(failed.Path(), m_dir.Path("f2"));
    EXPECT_OK(m_fs.Move(m_dir.Path("f3"), m_dir.Path("g3")));
    EXPECT_EQ(ListTree(m_dir.Root()), (std::vector<std::string>{"f2 (1)", "g1 (1)", "g3 (1)"}));
    EXPECT_EQ(m_fs.Calls(Op::Move), 3);
    EXPECT_EQ(m_fs.Calls(Op::Rename), 0);
    EXPECT_EQ(m_fs.Faults(), 1);
}

TEST_F(FaultyFileSystemTest, FailsFromNOnAndByPath) {
    ASSERT_TRUE(MakeFolders(m_dir.Path("a")));
    ASSERT_TRUE(MakeFolders(m_dir.Path("b")));
    m_fs.FailFrom(Op::IsFolder, 2);
    EXPECT_TRUE(m_fs.IsFolder(m_dir.Path("a")));
    EXPECT_FALSE(m_fs.IsFolder(m_dir.Path("a")));
    EXPECT_FALSE(m_fs.IsFolder(m_dir.Path("b")));
    m_fs.ClearFaults();
    EXPECT_TRUE(m_fs.IsFolder(m_dir.Path("b")));
    EXPECT_EQ(m_fs.Calls(Op::IsFolder), 4);
    m_fs.FailPath(Op::RemoveFolder, "/b", ErrorKind::Io);
    EXPECT_OK(m_fs.RemoveFolder(m_dir.Path("a")));
    EXPECT_STATUS_KIND(m_fs.RemoveFolder(m_dir.Path("b")), ErrorKind::Io);
    EXPECT_TRUE(Exists(m_dir.Path("b")));
}

TEST_F(FaultyFileSystemTest, ReadsOfOpenedFilesCountAcrossFiles) {
    ASSERT_TRUE(WriteFile(m_dir.Path("a"), "abcdef"));
    m_fs.FailNth(Op::Read, 3);
    std::unique_ptr<engine::IReadFile> first, second;
    ASSERT_OK(m_fs.OpenRead(m_dir.Path("a"), first));
    ASSERT_OK(m_fs.OpenRead(m_dir.Path("a"), second));
    char buffer[4];
    std::size_t got = 0;
    EXPECT_OK(first->Read(buffer, 2, got));
    EXPECT_EQ(std::string(buffer, got), "ab");
    EXPECT_OK(second->Read(buffer, 4, got));
    EXPECT_EQ(std::string(buffer, got), "abcd");
    EXPECT_STATUS_KIND(first->Read(buffer, 4, got), ErrorKind::Io);
    EXPECT_EQ(got, 0u);
    EXPECT_OK(first->Read(buffer, 4, got));
    EXPECT_EQ(std::string(buffer, got), "cdef") << "a failed read must not consume bytes";
    EXPECT_EQ(m_fs.Calls(Op::Read), 4);
    EXPECT_EQ(m_fs.Calls(Op::OpenRead), 2);
}

TEST_F(FaultyFileSystemTest, EveryOperationCanFail) {
    ASSERT_TRUE(WriteFile(m_dir.Path("f"), "x"));
    ASSERT_TRUE(MakeFolders(m_dir.Path("d")));
    for (std::size_t i = 0; i < FaultyFileSystem::kOperationCount; ++i) m_fs.FailFrom(static_cast<Op>(i), 1);
    std::vector<engine::DirEntry> entries;
    engine::DirEntry entry;
    std::unique_ptr<engine::IReadFile> file;
    bool same = true;
    EXPECT_FALSE(m_fs.ListFolder(m_dir.Root(), entries).IsOk());
    EXPECT_FALSE(m_fs.Lookup(m_dir.Path("f"), entry).IsOk());
    EXPECT_FALSE(m_fs.IsFolder(m_dir.Path("d")));
    EXPECT_FALSE(m_fs.OpenRead(m_dir.Path("f"), file).IsOk());
    EXPECT_FALSE(m_fs.Move(m_dir.Path("f"), m_dir.Path("g")).IsOk());
    EXPECT_FALSE(m_fs.MoveReplacing(m_dir.Path("f"), m_dir.Path("g")).IsOk());
    EXPECT_FALSE(m_fs.Rename(m_dir.Path("f"), m_dir.Path("g")).IsOk());
    std::vector<std::string> left;
    EXPECT_FALSE(m_fs.MoveFolderAcrossVolumes(nullptr, m_dir.Path("d"), m_dir.Path("e"), left).IsOk());
    EXPECT_FALSE(m_fs.DeleteFile(m_dir.Path("f")).IsOk());
    EXPECT_FALSE(m_fs.RemoveFolder(m_dir.Path("d")).IsOk());
    EXPECT_FALSE(m_fs.IsSameVolume(m_dir.Path("f"), m_dir.Path("g")));
    EXPECT_FALSE(m_fs.IsSameObject(m_dir.Path("f"), m_dir.Path("f"), same).IsOk());
    EXPECT_FALSE(same);
    EXPECT_EQ(m_fs.Faults(), 12);  // every operation but Read, which needs an open file
    EXPECT_EQ(ListTree(m_dir.Root()), (std::vector<std::string>{"d/", "f (1)"}));
}

}  // namespace
}  // namespace tandemere::testing
