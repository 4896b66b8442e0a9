// Engine layer: per-move index of destination folders by file size, so the search for an identical
// file costs one listing per folder per move instead of one per source file.
#pragma once

#include <cstdint>
#include <string>
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

    // Forgets every folder (at the start of each move).
    void Clear();

private:
    struct Folder;
    std::unordered_map<std::string, Folder*> m_mapFolders;  // replaced by the implementation
};

}  // namespace tandemere::engine
