// Platform layer (POSIX): the system calls the move, copy, remove and settings paths make, in one
// table a test can replace to make a chosen call fail or to record every call that changes the disk.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

namespace tandemere::posix {

// One pointer per system call, each with the call's own signature and errno convention.
struct PosixSyscalls {
    int (*m_pfnOpenAt)(int dirfd, const char* path, int flags, mode_t mode);
    ssize_t (*m_pfnRead)(int fd, void* buffer, size_t size);
    ssize_t (*m_pfnWrite)(int fd, const void* data, size_t size);
    ssize_t (*m_pfnCopyFileRange)(int in, off64_t* inOffset, int out, off64_t* outOffset, size_t size,
                                  unsigned flags);
    int (*m_pfnFsync)(int fd);
    int (*m_pfnFchmod)(int fd, mode_t mode);
    int (*m_pfnFutimens)(int fd, const struct timespec* times);
    int (*m_pfnMkdirAt)(int dirfd, const char* path, mode_t mode);
    int (*m_pfnSymlinkAt)(const char* target, int dirfd, const char* path);
    int (*m_pfnRenameAt2)(int fromDir, const char* from, int toDir, const char* to, unsigned flags);
    int (*m_pfnLinkAt)(int fromDir, const char* from, int toDir, const char* to, int flags);
    int (*m_pfnUnlinkAt)(int dirfd, const char* path, int flags);
    int (*m_pfnFchown)(int fd, uid_t owner, gid_t group);
    int (*m_pfnUtimensAt)(int dirfd, const char* path, const struct timespec* times, int flags);
};

namespace detail {
extern PosixSyscalls g_oSyscalls;
}

// The table in force: the real calls unless a test installed another. A call through it costs one
// indirect call.
inline const PosixSyscalls& Sys() {
    return detail::g_oSyscalls;
}

// The real system calls.
const PosixSyscalls& RealSyscalls();

// For tests: puts `table` in force for this scope and restores the previous table on destruction.
// Not synchronised: install it before the calls it should see start, on the thread that makes them.
class ScopedSyscalls {
public:
    explicit ScopedSyscalls(const PosixSyscalls& table) : m_oSaved(detail::g_oSyscalls) {
        detail::g_oSyscalls = table;
    }
    ~ScopedSyscalls() { detail::g_oSyscalls = m_oSaved; }
    ScopedSyscalls(const ScopedSyscalls&) = delete;
    ScopedSyscalls& operator=(const ScopedSyscalls&) = delete;

    // The table that was in force before this one.
    const PosixSyscalls& Saved() const { return m_oSaved; }

private:
    PosixSyscalls m_oSaved;
};

}  // namespace tandemere::posix
