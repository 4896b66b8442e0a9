// Test support (POSIX only): the system-call recorder.
#ifndef _WIN32

#include "tests/support/syscall_recorder_posix.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>

namespace tandemere::testing {
namespace {

using posix::PosixSyscalls;

SyscallRecorder* g_pRecorder = nullptr;

constexpr std::string_view kProcFd = "/proc/self/fd/";

std::string FdPath(int fd) {
    char buffer[PATH_MAX];
    const ssize_t length =
        ::readlink((std::string(kProcFd) + std::to_string(fd)).c_str(), buffer, sizeof buffer);
    return length < 0 ? std::string() : std::string(buffer, static_cast<std::size_t>(length));
}

dev_t DeviceOf(const std::string& path) {
    struct stat st {};
    const std::size_t cut = path.rfind('/');
    const std::string folder = cut == std::string::npos || cut == 0 ? "/" : path.substr(0, cut);
    return ::lstat(folder.c_str(), &st) == 0 ? st.st_dev : 0;
}

dev_t DeviceOfFd(int fd) {
    struct stat st {};
    return ::fstat(fd, &st) == 0 ? st.st_dev : 0;
}

const PosixSyscalls& Next() {
    return g_pRecorder->Next();
}

RecordedCall NameCall(RecordedKind kind, const std::string& path) {
    RecordedCall call;
    call.m_nKind = kind;
    call.m_strPath = path;
    call.m_nDevice = DeviceOf(path);
    return call;
}

int OpenAt(int dirfd, const char* path, int flags, mode_t mode) {
    const int fd = Next().m_pfnOpenAt(dirfd, path, flags, mode);
    if (fd >= 0) g_pRecorder->NoteOpen(fd, flags, AbsoluteAt(dirfd, path), mode);
    return fd;
}
ssize_t Read(int fd, void* buffer, size_t size) {
    return Next().m_pfnRead(fd, buffer, size);
}
void AddWrite(int fd, std::uint64_t offset, std::string data) {
    RecordedCall call;
    call.m_nKind = RecordedKind::Write;
    call.m_nOffset = offset;
    call.m_strData = std::move(data);
    g_pRecorder->Add(std::move(call), fd);
}
ssize_t Write(int fd, const void* data, size_t size) {
    const off_t at = ::lseek(fd, 0, SEEK_CUR);
    const ssize_t put = Next().m_pfnWrite(fd, data, size);
    if (put > 0)
        AddWrite(fd, static_cast<std::uint64_t>(at),
                 std::string(static_cast<const char*>(data), static_cast<std::size_t>(put)));
    return put;
}
ssize_t CopyFileRange(int in, off64_t* inOffset, int out, off64_t* outOffset, size_t size, unsigned flags) {
    const off_t from = inOffset != nullptr ? *inOffset : ::lseek(in, 0, SEEK_CUR);
    const off_t to = outOffset != nullptr ? *outOffset : ::lseek(out, 0, SEEK_CUR);
    const ssize_t got = Next().m_pfnCopyFileRange(in, inOffset, out, outOffset, size, flags);
    if (got > 0) {
        std::string data(static_cast<std::size_t>(got), '\0');
        const ssize_t read = ::pread(in, data.data(), data.size(), from);
        if (read != got) ADD_FAILURE() << "the recorder could not read back a copied range";
        AddWrite(out, static_cast<std::uint64_t>(to), std::move(data));
    }
    return got;
}
// Noted, not made: the crash is modelled, and a flush would only wait for the disk.
int Fsync(int fd) {
    struct stat st {};
    RecordedCall call;
    call.m_nKind = RecordedKind::Fsync;
    call.m_bFolder = ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode);
    g_pRecorder->Add(std::move(call), fd);
    return 0;
}
int AddAttribute(int result, int fd, RecordedCall call) {
    if (result != 0) return result;
    call.m_nKind = RecordedKind::Attribute;
    g_pRecorder->Add(std::move(call), fd);
    return 0;
}
int Fchmod(int fd, mode_t mode) {
    RecordedCall call;
    call.m_nMode = mode;
    return AddAttribute(Next().m_pfnFchmod(fd, mode), fd, std::move(call));
}
int Fchown(int fd, uid_t owner, gid_t group) {
    RecordedCall call;
    call.m_nAttribute = 1;
    call.m_nOwner = owner;
    call.m_nGroup = group;
    return AddAttribute(Next().m_pfnFchown(fd, owner, group), fd, std::move(call));
}
int Futimens(int fd, const struct timespec* times) {
    RecordedCall call;
    call.m_nAttribute = 2;
    if (times != nullptr) std::copy(times, times + 2, call.m_aTimes);
    return AddAttribute(Next().m_pfnFutimens(fd, times), fd, std::move(call));
}
int MkdirAt(int dirfd, const char* path, mode_t mode) {
    if (Next().m_pfnMkdirAt(dirfd, path, mode) != 0) return -1;
    RecordedCall call = NameCall(RecordedKind::Mkdir, AbsoluteAt(dirfd, path));
    call.m_nMode = mode;
    g_pRecorder->Add(std::move(call));
    return 0;
}
int SymlinkAt(const char* target, int dirfd, const char* path) {
    if (Next().m_pfnSymlinkAt(target, dirfd, path) != 0) return -1;
    RecordedCall call = NameCall(RecordedKind::Symlink, AbsoluteAt(dirfd, path));
    call.m_strPath2 = target;
    g_pRecorder->Add(std::move(call));
    return 0;
}
int RenameAt2(int fromDir, const char* from, int toDir, const char* to, unsigned flags) {
    if (Next().m_pfnRenameAt2(fromDir, from, toDir, to, flags) != 0) return -1;
    RecordedCall call = NameCall(RecordedKind::Rename, AbsoluteAt(fromDir, from));
    call.m_strPath2 = AbsoluteAt(toDir, to);
    call.m_nFlags = static_cast<int>(flags);
    g_pRecorder->Add(std::move(call));
    return 0;
}
int LinkAt(int fromDir, const char* from, int toDir, const char* to, int flags) {
    if (Next().m_pfnLinkAt(fromDir, from, toDir, to, flags) != 0) return -1;
    const std::string_view source = from;
    RecordedCall call = NameCall(RecordedKind::Link, std::string());
    call.m_strPath2 = AbsoluteAt(toDir, to);
    call.m_nDevice = DeviceOf(call.m_strPath2);
    // An unnamed file is linked by its descriptor's name under /proc.
    if (source.rfind(kProcFd, 0) == 0)
        call.m_nFile = g_pRecorder->FileOf(std::atoi(std::string(source.substr(kProcFd.size())).c_str()));
    else
        call.m_strPath = AbsoluteAt(fromDir, from);
    g_pRecorder->Add(std::move(call));
    return 0;
}
int UnlinkAt(int dirfd, const char* path, int flags) {
    const std::string absolute = AbsoluteAt(dirfd, path);
    if (Next().m_pfnUnlinkAt(dirfd, path, flags) != 0) return -1;
    RecordedCall call = NameCall(RecordedKind::Unlink, absolute);
    call.m_nFlags = flags;
    g_pRecorder->Add(std::move(call));
    return 0;
}
int UtimensAt(int dirfd, const char* path, const struct timespec* times, int flags) {
    if (Next().m_pfnUtimensAt(dirfd, path, times, flags) != 0) return -1;
    RecordedCall call = NameCall(RecordedKind::LinkTimes, AbsoluteAt(dirfd, path));
    if (times != nullptr) std::copy(times, times + 2, call.m_aTimes);
    call.m_nFlags = flags;
    g_pRecorder->Add(std::move(call));
    return 0;
}

constexpr PosixSyscalls kRecordingSyscalls{&OpenAt, &Read,     &Write,   &CopyFileRange, &Fsync,
                                           &Fchmod, &Futimens, &MkdirAt, &SymlinkAt,     &RenameAt2,
                                           &LinkAt, &UnlinkAt, &Fchown,  &UtimensAt};

constexpr const char* kKindNames[] = {"create",  "write",  "fsync", "attribute", "mkdir",
                                      "symlink", "rename", "link",  "unlink",    "link times"};

}  // namespace

