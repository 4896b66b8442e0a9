// UI layer (terminal): prompts, boxes, progress line and log of a move in a terminal.
#include "ui/tty/tty_user_interface.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "engine/move_summary.h"
#include "engine/text_format.h"
#include "platform/posix/posix_io.h"

namespace tandemere::tty {

namespace {

constexpr int kBarWidth = 20;
// More redraws than this a second only cost time: nobody reads them.
constexpr std::chrono::milliseconds kRedrawInterval{100};
constexpr const char* kCancelText = "Don't process any more files";
constexpr const char* kRememberHint = "add + for \"...for this move\", ! for \"...for every move\"";

// Columns taken by UTF-8 text: one per code point (good enough for paths).
std::size_t Columns(std::string_view text) {
    std::size_t n = 0;
    for (char c : text) {
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++n;
    }
    return n;
}

// The end of `text` that fits in `width` columns, led by "..." when something was cut.
std::string TailToFit(std::string_view text, std::size_t width) {
    if (Columns(text) <= width) return std::string(text);
    if (width <= 3) return std::string(width, '.');
    std::size_t cut = 0;
    while (Columns(text.substr(cut)) > width - 3) {
        ++cut;
        while (cut < text.size() && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) ++cut;
    }
    return "..." + std::string(text.substr(cut));
}

// Continuation lines of a text start below its first column.
std::string Indented(std::string_view text, std::size_t indent) {
    const std::string plain = ToPlatformLineEnds(text);
    std::string out;
    for (char c : plain) {
        out += c;
        if (c == '\n') out.append(indent, ' ');
    }
    return out;
}

std::string PaddedTo(std::string text, std::size_t width) {
    const std::size_t have = Columns(text);
    if (have < width) text.append(width - have, ' ');
    return text;
}

}  // namespace

void ProgressLine::Start() {
    m_bRunning = true;
    m_nTotal = 0;
    m_nPos = 0;
    m_strItem.clear();
    m_oBytes = {};
    m_oLastDraw = {};
}

void ProgressLine::SetRange(std::uint32_t total) {
    m_nTotal = total;
    Draw();
}

void ProgressLine::SetItem(const std::string& path) {
    m_strItem = path;
    Draw();
}

void ProgressLine::SetPos(std::int32_t position) {
    m_nPos = position;
    // The last item is always shown, however soon it follows the one before.
    Draw(m_nTotal != 0 && static_cast<std::uint32_t>(std::max(position, 0)) >= m_nTotal);
}

void ProgressLine::SetBytes(const engine::ByteProgress& bytes) {
    if (bytes.m_nStepSize != m_oBytes.m_nStepSize || bytes.m_nStepDone < m_oBytes.m_nStepDone)
        m_oStepStart = Clock::now();
    m_oBytes = bytes;
    Draw();
}

std::string ProgressLine::StepText() const {
    const engine::ByteProgress& bytes = m_oBytes;
    if (bytes.m_nStepSize == 0) return {};
    std::string text =
        "  " + engine::FormatByteSize(bytes.m_nStepDone) + " of " + engine::FormatByteSize(bytes.m_nStepSize);
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - m_oStepStart).count();
    // The first half second says little about the rate.
    if (ms < 500 || bytes.m_nStepDone == 0) return text;
    const std::uint64_t perSecond = bytes.m_nStepDone * 1000 / static_cast<std::uint64_t>(ms);
    text += "  " + engine::FormatByteSize(perSecond) + "/s";
    if (perSecond > 0 && bytes.m_nStepSize > bytes.m_nStepDone)
        text += "  " + engine::FormatElapsed((bytes.m_nStepSize - bytes.m_nStepDone) * 1000 / perSecond) +
                " left";
    return text;
}

void ProgressLine::Clear() {
    if (!m_bDrawn) return;
    WriteAll(m_nFd, "\r\x1b[K");
    m_bDrawn = false;
}

void ProgressLine::Redraw() {
    Draw(true);
}

void ProgressLine::Stop() {
    Clear();
    m_bRunning = false;
}

void ProgressLine::Draw(bool now) {
    if (!m_bEnabled || !m_bRunning) return;
    const Clock::time_point time = Clock::now();
    if (!now && m_bDrawn && time - m_oLastDraw < kRedrawInterval) return;
    m_oLastDraw = time;
    const std::uint32_t done =
        std::min<std::uint32_t>(static_cast<std::uint32_t>(std::max(m_nPos, 0)), m_nTotal);
    // The item under way counts in part, so one large file moves the bar too.
    double fraction = m_nTotal == 0 ? 0.0 : static_cast<double>(done) / m_nTotal;
    if (m_nTotal != 0 && done < m_nTotal && m_oBytes.m_nStepSize != 0)
        fraction += static_cast<double>(std::min(m_oBytes.m_nStepDone, m_oBytes.m_nStepSize)) /
                    static_cast<double>(m_oBytes.m_nStepSize) / m_nTotal;
    const int filled = static_cast<int>(fraction * kBarWidth);
    std::string line = "[" + std::string(static_cast<std::size_t>(filled), '#') +
                       std::string(static_cast<std::size_t>(kBarWidth - filled), ' ') + "] " +
                       std::to_string(done) + " of " + std::to_string(m_nTotal) + StepText();
    // One column stays free so the terminal never wraps the line, which would break the redraw.
    const std::size_t width = static_cast<std::size_t>(TerminalColumns(m_nFd)) - 1;
    if (!m_strItem.empty() && Columns(line) + 2 < width)
        line += "  " + TailToFit(m_strItem, width - Columns(line) - 2);
    if (Columns(line) > width) line = TailToFit(line, width);
    WriteAll(m_nFd, "\r" + line + "\x1b[K");
    m_bDrawn = true;
}

