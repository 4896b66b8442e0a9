// Platform layer (POSIX): move-only owners of file descriptors and directory streams.
#pragma once

#include <dirent.h>
#include <unistd.h>

#include <cerrno>

namespace tandemere::posix {

// Closes the descriptor on every path; keeps the caller's errno across its own close.
class UniqueFd {
public:
    explicit UniqueFd(int fd = -1) noexcept : m_nFd(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : m_nFd(other.Release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd() { Reset(); }

    bool IsValid() const { return m_nFd >= 0; }
    int Get() const { return m_nFd; }
    int Release() noexcept {
        const int fd = m_nFd;
        m_nFd = -1;
        return fd;
    }
    void Reset(int fd = -1) noexcept {
        if (m_nFd >= 0) {
            const int saved = errno;
            ::close(m_nFd);
            errno = saved;
        }
        m_nFd = fd;
    }
    // Closes now and reports the close's own error (a late write error shows up here): 0 or errno.
    int Close() noexcept {
        if (m_nFd < 0) return 0;
        const int result = ::close(Release());
        return result == 0 ? 0 : errno;
    }

private:
    int m_nFd;
};

// Closes a directory stream on every path; keeps errno across its own close.
class UniqueDir {
public:
    explicit UniqueDir(DIR* dir = nullptr) noexcept : m_pDir(dir) {}
    UniqueDir(UniqueDir&& other) noexcept : m_pDir(other.m_pDir) { other.m_pDir = nullptr; }
    UniqueDir& operator=(UniqueDir&& other) noexcept {
        if (this != &other) {
            Reset(other.m_pDir);
            other.m_pDir = nullptr;
        }
        return *this;
    }
    UniqueDir(const UniqueDir&) = delete;
    UniqueDir& operator=(const UniqueDir&) = delete;
    ~UniqueDir() { Reset(); }

    bool IsValid() const { return m_pDir != nullptr; }
    DIR* Get() const { return m_pDir; }
    void Reset(DIR* dir = nullptr) noexcept {
        if (m_pDir != nullptr) {
            const int saved = errno;
            ::closedir(m_pDir);
            errno = saved;
        }
        m_pDir = dir;
    }

private:
    DIR* m_pDir;
};

}  // namespace tandemere::posix
