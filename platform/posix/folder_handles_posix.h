// Platform layer (POSIX): the folders a move works in, held open, so that each call names an entry
// relative to its open folder instead of resolving a whole path again. Faster, and safer: a folder
// that another user swaps for a link between a check and an action is not followed out of the trees.
#pragma once

#include <fcntl.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/posix/unique_fd.h"

namespace tandemere::posix {

// Where a call acts on one path: an open folder and the last name in it, or, for a path outside
// the trees, AT_FDCWD and the whole path.
class FolderAt {
public:
    int Dir() const { return m_pDir ? m_pDir->Get() : AT_FDCWD; }
    const char* Name() const { return m_strName.c_str(); }

private:
    friend class FolderHandles;
    std::shared_ptr<const UniqueFd> m_pDir;  // kept open for as long as this is held
    std::string m_strName;
};

class FolderHandles {
public:
    // The trees' top folders (trimmed), opened as named: links on the way there are the user's
    // choice and are followed. Every folder below one is reached from it a name at a time, never
    // through a link. Replaces the roots set before; a root that cannot be opened is left out.
    void SetRoots(const std::vector<std::string>& roots);

    // `path` (trimmed) strictly below a root: its folder, held open, and its last name; any other
    // path as it stands. 0 or errno: ENOTDIR (or ELOOP) where a folder on the way is now a link or
    // no folder, ENOENT where it is gone.
    int Locate(const std::string& path, FolderAt& at);

    // After `path` was moved, renamed or removed it names another folder or none: what is held for
    // it and below it goes.
    void Forget(const std::string& path);

private:
    struct Root {
        std::string m_strPath;
        std::shared_ptr<const UniqueFd> m_pFd;
    };
    struct Held {
        std::shared_ptr<const UniqueFd> m_pFd;
        std::uint64_t m_nLastUse = 0;
    };

    const Root* RootOf(const std::string& path) const;
    int OpenFolder(const std::string& folder, const Root& root, std::shared_ptr<const UniqueFd>& fd);
    void MakeRoom();

    std::vector<Root> m_lstRoots;
    std::unordered_map<std::string, Held> m_mapHeld;
    std::uint64_t m_nClock = 0;
};

}  // namespace tandemere::posix
