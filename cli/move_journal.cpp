// Command-line layer: the journal of each real move, and the `undo` and `history` commands.
#include "cli/move_journal.h"

#include <unistd.h>

#include <algorithm>

#include "engine/recording_file_system.h"
#include "engine/text_format.h"
#include "engine/undo_move.h"
#include "platform/posix/file_system_posix.h"
#include "platform/posix/posix_io.h"
#include "platform/posix/user_files_posix.h"
#include "ui/tty/terminal_posix.h"

namespace tandemere::cli {
namespace {

void Complain(const std::string& text) {
    tty::WriteAll(STDERR_FILENO, "tandemere: " + text + "\n");
}

void Print(const std::string& text) {
    tty::WriteAll(STDOUT_FILENO, text);
}

// The log's "\r\n" line ends as a terminal wants them.
std::string UnixLines(const std::string& log) {
    std::string text;
    for (const char c : log)
        if (c != '\r') text += c;
    return text;
}

// The records of the journal `name`; false (said on stderr) when it cannot be read.
bool ReadJournal(const std::string& folder, const std::string& name,
                 std::vector<engine::JournalRecord>& records) {
    std::string text;
    if (const engine::Status read = posix::ReadWholeFile(posix::JournalPath(folder, name), text); !read) {
        Complain(
            engine::FormatText("can't read the journal of move \"%s\": %s", {name, posix::ReasonText(read)}));
        return false;
    }
    records = engine::ParseJournal(text);
    return true;
}

// "12 changes: 8 moved, 3 deleted as duplicates, 1 renamed" of a journal's records.
std::string CountChanges(const std::vector<engine::JournalRecord>& records) {
    using engine::JournalKind;
    std::uint64_t moved = 0, deleted = 0, renamed = 0, other = 0;
    for (const engine::JournalRecord& record : records) {
        const JournalKind kind = record.m_nKind;
        if (kind == JournalKind::Moved || kind == JournalKind::Copied)
            ++moved;
        else if (kind == JournalKind::Duplicate || kind == JournalKind::Trashed ||
                 kind == JournalKind::Deleted)
            ++deleted;
        else if (kind == JournalKind::Renamed)
            ++renamed;
        else if (kind == JournalKind::Overwritten || kind == JournalKind::FolderCreated ||
                 kind == JournalKind::FolderRemoved)
            ++other;
    }
    return std::to_string(moved + deleted + renamed + other) + " changes: " + std::to_string(moved) +
           " moved, " + std::to_string(deleted) + " deleted or trashed, " + std::to_string(renamed) +
           " renamed";
}

// Writes that the move was undone, so a second undo does nothing.
void NoteUndone(const std::string& path, const engine::UndoSummary& summary) {
    posix::PosixJournalFile file;
    engine::Status written = file.OpenExisting(path);
    if (written)
        written = file.AppendLine(engine::FormatJournalLine(
            engine::JournalKind::Undone, {posix::NowForJournal().m_strText, std::to_string(summary.m_nUndone),
                                          std::to_string(summary.m_nLeft + summary.m_nErrors)}));
    if (!written)
        Complain(engine::FormatText("can't note in \"%s\" that the move was undone: %s",
                                    {path, posix::ReasonText(written)}));
}

}  // namespace

bool StartJournal(posix::PosixJournalFile& file, const std::vector<std::string>& sources,
                  const std::string& dest, std::string& name) {
    const std::string folder = posix::DefaultJournalFolder();
    const posix::JournalTime now = posix::NowForJournal();
    name = now.m_strName;
    std::string path = folder;
    engine::Status written = file.Create(folder, now.m_strName, path);
    if (written) written = engine::WriteJournalHeader(file, now.m_strText, TANDEMERE_VERSION, dest, sources);
    if (written) return true;
    Complain(
        engine::FormatText("can't write the journal \"%s\": %s; the move goes on, but it can't be undone",
                           {path, posix::ReasonText(written)}));
    return false;
}

void PruneJournals(const engine::MoveCommand& command, const std::string& name) {
    posix::PruneJournals(posix::DefaultJournalFolder(), name,
                         static_cast<std::uint32_t>(command.m_nJournalDays),
                         static_cast<std::uint32_t>(command.m_nJournalCount));
}

int RunUndo(const UndoOptions& options) {
    const std::string folder = posix::DefaultJournalFolder();
    const std::vector<std::string> names = posix::ListJournals(folder);
    if (names.empty()) {
        Complain(engine::FormatText("no move to undo: there is no journal in \"%s\"", {folder}));
        return kUndoNothing;
    }
    const std::string name = options.m_strMove.empty() ? names.back() : options.m_strMove;
    if (std::find(names.begin(), names.end(), name) == names.end()) {
        Complain(engine::FormatText("no move \"%s\" in \"%s\" (see `tandemere history`)", {name, folder}));
        return kUndoNothing;
    }
    std::vector<engine::JournalRecord> records;
    if (!ReadJournal(folder, name, records)) return kUndoNothing;
    const engine::JournalHeader header = engine::ReadJournalHeader(records);
    if (!header.m_strUndone.empty()) {
        Print(engine::FormatText("Move %s into \"%s\" was undone already, at %s: nothing to do.\n",
                                 {name, header.m_strDestination, header.m_strUndone}));
        return 0;
    }
    posix::PosixFileSystem fs;
    engine::RecordingFileSystem recording(fs);
    engine::UndoCommand undo(options.m_bDryRun ? static_cast<engine::IFileSystem&>(recording) : fs);
    undo.Run(records);
    if (!options.m_bQuiet)
        Print(engine::FormatText("Undo of move %s (%s) into \"%s\":\n",
                                 {name, header.m_strTime, header.m_strDestination}));
    Print(UnixLines(undo.Log()));
    if (!options.m_bQuiet) Print(engine::FormatUndoSummary(undo.Summary()) + "\n");
    if (options.m_bDryRun)
        Complain("dry run: nothing was moved back");
    else
        NoteUndone(posix::JournalPath(folder, name), undo.Summary());
    return undo.Summary().Complete() ? 0 : 1;
}

int RunHistory(bool namesOnly) {
    const std::string folder = posix::DefaultJournalFolder();
    const std::vector<std::string> names = posix::ListJournals(folder);
    if (namesOnly) {
        for (const std::string& name : names) Print(name + "\n");
        return 0;
    }
    if (names.empty()) Print(engine::FormatText("No moves yet: there is no journal in \"%s\".\n", {folder}));
    for (const std::string& name : names) {
        std::vector<engine::JournalRecord> records;
        if (!ReadJournal(folder, name, records)) continue;
        const engine::JournalHeader header = engine::ReadJournalHeader(records);
        Print(engine::FormatText("%s  %s  into \"%s\"  %s%s\n",
                                 {name, header.m_strTime, header.m_strDestination, CountChanges(records),
                                  header.m_strUndone.empty() ? "" : "  (undone)"}));
    }
    return 0;
}

}  // namespace tandemere::cli
