// Engine layer: placement of one source file into a destination folder, with its decisions.
#include <string>

#include "engine/move_command.h"
#include "engine/path.h"
#include "engine/placement_checks.h"
#include "engine/text_format.h"

namespace tandemere::engine {
PlaceResult MoveCommand::PlaceSourceFile(WindowHandle owner, std::string source, std::string destFolder) {
    const PathStyle& style = m_rFs.Style();
    DirEntry sourceEntry;
    if (!m_rFs.Lookup(source, sourceEntry)) {
        ReportError(owner, FormatText("ERROR: Couldn't find \"%s\"", {source}));
        return StopMove;
    }
    if (sourceEntry.m_nSize >= kFourGiB) {
        ReportError(owner, FormatText("ERROR: Source file \"%s\" is too large", {source}));
        return NotAllMoved;
    }
    m_nSourceFileSize = static_cast<std::uint32_t>(sourceEntry.m_nSize);

    const std::string& sourcePath = source;
    const std::string_view shownSource = GetShownPath(sourcePath, m_nSourceRootLen);
    const std::string name(FindFileName(style, sourcePath));
    const std::string samePath = destFolder + name;
    if (!m_rFs.PathFits(samePath)) return RefuseLongPath(owner, samePath);
    const std::string_view shownSame = GetShownPath(samePath, m_nDestFolderLen);

    // Notes what a successful move changed, so later searches of this move see it.
    auto noteMoved = [&](const std::string& target) {
        m_oIndexes.NoteRemoved(style, sourcePath);
        DirEntry arrived;
        if (!m_rFs.Lookup(target, arrived)) arrived = sourceEntry;
        m_oIndexes.NoteAdded(style, target, arrived);
    };

    DirEntry sameEntry;
    const bool nameTaken = m_rFs.Lookup(samePath, sameEntry).IsOk();

    if (nameTaken && sameEntry.m_bDirectory) {
        // A subfolder of the destination bears the file's name.
        const std::string freePath = destFolder + GetFreeName(destFolder, name);
        if (!m_rFs.PathFits(freePath)) return RefuseLongPath(owner, freePath);
        const std::string_view shownFree = GetShownPath(freePath, m_nDestFolderLen);

        const std::int32_t answer =
            GetDecision(m_nFnameFldrnameClashDlgDefault, "FnameFldrnameClashDlgDefault", owner,
                        [&](WindowHandle promptOwner) {
                            ChoicePrompt prompt{DecisionKind::FnameFldrnameClash, {}, {}, {}, {}, {}, {}};
                            prompt.m_strQuestion = FormatText(
                                "Can't move source file \"%s\" into the destination folder because a "
                                "subfolder of that name already exists there.",
                                {shownSource});
                            prompt.m_strCaption1 = "Rename fol&der";
                            prompt.m_strText1 = FormatText(
                                "Rename the subfolder in the destination folder to \"%s\".", {shownFree});
                            prompt.m_strCaption2 = "Rename &file";
                            prompt.m_strText2 = FormatText("Rename the source file to \"%s\".", {shownFree});
                            prompt.m_strText3 = FormatText("Leave source file \"%s\" alone.", {shownSource});
                            return m_rUi.ShowChoicePrompt(promptOwner, prompt);
                        });

        if (answer == AnswerCancel) {
            AppendLog("Cancelled by request.");
            return StopMove;
        }
        if (answer == AnswerThird) {
            AppendLog(
                FormatText("Left source file \"%s\" alone, given existence of a subfolder of the same name "
                           "in the destination folder.\r\n",
                           {shownSource}));
            return NotAllMoved;
        }
        // Any answer but the first, a remembered value of its own included, renames the file.
        std::string target = freePath;
        if (answer == AnswerFirst) {
            if (!m_rFs.Move(samePath, freePath)) {
                ReportError(
                    owner,
                    FormatText(
                        "ERROR: couldn't rename subfolder in destination folder from \"%s\" to \"%s\".",
                        {samePath, freePath}));
                return StopMove;
            }
            m_oIndexes.NoteRenamed(style, samePath, freePath);
            AppendLog(
                FormatText("Renamed a subfolder in the destination folder from \"%s\" to \"%s\" because it "
                           "had the same name as the source file \"%s\".\r\n",
                           {shownSame, shownFree, shownSource}));
            target = samePath;
        }
        if (!m_rFs.Move(sourcePath, target)) {
            ReportError(owner, FormatText("ERROR: couldn't move source file \"%s\" to destination as \"%s\".",
                                          {sourcePath, target}));
            return StopMove;
        }
        noteMoved(target);
        std::string line = FormatText("Moved source file \"%s\" to destination as \"%s\".",
                                      {shownSource, GetShownPath(target, m_nDestFolderLen)});
        if (answer == AnswerSecond)
            line += FormatText(
                "  Filename was changed to avoid clash with extant subfolder \"%s\" in the destination "
                "folder.",
                {shownSame});
        line += "\r\n";
        AppendLog(line);
        return Placed;
    }

    SourceContent content;
    if (nameTaken) {
        bool identical = false;
        const int compared = CompareContents(owner, sourcePath, content, destFolder, sameEntry, identical);
        if (compared == 1 || compared == 2) {
            content.Release();
            return compared == 1 ? NotAllMoved : StopMove;
        }
        if (identical) {
            content.Release();
            // A file system that ignores case can store the name in another spelling.
            if (sameEntry.m_strName != name)
                return ResolveIdenticalFile(owner, sourcePath, name, destFolder, true, sameEntry,
                                            sourceEntry);

            // The source goes only while both files still are as they were compared.
            DirEntry now;
            if (!m_rFs.Lookup(sourcePath, now) || !Unchanged(sourceEntry, now)) {
                ReportError(owner, FormatText("ERROR: Source file \"%s\" changed while it was being compared",
                                              {sourcePath}));
                return NotAllMoved;
            }
            if (!m_rFs.Lookup(samePath, now) || !Unchanged(sameEntry, now)) {
                ReportError(owner,
                            FormatText("ERROR: Destination file \"%s\" changed while it was being compared",
                                       {samePath}));
                return NotAllMoved;
            }
            if (!m_rFs.DeleteFile(sourcePath)) {
                ReportError(owner, FormatText("ERROR: Couldn't delete \"%s\"", {sourcePath}));
                return StopMove;
            }
            m_oIndexes.NoteRemoved(style, sourcePath);
            AppendLog(
                FormatText("Deleted source file \"%s\", because destination file \"%s\" is the same.\r\n",
                           {shownSource, shownSame}));
            return Placed;
        }
    }

    const IdenticalSearch search = FindIdenticalFile(owner, sourcePath, name, content, destFolder);
    content.Release();
    if (search.m_nOutcome == IdenticalSearch::Stop) return StopMove;
    if (search.m_nOutcome == IdenticalSearch::LeaveAlone) return NotAllMoved;
    if (search.m_nOutcome == IdenticalSearch::Found)
        return ResolveIdenticalFile(owner, sourcePath, name, destFolder, nameTaken, search.m_oEntry,
                                    sourceEntry);

    if (nameTaken) {
        // A different file of the destination bears the file's name.
        const std::string freePath = destFolder + GetFreeName(destFolder, name);
        if (!m_rFs.PathFits(freePath)) return RefuseLongPath(owner, freePath);
        const std::string_view shownFree = GetShownPath(freePath, m_nDestFolderLen);

        // A remembered value this decision does not know would leave the file without a word: ask.
        if (!IsKnownAnswer(m_nDiffFileSameNameDlgDefault)) m_nDiffFileSameNameDlgDefault = AnswerAsk;
        const std::int32_t answer = GetDecision(
            m_nDiffFileSameNameDlgDefault, "DiffFileSameNameDlgDefault", owner,
            [&](WindowHandle promptOwner) {
                ClashPrompt prompt;
                prompt.m_strSrcPath = sourcePath;
                prompt.m_strSrcShown = std::string(shownSource);
                prompt.m_oSrcEntry = sourceEntry;
                prompt.m_strDestPath = samePath;
                prompt.m_strDestShown = std::string(shownSame);
                prompt.m_oDestEntry = sameEntry;
                prompt.m_strNewPath = freePath;
                prompt.m_strNewShown = std::string(shownFree);
                prompt.m_strQuestion = FormatText(
                    "Source file \"%s\" is unique, but a (different) destination file \"%s\" already exists.",
                    {shownSource, shownSame});
                prompt.m_strText1 = FormatText("Overwrite destination file \"%s\" with source file \"%s\".",
                                               {shownSame, shownSource});
                prompt.m_strText2 =
                    FormatText("Rename source file to \"%s\" and move to destination folder.", {shownFree});
                prompt.m_strText3 = FormatText("Leave source file \"%s\" alone.", {shownSource});
                return m_rUi.ShowClashPrompt(promptOwner, prompt);
            });

        if (answer == AnswerCancel) {
            AppendLog("Cancelled by request.");
            return StopMove;
        }
        if (answer == AnswerFirst) {
            if (!m_rFs.DeleteFile(samePath)) {
                ReportError(owner, FormatText("ERROR: Couldn't delete \"%s\"", {samePath}));
                return StopMove;
            }
            m_oIndexes.NoteRemoved(style, samePath);
            if (!m_rFs.Move(sourcePath, samePath)) {
                ReportError(owner,
                            FormatText("ERROR: Couldn't move \"%s\" to \"%s\"", {sourcePath, samePath}));
                return StopMove;
            }
            noteMoved(samePath);
            AppendLog(
                FormatText("Moved source file \"%s\" to destination folder, overwriting different existing "
                           "file \"%s\".\r\n",
                           {shownSource, shownSame}));
            return Placed;
        }
        if (answer == AnswerSecond) {
            if (!m_rFs.Move(sourcePath, freePath)) {
                ReportError(owner,
                            FormatText("ERROR: Couldn't move \"%s\" to \"%s\"", {sourcePath, freePath}));
                return StopMove;
            }
            noteMoved(freePath);
            AppendLog(
                FormatText("Moved source file \"%s\" to destination folder, naming it \"%s\" to avoid "
                           "overwriting different existing file \"%s\".\r\n",
                           {shownSource, shownFree, shownSame}));
            return Placed;
        }
        AppendLog(FormatText(
            "Left source file \"%s\" alone, given existence of differing destination file \"%s\".\r\n",
            {shownSource, shownSame}));
        return NotAllMoved;
    }

    if (!m_rFs.Move(sourcePath, samePath)) {
        ReportError(owner, FormatText("ERROR: Couldn't rename \"%s\" to \"%s\"", {sourcePath, samePath}));
        return StopMove;
    }
    noteMoved(samePath);
    AppendLog(
        FormatText("Moved source file \"%s\" to destination \"%s\" because the source file is unique and the "
                   "filename was not already being used.\r\n",
                   {shownSource, shownSame}));
    return Placed;
}

}  // namespace tandemere::engine
