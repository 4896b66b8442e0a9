// Platform tests: the POSIX file system, through the shared conformance suite and its own failure cases.
#include "platform/posix/file_system_posix.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <functional>
#include <set>
#include <string>
#include <thread>

#include "tests/platform/file_system_conformance.h"
#include "tests/support/file_size_limit_posix.h"
#include "tests/support/status_assert.h"
#include "tests/support/syscall_faults_posix.h"
#include "tests/support/tree_snapshot.h"

namespace tandemere::testing {
namespace {

using engine::ErrorKind;
using Call = SyscallFaults::Call;

// /dev/shm is a tmpfs, another file system than /tmp on these machines.
const bool kRegistered = [] {
    SetConformanceBackend({[] { return std::make_unique<posix::PosixFileSystem>(); }, "/dev/shm", true});
    return true;
}();

class PosixFileSystemTest : public ::testing::Test {
protected:
    posix::PosixFileSystem m_fs;
    TempFolder m_dir;
    TempFolder m_shm{"/dev/shm"};
};

TEST_F(PosixFileSystemTest, PathFitsTheKernelLimits) {
    const std::string name255(255, 'n');
    const std::string name256(256, 'n');
    std::string longest = "/";
    while (longest.size() + 200 < 4095) longest += std::string(199, 'd') + "/";
    longest += std::string(4095 - longest.size(), 'f');
    struct Case {
        std::string m_strPath;
        bool m_bFits;
    };
    const Case cases[] = {{"/tmp/" + name255, true},
                          {"/tmp/" + name256, false},
                          {"/tmp/" + name255 + "/x", true},
                          {longest, true},
                          {longest + "g", false},
                          {"", false},
                          {"/", true},
                          {"relative/name", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.m_strPath.size());
        EXPECT_EQ(m_fs.PathFits(c.m_strPath), c.m_bFits);
    }
    // What fits is what the kernel takes: a 255-byte name can be made, a 256-byte one not.
    ASSERT_TRUE(WriteFile(m_dir.Path(name255), "x"));
    engine::DirEntry entry;
    EXPECT_OK(m_fs.Lookup(m_dir.Path(name255), entry));
    EXPECT_STATUS_KIND(m_fs.Lookup(m_dir.Path(name256), entry), ErrorKind::NameTooLong);
}

TEST_F(PosixFileSystemTest, FailedCrossVolumeCopyLeavesTheSourceAndNoTemporary) {
    const std::string bytes(256 * 1024, 'z');
    struct Case {
        const char* m_pszName;
        std::string m_strFrom, m_strTo;
    };
    const Case cases[] = {{"to tmpfs", m_dir.Path("big.bin"), m_shm.Path("big.bin")},
                          {"to ext", m_shm.Path("big.bin"), m_dir.Path("big.bin")}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.m_pszName);
        ASSERT_TRUE(WriteFile(c.m_strFrom, bytes));
        const std::vector<std::string> srcBefore = ListTree(m_dir.Root());
        const std::vector<std::string> shmBefore = ListTree(m_shm.Root());
        engine::Status status;
        {
            FileSizeLimit limit(64 * 1024);
            ASSERT_TRUE(limit.IsActive());
            status = m_fs.Move(c.m_strFrom, c.m_strTo);
        }
        EXPECT_STATUS_KIND(status, ErrorKind::Io);
        EXPECT_EQ(ReadFile(c.m_strFrom), bytes);
        EXPECT_EQ(ListTree(m_dir.Root()), srcBefore);
        EXPECT_EQ(ListTree(m_shm.Root()), shmBefore);
        ASSERT_EQ(::unlink(c.m_strFrom.c_str()), 0);
    }
}

TEST_F(PosixFileSystemTest, SourceThatCannotBeRemovedKeepsItsOnlyCopy) {
    ASSERT_TRUE(WriteFile(m_dir.Path("locked/a.txt"), "alpha"));
    {
        SyscallFaults lock;
        lock.FailFrom(Call::UnlinkAt, 1, EACCES, "locked/");
        EXPECT_STATUS_KIND(m_fs.Move(m_dir.Path("locked/a.txt"), m_shm.Path("a.txt")),
                           ErrorKind::AccessDenied);
    }
    EXPECT_EQ(ReadFile(m_dir.Path("locked/a.txt")), "alpha");
    // The copy went again: one file must not end up in two places.
    EXPECT_EQ(ListTree(m_shm.Root()), std::vector<std::string>{});
}

TEST_F(PosixFileSystemTest, FailedFolderCopyRemovesWhatItCopiedAndKeepsTheSource) {
    ASSERT_TRUE(WriteFile(m_dir.Path("tree/a/small.txt"), "small"));
    ASSERT_TRUE(WriteFile(m_dir.Path("tree/b/c/big.bin"), std::string(200000, 'b')));
    ASSERT_TRUE(WriteFile(m_dir.Path("tree/d/e.txt"), "e"));
    ASSERT_TRUE(MakeSymlink("a/small.txt", m_dir.Path("tree/link")));
    ASSERT_TRUE(SetMode(m_dir.Path("tree/a"), 0555));  // a read-only copy must be cleaned up too
    MoveInvariant invariant({m_dir.Path("tree")}, m_shm.Root());
    const std::vector<std::string> shape = ListTree(m_dir.Path("tree"));
    engine::Status status;
    std::vector<std::string> left;
    {
        FileSizeLimit limit(64 * 1024);
        ASSERT_TRUE(limit.IsActive());
        status = m_fs.MoveFolderAcrossVolumes(nullptr, m_dir.Path("tree"), m_shm.Path("tree"), left);
    }
    EXPECT_STATUS_KIND(status, ErrorKind::Io);
    EXPECT_NE(status.Path().find("big.bin"), std::string::npos) << status.Describe();
    EXPECT_EQ(ListTree(m_dir.Path("tree")), shape);
    EXPECT_EQ(ListTree(m_shm.Root()), std::vector<std::string>{});
    EXPECT_EQ(invariant.Check(), "");
}

TEST_F(PosixFileSystemTest, CrossVolumeMoveOfALinkMovesTheLinkItself) {
    ASSERT_TRUE(WriteFile(m_dir.Path("target.txt"), "t"));
    ASSERT_TRUE(MakeSymlink("target.txt", m_dir.Path("link")));
    ASSERT_OK(m_fs.Move(m_dir.Path("link"), m_shm.Path("link")));
    EXPECT_EQ(ListTree(m_shm.Root()), std::vector<std::string>{"link -> target.txt"});
    EXPECT_EQ(ListTree(m_dir.Root()), std::vector<std::string>{"target.txt (1)"});
}

TEST_F(PosixFileSystemTest, SameVolumeClimbsToTheNearestExistingFolder) {
    ASSERT_TRUE(WriteFile(m_dir.Path("f"), "f"));
    EXPECT_TRUE(m_fs.IsSameVolume(m_dir.Path("f"), m_dir.Path("a/b/c/d")));
    EXPECT_FALSE(m_fs.IsSameVolume(m_dir.Path("f"), m_shm.Path("a/b")));
    EXPECT_FALSE(m_fs.IsSameVolume(m_dir.Path("missing"), m_dir.Path("x")));
}

// The move's order, and so its log, must not depend on the file system's own (hash order on ext4, creation
// order on tmpfs): names come in byte order, non-ASCII bytes after ASCII.
TEST_F(PosixFileSystemTest, ListingsComeInByteOrderOfTheNames) {
    const std::vector<std::string> made = {"b",     "\xC3\xA9", "a (2).txt", "B",
                                           "a.txt", " lead",    ".hidden",   "z"};
    for (const TempFolder* folder : {&m_dir, &m_shm})
        for (const std::string& name : made) ASSERT_TRUE(WriteFile(folder->Path(name), name));
    const std::vector<std::string> expected = {" lead",     ".",     "..", ".hidden", "B",
                                               "a (2).txt", "a.txt", "b",  "z",       "\xC3\xA9"};
    for (const TempFolder* folder : {&m_dir, &m_shm}) {
        SCOPED_TRACE(folder->Root());
        std::vector<engine::DirEntry> entries;
        ASSERT_OK(m_fs.ListFolder(folder->Root(), entries));
        std::vector<std::string> names;
        for (const engine::DirEntry& entry : entries) names.push_back(entry.m_strName);
        EXPECT_EQ(names, expected);
        ASSERT_OK(m_fs.ListNames(folder->Root(), entries));
        names.clear();
        for (const engine::DirEntry& entry : entries) names.push_back(entry.m_strName);
        EXPECT_EQ(names, expected);
    }
}

TEST_F(PosixFileSystemTest, ReadLinkGivesTheTargetTextAsStored) {
    const std::string longTarget(1000, 't');
    ASSERT_TRUE(MakeSymlink("../missing", m_dir.Path("short")));
    ASSERT_TRUE(MakeSymlink(longTarget, m_dir.Path("long")));
    ASSERT_TRUE(WriteFile(m_dir.Path("file"), "f"));
    std::string target;
    EXPECT_OK(m_fs.ReadLink(m_dir.Path("short"), target));
    EXPECT_EQ(target, "../missing");
    EXPECT_OK(m_fs.ReadLink(m_dir.Path("long"), target));
    EXPECT_EQ(target, longTarget);
    EXPECT_FALSE(m_fs.ReadLink(m_dir.Path("file"), target).IsOk());
}

// A pipe cannot be copied: it stays, with its folder, and the rest of the tree moves.
TEST_F(PosixFileSystemTest, FolderWithAnEntryThatCannotBeCopiedKeepsIt) {
    ASSERT_TRUE(WriteFile(m_dir.Path("tree/a.txt"), "alpha"));
    ASSERT_TRUE(MakeFolders(m_dir.Path("tree/sub")));
    ASSERT_EQ(::mkfifo(m_dir.Path("tree/sub/pipe").c_str(), 0600), 0);
    std::vector<std::string> left;
    ASSERT_OK(m_fs.MoveFolderAcrossVolumes(nullptr, m_dir.Path("tree"), m_shm.Path("tree"), left));
    EXPECT_EQ(left, std::vector<std::string>{m_dir.Path("tree/sub/pipe")});
    EXPECT_TRUE(Exists(m_dir.Path("tree/sub/pipe")));
    EXPECT_FALSE(Exists(m_dir.Path("tree/a.txt")));
    EXPECT_EQ(ListTree(m_shm.Root()), (std::vector<std::string>{"tree/", "tree/a.txt (5)", "tree/sub/"}));
    EXPECT_STATUS_KIND(
        m_fs.MoveFolderAcrossVolumes(nullptr, m_dir.Path("tree"), m_shm.Path("no/such/tree"), left),
        ErrorKind::NotFound);
}

// A pipe swapped in between a lookup and the open must not block: anything but a regular file
// is refused at once, without waiting for a writer.
TEST_F(PosixFileSystemTest, OpenReadRefusesPipesAndDevicesWithoutWaiting) {
    const std::string pipe = m_dir.Path("pipe");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    // Opening for writing waits for a reader; should the backend wait too, they meet and it ends.
    std::thread writer([&pipe] {
        const int fd = ::open(pipe.c_str(), O_WRONLY | O_CLOEXEC);
        if (fd >= 0) ::close(fd);
    });
    std::unique_ptr<engine::IReadFile> file;
    const engine::Status status = m_fs.OpenRead(pipe, file);
    const int reader = ::open(pipe.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);  // lets the writer go
    writer.join();
    if (reader >= 0) ::close(reader);
    EXPECT_STATUS_KIND(status, ErrorKind::Unsupported);
    EXPECT_EQ(file, nullptr);
    EXPECT_STATUS_KIND(m_fs.OpenRead("/dev/null", file), ErrorKind::Unsupported);
    EXPECT_EQ(file, nullptr);
}

TEST_F(PosixFileSystemTest, SourceTreeThatCannotBeRemovedLeavesTheCompleteCopy) {
    ASSERT_TRUE(WriteFile(m_dir.Path("tree/a.txt"), "alpha"));
    ASSERT_TRUE(WriteFile(m_dir.Path("tree/locked/b.txt"), "beta"));
    const std::vector<std::string> shape = ListTree(m_dir.Path("tree"));
    MoveInvariant invariant({m_dir.Path("tree")}, m_shm.Root());
    engine::Status status;
    std::vector<std::string> left;
    {
        SyscallFaults lock;
        lock.FailFrom(Call::UnlinkAt, 1, EACCES, "b.txt");
        status = m_fs.MoveFolderAcrossVolumes(nullptr, m_dir.Path("tree"), m_shm.Path("tree"), left);
    }
    // Removing the copy now could lose what the source has already given up: it stays, complete.
    EXPECT_STATUS_KIND(status, ErrorKind::AccessDenied);
    EXPECT_EQ(ListTree(m_shm.Path("tree")), shape);
    EXPECT_EQ(ReadFile(m_dir.Path("tree/locked/b.txt")), "beta");
    EXPECT_EQ(invariant.Check(), "");
}

// An overwrite within one volume is one rename, which cannot be undone once the old file is gone:
// a folder flush that fails after it does not make the finished replacement a failure.
TEST_F(PosixFileSystemTest, ReplacementThatCannotBeFlushedStillCounts) {
    ASSERT_TRUE(WriteFile(m_dir.Path("new.txt"), "new"));
    ASSERT_TRUE(WriteFile(m_dir.Path("old.txt"), "old"));
    {
        SyscallFaults faults;
        faults.FailNth(Call::Fsync, 1, EIO);
        EXPECT_OK(m_fs.MoveReplacing(m_dir.Path("new.txt"), m_dir.Path("old.txt")));
    }
    EXPECT_EQ(ListTree(m_dir.Root()), std::vector<std::string>{"old.txt (3)"});
    EXPECT_EQ(ReadFile(m_dir.Path("old.txt")), "new");
}

// A rename whose folder cannot be flushed is undone: a failure leaves the name where it was, so
// the caller's error report tells the truth.
TEST_F(PosixFileSystemTest, RenameThatCannotBeFlushedIsUndone) {
    ASSERT_TRUE(WriteFile(m_dir.Path("folder/a.txt"), "alpha"));
    {
        SyscallFaults faults;
        faults.FailNth(Call::Fsync, 1, EIO);
        EXPECT_STATUS_KIND(m_fs.Rename(m_dir.Path("folder/a.txt"), m_dir.Path("folder/b.txt")),
                           ErrorKind::Io);
    }
    EXPECT_EQ(ListTree(m_dir.Path("folder")), std::vector<std::string>{"a.txt (5)"});
    // When the undo fails too, the rename stands and is reported as made.
    {
        SyscallFaults faults;
        faults.FailNth(Call::Fsync, 1, EIO);
        faults.FailNth(Call::RenameAt2, 2, EIO);
        EXPECT_OK(m_fs.Rename(m_dir.Path("folder/a.txt"), m_dir.Path("folder/b.txt")));
    }
    EXPECT_EQ(ListTree(m_dir.Path("folder")), std::vector<std::string>{"b.txt (5)"});
}

// While a tree is copied, at the copy's last keep-alive tick (every folder listed, every file but
// the last copied): two files grow and two files appear. Only what is unchanged since it was
// copied leaves the source.
TEST_F(PosixFileSystemTest, AFolderChangedWhileItIsCopiedKeepsWhatChanged) {
    const auto make = [](const TempFolder& dir) {
        ASSERT_TRUE(WriteFile(dir.Path("tree/a.bin"), std::string((1u << 20) + 3, 'a')));
        ASSERT_TRUE(WriteFile(dir.Path("tree/sub/b.bin"), std::string((1u << 20) + 5, 'b')));
        ASSERT_TRUE(WriteFile(dir.Path("tree/sub/deep/c.txt"), "unchanged"));
    };
    std::vector<std::string> left;
    int ticks = 0;
    std::function<void()> change = [] {};
    engine::KeepAlive keepAlive([&] { ++ticks, change(); }, std::chrono::milliseconds(0));
    m_fs.SetKeepAlive(&keepAlive);
    {
        TempFolder dry;
        TempFolder dryTarget("/dev/shm");
        ASSERT_NO_FATAL_FAILURE(make(dry));
        ASSERT_OK(m_fs.MoveFolderAcrossVolumes(nullptr, dry.Path("tree"), dryTarget.Path("tree"), left));
    }
    const int last = ticks;
    ticks = 0;
    ASSERT_NO_FATAL_FAILURE(make(m_dir));
    const TreeSnapshot copied = TreeSnapshot::Take(m_dir.Path("tree"));
    change = [&] {
        if (ticks != last) return;
        for (const char* grown : {"tree/a.bin", "tree/sub/b.bin"}) {
            const int fd = ::open(m_dir.Path(grown).c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
            EXPECT_EQ(::write(fd, "more", 4), 4);
            ::close(fd);
        }
        WriteFile(m_dir.Path("tree/new.txt"), "new");
        WriteFile(m_dir.Path("tree/sub/new.txt"), "new too");
    };
    const engine::Status status =
        m_fs.MoveFolderAcrossVolumes(nullptr, m_dir.Path("tree"), m_shm.Path("tree"), left);
    m_fs.SetKeepAlive(nullptr);
    EXPECT_OK(status);
    EXPECT_EQ(left, (std::vector<std::string>{m_dir.Path("tree/a.bin"), m_dir.Path("tree/new.txt"),
                                              m_dir.Path("tree/sub/b.bin"), m_dir.Path("tree/sub/new.txt")}));
    EXPECT_EQ(ListTree(m_dir.Path("tree")),
              (std::vector<std::string>{"a.bin (1048583)", "new.txt (3)", "sub/", "sub/b.bin (1048585)",
                                        "sub/new.txt (7)"}));
    // The copy is complete as it was when each entry was copied.
    EXPECT_EQ(FindLostContent({copied}, {TreeSnapshot::Take(m_shm.Path("tree"))}), "");
    EXPECT_EQ(ReadFile(m_shm.Path("tree/sub/deep/c.txt")), "unchanged");
}

// A file, or a tree of several files, links and folders, each file several copy blocks long.
void MakeMoveSource(const TempFolder& dir, bool folder) {
    const std::size_t block = 1 << 20;
    if (!folder) {
        ASSERT_TRUE(WriteFile(dir.Path("big.bin"), std::string(2 * block + 17, 'f')));
        return;
    }
    ASSERT_TRUE(WriteFile(dir.Path("tree/a.txt"), "alpha"));
    ASSERT_TRUE(WriteFile(dir.Path("tree/big.bin"), std::string(2 * block + 5, 'g')));
    ASSERT_TRUE(WriteFile(dir.Path("tree/sub/deep/b.bin"), std::string(block + 3, 'h')));
    ASSERT_TRUE(MakeSymlink("../a.txt", dir.Path("tree/sub/link")));
    ASSERT_TRUE(MakeFolders(dir.Path("tree/empty")));
}

// Moves MakeMoveSource's file or tree from `src` to `dst` as between file systems that cannot
// share blocks, so the data goes through read and write whatever the kernel.
engine::Status MoveAcross(engine::IFileSystem& fs, const TempFolder& src, const TempFolder& dst, bool folder,
                          SyscallFaults& faults) {
    faults.FailFrom(Call::CopyFileRange, 1, EXDEV);
    std::vector<std::string> left;
    if (folder) return fs.MoveFolderAcrossVolumes(nullptr, src.Path("tree"), dst.Path("tree"), left);
    return fs.Move(src.Path("big.bin"), dst.Path("big.bin"));
}

// Each kind of call fails at its first, middle and last call of a move that would succeed. Until
// the copy is in place the source stays whole and the destination as it was; once it is, the
// complete copy stays and no content is lost.
TEST_F(PosixFileSystemTest, CallFailingPartWayThroughACrossVolumeMoveLosesNothing) {
    struct Fault {
        Call m_nCall;
        int m_nErrno;
    };
    const Fault faults[] = {{Call::Write, ENOSPC},
                            {Call::Fsync, EIO},
                            {Call::RenameAt2, ENOSPC},
                            {Call::UnlinkAt, EPERM},
                            {Call::MkdirAt, EDQUOT}};
    for (const bool folder : {false, true}) {
        std::array<int, SyscallFaults::kCallCount> counts{};
        {
            TempFolder src;
            TempFolder dst("/dev/shm");
            ASSERT_NO_FATAL_FAILURE(MakeMoveSource(src, folder));
            SyscallFaults counter;
            ASSERT_OK(MoveAcross(m_fs, src, dst, folder, counter));
            for (std::size_t i = 0; i < counts.size(); ++i) counts[i] = counter.Calls(static_cast<Call>(i));
        }
        for (const Fault& fault : faults) {
            // A file's only unlink removes its source: SourceThatCannotBeRemovedKeepsItsOnlyCopy.
            if (!folder && fault.m_nCall == Call::UnlinkAt) continue;
            const int count = counts[static_cast<std::size_t>(fault.m_nCall)];
            for (const int n : std::set<int>{1, (count + 1) / 2, count}) {
                if (n < 1 || n > count) continue;
                SCOPED_TRACE(std::string(folder ? "folder, " : "file, ") + CallName(fault.m_nCall) +
                             " call " + std::to_string(n) + " of " + std::to_string(count));
                TempFolder src;
                TempFolder dst("/dev/shm");
                ASSERT_NO_FATAL_FAILURE(MakeMoveSource(src, folder));
                const TreeSnapshot before = TreeSnapshot::Take(src.Root());
                const std::vector<std::string> shape = ListTree(src.Root());
                MoveInvariant invariant({src.Root()}, dst.Root());
                engine::Status status;
                {
                    SyscallFaults injected;
                    injected.FailNth(fault.m_nCall, n, fault.m_nErrno);
                    status = MoveAcross(m_fs, src, dst, folder, injected);
                }
                EXPECT_STATUS_KIND(status, posix::ErrorKindFromErrno(fault.m_nErrno));
                EXPECT_EQ(invariant.Check(), "");
                // A folder's unlinks all remove its source, after the copy is in place. Its last
                // flush, of the destination folder after the rename, fails with the source whole:
                // the copy goes again, or the failed move would leave the folder twice.
                const bool removingSource = folder && fault.m_nCall == Call::UnlinkAt;
                const bool copyInPlace = removingSource;
                if (!removingSource) {
                    EXPECT_EQ(TreeSnapshot::Take(src.Root()).Describe(), before.Describe());
                }
                if (copyInPlace) {
                    EXPECT_EQ(ListTree(dst.Root()), shape);
                    EXPECT_EQ(FindChangedEntries(before, TreeSnapshot::Take(dst.Root())), "");
                } else {
                    EXPECT_EQ(ListTree(dst.Root()), std::vector<std::string>{});
                }
            }
        }
    }
}

// Each step of a replacement across file systems failing in turn: the old file stays whole, or
// comes back from its second name, and so does the source. Without hard links it goes on anyway.
TEST_F(PosixFileSystemTest, ReplacementAcrossFileSystemsThatFailsKeepsTheOldFile) {
    struct Case {
        const char* m_pszStep;
        Call m_nCall;
        int m_nNth;
        int m_nErrno;
    };
    const Case cases[] = {{"copy", Call::Write, 1, ENOSPC},
                          {"flush of the copy", Call::Fsync, 1, EIO},
                          {"rename over the old file", Call::RenameAt2, 2, ENOSPC},
                          {"flush of the folder", Call::Fsync, 2, EIO},
                          {"removal of the source", Call::UnlinkAt, 1, EPERM},
                          {"second name of the old file", Call::LinkAt, 1, EPERM}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.m_pszStep);
        const bool goesOn = c.m_nCall == Call::LinkAt;
        TempFolder src;
        TempFolder dst("/dev/shm");
        ASSERT_NO_FATAL_FAILURE(MakeMoveSource(src, false));
        const std::string bytes = ReadFile(src.Path("big.bin"));
        ASSERT_TRUE(WriteFile(dst.Path("big.bin"), "old"));
        engine::Status status;
        {
            SyscallFaults injected;
            injected.FailFrom(Call::CopyFileRange, 1, EXDEV);
            injected.FailNth(c.m_nCall, c.m_nNth, c.m_nErrno);
            status = m_fs.MoveReplacing(src.Path("big.bin"), dst.Path("big.bin"));
        }
        if (goesOn) {
            EXPECT_OK(status);
            EXPECT_FALSE(Exists(src.Path("big.bin")));
        } else {
            EXPECT_STATUS_KIND(status, posix::ErrorKindFromErrno(c.m_nErrno));
            EXPECT_TRUE(ReadFile(src.Path("big.bin")) == bytes);
        }
        EXPECT_TRUE(ReadFile(dst.Path("big.bin")) == (goesOn ? bytes : "old"));
        EXPECT_EQ(ListTree(dst.Root()).size(), 1u) << "a temporary copy or name was left";
    }
}

// The source changes while it is copied, at the copy's second keep-alive tick (after its first
// block): it stays beside the complete copy, since what changed may exist only there.
TEST_F(PosixFileSystemTest, AFileChangedWhileItIsCopiedStaysBesideTheCopy) {
    const std::uint64_t when = TicksFromUnixTime(1000000000);
    const std::size_t size = (2u << 20) + 17;
    struct Case {
        const char* m_pszChange;
        std::function<void(const std::string& path)> m_fnChange;
        std::string m_strAfter;  // the source's bytes afterwards
    };
    std::string rewritten(size, 'f');
    rewritten.replace(0, 7, "CHANGED");
    const std::string other(size, 'o');
    const Case cases[] = {
        {"rewritten in place",
         [](const std::string& path) {
             const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
             EXPECT_EQ(::pwrite(fd, "CHANGED", 7, 0), 7);
             ::close(fd);
         },
         rewritten},
        {"appended to",
         [](const std::string& path) {
             const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
             EXPECT_EQ(::write(fd, "more", 4), 4);
             ::close(fd);
         },
         std::string(size, 'f') + "more"},
        // Same size and time: only the object tells.
        {"replaced by another file",
         [&](const std::string& path) {
             WriteFile(path + ".new", other, when);
             ::rename((path + ".new").c_str(), path.c_str());
         },
         other},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.m_pszChange);
        TempFolder src;
        TempFolder dst("/dev/shm");
        const std::string source = src.Path("big.bin");
        ASSERT_TRUE(WriteFile(source, std::string(size, 'f'), when));
        int ticks = 0;
        engine::KeepAlive keepAlive(
            [&] {
                if (++ticks == 2) c.m_fnChange(source);
            },
            std::chrono::milliseconds(0));
        m_fs.SetKeepAlive(&keepAlive);
        const engine::Status status = m_fs.Move(source, dst.Path("big.bin"));
        m_fs.SetKeepAlive(nullptr);
        EXPECT_STATUS_KIND(status, ErrorKind::SourceChanged);
        EXPECT_TRUE(TryReadFile(source) == c.m_strAfter);
        EXPECT_GE(ReadFile(dst.Path("big.bin")).size(), size);
        EXPECT_EQ(ListTree(dst.Root()).size(), 1u) << "a temporary copy was left";
    }
}

