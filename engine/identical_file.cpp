// Engine layer: the search for the source file's content in the destination, the decision about an identical
// file under another name, and the one rule by which a source file is deleted for its content.
#include <string>
#include <vector>

#include "engine/answer_captions.h"
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

}  // namespace

IdenticalSearch Searched(IdenticalSearch::Outcome outcome, const SourceContent& content,
                         const DirEntry& entry) {
    IdenticalSearch search;
    search.m_nOutcome = outcome;
    search.m_oEntry = entry;
    search.m_oSourceDigest = content.m_oDigest;
    return search;
}

namespace {

ChoicePrompt SameFileDiffNamePrompt(std::string_view shownSource, std::string_view shownIdentical,
                                    std::string_view shownNew, bool nameTaken) {
    ChoicePrompt prompt{DecisionKind::SameFileDiffName, {}, {}, {}, {}, {}, {}, {}, {}};
    prompt.m_strQuestion = FormatText("Source file \"%s\" is the same as destination file \"%s\"",
                                      {shownSource, shownIdentical});
    if (nameTaken)
        prompt.m_strQuestion += FormatText(
            "\r\nA different file named \"%s\" already exists in the destination folder.", {shownSource});
    prompt.m_strCaption1 = GetAnswerCaptions(DecisionKind::SameFileDiffName).m_pszFirst;
    prompt.m_strText1 = FormatText("Delete source file \"%s\", leaving identical file \"%s\".",
                                   {shownSource, shownIdentical});
    prompt.m_strCaption2 = GetAnswerCaptions(DecisionKind::SameFileDiffName).m_pszSecond;
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
        // A digest made earlier in this move counts only while the file still looks as it did then.
        const IndexedFile same{file.m_oSameEntry,
                               m_oIndexes.KnownDigest(m_rFs.Style(), file.m_strSamePath, file.m_oSameEntry)};
        DirEntry compared;
        switch (CompareContents(owner, file.m_strSource, file.m_oSourceEntry.m_nSize, content,
                                file.m_strDestFolder, same, compared, false)) {
            case CompareResult::Skipped:
                return Searched(IdenticalSearch::LeaveAlone, content);
            case CompareResult::Failed:
                return Searched(IdenticalSearch::Stop, content);
            case CompareResult::Identical:
                // A file system that ignores case can store the name in another spelling.
                return Searched(file.m_oSameEntry.m_strName == file.m_strName
                                    ? IdenticalSearch::UnderSameName
                                    : IdenticalSearch::UnderOtherName,
                                content, file.m_oSameEntry);
            case CompareResult::Different:
                break;
        }
    }
    IdenticalSearch found = FindIdenticalFile(owner, file, content);
    if (found.m_nOutcome != IdenticalSearch::NotFound || !m_bSearchWholeDestination) return found;
    return FindIdenticalElsewhere(owner, file, content);
}

bool MoveCommand::MayBeSameContent(const FileToPlace& file, const std::string& name) const {
    const PathStyle& style = m_rFs.Style();
    if (IsTemporaryName(name)) return false;
    return !m_bOnlyCompareSameExt || MatchesExtension(style, name, FindExtension(style, file.m_strSource));
}

IdenticalSearch MoveCommand::FindIdenticalFile(WindowHandle owner, const FileToPlace& file,
                                               SourceContent& content) {
    const std::string& destFolder = file.m_strDestFolder;

    // Only files of the source's exact size can be identical; the index gives them in listing
    // order, with the digests made so far, without listing the folder again for every source file.
    std::vector<IndexedFile> candidates;
    if (const Status listed =
            m_oIndexes.Candidates(m_rFs, destFolder, file.m_oSourceEntry.m_nSize, candidates);
        !listed) {
        const PlaceResult chosen =
            ReportFailure(owner, FormatText("ERROR: Couldn't find files in \"%s\"", {destFolder}), listed);
        return Searched(SearchEndedBy(chosen), content);
    }
    if (const PlaceResult cleared = ClearLeftovers(owner, file, candidates, content); cleared != Placed)
        return Searched(SearchEndedBy(cleared), content);
    // An empty file holds nothing but its name: under another name it is another file.
    if (file.m_oSourceEntry.m_nSize == 0) return Searched(IdenticalSearch::NotFound, content);

    for (const IndexedFile& candidate : candidates) {
        const DirEntry& entry = candidate.m_oEntry;
        // Under its own name the destination file was compared already.
        if (entry.m_strName == file.m_strName || !MayBeSameContent(file, entry.m_strName)) continue;

        // What the file looked like before its bytes were read, so a change before the source is
        // deleted shows, even one made while it was being compared.
        DirEntry compared;
        const CompareResult result = CompareContents(owner, file.m_strSource, file.m_oSourceEntry.m_nSize,
                                                     content, destFolder, candidate, compared);
        if (result == CompareResult::Failed) return Searched(IdenticalSearch::Stop, content);
        if (result == CompareResult::Skipped) return Searched(IdenticalSearch::LeaveAlone, content);
        if (result == CompareResult::Identical)
            return Searched(IdenticalSearch::UnderOtherName, content, compared);
    }
    return Searched(IdenticalSearch::NotFound, content);
}

