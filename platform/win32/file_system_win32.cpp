// Platform layer (Win32): file-system operations on the wide Win32 calls, never replacing anything
// and never deleting a source before its copy is complete and flushed.
#include "platform/win32/file_system_win32.h"

#include <shlwapi.h>

#include <algorithm>

#include "platform/win32/recycle_bin_win32.h"
#include "platform/win32/temporary_name_win32.h"
#include "platform/win32/unique_handle_win32.h"
#include "platform/win32/utf16_win32.h"

namespace tandemere::win32 {

using engine::DirEntry;
using engine::ErrorKind;
using engine::kWindowsPaths;
using engine::Status;

namespace {

// CopyFileExW's progress routine: counts the bytes copied and lets the keep-alive pump between the
// chunks of a long copy. The counts it gets are the file's totals so far, 0 at the file's start.
DWORD CALLBACK TickKeepAlive(LARGE_INTEGER fileSize, LARGE_INTEGER transferred, LARGE_INTEGER, LARGE_INTEGER,
                             DWORD, DWORD, HANDLE, HANDLE, LPVOID data) {
    auto* keepAlive = static_cast<engine::KeepAlive*>(data);
    const auto done = static_cast<std::uint64_t>(transferred.QuadPart);
    if (done == 0) keepAlive->BeginStep(static_cast<std::uint64_t>(fileSize.QuadPart));
    const std::uint64_t counted = keepAlive->Bytes().m_nStepDone;
    if (done > counted) keepAlive->AddCopied(done - counted);
    keepAlive->Tick();
    return PROGRESS_CONTINUE;
}

constexpr FILEOP_FLAGS kShellMoveFlags = FOF_SILENT | FOF_ALLOWUNDO | FOF_NOCONFIRMMKDIR;
static_assert(kShellMoveFlags == 0x244);
constexpr std::size_t kMaxPathUnits = MAX_PATH - 1;  // the terminator takes the last unit
// What the wide calls take through an extended-length path: 32,767 units with the terminator and
// the six that "\\?\UNC\" adds to "\\server\share".
constexpr std::size_t kMaxExtendedPathUnits = 32767 - 1 - 6;
constexpr std::size_t kMaxComponentUnits = 255;

Status FromWin32(DWORD error, const std::string& path) {
    return Status(ErrorKindFromWin32(error), static_cast<std::int64_t>(error), path);
}

Status NotUnicode(const std::string& path) {
    return Status(ErrorKind::Other, ERROR_NO_UNICODE_TRANSLATION, path);
}

bool IsExistsError(DWORD error) {
    return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
}

bool IsValidAttributes(DWORD attributes) {
    return attributes != INVALID_FILE_ATTRIBUTES;
}
bool IsLinkAttributes(DWORD attributes) {
    return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}
// A real folder: a reparse point carrying the directory bit is a link to a folder, not a folder.
bool IsFolderAttributes(DWORD attributes) {
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 && !IsLinkAttributes(attributes);
}

// The calls do not want the trailing separator the engine's folder paths may carry; roots keep it.
std::string Trim(const std::string& path) {
    std::string trimmed = path;
    while (trimmed.size() > 1 && engine::EndsWithSeparator(kWindowsPaths, trimmed) &&
           !engine::IsRoot(kWindowsPaths, trimmed))
        trimmed.pop_back();
    return trimmed;
}

// The trimmed path in UTF-16, or a status that names the path. A path beyond MAX_PATH gets its
// extended-length form ("\\?\C:\...", "\\?\UNC\server\share\..."), which the wide calls take up to
// the file system's own limits.
Status Widen(const std::string& path, std::wstring& wide) {
    if (!Utf8ToUtf16(Trim(path), wide)) return NotUnicode(path);
    wide = ExtendedIfLong(wide);
    return Status::Ok();
}

// The ordinary form of a path that may be extended: for the shell, which takes no extended paths,
// and for comparing volume roots as text.
std::wstring Ordinary(const std::wstring& path) {
    if (path.rfind(L"\\\\?\\UNC\\", 0) == 0) return L"\\\\" + path.substr(8);
    if (path.rfind(L"\\\\?\\", 0) == 0) return path.substr(4);
    return path;
}

// Both paths of a two-path call; the first that is not valid UTF-8 is the one named.
Status WidenBoth(const std::string& from, std::wstring& source, const std::string& to, std::wstring& target) {
    if (Status status = Widen(from, source); !status) return status;
    return Widen(to, target);
}

// MoveFileExW, which never replaces: a taken name is the target's failure, any other the source's.
Status MoveEntry(const std::wstring& source, const std::wstring& target, DWORD flags, const std::string& from,
                 const std::string& to) {
    if (::MoveFileExW(source.c_str(), target.c_str(), flags)) return Status::Ok();
    const DWORD error = ::GetLastError();
    return FromWin32(error, IsExistsError(error) ? to : from);
}

std::uint64_t Combine(DWORD high, DWORD low) {
    return (static_cast<std::uint64_t>(high) << 32) | low;
}

// WIN32_FIND_DATAW and WIN32_FILE_ATTRIBUTE_DATA share these fields.
template <class Data>
void FillEntry(const Data& data, DirEntry& entry) {
    entry.m_bLink = IsLinkAttributes(data.dwFileAttributes);
    entry.m_bDirectory = IsFolderAttributes(data.dwFileAttributes);
    // Pipes and devices live in their own namespaces, never in a folder listing.
    entry.m_bSpecial = false;
    const bool anyFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    entry.m_nSize = anyFolder ? 0 : Combine(data.nFileSizeHigh, data.nFileSizeLow);
    // FILETIME counts exactly the engine's ticks.
    entry.m_nLastWriteTime = Combine(data.ftLastWriteTime.dwHighDateTime, data.ftLastWriteTime.dwLowDateTime);
}

// Removes a copy this backend made, read-only or not.
void RemoveOwnCopy(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (!IsValidAttributes(attributes)) return;
    if (attributes & FILE_ATTRIBUTE_READONLY)
        ::SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        ::RemoveDirectoryW(path.c_str());
    else
        ::DeleteFileW(path.c_str());
}

// Writes a copied file's data to the device; a read-only copy is opened for it for a moment.
DWORD FlushFile(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (!IsValidAttributes(attributes)) return ::GetLastError();
    const bool readOnly = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
    if (readOnly && !::SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY))
        return ::GetLastError();
    DWORD error = ERROR_SUCCESS;
    {
        UniqueFileHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file || !::FlushFileBuffers(file.Get())) error = ::GetLastError();
    }
    if (readOnly && !::SetFileAttributesW(path.c_str(), attributes) && error == ERROR_SUCCESS)
        error = ::GetLastError();
    return error;
}

