// Engine layer: merging a source folder into its existing counterpart, entry by entry.
#include <optional>
#include <vector>

#include "engine/move_command.h"
#include "engine/path.h"
#include "engine/text_format.h"

namespace tandemere::engine {

PlaceResult MoveCommand::MergeFolder(WindowHandle owner, std::string source, std::string destFolder) {
    std::vector<DirEntry> entries;
    if (const std::optional<PlaceResult> failed = ListSourceFolder(owner, source, entries)) return *failed;
    return MergeEntries(owner, source, entries, destFolder);
}

std::optional<PlaceResult> MoveCommand::ListSourceFolder(WindowHandle owner, const std::string& source,
                                                         std::vector<DirEntry>& entries) {
    // Each entry is looked at afresh when it is placed: the names are all the walk needs.
    if (const Status listed = m_rFs.ListNames(source, entries); !listed)
        return ReportFailure(owner, FormatText("ERROR: Couldn't find files in \"%s\"", {source}), listed);
    return std::nullopt;
}

PlaceResult MoveCommand::MergeEntries(WindowHandle owner, const std::string& source,
                                      const std::vector<DirEntry>& entries, const std::string& destFolder) {
    bool notAllMoved = false;
    PlaceResult last = Placed;
    // The listing is taken once up front: the walk moves and deletes entries of this folder.
    for (const DirEntry& entry : entries) {
        if (entry.m_strName.empty() || IsDotEntry(entry.m_strName)) continue;
        std::string path = source;
        AddSeparator(m_rFs.Style(), path);
        path += entry.m_strName;
        last = PlaceItem(owner, path, destFolder);
        if (last == NotAllMoved) notAllMoved = true;
        if (last == StopMove) break;
    }

    if (last == StopMove) return StopMove;
    if (notAllMoved) {
        LogSourceFolderKept(source);
        return NotAllMoved;
    }
    // Its mode and times, for undo to make it again as it was.
    DirEntry folder;
    if (m_oJournal.IsOn() && !m_rFs.Lookup(source, folder)) folder.m_bDirectory = true;
    if (const Status removed = m_rFs.RemoveFolder(source); !removed)
        return ReportFailure(owner, FormatText("ERROR: Unable to delete folder \"%s\"", {source}), removed);
    Journal(JournalKind::FolderRemoved, JournalFields({source}, folder));
    AppendLog(
        FormatText("Deleted source folder \"%s\" because its contents are all in the equivalent destination "
                   "folder.\r\n",
                   {ShownSource(source)}));
    return Placed;
}

PlaceResult MoveCommand::MergeIntoNewFolder(WindowHandle owner, const std::string& source,
                                            const std::string& created) {
    // Listed first: a folder that cannot be listed leaves no empty counterpart behind.
    std::vector<DirEntry> entries;
    if (const std::optional<PlaceResult> failed = ListSourceFolder(owner, source, entries)) return *failed;
    if (const Status made = m_rFs.CreateFolder(created); !made)
        return ReportFailure(owner, FormatText("ERROR: Couldn't create folder \"%s\"", {created}), made);
    // The new folder is part of the destination tree: what the merge puts in it is found there.
    NoteArrived(created, true);
    Journal(JournalKind::FolderCreated, {created});
    AppendLog(
        FormatText("Created destination folder \"%s\" for source folder \"%s\", so that each of its "
                   "files is looked for in the whole destination.\r\n",
                   {ShownDest(created), ShownSource(source)}));
    std::string destFolder = created;
    AddSeparator(m_rFs.Style(), destFolder);
    return MergeEntries(owner, source, entries, destFolder);
}

}  // namespace tandemere::engine
