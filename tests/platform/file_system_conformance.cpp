// Platform tests: what every file-system backend must guarantee, on real temporary folders.
#include "tests/platform/file_system_conformance.h"

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/status_assert.h"
#include "tests/support/tree_snapshot.h"

namespace tandemere::testing {

using engine::DirEntry;
using engine::ErrorKind;

namespace {

// Windows keeps one permission bit, read-only (the other bits read back as 0666 or 0444), and
// none for folders; a read-only file must still move.
#ifdef _WIN32
constexpr unsigned kFileMode = 0444;
constexpr unsigned kTreeFileMode = 0444;
constexpr bool kFolderModes = false;
#else
constexpr unsigned kFileMode = 0640;
constexpr unsigned kTreeFileMode = 0600;
constexpr bool kFolderModes = true;
#endif

ConformanceBackend& Backend() {
    static ConformanceBackend backend;
    return backend;
}

std::string& FolderMoveSkipReason() {
    static std::string reason;
    return reason;
}

std::vector<std::string> Names(const std::vector<DirEntry>& entries) {
    std::vector<std::string> names;
    for (const DirEntry& e : entries) names.push_back(e.m_strName);
    std::sort(names.begin(), names.end());
    return names;
}

std::string ReadAll(engine::IFileSystem& fs, const std::string& path) {
    std::unique_ptr<engine::IReadFile> file;
    EXPECT_OK(fs.OpenRead(path, file));
    if (!file) return {};
    std::string bytes;
    char buffer[7];  // small on purpose: many short reads
    for (;;) {
        std::size_t got = 0;
        EXPECT_OK(file->Read(buffer, sizeof buffer, got));
        if (got == 0) break;
        bytes.append(buffer, got);
    }
    return bytes;
}

}  // namespace

void SetConformanceBackend(ConformanceBackend backend) {
    Backend() = std::move(backend);
}
const ConformanceBackend& GetConformanceBackend() {
    return Backend();
}
void SetFolderMoveSkipReason(std::string reason) {
    FolderMoveSkipReason() = std::move(reason);
}

void FileSystemConformanceTest::SetUp() {
    ASSERT_TRUE(Backend().m_fnMake) << "no backend registered";
    m_pFs = Backend().m_fnMake();
    ASSERT_TRUE(m_dir.IsValid());
    if (!Backend().m_strOtherVolumeBase.empty()) m_other.emplace(Backend().m_strOtherVolumeBase);
}

TEST_F(FileSystemConformanceTest, ListingHasDotsEntriesSizesAndTimes) {
    const std::uint64_t when = TicksFromUnixTime(1600000000, 500000000);
    ASSERT_TRUE(WriteFile(m_dir.Path("a.txt"), "12345", when));
    ASSERT_TRUE(MakeFolders(m_dir.Path("sub")));
    std::vector<DirEntry> entries;
    ASSERT_OK(m_pFs->ListFolder(m_dir.Root(), entries));
    EXPECT_EQ(Names(entries), (std::vector<std::string>{".", "..", "a.txt", "sub"}));
    std::vector<DirEntry> again;
    std::string withSeparator = m_dir.Root();
    withSeparator += NativeSeparator();
    ASSERT_OK(m_pFs->ListFolder(withSeparator, again));
    EXPECT_EQ(Names(again), Names(entries));
    for (const DirEntry& e : entries) {
        SCOPED_TRACE(e.m_strName);
        if (e.m_strName == "a.txt") {
            EXPECT_FALSE(e.m_bDirectory);
            EXPECT_EQ(e.m_nSize, 5u);
            EXPECT_EQ(e.m_nLastWriteTime, when);
        } else {
            EXPECT_TRUE(e.m_bDirectory);
            EXPECT_EQ(e.m_nSize, 0u);
        }
        EXPECT_FALSE(e.m_bLink);
    }
    ASSERT_TRUE(MakeFolders(m_dir.Path("empty")));
    ASSERT_OK(m_pFs->ListFolder(m_dir.Path("empty"), entries));
    EXPECT_EQ(Names(entries), (std::vector<std::string>{".", ".."}));
    EXPECT_STATUS_KIND(m_pFs->ListFolder(m_dir.Path("missing"), entries), ErrorKind::NotFound);
}

TEST_F(FileSystemConformanceTest, ListingNamesGivesTheListingsNamesAndKinds) {
    ASSERT_TRUE(WriteFile(m_dir.Path("a.txt"), "12345"));
    ASSERT_TRUE(MakeFolders(m_dir.Path("sub")));
    if (GetConformanceBackend().m_bSymlinks) {
        ASSERT_TRUE(MakeSymlink(m_dir.Path("sub"), m_dir.Path("link")));
    }
    std::vector<DirEntry> full;
    std::vector<DirEntry> names;
    ASSERT_OK(m_pFs->ListFolder(m_dir.Root(), full));
    ASSERT_OK(m_pFs->ListNames(m_dir.Root(), names));
    ASSERT_EQ(Names(full), Names(names));
    for (const DirEntry& e : full) {
        const auto same = std::find_if(names.begin(), names.end(),
                                       [&](const DirEntry& n) { return n.m_strName == e.m_strName; });
        SCOPED_TRACE(e.m_strName);
        EXPECT_EQ(e.m_bDirectory, same->m_bDirectory);
        EXPECT_EQ(e.m_bLink, same->m_bLink);
    }
    EXPECT_STATUS_KIND(m_pFs->ListNames(m_dir.Path("missing"), names), ErrorKind::NotFound);
}

TEST_F(FileSystemConformanceTest, LookupReportsLinksNotTheirTargets) {
    ASSERT_TRUE(WriteFile(m_dir.Path("file"), "abc"));
    ASSERT_TRUE(MakeFolders(m_dir.Path("folder")));
    DirEntry entry;
    ASSERT_OK(m_pFs->Lookup(m_dir.Path("file"), entry));
    EXPECT_EQ(entry.m_strName, "file");
    EXPECT_EQ(entry.m_nSize, 3u);
    EXPECT_FALSE(entry.m_bDirectory || entry.m_bLink);
    ASSERT_OK(m_pFs->Lookup(m_dir.Path("folder") + NativeSeparator(), entry));
    EXPECT_TRUE(entry.m_bDirectory);
    EXPECT_EQ(entry.m_strName, "folder");
    EXPECT_STATUS_KIND(m_pFs->Lookup(m_dir.Path("none"), entry), ErrorKind::NotFound);
    EXPECT_TRUE(m_pFs->IsFolder(m_dir.Path("folder")));
    EXPECT_FALSE(m_pFs->IsFolder(m_dir.Path("file")));
    EXPECT_FALSE(m_pFs->IsFolder(m_dir.Path("none")));
    if (!GetConformanceBackend().m_bSymlinks) return;
    ASSERT_TRUE(MakeSymlink(m_dir.Path("folder"), m_dir.Path("to-folder")));
    ASSERT_TRUE(MakeSymlink("nowhere", m_dir.Path("dangling")));
    ASSERT_OK(m_pFs->Lookup(m_dir.Path("to-folder"), entry));
    EXPECT_TRUE(entry.m_bLink);
    EXPECT_FALSE(entry.m_bDirectory);
    ASSERT_OK(m_pFs->Lookup(m_dir.Path("dangling"), entry));
    EXPECT_TRUE(entry.m_bLink);
    // IsFolder follows links, as the engine's folder test does.
    EXPECT_TRUE(m_pFs->IsFolder(m_dir.Path("to-folder")));
    EXPECT_FALSE(m_pFs->IsFolder(m_dir.Path("dangling")));
}

TEST_F(FileSystemConformanceTest, ReadsWholeFilesInShortReads) {
    std::string bytes;
    for (int i = 0; i < 1000; ++i) bytes += static_cast<char>(i * 7);
    ASSERT_TRUE(WriteFile(m_dir.Path("data.bin"), bytes));
    EXPECT_EQ(ReadAll(*m_pFs, m_dir.Path("data.bin")), bytes);
    std::unique_ptr<engine::IReadFile> file;
    EXPECT_STATUS_KIND(m_pFs->OpenRead(m_dir.Path("missing"), file), ErrorKind::NotFound);
    EXPECT_EQ(file, nullptr);
}

TEST_F(FileSystemConformanceTest, MoveAndRenameNeverReplace) {
    struct Case {
        const char* m_pszName;
        bool m_bFolderSource;
        const char* m_pszTarget;  // what lies at the target: file, folder, dangling
    };
    const Case cases[] = {{"file over file", false, "file"},
                          {"file over folder", false, "folder"},
                          {"folder over file", true, "file"},
                          {"folder over folder", true, "folder"},
                          {"file over dangling link", false, "dangling"},
                          {"folder over dangling link", true, "dangling"}};
    for (const Case& c : cases) {
        // Making a folder never takes another's entry for it either.
        for (const char* op : {"Move", "Rename", "CreateFolder"}) {
            SCOPED_TRACE(std::string(c.m_pszName) + " (" + op + ")");
            if (std::string(c.m_pszTarget) == "dangling" && !GetConformanceBackend().m_bSymlinks) continue;
            TempFolder dir;
            const std::string from = dir.Path("from");
            const std::string to = dir.Path("to");
            ASSERT_TRUE(c.m_bFolderSource ? WriteFile(dir.Path("from/inner.txt"), "source")
                                          : WriteFile(from, "source"));
            const std::string kind = c.m_pszTarget;
            bool made = false;
            if (kind == "file") made = WriteFile(to, "target");
            if (kind == "folder") made = WriteFile(dir.Path("to/keep.txt"), "target");
            if (kind == "dangling") made = MakeSymlink("nowhere", to);
            ASSERT_TRUE(made);
            const TreeSnapshot before = TreeSnapshot::Take(dir.Root());
            const std::string_view call = op;
            const engine::Status status = call == "Rename" ? m_pFs->Rename(from, to)
                                          : call == "Move" ? m_pFs->Move(from, to)
                                                           : m_pFs->CreateFolder(to);
            EXPECT_STATUS_KIND(status, ErrorKind::Exists);
            EXPECT_EQ(FindChangedEntries(before, TreeSnapshot::Take(dir.Root())), "");
            EXPECT_EQ(TreeSnapshot::Take(dir.Root()).Describe(), before.Describe());
        }
    }
}

// A failure names the system's reason in its words (each system's wording is accepted).
TEST_F(FileSystemConformanceTest, FailuresGiveTheSystemsReason) {
    TempFolder dir;
    ASSERT_TRUE(WriteFile(dir.Path("full/a.txt"), "a") && WriteFile(dir.Path("b.txt"), "b"));
    struct Row {
        const char* m_pszName;
        std::function<engine::Status()> m_fnFail;
        std::vector<std::string> m_lstReasons;  // POSIX, Windows, Wine
    };
    const Row rows[] = {
        {"missing source",
         [&] { return m_pFs->Move(dir.Path("missing"), dir.Path("x")); },
         {"No such file or directory", "The system cannot find the file specified", "File not found"}},
        {"folder not empty",
         [&] { return m_pFs->RemoveFolder(dir.Path("full")); },
         {"Directory not empty", "The directory is not empty", "Directory is not empty"}},
        {"creating a folder that exists",
         [&] { return m_pFs->CreateFolder(dir.Path("full")); },
         {"File exists", "Cannot create a file when that file already exists", "File already exists"}},
        {"opening a folder",
         [&] {
             std::unique_ptr<engine::IReadFile> file;
             return m_pFs->OpenRead(dir.Path("b.txt/x"), file);
         },
         {"Not a directory", "The system cannot find the path specified", "Path not found"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.m_pszName);
        const engine::Status status = row.m_fnFail();
        ASSERT_FALSE(status.IsOk());
        const std::string reason = m_pFs->ReasonText(status);
        EXPECT_NE(std::find(row.m_lstReasons.begin(), row.m_lstReasons.end(), reason), row.m_lstReasons.end())
            << reason;
    }
}

TEST_F(FileSystemConformanceTest, MovesFilesFoldersAndLinksWithinAVolume) {
    ASSERT_TRUE(WriteFile(m_dir.Path("src/a.txt"), "alpha", TicksFromUnixTime(1400000000)));
    ASSERT_TRUE(WriteFile(m_dir.Path("src/tree/b.txt"), "beta"));
    ASSERT_TRUE(MakeFolders(m_dir.Path("dst")));
    MoveInvariant invariant({m_dir.Path("src")}, m_dir.Path("dst"));
    ASSERT_OK(m_pFs->Move(m_dir.Path("src/a.txt"), m_dir.Path("dst/a.txt")));
    ASSERT_OK(m_pFs->Move(m_dir.Path("src/tree"), m_dir.Path("dst/tree")));
    ASSERT_OK(m_pFs->Rename(m_dir.Path("dst/a.txt"), m_dir.Path("dst/a (2).txt")));
    if (GetConformanceBackend().m_bSymlinks) {
        ASSERT_TRUE(MakeSymlink("a (2).txt", m_dir.Path("src/link")));
        ASSERT_OK(m_pFs->Move(m_dir.Path("src/link"), m_dir.Path("dst/link")));
    }
    EXPECT_EQ(invariant.Check(), "");
    EXPECT_EQ(LastWriteTime(m_dir.Path("dst/a (2).txt")), TicksFromUnixTime(1400000000));
    EXPECT_EQ(ListTree(m_dir.Path("src")), std::vector<std::string>{});
    EXPECT_STATUS_KIND(m_pFs->Move(m_dir.Path("src/none"), m_dir.Path("dst/none")), ErrorKind::NotFound);
    EXPECT_TRUE(m_pFs->IsSameVolume(m_dir.Path("dst/tree"), m_dir.Path("src/new/deeper/x")));
}

TEST_F(FileSystemConformanceTest, MovesAFileAcrossVolumesKeepingBytesModeAndTime) {
    if (!m_other) GTEST_SKIP() << "no second volume";
    // Larger than any single copy block, with every byte value.
    std::string bytes;
    for (std::size_t i = 0; i < (3u << 20) + 17; ++i) bytes += static_cast<char>((i * 131) >> 3);
    const std::uint64_t when = TicksFromUnixTime(1234567890, 123456700);
    struct Case {
        std::string m_strFrom, m_strTo;
    };
    const Case cases[] = {{m_dir.Path("big.bin"), m_other->Path("big.bin")},
                          {m_other->Path("back.bin"), m_dir.Path("back.bin")}};
    int pumps = 0;
    engine::KeepAlive keepAlive([&pumps] { ++pumps; }, std::chrono::milliseconds(0));
    m_pFs->SetKeepAlive(&keepAlive);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.m_strFrom + " -> " + c.m_strTo);
        pumps = 0;
        ASSERT_TRUE(WriteFile(c.m_strFrom, bytes, when));
        ASSERT_TRUE(SetMode(c.m_strFrom, kFileMode));
        EXPECT_FALSE(m_pFs->IsSameVolume(c.m_strFrom, c.m_strTo));
        ASSERT_OK(m_pFs->Move(c.m_strFrom, c.m_strTo));
        EXPECT_FALSE(Exists(c.m_strFrom));
        EXPECT_TRUE(ReadFile(c.m_strTo) == bytes);
        EXPECT_EQ(Mode(c.m_strTo), kFileMode);
        EXPECT_EQ(LastWriteTime(c.m_strTo), when);
        // A copy of several blocks lets the thread's messages through between them.
        if (Backend().m_bCopyProgress) {
            EXPECT_GE(pumps, 3);
        }
    }
    m_pFs->SetKeepAlive(nullptr);
    // No temporary copy is left behind in either folder.
    EXPECT_EQ(ListTree(m_other->Root()), std::vector<std::string>{"big.bin (3145745)"});
    EXPECT_EQ(ListTree(m_dir.Root()), std::vector<std::string>{"back.bin (3145745)"});
}

