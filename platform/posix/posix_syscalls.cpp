// Platform layer (POSIX): the real system-call table, in force from before any constructor runs.
#include "platform/posix/posix_syscalls.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

namespace tandemere::posix {
namespace {

// openat is variadic; the table wants the fixed four-argument form.
int RealOpenAt(int dirfd, const char* path, int flags, mode_t mode) {
    return ::openat(dirfd, path, flags, mode);
}

constexpr PosixSyscalls kRealSyscalls{&RealOpenAt, &::read,     &::write,   &::copy_file_range, &::fsync,
                                      &::fchmod,   &::futimens, &::mkdirat, &::symlinkat,       &::renameat2,
                                      &::linkat,   &::unlinkat, &::fchown,  &::utimensat};

}  // namespace

namespace detail {
// Constant-initialised, so no static constructor can see it unset.
PosixSyscalls g_oSyscalls = kRealSyscalls;
}  // namespace detail

const PosixSyscalls& RealSyscalls() {
    return kRealSyscalls;
}

}  // namespace tandemere::posix
