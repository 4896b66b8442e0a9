// Engine tests: the per-move folder index on real folders: what it lists, how it follows the move's own
// changes.
#include "engine/folder_index.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/support/faulty_file_system.h"
#include "tests/support/platform_backend.h"
#include "tests/support/status_assert.h"
#include "tests/support/temp_folder.h"

namespace tandemere::testing {
namespace {

using engine::DirEntry;
using Op = FaultyFileSystem::Operation;

class FolderIndexTest : public ::testing::Test {
protected:
    // A folder path as the engine hands it over: with a trailing separator.
    std::string Folder(std::string_view relative = "d") const {
        return m_tmp.Path(relative) + NativeSeparator();
    }

    std::vector<std::string> Names(std::uint64_t size) { return Names(size, m_indexes); }
    std::vector<std::string> Names(std::uint64_t size, engine::FolderIndexes& indexes) {
        std::vector<engine::IndexedFile> candidates;
        EXPECT_OK(indexes.Candidates(m_fs, Folder(), size, candidates));
        std::vector<std::string> names;
        for (const engine::IndexedFile& file : candidates) names.push_back(file.m_oEntry.m_strName);
        return names;
    }
    // The files of that size as a fresh listing gives them, in its order.
    std::vector<std::string> ListedNames(std::uint64_t size) {
        std::vector<DirEntry> listing;
        EXPECT_OK(m_realFs.ListFolder(Folder(), listing));
        std::vector<std::string> names;
        for (const DirEntry& entry : listing)
            if (!entry.m_bDirectory && !entry.m_bLink && entry.m_nSize == size)
                names.push_back(entry.m_strName);
        return names;
    }
    DirEntry Look(const std::string& path) {
        DirEntry entry;
        EXPECT_OK(m_realFs.Lookup(path, entry));
        return entry;
    }

