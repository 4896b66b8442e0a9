// UI layer (terminal): descriptors, line input, the Ctrl-C flag and the desktop opener on POSIX.
#include "ui/tty/terminal_posix.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/posix/posix_io.h"

extern char** environ;

namespace tandemere::tty {

bool WriteAll(int fd, std::string_view text) {
    return posix::WriteAll(fd, text.data(), text.size()) == 0;
}

namespace {

int g_nSignalRead = -1;
int g_nSignalWrite = -1;
// Set by the handler beside the pipe's byte, so taking a press between items reads nothing when
// there was none.
volatile sig_atomic_t g_nPressed = 0;
struct sigaction g_previousAction;

void OnInterrupt(int) {
    const int saved = errno;
    g_nPressed = 1;
    const char byte = 'c';
    // A full pipe already says "pressed"; nothing more to record.
    [[maybe_unused]] const ssize_t n = ::write(g_nSignalWrite, &byte, 1);
    errno = saved;
}

}  // namespace

CancelSignal::CancelSignal() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return;
    g_nSignalRead = fds[0];
    g_nSignalWrite = fds[1];
    g_nPressed = 0;
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    ::sigemptyset(&action.sa_mask);
    // The engine's own calls just go on; a prompt waiting for input also waits on the pipe.
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, &g_previousAction);
}

CancelSignal::~CancelSignal() {
    if (g_nSignalRead < 0) return;
    ::sigaction(SIGINT, &g_previousAction, nullptr);
    ::close(g_nSignalRead);
    ::close(g_nSignalWrite);
    g_nSignalRead = g_nSignalWrite = -1;
}

bool CancelSignal::Take() {
    if (g_nSignalRead < 0 || g_nPressed == 0) return false;
    // Cleared before the pipe is emptied: a press in between leaves the flag set for next time.
    g_nPressed = 0;
    bool pressed = false;
    char buffer[64];
    for (;;) {
        const ssize_t n = ::read(g_nSignalRead, buffer, sizeof buffer);
        if (n > 0) {
            pressed = true;
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        return pressed;
    }
}

int CancelSignal::WaitFd() {
    return g_nSignalRead;
}

LineReader::Result LineReader::ReadLine(std::string& line) {
    for (;;) {
        const std::size_t end = m_strPending.find('\n');
        if (end != std::string::npos) {
            line = m_strPending.substr(0, end);
            m_strPending.erase(0, end + 1);
            return Result::Line;
        }
        if (m_bEnd) {
            if (m_strPending.empty()) return Result::EndOfInput;
            line.swap(m_strPending);
            m_strPending.clear();
            return Result::Line;
        }
        pollfd fds[2] = {{m_nFd, POLLIN, 0}, {CancelSignal::WaitFd(), POLLIN, 0}};
        const nfds_t count = fds[1].fd >= 0 ? 2 : 1;
        if (::poll(fds, count, -1) < 0) {
            if (errno == EINTR) continue;
            m_bEnd = true;
            continue;
        }
        // Input typed ahead is read before a Ctrl-C that came after it is looked at.
        if (fds[0].revents != 0) {
            char buffer[4096];
            const ssize_t n = ::read(m_nFd, buffer, sizeof buffer);
            if (n > 0) {
                m_strPending.append(buffer, static_cast<std::size_t>(n));
            } else if (n == 0 || (errno != EINTR && errno != EAGAIN)) {
                m_bEnd = true;
            }
            continue;
        }
        if (CancelSignal::Take()) return Result::Interrupted;
    }
}

bool IsInteractiveTerminal(int fd) {
    if (::isatty(fd) == 0) return false;
    const char* term = std::getenv("TERM");
    return term == nullptr || std::strcmp(term, "dumb") != 0;
}

int TerminalColumns(int fd) {
    winsize size{};
    if (::ioctl(fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    return 80;
}

std::string OpenWithDesktop(const std::string& path) {
    posix_spawn_file_actions_t actions;
    if (const int error = ::posix_spawn_file_actions_init(&actions); error != 0)
        return posix::ErrnoText(error);
    ::posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    ::posix_spawn_file_actions_adddup2(&actions, STDERR_FILENO, STDOUT_FILENO);
    char program[] = "xdg-open";
    std::string argument = path;
    char* argv[] = {program, argument.data(), nullptr};
    pid_t child = -1;
    const int spawned = ::posix_spawnp(&child, program, &actions, nullptr, argv, environ);
    ::posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return std::string(program) + ": " + posix::ErrnoText(spawned);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) return posix::ErrnoText(errno);
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return {};
    if (WIFEXITED(status))
        return std::string(program) + " ended with status " + std::to_string(WEXITSTATUS(status));
    return std::string(program) + " was ended by signal " + std::to_string(WTERMSIG(status));
}

}  // namespace tandemere::tty
