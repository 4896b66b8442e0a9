// Platform layer (Win32): the engine's file-system interface on the wide Win32 and shell calls.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <functional>
#include <string>
#include <vector>

#include "engine/file_system.h"

namespace tandemere::win32 {

// The portable error kind for a GetLastError value.
engine::ErrorKind ErrorKindFromWin32(DWORD error);

// The system's message for a Windows error code, in UTF-8, without its final period and line end;
// empty when the system has none.
std::string Win32ErrorText(DWORD error);

// The reason of a failed status in the system's words; the portable kind's name when it carries no
// code the system knows.
std::string ReasonText(const engine::Status& status);

// Windows file system. Paths are UTF-8 at the engine's side and UTF-16 at the calls, so names
// outside the ANSI code page work. Reparse points (symbolic links, junctions) are the links of
// the engine and are never followed when listed, looked up, moved or deleted.
class Win32FileSystem : public engine::IFileSystem {
public:
    // The shell's folder move and delete with undo; returns what SHFileOperationW returns.
    // Replaceable so a test can see the exact request and stand in for outcomes (the shell's own
    // is not faithful under every emulation).
    using ShellFileOperation = std::function<int(SHFILEOPSTRUCTW& operation)>;

    Win32FileSystem();
    explicit Win32FileSystem(ShellFileOperation shellFileOperation);

    const engine::PathStyle& Style() const override { return engine::kWindowsPaths; }
    // The whole path at most 259 UTF-16 units (MAX_PATH with its terminator), each component at
    // most 255; false for text that is not valid UTF-8.
    bool PathFits(const std::string& path) const override;
    // FindFirstFileW order; "." and ".." where the system returns them (not at a drive root).
    // An empty drive root, which gives ERROR_FILE_NOT_FOUND on the first search, is an empty list.
    engine::Status ListFolder(const std::string& folder, std::vector<engine::DirEntry>& entries) override;
    engine::Status Lookup(const std::string& path, engine::DirEntry& entry) override;
    bool IsFolder(const std::string& path) override;
    // FILE_READ_DATA, FILE_SHARE_READ only, FILE_FLAG_SEQUENTIAL_SCAN.
    engine::Status OpenRead(const std::string& path, std::unique_ptr<engine::IReadFile>& file) override;
    // A rename within a volume; a file or link on another volume goes as a flushed copy under a
    // temporary name renamed into place, and the source is deleted only then. A folder on
    // another volume fails with CrossDevice.
    engine::Status Move(const std::string& from, const std::string& to) override;
    // MoveFileExW with MOVEFILE_REPLACE_EXISTING and MOVEFILE_WRITE_THROUGH within a volume; on
    // another volume a flushed copy under a temporary name replaces the old file, which keeps a
    // second name (a hard link) until the source is deleted, so a failure can bring it back.
    engine::Status MoveReplacing(const std::string& from, const std::string& to) override;
    // MoveFileExW with MOVEFILE_WRITE_THROUGH, never replacing.
    engine::Status Rename(const std::string& from, const std::string& to) override;
    // SHFileOperationW FO_MOVE, flags 0x244, progress title "Tandemere", owned by `owner`.
    // Refuses an existing target. A zero result counts only when the target folder is there: a
    // shell that reports success for less is not believed. Whatever the shell left in the source
    // (each file, link and empty folder, or the source folder itself) is named in `left`.
    engine::Status MoveFolderAcrossVolumes(engine::WindowHandle owner, const std::string& from,
                                           const std::string& to, std::vector<std::string>& left) override;
    // DeleteFileW; a link to a folder (or a junction) is removed with RemoveDirectoryW, never
    // what it points to. A real folder fails with IsADirectory.
    engine::Status DeleteFile(const std::string& path) override;
    // The Recycle Bin through the shell's delete with undo, guarded by a hard link so a file the
    // bin does not keep comes back (recycle_bin_win32.h); `where` is always "the Recycle Bin".
    // Links, folders and read-only files are refused.
    engine::Status MoveToTrash(const std::string& path, std::string& where) override;
    // Whether the path's volume has a bin that keeps files (recycle_bin_win32.h), changing nothing.
    engine::Status FindTrash(const std::string& path, std::string& where) override;
    engine::Status RemoveFolder(const std::string& path) override;
    // With the parent's inherited security, by the extended-length path.
    engine::Status CreateFolder(const std::string& path) override;
    // CopyFileExW to a temporary name beside `to`, flushed, the time set and the read-only attribute
    // where `mode` gives the owner no write; then MoveFileExW, which never replaces.
    engine::Status CopyFileNew(const std::string& from, const std::string& to, std::uint32_t mode,
                               std::uint64_t time) override;
    // Succeeds for a real folder and changes nothing: Windows folders have no mode to give back.
    engine::Status SetFolderMode(const std::string& path, std::uint32_t mode) override;
    // Compares the volumes (GetVolumePathNameW) of the existing path and of the target's nearest
    // existing ancestor; falls back to PathIsSameRootW on the texts.
    bool IsSameVolume(const std::string& existing, const std::string& target) override;
    // Volume serial number and file index (GetFileInformationByHandle), links followed.
    engine::Status IsSameObject(const std::string& a, const std::string& b, bool& same) override;
    std::string ReasonText(const engine::Status& status) const override { return win32::ReasonText(status); }
    void SetKeepAlive(engine::KeepAlive* keepAlive) override { m_pKeepAlive = keepAlive; }

private:
    // Every file, link and empty folder below `folder`, added to `left`.
    void ListLeft(const std::string& folder, std::vector<std::string>& left);
    // Move's and MoveReplacing's part for a file or link on another volume.
    engine::Status CopyAcrossVolumes(const std::wstring& from, DWORD attributes, const std::wstring& to,
                                     const std::string& fromText, const std::string& toText, bool replace);
    // Copies `source` under a fresh temporary name in `folder` and flushes it (a link is copied as
    // itself). ERROR_SUCCESS or the error; nothing is left behind on failure.
    DWORD CopyToTemporary(const std::wstring& source, bool link, const std::wstring& folder,
                          std::wstring& temporary);

    ShellFileOperation m_fnShellFileOperation;
    engine::KeepAlive* m_pKeepAlive = nullptr;
};

}  // namespace tandemere::win32