TEST_F(FileSystemConformanceTest, CrossVolumeFileMoveNeverReplaces) {
    if (!m_other) GTEST_SKIP() << "no second volume";
    ASSERT_TRUE(WriteFile(m_dir.Path("a.txt"), "source"));
    ASSERT_TRUE(WriteFile(m_other->Path("a.txt"), "target"));
    EXPECT_STATUS_KIND(m_pFs->Move(m_dir.Path("a.txt"), m_other->Path("a.txt")), ErrorKind::Exists);
    EXPECT_EQ(ReadFile(m_dir.Path("a.txt")), "source");
    EXPECT_EQ(ReadFile(m_other->Path("a.txt")), "target");
    EXPECT_EQ(ListTree(m_other->Root()), std::vector<std::string>{"a.txt (6)"});
    // A folder crosses only through MoveFolderAcrossVolumes; Move says so and touches nothing.
    ASSERT_TRUE(WriteFile(m_dir.Path("tree/x"), "x"));
    EXPECT_STATUS_KIND(m_pFs->Move(m_dir.Path("tree"), m_other->Path("tree")), ErrorKind::CrossDevice);
    EXPECT_TRUE(Exists(m_dir.Path("tree/x")));
    EXPECT_FALSE(Exists(m_other->Path("tree")));
}