// Gives a copy the recorded last-write time and, from the recorded mode, the read-only attribute (set
// where the owner may not write): the one part of a mode a Windows file has. A mode of 0, which this
// backend records, leaves the attributes the copy took from its file.
DWORD SetTimeAndMode(const std::wstring& path, std::uint32_t mode, std::uint64_t time) {
    {
        UniqueFileHandle file(::CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
        const FILETIME written = {static_cast<DWORD>(time), static_cast<DWORD>(time >> 32)};
        if (!file || !::SetFileTime(file.Get(), nullptr, nullptr, &written)) return ::GetLastError();
    }
    if (mode == 0) return ERROR_SUCCESS;
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (!IsValidAttributes(attributes)) return ::GetLastError();
    const DWORD wanted =
        (mode & 0200) != 0 ? attributes & ~FILE_ATTRIBUTE_READONLY : attributes | FILE_ATTRIBUTE_READONLY;
    if (wanted != attributes && !::SetFileAttributesW(path.c_str(), wanted)) return ::GetLastError();
    return ERROR_SUCCESS;
}

// Deletes a file or a link to a folder; a read-only file is made writable for it, and stays
// read-only when it cannot be deleted after all.
DWORD DeleteEntry(const std::wstring& path, DWORD attributes) {
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return ::RemoveDirectoryW(path.c_str()) ? ERROR_SUCCESS : ::GetLastError();
    if (::DeleteFileW(path.c_str())) return ERROR_SUCCESS;
    DWORD error = ::GetLastError();
    if (error != ERROR_ACCESS_DENIED || !(attributes & FILE_ATTRIBUTE_READONLY)) return error;
    if (!::SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY)) return error;
    if (::DeleteFileW(path.c_str())) return ERROR_SUCCESS;
    error = ::GetLastError();
    ::SetFileAttributesW(path.c_str(), attributes);
    return error;
}