// A temporary name found taken is drawn again; when every draw is taken the move gives up,
// touching nothing.
TEST_F(PosixFileSystemTest, TakenTemporaryNamesAreDrawnAgain) {
    for (const bool folder : {false, true}) {
        SCOPED_TRACE(folder ? "folder" : "file");
        const Call create = folder ? Call::MkdirAt : Call::OpenAt;
        TempFolder src;
        TempFolder dst("/dev/shm");
        ASSERT_NO_FATAL_FAILURE(MakeMoveSource(src, folder));
        const TreeSnapshot before = TreeSnapshot::Take(src.Root());
        const std::vector<std::string> shape = ListTree(src.Root());
        {
            SyscallFaults taken;
            taken.FailFrom(create, 1, EEXIST, ".tandemere-");
            EXPECT_STATUS_KIND(MoveAcross(m_fs, src, dst, folder, taken), ErrorKind::Exists);
        }
        EXPECT_EQ(TreeSnapshot::Take(src.Root()).Describe(), before.Describe());
        EXPECT_EQ(ListTree(dst.Root()), std::vector<std::string>{});
        {
            SyscallFaults taken;
            taken.FailNth(create, 1, EEXIST, ".tandemere-");
            ASSERT_OK(MoveAcross(m_fs, src, dst, folder, taken));
        }
        EXPECT_EQ(ListTree(dst.Root()), shape);
    }
}

