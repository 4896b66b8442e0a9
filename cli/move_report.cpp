// Command-line layer: the log file's header and the summary at the end of a move.
#include "cli/move_report.h"

#include <unistd.h>

#include <ctime>

#include "cli/settings_values.h"
#include "engine/settings_table.h"
#include "ui/tty/terminal_posix.h"

namespace tandemere::cli {
namespace {

std::string LocalTimeNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    char text[64] = "";
    if (::localtime_r(&now, &local) != nullptr)
        std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S %z", &local);
    return text;
}

std::string AnswersGiven(const MoveOptions& options) {
    std::string text;
    for (const auto& [name, answer] : options.m_mapAnswers) {
        const engine::SettingInfo* setting = engine::FindSetting(name);
        if (setting == nullptr) continue;
        text += std::string(text.empty() ? "" : ", ") + "--" + ShortName(setting->m_nId) + "=" +
                DescribeValue(*setting, static_cast<std::uint32_t>(answer));
    }
    return text.empty() ? "none (asked as they came)" : text;
}

std::string LogFileHeader(const MoveOptions& options, const std::vector<std::string>& sources,
                          const std::string& dest) {
    std::string text = "Tandemere " TANDEMERE_VERSION " log of ";
    text += options.m_bDryRun ? "a dry run (nothing was changed)" : "a move";
    text += ", started " + LocalTimeNow() + "\r\n";
    for (const std::string& source : sources) text += "Source:       " + source + "\r\n";
    text += "Destination:  " + dest + "\r\n";
    text += "Answers given in advance: " + AnswersGiven(options) + "\r\n\r\n";
    return text;
}

}  // namespace

void StartReport(tty::TtyUserInterface& ui, const MoveOptions& options,
                 const std::vector<std::string>& sources, const std::string& dest) {
    if (options.m_bQuiet) ui.SetQuiet();
    if (options.m_bVerbose) ui.SetVerbose();
    ui.AppendToLogFile(LogFileHeader(options, sources, dest));
}

void ReportMoveEnd(const engine::MoveCommand& command, tty::TtyUserInterface& ui,
                   const MoveOptions& options) {
    const std::string summary = engine::FormatMoveSummary(command.Summary());
    ui.AppendToLogFile("\r\n" + summary + "\r\n");
    if (ui.Cancelled() && !tty::IsInteractiveTerminal(STDOUT_FILENO))
        tty::WriteAll(STDERR_FILENO,
                      "tandemere: cancelled by Ctrl-C; the items after the one under way were left alone\n");
    if (!options.m_bQuiet)
        tty::WriteAll(STDERR_FILENO, (options.m_bDryRun ? "Dry run: " : "") + summary + "\n");
}

}  // namespace tandemere::cli
