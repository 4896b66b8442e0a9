// Platform layer (POSIX): the freedesktop.org trash: finding and making the trash folder of a file
// system, and moving a file into it with its .trashinfo.
#include "platform/posix/trash_posix.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <vector>

#include "platform/posix/posix_io.h"
#include "platform/posix/posix_syscalls.h"
#include "platform/posix/unique_fd.h"

namespace tandemere::posix {

using engine::Status;

namespace {

constexpr std::string_view kInfoSuffix = ".trashinfo";
constexpr int kOpenFolderNoFollow = O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW;
// Names tried as name, name.2 ... before random ones: many files of one name must stay cheap.
constexpr int kNumberedNames = 16;
// Room left in a name for ".trashinfo" and the longest added part (a dot and random characters).
constexpr std::size_t kNameRoom = NAME_MAX - kInfoSuffix.size() - 16;

std::string Described(const std::string& folder) {
    return folder.empty() ? "the trash" : "the trash \"" + folder + "\"";
}

std::string Absolute(const std::string& path) {
    if (!path.empty() && path[0] == '/') return path;
    std::vector<char> buffer(PATH_MAX);
    if (::getcwd(buffer.data(), buffer.size()) == nullptr) return path;
    const std::string cwd = buffer.data();
    return (cwd == "/" ? cwd : cwd + "/") + path;
}

// The home folder the password database gives this user; empty when it names none.
std::string PasswordHome() {
    static const std::string s_home = [] {
        const struct passwd* entry = ::getpwuid(::getuid());
        return entry != nullptr && entry->pw_dir != nullptr ? std::string(entry->pw_dir) : std::string();
    }();
    return s_home;
}

// $XDG_DATA_HOME/Trash, else <home>/.local/share/Trash, the home being $HOME or, without it, the
// password database's; empty when none names an absolute path.
std::string HomeTrashPath() {
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data != nullptr && data[0] == '/') return (Trim(data) == "/" ? "" : Trim(data)) + "/Trash";
    const char* variable = std::getenv("HOME");
    const std::string home = variable != nullptr && variable[0] == '/' ? variable : PasswordHome();
    if (!home.empty() && home[0] == '/') return (Trim(home) == "/" ? "" : Trim(home)) + "/.local/share/Trash";
    return {};
}

// Whether the folder `from` and the trash `trash` (or its nearest existing ancestor) lie on one
// mount: a rename between two mounts of one file system, as a bind mount makes, fails with EXDEV.
// True where the system cannot tell.
bool OnOneMount(const std::string& from, std::string trash) {
    struct statx first {};
    if (::statx(AT_FDCWD, from.c_str(), 0, STATX_MNT_ID, &first) != 0 || !(first.stx_mask & STATX_MNT_ID))
        return true;
    struct statx second {};
    while (::statx(AT_FDCWD, trash.c_str(), 0, STATX_MNT_ID, &second) != 0) {
        if (trash == "/" || trash == ".") return true;
        trash = ParentOf(trash);
    }
    return !(second.stx_mask & STATX_MNT_ID) || first.stx_mnt_id == second.stx_mnt_id;
}

// The device of `path`, or of its nearest existing ancestor (links followed: where it leads counts).
bool DeviceOfNearest(std::string path, dev_t& device) {
    struct stat st;
    for (;;) {
        if (::stat(path.c_str(), &st) == 0) {
            device = st.st_dev;
            return true;
        }
        if (path == "/" || path == ".") return false;
        path = ParentOf(path);
    }
}

bool IsStickyFolder(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX) != 0;
}

