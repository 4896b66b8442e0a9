// Command-line layer: the one definition of the commands and options of `tandemere`. The parser,
// `help`, the suggestions for mistyped words and the completion scripts all read it.
#pragma once

#include <CLI/CLI.hpp>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "cli/move_journal.h"
#include "cli/move_run.h"
#include "engine/settings_table.h"

namespace tandemere::cli {

// A move option that answers one decision in advance; its name is the setting's short name.
struct AnswerOption {
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
    SwitchFlags m_oLog, m_oFullPaths, m_oSameExt, m_oTrash, m_oSearchTree;
    std::vector<AnswerOption> m_lstAnswers = {
        {engine::SettingId::DiffFileSameNameDlgDefault,
         "a different file of the same name is in the destination",
         {}},
        {engine::SettingId::SameFileDiffNameDlgDefault,
         "an identical file is in the destination under another name",
         {}},
        {engine::SettingId::FnameFldrnameClashDlgDefault,
         "a source file's name is taken by a destination folder",
         {}},
        {engine::SettingId::FldrnameFnameClashDlgDefault,
         "a source folder's name is taken by a destination file",
         {}},
        {engine::SettingId::SameFileElsewhereDlgDefault,
         "an identical file is elsewhere in the destination tree (with --search-tree)",
         {}},
    };
};

// What `settings` was given.
struct SettingsArguments {
    std::string m_strFile, m_strName, m_strValue;
    CLI::App* m_pGet = nullptr;
    CLI::App* m_pSet = nullptr;
    CLI::App* m_pUnset = nullptr;
};

// What completes a value: of an option, or of a command's arguments.
struct ValueHint {
    // Moves: the names `history --names` prints when the completion runs.
    enum Kind : std::uint8_t { Path, Words, Moves } m_nKind = Path;
    std::vector<std::string> m_lstWords;  // for Words
};

class CommandLine {
public:
    CommandLine();
    CommandLine(const CommandLine&) = delete;
    CommandLine& operator=(const CommandLine&) = delete;

    CLI::App& App() { return m_oApp; }
    const CLI::App& App() const { return m_oApp; }
    // What completes the value of `option` (a positional one included); null: nothing offered.
    const ValueHint* HintOf(const CLI::Option* option) const;

    MoveArguments m_oMove;
    SettingsArguments m_oSettings;
    UndoOptions m_oUndo;
    bool m_bHistoryNames = false;  // `history --names`
    std::string m_strHelpTopic;    // `help [COMMAND]`
    std::string m_strShell;        // `completion SHELL`
    CLI::App* m_pMove = nullptr;
    CLI::App* m_pSettings = nullptr;
    CLI::App* m_pUndo = nullptr;
    CLI::App* m_pHistory = nullptr;
    CLI::App* m_pHelp = nullptr;
    CLI::App* m_pCompletion = nullptr;

private:
    void AddMoveCommand();
    void AddSettingsCommand();
    void AddUndoCommands();
    void AddSwitchFlags(CLI::App& command, SwitchFlags& flags, const char* on, const char* onHelp,
                        const char* off, const char* offHelp);
    CLI::Option* Hinted(CLI::Option* option, ValueHint hint);

    CLI::App m_oApp;
    std::map<const CLI::Option*, ValueHint> m_mapHints;
};

// Whether the option takes a value (flags take none).
inline bool TakesValue(const CLI::Option& option) {
    return option.get_items_expected_max() != 0;
}

// The subcommands of `app` in the order they were defined, without hidden ones.
std::vector<const CLI::App*> VisibleSubcommands(const CLI::App& app);

}  // namespace tandemere::cli
