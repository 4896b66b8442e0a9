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
        if (existing.m_bLink)
            if (const std::optional<PlaceResult> same = DiscardSameLink(owner, source, target)) return *same;
        ++m_oSummary.m_nLeft;
        AppendLog(
            FormatText("Left link \"%s\" alone, given existence of \"%s\" in the destination folder.\r\n",
                       {ShownSource(source), ShownDest(target)}));
        return NotAllMoved;
    }
    if (const Status moved = m_rFs.Move(source, target); !moved)
        return ReportFailure(owner, FormatText("ERROR: Couldn't move \"%s\" to \"%s\"", {source, target}),
                             moved);

    NoteArrived(target, false);
    JournalMoved(JournalKind::Moved, source, target);
    ++m_oSummary.m_nFilesMoved;
    AppendLog(FormatText("Moved link \"%s\" to destination \"%s\" without following it.\r\n",
                         {ShownSource(source), ShownDest(target)}));
    return Placed;
}

}  // namespace tandemere::engine
