// Command-line layer: the entry point of `tandemere`: arguments, subcommands, exit statuses.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <exception>

#include "cli/move_run.h"
#include "cli/settings_command.h"
#include "cli/settings_values.h"

namespace tandemere::cli {
namespace {

struct AnswerOption {
    const char* m_pszFlag;
    const char* m_pszValueName;
    const char* m_pszHelp;
    std::string m_strWord;
};

int Run(int argc, char** argv) {
    CLI::App app{"Moves files and folders into a folder without creating duplicates.", "tandemere"};
    app.set_version_flag("--version", "tandemere " TANDEMERE_VERSION);
    app.require_subcommand(1);
    app.footer(
        "Exit status: 0 the move ran to its end, 1 it was stopped, 2 usage error or refused drop.\n"
        "See tandemere(1).");

    MoveOptions move;
    CLI::App* moveCommand = app.add_subcommand(
        "move",
        "Move each SOURCE into the existing folder DESTINATION: identical files are deleted at the "
        "source, name clashes are asked (or answered in advance), folders are merged.");
    moveCommand
        ->add_option("SOURCE... DESTINATION", move.m_lstPaths,
                     "the items to move, in order, then the folder that receives them")
        ->required()
        ->expected(2, -1)
        ->type_name("PATH");
    bool logOn = false, logOff = false, fullOn = false, fullOff = false, sameOn = false, sameOff = false;
    CLI::Option* log = moveCommand->add_flag("--log", logOn, "write the log and print it at the end");
    CLI::Option* noLog = moveCommand->add_flag("--no-log", logOff, "write no log");
    log->excludes(noLog);
    CLI::Option* full =
        moveCommand->add_flag("--full-paths", fullOn, "show whole paths in prompts and the log");
    CLI::Option* shortPaths = moveCommand->add_flag(
        "--short-paths", fullOff, "show paths relative to the source and destination folders");
    full->excludes(shortPaths);
    CLI::Option* sameExt = moveCommand->add_flag(
        "--only-same-ext", sameOn,
        "look for an identical file under another name only among files of the same extension");
    CLI::Option* allExt = moveCommand->add_flag("--all-ext", sameOff, "look for it among all files");
    sameExt->excludes(allExt);
    moveCommand->add_option("--settings", move.m_strSettingsFile, "the settings file to use for this move")
        ->type_name("FILE");
    moveCommand->add_option("--log-file", move.m_strLogFile, "also write the log to FILE (emptied first)")
        ->type_name("FILE");

    AnswerOption answers[] = {
        {"--different",
         "DiffFileSameNameDlgDefault",
         "a different file of the same name is in the destination",
         {}},
        {"--identical",
         "SameFileDiffNameDlgDefault",
         "an identical file is in the destination under another name",
         {}},
        {"--file-vs-folder",
         "FnameFldrnameClashDlgDefault",
         "a source file's name is taken by a destination folder",
         {}},
        {"--folder-vs-file",
         "FldrnameFnameClashDlgDefault",
         "a source folder's name is taken by a destination file",
         {}},
    };
    for (AnswerOption& answer : answers) {
        const SettingInfo& setting = SettingNamed(answer.m_pszValueName);
        const std::vector<std::string> words = {setting.m_pszFirstWord, setting.m_pszSecondWord, "skip",
                                                "ask"};
        moveCommand
            ->add_option(answer.m_pszFlag, answer.m_strWord,
                         std::string("the answer when ") + answer.m_pszHelp)
            ->check(CLI::IsMember(words))
            ->type_name("ANSWER");
    }

    std::string settingsFile, name, value;
    CLI::App* settingsCommand =
        app.add_subcommand("settings", "List the settings, where each comes from, and the settings file.");
    settingsCommand->require_subcommand(0, 1);
    settingsCommand->add_option("--settings", settingsFile, "the settings file")->type_name("FILE");
    CLI::App* set = settingsCommand->add_subcommand("set", "Store one value in the settings file.");
    set->add_option("--settings", settingsFile, "the settings file")->type_name("FILE");
    set->add_option("NAME", name, "one of the seven value names")->required();
    set->add_option("VALUE", value, "a number, or a word (on/off; ask or an answer word)")->required();
    CLI::App* unset =
        settingsCommand->add_subcommand("unset", "Remove one value, so its default governs again.");
    unset->add_option("--settings", settingsFile, "the settings file")->type_name("FILE");
    unset->add_option("NAME", name, "one of the seven value names")->required();

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        const int code = app.exit(error);
        return code == 0 ? 0 : kExitUsage;
    }

    if (*settingsCommand) {
        const std::string path = SettingsFilePath(settingsFile);
        if (*set) return SetSetting(path, name, value);
        if (*unset) return UnsetSetting(path, name);
        return ListSettings(path);
    }
    if (logOn || logOff) move.m_bLogging = logOn;
    if (fullOn || fullOff) move.m_bFullPaths = fullOn;
    if (sameOn || sameOff) move.m_bOnlyCompareSameExt = sameOn;
    for (const AnswerOption& answer : answers) {
        if (answer.m_strWord.empty()) continue;
        const SettingInfo& setting = SettingNamed(answer.m_pszValueName);
        move.m_mapAnswers[setting.m_pszName] = *ParseAnswerWord(setting, answer.m_strWord);
    }
    return RunMove(move);
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
