// Engine layer: undo of one move from its journal: each change reversed, newest first, never over
// anything, each step logged in the words of the move's log.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/file_system.h"
#include "engine/journal.h"

namespace tandemere::engine {

struct UndoSummary {
    std::uint64_t m_nUndone = 0;   // changes reversed
    std::uint64_t m_nLeft = 0;     // changes left as they are: a target taken, an item gone or changed
    std::uint64_t m_nChanged = 0;  // of those, the ones whose item changed since the move
    // Overwritten or deleted for good by the move, or put in a trash that names no file it keeps.
    std::uint64_t m_nNotUndoable = 0;
    std::uint64_t m_nErrors = 0;  // a step the system refused
    // Whether every change of the move was reversed.
    bool Complete() const { return m_nLeft == 0 && m_nNotUndoable == 0 && m_nErrors == 0; }
};

// "Undid 12 changes; left 1 (1 changed since the move); 0 errors." without its line end.
std::string FormatUndoSummary(const UndoSummary& summary);

// The header of a journal, as `history` and `undo` show it.
struct JournalHeader {
    std::string m_strTime;         // when the move started (UTC, ISO 8601)
    std::string m_strDestination;  // the drop folder
    std::vector<std::string> m_lstSources;
    std::uint64_t m_nChanges = 0;  // the records of changes
    std::string m_strUndone;       // when an undo ran (empty: never)
};
JournalHeader ReadJournalHeader(const std::vector<JournalRecord>& records);

class UndoCommand {
public:
    explicit UndoCommand(IFileSystem& fs) : m_rFs(fs) {}

    // Reverses every change of `records`, newest first. A step whose item is gone or changed since
    // the move (kind, size, last-write time), or whose old place is taken, is left with a line that
    // says why; the undo goes on with the next.
    void Run(const std::vector<JournalRecord>& records);

    const std::string& Log() const { return m_strLog; }
    const UndoSummary& Summary() const { return m_oSummary; }

private:
    void UndoMove(const JournalRecord& record);
    void UndoDuplicate(const JournalRecord& record);
    void UndoTrashed(const JournalRecord& record);
    void UndoFolderCreated(const JournalRecord& record);
    void UndoFolderRemoved(const JournalRecord& record);
    void NotUndoable(const JournalRecord& record);
    // Why the item at `path` cannot be taken back: gone, or not as `recorded`; empty when it can.
    std::string WhyNotAsRecorded(const std::string& path, const DirEntry& recorded, DirEntry& now);
    // Puts the item at `from` back at `to`, never over anything; the system's failure on error.
    Status MoveBack(const std::string& from, const std::string& to, bool folder);
    // Moves the entries of the folder `now` back into `back`, the rest of its source that a copy across
    // volumes left there, folder into folder; removes `now` once empty. False when anything stays.
    bool MergeBack(const std::string& now, const std::string& back);
    // Removes `copy`, which a copy across volumes made of `original` while that stayed: only while both
    // are regular files of the same size, time and bytes. False (logged) when it stays.
    bool DropCopy(const std::string& copy, const std::string& original);
    // Whether two files hold the same bytes.
    Status SameBytes(const std::string& a, const std::string& b, bool& same);
    void Line(std::string_view pattern, std::initializer_list<std::string_view> args);
    void Left(std::string_view pattern, std::initializer_list<std::string_view> args, bool changed);
    void Error(std::string_view pattern, std::initializer_list<std::string_view> args, const Status& status);

    IFileSystem& m_rFs;
    std::string m_strLog;
    UndoSummary m_oSummary;
};

}  // namespace tandemere::engine
