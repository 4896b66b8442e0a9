// Engine layer: the file-system interface the engine is written against; one backend per platform.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/keep_alive.h"
#include "engine/path.h"
#include "engine/status.h"

namespace tandemere::engine {

// An opaque window handle: the owner of whatever a platform shows for an operation.
using WindowHandle = void*;

// One entry of a folder listing, or the result of looking one path up.
struct DirEntry {
    std::string m_strName;               // as stored on disk (a lookup gives the stored spelling too)
    bool m_bDirectory = false;           // a folder (for a link: never; links are not followed)
    bool m_bLink = false;                // a symbolic link, or on Windows any reparse point (junctions)
    bool m_bSpecial = false;             // a pipe, socket or device: never opened (Windows reports none)
    std::uint64_t m_nSize = 0;           // bytes; 0 for folders
    std::uint64_t m_nLastWriteTime = 0;  // 100-ns ticks since 1601-01-01 UTC, as FILETIME counts them
    std::uint32_t m_nMode = 0;           // permission bits (07777) on POSIX; 0 where the platform has none
    // Where the platform tells them (0 where it does not): the device and file number that name the
    // file whatever its path, and the nanoseconds of its last change of content or attributes.
    std::uint64_t m_nDevice = 0;
    std::uint64_t m_nFileId = 0;
    std::uint64_t m_nChangeTime = 0;
};

// A file open for reading; closed by its destructor on every path.
class IReadFile {
public:
    virtual ~IReadFile() = default;
    // Reads up to `size` bytes; `got` is 0 only at the end of the file. Short reads are allowed.
    virtual Status Read(void* buffer, std::size_t size, std::size_t& got) = 0;
};

class IFileSystem {
public:
    virtual ~IFileSystem() = default;

    virtual const PathStyle& Style() const = 0;

    // Whether the platform accepts this path (length in the platform's own units, each component
    // within the platform's limit). The engine refuses items whose paths do not fit.
    virtual bool PathFits(const std::string& path) const = 0;

    // Lists every entry of a folder (the path may end in a separator), in the platform's listing
    // order (on POSIX in byte order of the names), with the folder's own "." and ".." entries
    // where the platform returns them (a Windows drive root has none). An existing empty folder
    // gives an empty or dots-only list and Ok. Fails with NotFound when the folder does not exist.
    virtual Status ListFolder(const std::string& folder, std::vector<DirEntry>& entries) = 0;

    // ListFolder for a walk that needs only the names and the folder and link bits: where the
    // platform gives those without looking each entry up, sizes and times are left 0.
    virtual Status ListNames(const std::string& folder, std::vector<DirEntry>& entries) {
        return ListFolder(folder, entries);
    }

    // Looks one path up without following a final link (a link reports m_bLink, not its target).
    // Fails with NotFound when nothing exists there.
    virtual Status Lookup(const std::string& path, DirEntry& entry) = 0;

    // True when an existing folder is at the path, following links (PathIsDirectory's role).
    virtual bool IsFolder(const std::string& path) = 0;

    // Opens a file for reading, shared for reading only (others may not write or delete it
    // meanwhile where the platform can prevent it). Anything but a regular file (a pipe, a device)
    // fails with Unsupported at once, without waiting for a writer; a folder with IsADirectory.
    virtual Status OpenRead(const std::string& path, std::unique_ptr<IReadFile>& file) = 0;

    // Moves a file, a link or (within one volume) a folder to a new path. Never replaces: fails
    // with Exists when anything is at the target. A file or link on another volume is copied
    // under a temporary name in the target folder, flushed, renamed into place without replacing,
    // and only then is the source removed; on failure the copy is removed and the source stays.
    // A source that changed while it was copied (another object, size or last-write time) stays
    // beside the complete copy: SourceChanged, the one failure after which the target exists.
    virtual Status Move(const std::string& from, const std::string& to) = 0;

    // Moves a file or a link to a path, replacing the file or link there so that it gives way only
    // to the complete new one: a rename over it within a volume; on another volume a copy under a
    // temporary name in the target folder, flushed, renamed over it, and only then is the source
    // removed. On failure the old file is still there, whole, and so is the source, except after
    // SourceChanged as for Move. Never replaces a folder (IsADirectory) and never moves one.
    virtual Status MoveReplacing(const std::string& from, const std::string& to) = 0;

    // Renames an entry within its folder, flushing the change to disk before returning
    // (MoveFileEx with MOVEFILE_WRITE_THROUGH on Windows). Never replaces.
    virtual Status Rename(const std::string& from, const std::string& to) = 0;