// Whether a file still has the size and last-write time it had when `before` was read.
bool SameSizeAndTime(const std::wstring& path, const WIN32_FILE_ATTRIBUTE_DATA& before) {
    WIN32_FILE_ATTRIBUTE_DATA now;
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &now)) return false;
    return now.nFileSizeHigh == before.nFileSizeHigh && now.nFileSizeLow == before.nFileSizeLow &&
           ::CompareFileTime(&now.ftLastWriteTime, &before.ftLastWriteTime) == 0;
}

struct FileIdentity {
    DWORD m_nVolumeSerial = 0;
    DWORD m_nIndexHigh = 0;
    DWORD m_nIndexLow = 0;
};

// Opens what the path reaches (links followed; FILE_FLAG_BACKUP_SEMANTICS for folders).
DWORD Identify(const std::wstring& path, FileIdentity& identity) {
    UniqueFileHandle file(::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file) return ::GetLastError();
    BY_HANDLE_FILE_INFORMATION info;
    if (!::GetFileInformationByHandle(file.Get(), &info)) return ::GetLastError();
    identity = {info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
    return ERROR_SUCCESS;
}

// The root of the volume that holds an existing path ("C:\", a mount folder, "\\server\share\").
bool VolumeOf(const std::wstring& path, std::wstring& volume) {
    wchar_t buffer[MAX_PATH + 1];
    if (!::GetVolumePathNameW(path.c_str(), buffer, MAX_PATH + 1)) return false;
    volume = Ordinary(buffer);
    return true;
}

class Win32ReadFile : public engine::IReadFile {
public:
    Win32ReadFile(UniqueFileHandle file, std::string path)
        : m_hFile(std::move(file)), m_strPath(std::move(path)) {}
    Status Read(void* buffer, std::size_t size, std::size_t& got) override {
        got = 0;
        const DWORD request = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
        DWORD read = 0;
        if (!::ReadFile(m_hFile.Get(), buffer, request, &read, nullptr))
            return FromWin32(::GetLastError(), m_strPath);
        got = read;
        return Status::Ok();
    }

private:
    UniqueFileHandle m_hFile;
    std::string m_strPath;
};

}  // namespace

ErrorKind ErrorKindFromWin32(DWORD error) {
    switch (error) {
        case ERROR_SUCCESS:
            return ErrorKind::None;
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
        case ERROR_BAD_NETPATH:
        case ERROR_BAD_NET_NAME:
            return ErrorKind::NotFound;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return ErrorKind::Exists;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_WRITE_PROTECT:
        case ERROR_CURRENT_DIRECTORY:
        case ERROR_PRIVILEGE_NOT_HELD:
            return ErrorKind::AccessDenied;
        case ERROR_DIR_NOT_EMPTY:
            return ErrorKind::NotEmpty;
        case ERROR_DIRECTORY:
            return ErrorKind::NotADirectory;
        case ERROR_NOT_SAME_DEVICE:
            return ErrorKind::CrossDevice;
        case ERROR_FILENAME_EXCED_RANGE:
        case ERROR_BUFFER_OVERFLOW:
            return ErrorKind::NameTooLong;
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY:
            return ErrorKind::NoMemory;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
        case ERROR_CRC:
        case ERROR_READ_FAULT:
        case ERROR_WRITE_FAULT:
        case ERROR_GEN_FAILURE:
        case ERROR_NOT_READY:
        case ERROR_IO_DEVICE:
            return ErrorKind::Io;
        case ERROR_INVALID_FUNCTION:
        case ERROR_NOT_SUPPORTED:
        case ERROR_CALL_NOT_IMPLEMENTED:
            return ErrorKind::Unsupported;
        default:
            return ErrorKind::Other;
    }
}

