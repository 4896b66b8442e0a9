// Test support (POSIX only): a limit on the size of the files this process writes, so a copy fails
// part-way with EFBIG as it would on a full disk.
#pragma once

#include <sys/resource.h>

#include <csignal>

namespace tandemere::testing {

// Sets the limit for its lifetime, with SIGXFSZ ignored so the write fails instead of the process.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &m_oSaved);
        m_pfnSaved = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit = m_oSaved;
        limit.rlim_cur = bytes;
        m_bActive = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &m_oSaved);
        std::signal(SIGXFSZ, m_pfnSaved);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    bool IsActive() const { return m_bActive; }

private:
    struct rlimit m_oSaved {};
    void (*m_pfnSaved)(int) = nullptr;
    bool m_bActive = false;
};

}  // namespace tandemere::testing