// The old file gives way only to the complete new one, on one volume and across volumes alike.
TEST_F(FileSystemConformanceTest, MoveReplacingPutsTheNewFileOverTheOld) {
    const std::uint64_t when = TicksFromUnixTime(1500000000, 250000000);
    ASSERT_TRUE(MakeFolders(m_dir.Path("to")));
    std::vector<std::string> targets = {m_dir.Path("to/a.txt")};
    if (m_other) targets.push_back(m_other->Path("a.txt"));
    for (const std::string& target : targets) {
        // The first move finds the name free; the second replaces what the first put there.
        for (const bool taken : {false, true}) {
            SCOPED_TRACE(target + (taken ? " over a file" : " to a free name"));
            ASSERT_TRUE(WriteFile(m_dir.Path("from/a.txt"), "the new content", when));
            ASSERT_TRUE(SetMode(m_dir.Path("from/a.txt"), kFileMode));
            if (taken) {
                ASSERT_TRUE(WriteFile(target, "old"));
            }
            ASSERT_OK(m_pFs->MoveReplacing(m_dir.Path("from/a.txt"), target));
            EXPECT_FALSE(Exists(m_dir.Path("from/a.txt")));
            EXPECT_EQ(ReadFile(target), "the new content");
            EXPECT_EQ(LastWriteTime(target), when);
            EXPECT_EQ(Mode(target), kFileMode);
            ASSERT_TRUE(SetMode(target, 0644));
        }
    }
    // No temporary copy or second name of the old file is left behind.
    EXPECT_EQ(ListTree(m_dir.Path("to")), std::vector<std::string>{"a.txt (15)"});
    if (m_other) {
        EXPECT_EQ(ListTree(m_other->Root()), std::vector<std::string>{"a.txt (15)"});
    }
    // A folder is never replaced, nor moved this way.
    ASSERT_TRUE(WriteFile(m_dir.Path("from/b.txt"), "b"));
    ASSERT_TRUE(MakeFolders(m_dir.Path("to/b.txt")));
    EXPECT_STATUS_KIND(m_pFs->MoveReplacing(m_dir.Path("from/b.txt"), m_dir.Path("to/b.txt")),
                       ErrorKind::IsADirectory);
    EXPECT_STATUS_KIND(m_pFs->MoveReplacing(m_dir.Path("to/b.txt"), m_dir.Path("to/a.txt")),
                       ErrorKind::IsADirectory);
    EXPECT_STATUS_KIND(m_pFs->MoveReplacing(m_dir.Path("from/none"), m_dir.Path("to/a.txt")),
                       ErrorKind::NotFound);
    EXPECT_EQ(ReadFile(m_dir.Path("from/b.txt")), "b");
    EXPECT_EQ(ReadFile(m_dir.Path("to/a.txt")), "the new content");
}

