// Command-line layer: the commands and options of `tandemere`, defined once.
#include "cli/command_line.h"

#include <memory>

#include "cli/settings_values.h"

namespace tandemere::cli {
namespace {

constexpr const char* kSettingsFileHelp = "the settings file";

// "Usage: tandemere move [OPTIONS] SOURCE... DESTINATION": the arguments by their names alone.
class UsageFormatter : public CLI::Formatter {
public:
    std::string make_usage(const CLI::App* app, std::string name) const override {
        std::string out = "Usage: " + name;
        if (!app->get_options([](const CLI::Option* option) { return option->nonpositional(); }).empty())
            out += " [OPTIONS]";
        for (const CLI::Option* positional :
             app->get_options([](const CLI::Option* option) { return option->get_positional(); }))
            out += positional->get_required() ? " " + positional->get_name()
                                              : " [" + positional->get_name() + "]";
        if (!VisibleSubcommands(*app).empty())
            out += app->get_require_subcommand_min() == 0 ? " [COMMAND]" : " COMMAND";
        return out + "\n";
    }
    // Only what the option takes; which options exclude each other is said when it matters.
    std::string make_option_opts(const CLI::Option* option) const override {
        return TakesValue(*option) ? " " + option->get_type_name() : std::string();
    }
};

std::vector<std::string> EverySettingWord() {
    std::vector<std::string> words = {"on", "off", "ask", "skip"};
    for (const engine::SettingInfo& setting : engine::kSettings)
        for (const std::string& word : AnswerWordList(setting))
            if (std::find(words.begin(), words.end(), word) == words.end()) words.push_back(word);
    return words;
}

}  // namespace

std::vector<const CLI::App*> VisibleSubcommands(const CLI::App& app) {
    return app.get_subcommands([](const CLI::App* sub) { return !sub->get_group().empty(); });
}

CommandLine::CommandLine()
    : m_oApp("Moves files and folders into a folder without creating duplicates.", "tandemere") {
    m_oApp.formatter(std::make_shared<UsageFormatter>());
    m_oApp.set_version_flag("--version", "tandemere " TANDEMERE_VERSION);
    m_oApp.require_subcommand(1);
    m_oApp.footer(
        "Exit status: 0 the move ran to its end, 1 it was stopped, went on past an error or could not store "
        "a "
        "remembered answer, 2 usage error or refused drop (a missing or unreadable source, a root, the home "
        "folder or one holding it, a mount point's top, a system folder, a folder into itself), 3 it ran to "
        "its end but its log could not be written.\n"
        "`tandemere help COMMAND` tells more of one command. See tandemere(1).");
    AddMoveCommand();
    AddSettingsCommand();
    AddUndoCommands();
    m_pHelp = m_oApp.add_subcommand("help", "Show the help of tandemere or of one COMMAND.");
    Hinted(m_pHelp->add_option("COMMAND", m_strHelpTopic, "the command to tell about"),
           {ValueHint::Words, {"move", "settings", "undo", "history", "help", "completion"}});
    m_pCompletion = m_oApp.add_subcommand("completion", "Print the completion script for bash, zsh or fish.");
    Hinted(m_pCompletion->add_option("SHELL", m_strShell, "bash, zsh or fish")->required(),
           {ValueHint::Words, {"bash", "zsh", "fish"}});
}

const ValueHint* CommandLine::HintOf(const CLI::Option* option) const {
    const auto it = m_mapHints.find(option);
    return it == m_mapHints.end() ? nullptr : &it->second;
}

CLI::Option* CommandLine::Hinted(CLI::Option* option, ValueHint hint) {
    m_mapHints[option] = std::move(hint);
    return option;
}

void CommandLine::AddSwitchFlags(CLI::App& command, SwitchFlags& flags, const char* on, const char* onHelp,
                                 const char* off, const char* offHelp) {
    CLI::Option* onFlag = command.add_flag(on, flags.m_bOn, onHelp);
    CLI::Option* offFlag = command.add_flag(off, flags.m_bOff, offHelp);
    onFlag->excludes(offFlag);
}

void CommandLine::AddMoveCommand() {
    MoveArguments& move = m_oMove;
    CLI::App* command = m_pMove = m_oApp.add_subcommand(
        "move",
        "Move each SOURCE into the existing folder DESTINATION: identical files are deleted at the "
        "source, name clashes are asked (or answered in advance), folders are merged.");
    Hinted(command->add_option("SOURCE... DESTINATION", move.m_oOptions.m_lstPaths,
                               "the items to move, in order, then the folder that receives them"),
           {})
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
    AddSwitchFlags(*command, move.m_oSearchTree, "--search-tree",
                   "where the counterpart folder holds no identical file, look for one in the whole "
                   "destination tree (links not followed) and ask whether to delete the source",
                   "--search-folder", "look only in the counterpart folder");
    CLI::Option* dryRun = command->add_flag(
        "-n,--dry-run", move.m_oOptions.m_bDryRun,
        "print the log the move would write and change nothing: no file, no folder, no stored answer "
        "(prompts are still asked; logging is on; a refusal only the real move would meet, such as a "
        "permission or a full disk, is not foreseen)");
    dryRun->excludes("--no-log");
    CLI::Option* quiet = command->add_flag("-q,--quiet", move.m_oOptions.m_bQuiet,
                                           "show neither the progress nor the summary");
    command->add_flag("-v,--verbose", move.m_oOptions.m_bVerbose, "print each log line as it happens")
        ->excludes(quiet);
    command->add_flag("--keep-going", move.m_oOptions.m_bKeepGoing,
                      "when input is not a terminal, skip an item that meets an error and go on with the "
                      "others (without it the move stops there; on a terminal the tool asks)");
    Hinted(command->add_option("--settings", move.m_oOptions.m_strSettingsFile,
                               "the settings file to use for this move"),
           {})
        ->type_name("FILE");
    Hinted(command->add_option("--log-file", move.m_oOptions.m_strLogFile,
                               "also write the log to FILE (emptied first), with a header and the summary"),
           {})
        ->type_name("FILE");
    for (AnswerOption& answer : move.m_lstAnswers) {
        const std::vector<std::string> accepted = AnswerWordList(engine::GetSetting(answer.m_nSetting));
        Hinted(command->add_option(std::string("--") + ShortName(answer.m_nSetting), answer.m_strWord,
                                   std::string("the answer when ") + answer.m_pszHelp),
               {ValueHint::Words, accepted})
            ->check(CLI::IsMember(accepted))
            ->type_name("ANSWER");
    }
}

void CommandLine::AddUndoCommands() {
    m_pUndo = m_oApp.add_subcommand(
        "undo",
        "Undo the last move, or MOVE (a name from `history`): each change reversed, newest first, never over "
        "anything; a change whose item changed since, or whose old place is taken, is left and said.");
    Hinted(m_pUndo->add_option("MOVE", m_oUndo.m_strMove, "the move to undo, as `history` names it"),
           {ValueHint::Moves, {}})
        ->type_name("MOVE");
    m_pUndo->add_flag("-n,--dry-run", m_oUndo.m_bDryRun, "print what undo would do and change nothing");
    m_pUndo->add_flag("-q,--quiet", m_oUndo.m_bQuiet, "show neither the heading nor the summary");
    m_pHistory = m_oApp.add_subcommand(
        "history",
        "List the recent moves (the last 100, of the last 30 days): time, destination, changes, "
        "whether undone.");
    m_pHistory->add_flag("--names", m_bHistoryNames, "print only the moves' names, as `undo` takes them");
}

void CommandLine::AddSettingsCommand() {
    SettingsArguments& settings = m_oSettings;
    CLI::App* command = m_pSettings =
        m_oApp.add_subcommand("settings", "List the settings, where each comes from, and the settings file.");
    command->require_subcommand(0, 1);
    Hinted(command->add_option("--settings", settings.m_strFile, kSettingsFileHelp), {})->type_name("FILE");
    const ValueHint names{ValueHint::Words, AllSettingNames()};
    settings.m_pGet = command->add_subcommand("get", "Show one value and where it comes from.");
    settings.m_pSet = command->add_subcommand("set", "Store one value in the settings file.");
    settings.m_pUnset = command->add_subcommand("unset", "Remove one value, so its default governs again.");
    for (CLI::App* sub : {settings.m_pGet, settings.m_pSet, settings.m_pUnset}) {
        Hinted(sub->add_option("--settings", settings.m_strFile, kSettingsFileHelp), {})->type_name("FILE");
        Hinted(sub->add_option("NAME", settings.m_strName,
                               "a setting's name: different, log, ... (see `settings`)"),
               names)
            ->required();
    }
    Hinted(settings.m_pSet->add_option("VALUE", settings.m_strValue,
                                       "a word (on/off; ask, skip or an answer word) or a number"),
           {ValueHint::Words, EverySettingWord()})
        ->required();
}

}  // namespace tandemere::cli
