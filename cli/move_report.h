// Command-line layer: what `tandemere move` says around the move itself: the log file's header,
// and at the end the summary and a Ctrl-C that stdout alone would not show.
#pragma once

#include <string>
#include <vector>

#include "cli/move_run.h"
#include "engine/move_command.h"
#include "ui/tty/tty_user_interface.h"

namespace tandemere::cli {

// Before the move: quiet or verbose output, and the head of the log file, so that a log read a
// week later says what it is about: when, which version, each source and the destination as whole
// paths, and the answers given in advance.
void StartReport(tty::TtyUserInterface& ui, const MoveOptions& options,
                 const std::vector<std::string>& sources, const std::string& dest);

// After the move: the summary on stderr (unless quiet) and at the end of the log file; a
// cancellation on stderr when stdout, which carries the log's own word of it, is no terminal.
void ReportMoveEnd(const engine::MoveCommand& command, tty::TtyUserInterface& ui, const MoveOptions& options);

}  // namespace tandemere::cli
