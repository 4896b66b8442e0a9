// Engine layer: the dry run's file system: an overlay tree over the real backend that takes the move's
// changes and answers from them, reading the real disk only where the move has changed nothing.
#include "engine/recording_file_system.h"

#include <algorithm>
#include <utility>

namespace tandemere::engine {
namespace {

// Links followed in one resolution before it gives up, as Linux does (ELOOP).
constexpr int kMaxLinks = 40;
// The block of the backend's copy across volumes: it ticks the keep-alive before each.
constexpr std::uint64_t kCopyBlock = 1 << 20;

std::string Trim(const std::string& path) {
    std::string trimmed = path;
    while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
    return trimmed;
}

std::string Join(const std::string& folder, const std::string& name) {
    return folder == "/" ? "/" + name : folder + "/" + name;
}

std::string ParentOf(const std::string& trimmed) {
    const std::size_t cut = trimmed.rfind('/');
    if (cut == std::string::npos) return ".";
    return cut == 0 ? "/" : trimmed.substr(0, cut);
}

std::string NameOf(const std::string& trimmed) {
    const std::size_t cut = trimmed.rfind('/');
    if (cut == std::string::npos || trimmed.size() == 1) return trimmed;
    return trimmed.substr(cut + 1);
}

std::vector<std::string> Components(const std::string& path) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start < path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        if (end > start) parts.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

bool IsRegularFile(const DirEntry& entry) {
    return !entry.m_bDirectory && !entry.m_bLink && !entry.m_bSpecial;
}

}  // namespace

// One entry as the move now sees it.
struct RecordingFileSystem::Node {
    std::string m_strName;
    DirEntry m_oEntry;
    // Where its bytes, its link target, or (a folder not yet listed) its entries are read: the
    // path it had on disk, wherever the move has put it since. Never changed by the dry run.
    std::string m_strRealPath;
    // A real path on the volume the node now lies on: its own, or after a copy across volumes the
    // folder it was copied into.
    std::string m_strVolumePath;
    bool m_bCopy = false;     // made by a copy across volumes: another object than its source
    bool m_bListed = false;   // a folder whose every entry is in m_mapChildren
    bool m_bChanged = false;  // a folder the move has taken entries from or put entries in
    std::map<std::string, std::unique_ptr<Node>> m_mapChildren;  // byte order, as listings come
    std::set<std::string> m_lstGone;  // names taken away while the folder was not listed yet
    Node* m_pParent = nullptr;
};

struct RecordingFileSystem::Resolved {
    Status m_oStatus;
    Node* m_pNode = nullptr;    // null when the last component is missing or resolution failed
    Node* m_pFolder = nullptr;  // the folder of the last component, once it was reached
    std::string m_strName;      // the last component
};

RecordingFileSystem::RecordingFileSystem(IFileSystem& real)
    : m_rReal(real), m_pRoot(std::make_unique<Node>()) {
    m_pRoot->m_strName = "/";
    m_pRoot->m_oEntry.m_strName = "/";
    m_pRoot->m_oEntry.m_bDirectory = true;
    m_pRoot->m_strRealPath = "/";
    m_pRoot->m_strVolumePath = "/";
    m_pRoot->m_pParent = m_pRoot.get();
}

RecordingFileSystem::~RecordingFileSystem() = default;

void RecordingFileSystem::SetKeepAlive(KeepAlive* keepAlive) {
    // The real backend copies nothing for a dry run; the ticks of its copies are made here.
    m_pKeepAlive = keepAlive;
}

RecordingFileSystem::Resolved RecordingFileSystem::Resolve(const std::string& path, bool followLast) {
    Resolved out;
    const std::string trimmed = Trim(path);
    if (!m_rReal.PathFits(trimmed)) {
        out.m_oStatus = Status(ErrorKind::NameTooLong, 0, path);
        return out;
    }
    if (trimmed.empty() || trimmed[0] != '/') {
        out.m_oStatus = Status(ErrorKind::NotFound, 0, path);
        return out;
    }
    int links = 0;
    out.m_oStatus = Walk(m_pRoot.get(), trimmed, followLast, links, out);
    if (out.m_oStatus && out.m_pNode == nullptr) out.m_oStatus = Status(ErrorKind::NotFound, 0, path);
    return out;
}

Status RecordingFileSystem::Walk(Node* from, const std::string& path, bool followLast, int& links,
                                 Resolved& out) {
    const std::vector<std::string> parts = Components(path);
    Node* at = path[0] == '/' ? m_pRoot.get() : from;
    out.m_pFolder = at->m_pParent;
    out.m_strName = "/";
    out.m_pNode = at;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const bool last = i + 1 == parts.size();
        out.m_pFolder = at;
        out.m_strName = parts[i];
        Status status = Step(at, parts[i], !last || followLast, links, path);
        // A missing last component is no failure of the walk: its folder is known.
        if (status && at == nullptr && !last) status = Status(ErrorKind::NotFound, 0, path);
        if (status && at != nullptr && !last && !at->m_oEntry.m_bDirectory)
            status = Status(ErrorKind::NotADirectory, 0, path);
        out.m_pNode = status ? at : nullptr;
        if (!status) {
            out.m_pFolder = nullptr;
            return status;
        }
    }
    return Status::Ok();
}

