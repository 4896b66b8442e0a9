// Command-line layer: completion scripts for bash, zsh and fish, generated from the command line.
#include "cli/completion.h"

#include <vector>

namespace tandemere::cli {
namespace {

struct OptionInfo {
    std::vector<std::string> m_lstSpellings;  // "--dry-run", "-n"
    bool m_bValue = false;                    // takes a value
    ValueHint m_oHint;                        // what completes the value
    std::string m_strHelp;
};

// One command as the scripts see it: "settings set" with its options, subcommands and arguments.
struct CommandInfo {
    std::string m_strPath;  // "" for the tool itself
    std::vector<OptionInfo> m_lstOptions;
    std::vector<std::pair<std::string, std::string>> m_lstCommands;  // name, help
    std::vector<ValueHint> m_lstArguments;                           // in order; the last one repeats
};

ValueHint HintFor(const CommandLine& line, const CLI::Option* option) {
    const ValueHint* hint = line.HintOf(option);
    return hint != nullptr ? *hint : ValueHint{};
}

void Collect(const CommandLine& line, const CLI::App& app, const std::string& path,
             std::vector<CommandInfo>& out) {
    CommandInfo info;
    info.m_strPath = path;
    for (const CLI::Option* option : app.get_options()) {
        if (option->get_positional()) {
            info.m_lstArguments.push_back(HintFor(line, option));
            continue;
        }
        OptionInfo item{{}, TakesValue(*option), HintFor(line, option), option->get_description()};
        for (const std::string& name : option->get_lnames()) item.m_lstSpellings.push_back("--" + name);
        for (const std::string& name : option->get_snames()) item.m_lstSpellings.push_back("-" + name);
        info.m_lstOptions.push_back(std::move(item));
    }
    const std::vector<const CLI::App*> commands = VisibleSubcommands(app);
    for (const CLI::App* command : commands)
        info.m_lstCommands.emplace_back(command->get_name(), command->get_description());
    out.push_back(std::move(info));
    for (const CLI::App* command : commands)
        Collect(line, *command, path.empty() ? command->get_name() : path + " " + command->get_name(), out);
}

std::string Joined(const std::vector<std::string>& words) {
    std::string text;
    for (const std::string& word : words) text += (text.empty() ? "" : " ") + word;
    return text;
}

// The short description: up to the first colon or parenthesis, without quotes or brackets.
std::string Brief(const std::string& help) {
    std::string text = help.substr(0, help.find_first_of(":("));
    while (!text.empty() && (text.back() == ' ' || text.back() == '.')) text.pop_back();
    std::string out;
    for (char c : text)
        if (c != '\'' && c != '[' && c != ']' && c != '`' && c != '"') out += c;
    return out;
}

// The case arms that step from one command into its subcommand: `"settings:get") cmd="settings get" ;;`.
std::string PathSteps(const std::vector<CommandInfo>& commands, const char* arm, const char* end) {
    std::string text;
    for (const CommandInfo& command : commands)
        for (const auto& [name, help] : command.m_lstCommands) {
            const std::string next = command.m_strPath.empty() ? name : command.m_strPath + " " + name;
            text +=
                "            \"" + command.m_strPath + ":" + name + "\"" + arm + "cmd=\"" + next + "\"" + end;
        }
    return text;
}

std::string BashValueWords(const ValueHint& hint) {
    if (hint.m_nKind == ValueHint::Moves) return "M:";
    return hint.m_nKind == ValueHint::Words ? "W:" + Joined(hint.m_lstWords) : "F:";
}

// Per command: its options (those that take a value end in "="), subcommands and arguments.
std::string BashTables(const std::vector<CommandInfo>& commands) {
    std::string text = "    case \"$cmd\" in\n";
    for (const CommandInfo& command : commands) {
        std::vector<std::string> options, values, arguments;
        for (const OptionInfo& option : command.m_lstOptions)
            for (const std::string& spelling : option.m_lstSpellings) {
                const bool joined = option.m_bValue && spelling.size() > 2 && spelling[1] == '-';
                options.push_back(joined ? spelling + "=" : spelling);
                if (option.m_bValue)
                    values.push_back(spelling + ") value='" + BashValueWords(option.m_oHint) + "' ;;");
            }
        for (const ValueHint& hint : command.m_lstArguments)
            arguments.push_back("'" + BashValueWords(hint) + "'");
        text += "        \"" + command.m_strPath + "\")\n            opts='" + Joined(options) + "'\n";
        std::vector<std::string> names;
        for (const auto& [name, help] : command.m_lstCommands) names.push_back(name);
        text += "            cmds='" + Joined(names) + "'\n            args=(" + Joined(arguments) + ")\n";
        text += "            case \"$opt\" in\n";
        for (const std::string& value : values) text += "                " + value + "\n";
        text += "            esac ;;\n";
    }
    return text + "    esac\n";
}

constexpr const char* kBashHead = R"(# bash completion for tandemere; made by `tandemere completion bash`.
# Offers a value from a list of words, a move's name, or a file name.
_tandemere_offer() {
    local offered=$1 cur=$2
    if [[ $offered == W:* ]]; then
        COMPREPLY=($(compgen -W "${offered#W:}" -- "$cur"))
    elif [[ $offered == M: ]]; then
        local moves
        moves=$(tandemere history --names 2>/dev/null)
        COMPREPLY=($(compgen -W "$moves" -- "$cur"))
    else
        compopt -o filenames 2>/dev/null
        COMPREPLY=($(compgen -f -- "$cur"))
    fi
}

# Describes the command `cmd` for an option `opt`: its options, subcommands, arguments, and the value of `opt`.
_tandemere_table() {
)";

constexpr const char* kBashBody = R"(}

_tandemere() {
    # "--different=re" comes split at "=": put such words together again.
    local -a w=()
    local i cmd="" opt="" opts cmds args value=""
    for ((i = 1; i <= COMP_CWORD; i++)); do
        if ((${#w[@]})) && [[ ${COMP_WORDS[i]} == = || ${COMP_WORDS[i-1]} == = ]]; then
            w[${#w[@]}-1]+=${COMP_WORDS[i]}
        else
            w+=("${COMP_WORDS[i]}")
        fi
    done
    local cur=${w[${#w[@]}-1]} n=0 skip=0 word
    for word in "${w[@]:0:${#w[@]}-1}"; do
        if ((skip)); then skip=0; continue; fi
        case "$cmd:$word" in
)";

constexpr const char* kBashTail = R"(            *:-*) opt=${word%%=*} value=""; _tandemere_table
                [[ -n $value && $word != *=* ]] && skip=1 ;;
            *) ((n++)) ;;
        esac
    done
    if [[ $cur == --*=* ]]; then
        opt=${cur%%=*} value=""; _tandemere_table
        [[ -n $value ]] && _tandemere_offer "$value" "${cur#*=}"
        return
    fi
    opt=""; _tandemere_table
    if ((skip)); then
        opt=${w[${#w[@]}-2]} value=""; _tandemere_table
        _tandemere_offer "$value" "$cur"
    elif [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$opts" -- "$cur"))
        [[ ${#COMPREPLY[@]} == 1 && ${COMPREPLY[0]} == *= ]] && compopt -o nospace 2>/dev/null
    elif [[ -n $cmds && $n == 0 ]]; then
        COMPREPLY=($(compgen -W "$cmds" -- "$cur"))
    elif ((${#args[@]})); then
        ((n >= ${#args[@]})) && n=$((${#args[@]} - 1))
        _tandemere_offer "${args[n]}" "$cur"
    fi
}
complete -F _tandemere tandemere
)";

std::string BashScript(const std::vector<CommandInfo>& commands) {
    return kBashHead + BashTables(commands) + kBashBody + PathSteps(commands, ") ", "; n=0 ;;\n") + kBashTail;
}

std::string ZshQuoted(const std::string& text) {
    std::string out;
    for (char c : text) out += c == ':' ? std::string("\\:") : std::string(1, c);
    return out;
}

std::string ZshValue(const ValueHint& hint, const char* label) {
    if (hint.m_nKind == ValueHint::Words)
        return std::string(":") + label + ":(" + Joined(hint.m_lstWords) + ")";
    if (hint.m_nKind == ValueHint::Moves)
        return std::string(":") + label + ":{compadd -- $(tandemere history --names 2>/dev/null)}";
    return std::string(":") + label + ":_files";
}

std::string ZshSpecs(const CommandInfo& command) {
    std::string text;
    for (const OptionInfo& option : command.m_lstOptions)
        for (const std::string& spelling : option.m_lstSpellings) {
            const bool joined = option.m_bValue && spelling[1] == '-';
            text += " \\\n                '" + spelling + (joined ? "=" : "") + "[" +
                    ZshQuoted(Brief(option.m_strHelp)) + "]" +
                    (option.m_bValue ? ZshValue(option.m_oHint, "value") : "") + "'";
        }
    if (!command.m_lstCommands.empty()) {
        std::string words;
        for (const auto& [name, help] : command.m_lstCommands) words += (words.empty() ? "" : " ") + name;
        text += " \\\n                '1:command:(" + words + ")'";
    }
    for (std::size_t i = 0; i < command.m_lstArguments.size(); ++i) {
        const bool last = i + 1 == command.m_lstArguments.size();
        text += std::string(" \\\n                '") + (last ? "*" : "") +
                ZshValue(command.m_lstArguments[i], "argument") + "'";
    }
    return text;
}

std::string ZshScript(const std::vector<CommandInfo>& commands) {
    std::string text =
        "#compdef tandemere\n# zsh completion for tandemere; made by `tandemere completion zsh`.\n"
        "_tandemere() {\n    local cmd=\"\" i start=1\n    for ((i = 2; i < CURRENT; i++)); do\n"
        "        case \"$cmd:${words[i]}\" in\n";
    text += PathSteps(commands, ") start=$i; ", " ;;\n");
    text +=
        "        esac\n    done\n    words=(\"${(@)words[start,-1]}\")\n    (( CURRENT -= start - 1 ))\n"
        "    case \"$cmd\" in\n";
    for (const CommandInfo& command : commands)
        text +=
            "        \"" + command.m_strPath + "\")\n            _arguments -s" + ZshSpecs(command) + " ;;\n";
    return text + "    esac\n}\n_tandemere \"$@\"\n";
}

std::string FishQuoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) out += c == '\'' || c == '\\' ? std::string("\\") + c : std::string(1, c);
    return out + "'";
}

std::string FishArgument(const ValueHint& hint) {
    if (hint.m_nKind == ValueHint::Moves)
        return " -f -a " + FishQuoted("(tandemere history --names 2>/dev/null)");
    return hint.m_nKind == ValueHint::Words ? " -a " + FishQuoted(Joined(hint.m_lstWords)) : " -F";
}

std::string FishLines(const CommandInfo& command) {
    const std::string head =
        "complete -c tandemere -n " + FishQuoted("__tandemere_in " + FishQuoted(command.m_strPath));
    std::string text;
    for (const auto& [name, help] : command.m_lstCommands)
        text += head + " -a " + name + " -d " + FishQuoted(Brief(help)) + "\n";
    for (const OptionInfo& option : command.m_lstOptions) {
        text += head;
        for (const std::string& spelling : option.m_lstSpellings)
            text += (spelling[1] == '-' ? " -l " + spelling.substr(2) : " -s " + spelling.substr(1));
        if (option.m_bValue)
            text += option.m_oHint.m_nKind == ValueHint::Words
                        ? " -x -a " + FishQuoted(Joined(option.m_oHint.m_lstWords))
                        : " -r -F";
        text += " -d " + FishQuoted(Brief(option.m_strHelp)) + "\n";
    }
    for (const ValueHint& hint : command.m_lstArguments) text += head + FishArgument(hint) + "\n";
    return text;
}

std::string FishScript(const std::vector<CommandInfo>& commands) {
    std::string text =
        "# fish completion for tandemere; made by `tandemere completion fish`.\n"
        "# Whether the words typed so far are in the command given (\"\" for the tool itself).\n"
        "function __tandemere_in\n    set -l cmd ''\n"
        "    for word in (commandline -opc)[2..-1]\n        switch \"$cmd:$word\"\n";
    for (const CommandInfo& command : commands)
        for (const auto& [name, help] : command.m_lstCommands)
            text += "            case " + FishQuoted(command.m_strPath + ":" + name) +
                    "\n                set cmd " +
                    FishQuoted(command.m_strPath.empty() ? name : command.m_strPath + " " + name) + "\n";
    text += "        end\n    end\n    test \"$cmd\" = \"$argv[1]\"\nend\ncomplete -c tandemere -f\n";
    for (const CommandInfo& command : commands) text += FishLines(command);
    return text;
}

}  // namespace

std::string CompletionScript(const CommandLine& line, const std::string& shell) {
    std::vector<CommandInfo> commands;
    Collect(line, line.App(), "", commands);
    if (shell == "bash") return BashScript(commands);
    if (shell == "zsh") return ZshScript(commands);
    if (shell == "fish") return FishScript(commands);
    return {};
}

}  // namespace tandemere::cli
