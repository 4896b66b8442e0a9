// Platform layer (POSIX): file-system operations on Linux, never replacing anything and never
// removing a source before its copy is complete and flushed.
#include "platform/posix/file_system_posix.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <random>
#include <vector>

namespace tandemere::posix {

using engine::DirEntry;
using engine::ErrorKind;
using engine::Status;

namespace {

constexpr std::int64_t kTicksPerSecond = 10000000;
constexpr std::int64_t kSecondsFrom1601To1970 = 11644473600LL;
constexpr std::size_t kCopyBlock = 1 << 20;

Status FromErrno(int error, const std::string& path) {
    return Status(ErrorKindFromErrno(error), error, path);
}

// System calls do not want the trailing '/' the engine's folder paths may carry ("/" stays).
std::string Trim(const std::string& path) {
    std::string trimmed = path;
    while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
    return trimmed;
}

std::string ParentOf(const std::string& trimmed) {
    const std::size_t cut = trimmed.rfind('/');
    if (cut == std::string::npos) return ".";
    if (cut == 0) return "/";
    return trimmed.substr(0, cut);
}

std::string NameOf(const std::string& trimmed) {
    const std::size_t cut = trimmed.rfind('/');
    if (cut == std::string::npos || trimmed.size() == 1) return trimmed;
    return trimmed.substr(cut + 1);
}

std::uint64_t TicksFromTimespec(const struct timespec& time) {
    const std::int64_t seconds = static_cast<std::int64_t>(time.tv_sec) + kSecondsFrom1601To1970;
    if (seconds < 0) return 0;
    return static_cast<std::uint64_t>(seconds * kTicksPerSecond + time.tv_nsec / 100);
}

void FillEntry(const struct stat& st, const std::string& name, DirEntry& entry) {
    entry.m_strName = name;
    entry.m_bLink = S_ISLNK(st.st_mode);
    entry.m_bDirectory = S_ISDIR(st.st_mode);
    entry.m_nSize = (S_ISREG(st.st_mode) || S_ISLNK(st.st_mode)) ? static_cast<std::uint64_t>(st.st_size) : 0;
    entry.m_nLastWriteTime = TicksFromTimespec(st.st_mtim);
}

int RetryRead(int fd, void* buffer, std::size_t size, ssize_t& got) {
    do {
        got = ::read(fd, buffer, size);
    } while (got < 0 && errno == EINTR);
    return got < 0 ? errno : 0;
}

int WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t put = ::write(fd, data, size);
        if (put < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        data += put;
        size -= static_cast<std::size_t>(put);
    }
    return 0;
}

// Flushes a folder's entries (a rename or a new name in it) to disk.
int SyncFolderAt(int dirfd, const char* path) {
    UniqueFd fd(::openat(dirfd, path, O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd.IsValid()) return errno;
    if (::fsync(fd.Get()) != 0 && errno != EINVAL) return errno;
    return 0;
}

int SyncFolder(const std::string& path) {
    return SyncFolderAt(AT_FDCWD, path.c_str());
}

// Copies the data of one open file to another, in blocks; large files are fine. The keep-alive
// (if any) ticks between blocks.
int CopyData(int in, int out, engine::KeepAlive* keepAlive) {
    bool useRange = true;
    std::vector<char> buffer;
    for (;;) {
        if (keepAlive) keepAlive->Tick();
        if (useRange) {
            const ssize_t got = ::copy_file_range(in, nullptr, out, nullptr, kCopyBlock, 0);
            if (got > 0) continue;
            if (got == 0) return 0;
            if (errno == EINTR) continue;
            if (errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP && errno != EPERM)
                return errno;
            // Not offered between these two file systems: fall back to plain reads and writes,
            // going on from the offsets copy_file_range has already advanced.
            useRange = false;
            buffer.resize(kCopyBlock);
        }
        ssize_t got = 0;
        if (const int error = RetryRead(in, buffer.data(), buffer.size(), got)) return error;
        if (got == 0) return 0;
        if (const int error = WriteAll(out, buffer.data(), static_cast<std::size_t>(got))) return error;
    }
}

// A name no one uses yet, beside the target, for the copy before it is complete.
std::string TemporaryName(std::mt19937_64& random) {
    static const char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    std::string name = ".tandemere-";
    for (int i = 0; i < 12; ++i) name += kDigits[random() % 36];
    return name + ".part";
}

std::mt19937_64& Random() {
    thread_local std::mt19937_64 random{std::random_device{}() ^ static_cast<std::uint64_t>(::getpid())};
    return random;
}

// Renames without replacing. Where the file system lacks the flag, a hard link gives the same
// guarantee for non-folders (link fails on an existing name); a folder then cannot move safely.
int RenameNoReplaceAt(int fromDir, const char* from, int toDir, const char* to) {
    if (::renameat2(fromDir, from, toDir, to, RENAME_NOREPLACE) == 0) return 0;
    const int error = errno;
    if (error != EINVAL && error != ENOSYS) return error;
    struct stat st;
    if (::fstatat(fromDir, from, &st, AT_SYMLINK_NOFOLLOW) != 0) return errno;
    if (S_ISDIR(st.st_mode)) return error == ENOSYS ? ENOSYS : EINVAL;
    if (::linkat(fromDir, from, toDir, to, 0) != 0) return errno;
    if (::unlinkat(fromDir, from, 0) != 0) {
        const int unlinkError = errno;
        ::unlinkat(toDir, to, 0);
        return unlinkError;
    }
    return 0;
}

void SetTimesAt(int dirfd, const char* name, const struct stat& st) {
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    ::utimensat(dirfd, name, times, AT_SYMLINK_NOFOLLOW);
}

// Creates a copy of one file or link (fstatat'ed as `st`) under `toName` in `toDir`, created
// exclusively, with its mode and times, flushed. Removes what it made when it fails.
int CopyEntryAt(int fromDir, const char* fromName, const struct stat& st, int toDir, const char* toName,
                engine::KeepAlive* keepAlive) {
    if (S_ISLNK(st.st_mode)) {
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
        if (::symlinkat(target.data(), toDir, toName) != 0) return errno;
        SetTimesAt(toDir, toName, st);
        return 0;
    }
    if (!S_ISREG(st.st_mode)) return EOPNOTSUPP;
    UniqueFd in(::openat(fromDir, fromName, O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    if (!in.IsValid()) return errno;
    ::posix_fadvise(in.Get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    UniqueFd out(::openat(toDir, toName, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!out.IsValid()) return errno;
    int error = CopyData(in.Get(), out.Get(), keepAlive);
    if (error == 0) {
        // Ownership only carries over for a privileged user; the mode after it (chown clears set-id bits).
        if (::fchown(out.Get(), st.st_uid, st.st_gid) != 0) errno = 0;
        if (::fchmod(out.Get(), st.st_mode & 07777) != 0) error = errno;
    }
    if (error == 0) {
        const struct timespec times[2] = {st.st_atim, st.st_mtim};
        if (::futimens(out.Get(), times) != 0) error = errno;
    }
    if (error == 0 && ::fsync(out.Get()) != 0) error = errno;
    if (error == 0) error = out.Close();
    if (error != 0) {
        out.Reset();
        ::unlinkat(toDir, toName, 0);
    }
    return error;
}

// Removes a folder with everything below it, never following links. 0 or the first errno.
// `ownCopy`: a tree this backend made, whose read-only folders may be made writable to go.
int RemoveTreeAt(int parentDir, const char* name, bool ownCopy) {
    if (ownCopy) ::fchmodat(parentDir, name, 0700, 0);
    UniqueFd dirFd(::openat(parentDir, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!dirFd.IsValid()) return errno;
    int firstError = 0;
    {
        UniqueDir dir(::fdopendir(::dup(dirFd.Get())));
        if (!dir.IsValid()) return errno;
        std::vector<std::string> names;
        while (dirent* item = ::readdir(dir.Get())) {
            const std::string entry = item->d_name;
            if (entry != "." && entry != "..") names.push_back(entry);
        }
        for (const std::string& entry : names) {
            struct stat st;
            if (::fstatat(dirFd.Get(), entry.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
                if (firstError == 0 && errno != ENOENT) firstError = errno;
                continue;
            }
            int error = 0;
            if (S_ISDIR(st.st_mode))
                error = RemoveTreeAt(dirFd.Get(), entry.c_str(), ownCopy);
            else if (::unlinkat(dirFd.Get(), entry.c_str(), 0) != 0)
                error = errno;
            if (firstError == 0 && error != 0 && error != ENOENT) firstError = error;
        }
    }
    if (firstError != 0) return firstError;
    if (::unlinkat(parentDir, name, AT_REMOVEDIR) != 0) return errno;
    return 0;
}

// Copies the contents of folder `fromFd` into the empty folder `toFd`, recursively, then gives
// each copied folder its source's mode and times. 0 or the first errno (the caller cleans up).
int CopyTreeContents(int fromFd, int toFd, std::string& failedName, engine::KeepAlive* keepAlive) {
    std::vector<std::string> names;
    {
        UniqueDir dir(::fdopendir(::dup(fromFd)));
        if (!dir.IsValid()) return errno;
        errno = 0;
        while (dirent* item = ::readdir(dir.Get())) {
            const std::string entry = item->d_name;
            if (entry != "." && entry != "..") names.push_back(entry);
        }
        if (errno != 0) return errno;
    }
    for (const std::string& entry : names) {
        failedName = entry;
        struct stat st;
        if (::fstatat(fromFd, entry.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return errno;
        if (S_ISDIR(st.st_mode)) {
            if (::mkdirat(toFd, entry.c_str(), 0700) != 0) return errno;
            UniqueFd from(::openat(fromFd, entry.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            if (!from.IsValid()) return errno;
            UniqueFd to(::openat(toFd, entry.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            if (!to.IsValid()) return errno;
            std::string inner;
            if (const int error = CopyTreeContents(from.Get(), to.Get(), inner, keepAlive)) {
                failedName = entry + "/" + inner;
                return error;
            }
            if (::fsync(to.Get()) != 0 && errno != EINVAL) return errno;
            if (::fchown(to.Get(), st.st_uid, st.st_gid) != 0) errno = 0;
            if (::fchmod(to.Get(), st.st_mode & 07777) != 0) return errno;
            const struct timespec times[2] = {st.st_atim, st.st_mtim};
            if (::futimens(to.Get(), times) != 0) return errno;
        } else if (const int error = CopyEntryAt(fromFd, entry.c_str(), st, toFd, entry.c_str(), keepAlive)) {
            return error;
        }
    }
    failedName.clear();
    return 0;
}

class PosixReadFile : public engine::IReadFile {
public:
    PosixReadFile(UniqueFd fd, std::string path) : m_hFile(std::move(fd)), m_strPath(std::move(path)) {}
    Status Read(void* buffer, std::size_t size, std::size_t& got) override {
        ssize_t read = 0;
        got = 0;
        if (const int error = RetryRead(m_hFile.Get(), buffer, size, read))
            return FromErrno(error, m_strPath);
        got = static_cast<std::size_t>(read);
        return Status::Ok();
    }

private:
    UniqueFd m_hFile;
    std::string m_strPath;
};

}  // namespace

ErrorKind ErrorKindFromErrno(int error) {
    switch (error) {
        case 0:
            return ErrorKind::None;
        case ENOENT:
            return ErrorKind::NotFound;
        case EEXIST:
            return ErrorKind::Exists;
        case EACCES:
        case EPERM:
        case EROFS:
        case ETXTBSY:
        case EBUSY:
            return ErrorKind::AccessDenied;
        case ENOTEMPTY:
            return ErrorKind::NotEmpty;
        case ENOTDIR:
            return ErrorKind::NotADirectory;
        case EISDIR:
            return ErrorKind::IsADirectory;
        case EXDEV:
            return ErrorKind::CrossDevice;
        case ENAMETOOLONG:
            return ErrorKind::NameTooLong;
        case ENOMEM:
            return ErrorKind::NoMemory;
        case EIO:
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
            return ErrorKind::Io;
        case ENOSYS:
        case EOPNOTSUPP:
            return ErrorKind::Unsupported;
        default:
            return ErrorKind::Other;
    }
}

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

Status PosixFileSystem::ListFolder(const std::string& folder, std::vector<DirEntry>& entries) {
    entries.clear();
    const std::string path = Trim(folder);
    UniqueFd dirFd(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!dirFd.IsValid()) return FromErrno(errno, folder);
    std::vector<std::string> names;
    {
        UniqueDir dir(::fdopendir(::dup(dirFd.Get())));
        if (!dir.IsValid()) return FromErrno(errno, folder);
        // The whole listing is read first, so entries moved or deleted meanwhile cannot upset it.
        errno = 0;
        while (dirent* item = ::readdir(dir.Get())) names.emplace_back(item->d_name);
        if (errno != 0) return FromErrno(errno, folder);
    }
    entries.reserve(names.size());
    for (const std::string& name : names) {
        struct stat st;
        if (::fstatat(dirFd.Get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno == ENOENT) continue;  // gone since the listing was read
            return FromErrno(errno, path + "/" + name);
        }
        DirEntry entry;
        FillEntry(st, name, entry);
        entries.push_back(std::move(entry));
    }
    return Status::Ok();
}

Status PosixFileSystem::Lookup(const std::string& path, DirEntry& entry) {
    const std::string trimmed = Trim(path);
    struct stat st;
    if (::lstat(trimmed.c_str(), &st) != 0) return FromErrno(errno, path);
    FillEntry(st, NameOf(trimmed), entry);
    return Status::Ok();
}

bool PosixFileSystem::IsFolder(const std::string& path) {
    struct stat st;
    return ::stat(Trim(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

Status PosixFileSystem::OpenRead(const std::string& path, std::unique_ptr<engine::IReadFile>& file) {
    file.reset();
    UniqueFd fd(::open(Trim(path).c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.IsValid()) return FromErrno(errno, path);
    struct stat st;
    if (::fstat(fd.Get(), &st) != 0) return FromErrno(errno, path);
    if (S_ISDIR(st.st_mode)) return FromErrno(EISDIR, path);
    ::posix_fadvise(fd.Get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    file = std::make_unique<PosixReadFile>(std::move(fd), path);
    return Status::Ok();
}

Status PosixFileSystem::Move(const std::string& from, const std::string& to) {
    const std::string source = Trim(from);
    const std::string target = Trim(to);
    const int error = RenameNoReplaceAt(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str());
    if (error == 0) return Status::Ok();
    if (error != EXDEV) return FromErrno(error, error == EEXIST ? to : from);

    struct stat st;
    if (::lstat(source.c_str(), &st) != 0) return FromErrno(errno, from);
    // A folder crosses file systems only through MoveFolderAcrossVolumes.
    if (S_ISDIR(st.st_mode)) return FromErrno(EXDEV, from);
    struct stat existing;
    if (::lstat(target.c_str(), &existing) == 0) return FromErrno(EEXIST, to);

    const std::string folder = ParentOf(target);
    UniqueFd folderFd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folderFd.IsValid()) return FromErrno(errno, to);
    const std::string name = NameOf(target);
    std::string temporary;
    int copyError = EEXIST;
    for (int attempt = 0; attempt < 100 && copyError == EEXIST; ++attempt) {
        temporary = TemporaryName(Random());
        copyError =
            CopyEntryAt(AT_FDCWD, source.c_str(), st, folderFd.Get(), temporary.c_str(), m_pKeepAlive);
    }
    if (copyError != 0) return FromErrno(copyError, copyError == EEXIST ? folder : to);
    if (const int renameError =
            RenameNoReplaceAt(folderFd.Get(), temporary.c_str(), folderFd.Get(), name.c_str())) {
        ::unlinkat(folderFd.Get(), temporary.c_str(), 0);
        return FromErrno(renameError, to);
    }
    if (const int syncError = SyncFolderAt(folderFd.Get(), ".")) {
        ::unlinkat(folderFd.Get(), name.c_str(), 0);
        return FromErrno(syncError, to);
    }
    if (::unlink(source.c_str()) != 0) {
        // The source stays, so the copy must go: one file must not end up in both places.
        const int unlinkError = errno;
        ::unlinkat(folderFd.Get(), name.c_str(), 0);
        return FromErrno(unlinkError, from);
    }
    return Status::Ok();
}

Status PosixFileSystem::Rename(const std::string& from, const std::string& to) {
    const std::string target = Trim(to);
    const int error = RenameNoReplaceAt(AT_FDCWD, Trim(from).c_str(), AT_FDCWD, target.c_str());
    if (error != 0) return FromErrno(error, error == EEXIST ? to : from);
    if (const int syncError = SyncFolder(ParentOf(target))) return FromErrno(syncError, to);
    return Status::Ok();
}

Status PosixFileSystem::MoveFolderAcrossVolumes(engine::WindowHandle, const std::string& from,
                                                const std::string& to) {
    const std::string source = Trim(from);
    const std::string target = Trim(to);
    struct stat st;
    if (::lstat(source.c_str(), &st) != 0) return FromErrno(errno, from);
    if (!S_ISDIR(st.st_mode)) return FromErrno(ENOTDIR, from);
    struct stat existing;
    if (::lstat(target.c_str(), &existing) == 0) return FromErrno(EEXIST, to);

    const std::string folder = ParentOf(target);
    UniqueFd folderFd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folderFd.IsValid()) return FromErrno(errno, to);
    std::string temporary;
    int error = EEXIST;
    for (int attempt = 0; attempt < 100 && error == EEXIST; ++attempt) {
        temporary = TemporaryName(Random());
        error = ::mkdirat(folderFd.Get(), temporary.c_str(), 0700) == 0 ? 0 : errno;
    }
    if (error != 0) return FromErrno(error, to);

    std::string failedName;
    {
        UniqueFd fromFd(::open(source.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        UniqueFd toFd(
            ::openat(folderFd.Get(), temporary.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!fromFd.IsValid() || !toFd.IsValid()) {
            error = errno;
        } else {
            error = CopyTreeContents(fromFd.Get(), toFd.Get(), failedName, m_pKeepAlive);
            if (error == 0 && ::fsync(toFd.Get()) != 0 && errno != EINVAL) error = errno;
            if (error == 0 && ::fchown(toFd.Get(), st.st_uid, st.st_gid) != 0) errno = 0;
            if (error == 0 && ::fchmod(toFd.Get(), st.st_mode & 07777) != 0) error = errno;
            const struct timespec times[2] = {st.st_atim, st.st_mtim};
            if (error == 0 && ::futimens(toFd.Get(), times) != 0) error = errno;
        }
    }
    if (error == 0) {
        error = RenameNoReplaceAt(folderFd.Get(), temporary.c_str(), folderFd.Get(), NameOf(target).c_str());
        if (error != 0) failedName.clear();
    }
    if (error != 0) {
        RemoveTreeAt(folderFd.Get(), temporary.c_str(), true);
        return FromErrno(error,
                         failedName.empty() ? (error == EEXIST ? to : from) : source + "/" + failedName);
    }
    if (const int syncError = SyncFolderAt(folderFd.Get(), ".")) return FromErrno(syncError, to);
    // The whole tree is safely in place; only now does the source go.
    if (const int removeError = RemoveTreeAt(AT_FDCWD, source.c_str(), false))
        return FromErrno(removeError, from);
    return Status::Ok();
}

Status PosixFileSystem::DeleteFile(const std::string& path) {
    const std::string trimmed = Trim(path);
    struct stat st;
    if (::lstat(trimmed.c_str(), &st) != 0) return FromErrno(errno, path);
    if (S_ISDIR(st.st_mode)) return FromErrno(EISDIR, path);
    if (::unlink(trimmed.c_str()) != 0) return FromErrno(errno, path);
    return Status::Ok();
}

Status PosixFileSystem::RemoveFolder(const std::string& path) {
    if (::rmdir(Trim(path).c_str()) != 0) {
        const int error = errno;
        return Status(error == EEXIST ? ErrorKind::NotEmpty : ErrorKindFromErrno(error), error, path);
    }
    return Status::Ok();
}

bool PosixFileSystem::IsSameVolume(const std::string& existing, const std::string& target) {
    struct stat source;
    if (::lstat(Trim(existing).c_str(), &source) != 0) return false;
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
    if (::stat(Trim(a).c_str(), &first) != 0) return FromErrno(errno, a);
    if (::stat(Trim(b).c_str(), &second) != 0) return FromErrno(errno, b);
    same = first.st_dev == second.st_dev && first.st_ino == second.st_ino;
    return Status::Ok();
}

}  // namespace tandemere::posix