    TempFolder m_tmp;
    std::unique_ptr<engine::IFileSystem> m_pRealFs = MakeRealFileSystem();
    engine::IFileSystem& m_realFs = *m_pRealFs;
    FaultyFileSystem m_fs{m_realFs};
    engine::FolderIndexes m_indexes;
};

TEST_F(FolderIndexTest, GivesOnlyFilesOfTheSizeInListingOrder) {
    for (const char* name : {"a", "b", "c", "d", "e", "f"}) ASSERT_TRUE(WriteFile(Folder() + name, "four"));
    ASSERT_TRUE(WriteFile(Folder() + "other", "three"));
    ASSERT_TRUE(MakeFolders(Folder() + "sub"));
    if (CanMakeLinks()) {
        ASSERT_TRUE(MakeSymlink("a", Folder() + "link"));
    }
    EXPECT_EQ(ListedNames(4), Names(4));
    EXPECT_EQ(6u, Names(4).size());
    EXPECT_EQ(std::vector<std::string>{"other"}, Names(5));
    EXPECT_TRUE(Names(0).empty());  // folders, links and dot entries are never candidates
    EXPECT_EQ(1, m_fs.Calls(Op::ListFolder));
}

TEST_F(FolderIndexTest, ListsEachFolderOnceUntilCleared) {
    ASSERT_TRUE(WriteFile(Folder() + "a", "x"));
    Names(1);
    ASSERT_TRUE(WriteFile(Folder() + "unseen", "y"));  // not the move's own change
    EXPECT_EQ(std::vector<std::string>{"a"}, Names(1));
    EXPECT_EQ(1, m_fs.Calls(Op::ListFolder));
    m_indexes.Clear();
    EXPECT_EQ(2u, Names(1).size());
    EXPECT_EQ(2, m_fs.Calls(Op::ListFolder));
}

TEST_F(FolderIndexTest, AFailedListingBuildsNothing) {
    std::vector<engine::IndexedFile> candidates;
    EXPECT_STATUS_KIND(m_indexes.Candidates(m_fs, Folder(), 1, candidates), engine::ErrorKind::NotFound);
    ASSERT_TRUE(WriteFile(Folder() + "a", "x"));
    EXPECT_EQ(std::vector<std::string>{"a"}, Names(1));
    m_indexes.Clear();
    m_fs.FailNth(Op::ListFolder, m_fs.Calls(Op::ListFolder) + 1, engine::ErrorKind::AccessDenied);
    EXPECT_STATUS_KIND(m_indexes.Candidates(m_fs, Folder(), 1, candidates), engine::ErrorKind::AccessDenied);
    EXPECT_EQ(std::vector<std::string>{"a"}, Names(1));
}

TEST_F(FolderIndexTest, FollowsTheMovesOwnChanges) {
    const engine::PathStyle& style = m_realFs.Style();
    for (const char* name : {"a", "b", "c"}) ASSERT_TRUE(WriteFile(Folder() + name, "four"));
    const std::vector<std::string> listed = Names(4);

    // Added entries come after the listed ones, in the order they were added.
    ASSERT_TRUE(WriteFile(Folder() + "z", "four"));
    m_indexes.NoteAdded(style, Folder() + "z", Look(Folder() + "z"));
    ASSERT_TRUE(WriteFile(Folder() + "y", "four"));
    m_indexes.NoteAdded(style, Folder() + "y", Look(Folder() + "y"));
    std::vector<std::string> expected = listed;
    expected.insert(expected.end(), {"z", "y"});
    EXPECT_EQ(expected, Names(4));

    // A rename keeps the entry's place; a removal drops it; a replaced file moves to the end.
    ASSERT_OK(m_realFs.Move(Folder() + listed[0], Folder() + "renamed"));
    m_indexes.NoteRenamed(style, Folder() + listed[0], Folder() + "renamed");
    ASSERT_OK(m_realFs.DeleteFile(Folder() + listed[1]));
    m_indexes.NoteRemoved(style, Folder() + listed[1]);
    ASSERT_OK(m_realFs.DeleteFile(Folder() + "z"));
    m_indexes.NoteRemoved(style, Folder() + "z");
    ASSERT_TRUE(WriteFile(Folder() + "z", "longer now"));
    m_indexes.NoteAdded(style, Folder() + "z", Look(Folder() + "z"));
    EXPECT_EQ((std::vector<std::string>{"renamed", listed[2], "y"}), Names(4));
    EXPECT_EQ(std::vector<std::string>{"z"}, Names(10));
    EXPECT_EQ(1, m_fs.Calls(Op::ListFolder));

    // And what it holds is what a fresh listing holds.
    engine::FolderIndexes fresh;
    for (std::uint64_t size : {4u, 10u}) {
        std::vector<std::string> held = Names(size), listed = Names(size, fresh);
        std::sort(held.begin(), held.end());
        std::sort(listed.begin(), listed.end());
        EXPECT_EQ(listed, held);
    }
}

TEST_F(FolderIndexTest, RenamesAcrossFoldersAndOfFoldersKeepEveryIndexTrue) {
    const engine::PathStyle& style = m_realFs.Style();
    const std::string other = Folder("o");
    ASSERT_TRUE(WriteFile(Folder() + "a", "four"));
    ASSERT_TRUE(WriteFile(Folder("d/sub") + "inner", "four"));
    ASSERT_TRUE(WriteFile(other + "b", "four"));
    Names(4);
    std::vector<engine::IndexedFile> candidates;
    ASSERT_OK(m_indexes.Candidates(m_fs, other, 4, candidates));
    ASSERT_OK(m_indexes.Candidates(m_fs, Folder("d/sub"), 4, candidates));

    // A file from one indexed folder into another.
    ASSERT_OK(m_realFs.Move(Folder() + "a", other + "a"));
    m_indexes.NoteRenamed(style, Folder() + "a", other + "a");
    EXPECT_TRUE(Names(4).empty());
    ASSERT_OK(m_indexes.Candidates(m_fs, other, 4, candidates));
    EXPECT_EQ(2u, candidates.size());

    // A folder renamed: its old index must not answer for the new name, nor for a new folder
    // that later takes the old name.
    ASSERT_OK(m_realFs.Move(Folder() + "sub", Folder() + "sub (2)"));
    m_indexes.NoteRenamed(style, Folder() + "sub", Folder() + "sub (2)");
    ASSERT_TRUE(MakeFolders(Folder() + "sub"));
    m_indexes.NoteAdded(style, Folder() + "sub", Look(Folder() + "sub"));
    ASSERT_OK(m_indexes.Candidates(m_fs, Folder("d/sub"), 4, candidates));
    EXPECT_TRUE(candidates.empty());
    ASSERT_OK(m_indexes.Candidates(m_fs, Folder("d/sub (2)"), 4, candidates));
    EXPECT_EQ(1u, candidates.size());

    // A change noted in a folder that was never listed is seen by its first listing anyway.
    const std::string fresh = Folder("n");
    ASSERT_TRUE(WriteFile(fresh + "c", "four"));
    m_indexes.NoteAdded(style, fresh + "c", Look(fresh + "c"));
    ASSERT_OK(m_indexes.Candidates(m_fs, fresh, 4, candidates));
    EXPECT_EQ(1u, candidates.size());
}

// Digests kept across moves: a listed file takes one only while every part of its identity is as it
// was, a damaged saved form is refused whole, and the bound keeps what the last move used.
TEST_F(FolderIndexTest, KeptDigestsServeOnlyUnchangedFilesAndSurviveOnlyWhole) {
    ASSERT_TRUE(WriteFile(Folder() + "a", "four"));
    DirEntry a = Look(Folder() + "a");
    engine::DigestCache cache(2);
    cache.Note(a, 42);
    m_indexes.UseCache(&cache);
    std::vector<engine::IndexedFile> candidates;
    ASSERT_OK(m_indexes.Candidates(m_fs, Folder(), 4, candidates));
    ASSERT_EQ(1u, candidates.size());
    // Windows listings tell no file numbers: nothing is kept there.
    EXPECT_EQ(a.m_nFileId != 0 ? std::optional<std::uint64_t>(42) : std::nullopt, candidates[0].m_oDigest);
    m_indexes.NoteDigest(m_realFs.Style(), Folder() + "a", a, 43);  // noted by a comparison
    EXPECT_EQ(a.m_nFileId != 0 ? std::optional<std::uint64_t>(43) : std::nullopt, cache.Find(a));
    a.m_nFileId = 5;
    a.m_nChangeTime = 6;
    cache.Note(a, 43);

    const auto changed = [&](std::uint64_t DirEntry::*field) {
        DirEntry other = a;
        other.*field += 1;
        return other;
    };
    for (std::uint64_t DirEntry::*field : {&DirEntry::m_nDevice, &DirEntry::m_nFileId, &DirEntry::m_nSize,
                                           &DirEntry::m_nLastWriteTime, &DirEntry::m_nChangeTime})
        EXPECT_FALSE(cache.Find(changed(field)));
    DirEntry noIdentity = a;
    noIdentity.m_nFileId = 0;
    cache.Note(noIdentity, 7);
    EXPECT_FALSE(cache.Find(noIdentity));

    // Two older files and one the next move notes: the bound of two keeps the newest and one more.
    cache.Note(changed(&DirEntry::m_nFileId), 44);
    engine::DigestCache next(2);
    ASSERT_TRUE(next.Load(cache.Save()));
    EXPECT_FALSE(next.Changed());
    next.Note(changed(&DirEntry::m_nChangeTime), 45);
    EXPECT_TRUE(next.Changed());
    engine::DigestCache third(2);
    ASSERT_TRUE(third.Load(next.Save()));
    EXPECT_EQ(2u, third.Size());
    third.Note(changed(&DirEntry::m_nDevice), 46);  // past the bound in memory too, the oldest go
    EXPECT_EQ(2u, third.Size());
    EXPECT_EQ(std::optional<std::uint64_t>(46), third.Find(changed(&DirEntry::m_nDevice)));
    EXPECT_EQ(std::optional<std::uint64_t>(45), third.Find(changed(&DirEntry::m_nChangeTime)));

    const std::string saved = next.Save();
    std::string flipped = saved;
    flipped[flipped.size() / 2] ^= 1;
    for (const std::string& damaged :
         {std::string(), saved.substr(0, saved.size() - 1), flipped, "x" + saved.substr(1), saved + "x"}) {
        engine::DigestCache loaded(2);
        EXPECT_FALSE(loaded.Load(damaged));
        EXPECT_EQ(0u, loaded.Size());
    }
}

}  // namespace
}  // namespace tandemere::testing
