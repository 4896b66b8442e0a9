// Platform layer (POSIX): small I/O helpers the file system and the settings file share, all
// through the replaceable system-call table, and the backend's one errno mapping.
#pragma once

#include <sys/stat.h>

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "engine/status.h"

namespace tandemere::posix {

// The portable kind of an errno value: permission, read-only media and busy files are AccessDenied;
// device, space, quota and file-size failures Io; a missing system call or feature Unsupported;
// anything not listed Other.
engine::ErrorKind ErrorKindFromErrno(int error);

// The failed Status for an errno value about `path`.
engine::Status StatusFromErrno(int error, const std::string& path);

// The system's text for an errno value ("Permission denied").
std::string ErrnoText(int error);

// The reason of a failed status in the system's words: its errno's text, or for a status the engine
// made (code 0) the text of the first errno of its kind; else the portable kind's name.
std::string ReasonText(const engine::Status& status);

// A path without the trailing '/' that system calls do not want ("/" stays).
std::string Trim(const std::string& path);

// The folder part and the last name of a trimmed path: "/a/b" gives "/a" and "b"; a bare name's
// folder is ".".
std::string ParentOf(const std::string& trimmed);
std::string NameOf(const std::string& trimmed);

// Renames without replacing. Where the file system lacks the flag, a hard link gives the same
// guarantee for non-folders (link fails on an existing name); a folder then cannot move safely.
// 0 or errno.
int RenameNoReplaceAt(int fromDir, const char* from, int toDir, const char* to);

// Reads at most `size` bytes once, retrying when interrupted; `got` is 0 at the end. 0 or errno.
int ReadRetry(int fd, void* buffer, std::size_t size, std::size_t& got);

// Writes all `size` bytes, retrying short and interrupted writes. 0 or errno.
int WriteAll(int fd, const void* data, std::size_t size);

// Flushes an open folder; a file system that cannot flush folders (EINVAL) counts as done. 0 or errno.
int SyncFolderFd(int fd);

// Opens the folder `path` (relative to `dirfd`) and flushes its entries. 0 or errno.
int SyncFolderAt(int dirfd, const char* path);

// Gives the open copy `fd` the owner (only a privileged user can), permission bits and access and
// modification times of `st`, in that order since a change of owner clears set-id bits. 0 or errno.
int CopyOwnerModeTimes(int fd, const struct stat& st);

// Calls `create` with fresh names `prefix` + the engine's kTemporaryRandomLength random characters +
// `suffix` until it returns anything but EEXIST, at most 100 times; `name` is the last name tried.
// 0 or errno.
int CreateUnderTemporaryName(std::string_view prefix, std::string_view suffix,
                             const std::function<int(const std::string& name)>& create, std::string& name);

// As CreateUnderTemporaryName, with the engine's temporary pattern tagged for `item` (the name of
// what the copy or second name is made from: engine::TemporaryPrefixFor).
int CreateTemporaryFor(std::string_view item, const std::function<int(const std::string& name)>& create,
                       std::string& name);

}  // namespace tandemere::posix
