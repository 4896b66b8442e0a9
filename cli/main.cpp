// Command-line layer: the entry point of `tandemere`: arguments, subcommands, exit statuses.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "cli/completion.h"
#include "cli/move_run.h"
#include "cli/settings_command.h"
#include "cli/settings_values.h"
#include "cli/suggest.h"
#include "engine/settings_table.h"

namespace tandemere::cli {
namespace {

int RunSettingsCommand(const SettingsArguments& settings) {
    const std::string path = SettingsFilePath(settings.m_strFile);
    if (*settings.m_pGet) return GetSettingValue(path, settings.m_strName);
    if (*settings.m_pSet) return SetSetting(path, settings.m_strName, settings.m_strValue);
    if (*settings.m_pUnset) return UnsetSetting(path, settings.m_strName);
    return ListSettings(path);
}

int RunMoveCommand(MoveArguments& move) {
    MoveOptions& options = move.m_oOptions;
    move.m_oLog.ApplyTo(options.m_bLogging);
    move.m_oFullPaths.ApplyTo(options.m_bFullPaths);
    move.m_oSameExt.ApplyTo(options.m_bOnlyCompareSameExt);
    move.m_oTrash.ApplyTo(options.m_bDeleteToRecycleBin);
    move.m_oSearchTree.ApplyTo(options.m_bSearchWholeDestination);
    for (const AnswerOption& answer : move.m_lstAnswers) {
        if (answer.m_strWord.empty()) continue;
        const engine::SettingInfo& setting = engine::GetSetting(answer.m_nSetting);
        options.m_mapAnswers[setting.m_pszName] = *ParseAnswerWord(setting, answer.m_strWord);
    }
    return RunMove(options);
}

// `help [COMMAND]`: the whole tool's help, or one command's.
int ShowHelp(CommandLine& line) {
    CLI::App& app = line.App();
    if (line.m_strHelpTopic.empty()) {
        // Not app.help(): that tells of the subcommand given, here `help` itself.
        std::fputs(app.get_formatter()->make_help(&app, app.get_name(), CLI::AppFormatMode::Normal).c_str(),
                   stdout);
        return kExitFinished;
    }
    for (const CLI::App* command : VisibleSubcommands(app)) {
        if (command->get_name() != line.m_strHelpTopic) continue;
        std::fputs(command->help(app.get_name()).c_str(), stdout);
        return kExitFinished;
    }
    std::fputs(UnknownCommandMessage(app, line.m_strHelpTopic).c_str(), stderr);
    return kExitUsage;
}

int PrintCompletion(const CommandLine& line) {
    const std::string script = CompletionScript(line, line.m_strShell);
    if (script.empty()) {
        std::fprintf(stderr,
                     "tandemere: no completion for the shell \"%s\"; there is one for bash, zsh and fish\n",
                     line.m_strShell.c_str());
        return kExitUsage;
    }
    std::fputs(script.c_str(), stdout);
    return kExitFinished;
}

int Run(int argc, char** argv) {
    CommandLine line;
    CLI::App& app = line.App();
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        // A mistyped word is told with the word meant; every other mistake as the parser says it.
        const std::string unknown =
            error.get_exit_code() == 0 ? std::string() : UnknownWordMessage(app, argc, argv);
        if (!unknown.empty()) {
            std::fputs(unknown.c_str(), stderr);
            return kExitUsage;
        }
        const int code = app.exit(error);
        return code == 0 ? 0 : kExitUsage;
    }
    if (*line.m_pHelp) return ShowHelp(line);
    if (*line.m_pCompletion) return PrintCompletion(line);
    if (*line.m_pSettings) return RunSettingsCommand(line.m_oSettings);
    if (*line.m_pUndo) return RunUndo(line.m_oUndo);
    if (*line.m_pHistory) return RunHistory(line.m_bHistoryNames);
    return RunMoveCommand(line.m_oMove);
}

}  // namespace
}  // namespace tandemere::cli

int main(int argc, char** argv) {
    // Nothing may unwind out of main: an unexpected failure still ends with a message and a status.
    try {
        return tandemere::cli::Run(argc, argv);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "tandemere: %s\n", error.what());
    } catch (...) {
        std::fprintf(stderr, "tandemere: unexpected failure\n");
    }
    return tandemere::cli::kExitStopped;
}
