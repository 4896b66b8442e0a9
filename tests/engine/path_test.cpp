// Tests of the path text rules, for both path styles.
#include "engine/path.h"

#include "engine/drop_refusal.h"

#include <gtest/gtest.h>

#include <string>

namespace tandemere::engine {
namespace {

struct Case {
    const char* m_pszIn;
    const char* m_pszOut;
};

TEST(PathTest, RemoveFileSpecKeepsRoots) {
    const Case windows[] = {{"C:\\Work\\report.txt", "C:\\Work"},
                            {"C:\\a.txt", "C:\\"},
                            {"C:\\", "C:\\"},
                            {"C:\\Work\\", "C:\\Work"},
                            {"name", ""},
                            {"\\\\server\\share\\foo", "\\\\server\\share\\"},
                            {"\\\\server\\share\\sub\\foo", "\\\\server\\share\\sub"},
                            {"\\\\?\\UNC\\server\\share\\foo", "\\\\?\\UNC\\server\\share\\"}};
    for (const Case& c : windows) {
        SCOPED_TRACE(c.m_pszIn);
        std::string path = c.m_pszIn;
        RemoveFileSpec(kWindowsPaths, path);
        EXPECT_EQ(path, c.m_pszOut);
    }
    const Case posix[] = {{"/work/report.txt", "/work"}, {"/a.txt", "/"}, {"/", "/"}};
    for (const Case& c : posix) {
        SCOPED_TRACE(c.m_pszIn);
        std::string path = c.m_pszIn;
        RemoveFileSpec(kPosixPaths, path);
        EXPECT_EQ(path, c.m_pszOut);
    }
}

TEST(PathTest, ExtensionFollowsTheLastDotUnlessABlankFollows) {
    const Case cases[] = {{"report.txt", ".txt"}, {"archive.tar.gz", ".gz"}, {"README", ""},
                          {"notes.old copy", ""}, {".profile", ".profile"},  {"a. b.txt", ".txt"},
                          {"dir.d\\name", ""},    {"C:\\x.y\\file.z", ".z"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.m_pszIn);
        EXPECT_EQ(FindExtension(kWindowsPaths, c.m_pszIn), c.m_pszOut);
    }
}

TEST(PathTest, FileNameKeepsATrailingSeparator) {
    EXPECT_EQ(FindFileName(kWindowsPaths, "C:\\Work\\Photos\\"), "Photos\\");
    EXPECT_EQ(FindFileName(kWindowsPaths, "C:\\Work\\a.jpg"), "a.jpg");
    EXPECT_EQ(FindFileName(kPosixPaths, "/work/photos/"), "photos/");
    EXPECT_EQ(FindFileName(kPosixPaths, "plain"), "plain");
}

TEST(PathTest, RootsOfBothStyles) {
    EXPECT_TRUE(IsRoot(kWindowsPaths, "C:\\"));
    EXPECT_TRUE(IsRoot(kWindowsPaths, "\\\\server\\share"));
    EXPECT_TRUE(IsRoot(kWindowsPaths, "\\\\server\\share\\"));
    EXPECT_FALSE(IsRoot(kWindowsPaths, "\\\\server\\share\\x"));
    EXPECT_TRUE(IsRoot(kWindowsPaths, "\\\\?\\UNC\\server\\share"));
    EXPECT_FALSE(IsRoot(kWindowsPaths, "\\\\?\\UNC\\server\\share\\x"));
    EXPECT_FALSE(IsRoot(kWindowsPaths, "C:"));
    EXPECT_FALSE(IsRoot(kWindowsPaths, "C:\\Work"));
    EXPECT_TRUE(IsRoot(kPosixPaths, "/"));
    EXPECT_FALSE(IsRoot(kPosixPaths, "/tmp"));
}

TEST(PathTest, SameFolderReadsPathsAsThePlatformDoes) {
    struct Pair {
        const PathStyle& m_rStyle;
        const char* m_pszA;
        const char* m_pszB;
        bool m_bSame;
    };
    const Pair cases[] = {
        {kWindowsPaths, "\\\\server\\share\\", "\\\\server\\share", true},
        {kWindowsPaths, "\\\\Server\\SHARE", "\\\\server\\share\\", true},
        {kWindowsPaths, "\\\\?\\UNC\\server\\share\\", "\\\\server\\share", true},
        {kWindowsPaths, "\\\\?\\unc\\server\\share\\sub", "\\\\server\\share\\sub\\", true},
        {kWindowsPaths, "\\\\server\\share\\sub", "\\\\server\\share", false},
        {kWindowsPaths, "\\\\server\\other", "\\\\server\\share", false},
        {kWindowsPaths, "\\\\?\\C:\\Work\\", "c:\\work", true},
        {kWindowsPaths, "C:\\", "C:\\", true},
        {kWindowsPaths, "C:\\Work", "C:\\Work2", false},
        {kPosixPaths, "/work/", "/work", true},
        {kPosixPaths, "/Work", "/work", false},
    };
    for (const Pair& c : cases) {
        SCOPED_TRACE(std::string(c.m_pszA) + " | " + c.m_pszB);
        EXPECT_EQ(SameFolder(c.m_rStyle, c.m_pszA, c.m_pszB), c.m_bSame);
    }
}

TEST(PathTest, SeparatorsAddedAndRemovedOnce) {
    std::string path = "C:\\Work";
    AddSeparator(kWindowsPaths, path);
    AddSeparator(kWindowsPaths, path);
    EXPECT_EQ(path, "C:\\Work\\");
    RemoveSeparator(kWindowsPaths, path);
    EXPECT_EQ(path, "C:\\Work");
    std::string root = "C:\\";
    RemoveSeparator(kWindowsPaths, root);
    EXPECT_EQ(root, "C:\\");
    EXPECT_EQ(ParentFolder(kPosixPaths, "/a/b/"), "/a/");
    EXPECT_EQ(ParentFolder(kWindowsPaths, "C:\\a.txt"), "C:\\");
}

TEST(PathTest, ExtensionPatternIgnoresCaseOnlyOnWindows) {
    EXPECT_TRUE(MatchesExtension(kWindowsPaths, "A.TXT", ".txt"));
    EXPECT_FALSE(MatchesExtension(kPosixPaths, "A.TXT", ".txt"));
    EXPECT_TRUE(MatchesExtension(kPosixPaths, "anything", ""));
    EXPECT_FALSE(MatchesExtension(kPosixPaths, "a.txt.bak", ".txt"));
}

// The refusal rule on both styles: each spelling of the item is compared, a pattern covers one name.
TEST(PathTest, DroppedItemsNoOneMeansToMoveAreRefused) {
    const ProtectedFolders posix{"/home/ann", {"/usr", "/lib*", "/usr/bin"}};
    const ProtectedFolders windows{"C:\\Users\\Ann", {"C:\\Windows", "C:\\Program Files"}};
    struct Row {
        const PathStyle* m_pStyle;
        DroppedItem m_oItem;
        DropRefusal m_nExpected;
    };
    const Row rows[] = {
        {&kPosixPaths, {"/", "", false}, DropRefusal::Root},
        {&kPosixPaths, {"/home/ann/", "/home/ann", false}, DropRefusal::Home},
        {&kPosixPaths, {"/data/me", "/home/ann", false}, DropRefusal::Home},  // reached through a link
        {&kPosixPaths, {"/home", "/home", false}, DropRefusal::HoldsHome},
        {&kPosixPaths, {"/home/annex", "/home/annex", false}, DropRefusal::None},
        {&kPosixPaths, {"/home/ann/Docs", "/home/ann/Docs", false}, DropRefusal::None},
        {&kPosixPaths, {"/lib64", "/usr/lib64", false}, DropRefusal::SystemFolder},
        {&kPosixPaths, {"/lib/x", "/usr/lib/x", false}, DropRefusal::None},
        {&kPosixPaths, {"/bin", "/usr/bin", false}, DropRefusal::SystemFolder},
        {&kPosixPaths, {"/USR", "/USR", false}, DropRefusal::None},
        {&kPosixPaths, {"/mnt/usb", "/mnt/usb", true}, DropRefusal::MountTop},
        {&kWindowsPaths, {"D:\\", "", false}, DropRefusal::Root},
        {&kWindowsPaths, {"c:\\users\\ann", "", false}, DropRefusal::Home},
        {&kWindowsPaths, {"C:\\Users", "C:\\Users", false}, DropRefusal::HoldsHome},
        {&kWindowsPaths, {"C:\\PROGRA~1", "C:\\Program Files", false}, DropRefusal::SystemFolder},
        {&kWindowsPaths, {"C:\\Windows\\Temp\\a.txt", "", false}, DropRefusal::None},
        {&kWindowsPaths, {"C:\\Mounted", "C:\\Mounted", true}, DropRefusal::MountTop},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.m_oItem.m_strPath);
        const ProtectedFolders& folders = row.m_pStyle == &kPosixPaths ? posix : windows;
        EXPECT_EQ(RefuseDroppedItem(*row.m_pStyle, folders, row.m_oItem), row.m_nExpected);
    }
}

}  // namespace
}  // namespace tandemere::engine
