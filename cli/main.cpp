// Command-line layer: the entry point of `tandemere`: arguments, subcommands, exit statuses.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "cli/move_run.h"
#include "cli/settings_command.h"
#include "cli/settings_values.h"
#include "engine/settings_table.h"

namespace tandemere::cli {
namespace {

// A move option that answers one decision in advance.
struct AnswerOption {
    const char* m_pszFlag;
    engine::SettingId m_nSetting;
    const char* m_pszHelp;
    std::string m_strWord;  // as typed; empty when the option was not given
};

// A pair of flags that turns one switch on or off for this move.
struct SwitchFlags {
    bool m_bOn = false;
    bool m_bOff = false;
    // The switch as the flags set it; unchanged when neither was given.
    void ApplyTo(std::optional<bool>& value) const {
        if (m_bOn || m_bOff) value = m_bOn;
    }
};

// What `move` was given, before it becomes MoveOptions.
struct MoveArguments {
    MoveOptions m_oOptions;
    SwitchFlags m_oLog, m_oFullPaths, m_oSameExt, m_oTrash;
    std::vector<AnswerOption> m_lstAnswers = {
        {"--different",
         engine::SettingId::DiffFileSameNameDlgDefault,
         "a different file of the same name is in the destination",
         {}},
        {"--identical",
         engine::SettingId::SameFileDiffNameDlgDefault,
         "an identical file is in the destination under another name",
         {}},
        {"--file-vs-folder",
         engine::SettingId::FnameFldrnameClashDlgDefault,
         "a source file's name is taken by a destination folder",
         {}},
        {"--folder-vs-file",
         engine::SettingId::FldrnameFnameClashDlgDefault,
         "a source folder's name is taken by a destination file",
         {}},
    };
};

// What `settings` was given.
struct SettingsArguments {
    std::string m_strFile, m_strName, m_strValue;
    CLI::App* m_pSet = nullptr;
    CLI::App* m_pUnset = nullptr;
};

void AddSwitchFlags(CLI::App& command, SwitchFlags& flags, const char* on, const char* onHelp,
                    const char* off, const char* offHelp) {
    CLI::Option* onFlag = command.add_flag(on, flags.m_bOn, onHelp);
    CLI::Option* offFlag = command.add_flag(off, flags.m_bOff, offHelp);
    onFlag->excludes(offFlag);
}

CLI::App* AddMoveCommand(CLI::App& app, MoveArguments& move) {
    CLI::App* command = app.add_subcommand(
        "move",
        "Move each SOURCE into the existing folder DESTINATION: identical files are deleted at the "
        "source, name clashes are asked (or answered in advance), folders are merged.");
    command
        ->add_option("SOURCE... DESTINATION", move.m_oOptions.m_lstPaths,
                     "the items to move, in order, then the folder that receives them")
        ->required()
        ->expected(2, -1)
        ->type_name("PATH");
    AddSwitchFlags(*command, move.m_oLog, "--log", "write the log and print it at the end", "--no-log",
                   "write no log");
    AddSwitchFlags(*command, move.m_oFullPaths, "--full-paths", "show whole paths in prompts and the log",
                   "--short-paths", "show paths relative to the source and destination folders");
    AddSwitchFlags(*command, move.m_oSameExt, "--only-same-ext",
                   "look for an identical file under another name only among files of the same extension",
                   "--all-ext", "look for it among all files");
    AddSwitchFlags(*command, move.m_oTrash, "--trash",
                   "put deleted duplicates and overwritten files in the trash, where they can be restored",
                   "--no-trash", "delete them for good");
    CLI::Option* dryRun = command->add_flag(
        "--dry-run", move.m_oOptions.m_bDryRun,
        "print the log the move would write and change nothing: no file, no folder, no stored answer "
        "(prompts are still asked; logging is on; a refusal only the real move would meet, such as a "
        "permission or a full disk, is not foreseen)");
    dryRun->excludes("--no-log");
    command->add_flag("--keep-going", move.m_oOptions.m_bKeepGoing,
                      "when input is not a terminal, skip an item that meets an error and go on with the "
                      "others (without it the move stops there; on a terminal the tool asks)");
    command
        ->add_option("--settings", move.m_oOptions.m_strSettingsFile,
                     "the settings file to use for this move")
        ->type_name("FILE");
    command
        ->add_option("--log-file", move.m_oOptions.m_strLogFile, "also write the log to FILE (emptied first)")
        ->type_name("FILE");
    for (AnswerOption& answer : move.m_lstAnswers) {
        const AnswerWords& words = *FindAnswerWords(engine::GetSetting(answer.m_nSetting));
        const std::vector<std::string> accepted = {words.m_pszFirstWord, words.m_pszSecondWord, "skip",
                                                   "ask"};
        command
            ->add_option(answer.m_pszFlag, answer.m_strWord,
                         std::string("the answer when ") + answer.m_pszHelp)
            ->check(CLI::IsMember(accepted))
            ->type_name("ANSWER");
    }
    return command;
}

CLI::App* AddSettingsCommand(CLI::App& app, SettingsArguments& settings) {
    CLI::App* command =
        app.add_subcommand("settings", "List the settings, where each comes from, and the settings file.");
    command->require_subcommand(0, 1);
    command->add_option("--settings", settings.m_strFile, "the settings file")->type_name("FILE");
    settings.m_pSet = command->add_subcommand("set", "Store one value in the settings file.");
    settings.m_pSet->add_option("--settings", settings.m_strFile, "the settings file")->type_name("FILE");
    settings.m_pSet->add_option("NAME", settings.m_strName, "one of the eight value names")->required();
    settings.m_pSet
        ->add_option("VALUE", settings.m_strValue, "a number, or a word (on/off; ask or an answer word)")
        ->required();
    settings.m_pUnset = command->add_subcommand("unset", "Remove one value, so its default governs again.");
    settings.m_pUnset->add_option("--settings", settings.m_strFile, "the settings file")->type_name("FILE");
    settings.m_pUnset->add_option("NAME", settings.m_strName, "one of the eight value names")->required();
    return command;
}

int RunSettingsCommand(const SettingsArguments& settings) {
    const std::string path = SettingsFilePath(settings.m_strFile);
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
    for (const AnswerOption& answer : move.m_lstAnswers) {
        if (answer.m_strWord.empty()) continue;
        const engine::SettingInfo& setting = engine::GetSetting(answer.m_nSetting);
        options.m_mapAnswers[setting.m_pszName] = *ParseAnswerWord(setting, answer.m_strWord);
    }
    return RunMove(options);
}

int Run(int argc, char** argv) {
    CLI::App app{"Moves files and folders into a folder without creating duplicates.", "tandemere"};
    app.set_version_flag("--version", "tandemere " TANDEMERE_VERSION);
    app.require_subcommand(1);
    app.footer(
        "Exit status: 0 the move ran to its end, 1 it was stopped or a remembered answer could not be "
        "stored, "
        "2 usage error or refused drop (a missing or unreadable source, a root, the home folder or a folder "
        "holding it, a mount point's top, a system folder, a folder into itself), 3 it ran to its end but "
        "its "
        "log could not be written.\n"
        "See tandemere(1).");
    MoveArguments move;
    AddMoveCommand(app, move);
    SettingsArguments settings;
    const CLI::App* settingsCommand = AddSettingsCommand(app, settings);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        const int code = app.exit(error);
        return code == 0 ? 0 : kExitUsage;
    }
    return *settingsCommand ? RunSettingsCommand(settings) : RunMoveCommand(move);
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
