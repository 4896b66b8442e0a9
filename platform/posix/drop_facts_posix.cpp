// Platform layer (POSIX): the home folder, the system's folders and mount points for the refusal rule.
#include "platform/posix/drop_facts_posix.h"

#include <dirent.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/posix/posix_io.h"
#include "platform/posix/unique_fd.h"

namespace tandemere::posix {
namespace {

// The folders of the users' homes count too: another user's home is no more meant than one's own.
constexpr const char* kSystemFolders[] = {"/usr", "/etc",  "/var", "/bin", "/sbin", "/lib*", "/boot", "/opt",
                                          "/srv", "/proc", "/sys", "/dev", "/run",  "/home", "/root"};

std::string RealPathOf(const std::string& path) {
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (resolved == nullptr) return {};
    std::string out(resolved);
    std::free(resolved);
    return out;
}

std::string HomeFolder() {
    const char* home = std::getenv("HOME");
    if (home != nullptr && *home != '\0') return home;
    const struct passwd* entry = ::getpwuid(::getuid());
    return entry != nullptr && entry->pw_dir != nullptr ? entry->pw_dir : "";
}

// A folder on another device than its parent, or the same folder as its parent (the root of a
// namespace), is the top of a mount.
bool IsMountTop(const std::string& path, const struct stat& item) {
    struct stat parent = {};
    if (::stat(ParentOf(Trim(path)).c_str(), &parent) != 0) return false;
    return item.st_dev != parent.st_dev || item.st_ino == parent.st_ino;
}

}  // namespace

engine::ProtectedFolders LinuxProtectedFolders() {
    engine::ProtectedFolders folders;
    const std::string home = HomeFolder();
    const std::string realHome = RealPathOf(home);
    folders.m_strHome = realHome.empty() ? home : realHome;
    for (const char* folder : kSystemFolders) {
        folders.m_lstSystem.emplace_back(folder);
        const std::string real = RealPathOf(folder);
        if (!real.empty() && real != folder) folders.m_lstSystem.push_back(real);
    }
    return folders;
}

engine::Status LookAtDroppedItem(const std::string& path, engine::DroppedItem& item) {
    item = engine::DroppedItem{path, {}, false};
    struct stat st = {};
    if (::lstat(path.c_str(), &st) != 0) return StatusFromErrno(errno, path);
    // A link moves as itself: only its own path counts, never where it leads.
    if (S_ISLNK(st.st_mode)) return engine::Status::Ok();
    item.m_strResolved = RealPathOf(path);
    if (S_ISDIR(st.st_mode)) {
        item.m_bMountTop = IsMountTop(path, st);
        const UniqueDir folder(::opendir(path.c_str()));
        if (!folder.IsValid()) return StatusFromErrno(errno, path);
    } else if (S_ISREG(st.st_mode) && ::access(path.c_str(), R_OK) != 0) {
        return StatusFromErrno(errno, path);
    }
    return engine::Status::Ok();
}

}  // namespace tandemere::posix
