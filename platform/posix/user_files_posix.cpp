// Platform layer (POSIX): the folders of the user's files, and reading and replacing them whole.
#include "platform/posix/user_files_posix.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/posix/posix_io.h"
#include "platform/posix/posix_syscalls.h"
#include "platform/posix/unique_fd.h"

namespace tandemere::posix {

using engine::Status;

namespace {

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::string() : std::string(value);
}

}  // namespace

std::string XdgBaseFolder(const char* variable, const char* belowHome) {
    std::string base = Env(variable);
    if (!base.empty() && base[0] == '/') return base;
    std::string home = Env("HOME");
    if (home.empty()) {
        if (const passwd* pw = ::getpwuid(::getuid()); pw != nullptr && pw->pw_dir != nullptr)
            home = pw->pw_dir;
    }
    return home + "/" + belowHome;
}

bool MakeFolders(const std::string& folder) {
    if (folder.empty()) return true;
    struct stat st;
    if (::stat(folder.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
    const std::size_t cut = folder.rfind('/');
    if (cut != std::string::npos && cut > 0 && !MakeFolders(folder.substr(0, cut))) return false;
    return Sys().m_pfnMkdirAt(AT_FDCWD, folder.c_str(), 0700) == 0 || errno == EEXIST;
}

std::string FolderOf(const std::string& path) {
    const std::size_t cut = path.rfind('/');
    if (cut == std::string::npos) return ".";
    return cut == 0 ? "/" : path.substr(0, cut);
}

Status ReadWholeFile(const std::string& path, std::string& bytes) {
    bytes.clear();
    const UniqueFd fd(Sys().m_pfnOpenAt(AT_FDCWD, path.c_str(), O_RDONLY | O_CLOEXEC, 0));
    if (!fd.IsValid()) return StatusFromErrno(errno, path);
    char buffer[64 * 1024];
    for (;;) {
        std::size_t got = 0;
        if (const int error = ReadRetry(fd.Get(), buffer, sizeof buffer, got); error != 0)
            return StatusFromErrno(error, path);
        if (got == 0) return Status::Ok();
        bytes.append(buffer, got);
    }
}

Status ReplaceFileWhole(const std::string& path, const std::string& bytes, mode_t mode) {
    std::string target = path;
    if (char* resolved = ::realpath(path.c_str(), nullptr)) {
        target = resolved;
        std::free(resolved);
    }
    const std::string folder = FolderOf(target);
    if (!MakeFolders(folder)) return StatusFromErrno(errno, folder);
    std::string temporary;
    UniqueFd fd;
    const int openError = CreateUnderTemporaryName(
        target + ".tmp-", "",
        [&](const std::string& name) {
            fd.Reset(
                Sys().m_pfnOpenAt(AT_FDCWD, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode));
            return fd.IsValid() ? 0 : errno;
        },
        temporary);
    if (openError != 0) return StatusFromErrno(openError, temporary);
    int error = WriteAll(fd.Get(), bytes.data(), bytes.size());
    if (error == 0 && Sys().m_pfnFchmod(fd.Get(), mode) != 0) error = errno;
    if (error == 0 && Sys().m_pfnFsync(fd.Get()) != 0) error = errno;
    if (error == 0) error = fd.Close();
    if (error == 0 && Sys().m_pfnRenameAt2(AT_FDCWD, temporary.c_str(), AT_FDCWD, target.c_str(), 0) != 0)
        error = errno;
    if (error != 0) {
        fd.Reset();
        Sys().m_pfnUnlinkAt(AT_FDCWD, temporary.c_str(), 0);
        return StatusFromErrno(error, path);
    }
    // The new file is already in place; a folder that cannot be flushed does not undo that.
    SyncFolderAt(AT_FDCWD, folder.c_str());
    return Status::Ok();
}

}  // namespace tandemere::posix
