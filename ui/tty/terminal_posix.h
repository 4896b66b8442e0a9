// UI layer (terminal): the POSIX pieces a terminal front end needs: whole writes, line input
// that Ctrl-C interrupts, the Ctrl-C flag itself, and the desktop's opener.
#pragma once

#include <string>
#include <string_view>

namespace tandemere::tty {

// Writes all of `text`, retrying short and interrupted writes; false on a write error.
bool WriteAll(int fd, std::string_view text);

// Ctrl-C as a Cancel request. While an instance lives, SIGINT does not end the process: each one
// is recorded (through a pipe, so a blocking read can wait for it too) until it is taken. One
// instance at a time; the previous handler comes back with the destructor.
class CancelSignal {
public:
    CancelSignal();
    ~CancelSignal();
    CancelSignal(const CancelSignal&) = delete;
    CancelSignal& operator=(const CancelSignal&) = delete;

    // True when Ctrl-C was pressed since the last call; forgets those presses.
    static bool Take();
    // A descriptor that turns readable when Ctrl-C is pressed; -1 when no instance lives.
    static int WaitFd();
};

// Reads input line by line without stdio, so a pending Ctrl-C can end the wait.
class LineReader {
public:
    explicit LineReader(int fd) : m_nFd(fd) {}

    enum class Result { Line, EndOfInput, Interrupted };
    // One line without its "\n". A last line without "\n" still counts as a line.
    // Interrupted: Ctrl-C was pressed while waiting (the press is taken).
    Result ReadLine(std::string& line);

private:
    int m_nFd;
    std::string m_strPending;
    bool m_bEnd = false;
};

// Whether the descriptor is a terminal that can show a line redrawn in place.
bool IsInteractiveTerminal(int fd);
// The terminal's width in columns; 80 when it cannot be told.
int TerminalColumns(int fd);

// Opens a file with the desktop's opener (xdg-open), its input from /dev/null and its output on
// stderr. Empty when the opener ran and reported success, else why not ("xdg-open: No such file or
// directory", "xdg-open ended with status 4").
std::string OpenWithDesktop(const std::string& path);

}  // namespace tandemere::tty
