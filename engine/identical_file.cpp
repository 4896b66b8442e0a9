// Engine layer: the search for the source file's content under another name in the destination, and the
// decision about it.
#include <string>
#include <vector>

#include "engine/move_command.h"
#include "engine/path.h"
#include "engine/placement_checks.h"
#include "engine/text_format.h"

namespace tandemere::engine {
IdenticalSearch MoveCommand::FindIdenticalFile(WindowHandle owner, const std::string& source,
                                               const std::string& name, SourceContent& content,
                                               const std::string& destFolder) {
    IdenticalSearch result;
    const PathStyle& style = m_rFs.Style();

    // Only files of the source's exact size can be identical; the index gives them in listing
    // order without listing the folder again for every source file.
    std::vector<DirEntry> candidates;
    if (!m_oIndexes.Candidates(m_rFs, destFolder, m_nSourceFileSize, candidates)) {
        ReportError(owner, FormatText("ERROR: Couldn't find files in \"%s\"", {destFolder}));
        content.Release();
        result.m_nOutcome = IdenticalSearch::Stop;
        return result;
    }

    const std::string_view extension = FindExtension(style, source);
    for (const DirEntry& candidate : candidates) {
        if (m_bOnlyCompareSameExt && !MatchesExtension(style, candidate.m_strName, extension)) continue;
        // Under its own name the destination file was compared already.
        if (candidate.m_strName == name) continue;
        // The source is under 4 GiB, so such an entry cannot be its copy; it is no error either.
        if (candidate.m_nSize >= kFourGiB) continue;

        bool identical = false;
        const int compared = CompareContents(owner, source, content, destFolder, candidate, identical);
        if (compared == 2) {
            content.Release();
            result.m_nOutcome = IdenticalSearch::Stop;
            return result;
        }
        if (!identical) continue;
        // What the file looked like once compared, so a change before the source is deleted shows.
        DirEntry now;
        if (!m_rFs.Lookup(destFolder + candidate.m_strName, now)) continue;
        now.m_strName = candidate.m_strName;
        content.Release();
        result.m_nOutcome = IdenticalSearch::Found;
        result.m_oEntry = now;
        return result;
    }
    content.Release();
    return result;
}

PlaceResult MoveCommand::ResolveIdenticalFile(WindowHandle owner, const std::string& source,
                                              const std::string& name, const std::string& destFolder,
                                              bool nameTaken, const DirEntry& identical,
                                              const DirEntry& sourceEntry) {
    const std::string identicalPath = destFolder + identical.m_strName;
    const std::string newName = nameTaken ? GetFreeName(destFolder, name) : name;
    const std::string newPath = destFolder + newName;
    if (!m_rFs.PathFits(identicalPath)) return RefuseLongPath(owner, identicalPath);
    if (!m_rFs.PathFits(newPath)) return RefuseLongPath(owner, newPath);

    const std::string_view shownSource = GetShownPath(source, m_nSourceRootLen);
    const std::string_view shownIdentical = GetShownPath(identicalPath, m_nDestFolderLen);
    const std::string_view shownNew = GetShownPath(newPath, m_nDestFolderLen);

    // A remembered value this decision does not know would leave the file without a word: ask.
    if (!IsKnownAnswer(m_nSameFileDiffNameDlgDefault)) m_nSameFileDiffNameDlgDefault = AnswerAsk;
    const std::int32_t answer = GetDecision(
        m_nSameFileDiffNameDlgDefault, "SameFileDiffNameDlgDefault", owner, [&](WindowHandle promptOwner) {
            ChoicePrompt prompt{DecisionKind::SameFileDiffName, {}, {}, {}, {}, {}, {}};
            prompt.m_strQuestion = FormatText("Source file \"%s\" is the same as destination file \"%s\"",
                                              {shownSource, shownIdentical});
            if (nameTaken)
                prompt.m_strQuestion +=
                    FormatText("\r\nA different file named \"%s\" already exists in the destination folder.",
                               {shownSource});
            prompt.m_strCaption1 = "&Delete";
            prompt.m_strText1 = FormatText("Delete source file \"%s\", leaving identical file \"%s\".",
                                           {shownSource, shownIdentical});
            prompt.m_strCaption2 = "Delete and &Rename";
            prompt.m_strText2 = FormatText(
                "Delete source file \"%s\", and rename identical destination file from \"%s\" to \"%s\".",
                {shownSource, shownIdentical, shownNew});
            prompt.m_strText3 = FormatText("Leave source file \"%s\" alone.", {shownSource});
            return m_rUi.ShowChoicePrompt(promptOwner, prompt);
        });

    if (answer == AnswerCancel) {
        AppendLog("Cancelled by request.");
        return StopMove;
    }
    if (answer != AnswerFirst && answer != AnswerSecond) {
        AppendLog(FormatText(
            "Left source file \"%s\" alone, given existence of identical destination file \"%s\".\r\n",
            {shownSource, shownIdentical}));
        return NotAllMoved;
    }

    // The source goes only while both files still are as they were compared: a change since
    // then could mean its content exists nowhere else.
    DirEntry now;
    if (!m_rFs.Lookup(source, now) || !Unchanged(sourceEntry, now)) {
        ReportError(owner,
                    FormatText("ERROR: Source file \"%s\" changed while it was being compared", {source}));
        return NotAllMoved;
    }
    if (!m_rFs.Lookup(identicalPath, now) || !Unchanged(identical, now)) {
        ReportError(owner, FormatText("ERROR: Destination file \"%s\" changed while it was being compared",
                                      {identicalPath}));
        return NotAllMoved;
    }
    if (!m_rFs.DeleteFile(source)) {
        ReportError(owner, FormatText("ERROR: Couldn't delete \"%s\"", {source}));
        return StopMove;
    }
    m_oIndexes.NoteRemoved(m_rFs.Style(), source);
    if (answer == AnswerFirst) {
        AppendLog(FormatText("Deleted source file \"%s\", because destination file \"%s\" is the same.\r\n",
                             {shownSource, shownIdentical}));
        return Placed;
    }

    if (!m_rFs.Move(identicalPath, newPath)) {
        ReportError(owner, FormatText("ERROR: Couldn't rename \"%s\" to \"%s\"", {identicalPath, newPath}));
        return StopMove;
    }
    m_oIndexes.NoteRenamed(m_rFs.Style(), identicalPath, newPath);
    std::string line =
        FormatText("Deleted source file \"%s\" and renamed identical destination file from \"%s\" to \"%s\".",
                   {shownSource, shownIdentical, shownNew});
    if (nameTaken)
        line += "  Changed name of file because source filename is already used in destination folder.";
    line += "\r\n";
    AppendLog(line);
    return Placed;
}

}  // namespace tandemere::engine
