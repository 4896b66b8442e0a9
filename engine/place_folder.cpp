// Engine layer: placing one source folder: refusals, moving it whole, merging, and name clashes.
#include <optional>
#include <utility>
#include <vector>

#include "engine/answer_captions.h"
#include "engine/move_command.h"
#include "engine/path.h"
#include "engine/settings_table.h"
#include "engine/text_format.h"

namespace tandemere::engine {

std::optional<PlaceResult> MoveCommand::RefuseIntoItself(WindowHandle owner, const std::string& source,
                                                         const std::string& srcPath,
                                                         const std::string& dest) {
    if (srcPath == dest) {
        ReportError(owner, FormatText("ERROR: Can't move folder \"%s\" into itself", {source}));
        m_strRefusedItem = source;
        return NotAllMoved;
    }
    // The source path ends in a separator, so a sibling whose name merely begins with this one does not
    // match.
    if (srcPath.size() > dest.size() || dest.compare(0, srcPath.size(), srcPath) != 0) return std::nullopt;
    std::string text =
        FormatText("ERROR: Can't move folder \"%s\" into its subfolder \"%s\".\r\n", {source, dest});
    AppendLog(text);
    ++m_oSummary.m_nErrors;
    text += "\r\nContinue?";
    m_bWaitedForUser = true;
    if (!m_rUi.AskYesNo(owner, text)) return StopMove;
    m_strRefusedItem = source;
    return NotAllMoved;
}

PlaceResult MoveCommand::PlaceSourceFolder(WindowHandle owner, std::string source, std::string destFolder) {
    const PathStyle& style = m_rFs.Style();
    const std::string& folder = source;    // without a trailing separator
    const std::string& dest = destFolder;  // ends in a separator

    std::string srcPath = folder;
    AddSeparator(style, srcPath);
    if (!m_rFs.PathFits(srcPath)) return RefuseLongPath(owner, srcPath);
    if (const std::optional<PlaceResult> refused = RefuseIntoItself(owner, source, srcPath, dest))
        return *refused;

    std::string target = dest;
    target += FindFileName(style, srcPath);
    if (!m_rFs.PathFits(target)) return RefuseLongPath(owner, target);
    std::string clash = target;
    RemoveSeparator(style, clash);
    DirEntry existing;
    // The entry itself decides, never what a link there points to: a link in the destination is
    // never merged into, so nothing is written outside the destination's tree through it. An
    // entry that does not resolve (a dangling link) still takes the name.
    if (!m_rFs.Lookup(clash, existing))
        return m_bSearchWholeDestination ? MergeIntoNewFolder(owner, folder, clash)
                                         : MoveFolderIn(owner, srcPath, target, {});
    if (!existing.m_bDirectory || existing.m_bLink) {
        bool same = false;
        if (existing.m_bLink && m_rFs.IsSameObject(folder, clash, same) && same) {
            // Either answer of the clash would leave the link pointing at nothing.
            AppendLog(
                FormatText("Left source folder \"%s\" alone, given existence of link \"%s\" to it in the "
                           "destination folder.\r\n",
                           {ShownSource(folder), ShownDest(clash)}));
            ++m_oSummary.m_nLeft;
            return NotAllMoved;
        }
        return PlaceFolderAtFileName(owner, srcPath, dest, clash);
    }
    // A counterpart that is the source folder itself (another spelling of its path) would be merged
    // into itself; the folder stays, so its parent must stay too.
    bool same = false;
    if (m_rFs.IsSameObject(folder, target, same) && same) {
        AppendLog(FormatText("Left \"%s\" alone, because it already lies in the destination folder.\r\n",
                             {ShownSource(folder)}));
        ++m_oSummary.m_nLeft;
        return NotAllMoved;
    }
    NoteFoldersDiffer(folder, target);
    return MergeFolder(owner, folder, target);
}

PlaceResult MoveCommand::PlaceFolderAtFileName(WindowHandle owner, std::string folder,
                                               const std::string& destFolder, const std::string& clash) {
    const PathStyle& style = m_rFs.Style();
    RemoveSeparator(style, folder);
    const std::string target = destFolder + GetFreeName(destFolder, std::string(FindFileName(style, folder)));
    if (!m_rFs.PathFits(target)) return RefuseLongPath(owner, target);

    const std::optional<std::int32_t> answer =
        Decide(SettingId::FldrnameFnameClashDlgDefault, owner, [&](WindowHandle promptOwner) {
            const ChoicePrompt prompt{
                DecisionKind::FldrnameFnameClash,
                FormatText(
                    "Can't move subfolder \"%s\" to the destination folder because a file named \"%s\" "
                    "already exists there.",
                    {ShownSource(folder), ShownDest(clash)}),
                GetAnswerCaptions(DecisionKind::FldrnameFnameClash).m_pszFirst,
                FormatText("Rename the file in the destination folder to \"%s\".", {ShownDest(target)}),
                GetAnswerCaptions(DecisionKind::FldrnameFnameClash).m_pszSecond,
                FormatText("Rename the subfolder to \"%s\".", {ShownDest(target)}),
                FormatText("Leave source folder \"%s\" alone.", {ShownSource(folder)}),
                folder,
                clash,
            };
            return m_rUi.ShowChoicePrompt(promptOwner, prompt);
        });
    if (!answer) return StopMove;
    if (*answer == AnswerThird) {
        ++m_oSummary.m_nLeft;
        AppendDecisionLog(FormatText(
            "Left source folder \"%s\" alone, given existence of file \"%s\" in the destination folder.\r\n",
            {ShownSource(folder), ShownDest(clash)}));
        return NotAllMoved;
    }
    if (*answer == AnswerFirst) {
        if (const Status renamed = m_rFs.Rename(clash, target); !renamed)
            return ReportFailure(
                owner, FormatText("ERROR: Couldn't rename \"%s\" to \"%s\"", {clash, target}), renamed);
        m_oIndexes.NoteRenamed(style, clash, target);
        JournalMoved(JournalKind::Renamed, clash, target);
        ++m_oSummary.m_nRenamed;
        AppendDecisionLog(
            FormatText("Renamed a file in the destination folder from \"%s\" to \"%s\" because it had the "
                       "same name as the source folder \"%s\".\r\n",
                       {ShownDest(clash), ShownDest(target), ShownSource(folder)}));
        return MoveFolderIn(owner, folder, clash, {});
    }
    // The second answer moves the folder in under the free name.
    return MoveFolderIn(owner, folder, target, clash);
}

PlaceResult MoveCommand::MoveFolderIn(WindowHandle owner, std::string folder, std::string target,
                                      const std::string& avoidedFile) {
    const PathStyle& style = m_rFs.Style();
    // The platform calls get the paths without trailing separators.
    std::string from = folder;
    std::string to = target;
    RemoveSeparator(style, from);
    RemoveSeparator(style, to);
    std::vector<std::string> left;  // what a copy across volumes left in the source
    bool sourceLeft = false;        // the copy is complete, and removing the source failed
    Status moved;
    const bool sameVolume = m_rFs.IsSameVolume(from, to);
    if (sameVolume) {
        if (const Status moved = m_rFs.Move(from, to); !moved)
            return ReportFailure(owner, FormatText("ERROR: Couldn't move \"%s\" to \"%s\"", {folder, target}),
                                 moved);
    } else {
        folder = from;
        target = to;
        DirEntry existing;
        const bool targetWasFree = !m_rFs.Lookup(to, existing);
        moved = m_rFs.MoveFolderAcrossVolumes(owner, folder, target, left);
        if (!moved) {
            // A copy in place is complete, and the source only partly removed: the folder has
            // moved, and what is left of its source is reported below.
            sourceLeft = targetWasFree && m_rFs.Lookup(to, existing);
            if (!sourceLeft)
                return ReportFailure(
                    owner, FormatText("ERROR: Couldn't copy \"%s\" to \"%s\"", {folder, target}), moved);
        }
    }

    NoteArrived(to, true);
    JournalMoved(sameVolume ? JournalKind::Moved : JournalKind::Copied, from, to);
    ++m_oSummary.m_nFoldersMoved;
    if (!avoidedFile.empty()) ++m_oSummary.m_nRenamed;
    AppendLogLine(
        FormatText(left.empty() ? "Moved source folder \"%s\" to destination as \"%s\"."
                                : "Copied source folder \"%s\" to destination as \"%s\".",
                   {ShownSource(folder), ShownDest(target)}),
        "  Folder name was changed to avoid clash with extant file \"%s\" in the destination folder.",
        avoidedFile.empty() ? std::string_view() : ShownDest(avoidedFile));
    if (left.empty() && !sourceLeft) return Placed;
    // The copy is complete; what changed meanwhile, and what cannot be copied, stays with the folder.
    for (const std::string& path : left) {
        DirEntry entry;
        if (m_rFs.Lookup(path, entry) && entry.m_bSpecial) {
            LogLeftSpecial(path);
            continue;
        }
        ++m_oSummary.m_nLeft;
        AppendLog(
            FormatText("Left \"%s\" in the source folder, because it was created or changed while the "
                       "folder was being copied.\r\n",
                       {ShownSource(path)}));
    }
    if (sourceLeft)
        return ReportFailure(owner, FormatText("ERROR: Unable to delete folder \"%s\"", {from}), moved);
    LogSourceFolderKept(folder);
    return NotAllMoved;
}

}  // namespace tandemere::engine
