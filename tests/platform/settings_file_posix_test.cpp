// Platform tests: the settings file, its value typing and its atomic rewrites, on real files.
#include "platform/posix/settings_file_posix.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <optional>
#include <string>

#include "tests/platform/locked_folder_posix.h"
#include "tests/support/scoped_env.h"
#include "tests/support/status_assert.h"
#include "tests/support/syscall_faults_posix.h"
#include "tests/support/temp_folder.h"

namespace tandemere::testing {
namespace {

using engine::ErrorKind;
using engine::ValueKind;
using Call = SyscallFaults::Call;
using posix::SettingsFileStore;
using posix::SettingValue;

ino_t Inode(const std::string& path) {
    struct stat st {};
    ::lstat(path.c_str(), &st);
    return st.st_ino;
}

class SettingsFileTest : public ::testing::Test {
protected:
    TempFolder m_dir;
    std::string m_strPath = m_dir.Path("conf/tandemere/settings");
    SettingsFileStore m_store{m_strPath};
};

TEST_F(SettingsFileTest, NoFileMeansNoKeyAndReadingCreatesNothing) {
    EXPECT_EQ(m_store.OpenForRead(), nullptr);
    std::vector<SettingValue> values;
    EXPECT_OK(m_store.List(values));
    EXPECT_TRUE(values.empty());
    SettingValue value;
    EXPECT_STATUS_KIND(m_store.Get("Logging", value), engine::ErrorKind::NotFound);
    EXPECT_OK(m_store.Unset("Logging"));
    EXPECT_FALSE(Exists(m_dir.Path("conf")));
    EXPECT_EQ(m_store.WriteErrorText(), "Error writing to settings file \"" + m_strPath + "\"");
}

TEST_F(SettingsFileTest, OnlyWellFormedDwordsReadAsNumbers) {
    ASSERT_TRUE(WriteFile(m_strPath,
                          "Windows Registry Editor Version 5.00\n"
                          "[Software\\Tandemere]\n"
                          "\"Logging\"=dword:00000000\n"
                          "\"FullPaths\"=\"1\"\n"
                          "\"OnlyCompareSameExt\"=dword:1e\n"
                          "\"DiffFileSameNameDlgDefault\"=dword:FFFFFFFF\r\n"
                          "\"SameFileDiffNameDlgDefault\"=hex:e6,00,00,00\n"
                          "FnameFldrnameClashDlgDefault=dword:000000e7\n"
                          "\"fldrnamefnameclashdlgdefault\"=dword:000000e8\n"
                          "\"FldrnameFnameClashDlgDefault\"=dword:00000001\n"
                          "\"Quote\\\"d\"=\"a \\\"b\\\" \\\\c\"\n"));
    std::unique_ptr<engine::ISettingsKey> key = m_store.OpenForRead();
    ASSERT_NE(key, nullptr);
    struct Case {
        const char* m_pszName;
        ValueKind m_nKind;
        std::uint32_t m_nValue;
    };
    const Case cases[] = {
        {"Logging", ValueKind::Dword, 0},
        {"FullPaths", ValueKind::OtherType, 0},
        {"OnlyCompareSameExt", ValueKind::OtherType, 0},  // not eight digits
        {"DiffFileSameNameDlgDefault", ValueKind::Dword, 0xFFFFFFFFu},
        {"SameFileDiffNameDlgDefault", ValueKind::OtherType, 0},
        {"FnameFldrnameClashDlgDefault", ValueKind::Missing, 0},   // not a value line
        {"FldrnameFnameClashDlgDefault", ValueKind::Dword, 0xe8},  // names ignore case; the first wins
        {"Absent", ValueKind::Missing, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.m_pszName);
        std::uint32_t value = 12345;
        EXPECT_EQ(key->QueryDword(c.m_pszName, value), c.m_nKind);
        EXPECT_EQ(value, c.m_nKind == ValueKind::Dword ? c.m_nValue : 12345u);
    }
    SettingValue text;
    ASSERT_OK(m_store.Get("Quote\"d", text));
    EXPECT_EQ(text.m_nKind, SettingValue::Kind::Text);
    EXPECT_EQ(text.m_strText, "a \"b\" \\c");
    SettingValue other;
    ASSERT_OK(m_store.Get("SameFileDiffNameDlgDefault", other));
    EXPECT_EQ(other.m_nKind, SettingValue::Kind::Other);
    EXPECT_EQ(other.m_strRaw, "hex:e6,00,00,00");
}

TEST_F(SettingsFileTest, WritesReplaceInPlaceAppendAndKeepEveryOtherLine) {
    const std::string original =
        "# written by hand\n"
        "\"Logging\"=dword:00000001\n"
        "garbage line \"x\"=\n"
        "\"FullPaths\"=\"yes\"\n"
        "\"logging\"=dword:00000005\n"
        "\n"
        "last line without newline";
    ASSERT_TRUE(WriteFile(m_strPath, original));
    ASSERT_EQ(::chmod(m_strPath.c_str(), 0600), 0);
    // A second name for the original file shows whether it was replaced or rewritten in place.
    const std::string originalLink = m_dir.Path("original");
    ASSERT_EQ(::link(m_strPath.c_str(), originalLink.c_str()), 0);
    ASSERT_OK(m_store.SetDword("LOGGING", 0));
    ASSERT_OK(m_store.SetDword("DiffFileSameNameDlgDefault", 231));
    ASSERT_OK(m_store.SetDword("FullPaths", 0xFFFFFFFFu));
    EXPECT_EQ(ReadFile(m_strPath),
              "# written by hand\n"
              "\"Logging\"=dword:00000000\n"
              "garbage line \"x\"=\n"
              "\"FullPaths\"=dword:ffffffff\n"
              "\n"
              "last line without newline\n"
              "\"DiffFileSameNameDlgDefault\"=dword:000000e7\n");
    // Replaced by rename, not rewritten in place; mode kept; no temporary left behind.
    EXPECT_EQ(ReadFile(originalLink), original);
    EXPECT_EQ(Mode(m_strPath), 0600u);
    EXPECT_EQ(ListTree(m_dir.Path("conf/tandemere")),
              std::vector<std::string>{"settings (" + std::to_string(ReadFile(m_strPath).size()) + ")"});

    ASSERT_OK(m_store.Unset("fullpaths"));
    const ino_t afterUnset = Inode(m_strPath);
    ASSERT_OK(m_store.Unset("NotThere"));
    EXPECT_EQ(Inode(m_strPath), afterUnset) << "unsetting a missing value rewrote the file";
    EXPECT_EQ(ReadFile(m_strPath),
              "# written by hand\n"
              "\"Logging\"=dword:00000000\n"
              "garbage line \"x\"=\n"
              "\n"
              "last line without newline\n"
              "\"DiffFileSameNameDlgDefault\"=dword:000000e7\n");
}

TEST_F(SettingsFileTest, WriteKeyCreatesTheFileAndAReadKeySeesIt) {
    std::unique_ptr<engine::ISettingsKey> writer = m_store.OpenForWrite();
    ASSERT_NE(writer, nullptr);
    EXPECT_TRUE(Exists(m_strPath));
    EXPECT_EQ(ReadFile(m_strPath), "");
    EXPECT_TRUE(writer->SetDword("SameFileDiffNameDlgDefault", 230));
    std::uint32_t value = 0;
    EXPECT_EQ(writer->QueryDword("SameFileDiffNameDlgDefault", value), ValueKind::Dword);
    EXPECT_EQ(value, 230u);
    std::unique_ptr<engine::ISettingsKey> reader = m_store.OpenForRead();
    ASSERT_NE(reader, nullptr);
    EXPECT_EQ(reader->QueryDword("SameFileDiffNameDlgDefault", value), ValueKind::Dword);
    EXPECT_EQ(ReadFile(m_strPath), "\"SameFileDiffNameDlgDefault\"=dword:000000e6\n");
}

TEST_F(SettingsFileTest, WritingThroughALinkReplacesItsTarget) {
    const std::string real = m_dir.Path("real-settings");
    ASSERT_TRUE(WriteFile(real, "\"Logging\"=dword:00000001\n"));
    ASSERT_TRUE(MakeFolders(m_dir.Path("conf/tandemere")));
    ASSERT_TRUE(MakeSymlink(real, m_strPath));
    ASSERT_OK(m_store.SetDword("Logging", 0));
    EXPECT_EQ(ReadFile(real), "\"Logging\"=dword:00000000\n");
    EXPECT_EQ(ListTree(m_dir.Path("conf/tandemere")), std::vector<std::string>{"settings -> " + real});
}

TEST_F(SettingsFileTest, AnUnwritableFileIsLeftAsItWas) {
    ASSERT_TRUE(WriteFile(m_strPath, "\"Logging\"=dword:00000001\n"));
    const std::string folder = m_dir.Path("conf/tandemere");
    {
        LockedFolder lock(folder);
        if (!lock.IsLocked()) GTEST_SKIP() << "cannot lock a folder";
        EXPECT_EQ(m_store.OpenForWrite(), nullptr);
        EXPECT_FALSE(m_store.SetDword("Logging", 0).IsOk());
        EXPECT_NE(m_store.OpenForRead(), nullptr) << "reading needs no write access";
    }
    EXPECT_EQ(ReadFile(m_strPath), "\"Logging\"=dword:00000001\n");
    EXPECT_EQ(ListTree(folder), std::vector<std::string>{"settings (25)"});
}

// A rewrite failing part-way leaves the file as it was and no temporary beside it, reporting the
// file system's error kinds; a taken temporary name is drawn again.
TEST_F(SettingsFileTest, FailedRewriteLeavesTheFileAndNoTemporary) {
    const std::string original = "\"Logging\"=dword:00000001\n";
    ASSERT_TRUE(WriteFile(m_strPath, original));
    struct Case {
        Call m_nCall;
        int m_nErrno;
        const char* m_pszPathPart;
        ErrorKind m_nKind;  // None: the rewrite succeeds
    };
    const Case cases[] = {{Call::Write, ENOSPC, "", ErrorKind::Io},
                          {Call::Fsync, EIO, "", ErrorKind::Io},
                          {Call::RenameAt2, EBUSY, "", ErrorKind::AccessDenied},
                          {Call::OpenAt, EEXIST, ".tmp-", ErrorKind::None}};
    for (const Case& c : cases) {
        SCOPED_TRACE(CallName(c.m_nCall));
        engine::Status status;
        {
            SyscallFaults faults;
            faults.FailNth(c.m_nCall, 1, c.m_nErrno, c.m_pszPathPart);
            status = m_store.SetDword("Logging", 0);
        }
        if (c.m_nKind == ErrorKind::None) {
            EXPECT_OK(status);
            EXPECT_EQ(ReadFile(m_strPath), "\"Logging\"=dword:00000000\n");
        } else {
            EXPECT_STATUS_KIND(status, c.m_nKind);
            EXPECT_EQ(ReadFile(m_strPath), original);
        }
        EXPECT_EQ(ListTree(m_dir.Path("conf/tandemere")), std::vector<std::string>{"settings (25)"});
    }
    std::vector<SettingValue> values;
    EXPECT_STATUS_KIND(SettingsFileStore(m_dir.Path("conf")).List(values), ErrorKind::IsADirectory);
}

TEST(SettingsPathTest, EnvironmentChoosesTheFile) {
    struct Case {
        const char* m_pszSettings;
        const char* m_pszXdg;
        const char* m_pszHome;
        const char* m_pszExpected;
    };
    const Case cases[] = {
        {"/etc/t.conf", "/x", "/home/u", "/etc/t.conf"},
        {nullptr, "/x/cfg", "/home/u", "/x/cfg/tandemere/settings"},
        {"", "", "/home/u", "/home/u/.config/tandemere/settings"},
        {nullptr, "relative", "/home/u", "/home/u/.config/tandemere/settings"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.m_pszExpected);
        ScopedEnv settings("TANDEMERE_SETTINGS", c.m_pszSettings);
        ScopedEnv xdg("XDG_CONFIG_HOME", c.m_pszXdg);
        ScopedEnv home("HOME", c.m_pszHome);
        EXPECT_EQ(posix::DefaultSettingsPath(), c.m_pszExpected);
    }
}

}  // namespace
}  // namespace tandemere::testing
