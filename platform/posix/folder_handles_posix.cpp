// Platform layer (POSIX): folders held open by path, reached from the trees' top folders one name
// at a time without following links.
#include "platform/posix/folder_handles_posix.h"

#include <algorithm>
#include <cerrno>

#include "platform/posix/posix_syscalls.h"

namespace tandemere::posix {

namespace {

// A deep walk holds its chain of folders plus those of the other tree; well below the usual limit
// of 1,024 descriptors a process has.
constexpr std::size_t kHeldFolders = 64;
// O_PATH asks for no permission on the folder itself, as resolving a path through it does not.
constexpr int kHoldFolder = O_PATH | O_DIRECTORY | O_CLOEXEC;

// The folder part of a path below a root ("/" for "/name").
std::string FolderPart(const std::string& path, std::size_t cut) {
    return cut == 0 ? std::string("/") : path.substr(0, cut);
}

}  // namespace

void FolderHandles::SetRoots(const std::vector<std::string>& roots) {
    m_lstRoots.clear();
    m_mapHeld.clear();
    for (const std::string& path : roots) {
        const bool known = std::any_of(m_lstRoots.begin(), m_lstRoots.end(),
                                       [&](const Root& root) { return root.m_strPath == path; });
        if (path.empty() || known) continue;
        UniqueFd fd(Sys().m_pfnOpenAt(AT_FDCWD, path.c_str(), kHoldFolder, 0));
        if (fd.IsValid()) m_lstRoots.push_back({path, std::make_shared<const UniqueFd>(std::move(fd))});
    }
}

const FolderHandles::Root* FolderHandles::RootOf(const std::string& path) const {
    const Root* best = nullptr;
    for (const Root& root : m_lstRoots) {
        const std::string& top = root.m_strPath;
        if (path.size() <= top.size() || path.compare(0, top.size(), top) != 0) continue;
        if (top != "/" && path[top.size()] != '/') continue;
        if (!best || top.size() > best->m_strPath.size()) best = &root;
    }
    return best;
}

int FolderHandles::Locate(const std::string& path, FolderAt& at) {
    at.m_pDir.reset();
    const Root* root = RootOf(path);
    if (!root) {
        at.m_strName = path;
        return 0;
    }
    const std::size_t cut = path.rfind('/');
    at.m_strName = path.substr(cut + 1);
    return OpenFolder(FolderPart(path, cut), *root, at.m_pDir);
}

int FolderHandles::OpenFolder(const std::string& folder, const Root& root,
                              std::shared_ptr<const UniqueFd>& fd) {
    if (folder.size() <= root.m_strPath.size()) {
        fd = root.m_pFd;
        return 0;
    }
    if (const auto it = m_mapHeld.find(folder); it != m_mapHeld.end()) {
        it->second.m_nLastUse = ++m_nClock;
        fd = it->second.m_pFd;
        return 0;
    }
    const std::size_t cut = folder.rfind('/');
    std::shared_ptr<const UniqueFd> parent;
    if (const int error = OpenFolder(FolderPart(folder, cut), root, parent)) return error;
    UniqueFd opened(Sys().m_pfnOpenAt(parent->Get(), folder.c_str() + cut + 1, kHoldFolder | O_NOFOLLOW, 0));
    if (!opened.IsValid()) return errno;
    MakeRoom();
    fd = std::make_shared<const UniqueFd>(std::move(opened));
    m_mapHeld[folder] = {fd, ++m_nClock};
    return 0;
}

void FolderHandles::MakeRoom() {
    if (m_mapHeld.size() < kHeldFolders) return;
    // A folder still in use by a caller stays open through its own reference.
    const auto oldest = std::min_element(
        m_mapHeld.begin(), m_mapHeld.end(),
        [](const auto& a, const auto& b) { return a.second.m_nLastUse < b.second.m_nLastUse; });
    m_mapHeld.erase(oldest);
}

void FolderHandles::Forget(const std::string& path) {
    const auto atOrBelow = [&](const std::string& held) {
        return held.size() >= path.size() && held.compare(0, path.size(), path) == 0 &&
               (held.size() == path.size() || held[path.size()] == '/' || path == "/");
    };
    for (auto it = m_mapHeld.begin(); it != m_mapHeld.end();)
        it = atOrBelow(it->first) ? m_mapHeld.erase(it) : std::next(it);
    // A root the move itself moved away (an item dropped with its own folder): what lies below
    // its path is then reached from an enclosing root, or by path.
    m_lstRoots.erase(std::remove_if(m_lstRoots.begin(), m_lstRoots.end(),
                                    [&](const Root& root) { return atOrBelow(root.m_strPath); }),
                     m_lstRoots.end());
}

}  // namespace tandemere::posix