Win32FileSystem::Win32FileSystem()
    : m_fnShellFileOperation([](SHFILEOPSTRUCTW& operation) { return ::SHFileOperationW(&operation); }) {}

Win32FileSystem::Win32FileSystem(ShellFileOperation shellFileOperation)
    : m_fnShellFileOperation(std::move(shellFileOperation)) {}

bool Win32FileSystem::PathFits(const std::string& path) const {
    std::wstring wide;
    if (path.empty() || !Utf8ToUtf16(path, wide) || wide.size() > kMaxExtendedPathUnits) return false;
    std::size_t component = 0;
    for (wchar_t c : wide) {
        component = (c == L'\\' || c == L'/') ? 0 : component + 1;
        if (component > kMaxComponentUnits) return false;
    }
    return true;
}

Status Win32FileSystem::ListFolder(const std::string& folder, std::vector<DirEntry>& entries) {
    entries.clear();
    std::wstring wideFolder;
    if (Status status = Widen(folder, wideFolder); !status) return status;
    std::wstring pattern = wideFolder;
    if (pattern.empty() || (pattern.back() != L'\\' && pattern.back() != L'/')) pattern += L'\\';
    pattern += L'*';
    WIN32_FIND_DATAW data;
    UniqueFindHandle find(::FindFirstFileW(pattern.c_str(), &data));
    if (!find) {
        const DWORD error = ::GetLastError();
        const DWORD attributes = ::GetFileAttributesW(wideFolder.c_str());
        // An empty drive root has no dot entries either, so its first search finds nothing.
        if (error == ERROR_FILE_NOT_FOUND && IsValidAttributes(attributes) &&
            (attributes & FILE_ATTRIBUTE_DIRECTORY))
            return Status::Ok();
        if (IsValidAttributes(attributes) && !(attributes & FILE_ATTRIBUTE_DIRECTORY))
            return FromWin32(ERROR_DIRECTORY, folder);
        return FromWin32(error == ERROR_FILE_NOT_FOUND ? ERROR_PATH_NOT_FOUND : error, folder);
    }
    // The whole listing is read before the caller acts on any entry of it.
    do {
        DirEntry entry;
        if (!Utf16ToUtf8(data.cFileName, entry.m_strName)) return NotUnicode(folder);
        FillEntry(data, entry);
        entries.push_back(std::move(entry));
    } while (::FindNextFileW(find.Get(), &data));
    const DWORD error = ::GetLastError();
    if (error != ERROR_NO_MORE_FILES) {
        entries.clear();
        return FromWin32(error, folder);
    }
    return Status::Ok();
}

Status Win32FileSystem::Lookup(const std::string& path, DirEntry& entry) {
    std::wstring wide;
    if (Status status = Widen(path, wide); !status) return status;
    WIN32_FILE_ATTRIBUTE_DATA info;
    // Neither call follows a final reparse point.
    if (!::GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &info))
        return FromWin32(::GetLastError(), path);
    FillEntry(info, entry);
    const std::string trimmed = Trim(path);
    entry.m_strName = engine::IsRoot(kWindowsPaths, trimmed)
                          ? trimmed
                          : std::string(engine::FindFileName(kWindowsPaths, trimmed));
    // The stored spelling of the name comes from a search for exactly this path (a real name
    // holds no wildcard, so the search cannot match another entry).
    if (!engine::IsRoot(kWindowsPaths, trimmed) && wide.find_first_of(L"*?") == std::wstring::npos) {
        WIN32_FIND_DATAW data;
        UniqueFindHandle find(::FindFirstFileW(wide.c_str(), &data));
        std::string stored;
        if (find && Utf16ToUtf8(data.cFileName, stored)) entry.m_strName = std::move(stored);
    }
    return Status::Ok();
}

