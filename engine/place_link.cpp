// Engine layer: placing a link found among the sources; links are moved as themselves, never followed.
#include "engine/move_command.h"
#include "engine/path.h"
#include "engine/text_format.h"

namespace tandemere::engine {

PlaceResult MoveCommand::PlaceLink(WindowHandle owner, const std::string& source,
                                   const std::string& destFolder) {
    const PathStyle& style = m_rFs.Style();
    std::string target = destFolder;
    target += FindFileName(style, source);
    if (!m_rFs.PathFits(target)) return RefuseLongPath(owner, target);

    DirEntry existing;
    if (m_rFs.Lookup(target, existing)) {
        AppendLog(
            FormatText("Left link \"%s\" alone, given existence of \"%s\" in the destination folder.\r\n",
                       {GetShownPath(source, m_nSourceRootLen), GetShownPath(target, m_nDestFolderLen)}));
        return NotAllMoved;
    }
    if (!m_rFs.Move(source, target)) {
        ReportError(owner, FormatText("ERROR: Couldn't move \"%s\" to \"%s\"", {source, target}));
        return StopMove;
    }

    DirEntry added;
    added.m_strName = std::string(FindFileName(style, target));
    added.m_bLink = true;
    m_oIndexes.NoteAdded(style, target, added);
    AppendLog(FormatText("Moved link \"%s\" to destination \"%s\" without following it.\r\n",
                         {GetShownPath(source, m_nSourceRootLen), GetShownPath(target, m_nDestFolderLen)}));
    return Placed;
}

}  // namespace tandemere::engine
