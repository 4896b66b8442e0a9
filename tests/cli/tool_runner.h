// CLI tests: runs the real `tandemere` binary, through pipes or on a pseudo-terminal.
#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>
#include <vector>

namespace tandemere::testing {

// The environment every run starts from: the test's settings file, UTC, the C locale.
struct ToolEnvironment {
    std::string m_strSettingsFile;
    std::vector<std::string> m_lstExtra;  // "NAME=value", applied last (override the above)
};

struct ToolResult {
    int m_nExit = -1;  // exit status, or 128 + signal
    std::string m_strOut;
    std::string m_strErr;
};

// Runs `tandemere args...` with `input` on stdin (then end of input) and stdout and stderr caught
// through pipes.
ToolResult RunTool(const std::vector<std::string>& args, const ToolEnvironment& environment,
                   std::string_view input = {});

// Starts `tandemere args...` with stdin, stdout and stderr on /dev/null and returns at once with
// its process id (-1 when it could not start); WaitTool reaps it.
pid_t StartTool(const std::vector<std::string>& args, const ToolEnvironment& environment);
// Waits for a child started by StartTool: its exit status, or 128 + signal.
int WaitTool(pid_t child);

// `tandemere args...` on a pseudo-terminal (stdin and stderr a terminal of 100 columns; stdout a
// pipe, so the terminal shows only what goes to stderr). Typed-ahead input survives Ctrl-C.
class PtyRun {
public:
    PtyRun(const std::vector<std::string>& args, const ToolEnvironment& environment);
    ~PtyRun();
    PtyRun(const PtyRun&) = delete;
    PtyRun& operator=(const PtyRun&) = delete;

    // Reads the terminal until its output (since the start) holds `text`; false at its end.
    bool WaitFor(std::string_view text);
    // Types bytes on the terminal ("\x03" is Ctrl-C).
    void Type(std::string_view bytes);
    // Reads everything up to the end and returns the exit status.
    int Finish();

    const std::string& Terminal() const { return m_strTerminal; }
    const std::string& Out() const { return m_strOut; }

private:
    // One round of reading both outputs; false when the terminal has ended.
    bool Pump();

    pid_t m_nChild = -1;
    int m_nMaster = -1;
    int m_nOut = -1;
    bool m_bTerminalEnded = false;
    std::string m_strTerminal;
    std::string m_strOut;
};

}  // namespace tandemere::testing
