// Test support (POSIX only): the system-call fault injector.
#ifndef _WIN32

#include "tests/support/syscall_faults_posix.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string_view>

namespace tandemere::testing {
namespace {

using Call = SyscallFaults::Call;
using posix::PosixSyscalls;

SyscallFaults* g_pActive = nullptr;

template <typename Fn, typename... Args>
auto Forward(Call call, const char* path, Fn PosixSyscalls::*member, Args... args) {
    using Result = decltype((g_pActive->Next().*member)(args...));
    if (g_pActive->Enter(call, path)) return static_cast<Result>(-1);
    return (g_pActive->Next().*member)(args...);
}

int OpenAt(int dirfd, const char* path, int flags, mode_t mode) {
    return Forward(Call::OpenAt, path, &PosixSyscalls::m_pfnOpenAt, dirfd, path, flags, mode);
}
ssize_t Read(int fd, void* buffer, size_t size) {
    return Forward(Call::Read, nullptr, &PosixSyscalls::m_pfnRead, fd, buffer, size);
}
ssize_t Write(int fd, const void* data, size_t size) {
    return Forward(Call::Write, nullptr, &PosixSyscalls::m_pfnWrite, fd, data, size);
}
ssize_t CopyFileRange(int in, off64_t* inOffset, int out, off64_t* outOffset, size_t size, unsigned flags) {
    return Forward(Call::CopyFileRange, nullptr, &PosixSyscalls::m_pfnCopyFileRange, in, inOffset, out,
                   outOffset, size, flags);
}
int Fsync(int fd) {
    return Forward(Call::Fsync, nullptr, &PosixSyscalls::m_pfnFsync, fd);
}
int Fchmod(int fd, mode_t mode) {
    return Forward(Call::Fchmod, nullptr, &PosixSyscalls::m_pfnFchmod, fd, mode);
}
int Futimens(int fd, const struct timespec* times) {
    return Forward(Call::Futimens, nullptr, &PosixSyscalls::m_pfnFutimens, fd, times);
}
int MkdirAt(int dirfd, const char* path, mode_t mode) {
    return Forward(Call::MkdirAt, path, &PosixSyscalls::m_pfnMkdirAt, dirfd, path, mode);
}
int SymlinkAt(const char* target, int dirfd, const char* path) {
    return Forward(Call::SymlinkAt, path, &PosixSyscalls::m_pfnSymlinkAt, target, dirfd, path);
}
int RenameAt2(int fromDir, const char* from, int toDir, const char* to, unsigned flags) {
    return Forward(Call::RenameAt2, from, &PosixSyscalls::m_pfnRenameAt2, fromDir, from, toDir, to, flags);
}
int LinkAt(int fromDir, const char* from, int toDir, const char* to, int flags) {
    return Forward(Call::LinkAt, from, &PosixSyscalls::m_pfnLinkAt, fromDir, from, toDir, to, flags);
}
int UnlinkAt(int dirfd, const char* path, int flags) {
    return Forward(Call::UnlinkAt, path, &PosixSyscalls::m_pfnUnlinkAt, dirfd, path, flags);
}
int Fchown(int fd, uid_t owner, gid_t group) {
    return Forward(Call::Fchown, nullptr, &PosixSyscalls::m_pfnFchown, fd, owner, group);
}
int UtimensAt(int dirfd, const char* path, const struct timespec* times, int flags) {
    return Forward(Call::UtimensAt, path, &PosixSyscalls::m_pfnUtimensAt, dirfd, path, times, flags);
}

constexpr PosixSyscalls kFaultySyscalls{&OpenAt, &Read,     &Write,   &CopyFileRange, &Fsync,
                                        &Fchmod, &Futimens, &MkdirAt, &SymlinkAt,     &RenameAt2,
                                        &LinkAt, &UnlinkAt, &Fchown,  &UtimensAt};

constexpr const char* kCallNames[SyscallFaults::kCallCount] = {
    "openat",  "read",      "write",     "copy_file_range", "fsync",    "fchmod", "futimens",
    "mkdirat", "symlinkat", "renameat2", "linkat",          "unlinkat", "fchown", "utimensat"};

}  // namespace

const char* CallName(Call call) {
    return kCallNames[static_cast<std::size_t>(call)];
}

SyscallFaults::SyscallFaults() : m_oScope(kFaultySyscalls) {
    if (g_pActive != nullptr) ADD_FAILURE() << "two SyscallFaults at once";
    g_pActive = this;
}

SyscallFaults::~SyscallFaults() {
    g_pActive = nullptr;
}

void SyscallFaults::Fail(Call call, int from, int to, int error, std::string pathPart) {
    m_lstRules.push_back({call, from, to, error, std::move(pathPart), 0});
}

bool SyscallFaults::Enter(Call call, const char* path) {
    ++m_lstCalls[static_cast<std::size_t>(call)];
    const Rule* failing = nullptr;
    for (Rule& rule : m_lstRules) {
        if (rule.m_nCall != call) continue;
        if (!rule.m_strPathPart.empty() &&
            (path == nullptr || std::string_view(path).find(rule.m_strPathPart) == std::string_view::npos))
            continue;
        ++rule.m_nSeen;
        if (failing == nullptr && rule.m_nSeen >= rule.m_nFrom && rule.m_nSeen <= rule.m_nTo) failing = &rule;
    }
    if (failing == nullptr) return false;
    ++m_nFaults;
    errno = failing->m_nErrno;
    return true;
}

}  // namespace tandemere::testing

#endif  // _WIN32