TEST_F(FileSystemConformanceTest, MovesAFolderTreeAcrossVolumes) {
    if (!m_other) GTEST_SKIP() << "no second volume";
    if (!FolderMoveSkipReason().empty()) GTEST_SKIP() << FolderMoveSkipReason();
    const std::uint64_t when = TicksFromUnixTime(1300000000);
    ASSERT_TRUE(WriteFile(m_dir.Path("tree/a.txt"), "alpha", when));
    ASSERT_TRUE(WriteFile(m_dir.Path("tree/sub/deep/b.bin"), std::string(100000, 'b'), when));
    ASSERT_TRUE(MakeFolders(m_dir.Path("tree/empty")));
    ASSERT_TRUE(SetMode(m_dir.Path("tree/a.txt"), kTreeFileMode));
    if (GetConformanceBackend().m_bSymlinks) {
        ASSERT_TRUE(MakeSymlink("../a.txt", m_dir.Path("tree/sub/rel-link")));
        ASSERT_TRUE(MakeSymlink("/nowhere/at/all", m_dir.Path("tree/dangling")));
    }
    if (kFolderModes) {
        ASSERT_TRUE(SetMode(m_dir.Path("tree/sub"), 0750));
    }
    ASSERT_TRUE(SetLastWriteTime(m_dir.Path("tree/sub"), when));
    const std::vector<std::string> shape = ListTree(m_dir.Path("tree"));
    const TreeSnapshot before = TreeSnapshot::Take(m_dir.Path("tree"));
    std::vector<std::string> left{"stale"};
    ASSERT_OK(m_pFs->MoveFolderAcrossVolumes(nullptr, m_dir.Path("tree"), m_other->Path("tree"), left));
    EXPECT_EQ(left, std::vector<std::string>{});
    EXPECT_FALSE(Exists(m_dir.Path("tree")));
    EXPECT_EQ(ListTree(m_other->Path("tree")), shape);
    EXPECT_EQ(FindChangedEntries(before, TreeSnapshot::Take(m_other->Path("tree"))), "");
    EXPECT_EQ(Mode(m_other->Path("tree/a.txt")), kTreeFileMode);
    if (kFolderModes) {
        EXPECT_EQ(Mode(m_other->Path("tree/sub")), 0750u);
    }
    EXPECT_EQ(LastWriteTime(m_other->Path("tree/sub")), when);
    EXPECT_EQ(ListTree(m_other->Root()).size(), shape.size() + 1) << "a temporary folder was left";
    // Never into an existing name.
    ASSERT_TRUE(WriteFile(m_dir.Path("tree/new.txt"), "n"));
    EXPECT_STATUS_KIND(
        m_pFs->MoveFolderAcrossVolumes(nullptr, m_dir.Path("tree"), m_other->Path("tree"), left),
        ErrorKind::Exists);
    EXPECT_EQ(ReadFile(m_dir.Path("tree/new.txt")), "n");
    EXPECT_FALSE(Exists(m_other->Path("tree/new.txt")));
}

