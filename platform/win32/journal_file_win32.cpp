// Platform layer (Win32): the extension's journal folder, names and one-write appends.
#include "platform/win32/journal_file_win32.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>

#include "platform/win32/drop_facts_win32.h"
#include "platform/win32/file_system_win32.h"
#include "platform/win32/utf16_win32.h"

namespace tandemere::win32 {
namespace {

engine::Status FromLastError(const std::string& path) {
    const DWORD error = ::GetLastError();
    return engine::Status(ErrorKindFromWin32(error), static_cast<std::int64_t>(error), path);
}

// Makes one folder; an existing one is fine.
bool MakeFolder(const std::string& folder) {
    std::wstring wide;
    if (!Utf8ToUtf16(folder, wide)) return false;
    return ::CreateDirectoryW(wide.c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS;
}

}  // namespace

std::string DefaultJournalFolder() {
    const std::string local = LocalAppDataFolder();
    return local.empty() ? std::string() : local + "\\Tandemere\\moves";
}

void NowForJournal(std::string& name, std::string& text) {
    SYSTEMTIME now{};
    ::GetSystemTime(&now);
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%04u%02u%02uT%02u%02u%02u.%03u000Z", now.wYear, now.wMonth,
                  now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds);
    name = buffer;
    std::snprintf(buffer, sizeof buffer, "%04u-%02u-%02uT%02u:%02u:%02uZ", now.wYear, now.wMonth, now.wDay,
                  now.wHour, now.wMinute, now.wSecond);
    text = buffer;
}

engine::Status Win32JournalFile::Create(const std::string& folder, const std::string& name,
                                        std::string& path) {
    path = folder;
    const std::size_t cut = folder.rfind('\\');
    if (folder.empty() || cut == std::string::npos || !MakeFolder(folder.substr(0, cut)) ||
        !MakeFolder(folder))
        return m_oFailure = FromLastError(folder);
    for (int attempt = 1; attempt < 100; ++attempt) {
        path = folder + "\\" + (attempt == 1 ? name : name + "-" + std::to_string(attempt)) + ".journal";
        std::wstring wide;
        if (!Utf8ToUtf16(path, wide)) return engine::Status(engine::ErrorKind::Other, 0, path);
        // FILE_APPEND_DATA alone: every write goes to the end, so lines never overlap.
        m_hFile.Reset(::CreateFileW(wide.c_str(), FILE_APPEND_DATA | SYNCHRONIZE, FILE_SHARE_READ, nullptr,
                                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (m_hFile.IsValid()) {
            m_strPath = path;
            return engine::Status::Ok();
        }
        if (::GetLastError() != ERROR_FILE_EXISTS) break;
    }
    return m_oFailure = FromLastError(path);
}

engine::Status Win32JournalFile::AppendLine(const std::string& line) {
    DWORD written = 0;
    if (!m_oFailure) return m_oFailure;
    if (!m_hFile.IsValid() ||
        !::WriteFile(m_hFile.Get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr))
        return FromLastError(m_strPath);
    // A short write leaves a torn line, which readers skip; what follows must not join it.
    if (written != line.size()) {
        m_hFile.Reset();
        return engine::Status(engine::ErrorKind::Io, ERROR_DISK_FULL, m_strPath);
    }
    return engine::Status::Ok();
}

std::vector<std::string> ListJournals(const std::string& folder) {
    std::vector<std::string> names;
    std::wstring pattern;
    if (folder.empty() || !Utf8ToUtf16(folder + "\\*.journal", pattern)) return names;
    WIN32_FIND_DATAW found{};
    const UniqueFindHandle find(::FindFirstFileW(pattern.c_str(), &found));
    if (!find.IsValid()) return names;
    do {
        std::string name;
        // The pattern also matches names whose short form ends so: only ".journal" itself counts.
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || !Utf16ToUtf8(found.cFileName, name) ||
            name.size() <= 8 || name.compare(name.size() - 8, 8, ".journal") != 0)
            continue;
        names.push_back(name.substr(0, name.size() - 8));
    } while (::FindNextFileW(find.Get(), &found));
    std::sort(names.begin(), names.end());
    return names;
}

void PruneJournals(const std::string& folder, const std::string& now, std::uint32_t maxDays,
                   std::uint32_t maxCount) {
    for (const std::string& name : engine::JournalsToPrune(ListJournals(folder), now, maxDays, maxCount)) {
        std::wstring wide;
        if (Utf8ToUtf16(folder + "\\" + name + ".journal", wide)) (void)::DeleteFileW(wide.c_str());
    }
}

}  // namespace tandemere::win32