Status RecordingFileSystem::Step(Node*& at, const std::string& name, bool follow, int& links,
                                 const std::string& path) {
    if (name == ".") return Status::Ok();
    if (name == "..") {
        at = at->m_pParent;
        return Status::Ok();
    }
    Node* child = nullptr;
    if (Status status = Child(*at, name, child, path); !status) return status;
    if (child == nullptr || !follow || !child->m_oEntry.m_bLink) {
        at = child;
        return Status::Ok();
    }
    if (++links > kMaxLinks) return Status(ErrorKind::Other, 0, path);
    std::string target;
    if (Status status = m_rReal.ReadLink(child->m_strRealPath, target); !status) return status;
    if (target.empty()) return Status(ErrorKind::NotFound, 0, path);
    // A relative target starts from the folder that holds the link, wherever the move put it.
    Resolved through;
    if (Status status = Walk(at, target, true, links, through); !status) return status;
    if (through.m_pNode == nullptr) return Status(ErrorKind::NotFound, 0, path);
    at = through.m_pNode;
    return Status::Ok();
}

Status RecordingFileSystem::Child(Node& folder, const std::string& name, Node*& child,
                                  const std::string& path) {
    child = nullptr;
    if (!folder.m_oEntry.m_bDirectory) return Status(ErrorKind::NotADirectory, 0, path);
    const auto known = folder.m_mapChildren.find(name);
    if (known != folder.m_mapChildren.end()) {
        child = known->second.get();
        return Status::Ok();
    }
    if (folder.m_bListed || folder.m_lstGone.count(name) != 0) return Status::Ok();
    // Not looked at yet: the disk still holds it as it was.
    DirEntry entry;
    const std::string realPath = Join(folder.m_strRealPath, name);
    if (Status status = m_rReal.Lookup(realPath, entry); !status) {
        if (status.Kind() == ErrorKind::NotFound) return Status::Ok();
        return Status(status.Kind(), status.NativeCode(), path);
    }
    auto node = std::make_unique<Node>();
    node->m_strRealPath = realPath;
    node->m_strVolumePath = realPath;
    node->m_oEntry = entry;
    child = node.get();
    Attach(folder, std::move(node), name);
    return Status::Ok();
}

Status RecordingFileSystem::LoadAll(Node& folder, const std::string& path) {
    if (folder.m_bListed) return Status::Ok();
    std::vector<DirEntry> listing;
    if (Status status = m_rReal.ListFolder(folder.m_strRealPath, listing); !status)
        return Status(status.Kind(), status.NativeCode(), path);
    for (DirEntry& entry : listing) {
        const std::string name = entry.m_strName;
        if (name == "." || name == ".." || folder.m_lstGone.count(name) != 0 ||
            folder.m_mapChildren.count(name) != 0)
            continue;
        auto node = std::make_unique<Node>();
        node->m_strRealPath = Join(folder.m_strRealPath, name);
        node->m_strVolumePath = node->m_strRealPath;
        node->m_oEntry = std::move(entry);
        Attach(folder, std::move(node), name);
    }
    folder.m_bListed = true;
    folder.m_lstGone.clear();
    return Status::Ok();
}