std::string AbsoluteAt(int dirfd, const char* path) {
    const std::string name = path;
    if (!name.empty() && name[0] == '/') return name;
    std::string folder;
    if (dirfd == AT_FDCWD) {
        char buffer[PATH_MAX];
        folder = ::getcwd(buffer, sizeof buffer) != nullptr ? buffer : "";
    } else {
        folder = FdPath(dirfd);
    }
    if (name.empty() || name == ".") return folder;
    return (folder == "/" ? "" : folder) + "/" + name;
}

std::string DescribeCall(const RecordedCall& call) {
    std::string text = kKindNames[static_cast<std::size_t>(call.m_nKind)];
    if (call.m_nKind == RecordedKind::Fsync && call.m_bFolder) text += " of the folder";
    if (!call.m_strPath.empty()) text += " \"" + call.m_strPath + "\"";
    if (call.m_nFile >= 0) text += " (file of call " + std::to_string(call.m_nFile) + ")";
    if (!call.m_strPath2.empty()) text += " to \"" + call.m_strPath2 + "\"";
    if (call.m_nKind == RecordedKind::Write)
        text += ", " + std::to_string(call.m_strData.size()) + " bytes at " + std::to_string(call.m_nOffset);
    return text;
}

SyscallRecorder::SyscallRecorder() : m_oScope(kRecordingSyscalls) {
    if (g_pRecorder != nullptr) ADD_FAILURE() << "two SyscallRecorders at once";
    g_pRecorder = this;
}

SyscallRecorder::~SyscallRecorder() {
    g_pRecorder = nullptr;
}

void SyscallRecorder::Add(RecordedCall call, int fd) {
    if (fd >= 0) {
        call.m_nFile = FileOf(fd);
        call.m_strPath = FdPath(fd);
        call.m_nDevice = DeviceOfFd(fd);
    }
    m_lstCalls.push_back(std::move(call));
}

void SyscallRecorder::NoteOpen(int fd, int flags, const std::string& path, unsigned mode) {
    const bool unnamed = (flags & O_TMPFILE) == O_TMPFILE;
    if (!unnamed && (flags & (O_CREAT | O_TRUNC)) == 0) {
        m_mapFiles.erase(fd);
        return;
    }
    RecordedCall call = NameCall(RecordedKind::Create, path);
    if (unnamed) call.m_nDevice = DeviceOfFd(fd);
    call.m_nFlags = flags;
    call.m_nMode = mode;
    m_mapFiles[fd] = static_cast<int>(m_lstCalls.size());
    m_lstCalls.push_back(std::move(call));
}

int SyscallRecorder::FileOf(int fd) const {
    const auto it = m_mapFiles.find(fd);
    return it == m_mapFiles.end() ? -1 : it->second;
}

}  // namespace tandemere::testing

#endif  // _WIN32
