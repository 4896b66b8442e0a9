// Engine layer: the move's records of its changes in the journal, written as each change is made.
#include "engine/move_command.h"
#include "engine/text_format.h"

namespace tandemere::engine {

void MoveCommand::Journal(JournalKind kind, std::vector<std::string> fields) {
    if (!m_oJournal.Write(kind, std::move(fields))) return;
    // Stopping here would leave the move half done for want of a record: it goes on, and says so.
    AppendLog(
        FormatText("Couldn't write the journal of this move: %s; the move goes on, but what it does from "
                   "here on can't be undone.\r\n",
                   {m_rFs.ReasonText(m_oJournal.Failure())}));
}

void MoveCommand::JournalDiscarded(const std::string& path, const DirEntry& entry, const std::string& trash,
                                   const std::string& kept, const DirEntry& keptEntry) {
    if (!m_oJournal.IsOn()) return;
    if (!trash.empty()) {
        std::string inTrash;
        std::string info;
        m_rFs.LastTrashed(inTrash, info);
        std::vector<std::string> fields = JournalFields({path}, entry);
        fields.push_back(inTrash);
        fields.push_back(info);
        Journal(JournalKind::Trashed, std::move(fields));
    } else if (!kept.empty()) {
        std::vector<std::string> fields = JournalFields({path}, entry);
        for (std::string& field : JournalFields({kept}, keptEntry)) fields.push_back(std::move(field));
        Journal(JournalKind::Duplicate, std::move(fields));
    } else {
        Journal(JournalKind::Deleted, JournalFields({path}, entry));
    }
}

void MoveCommand::JournalMoved(JournalKind kind, const std::string& from, const std::string& to,
                               const DirEntry* source) {
    if (!m_oJournal.IsOn()) return;
    DirEntry arrived;
    if (!m_rFs.Lookup(to, arrived)) return;
    if (source != nullptr && source->m_nDevice != 0 && arrived.m_nDevice != source->m_nDevice)
        kind = JournalKind::Copied;
    Journal(kind, JournalFields({from, to}, arrived));
}

}  // namespace tandemere::engine
