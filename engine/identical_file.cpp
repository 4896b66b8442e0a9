// Engine layer: the search for the source file's content in the destination, the decision about an identical
// file under another name, and the one rule by which a source file is deleted for its content.
#include <string>
#include <vector>

#include "engine/move_command.h"
#include "engine/path.h"
#include "engine/settings_table.h"
#include "engine/text_format.h"

namespace tandemere::engine {
namespace {

// Whether a file still looks as it did when it was compared.
bool Unchanged(const DirEntry& compared, const DirEntry& now) {
    return !now.m_bDirectory && !now.m_bLink && now.m_nSize == compared.m_nSize &&
           now.m_nLastWriteTime == compared.m_nLastWriteTime;
}

IdenticalSearch Searched(IdenticalSearch::Outcome outcome, const DirEntry& entry = {}) {
    IdenticalSearch search;
    search.m_nOutcome = outcome;
    search.m_oEntry = entry;
    return search;
}

ChoicePrompt SameFileDiffNamePrompt(std::string_view shownSource, std::string_view shownIdentical,
                                    std::string_view shownNew, bool nameTaken) {
    ChoicePrompt prompt{DecisionKind::SameFileDiffName, {}, {}, {}, {}, {}, {}};
    prompt.m_strQuestion = FormatText("Source file \"%s\" is the same as destination file \"%s\"",
                                      {shownSource, shownIdentical});
    if (nameTaken)
        prompt.m_strQuestion += FormatText(
            "\r\nA different file named \"%s\" already exists in the destination folder.", {shownSource});
    prompt.m_strCaption1 = "&Delete";
    prompt.m_strText1 = FormatText("Delete source file \"%s\", leaving identical file \"%s\".",
                                   {shownSource, shownIdentical});
    prompt.m_strCaption2 = "Delete and &Rename";
    prompt.m_strText2 =
        FormatText("Delete source file \"%s\", and rename identical destination file from \"%s\" to \"%s\".",
                   {shownSource, shownIdentical, shownNew});
    prompt.m_strText3 = FormatText("Leave source file \"%s\" alone.", {shownSource});
    return prompt;
}

}  // namespace

IdenticalSearch MoveCommand::SearchIdenticalFile(WindowHandle owner, const FileToPlace& file) {
    SourceContent content;
    if (file.m_bNameTaken) {
        switch (CompareContents(owner, file.m_strSource, file.m_oSourceEntry.m_nSize, content,
                                file.m_strDestFolder, file.m_oSameEntry)) {
            case CompareResult::TooLarge:
                return Searched(IdenticalSearch::LeaveAlone);
            case CompareResult::Failed:
                return Searched(IdenticalSearch::Stop);
            case CompareResult::Identical:
                // A file system that ignores case can store the name in another spelling.
                return Searched(file.m_oSameEntry.m_strName == file.m_strName
                                    ? IdenticalSearch::UnderSameName
                                    : IdenticalSearch::UnderOtherName,
                                file.m_oSameEntry);
            case CompareResult::Different:
                break;
        }
    }
    return FindIdenticalFile(owner, file, content);
}

IdenticalSearch MoveCommand::FindIdenticalFile(WindowHandle owner, const FileToPlace& file,
                                               SourceContent& content) {
    const PathStyle& style = m_rFs.Style();
    const std::string& destFolder = file.m_strDestFolder;

    // Only files of the source's exact size can be identical; the index gives them in listing
    // order without listing the folder again for every source file.
    std::vector<DirEntry> candidates;
    if (!m_oIndexes.Candidates(m_rFs, destFolder, file.m_oSourceEntry.m_nSize, candidates)) {
        ReportError(owner, FormatText("ERROR: Couldn't find files in \"%s\"", {destFolder}));
        return Searched(IdenticalSearch::Stop);
    }
    if (!ClearLeftovers(owner, file, candidates, content)) return Searched(IdenticalSearch::Stop);

    const std::string_view extension = FindExtension(style, file.m_strSource);
    for (const DirEntry& candidate : candidates) {
        if (m_bOnlyCompareSameExt && !MatchesExtension(style, candidate.m_strName, extension)) continue;
        // Under its own name the destination file was compared already.
        if (candidate.m_strName == file.m_strName) continue;
        if (IsTemporaryName(candidate.m_strName)) continue;
        // The source is under 4 GiB, so such an entry cannot be its copy; it is no error either.
        if (candidate.m_nSize >= kFourGiB) continue;

        const CompareResult compared = CompareContents(owner, file.m_strSource, file.m_oSourceEntry.m_nSize,
                                                       content, destFolder, candidate);
        if (compared == CompareResult::Failed) return Searched(IdenticalSearch::Stop);
        if (compared != CompareResult::Identical) continue;
        // What the file looked like once compared, so a change before the source is deleted shows.
        DirEntry now;
        if (!m_rFs.Lookup(destFolder + candidate.m_strName, now)) continue;
        now.m_strName = candidate.m_strName;
        return Searched(IdenticalSearch::UnderOtherName, now);
    }
    return Searched(IdenticalSearch::NotFound);
}

bool MoveCommand::ClearLeftovers(WindowHandle owner, const FileToPlace& file,
                                 const std::vector<DirEntry>& candidates, SourceContent& content) {
    const std::string& destFolder = file.m_strDestFolder;
    for (const DirEntry& candidate : candidates) {
        if (!IsTemporaryName(candidate.m_strName)) continue;
        const CompareResult compared = CompareContents(owner, file.m_strSource, file.m_oSourceEntry.m_nSize,
                                                       content, destFolder, candidate);
        if (compared == CompareResult::Failed) return false;
        // The copy holds the source's content only while the source is as it was compared. A copy
        // that cannot be deleted simply stays, and is reported with the others.
        DirEntry now;
        const std::string path = destFolder + candidate.m_strName;
        if (compared != CompareResult::Identical || !m_rFs.Lookup(file.m_strSource, now) ||
            !Unchanged(file.m_oSourceEntry, now) || !m_rFs.DeleteFile(path))
            continue;
        m_oIndexes.NoteRemoved(m_rFs.Style(), path);
        AppendLog(FormatText(
            "Deleted \"%s\", left by an interrupted move, because source file \"%s\" is the same.\r\n",
            {ShownDest(path), ShownSource(file.m_strSource)}));
    }
    for (const DirEntry& leftover : m_oIndexes.TakeLeftovers(m_rFs.Style(), destFolder))
        AppendLog(
            FormatText("Found \"%s\", left by an interrupted move: it may hold the only copy of a file.\r\n",
                       {ShownDest(destFolder + leftover.m_strName)}));
    return true;
}

PlaceResult MoveCommand::ResolveIdenticalFile(WindowHandle owner, const FileToPlace& file,
                                              const DirEntry& identical) {
    const std::string& destFolder = file.m_strDestFolder;
    const std::string identicalPath = destFolder + identical.m_strName;
    const std::string newPath =
        destFolder + (file.m_bNameTaken ? GetFreeName(destFolder, file.m_strName) : file.m_strName);
    if (!m_rFs.PathFits(identicalPath)) return RefuseLongPath(owner, identicalPath);
    if (!m_rFs.PathFits(newPath)) return RefuseLongPath(owner, newPath);

    const std::string_view shownSource = ShownSource(file.m_strSource);
    const std::string_view shownIdentical = ShownDest(identicalPath);
    const std::string_view shownNew = ShownDest(newPath);
    bool prompted = false;
    const std::optional<std::int32_t> answer = Decide(
        SettingId::SameFileDiffNameDlgDefault, OnUnknownAnswer::AskAgain, owner,
        [&](WindowHandle promptOwner) {
            prompted = true;
            return m_rUi.ShowChoicePrompt(promptOwner, SameFileDiffNamePrompt(shownSource, shownIdentical,
                                                                              shownNew, file.m_bNameTaken));
        });
    if (!answer) return StopMove;
    if (*answer == AnswerFirst) return DeleteIdenticalSource(owner, file, identicalPath, identical, prompted);
    if (*answer != AnswerSecond) {
        AppendLog(FormatText(
            "Left source file \"%s\" alone, given existence of identical destination file \"%s\".\r\n",
            {shownSource, shownIdentical}));
        return NotAllMoved;
    }

    const PlaceResult deleted = DeleteUnchangedSource(owner, file.m_strSource, file.m_oSourceEntry,
                                                      identicalPath, identical, prompted);
    if (deleted != Placed) return deleted;
    if (!m_rFs.Move(identicalPath, newPath)) {
        // The source is gone already: the log says so before it tells why the rename failed.
        LogSourceDeletedAsSame(file.m_strSource, identicalPath);
        ReportError(owner, FormatText("ERROR: Couldn't rename \"%s\" to \"%s\"", {identicalPath, newPath}));
        return StopMove;
    }
    m_oIndexes.NoteRenamed(m_rFs.Style(), identicalPath, newPath);
    std::string line =
        FormatText("Deleted source file \"%s\" and renamed identical destination file from \"%s\" to \"%s\".",
                   {shownSource, shownIdentical, shownNew});
    if (file.m_bNameTaken)
        line += "  Changed name of file because source filename is already used in destination folder.";
    line += "\r\n";
    AppendLog(line);
    return Placed;
}

PlaceResult MoveCommand::DeleteIdenticalSource(WindowHandle owner, const FileToPlace& file,
                                               const std::string& destPath, const DirEntry& destEntry,
                                               bool compareAgain) {
    const PlaceResult deleted = DeleteUnchangedSource(owner, file.m_strSource, file.m_oSourceEntry, destPath,
                                                      destEntry, compareAgain);
    if (deleted != Placed) return deleted;
    LogSourceDeletedAsSame(file.m_strSource, destPath);
    return Placed;
}

void MoveCommand::LogSourceDeletedAsSame(const std::string& source, const std::string& destPath) {
    AppendLog(FormatText("Deleted source file \"%s\", because destination file \"%s\" is the same.\r\n",
                         {ShownSource(source), ShownDest(destPath)}));
}

PlaceResult MoveCommand::DeleteUnchangedSource(WindowHandle owner, const std::string& source,
                                               const DirEntry& sourceEntry, const std::string& destPath,
                                               const DirEntry& destEntry, bool compareAgain) {
    // A prompt can wait for minutes, and a writer can keep a file's size and time meanwhile.
    CompareResult again = CompareResult::Identical;
    if (compareAgain) {
        SourceContent content;
        DirEntry candidate = destEntry;
        candidate.m_strName = std::string(FindFileName(m_rFs.Style(), destPath));
        again = CompareContents(owner, source, sourceEntry.m_nSize, content,
                                ParentFolder(m_rFs.Style(), destPath), candidate);
        if (again == CompareResult::Failed) return StopMove;
    }
    // A change since the comparison could mean the source's content exists nowhere else. Bytes that
    // differ under an unchanged size and time cannot tell which file was written: the source, which
    // stays, is named.
    constexpr const char* kSourceChanged = "ERROR: Source file \"%s\" changed while it was being compared";
    DirEntry now;
    if (!m_rFs.Lookup(source, now) || !Unchanged(sourceEntry, now)) {
        ReportError(owner, FormatText(kSourceChanged, {source}));
        return NotAllMoved;
    }
    if (!m_rFs.Lookup(destPath, now) || !Unchanged(destEntry, now)) {
        ReportError(owner, FormatText("ERROR: Destination file \"%s\" changed while it was being compared",
                                      {destPath}));
        return NotAllMoved;
    }
    if (again != CompareResult::Identical) {
        ReportError(owner, FormatText(kSourceChanged, {source}));
        return NotAllMoved;
    }
    if (!m_rFs.DeleteFile(source)) {
        ReportError(owner, FormatText("ERROR: Couldn't delete \"%s\"", {source}));
        return StopMove;
    }
    m_oIndexes.NoteRemoved(m_rFs.Style(), source);
    return Placed;
}

}  // namespace tandemere::engine
