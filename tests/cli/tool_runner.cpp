// CLI tests: child processes of the real binary on pipes and pseudo-terminals.
#include "tests/cli/tool_runner.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

extern char** environ;

namespace tandemere::testing {

namespace {

// A guard against a hung child only; no test depends on how fast anything runs.
constexpr int kHangGuardMs = 120000;

std::vector<std::string> BuildEnvironment(const ToolEnvironment& environment) {
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry(*e);
        if (entry.rfind("LC_", 0) == 0 || entry.rfind("LANG", 0) == 0 || entry.rfind("TZ=", 0) == 0 ||
            entry.rfind("TANDEMERE_", 0) == 0 || entry.rfind("TERM=", 0) == 0) {
            continue;
        }
        env.push_back(entry);
    }
    env.push_back("TANDEMERE_SETTINGS=" + environment.m_strSettingsFile);
    // The tool's cache and move journals go beside the test's settings, never into the user's home.
    const std::string beside =
        environment.m_strSettingsFile.substr(0, environment.m_strSettingsFile.rfind('/'));
    env.push_back("XDG_CACHE_HOME=" + beside + "/cache");
    env.push_back("XDG_STATE_HOME=" + beside + "/state");
    env.push_back("LC_ALL=C");
    env.push_back("TZ=UTC");
    env.push_back("TERM=xterm");
    for (const std::string& extra : environment.m_lstExtra) {
        const std::string name = extra.substr(0, extra.find('=') + 1);
        std::erase_if(env, [&](const std::string& e) { return e.rfind(name, 0) == 0; });
        env.push_back(extra);
    }
    return env;
}

struct Argv {
    explicit Argv(const std::vector<std::string>& strings) : m_lstStrings(strings) {
        for (std::string& s : m_lstStrings) m_lstPointers.push_back(s.data());
        m_lstPointers.push_back(nullptr);
    }
    char** Get() { return m_lstPointers.data(); }
    std::vector<std::string> m_lstStrings;
    std::vector<char*> m_lstPointers;
};

std::vector<std::string> WithBinary(const std::vector<std::string>& args) {
    std::vector<std::string> all = {TANDEMERE_BINARY};
    all.insert(all.end(), args.begin(), args.end());
    return all;
}

// The vectors of one run of the tool, made before a fork where the child must not allocate.
struct ToolExec {
    ToolExec(const std::vector<std::string>& args, const ToolEnvironment& environment)
        : m_oArgv(WithBinary(args)), m_oEnvp(BuildEnvironment(environment)) {}
    [[noreturn]] void Exec() {
        ::execve(TANDEMERE_BINARY, m_oArgv.Get(), m_oEnvp.Get());
        ::_exit(127);
    }
    Argv m_oArgv;
    Argv m_oEnvp;
};

[[noreturn]] void ExecTool(const std::vector<std::string>& args, const ToolEnvironment& environment) {
    ToolExec(args, environment).Exec();
}

int ExitStatus(int status) {
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return -1;
}

bool ReadSome(int fd, std::string& into) {
    char buffer[4096];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n > 0) {
        into.append(buffer, static_cast<std::size_t>(n));
        return true;
    }
    return n < 0 && errno == EINTR;
}

}  // namespace

ToolResult RunTool(const std::vector<std::string>& args, const ToolEnvironment& environment,
                   std::string_view input) {
    int in[2], out[2], err[2];
    EXPECT_EQ(::pipe2(in, O_CLOEXEC), 0);
    EXPECT_EQ(::pipe2(out, O_CLOEXEC), 0);
    EXPECT_EQ(::pipe2(err, O_CLOEXEC), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(in[0], 0);
        ::dup2(out[1], 1);
        ::dup2(err[1], 2);
        ExecTool(args, environment);
    }
    ::close(in[0]);
    ::close(out[1]);
    ::close(err[1]);
    ::fcntl(in[1], F_SETFL, O_NONBLOCK);
    // The child may stop reading early (a refused drop reads nothing); that must not kill us.
    ::signal(SIGPIPE, SIG_IGN);

    ToolResult result;
    std::size_t written = 0;
    int inFd = in[1];
    if (input.empty()) {
        ::close(inFd);
        inFd = -1;
    }
    bool outOpen = true, errOpen = true;
    while (outOpen || errOpen) {
        pollfd fds[3] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}, {inFd, POLLOUT, 0}};
        fds[0].fd = outOpen ? out[0] : -1;
        fds[1].fd = errOpen ? err[0] : -1;
        const int ready = ::poll(fds, 3, kHangGuardMs);
        if (ready == 0) {
            ADD_FAILURE() << "tandemere did not finish";
            ::kill(child, SIGKILL);
            break;
        }
        if (ready < 0) continue;
        if (fds[0].revents != 0 && !ReadSome(out[0], result.m_strOut)) outOpen = false;
        if (fds[1].revents != 0 && !ReadSome(err[0], result.m_strErr)) errOpen = false;
        if (inFd >= 0 && fds[2].revents != 0) {
            const ssize_t n = ::write(inFd, input.data() + written, input.size() - written);
            if (n > 0) written += static_cast<std::size_t>(n);
            if (n < 0 && errno != EAGAIN && errno != EINTR) written = input.size();
            if (written == input.size()) {
                ::close(inFd);
                inFd = -1;
            }
        }
    }
    if (inFd >= 0) ::close(inFd);
    ::close(out[0]);
    ::close(err[0]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    result.m_nExit = ExitStatus(status);
    return result;
}

