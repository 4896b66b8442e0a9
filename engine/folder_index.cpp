// Engine layer: per-move index of destination folders by file size, with the digests made so far, kept
// current with the move's own changes.
#include "engine/folder_index.h"

#include <algorithm>
#include <utility>

namespace tandemere::engine {
std::string FoldKey(std::string_view text, bool ignoreCase) {
    std::string key(text);
    if (ignoreCase)
        for (char& c : key)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return key;
}

namespace {

bool IsCandidateKind(const DirEntry& entry) {
    return !entry.m_bDirectory && !entry.m_bLink && !entry.m_bSpecial;  // pipes and devices are never opened
}

}  // namespace

Status FolderIndexes::Candidates(IFileSystem& fs, const std::string& folder, std::uint64_t size,
                                 std::vector<IndexedFile>& candidates) {
    candidates.clear();
    Status status;
    const Folder* indexed = Listed(fs, folder, status);
    if (indexed == nullptr) return status;
    auto bySize = indexed->m_mapBySize.find(size);
    if (bySize == indexed->m_mapBySize.end()) return Status::Ok();
    for (std::size_t pos : bySize->second)
        if (!indexed->m_lstSlots[pos].m_bGone) candidates.push_back(indexed->m_lstSlots[pos].m_oFile);
    return Status::Ok();
}

FolderIndexes::Folder* FolderIndexes::Listed(IFileSystem& fs, const std::string& folder, Status& status) {
    const PathStyle& style = fs.Style();
    std::string path = folder;
    AddSeparator(style, path);
    std::string key = FoldKey(path, style.m_bIgnoreCase);
    auto it = m_mapFolders.find(key);
    if (it != m_mapFolders.end()) return &it->second;

    std::vector<DirEntry> listing;
    status = fs.ListFolder(folder, listing);
    if (!status) return nullptr;
    Folder built;
    built.m_strPath = std::move(path);
    // A folder of the tree listed afresh (after a change the move made) keeps the tree whole.
    built.m_bInTree = InTree(key);
    built.m_lstSlots.reserve(listing.size());
    built.m_mapByName.reserve(listing.size());
    for (DirEntry& entry : listing) {
        if (IsDotEntry(entry.m_strName)) continue;
        if (IsTemporaryName(entry.m_strName)) built.m_lstLeftovers.push_back(built.m_lstSlots.size());
        // A digest kept from an earlier move spares reading a file that did not change since.
        const std::optional<std::uint64_t> cached = m_pCache ? m_pCache->Find(entry) : std::nullopt;
        Add(built, style.m_bIgnoreCase, std::move(entry), cached);
    }
    return &m_mapFolders.emplace(std::move(key), std::move(built)).first->second;
}

std::optional<std::uint64_t> FolderIndexes::KnownDigest(const PathStyle& style, const std::string& path,
                                                        const DirEntry& now) {
    const Slot* slot = FindSlot(style, path);
    if (slot == nullptr) return std::nullopt;
    const DirEntry& held = slot->m_oFile.m_oEntry;
    if (held.m_nSize != now.m_nSize || held.m_nLastWriteTime != now.m_nLastWriteTime) return std::nullopt;
    return slot->m_oFile.m_oDigest;
}

void FolderIndexes::NoteAdded(const PathStyle& style, const std::string& path, const DirEntry& entry,
                              std::optional<std::uint64_t> digest) {
    Forget(style, path);
    // A folder that arrives brings a subtree the tree has not seen.
    if (entry.m_bDirectory && !entry.m_bLink && InTree(FoldKey(path, style.m_bIgnoreCase)))
        m_oTree.m_lstToWalk.push_back(path);
    auto it = m_mapFolders.find(FoldKey(ParentFolder(style, path), style.m_bIgnoreCase));
    if (it == m_mapFolders.end()) return;
    DirEntry named = entry;
    named.m_strName = std::string(FindFileName(style, path));
    Add(it->second, style.m_bIgnoreCase, std::move(named), digest);
}

void FolderIndexes::NoteDigest(const PathStyle& style, const std::string& path, const DirEntry& asRead,
                               std::uint64_t digest) {
    Slot* slot = FindSlot(style, path);
    if (slot == nullptr || slot->m_oFile.m_oEntry.m_nSize != asRead.m_nSize) return;
    slot->m_oFile.m_oEntry.m_nLastWriteTime = asRead.m_nLastWriteTime;
    slot->m_oFile.m_oDigest = digest;
    if (m_pCache) m_pCache->Note(asRead, digest);
}

void FolderIndexes::NoteRemoved(const PathStyle& style, const std::string& path) {
    Forget(style, path);
    auto it = m_mapFolders.find(FoldKey(ParentFolder(style, path), style.m_bIgnoreCase));
    if (it == m_mapFolders.end()) return;
    Remove(it->second, style.m_bIgnoreCase, FindFileName(style, path));
}

void FolderIndexes::NoteRenamed(const PathStyle& style, const std::string& from, const std::string& to) {
    Forget(style, from);
    Forget(style, to);
    const bool ignoreCase = style.m_bIgnoreCase;
    // What was renamed may be a folder: its files are in the tree under their new paths only.
    if (InTree(FoldKey(to, ignoreCase))) m_oTree.m_lstToWalk.push_back(to);
    const std::string fromName(FindFileName(style, from));
    const std::string toName(FindFileName(style, to));
    auto fromFolder = m_mapFolders.find(FoldKey(ParentFolder(style, from), ignoreCase));
    auto toFolder = m_mapFolders.find(FoldKey(ParentFolder(style, to), ignoreCase));

    bool known = false;
    IndexedFile file;
    if (fromFolder != m_mapFolders.end()) {
        Folder& folder = fromFolder->second;
        auto named = folder.m_mapByName.find(FoldKey(fromName, ignoreCase));
        if (named != folder.m_mapByName.end()) {
            known = true;
            file = folder.m_lstSlots[named->second].m_oFile;
            if (fromFolder == toFolder) {
                // A rename in place keeps the entry where a listing had it, and its content's digest.
                const std::size_t pos = named->second;
                folder.m_mapByName.erase(named);
                Remove(folder, ignoreCase, toName);
                folder.m_lstSlots[pos].m_oFile.m_oEntry.m_strName = toName;
                folder.m_mapByName[FoldKey(toName, ignoreCase)] = pos;
                return;
            }
            Remove(folder, ignoreCase, fromName);
        }
    }
    if (toFolder == m_mapFolders.end()) return;
    if (!known) {
        // Nothing tells what arrived; the next use lists the folder again.
        m_mapFolders.erase(toFolder);
        return;
    }
    file.m_oEntry.m_strName = toName;
    Add(toFolder->second, ignoreCase, std::move(file.m_oEntry), file.m_oDigest);
}

std::vector<std::string> FolderIndexes::TakeLeftovers(const PathStyle& style) {
    std::vector<std::string> leftovers;
    for (auto& [key, indexed] : m_mapFolders) {
        std::vector<std::string> names;
        for (const std::size_t pos : indexed.m_lstLeftovers) {
            const Slot& slot = indexed.m_lstSlots[pos];
            const std::string& name = slot.m_oFile.m_oEntry.m_strName;
            if (!slot.m_bGone && m_lstLeftoversTaken.insert(key + FoldKey(name, style.m_bIgnoreCase)).second)
                names.push_back(name);
        }
        indexed.m_lstLeftovers.clear();
        std::sort(names.begin(), names.end());
        for (const std::string& name : names) leftovers.push_back(indexed.m_strPath + name);
    }
    return leftovers;
}

Status FolderIndexes::Index(IFileSystem& fs, const std::string& folder) {
    Status status;
    Listed(fs, folder, status);
    return status;
}

Status FolderIndexes::TakeLeftoversFor(IFileSystem& fs, const std::string& folder, std::string_view item,
                                       std::vector<DirEntry>& leftovers) {
    leftovers.clear();
    Status status;
    Folder* indexed = Listed(fs, folder, status);
    if (indexed == nullptr) return status;
    const bool ignoreCase = fs.Style().m_bIgnoreCase;
    const std::string key = FoldKey(indexed->m_strPath, ignoreCase);
    for (const std::size_t pos : indexed->m_lstLeftovers) {
        const Slot& slot = indexed->m_lstSlots[pos];
        const DirEntry& entry = slot.m_oFile.m_oEntry;
        if (!slot.m_bGone && IsTemporaryFor(entry.m_strName, item) &&
            m_lstLeftoversTaken.insert(key + FoldKey(entry.m_strName, ignoreCase)).second)
            leftovers.push_back(entry);
    }
    return Status::Ok();
}

void FolderIndexes::Clear() {
    m_mapFolders.clear();
    m_lstLeftoversTaken.clear();
    m_oTree = Tree();
}

void FolderIndexes::Add(Folder& folder, bool ignoreCase, DirEntry entry,
                        std::optional<std::uint64_t> digest) {
    Remove(folder, ignoreCase, entry.m_strName);
    const std::size_t pos = folder.m_lstSlots.size();
    if (IsCandidateKind(entry)) {
        std::vector<std::size_t>& sameSize = folder.m_mapBySize[entry.m_nSize];
        // The tree learns of a size new to the folder; it asks the folder for the files themselves.
        if (sameSize.empty() && folder.m_bInTree)
            m_oTree.m_mapBySize[entry.m_nSize].push_back(folder.m_strPath);
        sameSize.push_back(pos);
    }
    folder.m_mapByName[FoldKey(entry.m_strName, ignoreCase)] = pos;
    folder.m_lstSlots.push_back(Slot{IndexedFile{std::move(entry), digest}, false});
}

void FolderIndexes::Remove(Folder& folder, bool ignoreCase, std::string_view name) {
    auto it = folder.m_mapByName.find(FoldKey(name, ignoreCase));
    if (it == folder.m_mapByName.end()) return;
    folder.m_lstSlots[it->second].m_bGone = true;
    folder.m_mapByName.erase(it);
}

FolderIndexes::Slot* FolderIndexes::FindSlot(const PathStyle& style, const std::string& path) {
    auto folder = m_mapFolders.find(FoldKey(ParentFolder(style, path), style.m_bIgnoreCase));
    if (folder == m_mapFolders.end()) return nullptr;
    auto named = folder->second.m_mapByName.find(FoldKey(FindFileName(style, path), style.m_bIgnoreCase));
    if (named == folder->second.m_mapByName.end()) return nullptr;
    return &folder->second.m_lstSlots[named->second];
}

void FolderIndexes::Forget(const PathStyle& style, const std::string& path) {
    std::string prefix = path;
    AddSeparator(style, prefix);
    prefix = FoldKey(prefix, style.m_bIgnoreCase);
    auto it = m_mapFolders.lower_bound(prefix);
    while (it != m_mapFolders.end() && it->first.compare(0, prefix.size(), prefix) == 0)
        it = m_mapFolders.erase(it);
    auto walked = m_oTree.m_lstWalked.lower_bound(prefix);
    while (walked != m_oTree.m_lstWalked.end() && walked->compare(0, prefix.size(), prefix) == 0)
        walked = m_oTree.m_lstWalked.erase(walked);
}

}  // namespace tandemere::engine
