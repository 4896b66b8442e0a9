// Platform layer (POSIX): the journals' folder, their names and the one-write appends.
#include "platform/posix/journal_file_posix.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>

#include "platform/posix/posix_io.h"
#include "platform/posix/user_files_posix.h"

namespace tandemere::posix {
namespace {

constexpr const char* kSuffix = ".journal";
constexpr std::size_t kSuffixLength = 8;

}  // namespace

std::string DefaultJournalFolder() {
    return XdgBaseFolder("XDG_STATE_HOME", ".local/state") + "/tandemere/moves";
}

JournalTime NowForJournal() {
    struct timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    std::tm parts{};
    ::gmtime_r(&now.tv_sec, &parts);
    char name[96];
    char text[40];
    std::snprintf(name, sizeof name, "%04d%02d%02dT%02d%02d%02d.%06ldZ", parts.tm_year + 1900,
                  parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec,
                  now.tv_nsec / 1000);
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
    return {name, text};
}

engine::Status PosixJournalFile::Create(const std::string& folder, const std::string& name,
                                        std::string& path) {
    if (!MakeFolders(folder)) return StatusFromErrno(errno, folder);
    for (int attempt = 1; attempt < 100; ++attempt) {
        path = JournalPath(folder, attempt == 1 ? name : name + "-" + std::to_string(attempt));
        m_hFile.Reset(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC, 0600));
        if (m_hFile.IsValid()) {
            m_strPath = path;
            return engine::Status::Ok();
        }
        if (errno != EEXIST) break;
    }
    return StatusFromErrno(errno, path);
}

engine::Status PosixJournalFile::OpenExisting(const std::string& path) {
    m_strPath = path;
    m_hFile.Reset(::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC));
    return m_hFile.IsValid() ? engine::Status::Ok() : StatusFromErrno(errno, path);
}

engine::Status PosixJournalFile::AppendLine(const std::string& line) {
    if (!m_hFile.IsValid()) return StatusFromErrno(EBADF, m_strPath);
    ssize_t written = 0;
    do {
        written = ::write(m_hFile.Get(), line.data(), line.size());
    } while (written < 0 && errno == EINTR);
    if (written < 0) return StatusFromErrno(errno, m_strPath);
    // A short write leaves a torn line, which readers skip; what follows must not join it.
    if (static_cast<std::size_t>(written) != line.size()) {
        m_hFile.Reset();
        return StatusFromErrno(ENOSPC, m_strPath);
    }
    return engine::Status::Ok();
}

std::vector<std::string> ListJournals(const std::string& folder) {
    std::vector<std::string> names;
    UniqueDir dir(::opendir(folder.c_str()));
    if (!dir.IsValid()) return names;
    while (const dirent* item = ::readdir(dir.Get())) {
        const std::string name = item->d_name;
        if (name.size() > kSuffixLength &&
            name.compare(name.size() - kSuffixLength, kSuffixLength, kSuffix) == 0)
            names.push_back(name.substr(0, name.size() - kSuffixLength));
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string JournalPath(const std::string& folder, const std::string& name) {
    return folder + "/" + name + kSuffix;
}

void PruneJournals(const std::string& folder, const std::string& now, std::uint32_t maxDays,
                   std::uint32_t maxCount) {
    for (const std::string& name : engine::JournalsToPrune(ListJournals(folder), now, maxDays, maxCount))
        ::unlink(JournalPath(folder, name).c_str());
}

}  // namespace tandemere::posix