TtyUserInterface::TtyUserInterface(int inputFd, int promptFd, int logFd)
    : m_nPromptFd(promptFd),
      m_nLogFd(logFd),
      m_oInput(inputFd),
      m_oProgress(promptFd, IsInteractiveTerminal(promptFd)),
      m_bInputIsTerminal(::isatty(inputFd) == 1) {}

void TtyUserInterface::SetLogFile(posix::UniqueFd file, std::string path) {
    m_hLogFile = std::move(file);
    m_strLogFilePath = std::move(path);
}

void TtyUserInterface::Print(std::string_view text) {
    m_oProgress.Clear();
    WriteAll(m_nPromptFd, text);
}

void TtyUserInterface::ShowError(engine::WindowHandle, const std::string& text) {
    Print(ToPlatformLineEnds(text) + "\n");
    m_oProgress.Redraw();
}

bool TtyUserInterface::AskSkipOrStop(engine::WindowHandle owner, const std::string& text) {
    if (m_bInputIsTerminal) return AskYesNo(owner, text + engine::kSkipOrStopQuestion);
    ShowError(owner, m_bKeepGoing ? text + "\nSkipped it and went on (--keep-going)." : text);
    return m_bKeepGoing;
}

bool TtyUserInterface::AskYesNo(engine::WindowHandle, const std::string& text) {
    Print(ToPlatformLineEnds(text) + "\n");
    bool yes = false;
    for (;;) {
        Print("Answer y (Yes) or n (No): ");
        std::string line;
        const LineReader::Result got = m_oInput.ReadLine(line);
        if (got != LineReader::Result::Line) {
            Print("\n");
            break;
        }
        const YesNo said = ParseYesNo(line);
        if (said != YesNo::Unclear) {
            yes = said == YesNo::Yes;
            break;
        }
    }
    m_oProgress.Redraw();
    return yes;
}

engine::PromptResult TtyUserInterface::AskAnswer(const std::vector<Answer>& answers,
                                                 const std::string& openSource, const std::string& openDest) {
    std::size_t captionWidth = std::strlen("Cancel");
    for (const Answer& a : answers) captionWidth = std::max(captionWidth, Columns(a.m_strCaption));
    const std::size_t textColumn = 2 + 1 + 2 + captionWidth + 2;
    std::string text;
    std::string keys;
    for (const Answer& a : answers) {
        text += "  " + std::string(1, a.m_chKey) + "  " + PaddedTo(a.m_strCaption, captionWidth) + "  " +
                Indented(a.m_strText, textColumn) + "\n";
        keys += std::string(1, a.m_chKey) + ", ";
    }
    text += "  c  " + PaddedTo("Cancel", captionWidth) + "  " + kCancelText + "\n";
    text += std::string("  Always do this...  ") + kRememberHint + "\n";
    std::string ask = "Answer " + keys + "or c";
    if (!openSource.empty()) ask += "; p or n opens a file";
    ask += ": ";
    Print(text);

    engine::PromptResult result{engine::AnswerCancel, false, false};
    for (;;) {
        Print(ask);
        std::string line;
        const LineReader::Result got = m_oInput.ReadLine(line);
        if (got != LineReader::Result::Line) {
            Print("\n");
            break;  // end of input and Ctrl-C are Cancel
        }
        const TypedAnswer typed = ParseTypedAnswer(line);
        if (!typed.m_bValid) continue;
        if (typed.m_chLetter == 'c') break;
        const bool plain = !typed.m_bThisMove && !typed.m_bEveryMove;
        if (!openSource.empty() && plain && (typed.m_chLetter == 'p' || typed.m_chLetter == 'n')) {
            const std::string& path = typed.m_chLetter == 'p' ? openSource : openDest;
            if (const std::string why = OpenWithDesktop(path); !why.empty())
                Print(engine::FormatText("Couldn't open file \"%s\": %s", {path, why}) + "\n");
            continue;
        }
        const auto chosen = std::find_if(answers.begin(), answers.end(),
                                         [&](const Answer& a) { return a.m_chKey == typed.m_chLetter; });
        if (chosen == answers.end()) continue;
        result = engine::PromptResult{chosen->m_nCode, typed.m_bThisMove, typed.m_bEveryMove};
        break;
    }
    m_oProgress.Redraw();
    return result;
}

