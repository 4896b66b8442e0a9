// Engine layer: the index of the whole destination tree by file size, over the folder indexes: walked
// once when a search first needs it, kept current by the same notes that keep each folder current.
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "engine/folder_index.h"
#include "engine/path.h"

namespace tandemere::engine {
namespace {

// A trash keeps what the user threw away: never a reason to delete a source. The names are the
// trash folders of both platforms (a drive's bin, a mount's top-folder trash, the home trash).
bool IsTrashFolder(const PathStyle& style, std::string_view parent, std::string_view name) {
    if (EqualNames(name, "$RECYCLE.BIN", true) || EqualNames(name, "RECYCLER", true)) return true;
    if (name == ".Trash" || name.substr(0, 7) == ".Trash-") return true;
    return name == "Trash" &&
           FindFileName(style, std::string(parent.substr(0, parent.size() - 1))) == "share";
}

}  // namespace

bool FolderIndexes::InTree(const std::string& key) const {
    const std::string& root = m_oTree.m_strRootKey;
    return !root.empty() && key.compare(0, root.size(), root) == 0;
}

void FolderIndexes::JoinTree(Folder& folder) {
    if (folder.m_bInTree) return;
    folder.m_bInTree = true;
    for (const auto& [size, positions] : folder.m_mapBySize)
        m_oTree.m_mapBySize[size].push_back(folder.m_strPath);
}

void FolderIndexes::WalkTree(IFileSystem& fs, std::vector<std::pair<std::string, Status>>& unlisted) {
    const PathStyle& style = fs.Style();
    while (!m_oTree.m_lstToWalk.empty()) {
        std::string path = std::move(m_oTree.m_lstToWalk.back());
        m_oTree.m_lstToWalk.pop_back();
        AddSeparator(style, path);
        std::string key = FoldKey(path, style.m_bIgnoreCase);
        if (!m_oTree.m_lstWalked.insert(key).second) continue;
        Status status;
        Folder* folder = Listed(fs, path, status);
        if (folder == nullptr) {
            // What a rename or an arrival named may be a file, or gone again: nothing to search.
            if (status.Kind() != ErrorKind::NotFound && status.Kind() != ErrorKind::NotADirectory)
                unlisted.emplace_back(path, std::move(status));
            continue;
        }
        JoinTree(*folder);
        // Links are entries, never folders to enter; a temporary folder of ours is never the user's.
        // Pushed last first, so the subfolders come off the stack in listing order.
        for (auto slot = folder->m_lstSlots.rbegin(); slot != folder->m_lstSlots.rend(); ++slot) {
            const DirEntry& entry = slot->m_oFile.m_oEntry;
            if (slot->m_bGone || !entry.m_bDirectory || entry.m_bLink || entry.m_bSpecial) continue;
            if (IsTemporaryName(entry.m_strName) || IsTrashFolder(style, path, entry.m_strName)) continue;
            m_oTree.m_lstToWalk.push_back(path + entry.m_strName);
        }
    }
}

void FolderIndexes::TreeCandidates(IFileSystem& fs, const std::string& root, std::uint64_t size,
                                   std::vector<TreeFile>& candidates,
                                   std::vector<std::pair<std::string, Status>>& unlisted) {
    candidates.clear();
    const PathStyle& style = fs.Style();
    std::string rootPath = root;
    AddSeparator(style, rootPath);
    std::string rootKey = FoldKey(rootPath, style.m_bIgnoreCase);
    if (m_oTree.m_strRootKey != rootKey) {
        m_oTree = Tree();
        m_oTree.m_strRootKey = std::move(rootKey);
        m_oTree.m_lstToWalk.push_back(rootPath);
    }
    // The walk goes depth first, so the folders are met in the order of a recursive listing.
    WalkTree(fs, unlisted);

    const auto folders = m_oTree.m_mapBySize.find(size);
    if (folders == m_oTree.m_mapBySize.end()) return;
    // Listing a folder afresh may add to this very list: a copy is walked.
    const std::vector<std::string> paths = folders->second;
    std::set<std::string> seen;
    std::vector<IndexedFile> files;
    for (const std::string& folder : paths) {
        if (!seen.insert(FoldKey(folder, style.m_bIgnoreCase)).second) continue;
        // A folder gone since (renamed or removed by the move) has nothing left to offer.
        if (!Candidates(fs, folder, size, files)) continue;
        for (IndexedFile& file : files) candidates.push_back(TreeFile{folder, std::move(file)});
    }
}

}  // namespace tandemere::engine
