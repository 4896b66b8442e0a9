// Platform layer (POSIX): file-system operations on Linux, never replacing anything and never
// removing a source before its copy is complete and flushed.
#include "platform/posix/file_system_posix.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <map>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/posix/posix_io.h"
#include "platform/posix/posix_syscalls.h"

namespace tandemere::posix {

using engine::DirEntry;
using engine::Status;

namespace {

constexpr std::int64_t kTicksPerSecond = 10000000;
constexpr std::int64_t kSecondsFrom1601To1970 = 11644473600LL;
constexpr std::size_t kCopyBlock = 1 << 20;
constexpr off_t kSequentialHintSize = 1 << 20;
constexpr int kOpenFolder = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
constexpr int kOpenFolderNoFollow = kOpenFolder | O_NOFOLLOW;

std::uint64_t TicksFromTimespec(const struct timespec& time) {
    const std::int64_t seconds = static_cast<std::int64_t>(time.tv_sec) + kSecondsFrom1601To1970;
    if (seconds < 0) return 0;
    return static_cast<std::uint64_t>(seconds * kTicksPerSecond + time.tv_nsec / 100);
}

void FillEntry(const struct stat& st, const std::string& name, DirEntry& entry) {
    entry.m_strName = name;
    entry.m_bLink = S_ISLNK(st.st_mode);
    entry.m_bDirectory = S_ISDIR(st.st_mode);
    entry.m_bSpecial = !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode) && !S_ISLNK(st.st_mode);
    entry.m_nSize = (S_ISREG(st.st_mode) || S_ISLNK(st.st_mode)) ? static_cast<std::uint64_t>(st.st_size) : 0;
    entry.m_nLastWriteTime = TicksFromTimespec(st.st_mtim);
    entry.m_nDevice = static_cast<std::uint64_t>(st.st_dev);
    entry.m_nFileId = static_cast<std::uint64_t>(st.st_ino);
    entry.m_nChangeTime = static_cast<std::uint64_t>(st.st_ctim.tv_sec) * 1000000000ull +
                          static_cast<std::uint64_t>(st.st_ctim.tv_nsec);
    entry.m_nMode = static_cast<std::uint32_t>(st.st_mode & 07777);
}

struct timespec TimespecFromTicks(std::uint64_t ticks) {
    struct timespec time {};
    const std::int64_t seconds = static_cast<std::int64_t>(ticks / kTicksPerSecond) - kSecondsFrom1601To1970;
    time.tv_sec = static_cast<time_t>(seconds);
    time.tv_nsec = static_cast<long>((ticks % kTicksPerSecond) * 100);
    return time;
}

int OpenAt(int dirfd, const char* path, int flags, mode_t mode = 0) {
    return Sys().m_pfnOpenAt(dirfd, path, flags, mode);
}

// Flushes the folder that holds the entry `at` (of the trimmed `path`). 0 or errno.
int SyncFolderOf(const FolderAt& at, const std::string& path) {
    if (at.Dir() == AT_FDCWD) return SyncFolderAt(AT_FDCWD, ParentOf(path).c_str());
    return SyncFolderAt(at.Dir(), ".");
}

// Every name in the open folder `fd`, read whole before any is used ("." and ".." only when
// `withDots`). 0 or errno.
int ReadNames(int fd, bool withDots, std::vector<std::string>& names) {
    UniqueDir dir(::fdopendir(::dup(fd)));
    if (!dir.IsValid()) return errno;
    errno = 0;
    while (dirent* item = ::readdir(dir.Get())) {
        const std::string name = item->d_name;
        if (withDots || (name != "." && name != "..")) names.push_back(name);
    }
    return errno;
}

// Copies the data of one open file to another, in blocks; large files are fine. The keep-alive
// (if any) ticks between blocks.
int CopyData(int in, int out, engine::KeepAlive* keepAlive) {
    bool useRange = true;
    std::vector<char> buffer;
    for (;;) {
        if (keepAlive) keepAlive->Tick();
        if (useRange) {
            const ssize_t got = Sys().m_pfnCopyFileRange(in, nullptr, out, nullptr, kCopyBlock, 0);
            if (got > 0) {
                if (keepAlive) keepAlive->AddCopied(static_cast<std::uint64_t>(got));
                continue;
            }
            if (got == 0) return 0;
            if (errno == EINTR) continue;
            if (errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP && errno != EPERM)
                return errno;
            // Not offered between these two file systems: fall back to plain reads and writes,
            // going on from the offsets copy_file_range has already advanced.
            useRange = false;
            buffer.resize(kCopyBlock);
        }
        std::size_t got = 0;
        if (const int error = ReadRetry(in, buffer.data(), buffer.size(), got)) return error;
        if (got == 0) return 0;
        if (const int error = WriteAll(out, buffer.data(), got)) return error;
        if (keepAlive) keepAlive->AddCopied(got);
    }
}

// Makes a link with the same target text as the link `fromName` (lstat'ed as `st`).
int CopyLinkAt(int fromDir, const char* fromName, const struct stat& st, int toDir, const char* toName) {
    std::vector<char> target(static_cast<std::size_t>(st.st_size) + 2);
    for (;;) {
        const ssize_t length = ::readlinkat(fromDir, fromName, target.data(), target.size());
        if (length < 0) return errno;
        if (static_cast<std::size_t>(length) < target.size()) {
            target[static_cast<std::size_t>(length)] = '\0';
            break;
        }
        target.resize(target.size() * 2);
    }
    if (Sys().m_pfnSymlinkAt(target.data(), toDir, toName) != 0) return errno;
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    Sys().m_pfnUtimensAt(toDir, toName, times, AT_SYMLINK_NOFOLLOW);
    return 0;
}

// Creates a copy of one file or link (fstatat'ed as `st`) under `toName` in `toDir`, created
// exclusively, with its mode and times, flushed unless `flush` is false. Removes what it made when it fails.
int CopyEntryAt(int fromDir, const char* fromName, const struct stat& st, int toDir, const char* toName,
                engine::KeepAlive* keepAlive, bool flush = true) {
    if (S_ISLNK(st.st_mode)) return CopyLinkAt(fromDir, fromName, st, toDir, toName);
    if (!S_ISREG(st.st_mode)) return EOPNOTSUPP;
    UniqueFd in(OpenAt(fromDir, fromName, O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    if (!in.IsValid()) return errno;
    ::posix_fadvise(in.Get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    UniqueFd out(OpenAt(toDir, toName, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!out.IsValid()) return errno;
    if (keepAlive) keepAlive->BeginStep(static_cast<std::uint64_t>(st.st_size));
    int error = CopyData(in.Get(), out.Get(), keepAlive);
    if (error == 0) error = CopyOwnerModeTimes(out.Get(), st);
    if (error == 0 && flush && Sys().m_pfnFsync(out.Get()) != 0) error = errno;
    if (error == 0) error = out.Close();
    if (error != 0) {
        out.Reset();
        Sys().m_pfnUnlinkAt(toDir, toName, 0);
    }
    return error;
}

// Removes a tree this backend made, with everything below it, never following links; read-only
// folders in it are made writable to go. 0 or the first errno.
int RemoveOwnTreeAt(int parentDir, const char* name) {
    ::fchmodat(parentDir, name, 0700, 0);
    UniqueFd dirFd(OpenAt(parentDir, name, kOpenFolderNoFollow));
    if (!dirFd.IsValid()) return errno;
    std::vector<std::string> names;
    int firstError = ReadNames(dirFd.Get(), false, names);
    for (const std::string& entry : names) {
        struct stat st;
        if (::fstatat(dirFd.Get(), entry.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            if (firstError == 0 && errno != ENOENT) firstError = errno;
            continue;
        }
        int error = 0;
        if (S_ISDIR(st.st_mode))
            error = RemoveOwnTreeAt(dirFd.Get(), entry.c_str());
        else if (Sys().m_pfnUnlinkAt(dirFd.Get(), entry.c_str(), 0) != 0)
            error = errno;
        if (firstError == 0 && error != 0 && error != ENOENT) firstError = error;
    }
    if (firstError != 0) return firstError;
    if (Sys().m_pfnUnlinkAt(parentDir, name, AT_REMOVEDIR) != 0) return errno;
    return 0;
}

bool SameTime(const struct timespec& a, const struct timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

// What the copy saw of one source entry, to tell when the source goes whether it is still that.
struct CopiedEntry {
    dev_t m_nDevice = 0;
    ino_t m_nInode = 0;
    off_t m_nSize = 0;
    struct timespec m_oTime {};
    struct timespec m_oChangeTime {};  // moved even by a write that puts size and last-write time back
    bool m_bFolder = false;
};

// The change time of a file of several names around the removal of its names by the copy: removing
// a name moves it, so the others are as copied while the time is the one the last removal left.
struct UnlinkedNames {
    struct timespec m_oCopiedTime {};  // as the copy saw the file
    struct timespec m_oLeftTime {};    // as the copy's last removal of a name left it
};

// One folder copy under way: the keep-alive it ticks between blocks, every entry it copied by its
// path relative to the copied folder ('/'-separated), and the entry it failed on.
struct FolderCopy {
    engine::KeepAlive* m_pKeepAlive = nullptr;
    std::unordered_map<std::string, CopiedEntry> m_mapCopied;
    std::string m_strFailed;                                         // relative; empty for the folder itself
    std::map<std::pair<dev_t, ino_t>, UnlinkedNames> m_mapUnlinked;  // files whose names it removed
};

// Whether an entry is the one the copy saw: the same object and, but for a folder (whose own time
// changes with its entries, which are checked one by one), of the same size, last-write and change time.
bool IsAsCopied(const FolderCopy& copy, const std::string& relative, const struct stat& st) {
    const auto it = copy.m_mapCopied.find(relative);
    if (it == copy.m_mapCopied.end()) return false;
    const CopiedEntry& seen = it->second;
    if (seen.m_nDevice != st.st_dev || seen.m_nInode != st.st_ino || seen.m_bFolder != S_ISDIR(st.st_mode))
        return false;
    if (seen.m_bFolder) return true;
    if (seen.m_nSize != st.st_size || !SameTime(seen.m_oTime, st.st_mtim)) return false;
    if (SameTime(seen.m_oChangeTime, st.st_ctim)) return true;
    const auto unlinked = copy.m_mapUnlinked.find({st.st_dev, st.st_ino});
    return unlinked != copy.m_mapUnlinked.end() &&
           SameTime(unlinked->second.m_oCopiedTime, seen.m_oChangeTime) &&
           SameTime(unlinked->second.m_oLeftTime, st.st_ctim);
}

// Removes one file or link `name` of `dirFd`, lstat'ed as `st` and found as copied. For a file of
// several names the change time the removal leaves is noted, so its other names still count as
// copied. 0 or errno.
int UnlinkCopied(int dirFd, const char* name, const struct stat& st, FolderCopy& copy) {
    if (!S_ISREG(st.st_mode) || st.st_nlink < 2) return Sys().m_pfnUnlinkAt(dirFd, name, 0) == 0 ? 0 : errno;
    // Held open by a path only, the file's own times can be read after its name has gone.
    UniqueFd held(::openat(dirFd, name, O_PATH | O_NOFOLLOW | O_CLOEXEC));
    if (Sys().m_pfnUnlinkAt(dirFd, name, 0) != 0) return errno;
    struct stat after;
    if (!held.IsValid() || ::fstat(held.Get(), &after) != 0 || after.st_ino != st.st_ino) return 0;
    auto [it, added] = copy.m_mapUnlinked.try_emplace({st.st_dev, st.st_ino});
    if (added || !SameTime(it->second.m_oLeftTime, st.st_ctim)) it->second.m_oCopiedTime = st.st_ctim;
    it->second.m_oLeftTime = after.st_ctim;
    return 0;
}

int CopyFolderAt(int fromDir, const char* fromName, int toDir, const char* toName, const struct stat& st,
                 const std::string& relative, FolderCopy& copy);

// Copies the contents of folder `fromFd` (at `relative` below the copied folder, empty for itself)
// into the empty folder `toFd`, recursively, then gives it the mode and times of `st` and flushes
// it. Pipes, sockets and devices are not copied. 0 or the first errno (the caller cleans up).
int CopyFolder(int fromFd, int toFd, const struct stat& st, const std::string& relative, FolderCopy& copy) {
    copy.m_strFailed = relative;
    std::vector<std::string> names;
    if (const int error = ReadNames(fromFd, false, names)) return error;
    const std::string prefix = relative.empty() ? relative : relative + "/";
    for (const std::string& entry : names) {
        copy.m_strFailed = prefix + entry;
        struct stat entrySt;
        if (::fstatat(fromFd, entry.c_str(), &entrySt, AT_SYMLINK_NOFOLLOW) != 0) return errno;
        const bool folder = S_ISDIR(entrySt.st_mode);
        if (!folder && !S_ISREG(entrySt.st_mode) && !S_ISLNK(entrySt.st_mode)) continue;
        if (!folder) {
            if (const int error =
                    CopyEntryAt(fromFd, entry.c_str(), entrySt, toFd, entry.c_str(), copy.m_pKeepAlive))
                return error;
        } else {
            if (Sys().m_pfnMkdirAt(toFd, entry.c_str(), 0700) != 0) return errno;
            if (const int error =
                    CopyFolderAt(fromFd, entry.c_str(), toFd, entry.c_str(), entrySt, prefix + entry, copy))
                return error;
        }
        copy.m_mapCopied[prefix + entry] = {entrySt.st_dev,  entrySt.st_ino,  entrySt.st_size,
                                            entrySt.st_mtim, entrySt.st_ctim, folder};
    }
    copy.m_strFailed = relative;
    if (const int error = CopyOwnerModeTimes(toFd, st)) return error;
    return SyncFolderFd(toFd);
}

// CopyFolder on two folders named relative to open ones.
int CopyFolderAt(int fromDir, const char* fromName, int toDir, const char* toName, const struct stat& st,
                 const std::string& relative, FolderCopy& copy) {
    UniqueFd from(OpenAt(fromDir, fromName, kOpenFolderNoFollow));
    if (!from.IsValid()) return errno;
    UniqueFd to(OpenAt(toDir, toName, kOpenFolderNoFollow));
    if (!to.IsValid()) return errno;
    return CopyFolder(from.Get(), to.Get(), st, relative, copy);
}

int RemoveCopiedFolderAt(int parentDir, const char* name, const std::string& relative, FolderCopy& copy,
                         std::vector<std::string>& left);

// Removes from the open source folder `dirFd` (at `relative` below the copied folder) every entry
// the copy saw and that is unchanged since; adds every other entry to `left` (relative). 0 or the
// first errno; the walk goes on past a failure.
int RemoveCopied(int dirFd, const std::string& relative, FolderCopy& copy, std::vector<std::string>& left) {
    std::vector<std::string> names;
    int firstError = ReadNames(dirFd, false, names);
    const std::string prefix = relative.empty() ? relative : relative + "/";
    for (const std::string& entry : names) {
        struct stat st;
        if (::fstatat(dirFd, entry.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            if (firstError == 0 && errno != ENOENT) firstError = errno;
            continue;
        }
        if (!IsAsCopied(copy, prefix + entry, st)) {
            left.push_back(prefix + entry);
            continue;
        }
        int error = 0;
        if (S_ISDIR(st.st_mode))
            error = RemoveCopiedFolderAt(dirFd, entry.c_str(), prefix + entry, copy, left);
        else
            error = UnlinkCopied(dirFd, entry.c_str(), st, copy);
        if (firstError == 0 && error != 0 && error != ENOENT) firstError = error;
    }
    return firstError;
}

// RemoveCopied on the folder `name` in `parentDir`, then the folder itself once nothing stayed in it.
int RemoveCopiedFolderAt(int parentDir, const char* name, const std::string& relative, FolderCopy& copy,
                         std::vector<std::string>& left) {
    UniqueFd dirFd(OpenAt(parentDir, name, kOpenFolderNoFollow));
    if (!dirFd.IsValid()) return errno;
    const std::size_t leftBefore = left.size();
    if (const int error = RemoveCopied(dirFd.Get(), relative, copy, left)) return error;
    if (left.size() != leftBefore) return 0;  // what stayed keeps its folder
    if (Sys().m_pfnUnlinkAt(parentDir, name, AT_REMOVEDIR) == 0) return 0;
    // An entry that arrived after the folder was read stays, and so does the folder.
    if (errno != ENOTEMPTY && errno != EEXIST) return errno;
    left.push_back(relative);
    return 0;
}

// The start of a move across file systems: the source lstat'ed and of the expected kind, the
// target's name free (or, when replacing, taken by no folder) and its folder open.
struct CrossVolumeMove {
    std::string m_strSource, m_strTarget, m_strFolder, m_strName;
    FolderAt m_oSourceAt;  // the source's folder and name, as every call on the source reaches it
    struct stat m_oSource {};
    UniqueFd m_hFolder;
    bool m_bReplace = false;
    std::string m_strBackup;  // when replacing: a second name of the old file until the source is gone
    bool m_bFlush = true;     // the copy and its name made durable before the source may go
};

Status StartCrossVolumeMove(FolderHandles& folders, const std::string& from, const std::string& to,
                            bool folder, CrossVolumeMove& move) {
    move.m_strSource = Trim(from);
    move.m_strTarget = Trim(to);
    const FolderAt& source = move.m_oSourceAt;
    if (const int error = folders.Locate(move.m_strSource, move.m_oSourceAt))
        return StatusFromErrno(error, from);
    if (::fstatat(source.Dir(), source.Name(), &move.m_oSource, AT_SYMLINK_NOFOLLOW) != 0)
        return StatusFromErrno(errno, from);
    // A folder crosses file systems only through MoveFolderAcrossVolumes, a file only through Move.
    if (S_ISDIR(move.m_oSource.st_mode) != folder) return StatusFromErrno(folder ? ENOTDIR : EXDEV, from);
    FolderAt target;
    if (const int error = folders.Locate(move.m_strTarget, target)) return StatusFromErrno(error, to);
    struct stat existing;
    if (::fstatat(target.Dir(), target.Name(), &existing, AT_SYMLINK_NOFOLLOW) == 0 &&
        (!move.m_bReplace || S_ISDIR(existing.st_mode)))
        return StatusFromErrno(move.m_bReplace ? EISDIR : EEXIST, to);
    move.m_strFolder = ParentOf(move.m_strTarget);
    move.m_strName = NameOf(move.m_strTarget);
    // A held folder is open as a path only; the copy needs it open for reading and flushing.
    const bool held = target.Dir() != AT_FDCWD;
    move.m_hFolder.Reset(OpenAt(target.Dir(), held ? "." : move.m_strFolder.c_str(), kOpenFolder));
    if (!move.m_hFolder.IsValid()) return StatusFromErrno(errno, to);
    return Status::Ok();
}

// Gives the old file at the target a second, temporary name, so a failure after the replacement
// can bring it back. Without hard links (or without an old file) the replacement goes on without.
void KeepOldFile(CrossVolumeMove& move) {
    const int folderFd = move.m_hFolder.Get();
    const int error = CreateTemporaryFor(
        NameOf(move.m_strSource),
        [&](const std::string& name) {
            return Sys().m_pfnLinkAt(folderFd, move.m_strName.c_str(), folderFd, name.c_str(), 0) == 0
                       ? 0
                       : errno;
        },
        move.m_strBackup);
    if (error != 0) move.m_strBackup.clear();
}

// After a failure once the copy is in place, while the source stays: the target as it was before,
// where that can be had. A new name goes again (one file must not end up in both places); an old
// file comes back from its second name; without one the complete copy stays.
void UndoCopyInPlace(const CrossVolumeMove& move) {
    const int folderFd = move.m_hFolder.Get();
    if (!move.m_bReplace)
        Sys().m_pfnUnlinkAt(folderFd, move.m_strName.c_str(), 0);
    else if (!move.m_strBackup.empty())
        Sys().m_pfnRenameAt2(folderFd, move.m_strBackup.c_str(), folderFd, move.m_strName.c_str(), 0);
}

// Puts the flushed copy `temporary` in place under the target name, without replacing or over the
// old file, and flushes the folder. 0 or errno; on failure the target is as it was where it can be.
int PutCopyInPlace(CrossVolumeMove& move, const std::string& temporary) {
    const int folderFd = move.m_hFolder.Get();
    int error = 0;
    if (!move.m_bReplace) {
        error = RenameNoReplaceAt(folderFd, temporary.c_str(), folderFd, move.m_strName.c_str());
    } else {
        KeepOldFile(move);
        if (Sys().m_pfnRenameAt2(folderFd, temporary.c_str(), folderFd, move.m_strName.c_str(), 0) != 0)
            error = errno;
    }
    if (error != 0) {
        Sys().m_pfnUnlinkAt(folderFd, temporary.c_str(), 0);
        if (!move.m_strBackup.empty()) Sys().m_pfnUnlinkAt(folderFd, move.m_strBackup.c_str(), 0);
        return error;
    }
    if (const int syncError = move.m_bFlush ? SyncFolderAt(folderFd, ".") : 0) {
        UndoCopyInPlace(move);
        return syncError;
    }
    return 0;
}

// Whether the source is still the object it was when the copy started, with its size, last-write
// and change time (a write that puts size and last-write time back still moves the change time).
bool SourceUnchanged(const CrossVolumeMove& move) {
    struct stat now;
    if (::fstatat(move.m_oSourceAt.Dir(), move.m_oSourceAt.Name(), &now, AT_SYMLINK_NOFOLLOW) != 0)
        return false;
    const struct stat& then = move.m_oSource;
    return now.st_dev == then.st_dev && now.st_ino == then.st_ino && now.st_size == then.st_size &&
           SameTime(now.st_mtim, then.st_mtim) && SameTime(now.st_ctim, then.st_ctim);
}

// Move's and MoveReplacing's part for a file or link on another file system: a flushed copy under a
// temporary name, put in place, then the source removed.
Status MoveFileAcrossVolumes(FolderHandles& folders, const std::string& from, const std::string& to,
                             bool replace, engine::KeepAlive* keepAlive) {
    CrossVolumeMove move;
    move.m_bReplace = replace;
    if (Status status = StartCrossVolumeMove(folders, from, to, false, move); !status) return status;
    const FolderAt& source = move.m_oSourceAt;
    const int folderFd = move.m_hFolder.Get();
    std::string temporary;
    const int copyError = CreateTemporaryFor(
        NameOf(move.m_strSource),
        [&](const std::string& name) {
            return CopyEntryAt(source.Dir(), source.Name(), move.m_oSource, folderFd, name.c_str(),
                               keepAlive);
        },
        temporary);
    if (copyError != 0) return StatusFromErrno(copyError, copyError == EEXIST ? move.m_strFolder : to);
    if (const int placeError = PutCopyInPlace(move, temporary)) return StatusFromErrno(placeError, to);
    // What was written meanwhile may exist only in the source: it stays beside the copy.
    if (!SourceUnchanged(move)) {
        if (!move.m_strBackup.empty()) Sys().m_pfnUnlinkAt(folderFd, move.m_strBackup.c_str(), 0);
        return Status(engine::ErrorKind::SourceChanged, 0, from);
    }
    if (Sys().m_pfnUnlinkAt(source.Dir(), source.Name(), 0) != 0) {
        const int unlinkError = errno;
        UndoCopyInPlace(move);
        return StatusFromErrno(unlinkError, from);
    }
    if (!move.m_strBackup.empty()) Sys().m_pfnUnlinkAt(folderFd, move.m_strBackup.c_str(), 0);
    return Status::Ok();
}

class PosixReadFile : public engine::IReadFile {
public:
    PosixReadFile(UniqueFd fd, std::string path) : m_hFile(std::move(fd)), m_strPath(std::move(path)) {}
    Status Read(void* buffer, std::size_t size, std::size_t& got) override {
        if (const int error = ReadRetry(m_hFile.Get(), buffer, size, got))
            return StatusFromErrno(error, m_strPath);
        return Status::Ok();
    }

private:
    UniqueFd m_hFile;
    std::string m_strPath;
};

}  // namespace

bool PosixFileSystem::PathFits(const std::string& path) const {
    if (path.empty() || path.size() >= PATH_MAX) return false;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        if (end - start > NAME_MAX) return false;
        start = end + 1;
    }
    return path.find('\0') == std::string::npos;
}

void PosixFileSystem::SetTreeRoots(const std::vector<std::string>& folders) {
    std::vector<std::string> roots;
    for (const std::string& folder : folders) roots.push_back(Trim(folder));
    m_oFolders.SetRoots(roots);
}

int PosixFileSystem::OpenFolder(const std::string& path, int flags, UniqueFd& fd) {
    FolderAt at;
    if (const int error = m_oFolders.Locate(path, at)) return error;
    // Below a root not even the last name is followed if it became a link.
    fd.Reset(OpenAt(at.Dir(), at.Name(), at.Dir() == AT_FDCWD ? flags : flags | O_NOFOLLOW));
    return fd.IsValid() ? 0 : errno;
}

int PosixFileSystem::StatOf(const std::string& path, struct stat& st, bool follow) {
    FolderAt at;
    if (const int error = m_oFolders.Locate(path, at)) return error;
    return ::fstatat(at.Dir(), at.Name(), &st, follow ? 0 : AT_SYMLINK_NOFOLLOW) == 0 ? 0 : errno;
}

Status PosixFileSystem::ListFolder(const std::string& folder, std::vector<DirEntry>& entries) {
    entries.clear();
    const std::string path = Trim(folder);
    UniqueFd dirFd;
    if (const int error = OpenFolder(path, kOpenFolder, dirFd)) return StatusFromErrno(error, folder);
    // The whole listing is read first, so entries moved or deleted meanwhile cannot upset it.
    std::vector<std::string> names;
    if (const int error = ReadNames(dirFd.Get(), true, names)) return StatusFromErrno(error, folder);
    // In byte order of the names: a move's log then does not hang on the order the file system
    // keeps, which no dry run could foresee for the entries a move adds.
    std::sort(names.begin(), names.end());
    entries.reserve(names.size());
    for (const std::string& name : names) {
        struct stat st;
        if (::fstatat(dirFd.Get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno == ENOENT) continue;  // gone since the listing was read
            return StatusFromErrno(errno, path + "/" + name);
        }
        DirEntry entry;
        FillEntry(st, name, entry);
        entries.push_back(std::move(entry));
    }
    return Status::Ok();
}

Status PosixFileSystem::ListNames(const std::string& folder, std::vector<DirEntry>& entries) {
    entries.clear();
    UniqueFd dirFd;
    if (const int error = OpenFolder(Trim(folder), kOpenFolder, dirFd)) return StatusFromErrno(error, folder);
    UniqueDir dir(::fdopendir(::dup(dirFd.Get())));
    if (!dir.IsValid()) return StatusFromErrno(errno, folder);
    errno = 0;
    while (const dirent* item = ::readdir(dir.Get())) {
        DirEntry entry;
        entry.m_strName = item->d_name;
        if (item->d_type == DT_UNKNOWN) {
            // Some file systems do not say; the entry is looked up, as ListFolder does.
            struct stat st;
            if (::fstatat(dirFd.Get(), item->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
            FillEntry(st, entry.m_strName, entry);
        } else {
            entry.m_bDirectory = item->d_type == DT_DIR;
            entry.m_bLink = item->d_type == DT_LNK;
        }
        entries.push_back(std::move(entry));
        errno = 0;  // only readdir's own failure counts below
    }
    if (errno != 0) return StatusFromErrno(errno, folder);
    std::sort(entries.begin(), entries.end(),
              [](const DirEntry& a, const DirEntry& b) { return a.m_strName < b.m_strName; });
    return Status::Ok();
}

Status PosixFileSystem::Lookup(const std::string& path, DirEntry& entry) {
    const std::string trimmed = Trim(path);
    struct stat st;
    if (const int error = StatOf(trimmed, st)) return StatusFromErrno(error, path);
    FillEntry(st, NameOf(trimmed), entry);
    return Status::Ok();
}

bool PosixFileSystem::IsFolder(const std::string& path) {
    struct stat st;
    return StatOf(Trim(path), st, true) == 0 && S_ISDIR(st.st_mode);
}

Status PosixFileSystem::OpenRead(const std::string& path, std::unique_ptr<engine::IReadFile>& file) {
    file.reset();
    // A pipe put here since it was looked up would otherwise wait for a writer for good. Below a
    // root a link put in a file's place is not read through: its target could pass for the file.
    FolderAt at;
    if (const int error = m_oFolders.Locate(Trim(path), at)) return StatusFromErrno(error, path);
    const int noFollow = at.Dir() == AT_FDCWD ? 0 : O_NOFOLLOW;
    UniqueFd fd(OpenAt(at.Dir(), at.Name(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | noFollow));
    if (!fd.IsValid()) return StatusFromErrno(errno, path);
    struct stat st;
    if (::fstat(fd.Get(), &st) != 0) return StatusFromErrno(errno, path);
    if (S_ISDIR(st.st_mode)) return StatusFromErrno(EISDIR, path);
    if (!S_ISREG(st.st_mode)) return StatusFromErrno(EOPNOTSUPP, path);
    // O_NONBLOCK stays: reads of a regular file never wait on it, so clearing it would cost a call
    // a file for nothing.
    // Read-ahead matters for large files only; a small one is read in one or two calls anyway.
    if (st.st_size > kSequentialHintSize) ::posix_fadvise(fd.Get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    file = std::make_unique<PosixReadFile>(std::move(fd), path);
    return Status::Ok();
}

Status PosixFileSystem::Move(const std::string& from, const std::string& to) {
    const std::string source = Trim(from);
    FolderAt fromAt, toAt;
    if (const int error = m_oFolders.Locate(source, fromAt)) return StatusFromErrno(error, from);
    if (const int error = m_oFolders.Locate(Trim(to), toAt)) return StatusFromErrno(error, to);
    const int error = RenameNoReplaceAt(fromAt.Dir(), fromAt.Name(), toAt.Dir(), toAt.Name());
    if (error == 0) {
        m_oFolders.Forget(source);
        return Status::Ok();
    }
    if (error != EXDEV) return StatusFromErrno(error, error == EEXIST ? to : from);
    return MoveFileAcrossVolumes(m_oFolders, from, to, false, m_pKeepAlive);
}

Status PosixFileSystem::MoveReplacing(const std::string& from, const std::string& to) {
    FolderAt fromAt, toAt;
    if (const int error = m_oFolders.Locate(Trim(from), fromAt)) return StatusFromErrno(error, from);
    if (const int error = m_oFolders.Locate(Trim(to), toAt)) return StatusFromErrno(error, to);
    struct stat st;
    if (::fstatat(fromAt.Dir(), fromAt.Name(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return StatusFromErrno(errno, from);
    if (S_ISDIR(st.st_mode)) return StatusFromErrno(EISDIR, from);
    if (Sys().m_pfnRenameAt2(fromAt.Dir(), fromAt.Name(), toAt.Dir(), toAt.Name(), 0) != 0) {
        const int error = errno;
        if (error == EXDEV) return MoveFileAcrossVolumes(m_oFolders, from, to, true, m_pKeepAlive);
        return StatusFromErrno(error, error == EISDIR ? to : from);
    }
    // The old file is gone and cannot come back: the replacement is done, so a failed flush of its
    // folder does not turn it into a failure (the rename is atomic, so no crash loses either file).
    SyncFolderOf(toAt, Trim(to));
    return Status::Ok();
}

Status PosixFileSystem::Rename(const std::string& from, const std::string& to) {
    const std::string source = Trim(from);
    const std::string target = Trim(to);
    FolderAt fromAt, toAt;
    if (const int error = m_oFolders.Locate(source, fromAt)) return StatusFromErrno(error, from);
    if (const int error = m_oFolders.Locate(target, toAt)) return StatusFromErrno(error, to);
    const int error = RenameNoReplaceAt(fromAt.Dir(), fromAt.Name(), toAt.Dir(), toAt.Name());
    if (error != 0) return StatusFromErrno(error, error == EEXIST ? to : from);
    m_oFolders.Forget(source);
    if (const int syncError = SyncFolderOf(toAt, target)) {
        // Undone, so that a failure means the name is where it was. A rename that cannot be undone
        // stands, and is reported as made: the caller's log must name the name it now has.
        if (RenameNoReplaceAt(toAt.Dir(), toAt.Name(), fromAt.Dir(), fromAt.Name()) == 0)
            return StatusFromErrno(syncError, to);
    }
    return Status::Ok();
}

Status PosixFileSystem::MoveFolderAcrossVolumes(engine::WindowHandle, const std::string& from,
                                                const std::string& to, std::vector<std::string>& left) {
    left.clear();
    CrossVolumeMove move;
    if (Status status = StartCrossVolumeMove(m_oFolders, from, to, true, move); !status) return status;
    const FolderAt& source = move.m_oSourceAt;
    const int folderFd = move.m_hFolder.Get();
    std::string temporary;
    int error = CreateTemporaryFor(
        NameOf(move.m_strSource),
        [&](const std::string& name) {
            return Sys().m_pfnMkdirAt(folderFd, name.c_str(), 0700) == 0 ? 0 : errno;
        },
        temporary);
    if (error != 0) return StatusFromErrno(error, to);

    FolderCopy copy;
    copy.m_pKeepAlive = m_pKeepAlive;
    error = CopyFolderAt(source.Dir(), source.Name(), folderFd, temporary.c_str(), move.m_oSource, {}, copy);
    if (error == 0) {
        error = RenameNoReplaceAt(folderFd, temporary.c_str(), folderFd, move.m_strName.c_str());
        if (error != 0) copy.m_strFailed.clear();
    }
    if (error != 0) {
        RemoveOwnTreeAt(folderFd, temporary.c_str());
        const std::string& failed = copy.m_strFailed;
        return StatusFromErrno(
            error, failed.empty() ? (error == EEXIST ? to : from) : move.m_strSource + "/" + failed);
    }
    if (const int syncError = SyncFolderAt(folderFd, ".")) {
        // The source is whole: the copy must go, or the failed move leaves the folder twice.
        RemoveOwnTreeAt(folderFd, move.m_strName.c_str());
        return StatusFromErrno(syncError, to);
    }
    // The whole tree is safely in place; only now does the source go, as far as it is as copied.
    const int removeError = RemoveCopiedFolderAt(source.Dir(), source.Name(), {}, copy, left);
    m_oFolders.Forget(move.m_strSource);
    std::sort(left.begin(), left.end());
    for (std::string& entry : left) entry = entry.empty() ? move.m_strSource : move.m_strSource + "/" + entry;
    if (removeError != 0) return StatusFromErrno(removeError, from);
    return Status::Ok();
}

Status PosixFileSystem::DeleteFile(const std::string& path) {
    FolderAt at;
    if (const int error = m_oFolders.Locate(Trim(path), at)) return StatusFromErrno(error, path);
    // Without AT_REMOVEDIR the call itself refuses a folder (EISDIR): no look beforehand is needed.
    if (Sys().m_pfnUnlinkAt(at.Dir(), at.Name(), 0) != 0) return StatusFromErrno(errno, path);
    return Status::Ok();
}

Status PosixFileSystem::MoveToTrash(const std::string& path, std::string& where) {
    m_oFolders.Forget(Trim(path));
    return m_oTrash.MoveToTrash(path, where);
}

void PosixFileSystem::LastTrashed(std::string& file, std::string& info) const {
    m_oTrash.LastTrashed(file, info);
}

Status PosixFileSystem::CopyFileNew(const std::string& from, const std::string& to, std::uint32_t mode,
                                    std::uint64_t time) {
    CrossVolumeMove copy;
    // Nothing is removed after this copy, so it need not be durable first: a flush per file would make an
    // undo of many duplicates many times slower than the move it reverses.
    copy.m_bFlush = false;
    if (Status status = StartCrossVolumeMove(m_oFolders, from, to, false, copy); !status) return status;
    const FolderAt& source = copy.m_oSourceAt;
    if (!S_ISREG(copy.m_oSource.st_mode)) return StatusFromErrno(EOPNOTSUPP, from);
    // The copy takes the mode and time asked for, not the file's it is made of.
    struct stat as = copy.m_oSource;
    as.st_mode = (as.st_mode & ~static_cast<mode_t>(07777)) | static_cast<mode_t>(mode & 07777);
    as.st_mtim = TimespecFromTicks(time);
    std::string temporary;
    const int folderFd = copy.m_hFolder.Get();
    const int copyError = CreateTemporaryFor(
        NameOf(copy.m_strSource),
        [&](const std::string& name) {
            return CopyEntryAt(source.Dir(), source.Name(), as, folderFd, name.c_str(), m_pKeepAlive, false);
        },
        temporary);
    if (copyError != 0) return StatusFromErrno(copyError, copyError == EEXIST ? copy.m_strFolder : to);
    if (const int placeError = PutCopyInPlace(copy, temporary)) return StatusFromErrno(placeError, to);
    return Status::Ok();
}

Status PosixFileSystem::SetFolderMode(const std::string& path, std::uint32_t mode) {
    UniqueFd folder;
    if (const int error = OpenFolder(Trim(path), kOpenFolderNoFollow, folder))
        return StatusFromErrno(error, path);
    if (::fchmod(folder.Get(), static_cast<mode_t>(mode & 07777)) != 0) return StatusFromErrno(errno, path);
    return Status::Ok();
}

Status PosixFileSystem::FindTrash(const std::string& path, std::string& where) {
    return m_oTrash.FindTrash(path, where);
}

Status PosixFileSystem::RemoveFolder(const std::string& path) {
    const std::string trimmed = Trim(path);
    FolderAt at;
    int error = m_oFolders.Locate(trimmed, at);
    if (error == 0 && Sys().m_pfnUnlinkAt(at.Dir(), at.Name(), AT_REMOVEDIR) != 0) error = errno;
    if (error != 0)
        return Status(error == EEXIST ? engine::ErrorKind::NotEmpty : ErrorKindFromErrno(error), error, path);
    m_oFolders.Forget(trimmed);
    return Status::Ok();
}

Status PosixFileSystem::CreateFolder(const std::string& path) {
    FolderAt at;
    if (const int error = m_oFolders.Locate(Trim(path), at)) return StatusFromErrno(error, path);
    if (Sys().m_pfnMkdirAt(at.Dir(), at.Name(), 0777) != 0) return StatusFromErrno(errno, path);
    return Status::Ok();
}

bool PosixFileSystem::IsSameVolume(const std::string& existing, const std::string& target) {
    struct stat source;
    if (StatOf(Trim(existing), source) != 0) return false;
    // The folder that will receive the name decides; climb to the nearest one that exists.
    std::string ancestor = ParentOf(Trim(target));
    struct stat st;
    for (;;) {
        if (::stat(ancestor.c_str(), &st) == 0) return st.st_dev == source.st_dev;
        if (ancestor == "/" || ancestor == ".") return false;
        ancestor = ParentOf(ancestor);
    }
}

Status PosixFileSystem::IsSameObject(const std::string& a, const std::string& b, bool& same) {
    same = false;
    struct stat first;
    struct stat second;
    if (const int error = StatOf(Trim(a), first, true)) return StatusFromErrno(error, a);
    if (const int error = StatOf(Trim(b), second, true)) return StatusFromErrno(error, b);
    same = first.st_dev == second.st_dev && first.st_ino == second.st_ino;
    return Status::Ok();
}

Status PosixFileSystem::ReadLink(const std::string& path, std::string& target) {
    target.clear();
    FolderAt at;
    if (const int error = m_oFolders.Locate(Trim(path), at)) return StatusFromErrno(error, path);
    std::vector<char> buffer(256);
    for (;;) {
        const ssize_t length = ::readlinkat(at.Dir(), at.Name(), buffer.data(), buffer.size());
        if (length < 0) return StatusFromErrno(errno, path);
        // A full buffer may have cut the target short.
        if (static_cast<std::size_t>(length) < buffer.size()) {
            target.assign(buffer.data(), static_cast<std::size_t>(length));
            return Status::Ok();
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::string PosixFileSystem::ReasonText(const engine::Status& status) const {
    return posix::ReasonText(status);
}

}  // namespace tandemere::posix
