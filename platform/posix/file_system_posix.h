// Platform layer (POSIX): the engine's file-system interface on Linux system calls.
#pragma once

#include <string>
#include <vector>

#include "engine/file_system.h"
#include "platform/posix/folder_handles_posix.h"
#include "platform/posix/posix_io.h"
#include "platform/posix/trash_posix.h"
#include "platform/posix/unique_fd.h"

namespace tandemere::posix {

// Linux file system: no-replace renames (renameat2), cross-file-system moves as a flushed copy
// under a temporary name renamed into place, sources removed only after the copy is complete.
class PosixFileSystem : public engine::IFileSystem {
public:
    const engine::PathStyle& Style() const override { return engine::kPosixPaths; }
    // The whole path below PATH_MAX bytes and every component at most NAME_MAX bytes.
    bool PathFits(const std::string& path) const override;
    // Sorted by the bytes of the names, "." and ".." included, so that what a move does (and logs) does
    // not depend on the file system's own order (hash order on ext4); the folder is read whole before
    // any entry is examined.
    engine::Status ListFolder(const std::string& folder, std::vector<engine::DirEntry>& entries) override;
    // The entry types from the listing itself; an entry of unknown type is looked up. Sorted as
    // ListFolder.
    engine::Status ListNames(const std::string& folder, std::vector<engine::DirEntry>& entries) override;
    engine::Status Lookup(const std::string& path, engine::DirEntry& entry) override;
    bool IsFolder(const std::string& path) override;
    engine::Status OpenRead(const std::string& path, std::unique_ptr<engine::IReadFile>& file) override;
    engine::Status Move(const std::string& from, const std::string& to) override;
    engine::Status MoveReplacing(const std::string& from, const std::string& to) override;
    engine::Status Rename(const std::string& from, const std::string& to) override;
    // Copies folders, files and links (as links) with their modes and times into a temporary
    // folder beside the target, flushes it, renames it into place, then removes from the source
    // what it copied and is unchanged since (device and inode, size, modification time). Pipes,
    // sockets and devices are not copied and stay. If the source cannot be removed completely
    // afterwards, the complete copy stays in place (removing it could lose content) and the error
    // is reported. `left` comes sorted.
    engine::Status MoveFolderAcrossVolumes(engine::WindowHandle owner, const std::string& from,
                                           const std::string& to, std::vector<std::string>& left) override;
    engine::Status DeleteFile(const std::string& path) override;
    // The freedesktop.org trash, by a rename only (TrashFolders); each file system's trash is
    // worked out once for the life of this object.
    engine::Status MoveToTrash(const std::string& path, std::string& where) override;
    engine::Status FindTrash(const std::string& path, std::string& where) override;
    void LastTrashed(std::string& file, std::string& info) const override;
    // Made by the same copy as a move across file systems uses, without its flushes; the owner is kept.
    engine::Status CopyFileNew(const std::string& from, const std::string& to, std::uint32_t mode,
                               std::uint64_t time) override;
    engine::Status SetFolderMode(const std::string& path, std::uint32_t mode) override;
    engine::Status RemoveFolder(const std::string& path) override;
    // With the default permissions less the umask, as mkdir gives a new folder.
    engine::Status CreateFolder(const std::string& path) override;
    bool IsSameVolume(const std::string& existing, const std::string& target) override;
    engine::Status IsSameObject(const std::string& a, const std::string& b, bool& same) override;
    engine::Status ReadLink(const std::string& path, std::string& target) override;
    std::string ReasonText(const engine::Status& status) const override;
    void SetKeepAlive(engine::KeepAlive* keepAlive) override { m_pKeepAlive = keepAlive; }
    // Below these folders every call is made relative to an open folder, reached without links.
    void SetTreeRoots(const std::vector<std::string>& folders) override;

private:
    // Opens the folder `path` with `flags`; below a root, never through a link. 0 or errno.
    int OpenFolder(const std::string& path, int flags, UniqueFd& fd);
    // lstat (or stat where `follow`) of `path` through its held folder. 0 or errno.
    int StatOf(const std::string& path, struct stat& st, bool follow = false);

    engine::KeepAlive* m_pKeepAlive = nullptr;
    TrashFolders m_oTrash;
    FolderHandles m_oFolders;
};

}  // namespace tandemere::posix