bool CanMakeEntriesIn(const std::string& folder) {
    return ::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

// One folder of a trash: there already (a real folder; `ours`: owned by us), or made with mode 0700
// when `create`, else checked to be makeable. 0 or errno.
int TrashSubfolder(const std::string& path, bool create, bool ours, dev_t device) {
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0) {
        if (errno != ENOENT) return errno;
        if (!create) return CanMakeEntriesIn(ParentOf(path)) ? 0 : errno;
        if (Sys().m_pfnMkdirAt(AT_FDCWD, path.c_str(), 0700) != 0 && errno != EEXIST) return errno;
        if (::lstat(path.c_str(), &st) != 0) return errno;
    }
    if (S_ISLNK(st.st_mode)) return ELOOP;
    if (!S_ISDIR(st.st_mode)) return ENOTDIR;
    if (ours && st.st_uid != ::geteuid()) return EPERM;
    // Never a copy: a trash on another file system cannot take the file.
    if (st.st_dev != device) return EXDEV;
    return create || CanMakeEntriesIn(path) ? 0 : errno;
}

// A top folder's trash `folder` and its files/ and info/. Once `folder` is missing, checking
// stops there: what the check of its parent said holds for what lies below.
int TopTrash(const std::string& folder, bool create, dev_t device) {
    const bool missing = ::access(folder.c_str(), F_OK) != 0;
    if (const int error = TrashSubfolder(folder, create, true, device)) return error;
    if (missing && !create) return 0;
    if (const int error = TrashSubfolder(folder + "/files", create, true, device)) return error;
    return TrashSubfolder(folder + "/info", create, true, device);
}

// The home trash with its files/ and info/, its missing ancestors made (0700) too when `create`.
int HomeTrash(const std::string& folder, bool create, dev_t device) {
    std::vector<std::string> missing;
    std::string existing = folder;
    struct stat st;
    while (::stat(existing.c_str(), &st) != 0) {
        if (errno != ENOENT || existing == "/") return errno;
        missing.push_back(existing);
        existing = ParentOf(existing);
    }
    if (!S_ISDIR(st.st_mode)) return ENOTDIR;
    if (!missing.empty()) {
        if (!create) return CanMakeEntriesIn(existing) ? 0 : errno;
        for (auto it = missing.rbegin(); it != missing.rend(); ++it)
            if (Sys().m_pfnMkdirAt(AT_FDCWD, it->c_str(), 0700) != 0 && errno != EEXIST) return errno;
    }
    if (const int error = TrashSubfolder(folder + "/files", create, false, device)) return error;
    return TrashSubfolder(folder + "/info", create, false, device);
}

// The local time as a .trashinfo's DeletionDate.
std::string DeletionDate() {
    const std::time_t now = std::time(nullptr);
    struct tm local {};
    char text[32] = {};
    if (::localtime_r(&now, &local) == nullptr) return {};
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    return text;
}

// Whether `text` is UTF-8: each lead byte followed by as many continuation bytes as it announces.
bool IsUtf8(std::string_view text) {
    for (std::size_t at = 0; at < text.size();) {
        const auto lead = static_cast<unsigned char>(text[at]);
        std::size_t length = 0;
        if (lead < 0x80)
            length = 1;
        else if (lead >= 0xC2 && lead < 0xE0)
            length = 2;
        else if (lead >= 0xE0 && lead < 0xF0)
            length = 3;
        else if (lead >= 0xF0 && lead < 0xF5)
            length = 4;
        if (length == 0 || at + length > text.size()) return false;
        for (std::size_t next = at + 1; next < at + length; ++next)
            if ((static_cast<unsigned char>(text[next]) & 0xC0) != 0x80) return false;
        at += length;
    }
    return true;
}

// `name` cut so the trash's names built from it fit NAME_MAX: at a character's start when the name
// is UTF-8; a name in another encoding has no such starts to find, and is cut at any byte.
std::string TrashBaseName(std::string name) {
    if (name.size() <= kNameRoom) return name;
    std::size_t cut = kNameRoom;
    if (IsUtf8(name))
        while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
    name.resize(cut);
    return name;
}

// The n-th name tried for a file called `base`: base, base.2, ... then base.<random>.
std::string CandidateName(const std::string& base, int attempt) {
    if (attempt == 1) return base;
    if (attempt <= kNumberedNames) return base + "." + std::to_string(attempt);
    std::string name;
    CreateUnderTemporaryName(
        base + ".", "", [](const std::string&) { return 0; }, name);
    return name;
}

