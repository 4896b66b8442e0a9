// Engine layer: per-move index of destination folders by file size, so the search for an identical
// file costs one listing per folder per move instead of one per source file; beside each file the
// digest of its content once one was made, so no file is read again for every source of its size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "engine/digest_cache.h"
#include "engine/file_system.h"

namespace tandemere::engine {

// One file of a destination folder as the index holds it.
struct IndexedFile {
    DirEntry m_oEntry;
    // The digest of its content (content_digest.h), made while it had m_oEntry's size and time.
    std::optional<std::uint64_t> m_oDigest;
};

// A file of the destination tree with the folder that holds it (ending in a separator).
struct TreeFile {
    std::string m_strFolder;
    IndexedFile m_oFile;
};

// The key under which a name or folder path is found: itself, or folded to lower case where the
// file system ignores case (so "A.TXT" and "a.txt" are one entry there).
std::string FoldKey(std::string_view text, bool ignoreCase);

class FolderIndexes {
public:
    // The files of `folder` (ending in a separator) whose size is `size`, in the folder's listing
    // order followed by the files this move added, in the order it added them. Folders, links and
    // dot entries are never candidates. The folder is listed on first use; a listing that fails
    // returns its status and builds nothing.
    Status Candidates(IFileSystem& fs, const std::string& folder, std::uint64_t size,
                      std::vector<IndexedFile>& candidates);

    // The digest held for the file at `path`, only while the index holds it with the size and time
    // of `now`; never lists a folder.
    std::optional<std::uint64_t> KnownDigest(const PathStyle& style, const std::string& path,
                                             const DirEntry& now);

    // Keep an already built index current with a change the move itself made; paths are full
    // paths of the entry. Folders not indexed yet are ignored: their first listing will see it.
    // An added file may bring the digest of the bytes the move read from it.
    void NoteAdded(const PathStyle& style, const std::string& path, const DirEntry& entry,
                   std::optional<std::uint64_t> digest = std::nullopt);
    void NoteRemoved(const PathStyle& style, const std::string& path);
    void NoteRenamed(const PathStyle& style, const std::string& from, const std::string& to);
    // Records the digest of the file at `path`, made from bytes read while it had `asRead`'s size
    // and time; the index takes that time as the file's. Ignored for a file indexed with another
    // size, or not indexed.
    void NoteDigest(const PathStyle& style, const std::string& path, const DirEntry& asRead,
                    std::uint64_t digest);

    // The entries of the indexed folders that a move killed on its way left (IsTemporaryName) and
    // that no earlier call of this move handed out, as full paths sorted by folder, then name: each
    // is handed out once a move, however often its folder is listed again.
    std::vector<std::string> TakeLeftovers(const PathStyle& style);
    // Lists `folder` now unless it is indexed; the listing's status.
    Status Index(IFileSystem& fs, const std::string& folder);
    // Those of `folder` tagged for `item` (IsTemporaryFor), handed out as TakeLeftovers does;
    // `folder` is listed first unless indexed. A listing that fails returns its status and hands out none.
    Status TakeLeftoversFor(IFileSystem& fs, const std::string& folder, std::string_view item,
                            std::vector<DirEntry>& leftovers);

    // The files of size `size` anywhere in the tree of `root` (ending in a separator), each folder's
    // as Candidates gives them, the folders in the order they were met. The tree is walked once, the
    // first time it is asked for; later listings and the move's own changes keep it current. Links,
    // trash folders and our temporaries are never entered. A folder that cannot be listed is handed
    // to `unlisted` once, with its status.
    void TreeCandidates(IFileSystem& fs, const std::string& root, std::uint64_t size,
                        std::vector<TreeFile>& candidates,
                        std::vector<std::pair<std::string, Status>>& unlisted);

    // Forgets every folder (at the start of each move).
    void Clear();
    // Digests kept across moves: listed files take theirs from `cache`, and every digest made is
    // noted in it. Null: none. The cache must outlive the indexes' use of it.
    void UseCache(DigestCache* cache) { m_pCache = cache; }

private:
    // One listed folder. Entries are kept in listing order, then in the order the move added
    // them; a removed entry stays in place, marked gone, so the positions of the others hold.
    struct Slot {
        IndexedFile m_oFile;
        bool m_bGone = false;
    };
    struct Folder {
        std::vector<Slot> m_lstSlots;
        std::unordered_map<std::uint64_t, std::vector<std::size_t>> m_mapBySize;  // file positions
        std::unordered_map<std::string, std::size_t> m_mapByName;  // live entries, key as FoldKey
        std::vector<std::size_t> m_lstLeftovers;                   // positions not handed out yet
        std::string m_strPath;   // as first asked for, ending in a separator
        bool m_bInTree = false;  // its sizes are in m_oTree.m_mapBySize
    };
    // The destination tree, once a search asked for it.
    struct Tree {
        std::string m_strRootKey;              // empty until asked for
        std::vector<std::string> m_lstToWalk;  // folders whose subtrees are to be listed
        std::set<std::string> m_lstWalked;     // keys of the folders listed for the tree
        std::unordered_map<std::uint64_t, std::vector<std::string>> m_mapBySize;  // folder paths
    };

    // The index of `folder`, listed now unless it is held; null when the listing failed (`status`).
    Folder* Listed(IFileSystem& fs, const std::string& folder, Status& status);
    // Lists every folder waiting in m_oTree.m_lstToWalk and all below it.
    void WalkTree(IFileSystem& fs, std::vector<std::pair<std::string, Status>>& unlisted);
    // Puts the sizes of `folder`'s files into the tree's map, once.
    void JoinTree(Folder& folder);
    // Whether `key` (a folded folder path) lies in the tree asked for.
    bool InTree(const std::string& key) const;
    void Add(Folder& folder, bool ignoreCase, DirEntry entry, std::optional<std::uint64_t> digest);
    void Remove(Folder& folder, bool ignoreCase, std::string_view name);
    // The live slot of the entry at `path`, or null when its folder is not indexed or holds no such name.
    Slot* FindSlot(const PathStyle& style, const std::string& path);
    // Drops the indexes of every folder at or below `path`: they are listed afresh when next used.
    void Forget(const PathStyle& style, const std::string& path);

    // Keyed by folder path (ending in a separator), case-folded where the file system ignores
    // case; ordered so that the folders below a path are found by prefix.
    std::map<std::string, Folder> m_mapFolders;
    // The full paths (as FoldKey) of the leftovers handed out in this move.
    std::set<std::string> m_lstLeftoversTaken;
    Tree m_oTree;
    DigestCache* m_pCache = nullptr;
};

}  // namespace tandemere::engine