std::unique_ptr<RecordingFileSystem::Node> RecordingFileSystem::Detach(Node& node) {
    Node& folder = *node.m_pParent;
    const std::string name = node.m_strName;
    const auto it = folder.m_mapChildren.find(name);
    std::unique_ptr<Node> taken = std::move(it->second);
    folder.m_mapChildren.erase(it);
    // Until the folder is listed, the disk would still show the name.
    if (!folder.m_bListed) folder.m_lstGone.insert(name);
    folder.m_bChanged = true;
    return taken;
}

void RecordingFileSystem::Attach(Node& folder, std::unique_ptr<Node> node, const std::string& name) {
    node->m_strName = name;
    node->m_oEntry.m_strName = name;
    node->m_pParent = &folder;
    folder.m_mapChildren[name] = std::move(node);
}

bool RecordingFileSystem::SameVolume(const Node& node, const Node& folder) {
    return m_rReal.IsSameVolume(node.m_strVolumePath, Join(folder.m_strVolumePath, "x"));
}

void RecordingFileSystem::TickCopy(const Node& node) {
    if (m_pKeepAlive == nullptr || !IsRegularFile(node.m_oEntry)) return;
    const std::uint64_t size = node.m_oEntry.m_nSize;
    // A block at a time, then the read that finds the end.
    const std::uint64_t ticks = size / kCopyBlock + (size % kCopyBlock != 0 ? 1 : 0) + 1;
    m_pKeepAlive->BeginStep(size);
    for (std::uint64_t i = 0; i < ticks; ++i) {
        m_pKeepAlive->AddCopied(std::min(kCopyBlock, size - m_pKeepAlive->Bytes().m_nStepDone));
        m_pKeepAlive->Tick();
    }
}

Status RecordingFileSystem::MoveNode(const std::string& from, const std::string& to, bool acrossVolumes,
                                     bool replace) {
    const Resolved source = Resolve(from, false);
    if (!source.m_oStatus) return source.m_oStatus;
    Node& node = *source.m_pNode;
    if (replace && node.m_oEntry.m_bDirectory) return Status(ErrorKind::IsADirectory, 0, from);
    const Resolved target = Resolve(to, false);
    if (target.m_pFolder == nullptr || (!target.m_oStatus && target.m_oStatus.Kind() != ErrorKind::NotFound))
        return Status(target.m_oStatus.Kind(), 0, from);
    Node& folder = *target.m_pFolder;
    if (target.m_pNode == &node && replace) return Status::Ok();
    if (target.m_pNode != nullptr && (!replace || target.m_pNode == &node))
        return Status(ErrorKind::Exists, 0, to);
    if (target.m_pNode != nullptr && target.m_pNode->m_oEntry.m_bDirectory)
        return Status(ErrorKind::IsADirectory, 0, to);
    // A folder cannot go into itself (rename gives EINVAL).
    for (const Node* up = &folder; up != m_pRoot.get(); up = up->m_pParent)
        if (up == &node) return Status(ErrorKind::Other, 0, from);
    if (!SameVolume(node, folder)) {
        if (!acrossVolumes || node.m_oEntry.m_bDirectory) return Status(ErrorKind::CrossDevice, 0, from);
        if (node.m_oEntry.m_bSpecial) return Status(ErrorKind::Unsupported, 0, to);
        TickCopy(node);
        node.m_bCopy = true;
        node.m_strVolumePath = folder.m_strVolumePath;
    }
    if (target.m_pNode != nullptr) Detach(*target.m_pNode);
    Attach(folder, Detach(node), target.m_strName);
    folder.m_bChanged = true;
    ++m_nChanges;
    return Status::Ok();
}

Status RecordingFileSystem::Move(const std::string& from, const std::string& to) {
    return MoveNode(from, to, true, false);
}

Status RecordingFileSystem::MoveReplacing(const std::string& from, const std::string& to) {
    return MoveNode(from, to, true, true);
}

Status RecordingFileSystem::Rename(const std::string& from, const std::string& to) {
    return MoveNode(from, to, false, false);
}

