// Engine layer: per-move index of destination folders by file size, so the search for an identical
// file costs one listing per folder per move instead of one per source file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/file_system.h"

namespace tandemere::engine {

class FolderIndexes {
public:
    // The files of `folder` (ending in a separator) whose size is `size`, in the folder's listing
    // order followed by the files this move added, in the order it added them. Folders, links and
    // dot entries are never candidates. The folder is listed on first use; a listing that fails
    // returns its status and builds nothing.
    Status Candidates(IFileSystem& fs, const std::string& folder, std::uint64_t size,
                      std::vector<DirEntry>& candidates);

    // Keep an already built index current with a change the move itself made; paths are full
    // paths of the entry. Folders not indexed yet are ignored: their first listing will see it.
    void NoteAdded(const PathStyle& style, const std::string& path, const DirEntry& entry);
    void NoteRemoved(const PathStyle& style, const std::string& path);
    void NoteRenamed(const PathStyle& style, const std::string& from, const std::string& to);

    // The entries of an indexed `folder` that a move killed on its way left (IsTemporaryName) and
    // that no earlier call of this move handed out, sorted by name: each is handed out once a move,
    // however often its folder is listed again. A folder not indexed yet gives none.
    std::vector<DirEntry> TakeLeftovers(const PathStyle& style, const std::string& folder);

    // Forgets every folder (at the start of each move).
    void Clear();

private:
    // One listed folder. Entries are kept in listing order, then in the order the move added
    // them; a removed entry stays in place, marked gone, so the positions of the others hold.
    struct Folder {
        std::vector<DirEntry> m_lstEntries;
        std::vector<bool> m_lstGone;
        std::unordered_map<std::uint64_t, std::vector<std::size_t>> m_mapBySize;  // file positions
        std::unordered_map<std::string, std::size_t> m_mapByName;  // live entries, key as FoldKey
        std::vector<std::size_t> m_lstLeftovers;                   // positions not handed out yet
    };

    void Add(Folder& folder, bool ignoreCase, const DirEntry& entry);
    void Remove(Folder& folder, bool ignoreCase, std::string_view name);
    // Drops the indexes of every folder at or below `path`: they are listed afresh when next used.
    void Forget(const PathStyle& style, const std::string& path);

    // Keyed by folder path (ending in a separator), case-folded where the file system ignores
    // case; ordered so that the folders below a path are found by prefix.
    std::map<std::string, Folder> m_mapFolders;
    // The full paths (as FoldKey) of the leftovers handed out in this move.
    std::set<std::string> m_lstLeftoversTaken;
};

}  // namespace tandemere::engine
