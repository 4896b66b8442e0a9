// Platform layer (Win32): the Recycle Bin behind MoveToTrash and FindTrash, guarded so that a file
// the bin does not keep is never deleted for good.
#pragma once

#include <string>

#include "engine/status.h"
#include "platform/win32/file_system_win32.h"

namespace tandemere::win32 {

// The bin in the log's words, on success and failure alike.
inline constexpr const char* kRecycleBinName = "the Recycle Bin";

// The flags of the shell's delete: into the bin, silent, no prompt or error box, and never a
// page's "_files" folder along with it. FOF_WANTNUKEWARNING stays off: it would ask.
inline constexpr FILEOP_FLAGS kRecycleFlags =
    FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI | FOF_NO_CONNECTED_ELEMENTS;

// Whether the volume of `path` has a bin that keeps files: a fixed local drive, with hard links
// (which the guard below needs), and neither the NoRecycleFiles policy nor the volume's own
// NukeOnDelete set. Changes nothing. Unsupported without a bin; NameTooLong past MAX_PATH, which
// the shell's delete does not accept. The bin may still refuse a file at the time (too large for
// its quota); under Wine, whose bin is the Unix home trash, so does any file on another Unix file
// system than that trash (measured: drive T: on /dev/shm).
engine::Status FindRecycleBin(const std::string& path);

// Moves a file into the bin through the shell's delete with undo, which silently deletes for good
// what the bin cannot take. So a hard link under a temporary name keeps the file meanwhile: when
// the file's link count has stayed the same the bin holds it by rename, and the link goes; when
// it dropped, the file was deleted for good, the link takes the original name back and Unsupported
// is returned. No hard link possible (FAT), a folder (IsADirectory), a link or junction
// (Unsupported: a link is never recycled, some shells walked into a junction's target) and a
// read-only file (AccessDenied, as DeleteFile) are refused before anything changes.
engine::Status RecycleFile(const Win32FileSystem::ShellFileOperation& shell, const std::string& path);

}  // namespace tandemere::win32
