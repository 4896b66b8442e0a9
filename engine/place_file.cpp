// Engine layer: placement of one source file into a destination folder, one function a case of its decision
// table.
#include <string>

#include "engine/answer_captions.h"
#include "engine/move_command.h"
#include "engine/path.h"
#include "engine/settings_table.h"
#include "engine/text_format.h"

namespace tandemere::engine {
namespace {

ChoicePrompt FnameFldrnameClashPrompt(std::string_view shownSource, std::string_view shownFree) {
    ChoicePrompt prompt{DecisionKind::FnameFldrnameClash, {}, {}, {}, {}, {}, {}, {}, {}};
    prompt.m_strQuestion = FormatText(
        "Can't move source file \"%s\" into the destination folder because a subfolder of that name already "
        "exists there.",
        {shownSource});
    prompt.m_strCaption1 = GetAnswerCaptions(DecisionKind::FnameFldrnameClash).m_pszFirst;
    prompt.m_strText1 = FormatText("Rename the subfolder in the destination folder to \"%s\".", {shownFree});
    prompt.m_strCaption2 = GetAnswerCaptions(DecisionKind::FnameFldrnameClash).m_pszSecond;
    prompt.m_strText2 = FormatText("Rename the source file to \"%s\".", {shownFree});
    prompt.m_strText3 = FormatText("Leave source file \"%s\" alone.", {shownSource});
    return prompt;
}

// The texts of the different-file prompt; the caller adds the paths and entries behind them.
ClashPrompt DiffFileSameNamePrompt(std::string_view shownSource, std::string_view shownSame,
                                   std::string_view shownFree) {
    ClashPrompt prompt;
    prompt.m_strSrcShown = std::string(shownSource);
    prompt.m_strDestShown = std::string(shownSame);
    prompt.m_strNewShown = std::string(shownFree);
    prompt.m_strQuestion =
        FormatText("Source file \"%s\" is unique, but a (different) destination file \"%s\" already exists.",
                   {shownSource, shownSame});
    prompt.m_strText1 =
        FormatText("Overwrite destination file \"%s\" with source file \"%s\".", {shownSame, shownSource});
    prompt.m_strText2 =
        FormatText("Rename source file to \"%s\" and move to destination folder.", {shownFree});
    prompt.m_strText3 = FormatText("Leave source file \"%s\" alone.", {shownSource});
    return prompt;
}

}  // namespace

PlaceResult MoveCommand::PlaceSourceFile(WindowHandle owner, std::string source, std::string destFolder,
                                         const DirEntry& sourceEntry) {
    FileToPlace file;
    file.m_oSourceEntry = sourceEntry;
    // Opening a pipe could wait for a writer for good, and moving one would break whoever uses it.
    if (file.m_oSourceEntry.m_bSpecial) {
        LogLeftSpecial(source);
        return NotAllMoved;
    }
    file.m_strName = std::string(FindFileName(m_rFs.Style(), source));
    file.m_strSource = std::move(source);
    file.m_strDestFolder = std::move(destFolder);
    file.m_strSamePath = file.m_strDestFolder + file.m_strName;
    if (!m_rFs.PathFits(file.m_strSamePath)) return RefuseLongPath(owner, file.m_strSamePath);
    file.m_bNameTaken = m_rFs.Lookup(file.m_strSamePath, file.m_oSameEntry).IsOk();

    if (file.m_bNameTaken && file.m_oSameEntry.m_bDirectory) return PlaceFileAtFolderName(owner, file);
    // The counterpart folder's own cache serves it; the source's would only ask about its bytes.
    const DirEntry& same = file.m_oSameEntry;
    if (file.m_bNameTaken && !same.m_bLink && !same.m_bSpecial &&
        IsRebuiltCacheName(m_rFs.Style(), file.m_strName))
        return DiscardRebuiltCache(owner, file.m_strSource, file.m_strSamePath);
    const IdenticalSearch search = SearchIdenticalFile(owner, file);
    file.m_oDigest = search.m_oSourceDigest;
    switch (search.m_nOutcome) {
        case IdenticalSearch::Stop:
            return StopMove;
        case IdenticalSearch::LeaveAlone:
            return NotAllMoved;
        case IdenticalSearch::UnderSameName:
            return DeleteIdenticalSource(owner, file, file.m_strSamePath, file.m_oSameEntry);
        case IdenticalSearch::UnderOtherName:
            return ResolveIdenticalFile(owner, file, search.m_oEntry);
        case IdenticalSearch::Elsewhere:
            return ResolveIdenticalElsewhere(owner, file, search.m_strPath, search.m_oEntry);
        case IdenticalSearch::NotFound:
            break;
    }
    if (file.m_bNameTaken) return PlaceFileAtDifferentFile(owner, file);
    return PlaceFileAtFreeName(owner, file);
}

PlaceResult MoveCommand::PlaceFileAtFolderName(WindowHandle owner, const FileToPlace& file) {
    const std::string freePath = file.m_strDestFolder + GetFreeName(file.m_strDestFolder, file.m_strName);
    if (!m_rFs.PathFits(freePath)) return RefuseLongPath(owner, freePath);
    const std::string& samePath = file.m_strSamePath;
    const std::string_view shownSource = ShownSource(file.m_strSource);

    const std::optional<std::int32_t> answer =
        Decide(SettingId::FnameFldrnameClashDlgDefault, owner, [&](WindowHandle promptOwner) {
            ChoicePrompt prompt = FnameFldrnameClashPrompt(shownSource, ShownDest(freePath));
            prompt.m_strSrcPath = file.m_strSource;
            prompt.m_strDestPath = samePath;
            return m_rUi.ShowChoicePrompt(promptOwner, prompt);
        });
    if (!answer) return StopMove;
    if (*answer == AnswerThird) {
        AppendDecisionLog(FormatText(
            "Left source file \"%s\" alone, given existence of a subfolder of the same name in the "
            "destination folder.\r\n",
            {shownSource}));
        ++m_oSummary.m_nLeft;
        return NotAllMoved;
    }
    // The second answer renames the file.
    std::string target = freePath;
    if (*answer == AnswerFirst) {
        if (const Status renamed = m_rFs.Move(samePath, freePath); !renamed)
            return ReportFailure(
                owner,
                FormatText("ERROR: couldn't rename subfolder in destination folder from \"%s\" to \"%s\".",
                           {samePath, freePath}),
                renamed);
        m_oIndexes.NoteRenamed(m_rFs.Style(), samePath, freePath);
        JournalMoved(JournalKind::Renamed, samePath, freePath);
        ++m_oSummary.m_nRenamed;
        AppendDecisionLog(
            FormatText("Renamed a subfolder in the destination folder from \"%s\" to \"%s\" because it had "
                       "the same name as the source file \"%s\".\r\n",
                       {ShownDest(samePath), ShownDest(freePath), shownSource}));
        target = samePath;
    }
    if (const PlaceResult moved = MoveSourceFile(
            owner, file, target, "ERROR: couldn't move source file \"%s\" to destination as \"%s\".");
        moved != Placed)
        return moved;
    ++m_oSummary.m_nFilesMoved;
    if (*answer == AnswerSecond) ++m_oSummary.m_nRenamed;
    AppendLogLine(
        FormatText("Moved source file \"%s\" to destination as \"%s\".", {shownSource, ShownDest(target)}),
        "  Filename was changed to avoid clash with extant subfolder \"%s\" in the destination folder.",
        *answer == AnswerSecond ? ShownDest(samePath) : std::string_view());
    return Placed;
}

PlaceResult MoveCommand::PlaceFileAtDifferentFile(WindowHandle owner, const FileToPlace& file) {
    const std::string freePath = file.m_strDestFolder + GetFreeName(file.m_strDestFolder, file.m_strName);
    if (!m_rFs.PathFits(freePath)) return RefuseLongPath(owner, freePath);
    const std::string& samePath = file.m_strSamePath;
    const std::string_view shownSource = ShownSource(file.m_strSource);
    const std::string_view shownSame = ShownDest(samePath);
    const std::string_view shownFree = ShownDest(freePath);

    const std::optional<std::int32_t> answer =
        Decide(SettingId::DiffFileSameNameDlgDefault, owner, [&](WindowHandle promptOwner) {
            ClashPrompt prompt = DiffFileSameNamePrompt(shownSource, shownSame, shownFree);
            prompt.m_strSrcPath = file.m_strSource;
            prompt.m_oSrcEntry = file.m_oSourceEntry;
            prompt.m_strDestPath = samePath;
            prompt.m_oDestEntry = file.m_oSameEntry;
            prompt.m_strNewPath = freePath;
            return m_rUi.ShowClashPrompt(promptOwner, prompt);
        });
    if (!answer) return StopMove;
    if (*answer == AnswerFirst) {
        // Replaced in one step, so a failure part-way still leaves the old file; into the trash it
        // goes first, where it stays whole whatever happens next.
        if (m_bDeleteToRecycleBin && !TrashOverwrittenFile(file)) return NotAllMoved;
        if (const PlaceResult moved = MoveSourceFile(
                owner, file, samePath, "ERROR: Couldn't move \"%s\" to \"%s\"", !m_bDeleteToRecycleBin);
            moved != Placed)
            return moved;
        ++m_oSummary.m_nFilesMoved;
        ++m_oSummary.m_nOverwritten;
        AppendDecisionLog(
            FormatText("Moved source file \"%s\" to destination folder, overwriting different existing file "
                       "\"%s\".\r\n",
                       {shownSource, shownSame}));
        return Placed;
    }
    if (*answer == AnswerSecond) {
        if (const PlaceResult moved =
                MoveSourceFile(owner, file, freePath, "ERROR: Couldn't move \"%s\" to \"%s\"");
            moved != Placed)
            return moved;
        ++m_oSummary.m_nFilesMoved;
        ++m_oSummary.m_nRenamed;
        AppendDecisionLog(
            FormatText("Moved source file \"%s\" to destination folder, naming it \"%s\" to avoid "
                       "overwriting different existing file \"%s\".\r\n",
                       {shownSource, shownFree, shownSame}));
        return Placed;
    }
    ++m_oSummary.m_nLeft;
    AppendDecisionLog(
        FormatText("Left source file \"%s\" alone, given existence of differing destination file \"%s\".\r\n",
                   {shownSource, shownSame}));
    return NotAllMoved;
}

bool MoveCommand::TrashOverwrittenFile(const FileToPlace& file) {
    std::string trash;
    if (!m_rFs.MoveToTrash(file.m_strSamePath, trash)) {
        ++m_oSummary.m_nLeft;
        AppendDecisionLog(
            FormatText("Left source file \"%s\" alone, given existence of differing destination file \"%s\", "
                       "because %s couldn't take that file.\r\n",
                       {ShownSource(file.m_strSource), ShownDest(file.m_strSamePath), trash}));
        return false;
    }
    m_oIndexes.NoteRemoved(m_rFs.Style(), file.m_strSamePath);
    JournalDiscarded(file.m_strSamePath, file.m_oSameEntry, trash);
    AppendDecisionLog(
        FormatText("Moved different existing file \"%s\" to %s, to make room for source file \"%s\".\r\n",
                   {ShownDest(file.m_strSamePath), trash, ShownSource(file.m_strSource)}));
    return true;
}

PlaceResult MoveCommand::PlaceFileAtFreeName(WindowHandle owner, const FileToPlace& file) {
    if (const PlaceResult moved =
            MoveSourceFile(owner, file, file.m_strSamePath, "ERROR: Couldn't move \"%s\" to \"%s\"");
        moved != Placed)
        return moved;
    ++m_oSummary.m_nFilesMoved;
    AppendLog(
        FormatText("Moved source file \"%s\" to destination \"%s\" because the source file is unique and the "
                   "filename was not already being used.\r\n",
                   {ShownSource(file.m_strSource), ShownDest(file.m_strSamePath)}));
    return Placed;
}

PlaceResult MoveCommand::MoveSourceFile(WindowHandle owner, const FileToPlace& file,
                                        const std::string& target, std::string_view errorPattern,
                                        bool replace) {
    const Status moved =
        replace ? m_rFs.MoveReplacing(file.m_strSource, target) : m_rFs.Move(file.m_strSource, target);
    const bool changed = moved.Kind() == ErrorKind::SourceChanged;
    if (!moved && !changed)
        return ReportFailure(owner, FormatText(errorPattern, {file.m_strSource, target}), moved);
    // Later searches of this move see what it changed. A move keeps the size and the time (a copy
    // across volumes takes both along), and the digest of the bytes read before still holds.
    const PathStyle& style = m_rFs.Style();
    if (!changed) {
        // What was overwritten without the trash is gone for good: the one change undo cannot reverse.
        if (replace) Journal(JournalKind::Overwritten, JournalFields({target}, file.m_oSameEntry));
        JournalMoved(JournalKind::Moved, file.m_strSource, target, &file.m_oSourceEntry);
        m_oIndexes.NoteRemoved(style, file.m_strSource);
        m_oIndexes.NoteAdded(style, target, file.m_oSourceEntry, file.m_oDigest);
        return Placed;
    }
    // The copy is complete, but what was written meanwhile may exist only in the source; the bytes
    // read before say nothing about the copy, so it is looked up afresh.
    DirEntry arrived;
    if (!m_rFs.Lookup(target, arrived)) arrived = file.m_oSourceEntry;
    m_oIndexes.NoteAdded(style, target, arrived);
    ++m_oSummary.m_nLeft;
    AppendLog(
        FormatText("Copied source file \"%s\" to destination as \"%s\", but left it in the source folder "
                   "because it changed while it was being copied.\r\n",
                   {ShownSource(file.m_strSource), ShownDest(target)}));
    return NotAllMoved;
}

}  // namespace tandemere::engine