PlaceResult MoveCommand::ClearLeftovers(WindowHandle owner, const FileToPlace& file,
                                        const std::vector<IndexedFile>& candidates, SourceContent& content) {
    const std::string& destFolder = file.m_strDestFolder;
    for (const IndexedFile& candidate : candidates) {
        if (!IsTemporaryName(candidate.m_oEntry.m_strName)) continue;
        DirEntry asRead;
        const CompareResult compared = CompareContents(owner, file.m_strSource, file.m_oSourceEntry.m_nSize,
                                                       content, destFolder, candidate, asRead);
        if (compared == CompareResult::Failed) return StopMove;
        if (compared == CompareResult::Skipped) return NotAllMoved;
        // The copy holds the source's content only while the source is as it was compared. A copy
        // that cannot be deleted simply stays, and is reported with the others.
        DirEntry now;
        const std::string path = destFolder + candidate.m_oEntry.m_strName;
        if (compared != CompareResult::Identical || !m_rFs.Lookup(file.m_strSource, now) ||
            !Unchanged(file.m_oSourceEntry, now) || !m_rFs.DeleteFile(path))
            continue;
        m_oIndexes.NoteRemoved(m_rFs.Style(), path);
        AppendLog(FormatText(
            "Deleted \"%s\", left by an interrupted move, because source file \"%s\" is the same.\r\n",
            {ShownDest(path), ShownSource(file.m_strSource)}));
    }
    return Placed;
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
    const std::optional<std::int32_t> answer =
        Decide(SettingId::SameFileDiffNameDlgDefault, owner, [&](WindowHandle promptOwner) {
            prompted = true;
            ChoicePrompt prompt =
                SameFileDiffNamePrompt(shownSource, shownIdentical, shownNew, file.m_bNameTaken);
            prompt.m_strSrcPath = file.m_strSource;
            prompt.m_strDestPath = identicalPath;
            return m_rUi.ShowChoicePrompt(promptOwner, prompt);
        });
    if (!answer) return StopMove;
    if (*answer == AnswerFirst) return DeleteIdenticalSource(owner, file, identicalPath, identical, prompted);
    if (*answer != AnswerSecond) {
        ++m_oSummary.m_nLeft;
        AppendDecisionLog(FormatText(
            "Left source file \"%s\" alone, given existence of identical destination file \"%s\".\r\n",
            {shownSource, shownIdentical}));
        return NotAllMoved;
    }

    std::string trash;
    const PlaceResult deleted = DeleteUnchangedSource(owner, file.m_strSource, file.m_oSourceEntry,
                                                      identicalPath, identical, prompted, trash);
    if (deleted != Placed) return deleted;
    if (const Status renamed = m_rFs.Move(identicalPath, newPath); !renamed) {
        // The source is gone already: the log says so before it tells why the rename failed.
        LogSourceDeletedAsSame(file.m_strSource, identicalPath, trash);
        return ReportFailure(
            owner, FormatText("ERROR: Couldn't rename \"%s\" to \"%s\"", {identicalPath, newPath}), renamed);
    }
    m_oIndexes.NoteRenamed(m_rFs.Style(), identicalPath, newPath);
    JournalMoved(JournalKind::Renamed, identicalPath, newPath);
    ++m_oSummary.m_nRenamed;
    std::string line =
        trash.empty()
            ? FormatText(
                  "Deleted source file \"%s\" and renamed identical destination file from \"%s\" to \"%s\".",
                  {shownSource, shownIdentical, shownNew})
            : FormatText(
                  "Moved source file \"%s\" to %s and renamed identical destination file from \"%s\" to "
                  "\"%s\".",
                  {shownSource, trash, shownIdentical, shownNew});
    if (file.m_bNameTaken)
        line += "  Changed name of file because source filename is already used in destination folder.";
    line += "\r\n";
    AppendDecisionLog(line);
    return Placed;
}