Status RecordingFileSystem::CopyTree(Node& source, Node& copy, const std::string& path) {
    if (Status status = LoadAll(source, path); !status) return status;
    for (const auto& [name, child] : source.m_mapChildren) {
        // Pipes, sockets and devices are not copied: they stay in the source.
        if (child->m_oEntry.m_bSpecial) continue;
        auto made = std::make_unique<Node>();
        made->m_oEntry = child->m_oEntry;
        made->m_strRealPath = child->m_strRealPath;
        made->m_strVolumePath = copy.m_strVolumePath;
        made->m_bCopy = true;
        if (child->m_oEntry.m_bDirectory) {
            made->m_bListed = true;
            if (Status status = CopyTree(*child, *made, Join(path, name)); !status) return status;
        } else {
            TickCopy(*child);
        }
        Attach(copy, std::move(made), name);
    }
    return Status::Ok();
}

void RecordingFileSystem::RemoveCopied(Node& folder, const std::string& relative,
                                       std::vector<std::string>& left) {
    std::vector<Node*> children;
    for (const auto& [name, child] : folder.m_mapChildren) children.push_back(child.get());
    for (Node* child : children) {
        const std::string path = relative.empty() ? child->m_strName : relative + "/" + child->m_strName;
        if (child->m_oEntry.m_bSpecial) {
            left.push_back(path);
            continue;
        }
        const std::size_t leftBefore = left.size();
        if (child->m_oEntry.m_bDirectory) RemoveCopied(*child, path, left);
        // What stayed keeps its folder.
        if (left.size() == leftBefore) Detach(*child);
    }
}

Status RecordingFileSystem::MoveFolderAcrossVolumes(WindowHandle, const std::string& from,
                                                    const std::string& to, std::vector<std::string>& left) {
    left.clear();
    const Resolved source = Resolve(from, false);
    if (!source.m_oStatus) return source.m_oStatus;
    Node& node = *source.m_pNode;
    if (!node.m_oEntry.m_bDirectory) return Status(ErrorKind::NotADirectory, 0, from);
    const Resolved target = Resolve(to, false);
    if (target.m_pNode != nullptr) return Status(ErrorKind::Exists, 0, to);
    if (target.m_pFolder == nullptr) return Status(target.m_oStatus.Kind(), 0, to);
    for (const Node* up = target.m_pFolder; up != m_pRoot.get(); up = up->m_pParent)
        if (up == &node) return Status(ErrorKind::Other, 0, from);

    auto copy = std::make_unique<Node>();
    copy->m_oEntry = node.m_oEntry;
    copy->m_strRealPath = node.m_strRealPath;
    copy->m_strVolumePath = target.m_pFolder->m_strVolumePath;
    copy->m_bCopy = true;
    copy->m_bListed = true;
    if (Status status = CopyTree(node, *copy, Trim(from)); !status) return status;
    Attach(*target.m_pFolder, std::move(copy), target.m_strName);
    target.m_pFolder->m_bChanged = true;

    std::vector<std::string> relative;
    RemoveCopied(node, {}, relative);
    if (relative.empty()) Detach(node);
    std::sort(relative.begin(), relative.end());
    const std::string base = Trim(from);
    for (const std::string& entry : relative) left.push_back(base + "/" + entry);
    ++m_nChanges;
    return Status::Ok();
}

Status RecordingFileSystem::DeleteFile(const std::string& path) {
    const Resolved found = Resolve(path, false);
    if (!found.m_oStatus) return found.m_oStatus;
    if (found.m_pNode->m_oEntry.m_bDirectory) return Status(ErrorKind::IsADirectory, 0, path);
    Detach(*found.m_pNode);
    ++m_nChanges;
    return Status::Ok();
}

Status RecordingFileSystem::RemoveFolder(const std::string& path) {
    const Resolved found = Resolve(path, false);
    if (!found.m_oStatus) return found.m_oStatus;
    Node& node = *found.m_pNode;
    if (!node.m_oEntry.m_bDirectory) return Status(ErrorKind::NotADirectory, 0, path);
    if (&node == m_pRoot.get()) return Status(ErrorKind::AccessDenied, 0, path);
    if (Status status = LoadAll(node, path); !status) return status;
    if (!node.m_mapChildren.empty()) return Status(ErrorKind::NotEmpty, 0, path);
    Detach(node);
    ++m_nChanges;
    return Status::Ok();
}

