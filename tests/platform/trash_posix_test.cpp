// Platform tests: the POSIX backend's trash on real folders: the home trash, a second file
// system's top folder trash, unique names, the .trashinfo, refusals and the side-effect-free look-up.
#include "platform/posix/trash_posix.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "platform/posix/file_system_posix.h"
#include "tests/platform/locked_folder_posix.h"
#include "tests/support/scoped_env.h"
#include "tests/support/status_assert.h"
#include "tests/support/syscall_faults_posix.h"
#include "tests/support/temp_folder.h"
#include "tests/support/trash_contents.h"

namespace tandemere::testing {
namespace {

using engine::ErrorKind;
using engine::Status;
using Call = SyscallFaults::Call;

std::string Where(const std::string& trash) {
    return "the trash \"" + trash + "\"";
}

class PosixTrashTest : public ::testing::Test {
protected:
    TempFolder m_dir;
    std::string m_strData = m_dir.Path("home/.local/share");
    std::string m_strTrash = m_strData + "/Trash";
    ScopedEnv m_oData{"XDG_DATA_HOME", m_strData.c_str()};
    posix::PosixFileSystem m_fs;
};

// Each file lands in files/ under a name of its own, its .trashinfo naming its path, encoded; it
// comes back by a rename to that path. Links go as links.
TEST_F(PosixTrashTest, HomeTrashTakesFilesWithTheirTrashInfo) {
    struct Case {
        std::string m_strRelative;  // below m_dir
        std::string m_strEncoded;   // its Path=, after m_dir's own
        std::string m_strTrashName;
    };
    const std::vector<Case> cases = {
        {"a/same.txt", "/a/same.txt", "same.txt"},
        {"b/same.txt", "/b/same.txt", "same.txt.2"},
        {"c/odd name%#?;&=+$,[]@:.txt", "/c/odd%20name%25%23%3F%3B%26%3D%2B%24%2C%5B%5D%40%3A.txt",
         "odd name%#?;&=+$,[]@:.txt"},
        {"c/kept-_.!~*'()", "/c/kept-_.!~*'()", "kept-_.!~*'()"},
        {"c/\xC3\xBC"
         "ni\nline",
         "/c/%C3%BCni%0Aline",
         "\xC3\xBC"
         "ni\nline"},
        {"c/link", "/c/link", "link"},
    };
    for (const Case& c : cases) {
        if (c.m_strTrashName != "link") {
            ASSERT_TRUE(WriteFile(m_dir.Path(c.m_strRelative), c.m_strRelative));
        }
    }
    ASSERT_TRUE(MakeSymlink("same.txt", m_dir.Path("c/link")));

    for (const Case& c : cases) {
        std::string where;
        ASSERT_OK(m_fs.MoveToTrash(m_dir.Path(c.m_strRelative), where));
        EXPECT_EQ(where, Where(m_strTrash));
        EXPECT_FALSE(Exists(m_dir.Path(c.m_strRelative))) << c.m_strRelative;
    }
    for (const char* folder : {"", "/files", "/info"}) EXPECT_EQ(Mode(m_strTrash + folder), 0700u) << folder;

    const std::vector<TrashedEntry> trashed = ListTrash(m_strTrash);
    ASSERT_EQ(trashed.size(), cases.size());
    const std::regex date(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d)");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.m_strRelative);
        const auto it = std::find_if(trashed.begin(), trashed.end(),
                                     [&](const TrashedEntry& e) { return e.m_strName == c.m_strTrashName; });
        ASSERT_NE(it, trashed.end());
        EXPECT_EQ(it->m_strText, "[Trash Info]\nPath=" + m_dir.Root() + c.m_strEncoded +
                                     "\nDeletionDate=" + it->m_strDate + "\nX-Tandemere-Move=1\n");
        EXPECT_TRUE(std::regex_match(it->m_strDate, date)) << it->m_strDate;
        ASSERT_EQ(it->m_strPath, m_dir.Path(c.m_strRelative));
        ASSERT_EQ(::rename((m_strTrash + "/files/" + it->m_strName).c_str(), it->m_strPath.c_str()), 0);
        if (c.m_strTrashName == "link")
            EXPECT_EQ(LinkTarget(it->m_strPath), "same.txt");
        else
            EXPECT_EQ(ReadFile(it->m_strPath), c.m_strRelative);
    }
}

// Many files of one name each keep a name of their own in the trash, also past the numbered ones;
// a name too long for ".trashinfo" beside it is cut at a character's start when it is UTF-8, else
// at any byte.
TEST_F(PosixTrashTest, EveryTrashedFileKeepsANameOfItsOwn) {
    // 255 bytes; the trash has room for 229, which would cut the two bytes of the "\xC3\xA9" apart.
    const std::string longName = std::string(228, 'n') + "\xC3\xA9" + std::string(25, 'z');
    std::string gbkName;  // 125 two-byte characters of GBK, every byte of them in 0x80-0xBF or above
    for (int i = 0; i < 125; ++i) gbkName += "\xB0\xA1";
    const std::map<std::string, std::string> cutNames = {{longName, longName.substr(0, 228)},
                                                         {gbkName, gbkName.substr(0, 229)}};
    std::vector<std::string> paths;
    for (int i = 0; i < 20; ++i) paths.push_back(m_dir.Path("f" + std::to_string(i) + "/same.txt"));
    for (const auto& [name, cut] : cutNames) paths.push_back(m_dir.Path("long/" + name));
    for (const std::string& path : paths) {
        ASSERT_TRUE(WriteFile(path, path));
        std::string where;
        ASSERT_OK(m_fs.MoveToTrash(path, where));
    }
    const std::vector<TrashedEntry> trashed = ListTrash(m_strTrash);
    ASSERT_EQ(trashed.size(), paths.size());
    std::set<std::string> restored;
    for (const TrashedEntry& entry : trashed) {
        EXPECT_EQ(ReadFile(m_strTrash + "/files/" + entry.m_strName), entry.m_strPath);
        restored.insert(entry.m_strPath);
        const auto cut = cutNames.find(entry.m_strPath.substr(m_dir.Path("long/").size()));
        if (entry.m_strPath.rfind(m_dir.Path("long/"), 0) == 0 && cut != cutNames.end()) {
            EXPECT_EQ(entry.m_strName, cut->second);
        }
    }
    EXPECT_EQ(restored, std::set<std::string>(paths.begin(), paths.end()));
}

// A file of another file system goes to its top folder's .Trash-$uid, never to the home trash by a
// copy, its Path relative to the top folder; FindTrash names the same trash beforehand, asked about
// the file or about its folder.
TEST_F(PosixTrashTest, FileOnAnotherFileSystemGoesToItsTopFolderTrash) {
    TempFolder shm("/dev/shm");
    ShmTrashUse use(shm.Root());
    ASSERT_TRUE(WriteFile(shm.Path("f.txt"), "on shm"));
    std::string found;
    std::string foundForFolder;
    ASSERT_OK(m_fs.FindTrash(shm.Path("f.txt"), found));
    ASSERT_OK(m_fs.FindTrash(shm.Root(), foundForFolder));
    std::string where;
    ASSERT_OK(m_fs.MoveToTrash(shm.Path("f.txt"), where));
    EXPECT_EQ(where, Where(ShmTrash()));
    EXPECT_EQ(found, where);
    EXPECT_EQ(foundForFolder, where);
    EXPECT_FALSE(Exists(shm.Path("f.txt")));
    EXPECT_FALSE(Exists(m_strTrash));
    for (const char* folder : {"", "/files", "/info"}) EXPECT_EQ(Mode(ShmTrash() + folder), 0700u) << folder;
    bool seen = false;
    for (const TrashedEntry& entry : ListTrash(ShmTrash())) {
        if (entry.m_strPath != shm.Path("f.txt")) continue;
        seen = true;
        EXPECT_EQ(ReadFile(ShmTrash() + "/files/" + entry.m_strName), "on shm");
        const std::string relative = shm.Path("f.txt").substr(std::string("/dev/shm/").size());
        EXPECT_NE(entry.m_strText.find("\nPath=" + posix::EncodeTrashPath(relative) + "\n"),
                  std::string::npos)
            << entry.m_strText;
    }
    EXPECT_TRUE(seen);
}

// FindTrash answers without making anything; MoveToTrash then uses the trash it named.
TEST_F(PosixTrashTest, FindTrashChangesNothing) {
    ASSERT_TRUE(WriteFile(m_dir.Path("f.txt"), "f"));
    const std::vector<std::string> before = ListTree(m_dir.Root());
    std::string found;
    ASSERT_OK(m_fs.FindTrash(m_dir.Path("f.txt"), found));
    EXPECT_EQ(found, Where(m_strTrash));
    EXPECT_EQ(ListTree(m_dir.Root()), before);
    std::string where;
    ASSERT_OK(m_fs.MoveToTrash(m_dir.Path("f.txt"), where));
    EXPECT_EQ(where, found);
    // A home trash that cannot be made is reported by both, named alike, and the file stays.
    ASSERT_TRUE(WriteFile(m_dir.Path("locked/g.txt"), "g"));
    const std::string locked = m_dir.Path("locked/data");
    ScopedEnv data("XDG_DATA_HOME", locked.c_str());
    LockedFolder lock(m_dir.Path("locked"));
    ASSERT_TRUE(lock.IsLocked());
    EXPECT_STATUS_KIND(m_fs.FindTrash(m_dir.Path("locked/g.txt"), found), ErrorKind::AccessDenied);
    EXPECT_STATUS_KIND(m_fs.MoveToTrash(m_dir.Path("locked/g.txt"), where), ErrorKind::AccessDenied);
    EXPECT_EQ(where, Where(locked + "/Trash"));
    EXPECT_EQ(found, where);
    EXPECT_EQ(ReadFile(m_dir.Path("locked/g.txt")), "g");
    EXPECT_FALSE(Exists(locked));
}

// What FindTrash says is what MoveToTrash does: without HOME the password database names the home;
// a file seen through a bind mount cannot be renamed into the home trash, and both say so.
TEST_F(PosixTrashTest, FindTrashAnswersAsTheMoveWould) {
    ASSERT_TRUE(WriteFile(m_dir.Path("real/f.txt"), "f"));
    const struct passwd* user = ::getpwuid(::getuid());
    struct stat home {};
    struct stat here {};
    ASSERT_EQ(::stat(m_dir.Root().c_str(), &here), 0);
    if (user != nullptr && ::stat(user->pw_dir, &home) == 0 && home.st_dev == here.st_dev) {
        ScopedEnv noData("XDG_DATA_HOME", nullptr);
        ScopedEnv noHome("HOME", nullptr);
        std::string found;
        ASSERT_OK(m_fs.FindTrash(m_dir.Path("real/f.txt"), found));
        EXPECT_EQ(found, Where(std::string(user->pw_dir) + "/.local/share/Trash"));
    }
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to make a bind mount";
    ASSERT_TRUE(MakeFolders(m_dir.Path("bound")));
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // In a mount namespace of its own, so the bind mount goes with the child.
        if (::unshare(CLONE_NEWNS) != 0 ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount(m_dir.Path("real").c_str(), m_dir.Path("bound").c_str(), nullptr, MS_BIND, nullptr) != 0)
            ::_exit(2);
        std::string found;
        std::string where;
        const Status look = posix::PosixFileSystem().FindTrash(m_dir.Path("bound/f.txt"), found);
        const Status move = posix::PosixFileSystem().MoveToTrash(m_dir.Path("bound/f.txt"), where);
        const bool same = look.Kind() == ErrorKind::CrossDevice && move.Kind() == ErrorKind::CrossDevice &&
                          found == Where(m_strTrash) && where == found;
        ::_exit(same ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 2) GTEST_SKIP() << "no bind mount here";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(ReadFile(m_dir.Path("real/f.txt")), "f");
}

// Where the step that moves the file fails, or the .trashinfo cannot be written, the file stays and
// no .trashinfo is left to name a file the trash does not hold.
TEST_F(PosixTrashTest, AFailedStepLeavesTheFileAndNoTrashInfo) {
    struct Case {
        const char* m_pszName;
        Call m_nCall;
        int m_nNth;
    };
    const Case cases[] = {{"info not written", Call::Write, 1},
                          {"info not flushed", Call::Fsync, 1},
                          {"info not linked under its name", Call::LinkAt, 1},
                          {"rename refused", Call::RenameAt2, 1}};
    ASSERT_TRUE(WriteFile(m_dir.Path("f.txt"), "f"));
    std::string where;
    ASSERT_TRUE(WriteFile(m_dir.Path("first.txt"), "first"));
    ASSERT_OK(m_fs.MoveToTrash(m_dir.Path("first.txt"), where));  // the trash is made
    const std::vector<std::string> trash = ListTree(m_strTrash);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.m_pszName);
        {
            SyscallFaults faults;
            faults.FailNth(c.m_nCall, c.m_nNth, EIO);
            EXPECT_STATUS_KIND(m_fs.MoveToTrash(m_dir.Path("f.txt"), where), ErrorKind::Io);
            EXPECT_EQ(faults.Faults(), 1);
        }
        EXPECT_EQ(where, Where(m_strTrash));
        EXPECT_EQ(ReadFile(m_dir.Path("f.txt")), "f");
        EXPECT_EQ(ListTree(m_strTrash), trash);
    }
}