PlaceResult MoveCommand::DeleteIdenticalSource(WindowHandle owner, const FileToPlace& file,
                                               const std::string& destPath, const DirEntry& destEntry,
                                               bool compareAgain) {
    std::string trash;
    const PlaceResult deleted = DeleteUnchangedSource(owner, file.m_strSource, file.m_oSourceEntry, destPath,
                                                      destEntry, compareAgain, trash);
    if (deleted != Placed) return deleted;
    LogSourceDeletedAsSame(file.m_strSource, destPath, trash);
    return Placed;
}

void MoveCommand::LogSourceDeletedAsSame(const std::string& source, const std::string& destPath,
                                         const std::string& trash) {
    if (trash.empty()) {
        AppendDecisionLog(
            FormatText("Deleted source file \"%s\", because destination file \"%s\" is the same.\r\n",
                       {ShownSource(source), ShownDest(destPath)}));
        return;
    }
    AppendDecisionLog(
        FormatText("Moved source file \"%s\" to %s, because destination file \"%s\" is the same.\r\n",
                   {ShownSource(source), trash, ShownDest(destPath)}));
}

Status MoveCommand::DiscardFile(const std::string& path, std::string& trash) {
    trash.clear();
    return m_bDeleteToRecycleBin ? m_rFs.MoveToTrash(path, trash) : m_rFs.DeleteFile(path);
}

PlaceResult MoveCommand::DeleteUnchangedSource(WindowHandle owner, const std::string& source,
                                               const DirEntry& sourceEntry, const std::string& destPath,
                                               const DirEntry& destEntry, bool compareAgain,
                                               std::string& trash) {
    // A prompt can wait for minutes, and a writer can keep a file's size and time meanwhile.
    CompareResult again = CompareResult::Identical;
    if (compareAgain) {
        SourceContent content;
        // No digest: only the bytes on disk now count.
        IndexedFile candidate{destEntry, std::nullopt};
        candidate.m_oEntry.m_strName = std::string(FindFileName(m_rFs.Style(), destPath));
        DirEntry asRead;
        again = CompareContents(owner, source, sourceEntry.m_nSize, content,
                                ParentFolder(m_rFs.Style(), destPath), candidate, asRead);
        if (again == CompareResult::Failed) return StopMove;
        if (again == CompareResult::Skipped) return NotAllMoved;
    }
    // A change since the comparison could mean the source's content exists nowhere else. Bytes that
    // differ under an unchanged size and time cannot tell which file was written: the source, which
    // stays, is named.
    constexpr const char* kSourceChanged = "ERROR: Source file \"%s\" changed while it was being compared";
    DirEntry sourceNow;
    if (!m_rFs.Lookup(source, sourceNow) || !Unchanged(sourceEntry, sourceNow)) {
        ReportError(owner, FormatText(kSourceChanged, {source}));
        return NotAllMoved;
    }
    DirEntry now;
    if (!m_rFs.Lookup(destPath, now) || !Unchanged(destEntry, now)) {
        ReportError(owner, FormatText("ERROR: Destination file \"%s\" changed while it was being compared",
                                      {destPath}));
        return NotAllMoved;
    }
    if (again != CompareResult::Identical) {
        ReportError(owner, FormatText(kSourceChanged, {source}));
        return NotAllMoved;
    }
    if (const Status discarded = DiscardFile(source, trash); !discarded) {
        if (m_bDeleteToRecycleBin) {
            // Never deleted for good behind the user's back: the duplicate simply stays.
            ++m_oSummary.m_nLeft;
            AppendDecisionLog(
                FormatText("Left source file \"%s\" alone, although destination file \"%s\" is the same, "
                           "because %s couldn't take it.\r\n",
                           {ShownSource(source), ShownDest(destPath), trash}));
            return NotAllMoved;
        }
        return ReportFailure(owner, FormatText("ERROR: Couldn't delete \"%s\"", {source}), discarded);
    }
    m_oIndexes.NoteRemoved(m_rFs.Style(), source);
    JournalDiscarded(source, sourceNow, trash, destPath, now);
    ++m_oSummary.m_nDuplicates;
    m_oSummary.m_nDuplicateBytes += sourceEntry.m_nSize;
    return Placed;
}

}  // namespace tandemere::engine