engine::PromptResult TtyUserInterface::ShowChoicePrompt(engine::WindowHandle,
                                                        const engine::ChoicePrompt& prompt) {
    std::string text = "\n" + ToPlatformLineEnds(prompt.m_strQuestion) + "\n";
    // The whole paths: with the texts' short ones, two files of one size and time differ by folder.
    if (!prompt.m_strSrcPath.empty())
        text += "  Source       " + prompt.m_strSrcPath + "\n  Destination  " + prompt.m_strDestPath + "\n";
    Print(text);
    std::vector<Answer> answers = {
        {Mnemonic(prompt.m_strCaption1), engine::AnswerFirst, StripMnemonic(prompt.m_strCaption1),
         prompt.m_strText1},
        {Mnemonic(prompt.m_strCaption2), engine::AnswerSecond, StripMnemonic(prompt.m_strCaption2),
         prompt.m_strText2},
        {'s', engine::AnswerThird, "Skip", prompt.m_strText3},
    };
    if (prompt.m_strCaption2.empty()) answers.erase(answers.begin() + 1);
    return AskAnswer(answers, {}, {});
}

engine::PromptResult TtyUserInterface::ShowClashPrompt(engine::WindowHandle,
                                                       const engine::ClashPrompt& prompt) {
    const engine::DirEntry& src = prompt.m_oSrcEntry;
    const engine::DirEntry& dest = prompt.m_oDestEntry;
    std::string srcSize = FormatByteCount(src.m_nSize, m_oLocale);
    std::string destSize = FormatByteCount(dest.m_nSize, m_oLocale);
    if (src.m_nSize > dest.m_nSize) srcSize += " (larger)";
    if (dest.m_nSize > src.m_nSize) destSize += " (larger)";
    std::string srcTime = m_oLocale.FormatFileTime(src.m_nLastWriteTime);
    std::string destTime = m_oLocale.FormatFileTime(dest.m_nLastWriteTime);
    if (src.m_nLastWriteTime > dest.m_nLastWriteTime) srcTime += " (newer)";
    if (dest.m_nLastWriteTime > src.m_nLastWriteTime) destTime += " (newer)";

    constexpr std::size_t kColumn = 21;
    const std::string pad(kColumn, ' ');
    std::string text = "\n" + ToPlatformLineEnds(prompt.m_strQuestion) + "\n";
    text += PaddedTo("  Source File", kColumn) + prompt.m_strSrcShown + "\n" + pad + srcSize + "\n" + pad +
            srcTime + "\n" + pad + "p  Open\n";
    text += PaddedTo("  Destination File", kColumn) + prompt.m_strDestShown + "\n" + pad + destSize + "\n" +
            pad + destTime + "\n" + pad + "n  Open\n";
    Print(text);
    const std::vector<Answer> answers = {
        {'o', engine::AnswerFirst, "Overwrite", prompt.m_strText1},
        {'r', engine::AnswerSecond, "Rename", prompt.m_strText2},
        {'s', engine::AnswerThird, "Skip", prompt.m_strText3},
    };
    return AskAnswer(answers, prompt.m_strSrcPath, prompt.m_strDestPath);
}

void TtyUserInterface::CreateProgress(engine::WindowHandle, const std::string&) {
    m_oProgress.Start();
}

bool TtyUserInterface::PumpAndCheckCancel() {
    if (CancelSignal::Take()) m_bCancelled = true;
    return m_bCancelled;
}

void TtyUserInterface::LogAppended(std::string_view text) {
    if (!m_bVerbose) return;
    m_oProgress.Clear();
    if (!WriteAll(m_nLogFd, ToPlatformLineEnds(text))) m_bLogWritten = false;
    m_nLogShown += text.size();
    m_oProgress.Redraw();
}

void TtyUserInterface::ShowLog(engine::WindowHandle, const engine::LogReport& report) {
    const std::string& log = report.m_strLog;
    m_oProgress.Clear();
    // "Cancelled by request." carries no line end of its own; a text file's last line needs one.
    // What verbose output has shown already is not shown again.
    const std::string rest =
        ToPlatformLineEnds(std::string_view(log).substr(std::min(m_nLogShown, log.size())));
    if (!WriteAll(m_nLogFd, !log.empty() && log.back() != '\n' ? rest + "\n" : rest)) {
        m_bLogWritten = false;
        Print(engine::FormatText("tandemere: couldn't write the log to standard output: %s\n",
                                 {posix::ErrnoText(errno)}));
    }
    AppendToLogFile(log);
    if (!log.empty() && log.back() != '\n') AppendToLogFile("\r\n");
}

void TtyUserInterface::AppendToLogFile(std::string_view text) {
    if (!m_hLogFile.IsValid() || WriteAll(m_hLogFile.Get(), ToPlatformLineEnds(text))) return;
    m_bLogWritten = false;
    Print(engine::FormatText("tandemere: couldn't write the log to \"%s\": %s\n",
                             {m_strLogFilePath, posix::ErrnoText(errno)}));
    m_hLogFile.Reset();  // said once; the rest of the log is not tried
}

}  // namespace tandemere::tty