TEST_F(FileSystemConformanceTest, DeletesFilesAndLinksAndRemovesOnlyEmptyFolders) {
    ASSERT_TRUE(WriteFile(m_dir.Path("full/f"), "f"));
    ASSERT_TRUE(MakeFolders(m_dir.Path("empty")));
    EXPECT_STATUS_KIND(m_pFs->RemoveFolder(m_dir.Path("full")), ErrorKind::NotEmpty);
    EXPECT_FALSE(m_pFs->DeleteFile(m_dir.Path("empty")).IsOk());
    EXPECT_TRUE(Exists(m_dir.Path("empty")));
    ASSERT_OK(m_pFs->RemoveFolder(m_dir.Path("empty") + NativeSeparator()));
    ASSERT_OK(m_pFs->DeleteFile(m_dir.Path("full/f")));
    EXPECT_STATUS_KIND(m_pFs->DeleteFile(m_dir.Path("full/f")), ErrorKind::NotFound);
    ASSERT_OK(m_pFs->RemoveFolder(m_dir.Path("full")));
    if (!GetConformanceBackend().m_bSymlinks) return;
    ASSERT_TRUE(WriteFile(m_dir.Path("target/keep"), "k"));
    ASSERT_TRUE(MakeSymlink(m_dir.Path("target"), m_dir.Path("link")));
    ASSERT_OK(m_pFs->DeleteFile(m_dir.Path("link")));
    EXPECT_EQ(ReadFile(m_dir.Path("target/keep")), "k");
}

