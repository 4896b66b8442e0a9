// Test support: reading trash folders, and (POSIX only) sharing /dev/shm's trash between test processes.
#include "tests/support/trash_contents.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <sstream>

#include "tests/support/temp_folder.h"

namespace tandemere::testing {
namespace {

constexpr std::string_view kInfoSuffix = ".trashinfo";

std::string KeyValue(const std::string& text, std::string_view key) {
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line))
        if (line.starts_with(key)) return line.substr(key.size());
    return {};
}

// The folder a relative Path starts from: the top folder of a $top/.Trash-$uid or $top/.Trash/$uid
// trash; empty for any other (a home trash gives absolute paths).
std::string TopFolderOf(const std::string& trash) {
    const std::filesystem::path path = PathFromUtf8(trash);
    if (Utf8FromPath(path.filename()).starts_with(".Trash-")) return Utf8FromPath(path.parent_path());
    if (path.parent_path().filename() == ".Trash") return Utf8FromPath(path.parent_path().parent_path());
    return {};
}

}  // namespace

std::string DecodeTrashPath(std::string_view encoded) {
    std::string decoded;
    for (std::size_t i = 0; i < encoded.size(); ++i) {
        if (encoded[i] == '%' && i + 2 < encoded.size()) {
            decoded += static_cast<char>(std::stoi(std::string(encoded.substr(i + 1, 2)), nullptr, 16));
            i += 2;
        } else {
            decoded += encoded[i];
        }
    }
    return decoded;
}

std::vector<TrashedEntry> ListTrash(const std::string& trash) {
    std::vector<TrashedEntry> entries;
    std::error_code error;
    for (const auto& item :
         std::filesystem::directory_iterator(PathFromUtf8(JoinPath(trash, "info")), error)) {
        const std::string name = Utf8FromPath(item.path().filename());
        if (!name.ends_with(kInfoSuffix)) continue;
        TrashedEntry entry;
        entry.m_strName = name.substr(0, name.size() - kInfoSuffix.size());
        entry.m_strText = TryReadFile(JoinPath(trash, "info/" + name)).value_or("");
        entry.m_strPath = DecodeTrashPath(KeyValue(entry.m_strText, "Path="));
        if (!entry.m_strPath.empty() && !PathFromUtf8(entry.m_strPath).is_absolute() &&
            !TopFolderOf(trash).empty())
            entry.m_strPath = JoinPath(TopFolderOf(trash), entry.m_strPath);
        entry.m_strDate = KeyValue(entry.m_strText, "DeletionDate=");
        entries.push_back(std::move(entry));
    }
    std::sort(entries.begin(), entries.end(),
              [](const TrashedEntry& a, const TrashedEntry& b) { return a.m_strName < b.m_strName; });
    return entries;
}

#ifndef _WIN32

std::string ShmTrash() {
    return "/dev/shm/.Trash-" + std::to_string(::geteuid());
}

ShmTrashUse::ShmTrashUse(std::string below) : m_strBelow(std::move(below)) {
    // The lock is on /dev/shm itself, so nothing is left behind for it.
    m_nLockFd = ::open("/dev/shm", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_nLockFd >= 0) ::flock(m_nLockFd, LOCK_SH);
}

ShmTrashUse::~ShmTrashUse() {
    const std::string trash = ShmTrash();
    for (const TrashedEntry& entry : ListTrash(trash)) {
        if (!entry.m_strPath.starts_with(m_strBelow + "/")) continue;
        std::error_code ignored;
        std::filesystem::remove_all(trash + "/files/" + entry.m_strName, ignored);
        std::filesystem::remove(trash + "/info/" + entry.m_strName + std::string(kInfoSuffix), ignored);
    }
    if (m_nLockFd < 0) return;
    // Only the last user takes the trash away, and only when nothing else is in it. A .trashinfo
    // that names no path is one whose writing a fault broke and whose removal failed too: with no
    // test writing one now, it goes.
    if (::flock(m_nLockFd, LOCK_EX | LOCK_NB) == 0) {
        for (const TrashedEntry& entry : ListTrash(trash))
            if (entry.m_strPath.empty())
                ::unlink((trash + "/info/" + entry.m_strName + ".trashinfo").c_str());
        ::rmdir((trash + "/files").c_str());
        ::rmdir((trash + "/info").c_str());
        ::rmdir(trash.c_str());
    }
    ::close(m_nLockFd);
}

#endif  // _WIN32

}  // namespace tandemere::testing
