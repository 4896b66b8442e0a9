// Test support: reading a freedesktop.org trash folder, and (POSIX only) the shared top folder trash
// of /dev/shm that tests fill and must leave as they found it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tandemere::testing {

// One .trashinfo of a trash folder: its name in files/ and what its keys say.
struct TrashedEntry {
    std::string m_strName;  // in files/ (the .trashinfo's name without ".trashinfo")
    std::string m_strPath;  // Path=, decoded, and a relative one joined to the trash's top folder
    std::string m_strDate;  // DeletionDate=
    std::string m_strText;  // the whole .trashinfo
};

// %XX sequences turned back into their bytes.
std::string DecodeTrashPath(std::string_view encoded);

// Every .trashinfo in `trash`/info, sorted by name; none when the folder is missing.
std::vector<TrashedEntry> ListTrash(const std::string& trash);

#ifndef _WIN32
// The top folder trash of /dev/shm for this user, "/dev/shm/.Trash-<uid>".
std::string ShmTrash();

// Holds /dev/shm's trash for a scope (a shared lock on /dev/shm that other test processes see). On
// destruction removes every entry whose Path lies below `below`, then the trash itself when it is empty and
// no other test process holds it.
class ShmTrashUse {
public:
    explicit ShmTrashUse(std::string below);
    ~ShmTrashUse();
    ShmTrashUse(const ShmTrashUse&) = delete;
    ShmTrashUse& operator=(const ShmTrashUse&) = delete;

private:
    std::string m_strBelow;
    int m_nLockFd = -1;
};
#endif

}  // namespace tandemere::testing
