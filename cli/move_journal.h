// Command-line layer: the journal of each real move, and the `undo` and `history` commands that read it.
#pragma once

#include <string>
#include <vector>

#include "platform/posix/journal_file_posix.h"

namespace tandemere::cli {

// Journals older than this many days, and beyond this many, are removed when a move starts.
inline constexpr std::uint32_t kJournalDays = 30;
inline constexpr std::uint32_t kJournalCount = 100;

// Prunes the old journals and starts this move's with its header. When it cannot be written, it says
// so once on stderr and the move goes on without one (false): a move never loses anything for want of it.
bool StartJournal(posix::PosixJournalFile& file, const std::vector<std::string>& sources,
                  const std::string& dest);

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
