// UI layer (terminal): the engine's user interface in a terminal: prompts and boxes on stderr with
// answers read from stdin (a terminal or a pipe alike), a progress bar on a terminal, Ctrl-C as the
// progress window's Cancel, and the log on stdout.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "engine/user_interface.h"
#include "platform/posix/unique_fd.h"
#include "ui/tty/terminal_posix.h"
#include "ui/tty/tty_text.h"

namespace tandemere::tty {

// The in-place progress line, only where it can be redrawn, at most ten times a second:
// "[#####     ] 3 of 10  1.1 of 2.0 GiB  95.3 MiB/s  9 s left  path" (the bytes while a copy or
// comparison is under way).
class ProgressLine {
public:
    ProgressLine(int fd, bool enabled) : m_nFd(fd), m_bEnabled(enabled) {}

    void Start();
    void SetRange(std::uint32_t total);
    void SetItem(const std::string& path);
    void SetPos(std::int32_t position);
    void SetBytes(const engine::ByteProgress& bytes);
    // Takes the line off the screen (before other output, and at the end).
    void Clear();
    // Draws it again after other output, while the move runs.
    void Redraw();
    void Stop();
    void Disable() { m_bEnabled = false; }

private:
    using Clock = std::chrono::steady_clock;
    // Draws now when `now`, else only when the last drawing is a tenth of a second old.
    void Draw(bool now = false);
    // "  1.1 of 2.0 GiB  95.3 MiB/s  9 s left" for the step under way; empty when none is.
    std::string StepText() const;

    int m_nFd;
    bool m_bEnabled;
    bool m_bRunning = false;
    bool m_bDrawn = false;
    std::uint32_t m_nTotal = 0;
    std::int32_t m_nPos = 0;
    std::string m_strItem;
    engine::ByteProgress m_oBytes;
    Clock::time_point m_oStepStart;
    Clock::time_point m_oLastDraw;
};

class TtyUserInterface : public engine::IUserInterface {
public:
    // Reads answers from `inputFd`, writes prompts, boxes and progress to `promptFd` (progress only
    // when that is a terminal), and the log to `logFd`.
    TtyUserInterface(int inputFd = 0, int promptFd = 2, int logFd = 1);

    // The log is also written to this open file, replacing what it holds.
    void SetLogFile(posix::UniqueFd file, std::string path);
    // Adds text (with "\r\n" line ends) to the log file, if one is set: its header and its summary.
    void AppendToLogFile(std::string_view text);
    // False when the log could not be written to stdout or to the log file.
    bool LogWritten() const { return m_bLogWritten; }
    // No progress line at all.
    void SetQuiet() { m_oProgress.Disable(); }
    // The log goes to stdout line by line as the move writes it, not all at the end.
    void SetVerbose() { m_bVerbose = true; }
    // Whether Ctrl-C asked the move to stop.
    bool Cancelled() const { return m_bCancelled; }

    // Errors that leave an item are skipped without asking when input is no terminal (else the
    // move stops there).
    void SetKeepGoing(bool keepGoing) { m_bKeepGoing = keepGoing; }

    void ShowError(engine::WindowHandle owner, const std::string& text) override;
    // Asked as a yes/no question when input is a terminal; else answered by SetKeepGoing.
    bool AskSkipOrStop(engine::WindowHandle owner, const std::string& text) override;
    bool AskYesNo(engine::WindowHandle owner, const std::string& text) override;
    engine::WindowHandle GetActiveWindow() override { return nullptr; }
    engine::PromptResult ShowChoicePrompt(engine::WindowHandle owner,
                                          const engine::ChoicePrompt& prompt) override;
    engine::PromptResult ShowClashPrompt(engine::WindowHandle owner,
                                         const engine::ClashPrompt& prompt) override;

    void CreateProgress(engine::WindowHandle owner, const std::string& destFolder) override;
    void SetProgressRange(std::uint32_t total) override { m_oProgress.SetRange(total); }
    void SetProgressItem(const std::string& path) override { m_oProgress.SetItem(path); }
    void SetProgressPos(std::int32_t position) override { m_oProgress.SetPos(position); }
    void SetProgressBytes(const engine::ByteProgress& bytes) override { m_oProgress.SetBytes(bytes); }
    bool PumpAndCheckCancel() override;
    void DestroyProgress() override { m_oProgress.Stop(); }

    void LogAppended(std::string_view text) override;
    // Writes the log lines only: the command line says where it moved and what it did itself.
    void ShowLog(engine::WindowHandle owner, const engine::LogReport& report) override;

private:
    struct Answer {
        char m_chKey;
        std::int32_t m_nCode;
        std::string m_strCaption;
        std::string m_strText;
    };
    // Prints the answers and reads lines until one names an answer, Cancel or end of input;
    // `openSource` / `openDest` are the files behind "p" and "n" (empty: none).
    engine::PromptResult AskAnswer(const std::vector<Answer>& answers, const std::string& openSource,
                                   const std::string& openDest);
    void Print(std::string_view text);

    int m_nPromptFd;
    int m_nLogFd;
    LineReader m_oInput;
    ProgressLine m_oProgress;
    UserLocale m_oLocale;
    posix::UniqueFd m_hLogFile;
    std::string m_strLogFilePath;
    bool m_bCancelled = false;
    bool m_bLogWritten = true;
    bool m_bKeepGoing = false;
    bool m_bInputIsTerminal;
    bool m_bVerbose = false;
    std::size_t m_nLogShown = 0;  // of the log, what went to stdout already
};

}  // namespace tandemere::tty
