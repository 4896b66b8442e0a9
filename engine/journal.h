// Engine layer: the journal of one move: a text file of one record a line that says what each change
// was, so that `undo` can reverse it. The engine formats and parses the records; where they are stored
// is the platform's (IJournalFile).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/file_system.h"
#include "engine/status.h"

namespace tandemere::engine {

// Where the records of one move go: a file opened for appending.
class IJournalFile {
public:
    virtual ~IJournalFile() = default;
    // Appends one whole line (ending in "\n") by a single write, so a crash leaves at most a torn
    // last line, which readers ignore.
    virtual Status AppendLine(const std::string& line) = 0;
};

// The kinds of records, by the word each line begins with.
enum class JournalKind : std::uint8_t {
    Header,         // "journal": the format's version
    Started,        // "started": the start time (UTC, ISO 8601) and the tool's version
    Source,         // "source": one dragged path
    Destination,    // "destination": the drop folder
    Moved,          // "moved": an item moved to another path within one volume
    Copied,         // "copied": an item copied to another volume, then its source removed
    Renamed,        // "renamed": a destination item renamed to make room
    Duplicate,      // "duplicate": a source file deleted for good, its bytes kept in another file
    Trashed,        // "trashed": a file moved to the trash, with its name there and its record
    Overwritten,    // "overwritten": a destination file replaced for good (cannot be undone)
    Deleted,        // "deleted": a needless file or link deleted for good (cannot be undone)
    FolderCreated,  // "folder-created": a destination folder made to merge into
    FolderRemoved,  // "folder-removed": an emptied source folder removed
    Undone,         // "undone": the time an undo ran, and what it left
    Unknown,        // a word of a later version: kept, never undone
};

// One parsed line: its kind and its fields after the word (paths as they were, numbers in decimal).
struct JournalRecord {
    JournalKind m_nKind = JournalKind::Unknown;
    std::vector<std::string> m_lstFields;
};

// The word a kind's lines begin with.
std::string_view JournalWord(JournalKind kind);
// One record as a line: the word and each field escaped ("\\", "\t", "\n", "\r"), tab-separated,
// ending in "\n".
std::string FormatJournalLine(JournalKind kind, const std::vector<std::string>& fields);
// Every complete line of a journal's text; a last line without its "\n" (torn by a crash) is
// left out, as is a line of no known word's shape.
std::vector<JournalRecord> ParseJournal(std::string_view text);

// `paths`, then an entry in the fields a record keeps of it: "file", "folder" or "link", size,
// last-write time (ticks) and permission bits (octal).
std::vector<std::string> JournalFields(std::vector<std::string> paths, const DirEntry& entry);
// The entry kept at `first` of a record's fields (as JournalFields put it); false when they do not fit.
bool ParseJournalEntry(const std::vector<std::string>& fields, std::size_t first, DirEntry& entry);

// The version of the format that a journal's first line gives.
inline constexpr const char* kJournalFormat = "1";

// Writes the header of a new journal: the format, the start time (UTC, ISO 8601) and the tool's
// version, the destination folder, each dragged path. The first failure is returned.
Status WriteJournalHeader(IJournalFile& file, const std::string& time, const std::string& version,
                          const std::string& destination, const std::vector<std::string>& sources);

// The journals of `names` (a folder's, oldest first) begun before `now` (a journal's name,
// "20261210T225359...") that go: those begun more than `maxDays` days before it, and all but the newest
// `maxCount` of them. A name of no time's shape goes only by the count.
std::vector<std::string> JournalsToPrune(const std::vector<std::string>& names, const std::string& now,
                                         std::uint32_t maxDays, std::uint32_t maxCount);

// Writes a move's records as the changes are made. Without a file it writes nothing; the first
// failure to write is kept for the caller to report once, and no later record is written.
class JournalWriter {
public:
    void SetFile(IJournalFile* file) { m_pFile = file; }
    bool IsOn() const { return m_pFile != nullptr && m_oFailure.IsOk(); }
    // Writes one record; true only when this write failed, the first to (the caller reports it once).
    bool Write(JournalKind kind, std::vector<std::string> fields);
    const Status& Failure() const { return m_oFailure; }

private:
    IJournalFile* m_pFile = nullptr;
    Status m_oFailure;
};

}  // namespace tandemere::engine
