// Platform layer (Win32): the Recycle Bin through the shell's delete with undo, with a hard link
// that keeps the file until the bin is known to hold it.
#include "platform/win32/recycle_bin_win32.h"

#include "platform/win32/temporary_name_win32.h"
#include "platform/win32/unique_handle_win32.h"
#include "platform/win32/utf16_win32.h"

namespace tandemere::win32 {

using engine::ErrorKind;
using engine::Status;

namespace {

// The shell's delete takes no \\?\ form, so its paths end at MAX_PATH with the terminator.
constexpr std::size_t kMaxShellPathUnits = MAX_PATH - 1;
// A virus scanner or indexer may hold a file it saw arrive for a moment.
constexpr int kRemoveAttempts = 10;
constexpr DWORD kRemovePauseMs = 50;

Status FromWin32(DWORD error, const std::string& path) {
    return Status(ErrorKindFromWin32(error), static_cast<std::int64_t>(error), path);
}

Status NoBin(const std::string& path) {
    return Status(ErrorKind::Unsupported, ERROR_NOT_SUPPORTED, path);
}

// The full path as the shell wants it, or why there is none.
Status ShellPath(const std::string& path, std::wstring& full) {
    std::wstring wide;
    if (!Utf8ToUtf16(path, wide)) return Status(ErrorKind::Other, ERROR_NO_UNICODE_TRANSLATION, path);
    const DWORD needed = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (needed == 0) return FromWin32(::GetLastError(), path);
    full.assign(needed, L'\0');
    const DWORD length = ::GetFullPathNameW(wide.c_str(), needed, full.data(), nullptr);
    if (length == 0 || length >= needed) return FromWin32(::GetLastError(), path);
    full.resize(length);
    if (full.size() > kMaxShellPathUnits || full.rfind(L"\\\\?\\", 0) == 0)
        return Status(ErrorKind::NameTooLong, ERROR_FILENAME_EXCED_RANGE, path);
    // The shell expands wildcards: such a name could stand for other files.
    if (full.find_first_of(L"*?") != std::wstring::npos) return FromWin32(ERROR_INVALID_NAME, path);
    return Status::Ok();
}

bool DwordSet(HKEY root, const std::wstring& key, const wchar_t* value) {
    DWORD data = 0;
    DWORD size = sizeof data;
    return ::RegGetValueW(root, key.c_str(), value, RRF_RT_REG_DWORD, nullptr, &data, &size) == ERROR_SUCCESS &&
           data != 0;
}

// Whether the shell deletes for good on this volume by the user's or the administrator's choice.
bool NukesOnDelete(const wchar_t* root) {
    const std::wstring policy = L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
    if (DwordSet(HKEY_CURRENT_USER, policy, L"NoRecycleFiles") ||
        DwordSet(HKEY_LOCAL_MACHINE, policy, L"NoRecycleFiles"))
        return true;
    wchar_t volume[64];
    if (!::GetVolumeNameForVolumeMountPointW(root, volume, 64)) return false;
    const std::wstring name(volume);
    const std::size_t open = name.find(L'{');
    const std::size_t close = name.find(L'}');
    if (open == std::wstring::npos || close == std::wstring::npos || close < open) return false;
    return DwordSet(HKEY_CURRENT_USER,
                    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\BitBucket\\Volume\\" +
                        name.substr(open, close - open + 1),
                    L"NukeOnDelete");
}

Status FindBinForFullPath(const std::wstring& full, const std::string& path) {
    wchar_t root[MAX_PATH + 1];
    if (!::GetVolumePathNameW(full.c_str(), root, MAX_PATH + 1)) return FromWin32(::GetLastError(), path);
    // Removable, network, optical and RAM drives have no bin: the shell deletes for good there.
    if (::GetDriveTypeW(root) != DRIVE_FIXED) return NoBin(path);
    wchar_t fileSystem[MAX_PATH + 1];
    DWORD flags = 0;
    if (!::GetVolumeInformationW(root, nullptr, 0, nullptr, nullptr, &flags, fileSystem, MAX_PATH + 1))
        return FromWin32(::GetLastError(), path);
    // NTFS has always had hard links; the flag exists only from Windows 7 on, and Wine omits it.
    if (!(flags & FILE_SUPPORTS_HARD_LINKS) && ::lstrcmpiW(fileSystem, L"NTFS") != 0) return NoBin(path);
    if (NukesOnDelete(root)) return NoBin(path);
    return Status::Ok();
}

// What the file system says of an entry itself (a link is not followed).
bool ReadFileInfo(const std::wstring& path, BY_HANDLE_FILE_INFORMATION& info) {
    UniqueFileHandle file(::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                        nullptr));
    return file && ::GetFileInformationByHandle(file.Get(), &info);
}

bool SameObject(const BY_HANDLE_FILE_INFORMATION& a, const BY_HANDLE_FILE_INFORMATION& b) {
    return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
           a.nFileIndexLow == b.nFileIndexLow;
}

// Only a plain file goes to the bin.
Status CheckRecyclable(const std::wstring& full, const std::string& path) {
    const DWORD attributes = ::GetFileAttributesW(full.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return FromWin32(::GetLastError(), path);
    // A link stays a link: a hard link cannot hold a folder link, and some shells walked into a
    // junction's target when deleting it.
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return Status(ErrorKind::Unsupported, ERROR_NOT_SUPPORTED, path);
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return Status(ErrorKind::IsADirectory, ERROR_ACCESS_DENIED, path);
    // The keeping link shares the attribute: it could not go without making the bin's file writable.
    if (attributes & FILE_ATTRIBUTE_READONLY) return FromWin32(ERROR_ACCESS_DENIED, path);
    return Status::Ok();
}

// A second name for the file under a fresh temporary name in its folder, and the file's link
// count with it. ERROR_SUCCESS or the error; nothing is left behind on failure.
DWORD MakeKeeper(const std::wstring& full, std::wstring& keeper, DWORD& links) {
    const std::wstring folder = full.substr(0, full.find_last_of(L'\\') + 1);
    DWORD error = ERROR_ALREADY_EXISTS;
    for (int attempt = 0; attempt < 100 && (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS);
         ++attempt) {
        keeper = ExtendedIfLong(folder + TemporaryName());
        error = ::CreateHardLinkW(keeper.c_str(), full.c_str(), nullptr) ? ERROR_SUCCESS : ::GetLastError();
    }
    if (error != ERROR_SUCCESS) return error;
    BY_HANDLE_FILE_INFORMATION info;
    if (!ReadFileInfo(keeper, info)) {
        error = ::GetLastError();
        ::DeleteFileW(keeper.c_str());
        return error;
    }
    links = info.nNumberOfLinks;
    return ERROR_SUCCESS;
}

// A keeping name that stays after all is a temporary file of ours: a later move reports it, and
// the bin has the file too.
void RemoveKeeper(const std::wstring& keeper) {
    for (int attempt = 0; attempt < kRemoveAttempts; ++attempt) {
        if (::DeleteFileW(keeper.c_str())) return;
        const DWORD error = ::GetLastError();
        if (error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED) return;
        ::Sleep(kRemovePauseMs);
    }
}

// The shell's own result, or for a delete it reports as done with an abort the cancel code.
int ShellDelete(const Win32FileSystem::ShellFileOperation& shell, const std::wstring& full) {
    const std::wstring list = full + std::wstring(2, L'\0');
    SHFILEOPSTRUCTW operation{};
    operation.hwnd = nullptr;
    operation.wFunc = FO_DELETE;
    operation.pFrom = list.c_str();
    operation.pTo = nullptr;
    operation.fFlags = kRecycleFlags;
    operation.fAnyOperationsAborted = FALSE;
    operation.hNameMappings = nullptr;
    operation.lpszProgressTitle = nullptr;
    const int result = shell(operation);
    if (result == 0 && operation.fAnyOperationsAborted) return ERROR_CANCELLED;
    return result;
}

// After the shell's delete: keeps the bin's success, or brings the file back under its name.
Status Settle(const std::wstring& full, const std::wstring& keeper, DWORD linksBefore, int result,
              const std::string& path) {
    BY_HANDLE_FILE_INFORMATION kept;
    const bool counted = ReadFileInfo(keeper, kept);
    BY_HANDLE_FILE_INFORMATION there;
    const bool present = ReadFileInfo(full, there);
    const std::int64_t code = result != 0 ? result : ERROR_NOT_SUPPORTED;
    // The bin renames the file, so its link count stays; a delete for good lowers it.
    if (!present && counted && kept.nNumberOfLinks == linksBefore && result == 0) {
        RemoveKeeper(keeper);
        return Status::Ok();
    }
    if (present) {
        // The shell left the file: the keeping name goes. Anything else now at the name is not
        // ours to judge, and the file stays under the temporary name beside it.
        if (counted && SameObject(kept, there)) RemoveKeeper(keeper);
        return Status(ErrorKind::Other, code, path);
    }
    // Deleted for good, or kept by the bin only as a copy: the file takes its name back.
    if (!::MoveFileExW(keeper.c_str(), full.c_str(), MOVEFILE_WRITE_THROUGH))
        return FromWin32(::GetLastError(), path);
    return Status(ErrorKind::Unsupported, code, path);
}

}  // namespace

Status FindRecycleBin(const std::string& path) {
    std::wstring full;
    if (Status status = ShellPath(path, full); !status) return status;
    return FindBinForFullPath(full, path);
}

Status RecycleFile(const Win32FileSystem::ShellFileOperation& shell, const std::string& path) {
    std::wstring full;
    if (Status status = ShellPath(path, full); !status) return status;
    if (Status status = FindBinForFullPath(full, path); !status) return status;
    if (Status status = CheckRecyclable(full, path); !status) return status;
    std::wstring keeper;
    DWORD links = 0;
    // Without a second name the guard cannot hold: the file stays.
    if (const DWORD error = MakeKeeper(full, keeper, links)) {
        const bool noLinks = error == ERROR_INVALID_FUNCTION || error == ERROR_NOT_SUPPORTED;
        return noLinks ? NoBin(path) : FromWin32(error, path);
    }
    return Settle(full, keeper, links, ShellDelete(shell, full), path);
}

}  // namespace tandemere::win32
