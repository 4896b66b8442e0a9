// Test support (POSIX only): records every call of the backend's system-call table that changes
// the disk, with its arguments and data, so that a crash at any point of a move can be rebuilt.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/posix/posix_syscalls.h"

namespace tandemere::testing {

enum class RecordedKind : std::uint8_t {
    Create,     // a file opened with O_CREAT, O_TRUNC or O_TMPFILE (no name then)
    Write,      // write or copy_file_range: m_strData at m_nOffset
    Fsync,      // of a file (m_nFile) or of a folder (m_bFolder, m_strPath)
    Attribute,  // fchmod, fchown or futimens of an open file
    Mkdir,
    Symlink,    // m_strPath2 is the target text
    Rename,     // m_strPath to m_strPath2
    Link,       // m_strPath (or the open file m_nFile, linked by its /proc name) to m_strPath2
    Unlink,     // a file, or a folder when m_nFlags has AT_REMOVEDIR
    LinkTimes,  // utimensat of a link made by the backend
};

struct RecordedCall {
    RecordedKind m_nKind = RecordedKind::Create;
    int m_nFile = -1;       // fd calls: the index of the Create that opened the file; -1: another
    std::string m_strPath;  // absolute; for fd calls the path the file had then
    std::string m_strPath2;
    int m_nFlags = 0;      // of the open, rename, link or unlink
    unsigned m_nMode = 0;  // of the open or mkdir; Attribute: the fchmod's mode
    std::uint64_t m_nOffset = 0;
    std::string m_strData;
    struct timespec m_aTimes[2] = {};
    uid_t m_nOwner = static_cast<uid_t>(-1);  // Attribute by fchown
    gid_t m_nGroup = static_cast<gid_t>(-1);
    int m_nAttribute = 0;    // Attribute: 0 mode, 1 owner, 2 times
    dev_t m_nDevice = 0;     // the file system the call changes
    bool m_bFolder = false;  // Fsync of a folder
};

// Installs itself as the backend's table for its lifetime and records each successful call that
// changes the disk; failed calls are not recorded. An fsync is recorded and not made. One instance
// at a time.
class SyscallRecorder {
public:
    SyscallRecorder();
    ~SyscallRecorder();
    SyscallRecorder(const SyscallRecorder&) = delete;
    SyscallRecorder& operator=(const SyscallRecorder&) = delete;

    const std::vector<RecordedCall>& Calls() const { return m_lstCalls; }
    // A call of the installed table that succeeded (the recorder's own entry points call these).
    void Add(RecordedCall call, int fd = -1);
    void NoteOpen(int fd, int flags, const std::string& path, unsigned mode);
    int FileOf(int fd) const;
    const posix::PosixSyscalls& Next() const { return m_oScope.Saved(); }

private:
    std::vector<RecordedCall> m_lstCalls;
    std::map<int, int> m_mapFiles;  // open descriptor to the index of its Create
    posix::ScopedSyscalls m_oScope;
};

// The absolute path of `path` as seen from `dirfd` (AT_FDCWD or an open folder).
std::string AbsoluteAt(int dirfd, const char* path);

// Readable, one line: the call's kind and paths, for a report.
std::string DescribeCall(const RecordedCall& call);

}  // namespace tandemere::testing
