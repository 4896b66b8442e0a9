// Platform layer (POSIX): the user's own files of this program (settings, caches): the folders
// they live in and how they are read and replaced whole.
#pragma once

#include <sys/types.h>

#include <string>

#include "engine/status.h"

namespace tandemere::posix {

// The base folder the XDG variable `variable` names when it holds an absolute path (a relative
// one is invalid and ignored), else `belowHome` (such as ".config") in the home folder.
std::string XdgBaseFolder(const char* variable, const char* belowHome);

// Creates `folder` and its missing parents (mode 0700); true when it exists as a folder.
bool MakeFolders(const std::string& folder);
// The folder part of `path`: "." for a bare name, "/" for a name in the root.
std::string FolderOf(const std::string& path);

// Reads the whole file; NotFound when it is missing.
engine::Status ReadWholeFile(const std::string& path, std::string& bytes);
// Replaces `path` by a file of `bytes` and `mode` atomically: a temporary file in the same folder,
// flushed, renamed over it; its folder is made when missing. A link is followed: the file it names
// is replaced. A failure leaves the old file as it was and no temporary.
engine::Status ReplaceFileWhole(const std::string& path, const std::string& bytes, mode_t mode);

}  // namespace tandemere::posix