TEST_F(FileSystemConformanceTest, SameObjectWhateverTheSpelling) {
    ASSERT_TRUE(WriteFile(m_dir.Path("real/f.txt"), "x"));
    ASSERT_TRUE(WriteFile(m_dir.Path("other/f.txt"), "x"));
    struct Case {
        std::string m_strA, m_strB;
        bool m_bSame;
    };
    std::vector<Case> cases = {
        {m_dir.Path("real"), m_dir.Path("other/../real"), true},
        {m_dir.Path("real/f.txt"), m_dir.Path("real/../real/f.txt"), true},
        {m_dir.Path("real") + NativeSeparator(), m_dir.Path("real"), true},
        {m_dir.Path("real/f.txt"), m_dir.Path("other/f.txt"), false},
    };
    if (GetConformanceBackend().m_bSymlinks) {
        ASSERT_TRUE(MakeSymlink(m_dir.Path("real"), m_dir.Path("alias")));
        cases.push_back({m_dir.Path("alias"), m_dir.Path("real"), true});
        cases.push_back({m_dir.Path("alias/f.txt"), m_dir.Path("real/f.txt"), true});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.m_strA + " vs " + c.m_strB);
        bool same = !c.m_bSame;
        ASSERT_OK(m_pFs->IsSameObject(c.m_strA, c.m_strB, same));
        EXPECT_EQ(same, c.m_bSame);
    }
    bool same = true;
    EXPECT_STATUS_KIND(m_pFs->IsSameObject(m_dir.Path("real"), m_dir.Path("gone"), same),
                       ErrorKind::NotFound);
    EXPECT_FALSE(same);
}

}  // namespace tandemere::testing
