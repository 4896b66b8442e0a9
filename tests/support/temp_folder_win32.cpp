// Test support (Windows only): links, exact times and safe removal for the temporary-folder helpers.
#ifdef _WIN32

#include "tests/support/temp_folder_win32.h"

#include <windows.h>
#include <winioctl.h>

#include <algorithm>

#include "platform/win32/unique_handle_win32.h"

namespace tandemere::testing::win32 {
namespace {

using tandemere::win32::UniqueFileHandle;
using tandemere::win32::UniqueFindHandle;

// Test paths are UTF-8 like the engine's; kept apart from the backend's own conversion on purpose.
std::wstring Wide(const std::string& path) {
    const int length = static_cast<int>(path.size());
    std::wstring wide(
        static_cast<std::size_t>(::MultiByteToWideChar(CP_UTF8, 0, path.data(), length, nullptr, 0)), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, path.data(), length, wide.data(), static_cast<int>(wide.size()));
    return wide;
}

std::string Narrow(const std::wstring& wide) {
    const int length = static_cast<int>(wide.size());
    std::string text(static_cast<std::size_t>(::WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, nullptr,
                                                                    0, nullptr, nullptr)),
                     '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, text.data(), static_cast<int>(text.size()),
                          nullptr, nullptr);
    return text;
}

std::string Failure(const char* what, const std::string& path) {
    return std::string(what) + " failed for " + path + " with error " + std::to_string(::GetLastError());
}

// The layout of the symbolic-link and mount-point reparse data (ntifs.h, not in mingw's headers).
struct ReparseHeader {
    ULONG m_nTag;
    USHORT m_nDataLength;
    USHORT m_nReserved;
    USHORT m_nSubstituteOffset;
    USHORT m_nSubstituteLength;
    USHORT m_nPrintOffset;
    USHORT m_nPrintLength;
};

void ListInto(const std::wstring& folder, const std::string& prefix, std::vector<std::string>& lines) {
    WIN32_FIND_DATAW data;
    UniqueFindHandle find(::FindFirstFileW((folder + L"\\*").c_str(), &data));
    if (!find) return;
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring path = folder + L"\\" + name;
        const std::string relative = prefix + Narrow(name);
        if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
            lines.push_back(relative + " -> " + LinkTarget(Narrow(path)).value_or("?"));
        } else if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            lines.push_back(relative + "/");
            ListInto(path, relative + "/", lines);
        } else {
            const std::uint64_t size =
                (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
            lines.push_back(relative + " (" + std::to_string(size) + ")");
        }
    } while (::FindNextFileW(find.Get(), &data));
}