// A user who may not make the top folder trash of the file's file system (here the root folder's,
// the home trash lying on another one) gets the failure, and the file stays.
TEST_F(PosixTrashTest, TopFolderTrashThatCannotBeMadeLeavesTheFile) {
    constexpr uid_t kNobody = 65534;
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to become another user";
    struct stat root {};
    ASSERT_EQ(::stat("/", &root), 0);
    struct stat shm {};
    if (::stat("/dev/shm", &shm) != 0 || shm.st_dev == root.st_dev) GTEST_SKIP() << "no second file system";
    if (Exists("/.Trash-" + std::to_string(kNobody)) || Exists("/.Trash")) GTEST_SKIP() << "/ has a trash";
    struct stat tmp {};
    ASSERT_EQ(::stat(m_dir.Root().c_str(), &tmp), 0);
    if (tmp.st_dev != root.st_dev) GTEST_SKIP() << "the temporary folder is no part of /";
    ASSERT_TRUE(WriteFile(m_dir.Path("open/f.txt"), "f"));
    ASSERT_TRUE(SetMode(m_dir.Root(), 0777) && SetMode(m_dir.Path("open"), 0777));
    const std::string expected = Where("/.Trash-" + std::to_string(kNobody));
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ScopedEnv data("XDG_DATA_HOME", "/dev/shm/nobody-has-no-home-here");
        std::string where;
        const bool refused = ::setresgid(kNobody, kNobody, kNobody) == 0 &&
                             ::setresuid(kNobody, kNobody, kNobody) == 0 &&
                             posix::PosixFileSystem().MoveToTrash(m_dir.Path("open/f.txt"), where).Kind() ==
                                 ErrorKind::AccessDenied &&
                             where == expected;
        ::_exit(refused ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(ReadFile(m_dir.Path("open/f.txt")), "f");
    EXPECT_FALSE(Exists("/.Trash-" + std::to_string(kNobody)));
}

}  // namespace
}  // namespace tandemere::testing
