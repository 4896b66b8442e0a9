// Engine layer: the source file's content elsewhere in the destination tree (with SearchWholeDestination
// on), and the decision about it: delete the source, or leave it.
#include <string>
#include <utility>
#include <vector>

#include "engine/answer_captions.h"
#include "engine/move_command.h"
#include "engine/path.h"
#include "engine/settings_table.h"
#include "engine/text_format.h"

namespace tandemere::engine {
namespace {

// Two answers only: the second button is not shown.
ChoicePrompt SameFileElsewherePrompt(std::string_view shownSource, std::string_view shownIdentical) {
    ChoicePrompt prompt{DecisionKind::SameFileElsewhere, {}, {}, {}, {}, {}, {}, {}, {}};
    prompt.m_strQuestion =
        FormatText("Source file \"%s\" is the same as file \"%s\" elsewhere in the destination folder.",
                   {shownSource, shownIdentical});
    prompt.m_strCaption1 = GetAnswerCaptions(DecisionKind::SameFileElsewhere).m_pszFirst;
    prompt.m_strText1 = FormatText("Delete source file \"%s\", leaving identical file \"%s\".",
                                   {shownSource, shownIdentical});
    prompt.m_strText3 = FormatText("Leave source file \"%s\" alone.", {shownSource});
    return prompt;
}

}  // namespace

IdenticalSearch MoveCommand::FindIdenticalElsewhere(WindowHandle owner, const FileToPlace& file,
                                                    SourceContent& content) {
    const std::uint64_t size = file.m_oSourceEntry.m_nSize;
    // An empty file holds nothing but its name: under another name it is another file.
    if (size == 0) return Searched(IdenticalSearch::NotFound, content);
    const PathStyle& style = m_rFs.Style();
    std::vector<TreeFile> candidates;
    std::vector<std::pair<std::string, Status>> unlisted;
    m_oIndexes.TreeCandidates(m_rFs, m_szDestFolder, size, candidates, unlisted);
    for (auto& [folder, status] : unlisted) {
        RemoveSeparator(style, folder);
        AppendLog(FormatText("Couldn't look for identical files in \"%s\": %s.\r\n",
                             {ShownDest(folder), m_rFs.ReasonText(status)}));
    }

    for (const TreeFile& candidate : candidates) {
        // The counterpart folder was searched already.
        if (SameFolder(style, candidate.m_strFolder, file.m_strDestFolder)) continue;
        const std::string& name = candidate.m_oFile.m_oEntry.m_strName;
        const std::string path = candidate.m_strFolder + name;
        if (!MayBeSameContent(file, name) || EqualNames(path, file.m_strSource, style.m_bIgnoreCase))
            continue;
        DirEntry compared;
        const CompareResult result = CompareContents(owner, file.m_strSource, size, content,
                                                     candidate.m_strFolder, candidate.m_oFile, compared);
        if (result == CompareResult::Failed) return Searched(IdenticalSearch::Stop, content);
        if (result == CompareResult::Skipped) return Searched(IdenticalSearch::LeaveAlone, content);
        if (result != CompareResult::Identical) continue;
        // A source in the tree may be reached by another spelling or another hard link: never itself.
        bool same = true;
        if (!m_rFs.IsSameObject(file.m_strSource, path, same) || same) continue;
        IdenticalSearch found = Searched(IdenticalSearch::Elsewhere, content, compared);
        found.m_strPath = path;
        return found;
    }
    return Searched(IdenticalSearch::NotFound, content);
}

PlaceResult MoveCommand::ResolveIdenticalElsewhere(WindowHandle owner, const FileToPlace& file,
                                                   const std::string& identicalPath,
                                                   const DirEntry& identical) {
    const std::string_view shownSource = ShownSource(file.m_strSource);
    const std::string_view shownIdentical = ShownDest(identicalPath);
    bool prompted = false;
    const std::optional<std::int32_t> answer =
        Decide(SettingId::SameFileElsewhereDlgDefault, owner, [&](WindowHandle promptOwner) {
            prompted = true;
            ChoicePrompt prompt = SameFileElsewherePrompt(shownSource, shownIdentical);
            prompt.m_strSrcPath = file.m_strSource;
            prompt.m_strDestPath = identicalPath;
            return m_rUi.ShowChoicePrompt(promptOwner, prompt);
        });
    if (!answer) return StopMove;
    if (*answer == AnswerFirst) return DeleteIdenticalSource(owner, file, identicalPath, identical, prompted);
    ++m_oSummary.m_nLeft;
    AppendDecisionLog(
        FormatText("Left source file \"%s\" alone, given existence of identical file \"%s\" elsewhere in the "
                   "destination "
                   "folder.\r\n",
                   {shownSource, shownIdentical}));
    return NotAllMoved;
}

}  // namespace tandemere::engine