bool RemoveInto(const std::wstring& folder) {
    bool ok = true;
    {
        WIN32_FIND_DATAW data;
        UniqueFindHandle find(::FindFirstFileW((folder + L"\\*").c_str(), &data));
        if (find) {
            do {
                const std::wstring name = data.cFileName;
                if (name == L"." || name == L"..") continue;
                const std::wstring path = folder + L"\\" + name;
                const DWORD attributes = data.dwFileAttributes;
                if (attributes & FILE_ATTRIBUTE_READONLY)
                    ::SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
                // A link (to a folder or not) goes as itself; only real folders are entered.
                if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
                    ok = RemoveInto(path) && ok;
                else if (attributes & FILE_ATTRIBUTE_DIRECTORY)
                    ok = ::RemoveDirectoryW(path.c_str()) && ok;
                else
                    ok = ::DeleteFileW(path.c_str()) && ok;
            } while (::FindNextFileW(find.Get(), &data));
        }
    }
    const DWORD attributes = ::GetFileAttributesW(folder.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        ::SetFileAttributesW(folder.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    return ::RemoveDirectoryW(folder.c_str()) && ok;
}

}  // namespace

std::string SetLastWriteTicks(const std::string& path, std::uint64_t ticks) {
    UniqueFileHandle file(::CreateFileW(Wide(path).c_str(), FILE_WRITE_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file) return Failure("CreateFileW", path);
    FILETIME time;
    time.dwLowDateTime = static_cast<DWORD>(ticks);
    time.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    if (!::SetFileTime(file.Get(), nullptr, nullptr, &time)) return Failure("SetFileTime", path);
    return {};
}

std::string WriteSparseFile(const std::string& path, std::uint64_t size, char last) {
    UniqueFileHandle file(::CreateFileW(Wide(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                        CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return Failure("CreateFileW", path);
    // Where the volume cannot mark it sparse, the zeros are simply written out.
    DWORD returned = 0;
    ::DeviceIoControl(file.Get(), FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr);
    LARGE_INTEGER position;
    position.QuadPart = static_cast<LONGLONG>(size - 1);
    if (!::SetFilePointerEx(file.Get(), position, nullptr, FILE_BEGIN))
        return Failure("SetFilePointerEx", path);
    DWORD written = 0;
    if (!::WriteFile(file.Get(), &last, 1, &written, nullptr) || written != 1)
        return Failure("WriteFile", path);
    return {};
}

std::optional<std::uint64_t> LastWriteTicks(const std::string& path) {
    UniqueFileHandle file(::CreateFileW(Wide(path).c_str(), FILE_READ_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    FILETIME time;
    if (!file || !::GetFileTime(file.Get(), nullptr, nullptr, &time)) return std::nullopt;
    return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

std::string MakeSymbolicLink(const std::string& target, const std::string& link) {
    std::wstring wideTarget = Wide(target);
    std::replace(wideTarget.begin(), wideTarget.end(), L'/', L'\\');
    const std::wstring wideLink = Wide(link);
    // A link to a folder must say so when it is made; a relative target is read from the link's folder.
    std::wstring resolved = wideTarget;
    const bool absolute = wideTarget.size() >= 2 && (wideTarget[1] == L':' || wideTarget[0] == L'\\');
    if (!absolute) resolved = wideLink.substr(0, wideLink.find_last_of(L'\\') + 1) + wideTarget;
    const DWORD attributes = ::GetFileAttributesW(resolved.c_str());
    DWORD flags = 0x2;  // SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        flags |= SYMBOLIC_LINK_FLAG_DIRECTORY;
    // Older systems refuse the unprivileged flag itself.
    if (!::CreateSymbolicLinkW(wideLink.c_str(), wideTarget.c_str(), flags) &&
        !::CreateSymbolicLinkW(wideLink.c_str(), wideTarget.c_str(), flags & ~0x2u))
        return Failure("CreateSymbolicLinkW", link);
    // Some emulations report success and make nothing.
    const DWORD made = ::GetFileAttributesW(wideLink.c_str());
    if (made == INVALID_FILE_ATTRIBUTES || !(made & FILE_ATTRIBUTE_REPARSE_POINT))
        return "CreateSymbolicLinkW reported success but made no link at " + link;
    return {};
}

std::optional<std::string> LinkTarget(const std::string& path) {
    const std::wstring wide = Wide(path);
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return std::nullopt;
    UniqueFileHandle file(::CreateFileW(
        wide.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file) return std::string("?");
    alignas(ULONG) unsigned char buffer[MAXIMUM_REPARSE_DATA_BUFFER_SIZE];
    DWORD got = 0;
    if (!::DeviceIoControl(file.Get(), FSCTL_GET_REPARSE_POINT, nullptr, 0, buffer, sizeof buffer, &got,
                           nullptr) ||
        got < sizeof(ReparseHeader))
        return std::string("?");
    const auto* header = reinterpret_cast<const ReparseHeader*>(buffer);
    // Symbolic links carry a flags word before their names; mount points (junctions) do not.
    std::size_t names = sizeof(ReparseHeader);
    if (header->m_nTag == IO_REPARSE_TAG_SYMLINK)
        names += sizeof(ULONG);
    else if (header->m_nTag != IO_REPARSE_TAG_MOUNT_POINT)
        return std::string("?");
    const bool usePrint = header->m_nPrintLength > 0;
    const std::size_t offset = names + (usePrint ? header->m_nPrintOffset : header->m_nSubstituteOffset);
    const std::size_t length = usePrint ? header->m_nPrintLength : header->m_nSubstituteLength;
    if (offset + length > got) return std::string("?");
    std::wstring target(length / sizeof(wchar_t), L'\0');
    std::copy_n(buffer + offset, length, reinterpret_cast<unsigned char*>(target.data()));
    return Narrow(target);
}

bool Exists(const std::string& path) {
    return ::GetFileAttributesW(Wide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string RemoveTree(const std::string& root) {
    if (!RemoveInto(Wide(root))) return Failure("removing the tree", root);
    return {};
}

std::vector<std::string> ListTree(const std::string& root) {
    std::vector<std::string> lines;
    ListInto(Wide(root), "", lines);
    std::sort(lines.begin(), lines.end());
    return lines;
}

}  // namespace tandemere::testing::win32

#endif  // _WIN32
