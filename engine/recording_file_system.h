// Engine layer: a file system for dry runs: it changes nothing on disk, keeps the changes a move makes in
// an overlay over the real backend, and answers every later call as if they had been made.
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "engine/file_system.h"

namespace tandemere::engine {

// Wraps the real backend, which it asks only what reading can tell (lookups, listings, contents, link
// targets, volumes, the trash's whereabouts). A lazily loaded tree of nodes stands for every entry the
// move has looked at: a folder lists its real folder the first time it is asked for everything, and
// looks single names up there until then; a file keeps the real path its bytes are read from. Moves
// detach a node and attach it elsewhere, deletions drop it, so memory grows with the folders touched,
// not with the tree. Paths are absolute; listings come in byte order of the names, as the POSIX
// backend gives them, so the move's log is the one a real move would write.
//
// What only the real call would reveal cannot be foreseen here: a permission refused, a full disk,
// a write by another program meanwhile, a trash that is found but then refuses the file. Such a move
// succeeds in the dry run.
class RecordingFileSystem : public IFileSystem {
public:
    explicit RecordingFileSystem(IFileSystem& real);
    ~RecordingFileSystem() override;
    RecordingFileSystem(const RecordingFileSystem&) = delete;
    RecordingFileSystem& operator=(const RecordingFileSystem&) = delete;

    const PathStyle& Style() const override { return m_rReal.Style(); }
    bool PathFits(const std::string& path) const override { return m_rReal.PathFits(path); }
    Status ListFolder(const std::string& folder, std::vector<DirEntry>& entries) override;
    // Straight from the disk while the move has not changed the folder, else from the overlay.
    Status ListNames(const std::string& folder, std::vector<DirEntry>& entries) override;
    Status Lookup(const std::string& path, DirEntry& entry) override;
    bool IsFolder(const std::string& path) override;
    // The real file the node's bytes come from, wherever the node now is.
    Status OpenRead(const std::string& path, std::unique_ptr<IReadFile>& file) override;
    // A move to another volume counts as a copy: a new object, ticking the keep-alive as the
    // backend's copy does (one tick per block of 1 MiB and one more).
    Status Move(const std::string& from, const std::string& to) override;
    Status MoveReplacing(const std::string& from, const std::string& to) override;
    Status Rename(const std::string& from, const std::string& to) override;
    // Pipes, sockets and devices stay in the source with the folders that hold them and are named
    // in `left` (sorted), as the POSIX backend does.
    Status MoveFolderAcrossVolumes(WindowHandle owner, const std::string& from, const std::string& to,
                                   std::vector<std::string>& left) override;
    Status DeleteFile(const std::string& path) override;
    // Asks the real backend's FindTrash; when it finds a trash, the file is taken as gone there.
    Status MoveToTrash(const std::string& path, std::string& where) override;
    Status FindTrash(const std::string& path, std::string& where) override;
    Status RemoveFolder(const std::string& path) override;
    // A new, listed and empty folder node on its parent's volume: a new object, as a copy is.
    Status CreateFolder(const std::string& path) override;
    // A new node at `to` whose bytes are read from where the source's are; the copy's mode and time.
    Status CopyFileNew(const std::string& from, const std::string& to, std::uint32_t mode,
                       std::uint64_t time) override;
    Status SetFolderMode(const std::string& path, std::uint32_t mode) override;
    // By the real volume of the entry and of the target's nearest existing ancestor.
    bool IsSameVolume(const std::string& existing, const std::string& target) override;
    // By the nodes reached (links followed); two nodes of the real disk also by the real objects.
    Status IsSameObject(const std::string& a, const std::string& b, bool& same) override;
    Status ReadLink(const std::string& path, std::string& target) override;
    std::string ReasonText(const Status& status) const override { return m_rReal.ReasonText(status); }
    void SetTreeRoots(const std::vector<std::string>& folders) override;
    void SetKeepAlive(KeepAlive* keepAlive) override;

    // How many changes the move has made (each move, replacement, deletion, removal and creation one).
    std::size_t ChangeCount() const { return m_nChanges; }

private:
    struct Node;
    // A path resolved to a node: the node, or the status of the failure, and the folder that
    // holds or would hold the last component.
    struct Resolved;

    Resolved Resolve(const std::string& path, bool followLast);
    // A folder named strictly below one of the move's folders through a link: the real backend
    // lists no such folder, so neither does this.
    bool IsLinkBelowRoot(const std::string& folder);
    Status Walk(Node* from, const std::string& path, bool followLast, int& links, Resolved& out);
    Status Step(Node*& at, const std::string& name, bool follow, int& links, const std::string& path);
    Status Child(Node& folder, const std::string& name, Node*& child, const std::string& path);
    Status LoadAll(Node& folder, const std::string& path);
    std::unique_ptr<Node> Detach(Node& node);
    void Attach(Node& folder, std::unique_ptr<Node> node, const std::string& name);
    Status MoveNode(const std::string& from, const std::string& to, bool acrossVolumes, bool replace);
    Status CopyTree(Node& source, Node& copy, const std::string& path);
    void RemoveCopied(Node& folder, const std::string& relative, std::vector<std::string>& left);
    void TickCopy(const Node& node);
    bool SameVolume(const Node& a, const Node& folder);

    IFileSystem& m_rReal;
    std::vector<std::string> m_lstRoots;  // with a separator at the end
    std::unique_ptr<Node> m_pRoot;
    KeepAlive* m_pKeepAlive = nullptr;
    std::size_t m_nChanges = 0;
};

}  // namespace tandemere::engine