    // Moves a folder with everything below it to another volume (the shell's folder move on
    // Windows). The source tree is removed only after the whole copy succeeded and was flushed;
    // on failure what was copied is removed again and the source stays whole. Only what was
    // copied and is unchanged since leaves the source: an entry created, written to or replaced
    // meanwhile, and a pipe, socket or device, stays with the folders that hold it, and `left`
    // names each (full paths). Ok with `left` not empty: the copy is complete, the source stays.
    virtual Status MoveFolderAcrossVolumes(WindowHandle owner, const std::string& from, const std::string& to,
                                           std::vector<std::string>& left) = 0;

    // Deletes a file or a link (never what a link points to).
    virtual Status DeleteFile(const std::string& path) = 0;

    // Moves a file or a link (never what a link points to) to the platform's wastebasket, from
    // where the user can restore it to its path: the Recycle Bin on Windows; on Linux the
    // freedesktop.org trash (the home trash for the home's file system, else $topdir/.Trash-$uid).
    // Never deletes for good: where no trash takes the file, it stays and the failure is returned.
    // `where` names the trash in the log's words (`the Recycle Bin`, `the trash "/home/ann/.local/
    // share/Trash"`), on failure too as far as it was found.
    virtual Status MoveToTrash(const std::string& path, std::string& where) = 0;

    // Where the last MoveToTrash that succeeded put the file: its path in the trash and the path of the
    // record the trash keeps of it (the .trashinfo on Linux); both empty where the backend does not tell.
    virtual void LastTrashed(std::string& file, std::string& info) const {
        file.clear();
        info.clear();
    }

    // The trash MoveToTrash would put the file at `path` in, found without changing anything: Ok
    // with `where` as MoveToTrash gives it, or the failure it would report for want of a trash. For a
    // folder, the trash of a file that would be made in it.
    virtual Status FindTrash(const std::string& path, std::string& where) = 0;

    // Removes an empty folder; fails with NotEmpty otherwise.
    virtual Status RemoveFolder(const std::string& path) = 0;

    // Makes an empty folder at `path`, whose parent exists. Whatever already takes the name (a
    // folder too, a file, a link, dangling or not) makes it fail with Exists and the
    // system's code: the caller never takes another's entry for the folder it made.
    virtual Status CreateFolder(const std::string& path) = 0;

    // Makes a copy of the regular file `from` at `to` without replacing anything there: a copy under a
    // temporary name in the target folder, renamed into place (not flushed: `from` stays, so a power cut
    // loses no content, at worst the new copy's), with the permission bits `mode`
    // and the last-write time `time` (ticks); Windows keeps of a mode only whether the file is read-only.
    // Exists when `to` is taken; Unsupported where the backend has no such copy.
    virtual Status CopyFileNew(const std::string& from, const std::string& to, std::uint32_t mode,
                               std::uint64_t time) {
        (void)from;
        (void)mode;
        (void)time;
        return Status(ErrorKind::Unsupported, 0, to);
    }

    // Sets the permission bits of a folder (never through a link); where folders have none (Windows), only
    // checks that it is one. Unsupported where the backend cannot.
    virtual Status SetFolderMode(const std::string& path, std::uint32_t mode) {
        (void)mode;
        return Status(ErrorKind::Unsupported, 0, path);
    }

    // Whether an existing path and the (possibly not yet existing) target path lie on one volume,
    // so that a folder can move by rename. The target's nearest existing ancestor decides.
    virtual bool IsSameVolume(const std::string& existing, const std::string& target) = 0;

    // Whether two paths reach the same file-system object (same device and inode, or same volume
    // serial and file index), whatever their spelling. Links on the way are followed.
    virtual Status IsSameObject(const std::string& a, const std::string& b, bool& same) = 0;

    // The target text of a link as stored, never resolved. Unsupported where the backend cannot
    // tell (the Windows backend, which no dry run uses); fails when the path is no link.
    virtual Status ReadLink(const std::string& path, std::string& target) {
        target.clear();
        return Status(ErrorKind::Unsupported, 0, path);
    }

    // The system's own words for why `status` failed: the text of its errno on POSIX, the message
    // of its error code on Windows; the portable kind's name where the system gave no code.
    virtual std::string ReasonText(const Status& status) const = 0;

    // The folders a move works in: the destination and the folders of the dropped items. A backend
    // may hold them open and reach what lies below them without resolving whole paths again, and
    // without following a link that replaced a folder meanwhile. Other paths work as before.
    virtual void SetTreeRoots(const std::vector<std::string>& folders) { (void)folders; }

    // The keep-alive that a copy across volumes ticks between its blocks, or null for none; the
    // caller keeps it alive while it is set.
    virtual void SetKeepAlive(KeepAlive* keepAlive) = 0;
};

}  // namespace tandemere::engine
