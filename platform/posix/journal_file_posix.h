// Platform layer (POSIX): where the journals of moves lie ($XDG_STATE_HOME/tandemere/moves/), one
// file a move named by its start time, written a whole line a write.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/journal.h"
#include "platform/posix/unique_fd.h"

namespace tandemere::posix {

// The journals' folder: $XDG_STATE_HOME/tandemere/moves, else ~/.local/state/tandemere/moves.
std::string DefaultJournalFolder();

// The current time as a journal's name ("20261210T225359.123456Z", UTC, sorting by time) and as the
// header's ISO 8601 text ("2026-12-10T22:53:59Z").
struct JournalTime {
    std::string m_strName;
    std::string m_strText;
};
JournalTime NowForJournal();

// One journal file open for appending.
class PosixJournalFile : public engine::IJournalFile {
public:
    // Makes the folder (and its parents, private to the user) and a new journal named `name`
    // ("-2", "-3"... appended while taken); `path` is the file made.
    engine::Status Create(const std::string& folder, const std::string& name, std::string& path);
    // Opens an existing journal to append to it.
    engine::Status OpenExisting(const std::string& path);
    // One write(2) of the whole line: O_APPEND keeps each line whole and in order.
    engine::Status AppendLine(const std::string& line) override;

private:
    UniqueFd m_hFile;
    std::string m_strPath;
};

// The journals' names in `folder` (without ".journal"), oldest first; empty when there is none.
std::vector<std::string> ListJournals(const std::string& folder);
// The path of the journal named `name` in `folder`.
std::string JournalPath(const std::string& folder, const std::string& name);
// Removes the journals that JournalsToPrune names; the failures to remove are ignored (the next move
// tries again).
void PruneJournals(const std::string& folder, const std::string& now, std::uint32_t maxDays,
                   std::uint32_t maxCount);

}  // namespace tandemere::posix