Status RecordingFileSystem::CreateFolder(const std::string& path) {
    const Resolved target = Resolve(path, false);
    if (target.m_pNode != nullptr) return Status(ErrorKind::Exists, 0, path);
    if (target.m_pFolder == nullptr || target.m_oStatus.Kind() != ErrorKind::NotFound)
        return Status(target.m_oStatus.Kind(), 0, path);
    Node& folder = *target.m_pFolder;
    auto made = std::make_unique<Node>();
    made->m_oEntry.m_bDirectory = true;
    // Nothing of it is on the disk: it is read from nowhere, and lies on its parent's volume.
    made->m_strRealPath = folder.m_strVolumePath;
    made->m_strVolumePath = folder.m_strVolumePath;
    made->m_bCopy = true;
    made->m_bListed = true;
    made->m_bChanged = true;
    Attach(folder, std::move(made), target.m_strName);
    folder.m_bChanged = true;
    ++m_nChanges;
    return Status::Ok();
}

Status RecordingFileSystem::CopyFileNew(const std::string& from, const std::string& to, std::uint32_t mode,
                                        std::uint64_t time) {
    const Resolved source = Resolve(from, false);
    if (!source.m_oStatus) return source.m_oStatus;
    if (!IsRegularFile(source.m_pNode->m_oEntry)) return Status(ErrorKind::Unsupported, 0, from);
    const Resolved target = Resolve(to, false);
    if (target.m_pNode != nullptr) return Status(ErrorKind::Exists, 0, to);
    if (target.m_pFolder == nullptr || target.m_oStatus.Kind() != ErrorKind::NotFound)
        return Status(target.m_oStatus.Kind(), 0, to);
    Node& folder = *target.m_pFolder;
    TickCopy(*source.m_pNode);
    auto made = std::make_unique<Node>();
    made->m_oEntry = source.m_pNode->m_oEntry;
    made->m_oEntry.m_nMode = mode;
    made->m_oEntry.m_nLastWriteTime = time;
    made->m_strRealPath = source.m_pNode->m_strRealPath;
    made->m_strVolumePath = folder.m_strVolumePath;
    made->m_bCopy = true;
    Attach(folder, std::move(made), target.m_strName);
    folder.m_bChanged = true;
    ++m_nChanges;
    return Status::Ok();
}

Status RecordingFileSystem::SetFolderMode(const std::string& path, std::uint32_t mode) {
    const Resolved found = Resolve(path, false);
    if (!found.m_oStatus) return found.m_oStatus;
    if (!found.m_pNode->m_oEntry.m_bDirectory) return Status(ErrorKind::NotADirectory, 0, path);
    found.m_pNode->m_oEntry.m_nMode = mode;
    return Status::Ok();
}

Status RecordingFileSystem::FindTrash(const std::string& path, std::string& where) {
    const Resolved found = Resolve(path, false);
    if (!found.m_oStatus) return m_rReal.FindTrash(path, where);
    // The trash depends on the volume: a copy across volumes asks by the real folder it went into,
    // for a file made there.
    const Node& node = *found.m_pNode;
    return m_rReal.FindTrash(node.m_bCopy ? node.m_strVolumePath : node.m_strRealPath, where);
}

Status RecordingFileSystem::MoveToTrash(const std::string& path, std::string& where) {
    if (Status status = FindTrash(path, where); !status) return status;
    // Gone from its folder as a deleted file is.
    return DeleteFile(path);
}

void RecordingFileSystem::SetTreeRoots(const std::vector<std::string>& folders) {
    m_lstRoots.clear();
    for (std::string root : folders) {
        AddSeparator(Style(), root);
        m_lstRoots.push_back(std::move(root));
    }
    m_rReal.SetTreeRoots(folders);
}

bool RecordingFileSystem::IsLinkBelowRoot(const std::string& folder) {
    const bool below = std::any_of(m_lstRoots.begin(), m_lstRoots.end(), [&](const std::string& root) {
        return folder.size() > root.size() && folder.compare(0, root.size(), root) == 0;
    });
    if (!below) return false;
    const Resolved last = Resolve(folder, false);
    return last.m_oStatus && last.m_pNode->m_oEntry.m_bLink;
}