// A copy that never got its name, as a kill before the rename leaves it, is named so the engine
// knows it for a leftover and never takes it for the user's file.
TEST_F(PosixFileSystemTest, ACopyThatNeverGotItsNameIsNamedAsTheEngineKnowsALeftover) {
    for (const bool folder : {false, true}) {
        SCOPED_TRACE(folder ? "folder" : "file");
        TempFolder src;
        TempFolder dst("/dev/shm");
        ASSERT_NO_FATAL_FAILURE(MakeMoveSource(src, folder));
        const TreeSnapshot before = TreeSnapshot::Take(src.Root());
        {
            SyscallFaults killed;
            killed.FailFrom(Call::RenameAt2, 1, EIO, std::string(engine::kTemporaryPrefix));
            killed.FailFrom(Call::UnlinkAt, 1, EIO, std::string(engine::kTemporaryPrefix));
            EXPECT_STATUS_KIND(MoveAcross(m_fs, src, dst, folder, killed), ErrorKind::Io);
        }
        EXPECT_EQ(TreeSnapshot::Take(src.Root()).Describe(), before.Describe());
        std::vector<engine::DirEntry> left;
        ASSERT_OK(m_fs.ListFolder(dst.Root(), left));
        std::erase_if(left,
                      [](const engine::DirEntry& e) { return e.m_strName == "." || e.m_strName == ".."; });
        ASSERT_EQ(left.size(), 1u);
        EXPECT_TRUE(engine::IsTemporaryName(left[0].m_strName)) << left[0].m_strName;
    }
}

}  // namespace
}  // namespace tandemere::testing
