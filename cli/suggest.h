// Command-line layer: "did you mean": the word a mistyped subcommand or option was meant to be.
#pragma once

#include <CLI/CLI.hpp>

#include <string>
#include <string_view>
#include <vector>

namespace tandemere::cli {

// The known word nearest to `typed`: one it begins, or one a few letters off (a third of its
// length at most); empty when none is that near.
std::string NearestWord(std::string_view typed, const std::vector<std::string>& known);

// Every spelling of the options of `command`, its parents' included ("-n", "--dry-run").
std::vector<std::string> OptionSpellings(const CLI::App& command);

// The message for the first word of the arguments that `app` does not know (an unknown
// subcommand, or an option unknown to the command it follows), with the word perhaps meant, and
// its line end; empty when every word is known.
std::string UnknownWordMessage(const CLI::App& app, int argc, const char* const* argv);
// The message for a subcommand name `app` does not have.
std::string UnknownCommandMessage(const CLI::App& app, const std::string& typed);

}  // namespace tandemere::cli
