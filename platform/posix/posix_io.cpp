// Platform layer (POSIX): the shared I/O helpers and the errno mapping.
#include "platform/posix/posix_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>

#include "engine/path.h"
#include "platform/posix/posix_syscalls.h"
#include "platform/posix/unique_fd.h"

namespace tandemere::posix {

using engine::ErrorKind;

namespace {

struct ErrnoKind {
    int m_nErrno;
    ErrorKind m_nKind;
};

constexpr ErrnoKind kErrnoKinds[] = {
    {0, ErrorKind::None},
    {ENOENT, ErrorKind::NotFound},
    {EEXIST, ErrorKind::Exists},
    {EACCES, ErrorKind::AccessDenied},
    {EPERM, ErrorKind::AccessDenied},
    {EROFS, ErrorKind::AccessDenied},
    {ETXTBSY, ErrorKind::AccessDenied},
    {EBUSY, ErrorKind::AccessDenied},
    {ENOTEMPTY, ErrorKind::NotEmpty},
    {ENOTDIR, ErrorKind::NotADirectory},
    {EISDIR, ErrorKind::IsADirectory},
    {EXDEV, ErrorKind::CrossDevice},
    {ENAMETOOLONG, ErrorKind::NameTooLong},
    {ENOMEM, ErrorKind::NoMemory},
    {EIO, ErrorKind::Io},
    {ENOSPC, ErrorKind::Io},
    {EDQUOT, ErrorKind::Io},
    {EFBIG, ErrorKind::Io},
    {ENOSYS, ErrorKind::Unsupported},
    {EOPNOTSUPP, ErrorKind::Unsupported},
};

}  // namespace

ErrorKind ErrorKindFromErrno(int error) {
    for (const ErrnoKind& entry : kErrnoKinds)
        if (entry.m_nErrno == error) return entry.m_nKind;
    return ErrorKind::Other;
}

std::string ErrnoText(int error) {
    char buffer[256] = {};
    // The GNU variant may return a static text instead of filling the buffer.
    return ::strerror_r(error, buffer, sizeof buffer);
}

std::string ReasonText(const engine::Status& status) {
    const std::int64_t code = status.NativeCode();
    int error = code > 0 && code <= INT32_MAX ? static_cast<int>(code) : 0;
    // A status the engine made itself (a dry run's) carries no errno: the first of its kind says it
    // as the system would, so a dry run's line reads as the real move's.
    if (code == 0)
        for (const ErrnoKind& known : kErrnoKinds)
            if (error == 0 && known.m_nErrno != 0 && known.m_nKind == status.Kind()) error = known.m_nErrno;
    return error != 0 ? ErrnoText(error) : engine::ErrorKindName(status.Kind());
}

engine::Status StatusFromErrno(int error, const std::string& path) {
    return engine::Status(ErrorKindFromErrno(error), error, path);
}

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

int RenameNoReplaceAt(int fromDir, const char* from, int toDir, const char* to) {
    if (Sys().m_pfnRenameAt2(fromDir, from, toDir, to, RENAME_NOREPLACE) == 0) return 0;
    const int error = errno;
    if (error != EINVAL && error != ENOSYS) return error;
    struct stat st;
    if (::fstatat(fromDir, from, &st, AT_SYMLINK_NOFOLLOW) != 0) return errno;
    if (S_ISDIR(st.st_mode)) return error == ENOSYS ? ENOSYS : EINVAL;
    if (Sys().m_pfnLinkAt(fromDir, from, toDir, to, 0) != 0) return errno;
    if (Sys().m_pfnUnlinkAt(fromDir, from, 0) != 0) {
        const int unlinkError = errno;
        Sys().m_pfnUnlinkAt(toDir, to, 0);
        return unlinkError;
    }
    return 0;
}

int ReadRetry(int fd, void* buffer, std::size_t size, std::size_t& got) {
    ssize_t read = 0;
    do {
        read = Sys().m_pfnRead(fd, buffer, size);
    } while (read < 0 && errno == EINTR);
    got = read < 0 ? 0 : static_cast<std::size_t>(read);
    return read < 0 ? errno : 0;
}

int WriteAll(int fd, const void* data, std::size_t size) {
    const char* next = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t put = Sys().m_pfnWrite(fd, next, size);
        if (put < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        next += put;
        size -= static_cast<std::size_t>(put);
    }
    return 0;
}

int SyncFolderFd(int fd) {
    if (Sys().m_pfnFsync(fd) != 0 && errno != EINVAL) return errno;
    return 0;
}

int SyncFolderAt(int dirfd, const char* path) {
    UniqueFd fd(Sys().m_pfnOpenAt(dirfd, path, O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0));
    if (!fd.IsValid()) return errno;
    return SyncFolderFd(fd.Get());
}

int CopyOwnerModeTimes(int fd, const struct stat& st) {
    // Only a privileged user can give a file away; anyone else's copy simply stays theirs.
    if (Sys().m_pfnFchown(fd, st.st_uid, st.st_gid) != 0) errno = 0;
    if (Sys().m_pfnFchmod(fd, st.st_mode & 07777) != 0) return errno;
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    if (Sys().m_pfnFutimens(fd, times) != 0) return errno;
    return 0;
}

namespace {

// Tries `prefix` + `length` random characters + `suffix` as CreateUnderTemporaryName describes.
int CreateUnderRandomName(std::string_view prefix, std::size_t length, std::string_view suffix,
                          const std::function<int(const std::string& name)>& create, std::string& name) {
    const std::string_view chars = engine::kTemporaryRandomChars;
    thread_local std::mt19937_64 s_oRandom{std::random_device{}() ^ static_cast<std::uint64_t>(::getpid())};
    int error = EEXIST;
    for (int attempt = 0; attempt < 100 && error == EEXIST; ++attempt) {
        name.assign(prefix);
        for (std::size_t i = 0; i < length; ++i) name += chars[s_oRandom() % chars.size()];
        name += suffix;
        error = create(name);
    }
    return error;
}

}  // namespace

int CreateUnderTemporaryName(std::string_view prefix, std::string_view suffix,
                             const std::function<int(const std::string& name)>& create, std::string& name) {
    return CreateUnderRandomName(prefix, engine::kTemporaryRandomLength, suffix, create, name);
}

int CreateTemporaryFor(std::string_view item, const std::function<int(const std::string& name)>& create,
                       std::string& name) {
    return CreateUnderRandomName(engine::TemporaryPrefixFor(item),
                                 engine::kTemporaryRandomLength - engine::kTemporaryTagLength,
                                 engine::kTemporarySuffix, create, name);
}

}  // namespace tandemere::posix
