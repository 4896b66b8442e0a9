// Command-line layer: the journal of each real move, and the `undo` and `history` commands that read it.
#pragma once

#include <string>
#include <vector>

#include "engine/move_command.h"
#include "platform/posix/journal_file_posix.h"

namespace tandemere::cli {

// Starts this move's journal with its header; `name` is the move's start (its journal's name). When it
// cannot be written, it says so once on stderr and the move goes on without one (false): a move never
// loses anything for want of it.
bool StartJournal(posix::PosixJournalFile& file, const std::vector<std::string>& sources,
                  const std::string& dest, std::string& name);
// After the move that began at `name`: removes the earlier journals beyond the limits the move's
// settings gave (KeepJournalDays, KeepJournalCount).
void PruneJournals(const engine::MoveCommand& command, const std::string& name);

struct UndoOptions {
    std::string m_strMove;  // a journal's name from `history`; empty: the newest
    bool m_bDryRun = false;
    bool m_bQuiet = false;
};

// The status of an undo that found no such move or could not read it.
inline constexpr int kUndoNothing = 2;

// `tandemere undo`: 0 when every change was undone (or had been already), 1 when some stayed,
// kUndoNothing when there is nothing to undo.
int RunUndo(const UndoOptions& options);
// `tandemere history`: the recent moves, newest last; with `namesOnly` their names alone.
int RunHistory(bool namesOnly);

}  // namespace tandemere::cli
