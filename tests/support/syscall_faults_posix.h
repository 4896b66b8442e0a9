// Test support (POSIX only): makes chosen system calls of the backend fail, to reach its error paths.
#pragma once

#include <array>
#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/posix/posix_syscalls.h"

namespace tandemere::testing {

// Installs itself as the backend's system-call table for its lifetime; the previous table comes
// back on destruction. Every call is counted per kind, from 1, failing ones included. A failing
// call does not reach the system: it returns -1 with the chosen errno. One instance at a time.
class SyscallFaults {
public:
    enum class Call : std::uint8_t {
        OpenAt,
        Read,
        Write,
        CopyFileRange,
        Fsync,
        Fchmod,
        Futimens,
        MkdirAt,
        SymlinkAt,
        RenameAt2,
        LinkAt,
        UnlinkAt,
        Fchown,
        UtimensAt,
    };
    static constexpr std::size_t kCallCount = 14;

    SyscallFaults();
    ~SyscallFaults();
    SyscallFaults(const SyscallFaults&) = delete;
    SyscallFaults& operator=(const SyscallFaults&) = delete;

    // Calls of the kind numbered from..to (1-based, counted among those whose path contains
    // `pathPart`; every call when it is empty) fail with `error`. A path is the name the call
    // creates, opens or removes (for a rename or link, the old name).
    void Fail(Call call, int from, int to, int error, std::string pathPart = {});
    void FailNth(Call call, int n, int error, std::string pathPart = {}) {
        Fail(call, n, n, error, std::move(pathPart));
    }
    void FailFrom(Call call, int n, int error, std::string pathPart = {}) {
        Fail(call, n, INT_MAX, error, std::move(pathPart));
    }

    int Calls(Call call) const { return m_lstCalls[static_cast<std::size_t>(call)]; }
    int Faults() const { return m_nFaults; }

    // Counts a call of the installed table; true (errno set) when it must fail.
    bool Enter(Call call, const char* path);
    // Where a call that does not fail goes on to.
    const posix::PosixSyscalls& Next() const { return m_oScope.Saved(); }

private:
    struct Rule {
        Call m_nCall;
        int m_nFrom;
        int m_nTo;  // inclusive
        int m_nErrno;
        std::string m_strPathPart;
        int m_nSeen;  // matching calls so far
    };

    std::vector<Rule> m_lstRules;
    std::array<int, kCallCount> m_lstCalls{};
    int m_nFaults = 0;
    posix::ScopedSyscalls m_oScope;
};

const char* CallName(SyscallFaults::Call call);

}  // namespace tandemere::testing
