// Platform layer (Win32): the known folders and volume mount points for the refusal rule.
#include "platform/win32/drop_facts_win32.h"

#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

#include <vector>

#include "engine/path.h"
#include "platform/win32/utf16_win32.h"

namespace tandemere::win32 {
namespace {

// Frees what SHGetKnownFolderPath allocated, on every path.
class CTaskMemText {
public:
    ~CTaskMemText() { ::CoTaskMemFree(m_pszText); }
    PWSTR* Receive() { return &m_pszText; }
    PCWSTR Get() const { return m_pszText; }

private:
    PWSTR m_pszText = nullptr;
};

std::string KnownFolder(REFKNOWNFOLDERID id) {
    CTaskMemText path;
    std::string text;
    if (FAILED(::SHGetKnownFolderPath(id, KF_FLAG_DONT_VERIFY, nullptr, path.Receive())) || !path.Get() ||
        !Utf16ToUtf8(path.Get(), text))
        return {};
    return text;
}

// The long spelling of an existing path, or empty.
std::wstring LongPathOf(const std::wstring& path) {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            ::GetLongPathNameW(path.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) return {};
        if (length < buffer.size()) return buffer.substr(0, length);
        buffer.resize(length);
    }
}

// Whether the folder is the root of a volume mounted there (a drive letter's root included).
bool IsMountPoint(const std::wstring& path) {
    std::wstring volume(path.size() + 2, L'\0');
    if (!::GetVolumePathNameW(path.c_str(), volume.data(), static_cast<DWORD>(volume.size()))) return false;
    volume.resize(::wcslen(volume.c_str()));
    std::wstring folder = path;
    if (folder.empty() || folder.back() != L'\\') folder += L'\\';
    return ::CompareStringOrdinal(volume.c_str(), -1, folder.c_str(), -1, TRUE) == CSTR_EQUAL;
}

}  // namespace

std::string LocalAppDataFolder() {
    return KnownFolder(FOLDERID_LocalAppData);
}

engine::ProtectedFolders WindowsProtectedFolders() {
    engine::ProtectedFolders folders;
    folders.m_strHome = KnownFolder(FOLDERID_Profile);
    for (REFKNOWNFOLDERID id :
         {FOLDERID_Windows, FOLDERID_ProgramFiles, FOLDERID_ProgramFilesX86, FOLDERID_ProgramFilesX64})
        if (std::string folder = KnownFolder(id); !folder.empty())
            folders.m_lstSystem.push_back(std::move(folder));
    // A 32-bit process is not told the 64-bit Program Files folder; the environment names it.
    wchar_t native[MAX_PATH] = {};
    std::string folder;
    const DWORD length = ::GetEnvironmentVariableW(L"ProgramW6432", native, MAX_PATH);
    if (length > 0 && length < MAX_PATH && Utf16ToUtf8(native, folder)) folders.m_lstSystem.push_back(folder);
    return folders;
}

engine::DroppedItem LookAtDroppedItem(const std::string& path) {
    engine::DroppedItem item{path, {}, false};
    std::wstring wide;
    if (!Utf8ToUtf16(path, wide)) return item;
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
        return item;
    const std::wstring longPath = LongPathOf(wide);
    if (!longPath.empty()) Utf16ToUtf8(longPath, item.m_strResolved);
    item.m_bMountTop = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
                       !engine::IsRoot(engine::kWindowsPaths, path) &&
                       IsMountPoint(longPath.empty() ? wide : longPath);
    return item;
}

}  // namespace tandemere::win32
