// Engine layer: source entries that their counterpart makes needless without a comparison of bytes: a
// link whose counterpart is a link of the same target text, and a cache the system rebuilds where the
// counterpart folder has its own.
#include "engine/move_command.h"
#include "engine/path.h"
#include "engine/text_format.h"

namespace tandemere::engine {

std::optional<PlaceResult> MoveCommand::DiscardSameLink(WindowHandle owner, const std::string& source,
                                                        const std::string& target) {
    // Read just before the delete: only a link that says exactly what its counterpart says goes.
    std::string sourceText;
    std::string targetText;
    if (!m_rFs.ReadLink(source, sourceText) || !m_rFs.ReadLink(target, targetText) ||
        sourceText != targetText)
        return std::nullopt;
    static constexpr NeedlessLines kLines{
        "Deleted source link \"%s\", because destination link \"%s\" is the same.\r\n",
        "Moved source link \"%s\" to %s, because destination link \"%s\" is the same.\r\n",
        "Left source link \"%s\" alone, although destination link \"%s\" is the same, because %s couldn't "
        "take "
        "it.\r\n",
    };
    return DiscardNeedless(owner, source, target, kLines);
}

PlaceResult MoveCommand::DiscardRebuiltCache(WindowHandle owner, const std::string& source,
                                             const std::string& same) {
    static constexpr NeedlessLines kLines{
        "Deleted source file \"%s\", a cache the system rebuilds, because the destination folder has its own "
        "\"%s\".\r\n",
        "Moved source file \"%s\" to %s, a cache the system rebuilds, because the destination folder has its "
        "own \"%s\".\r\n",
        "Left source file \"%s\" alone, a cache the system rebuilds, although the destination folder has its "
        "own \"%s\", because %s couldn't take it.\r\n",
    };
    return DiscardNeedless(owner, source, same, kLines);
}

PlaceResult MoveCommand::DiscardNeedless(WindowHandle owner, const std::string& source,
                                         const std::string& dest, const NeedlessLines& lines) {
    std::string trash;
    DirEntry entry;
    if (m_oJournal.IsOn() && !m_rFs.Lookup(source, entry)) entry = {};
    if (const Status discarded = DiscardFile(source, trash); !discarded) {
        if (m_bDeleteToRecycleBin) {
            // Never deleted for good behind the user's back: it simply stays.
            ++m_oSummary.m_nLeft;
            AppendLog(FormatText(lines.m_pszLeft, {ShownSource(source), ShownDest(dest), trash}));
            return NotAllMoved;
        }
        return ReportFailure(owner, FormatText("ERROR: Couldn't delete \"%s\"", {source}), discarded);
    }
    m_oIndexes.NoteRemoved(m_rFs.Style(), source);
    JournalDiscarded(source, entry, trash);
    ++m_oSummary.m_nDuplicates;
    AppendLog(trash.empty() ? FormatText(lines.m_pszDeleted, {ShownSource(source), ShownDest(dest)})
                            : FormatText(lines.m_pszTrashed, {ShownSource(source), trash, ShownDest(dest)}));
    return Placed;
}

}  // namespace tandemere::engine
