// Command-line layer: the shell completion scripts, made from the one definition of the commands
// and options, so they never drift from what the parser accepts.
#pragma once

#include <string>

#include "cli/command_line.h"

namespace tandemere::cli {

// The completion script for "bash", "zsh" or "fish"; empty for any other shell.
std::string CompletionScript(const CommandLine& line, const std::string& shell);

}  // namespace tandemere::cli
