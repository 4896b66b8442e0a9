// UI layer (terminal): the engine's user interface in a terminal: prompts and boxes on stderr with
// answers read from stdin (a terminal or a pipe alike), a progress bar on a terminal, Ctrl-C as the
// progress window's Cancel, and the log on stdout.
#pragma once

#include <cstdint>
#include <string>

#include "engine/user_interface.h"
#include "platform/posix/unique_fd.h"
#include "ui/tty/terminal_posix.h"
#include "ui/tty/tty_text.h"

namespace tandemere::tty {

// The in-place progress line: "[#####     ] 3 of 10  path", only where it can be redrawn.
class ProgressLine {
public:
    ProgressLine(int fd, bool enabled) : m_nFd(fd), m_bEnabled(enabled) {}

    void Start();
    void SetRange(std::uint32_t total);
    void SetItem(const std::string& path);
    void SetPos(std::int32_t position);
    // Takes the line off the screen (before other output, and at the end).
    void Clear();
    // Draws it again after other output, while the move runs.
    void Redraw();
    void Stop();

private:
    void Draw();

    int m_nFd;
    bool m_bEnabled;
    bool m_bRunning = false;
    bool m_bDrawn = false;
    std::uint32_t m_nTotal = 0;
    std::int32_t m_nPos = 0;
    std::string m_strItem;
};

class TtyUserInterface : public engine::IUserInterface {
public:
    // Reads answers from `inputFd`, writes prompts, boxes and progress to `promptFd` (progress only
    // when that is a terminal), and the log to `logFd`.
    TtyUserInterface(int inputFd = 0, int promptFd = 2, int logFd = 1);

    // The log is also written to this open file, replacing what it holds.
    void SetLogFile(posix::UniqueFd file, std::string path);
    // False when the log could not be written to stdout or to the log file.
    bool LogWritten() const { return m_bLogWritten; }

    void ShowError(engine::WindowHandle owner, const std::string& text) override;
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
    bool PumpAndCheckCancel() override;
    void DestroyProgress() override { m_oProgress.Stop(); }

    // Writes the log lines only: the command line says where it moved before it starts.
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
};

}  // namespace tandemere::tty
