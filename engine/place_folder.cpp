// Engine layer: placing one source folder: refusals, moving it whole, merging, and name clashes.
#include <utility>

#include "engine/move_command.h"
#include "engine/path.h"
#include "engine/text_format.h"

namespace tandemere::engine {

PlaceResult MoveCommand::PlaceSourceFolder(WindowHandle owner, std::string source, std::string destFolder) {
    const PathStyle& style = m_rFs.Style();
    const std::string& folder = source;    // P: the folder as passed, without a trailing separator
    const std::string& dest = destFolder;  // D: ends in a separator

    std::string srcPath = folder;  // S
    AddSeparator(style, srcPath);
    if (!m_rFs.PathFits(srcPath)) return RefuseLongPath(owner, srcPath);

    if (srcPath == dest) {
        ReportError(owner, FormatText("ERROR: Can't move folder \"%s\" into itself", {folder}));
        return NotAllMoved;
    }

    // S ends in a separator, so a sibling whose name merely begins with this one does not match.
    if (srcPath.size() <= dest.size() && dest.compare(0, srcPath.size(), srcPath) == 0) {
        std::string text =
            FormatText("ERROR: Can't move folder \"%s\" into its subfolder \"%s\".\r\n", {folder, dest});
        AppendLog(text);
        text += "\r\nContinue?";
        return m_rUi.AskYesNo(owner, text) ? NotAllMoved : StopMove;
    }

    std::string target = dest;  // T
    target += FindFileName(style, srcPath);
    if (!m_rFs.PathFits(target)) return RefuseLongPath(owner, target);

    if (m_rFs.IsFolder(target)) {
        // A counterpart that is the source folder itself (reached through a link in the
        // destination) would be merged into itself; the folder stays, so its parent must stay too.
        bool same = false;
        if (m_rFs.IsSameObject(folder, target, same) && same) {
            AppendLog(FormatText("Left \"%s\" alone, because it already lies in the destination folder.\r\n",
                                 {GetShownPath(folder, m_nSourceRootLen)}));
            return NotAllMoved;
        }
        return MergeFolder(owner, folder, target);
    }

    std::string clash = target;  // F
    RemoveSeparator(style, clash);

    std::int32_t answer = AnswerAsk;
    DirEntry existing;
    // An entry that does not resolve (a dangling link) still takes the name.
    if (m_rFs.Lookup(clash, existing)) {
        RemoveSeparator(style, srcPath);
        const std::string freeName = GetFreeName(dest, std::string(FindFileName(style, srcPath)));
        target = dest;
        target += freeName;
        if (!m_rFs.PathFits(target)) return RefuseLongPath(owner, target);

        answer = GetDecision(
            m_nFldrnameFnameClashDlgDefault, "FldrnameFnameClashDlgDefault", owner,
            [&](WindowHandle promptOwner) {
                const std::string_view shownS = GetShownPath(srcPath, m_nSourceRootLen);
                const std::string_view shownF = GetShownPath(clash, m_nDestFolderLen);
                const std::string_view shownT = GetShownPath(target, m_nDestFolderLen);
                ChoicePrompt prompt{
                    DecisionKind::FldrnameFnameClash,
                    FormatText("Can't move subfolder \"%s\" to the destination folder because a file named "
                               "\"%s\" already exists there.",
                               {shownS, shownF}),
                    "Rename &file",
                    FormatText("Rename the file in the destination folder to \"%s\".", {shownT}),
                    "Rename fol&der",
                    FormatText("Rename the subfolder to \"%s\".", {shownT}),
                    FormatText("Leave source folder \"%s\" alone.", {shownS}),
                };
                return m_rUi.ShowChoicePrompt(promptOwner, prompt);
            });

        if (answer == AnswerCancel) {
            AppendLog("Cancelled by request.");
            return StopMove;
        }
        if (answer == AnswerThird) {
            AppendLog(
                FormatText("Left source folder \"%s\" alone, given existence of file \"%s\" in the "
                           "destination folder.\r\n",
                           {GetShownPath(srcPath, m_nSourceRootLen), GetShownPath(clash, m_nDestFolderLen)}));
            return NotAllMoved;
        }
        if (answer == AnswerFirst) {
            if (!m_rFs.Rename(clash, target)) {
                ReportError(owner, FormatText("ERROR: Couldn't rename \"%s\" to \"%s\"", {clash, target}));
                return StopMove;
            }
            m_oIndexes.NoteRenamed(style, clash, target);
            AppendLog(
                FormatText("Renamed a file in the destination folder from \"%s\" to \"%s\" because it had "
                           "the same name as the source folder \"%s\".\r\n",
                           {GetShownPath(clash, m_nDestFolderLen), GetShownPath(target, m_nDestFolderLen),
                            GetShownPath(srcPath, m_nSourceRootLen)}));
            target = clash;
        }
        // 231, and any other remembered value, move the folder in under the free name.
    }

    // The paths keep their trailing separators where they have them, for the log line; the
    // platform calls get them without.
    std::string from = srcPath;
    std::string to = target;
    RemoveSeparator(style, from);
    RemoveSeparator(style, to);
    if (m_rFs.IsSameVolume(from, to)) {
        if (!m_rFs.Move(from, to)) {
            ReportError(owner, FormatText("ERROR: Couldn't move \"%s\" to \"%s\"", {srcPath, target}));
            return StopMove;
        }
    } else {
        srcPath = from;
        target = to;
        if (!m_rFs.MoveFolderAcrossVolumes(owner, srcPath, target)) {
            ReportError(owner, FormatText("ERROR: Couldn't copy \"%s\" to \"%s\"", {srcPath, target}));
            return StopMove;
        }
    }

    DirEntry added;
    added.m_strName = std::string(FindFileName(style, to));
    added.m_bDirectory = true;
    m_oIndexes.NoteAdded(style, to, added);

    std::string line =
        FormatText("Moved source folder \"%s\" to destination as \"%s\".",
                   {GetShownPath(srcPath, m_nSourceRootLen), GetShownPath(target, m_nDestFolderLen)});
    if (answer == AnswerSecond)
        line += FormatText(
            "  Folder name was changed to avoid clash with extant file \"%s\" in the destination "
            "folder.",
            {GetShownPath(clash, m_nDestFolderLen)});
    line += "\r\n";
    AppendLog(line);
    return Placed;
}

}  // namespace tandemere::engine