bool Win32FileSystem::IsFolder(const std::string& path) {
    std::wstring wide;
    if (!Widen(path, wide)) return false;
    // The attributes rather than PathIsDirectoryW, which takes no path beyond MAX_PATH.
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (!IsValidAttributes(attributes) || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
    if (!IsLinkAttributes(attributes)) return true;
    // A link to a folder counts only when its target is there.
    FileIdentity identity;
    return Identify(wide, identity) == ERROR_SUCCESS;
}

Status Win32FileSystem::OpenRead(const std::string& path, std::unique_ptr<engine::IReadFile>& file) {
    file.reset();
    std::wstring wide;
    if (Status status = Widen(path, wide); !status) return status;
    UniqueFileHandle handle(::CreateFileW(wide.c_str(), FILE_READ_DATA, FILE_SHARE_READ, nullptr,
                                          OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!handle) {
        const DWORD error = ::GetLastError();
        const DWORD attributes = ::GetFileAttributesW(wide.c_str());
        if (error == ERROR_ACCESS_DENIED && IsValidAttributes(attributes) &&
            (attributes & FILE_ATTRIBUTE_DIRECTORY))
            return Status(ErrorKind::IsADirectory, error, path);
        return FromWin32(error, path);
    }
    file = std::make_unique<Win32ReadFile>(std::move(handle), path);
    return Status::Ok();
}

Status Win32FileSystem::Move(const std::string& from, const std::string& to) {
    std::wstring source;
    std::wstring target;
    if (Status status = WidenBoth(from, source, to, target); !status) return status;
    // Without MOVEFILE_COPY_ALLOWED: MoveFileW's own copy across volumes would write straight
    // under the target name, unflushed, so a failure could leave half a file there.
    if (Status moved = MoveEntry(source, target, 0, from, to); moved.NativeCode() != ERROR_NOT_SAME_DEVICE)
        return moved;

    const DWORD attributes = ::GetFileAttributesW(source.c_str());
    if (!IsValidAttributes(attributes)) return FromWin32(::GetLastError(), from);
    // A folder crosses volumes only through MoveFolderAcrossVolumes.
    if (IsFolderAttributes(attributes)) return FromWin32(ERROR_NOT_SAME_DEVICE, from);
    if (IsValidAttributes(::GetFileAttributesW(target.c_str()))) return FromWin32(ERROR_FILE_EXISTS, to);
    return CopyAcrossVolumes(source, attributes, target, from, to, false);
}

Status Win32FileSystem::MoveReplacing(const std::string& from, const std::string& to) {
    std::wstring source;
    std::wstring target;
    if (Status status = WidenBoth(from, source, to, target); !status) return status;
    const DWORD attributes = ::GetFileAttributesW(source.c_str());
    if (!IsValidAttributes(attributes)) return FromWin32(::GetLastError(), from);
    if (IsFolderAttributes(attributes)) return Status(ErrorKind::IsADirectory, ERROR_DIRECTORY, from);
    const DWORD existing = ::GetFileAttributesW(target.c_str());
    if (IsValidAttributes(existing) && IsFolderAttributes(existing))
        return Status(ErrorKind::IsADirectory, ERROR_ACCESS_DENIED, to);
    // A read-only file is never replaced (MoveFileExW refuses it too), so no copy is made for it.
    if (IsValidAttributes(existing) && (existing & FILE_ATTRIBUTE_READONLY))
        return FromWin32(ERROR_ACCESS_DENIED, to);
    if (::MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return Status::Ok();
    const DWORD error = ::GetLastError();
    if (error != ERROR_NOT_SAME_DEVICE) return FromWin32(error, from);
    return CopyAcrossVolumes(source, attributes, target, from, to, true);
}

Status Win32FileSystem::CopyAcrossVolumes(const std::wstring& source, DWORD attributes,
                                          const std::wstring& target, const std::string& from,
                                          const std::string& to, bool replace) {
    std::wstring folder;
    if (!Utf8ToUtf16(engine::ParentFolder(kWindowsPaths, Trim(to)), folder)) return NotUnicode(to);
    WIN32_FILE_ATTRIBUTE_DATA before;
    if (!::GetFileAttributesExW(source.c_str(), GetFileExInfoStandard, &before))
        return FromWin32(::GetLastError(), from);
    std::wstring temporary;
    if (const DWORD error = CopyToTemporary(source, IsLinkAttributes(attributes), folder, temporary))
        return FromWin32(error, to);
    // The old file keeps a second name until the source is gone, so a failure can bring it back;
    // where the volume has no hard links the replacement goes on without.
    std::wstring backup;
    if (replace) {
        backup = ExtendedIfLong(folder + TemporaryName());
        if (!::CreateHardLinkW(backup.c_str(), target.c_str(), nullptr)) backup.clear();
    }
    const DWORD placeFlags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
    if (!::MoveFileExW(temporary.c_str(), target.c_str(), placeFlags)) {
        const DWORD error = ::GetLastError();
        RemoveOwnCopy(temporary);
        if (!backup.empty()) RemoveOwnCopy(backup);
        return FromWin32(error, to);
    }
    // What was written meanwhile may exist only in the source: it stays beside the copy.
    if (!SameSizeAndTime(source, before)) {
        if (!backup.empty()) RemoveOwnCopy(backup);
        return Status(ErrorKind::SourceChanged, 0, from);
    }
    // The complete copy is in place; only now does the source go.
    if (const DWORD deleteError = DeleteEntry(source, attributes)) {
        // The source stays: a new name goes again (one file must not end up in both places), an
        // old file comes back.
        if (!replace)
            RemoveOwnCopy(target);
        else if (!backup.empty())
            ::MoveFileExW(backup.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
        return FromWin32(deleteError, from);
    }
    if (!backup.empty()) RemoveOwnCopy(backup);
    return Status::Ok();
}

DWORD Win32FileSystem::CopyToTemporary(const std::wstring& source, bool link, const std::wstring& folder,
                                       std::wstring& temporary) {
    const DWORD copyFlags = COPY_FILE_FAIL_IF_EXISTS | (link ? COPY_FILE_COPY_SYMLINK : 0);
    DWORD error = ERROR_FILE_EXISTS;
    for (int attempt = 0; attempt < 100 && IsExistsError(error); ++attempt) {
        temporary = ExtendedIfLong(folder + TemporaryName());
        error = ::CopyFileExW(source.c_str(), temporary.c_str(), m_pKeepAlive ? TickKeepAlive : nullptr,
                              m_pKeepAlive, nullptr, copyFlags)
                    ? ERROR_SUCCESS
                    : ::GetLastError();
        if (error != ERROR_SUCCESS && !IsExistsError(error)) RemoveOwnCopy(temporary);
    }
    if (error != ERROR_SUCCESS || link) return error;
    if (const DWORD flushError = FlushFile(temporary)) {
        RemoveOwnCopy(temporary);
        return flushError;
    }
    return ERROR_SUCCESS;
}

Status Win32FileSystem::CopyFileNew(const std::string& from, const std::string& to, std::uint32_t mode,
                                    std::uint64_t time) {
    std::wstring source;
    std::wstring target;
    if (Status status = WidenBoth(from, source, to, target); !status) return status;
    const DWORD attributes = ::GetFileAttributesW(source.c_str());
    if (!IsValidAttributes(attributes)) return FromWin32(::GetLastError(), from);
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 || IsLinkAttributes(attributes))
        return FromWin32(ERROR_NOT_SUPPORTED, from);
    std::wstring folder;
    if (!Utf8ToUtf16(engine::ParentFolder(kWindowsPaths, Trim(to)), folder)) return NotUnicode(to);
    std::wstring temporary;
    if (const DWORD error = CopyToTemporary(source, false, folder, temporary)) return FromWin32(error, to);
    DWORD error = SetTimeAndMode(temporary, mode, time);
    // Without MOVEFILE_REPLACE_EXISTING a taken name makes the rename fail: nothing is replaced.
    if (error == ERROR_SUCCESS && !::MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH))
        error = ::GetLastError();
    if (error == ERROR_SUCCESS) return Status::Ok();
    RemoveOwnCopy(temporary);
    return FromWin32(error, to);
}

Status Win32FileSystem::SetFolderMode(const std::string& path, std::uint32_t mode) {
    // A folder's read-only attribute keeps none of its entries from change (the shell takes it for a
    // customised folder's mark), so a mode has nothing to set here; the folder must still be one.
    (void)mode;
    std::wstring wide;
    if (Status status = Widen(path, wide); !status) return status;
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (!IsValidAttributes(attributes)) return FromWin32(::GetLastError(), path);
    if (!IsFolderAttributes(attributes)) return FromWin32(ERROR_DIRECTORY, path);
    return Status::Ok();
}

Status Win32FileSystem::Rename(const std::string& from, const std::string& to) {
    std::wstring source;
    std::wstring target;
    if (Status status = WidenBoth(from, source, to, target); !status) return status;
    return MoveEntry(source, target, MOVEFILE_WRITE_THROUGH, from, to);
}

Status Win32FileSystem::MoveFolderAcrossVolumes(engine::WindowHandle owner, const std::string& from,
                                                const std::string& to, std::vector<std::string>& left) {
    left.clear();
    std::wstring source;
    std::wstring target;
    if (Status status = WidenBoth(from, source, to, target); !status) return status;
    const DWORD attributes = ::GetFileAttributesW(source.c_str());
    if (!IsValidAttributes(attributes)) return FromWin32(::GetLastError(), from);
    if (!IsFolderAttributes(attributes)) return FromWin32(ERROR_DIRECTORY, from);
    // The shell would merge into an existing folder or ask; never hand it a taken name.
    if (IsValidAttributes(::GetFileAttributesW(target.c_str()))) return FromWin32(ERROR_ALREADY_EXISTS, to);
    std::wstring parent;
    if (!Widen(engine::ParentFolder(kWindowsPaths, Trim(to)), parent)) return NotUnicode(to);
    if (!IsFolderAttributes(::GetFileAttributesW(parent.c_str()))) return FromWin32(ERROR_PATH_NOT_FOUND, to);

    // The shell takes no extended-length paths: what it cannot reach is refused as too long.
    if (Ordinary(source).size() > kMaxPathUnits) return FromWin32(ERROR_FILENAME_EXCED_RANGE, from);
    if (Ordinary(target).size() > kMaxPathUnits) return FromWin32(ERROR_FILENAME_EXCED_RANGE, to);
    // Lists of one path, each ended by a double NUL.
    const std::wstring fromList = Ordinary(source) + std::wstring(2, L'\0');
    const std::wstring toList = Ordinary(target) + std::wstring(2, L'\0');
    SHFILEOPSTRUCTW operation{};
    operation.hwnd = static_cast<HWND>(owner);
    operation.wFunc = FO_MOVE;
    operation.pFrom = fromList.c_str();
    operation.pTo = toList.c_str();
    operation.fFlags = kShellMoveFlags;
    operation.fAnyOperationsAborted = FALSE;
    operation.hNameMappings = nullptr;
    operation.lpszProgressTitle = L"Tandemere";
    const int result = m_fnShellFileOperation(operation);
    // The shell's results are its own codes, not GetLastError values.
    if (result != 0) return Status(ErrorKind::Other, result, from);
    if (operation.fAnyOperationsAborted) return Status(ErrorKind::Other, ERROR_CANCELLED, from);
    if (!IsFolderAttributes(::GetFileAttributesW(target.c_str())))
        return Status(ErrorKind::Io, ERROR_PATH_NOT_FOUND, to);
    // The shell leaves in the source what it could not move, such as what arrived meanwhile.
    if (IsValidAttributes(::GetFileAttributesW(source.c_str()))) {
        const std::string folder = Trim(from);
        ListLeft(folder, left);
        if (left.empty()) left.push_back(folder);
        std::sort(left.begin(), left.end());
    }
    return Status::Ok();
}

void Win32FileSystem::ListLeft(const std::string& folder, std::vector<std::string>& left) {
    std::vector<DirEntry> entries;
    if (!ListFolder(folder, entries)) {
        left.push_back(folder);
        return;
    }
    for (const DirEntry& entry : entries) {
        if (entry.m_strName == "." || entry.m_strName == "..") continue;
        const std::string path = folder + "\\" + entry.m_strName;
        const std::size_t before = left.size();
        if (entry.m_bDirectory) ListLeft(path, left);
        if (left.size() == before) left.push_back(path);  // a file, a link or an empty folder
    }
}

Status Win32FileSystem::MoveToTrash(const std::string& path, std::string& where) {
    where = kRecycleBinName;
    return RecycleFile(m_fnShellFileOperation, path);
}

Status Win32FileSystem::FindTrash(const std::string& path, std::string& where) {
    where = kRecycleBinName;
    return FindRecycleBin(path);
}

Status Win32FileSystem::DeleteFile(const std::string& path) {
    std::wstring wide;
    if (Status status = Widen(path, wide); !status) return status;
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (!IsValidAttributes(attributes)) return FromWin32(::GetLastError(), path);
    if (IsFolderAttributes(attributes)) return Status(ErrorKind::IsADirectory, ERROR_ACCESS_DENIED, path);
    // A link to a folder is a directory entry of its own: RemoveDirectoryW removes the link only.
    const bool removed = (attributes & FILE_ATTRIBUTE_DIRECTORY) ? ::RemoveDirectoryW(wide.c_str())
                                                                 : ::DeleteFileW(wide.c_str());
    if (!removed) return FromWin32(::GetLastError(), path);
    return Status::Ok();
}

Status Win32FileSystem::RemoveFolder(const std::string& path) {
    std::wstring wide;
    if (Status status = Widen(path, wide); !status) return status;
    if (!::RemoveDirectoryW(wide.c_str())) return FromWin32(::GetLastError(), path);
    return Status::Ok();
}

Status Win32FileSystem::CreateFolder(const std::string& path) {
    std::wstring wide;
    if (Status status = Widen(path, wide); !status) return status;
    if (!::CreateDirectoryW(wide.c_str(), nullptr)) return FromWin32(::GetLastError(), path);
    return Status::Ok();
}

bool Win32FileSystem::IsSameVolume(const std::string& existing, const std::string& target) {
    std::wstring source;
    if (!Widen(existing, source) || !IsValidAttributes(::GetFileAttributesW(source.c_str()))) return false;
    // The folder that will receive the name decides; climb to the nearest one that exists.
    std::string ancestor = engine::ParentFolder(kWindowsPaths, Trim(target));
    std::wstring wideAncestor;
    for (;;) {
        if (!Widen(ancestor, wideAncestor)) return false;
        if (IsValidAttributes(::GetFileAttributesW(wideAncestor.c_str()))) break;
        const std::string parent = engine::ParentFolder(kWindowsPaths, Trim(ancestor));
        if (parent.empty() || parent == ancestor) return false;
        ancestor = parent;
    }
    std::wstring sourceVolume;
    std::wstring targetVolume;
    if (VolumeOf(source, sourceVolume) && VolumeOf(wideAncestor, targetVolume))
        return ::PathIsSameRootW(sourceVolume.c_str(), targetVolume.c_str()) != FALSE;
    return ::PathIsSameRootW(Ordinary(source).c_str(), Ordinary(wideAncestor).c_str()) != FALSE;
}

Status Win32FileSystem::IsSameObject(const std::string& a, const std::string& b, bool& same) {
    same = false;
    std::wstring first;
    std::wstring second;
    if (Status status = WidenBoth(a, first, b, second); !status) return status;
    FileIdentity one;
    FileIdentity other;
    if (const DWORD error = Identify(first, one)) return FromWin32(error, a);
    if (const DWORD error = Identify(second, other)) return FromWin32(error, b);
    same = one.m_nVolumeSerial == other.m_nVolumeSerial && one.m_nIndexHigh == other.m_nIndexHigh &&
           one.m_nIndexLow == other.m_nIndexLow;
    return Status::Ok();
}

}  // namespace tandemere::win32