Status RecordingFileSystem::ListFolder(const std::string& folder, std::vector<DirEntry>& entries) {
    entries.clear();
    if (IsLinkBelowRoot(folder)) return Status(ErrorKind::NotADirectory, 0, folder);
    const Resolved found = Resolve(folder, true);
    if (!found.m_oStatus) return found.m_oStatus;
    Node& node = *found.m_pNode;
    if (!node.m_oEntry.m_bDirectory) return Status(ErrorKind::NotADirectory, 0, folder);
    if (Status status = LoadAll(node, folder); !status) return status;
    entries.reserve(node.m_mapChildren.size() + 2);
    entries.push_back(node.m_oEntry);
    entries.back().m_strName = ".";
    entries.push_back(node.m_pParent->m_oEntry);
    entries.back().m_strName = "..";
    for (const auto& [name, child] : node.m_mapChildren) entries.push_back(child->m_oEntry);
    std::sort(entries.begin(), entries.end(),
              [](const DirEntry& a, const DirEntry& b) { return a.m_strName < b.m_strName; });
    return Status::Ok();
}

Status RecordingFileSystem::ListNames(const std::string& folder, std::vector<DirEntry>& entries) {
    entries.clear();
    if (IsLinkBelowRoot(folder)) return Status(ErrorKind::NotADirectory, 0, folder);
    const Resolved found = Resolve(folder, true);
    if (!found.m_oStatus) return found.m_oStatus;
    const Node& node = *found.m_pNode;
    if (!node.m_oEntry.m_bDirectory) return Status(ErrorKind::NotADirectory, 0, folder);
    // A folder the move has not changed reads as the disk has it, and its entries stay out of the
    // overlay: counting walks every dropped tree.
    if (!node.m_bListed && !node.m_bChanged) return m_rReal.ListNames(node.m_strRealPath, entries);
    return ListFolder(folder, entries);
}

Status RecordingFileSystem::Lookup(const std::string& path, DirEntry& entry) {
    const Resolved found = Resolve(path, false);
    if (!found.m_oStatus) return found.m_oStatus;
    entry = found.m_pNode->m_oEntry;
    entry.m_strName = NameOf(Trim(path));
    return Status::Ok();
}

bool RecordingFileSystem::IsFolder(const std::string& path) {
    const Resolved found = Resolve(path, true);
    return found.m_oStatus && found.m_pNode->m_oEntry.m_bDirectory;
}

Status RecordingFileSystem::OpenRead(const std::string& path, std::unique_ptr<IReadFile>& file) {
    file.reset();
    const Resolved found = Resolve(path, true);
    if (!found.m_oStatus) return found.m_oStatus;
    const DirEntry& entry = found.m_pNode->m_oEntry;
    if (entry.m_bDirectory) return Status(ErrorKind::IsADirectory, 0, path);
    if (entry.m_bSpecial) return Status(ErrorKind::Unsupported, 0, path);
    return m_rReal.OpenRead(found.m_pNode->m_strRealPath, file);
}

Status RecordingFileSystem::ReadLink(const std::string& path, std::string& target) {
    target.clear();
    const Resolved found = Resolve(path, false);
    if (!found.m_oStatus) return found.m_oStatus;
    if (!found.m_pNode->m_oEntry.m_bLink) return Status(ErrorKind::Other, 0, path);
    return m_rReal.ReadLink(found.m_pNode->m_strRealPath, target);
}

bool RecordingFileSystem::IsSameVolume(const std::string& existing, const std::string& target) {
    const Resolved source = Resolve(existing, false);
    if (!source.m_oStatus) return false;
    // The folder that will receive the name decides; the nearest one that exists.
    std::string ancestor = ParentOf(Trim(target));
    for (;;) {
        const Resolved found = Resolve(ancestor, true);
        if (found.m_oStatus) return SameVolume(*source.m_pNode, *found.m_pNode);
        if (ancestor == "/" || ancestor == ".") return false;
        ancestor = ParentOf(ancestor);
    }
}

Status RecordingFileSystem::IsSameObject(const std::string& a, const std::string& b, bool& same) {
    same = false;
    const Resolved first = Resolve(a, true);
    if (!first.m_oStatus) return first.m_oStatus;
    const Resolved second = Resolve(b, true);
    if (!second.m_oStatus) return second.m_oStatus;
    if (first.m_pNode == second.m_pNode) {
        same = true;
        return Status::Ok();
    }
    // Two entries of the real disk may still be one object (hard links, bind mounts); a copy is new.
    if (first.m_pNode->m_bCopy || second.m_pNode->m_bCopy) return Status::Ok();
    return m_rReal.IsSameObject(first.m_pNode->m_strRealPath, second.m_pNode->m_strRealPath, same);
}

}  // namespace tandemere::engine