pid_t StartTool(const std::vector<std::string>& args, const ToolEnvironment& environment) {
    // Everything is made before the fork: a test may start tools from several threads, and a
    // child of a threaded process may only make async-signal-safe calls.
    ToolExec exec(args, environment);
    const pid_t child = ::fork();
    if (child == 0) {
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, 0);
        ::dup2(null, 1);
        ::dup2(null, 2);
        exec.Exec();
    }
    return child;
}

int WaitTool(pid_t child) {
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return ExitStatus(status);
}

PtyRun::PtyRun(const std::vector<std::string>& args, const ToolEnvironment& environment) {
    int out[2];
    EXPECT_EQ(::pipe2(out, O_CLOEXEC), 0);
    winsize size{};
    size.ws_row = 24;
    size.ws_col = 100;
    m_nChild = ::forkpty(&m_nMaster, nullptr, nullptr, &size);
    if (m_nChild == 0) {
        termios mode{};
        ::tcgetattr(0, &mode);
        mode.c_lflag |= NOFLSH;  // keep typed-ahead answers when Ctrl-C is typed after them
        mode.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        ::tcsetattr(0, TCSANOW, &mode);
        ::dup2(out[1], 1);
        ExecTool(args, environment);
    }
    ::close(out[1]);
    m_nOut = out[0];
    EXPECT_GT(m_nChild, 0);
}

PtyRun::~PtyRun() {
    if (m_nChild > 0) {
        ::kill(m_nChild, SIGKILL);
        int status = 0;
        ::waitpid(m_nChild, &status, 0);
    }
    if (m_nMaster >= 0) ::close(m_nMaster);
    if (m_nOut >= 0) ::close(m_nOut);
}

bool PtyRun::Pump() {
    pollfd fds[2] = {{m_bTerminalEnded ? -1 : m_nMaster, POLLIN, 0}, {m_nOut, POLLIN, 0}};
    const int ready = ::poll(fds, 2, kHangGuardMs);
    if (ready == 0) {
        ADD_FAILURE() << "tandemere stopped writing; terminal so far:\n" << m_strTerminal;
        return false;
    }
    if (ready < 0) return true;
    // At its end a pseudo-terminal's master reports EIO rather than end of file.
    if (fds[0].revents != 0 && !ReadSome(m_nMaster, m_strTerminal)) m_bTerminalEnded = true;
    if (fds[1].revents != 0 && !ReadSome(m_nOut, m_strOut)) {
        ::close(m_nOut);
        m_nOut = -1;
    }
    return !m_bTerminalEnded;
}

bool PtyRun::WaitFor(std::string_view text) {
    while (m_strTerminal.find(text) == std::string::npos) {
        if (!Pump()) return m_strTerminal.find(text) != std::string::npos;
    }
    return true;
}

void PtyRun::Type(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(m_nMaster, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ADD_FAILURE() << "could not type on the terminal";
            return;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

int PtyRun::Finish() {
    while (!m_bTerminalEnded) {
        if (!Pump() && !m_bTerminalEnded) break;
    }
    while (m_nOut >= 0) {
        if (!ReadSome(m_nOut, m_strOut)) {
            ::close(m_nOut);
            m_nOut = -1;
        }
    }
    int status = 0;
    while (::waitpid(m_nChild, &status, 0) < 0 && errno == EINTR) {
    }
    m_nChild = -1;
    return ExitStatus(status);
}

}  // namespace tandemere::testing
