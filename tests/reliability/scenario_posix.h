// Reliability tests (POSIX only): pipes, permission bits and system-call faults for the scenarios,
// and a batch run as an unprivileged user in a child process.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tests/reliability/scenario_run.h"
#include "tests/support/syscall_faults_posix.h"

namespace tandemere::testing {

class PosixScenarioPlatform : public IScenarioPlatform {
public:
    bool MakeSpecial(const PlannedEntry& entry, const std::string& path) override;
    void BeforeMove(const Scenario& scenario, const std::vector<std::string>& paths) override;
    int AfterMove(const std::vector<std::string>& roots, bool& cleanupMayFail) override;

private:
    std::unique_ptr<SyscallFaults> m_pFaults;
    int m_nFirstUnlinkFault = 0;  // the first unlink made to fail, 0 for none
    bool m_bModesChanged = false;
};

// The user and group the unprivileged runs take (nobody, nogroup).
inline constexpr unsigned kUnprivilegedId = 65534;

// Runs the scenarios of `seeds` in a child process that, when started as root, gives up root for
// kUnprivilegedId first, so read-only and unreadable entries refuse it as they refuse a user.
// The child reports each scenario's outcome to this process through a pipe.
BatchResult RunUnprivilegedBatch(const std::vector<std::uint64_t>& seeds, const ScenarioOptions& options);

}  // namespace tandemere::testing
