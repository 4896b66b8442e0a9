// Command-line layer: suggestions for mistyped subcommands and options.
#include "cli/suggest.h"

#include <algorithm>

#include "cli/command_line.h"

namespace tandemere::cli {
namespace {

// Edits (insert, delete, replace, swap two neighbours) that turn `a` into `b`.
std::size_t EditDistance(std::string_view a, std::string_view b) {
    std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
    for (std::size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
    for (std::size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t cost = a[i - 1] == b[j - 1] ? 0 : 1;
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    }
    return d[a.size()][b.size()];
}

std::vector<std::string> CommandNames(const CLI::App& app) {
    std::vector<std::string> names;
    for (const CLI::App* command : VisibleSubcommands(app)) names.push_back(command->get_name());
    return names;
}

const CLI::Option* FindOption(const CLI::App* command, const std::string& spelling) {
    for (; command != nullptr; command = command->get_parent())
        for (const CLI::Option* option : command->get_options())
            if (!option->get_positional() && option->check_name(spelling)) return option;
    return nullptr;
}

std::string Suggestion(const std::string& typed, const std::vector<std::string>& known) {
    const std::string nearest = NearestWord(typed, known);
    return nearest.empty() ? std::string() : "; did you mean \"" + nearest + "\"?";
}

// The full name of a command: "tandemere settings set".
std::string CommandPath(const CLI::App* command) {
    std::string path = command->get_name();
    for (const CLI::App* up = command->get_parent(); up != nullptr; up = up->get_parent())
        path = up->get_name() + " " + path;
    return path;
}

}  // namespace

std::string NearestWord(std::string_view typed, const std::vector<std::string>& known) {
    std::string best;
    std::size_t bestDistance = std::max<std::size_t>(1, typed.size() / 3) + 1;
    for (const std::string& word : known) {
        // A beginning of one word only: "--dif" for "--different", never "-" for every option.
        if (typed.size() >= 3 && word.size() > typed.size() && word.compare(0, typed.size(), typed) == 0)
            return word;
        const std::size_t distance = EditDistance(typed, word);
        if (distance < bestDistance) {
            best = word;
            bestDistance = distance;
        }
    }
    return best;
}

std::vector<std::string> OptionSpellings(const CLI::App& command) {
    std::vector<std::string> spellings;
    for (const CLI::App* up = &command; up != nullptr; up = up->get_parent()) {
        for (const CLI::Option* option : up->get_options()) {
            if (option->get_positional()) continue;
            for (const std::string& name : option->get_lnames()) spellings.push_back("--" + name);
            for (const std::string& name : option->get_snames()) spellings.push_back("-" + name);
        }
    }
    return spellings;
}

std::string UnknownCommandMessage(const CLI::App& app, const std::string& typed) {
    return "tandemere: \"" + typed + "\" is not a command of " + CommandPath(&app) +
           Suggestion(typed, CommandNames(app)) + "\n";
}

std::string UnknownWordMessage(const CLI::App& app, int argc, const char* const* argv) {
    const CLI::App* command = &app;
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (word == "--") break;
        if (word.size() > 1 && word[0] == '-') {
            const std::string spelling = word.substr(0, word.find('='));
            const CLI::Option* option = FindOption(command, spelling);
            // Short flags may come together: "-nq".
            bool cluster = spelling.size() > 2 && spelling[1] != '-';
            for (std::size_t k = 1; cluster && k < spelling.size(); ++k)
                cluster = FindOption(command, std::string("-") + spelling[k]) != nullptr;
            if (option == nullptr && !cluster)
                return "tandemere: " + CommandPath(command) + " has no option \"" + spelling + "\"" +
                       Suggestion(spelling, OptionSpellings(*command)) + "\n";
            if (option != nullptr && TakesValue(*option) && spelling == word) ++i;
            continue;
        }
        const std::vector<std::string> names = CommandNames(*command);
        if (std::find(names.begin(), names.end(), word) != names.end()) {
            command = command->get_subcommand(word);
        } else if (!names.empty() &&
                   command->get_options([](const CLI::Option* o) { return o->get_positional(); }).empty()) {
            return UnknownCommandMessage(*command, word);
        }
    }
    return {};
}

}  // namespace tandemere::cli