// Ends every .trashinfo we write: a run that finds one of ours whose file never reached files/ (the
// move was killed between the two) may remove it.
constexpr std::string_view kOwnMark = "X-Tandemere-Move=1\n";

// The .trashinfo `name` in `infoFd` made with its whole text and flushed. `unnamed`: made first
// without a name (O_TMPFILE) and linked under it once whole, so no crash leaves the name with a
// part of the text. On success `fd` is open and locked; it is open on failure only when the name
// was made (and must go). 0 or errno.
int CreateTrashInfo(int infoFd, const std::string& name, const std::string& text, bool unnamed,
                    UniqueFd& fd) {
    fd.Reset(unnamed ? Sys().m_pfnOpenAt(infoFd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600)
                     : Sys().m_pfnOpenAt(infoFd, name.c_str(),
                                         O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!fd.IsValid()) return errno;
    // Held until the file is in files/: a free lock tells an orphan from a live move's claim.
    ::flock(fd.Get(), LOCK_EX);
    int error = WriteAll(fd.Get(), text.data(), text.size());
    if (error == 0 && Sys().m_pfnFsync(fd.Get()) != 0) error = errno;
    if (error == 0 && unnamed) {
        const std::string self = "/proc/self/fd/" + std::to_string(fd.Get());
        if (Sys().m_pfnLinkAt(AT_FDCWD, self.c_str(), infoFd, name.c_str(), AT_SYMLINK_FOLLOW) != 0)
            error = errno;
    }
    if (error != 0 && unnamed) fd.Reset();
    return error;
}

// Writes the .trashinfo `name` into `infoFd`, its text flushed; `fd` stays open and locked. Its name
// is not flushed: the file's rename into files/ comes later on the same file system, which persists
// changes of names in the order they were made, so no crash keeps the rename without the name. 0 or
// errno (EEXIST: the name is taken); nothing stays on failure.
int WriteTrashInfo(int infoFd, const std::string& name, const std::string& text, UniqueFd& fd) {
    int error = CreateTrashInfo(infoFd, name, text, true, fd);
    // No unnamed files on this file system, or no /proc to link one by.
    if (error == EOPNOTSUPP || error == EISDIR || error == EINVAL || error == ENOENT)
        error = CreateTrashInfo(infoFd, name, text, false, fd);
    if (error != 0 && fd.IsValid()) {
        fd.Reset();
        Sys().m_pfnUnlinkAt(infoFd, name.c_str(), 0);
    }
    return error;
}

// Removes the .trashinfo `infoName` when it is an orphan of ours: our mark in it, no move holding
// its lock, and no `name` in files/. True when it went.
bool RemoveOrphanInfo(int infoFd, int filesFd, const std::string& infoName, const std::string& name) {
    UniqueFd fd(::openat(infoFd, infoName.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
    if (!fd.IsValid() || ::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) return false;
    struct stat info {};
    struct stat named {};
    // Room for the longest Path= an encoded PATH_MAX gives.
    std::string text(4 * PATH_MAX, '\0');
    const ssize_t got = ::pread(fd.Get(), text.data(), text.size(), 0);
    if (got <= 0 || ::fstat(fd.Get(), &info) != 0 || !S_ISREG(info.st_mode) ||
        std::string_view(text.data(), static_cast<std::size_t>(got)).find(kOwnMark) == std::string_view::npos)
        return false;
    if (::fstatat(filesFd, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 || errno != ENOENT) return false;
    // Still the file read: another run may have removed it and claimed the name again meanwhile.
    if (::fstatat(infoFd, infoName.c_str(), &named, AT_SYMLINK_NOFOLLOW) != 0 ||
        named.st_ino != info.st_ino || named.st_dev != info.st_dev)
        return false;
    return Sys().m_pfnUnlinkAt(infoFd, infoName.c_str(), 0) == 0 && SyncFolderFd(infoFd) == 0;
}

// Claims a free name in the trash `folder` with a .trashinfo whose Path is `shown`, then renames `file`
// into files/ under it, `placed` naming it there. An orphan .trashinfo of ours in the way is removed and
// its name taken. 0 or errno; on failure the file and the trash are as before.
int PutInTrash(const std::string& folder, const std::string& file, const std::string& shown,
               std::string& placed) {
    UniqueFd infoFd(Sys().m_pfnOpenAt(AT_FDCWD, (folder + "/info").c_str(), kOpenFolderNoFollow, 0));
    if (!infoFd.IsValid()) return errno;
    UniqueFd filesFd(Sys().m_pfnOpenAt(AT_FDCWD, (folder + "/files").c_str(), kOpenFolderNoFollow, 0));
    if (!filesFd.IsValid()) return errno;
    const std::string text = "[Trash Info]\nPath=" + EncodeTrashPath(shown) +
                             "\nDeletionDate=" + DeletionDate() + "\n" + std::string(kOwnMark);
    const std::string base = TrashBaseName(NameOf(file));
    for (int attempt = 1; attempt <= kNumberedNames + 100; ++attempt) {
        const std::string name = CandidateName(base, attempt);
        const std::string infoName = name + std::string(kInfoSuffix);
        UniqueFd info;
        int error = WriteTrashInfo(infoFd.Get(), infoName, text, info);
        if (error == EEXIST && RemoveOrphanInfo(infoFd.Get(), filesFd.Get(), infoName, name))
            error = WriteTrashInfo(infoFd.Get(), infoName, text, info);
        if (error == EEXIST) continue;
        if (error != 0) return error;
        // files/ is not flushed after the rename: a crash can only undo the rename, which puts the
        // file back where it was, and that flush tripled the cost of each file.
        error = RenameNoReplaceAt(AT_FDCWD, file.c_str(), filesFd.Get(), name.c_str());
        placed = name;
        if (error == 0) return 0;
        Sys().m_pfnUnlinkAt(infoFd.Get(), infoName.c_str(), 0);
        if (error != EEXIST) return error;
    }
    return EEXIST;
}

// The real path of `path` (links and dot entries resolved); empty, with errno in `error`, on failure.
std::string RealPath(const std::string& path, int& error) {
    char* real = ::realpath(path.c_str(), nullptr);
    if (real == nullptr) {
        error = errno;
        return {};
    }
    std::string resolved = real;
    std::free(real);
    return resolved;
}

// The Path a .trashinfo gives `file`: in a top folder's trash relative to the top folder `top`, so that
// the volume's files go back onto it wherever it is mounted next; in the home trash (no `top`) absolute.
std::string TrashInfoPath(const std::string& file, const std::string& top) {
    if (top.empty()) return file;
    int error = 0;
    const std::string folder = RealPath(ParentOf(file), error);
    const std::string real = (folder == "/" ? "" : folder) + "/" + NameOf(file);
    if (top == "/") return real.substr(1);
    if (folder.empty() || real.rfind(top + "/", 0) != 0) return file;
    return real.substr(top.size() + 1);
}

}  // namespace

std::string EncodeTrashPath(std::string_view path) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string encoded;
    encoded.reserve(path.size());
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        const bool alnum =
            (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') || (byte >= '0' && byte <= '9');
        if (alnum || std::string_view("-_.!~*'()/").find(c) != std::string_view::npos) {
            encoded += c;
            continue;
        }
        encoded += '%';
        encoded += kHex[byte >> 4];
        encoded += kHex[byte & 0x0F];
    }
    return encoded;
}

void TrashFolders::NoteHomeTrash() {
    std::string home = HomeTrashPath();
    if (home == m_strHomeTrash) return;
    m_strHomeTrash = std::move(home);
    m_bHomeDeviceKnown = false;
    m_mapReady.clear();
}

std::string TrashFolders::TopFolder(const std::string& folder, dev_t device, int& error) {
    if (const auto it = m_mapTopFolders.find(device); it != m_mapTopFolders.end()) return it->second;
    // Links in the folder's path lead elsewhere: the walk goes up the real one.
    std::string top = RealPath(folder, error);
    if (top.empty()) return {};
    struct stat st;
    while (top != "/") {
        const std::string parent = ParentOf(top);
        if (::stat(parent.c_str(), &st) != 0 || st.st_dev != device) break;
        top = parent;
    }
    m_mapTopFolders.emplace(device, top);
    return top;
}

int TrashFolders::Choose(const std::string& folder, dev_t device, bool create, Trash& trash) {
    trash = {};
    NoteHomeTrash();
    if (!m_strHomeTrash.empty() && !m_bHomeDeviceKnown) {
        m_bHomeDeviceFound = DeviceOfNearest(m_strHomeTrash, m_nHomeDevice);
        m_bHomeDeviceKnown = true;
    }
    if (!m_strHomeTrash.empty() && m_bHomeDeviceFound && m_nHomeDevice == device) {
        trash.m_strFolder = m_strHomeTrash;
        if (const int error = HomeTrash(trash.m_strFolder, create, device)) return error;
        return OnOneMount(folder, trash.m_strFolder) ? 0 : EXDEV;
    }
    int error = 0;
    trash.m_strTop = TopFolder(folder, device, error);
    if (trash.m_strTop.empty()) return error;
    const std::string prefix = trash.m_strTop == "/" ? "" : trash.m_strTop;
    const std::string uid = std::to_string(::geteuid());
    error = -1;
    if (IsStickyFolder(prefix + "/.Trash")) {
        trash.m_strFolder = prefix + "/.Trash/" + uid;
        error = TopTrash(trash.m_strFolder, create, device);
    }
    if (error != 0) {
        trash.m_strFolder = prefix + "/.Trash-" + uid;
        error = TopTrash(trash.m_strFolder, create, device);
    }
    if (error != 0) return error;
    return OnOneMount(folder, trash.m_strFolder) ? 0 : EXDEV;
}

Status TrashFolders::MoveToTrash(const std::string& path, std::string& where) {
    where = Described({});
    const std::string file = Absolute(Trim(path));
    NoteHomeTrash();
    for (int round = 0; round < 2; ++round) {
        struct stat st;
        if (::lstat(file.c_str(), &st) != 0) return StatusFromErrno(errno, path);
        if (S_ISDIR(st.st_mode)) return StatusFromErrno(EISDIR, path);
        Trash trash;
        int error = 0;
        if (const auto it = m_mapReady.find(st.st_dev); it != m_mapReady.end())
            trash = it->second;
        else if ((error = Choose(ParentOf(file), st.st_dev, true, trash)) == 0)
            m_mapReady[st.st_dev] = trash;
        where = Described(trash.m_strFolder);
        if (error != 0) return StatusFromErrno(error, trash.m_strFolder.empty() ? path : trash.m_strFolder);
        std::string placed;
        error = PutInTrash(trash.m_strFolder, file, TrashInfoPath(file, trash.m_strTop), placed);
        if (error == 0) {
            m_strLastFile = trash.m_strFolder + "/files/" + placed;
            m_strLastInfo = trash.m_strFolder + "/info/" + placed + std::string(kInfoSuffix);
            return Status::Ok();
        }
        if (error != ENOENT || round == 1) return StatusFromErrno(error, path);
        // A trash taken away since it was made is made again, once.
        m_mapReady.erase(st.st_dev);
    }
    return Status::Ok();
}

Status TrashFolders::FindTrash(const std::string& path, std::string& where) {
    where = Described({});
    const std::string file = Absolute(Trim(path));
    struct stat st;
    if (::lstat(file.c_str(), &st) != 0) return StatusFromErrno(errno, path);
    // A folder stands for a file that would be made in it.
    Trash trash;
    const int error = Choose(S_ISDIR(st.st_mode) ? file : ParentOf(file), st.st_dev, false, trash);
    where = Described(trash.m_strFolder);
    if (error != 0) return StatusFromErrno(error, trash.m_strFolder.empty() ? path : trash.m_strFolder);
    return Status::Ok();
}

}  // namespace tandemere::posix
