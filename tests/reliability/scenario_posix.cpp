// Reliability tests (POSIX only): the platform's part of a scenario and the unprivileged batch.
#ifndef _WIN32

#include "tests/reliability/scenario_posix.h"

#include <dirent.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <sstream>

namespace tandemere::testing {
namespace {

// The last two calls (fchown, utimensat of a link) are ones whose failure the backend ignores.
static_assert(SyscallFaults::kCallCount == 14, "the generator's table of calls follows SyscallFaults::Call");

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};

// Gives the owner back every right below `path` (links are left alone), so the trees can be read
// and removed again.
void OpenUp(const std::string& path) {
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0) return;
    if (S_ISREG(st.st_mode)) {
        ::chmod(path.c_str(), (st.st_mode & 07777) | 0600);
        return;
    }
    if (!S_ISDIR(st.st_mode)) return;
    ::chmod(path.c_str(), 0755);
    std::unique_ptr<DIR, DirCloser> dir(::opendir(path.c_str()));
    if (!dir) return;
    std::vector<std::string> names;
    while (const dirent* item = ::readdir(dir.get())) {
        const std::string name = item->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    for (const std::string& name : names) OpenUp(path + "/" + name);
}

bool WriteAllTo(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t wrote = ::write(fd, text.data() + done, text.size() - done);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) return false;
        done += static_cast<std::size_t>(wrote);
    }
    return true;
}

std::string ReadAllFrom(int fd) {
    std::string text;
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return text;
        text.append(buffer, static_cast<std::size_t>(got));
    }
}

// The child's part: give up root, run every scenario, write one record each: a header line
// "seed faults lost length logLength trashed", then the report and the log of those lengths.
[[noreturn]] void RunChild(int out, const std::vector<std::uint64_t>& seeds, const ScenarioOptions& options) {
    if (::geteuid() == 0 && (::setgroups(0, nullptr) != 0 ||
                             ::setresgid(kUnprivilegedId, kUnprivilegedId, kUnprivilegedId) != 0 ||
                             ::setresuid(kUnprivilegedId, kUnprivilegedId, kUnprivilegedId) != 0)) {
        WriteAllTo(out, "error could not give up root\n");
        ::_exit(1);
    }
    PosixScenarioPlatform platform;
    for (std::uint64_t seed : seeds) {
        const ScenarioOutcome outcome = RunScenario(GenerateScenario(seed, options), platform);
        // The log travels only with a finding, or when a single scenario is run again.
        const std::string log =
            outcome.m_strReport.empty() && seeds.size() > 1 ? std::string() : outcome.m_strLog;
        std::ostringstream header;
        header << outcome.m_nSeed << " " << outcome.m_nFaults << " " << (outcome.m_bLost ? 1 : 0) << " "
               << outcome.m_strReport.size() << " " << log.size() << " " << outcome.m_nTrashed << " "
               << outcome.m_nSearchTree << " " << outcome.m_nElsewhere << " " << outcome.m_nFoldersMade << " "
               << outcome.m_nUndos << " " << outcome.m_nRestored << " " << outcome.m_nRefusedChanged << "\n";
        if (!WriteAllTo(out, header.str() + outcome.m_strReport + log)) ::_exit(1);
    }
    ::_exit(0);
}

void ParseRecords(const std::string& text, BatchResult& result) {
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = text.find('\n', at);
        if (end == std::string::npos) break;
        std::istringstream header(text.substr(at, end - at));
        ScenarioOutcome outcome;
        int lost = 0;
        std::size_t length = 0;
        std::size_t logLength = 0;
        if (!(header >> outcome.m_nSeed >> outcome.m_nFaults >> lost >> length >> logLength >>
              outcome.m_nTrashed >> outcome.m_nSearchTree >> outcome.m_nElsewhere >> outcome.m_nFoldersMade >>
              outcome.m_nUndos >> outcome.m_nRestored >> outcome.m_nRefusedChanged)) {
            result.m_strError += "child: " + text.substr(at, end - at) + "\n";
            return;
        }
        outcome.m_bLost = lost != 0;
        outcome.m_strReport = text.substr(end + 1, length);
        outcome.m_strLog = text.substr(end + 1 + length, logLength);
        at = end + 1 + length + logLength;
        result.Add(std::move(outcome));
    }
}

}  // namespace

bool PosixScenarioPlatform::MakeSpecial(const PlannedEntry& entry, const std::string& path) {
    if (entry.m_nKind == PlannedKind::HardLink) {
        // The scenario path of the file, from the link's own: both lie below the work folder's "src".
        const std::string work = path.substr(0, path.rfind("/src/") + 1);
        return ::link((work + entry.m_strLinkTarget).c_str(), path.c_str()) == 0;
    }
    return entry.m_nKind == PlannedKind::Pipe && ::mkfifo(path.c_str(), 0644) == 0;
}

void PosixScenarioPlatform::BeforeMove(const Scenario& scenario, const std::vector<std::string>& paths) {
    std::size_t i = 0;
    for (const auto& [relative, entry] : scenario.m_mapEntries) {
        if (entry.m_nMode != 0 && ::chmod(paths[i].c_str(), entry.m_nMode) == 0) m_bModesChanged = true;
        ++i;
    }
    if (scenario.m_lstFaults.empty()) return;
    m_pFaults = std::make_unique<SyscallFaults>();
    m_nFirstUnlinkFault = 0;
    for (const PlannedFault& fault : scenario.m_lstFaults) {
        const auto call = static_cast<SyscallFaults::Call>(fault.m_nCall);
        m_pFaults->FailNth(call, fault.m_nNth, fault.m_nErrno);
        if (call == SyscallFaults::Call::UnlinkAt &&
            (m_nFirstUnlinkFault == 0 || fault.m_nNth < m_nFirstUnlinkFault))
            m_nFirstUnlinkFault = fault.m_nNth;
    }
}

int PosixScenarioPlatform::AfterMove(const std::vector<std::string>& roots, bool& cleanupMayFail) {
    const int faults = m_pFaults ? m_pFaults->Faults() : 0;
    cleanupMayFail = m_pFaults && m_nFirstUnlinkFault != 0 &&
                     m_pFaults->Calls(SyscallFaults::Call::UnlinkAt) >= m_nFirstUnlinkFault;
    m_pFaults.reset();
    if (m_bModesChanged)
        for (const std::string& root : roots) OpenUp(root);
    m_bModesChanged = false;
    return faults;
}

BatchResult RunUnprivilegedBatch(const std::vector<std::uint64_t>& seeds, const ScenarioOptions& options) {
    BatchResult result;
    int fds[2];
    if (::pipe(fds) != 0) {
        result.m_strError = "no pipe";
        return result;
    }
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child < 0) {
        result.m_strError = "no fork";
        ::close(fds[0]);
        ::close(fds[1]);
        return result;
    }
    if (child == 0) {
        ::close(fds[0]);
        RunChild(fds[1], seeds, options);
    }
    ::close(fds[1]);
    ParseRecords(ReadAllFrom(fds[0]), result);
    ::close(fds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 ||
        result.m_nScenarios != static_cast<int>(seeds.size())) {
        std::ostringstream error;
        error << "the unprivileged child ended with status " << status << " after " << result.m_nScenarios
              << " of " << seeds.size() << " scenarios";
        if (result.m_nScenarios < static_cast<int>(seeds.size()))
            error << "; the next seed was " << seeds[static_cast<std::size_t>(result.m_nScenarios)];
        result.m_strError += error.str();
    }
    return result;
}

}  // namespace tandemere::testing

#endif  // _WIN32
