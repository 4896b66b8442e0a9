// Engine layer: the move command, the per-item dispatch, counting, error reports and shown paths.
#include "engine/move_command.h"

#include <utility>

#include "engine/path.h"
#include "engine/text_format.h"

namespace tandemere::engine {

MoveCommand::MoveCommand(IFileSystem& fs, ISettingsStore& settings, IUserInterface& ui)
    // A Cancel pressed meanwhile stays registered and is seen after the item under way.
    : m_oKeepAlive([this] { m_rUi.PumpAndCheckCancel(); }), m_rFs(fs), m_rSettings(settings), m_rUi(ui) {
    m_rFs.SetKeepAlive(&m_oKeepAlive);
}

MoveCommand::~MoveCommand() {
    m_rFs.SetKeepAlive(nullptr);
}

void MoveCommand::SetDestFolder(std::string folder) {
    AddSeparator(m_rFs.Style(), folder);
    m_szDestFolder = std::move(folder);
    m_nDestFolderLen = static_cast<std::uint32_t>(m_szDestFolder.size());
}

void MoveCommand::AddDropped(std::string path) {
    m_lstDropped.push_back(std::move(path));
}

MoveOutcome MoveCommand::Run(WindowHandle owner) {
    m_rUi.CreateProgress(owner);
    m_rUi.SetProgressRange(CountItems());

    const std::string destFolder = m_szDestFolder;
    m_nItemsDone = 0;
    m_szSourceRoot.clear();
    m_nSourceRootLen = 0;

    m_bLogging = true;
    m_bOnlyCompareSameExt = false;
    m_bFullPaths = false;
    m_nDiffFileSameNameDlgDefault = AnswerAsk;
    m_nFnameFldrnameClashDlgDefault = AnswerAsk;
    m_nSameFileDiffNameDlgDefault = AnswerAsk;
    m_nFldrnameFnameClashDlgDefault = AnswerAsk;
    m_oIndexes.Clear();
    ReadSettings();

    bool stopped = false;
    for (const std::string& path : m_lstDropped) {
        if (PlaceItem(owner, path, destFolder) == StopMove) {
            stopped = true;
            break;
        }
    }

    m_rUi.DestroyProgress();
    if (m_bLogging) m_rUi.ShowLog(m_rUi.GetActiveWindow(), m_strLog);
    return stopped ? MoveStopped : MoveFinished;
}

PlaceResult MoveCommand::PlaceItem(WindowHandle owner, std::string source, std::string destFolder) {
    const PathStyle& style = m_rFs.Style();
    if (m_szSourceRoot.empty()) {
        m_szSourceRoot = source;
        RemoveFileSpec(style, m_szSourceRoot);
        AddSeparator(style, m_szSourceRoot);
        m_nSourceRootLen = static_cast<std::uint32_t>(m_szSourceRoot.size());
    }
    m_rUi.SetProgressItem(source);

    PlaceResult result = Placed;
    DirEntry entry;
    if (!m_rFs.PathFits(source)) {
        result = RefuseLongPath(owner, source);
    } else if (!m_rFs.Lookup(source, entry)) {
        // Nothing there at all: the file placement reports it.
        result = PlaceSourceFile(owner, source, destFolder);
    } else {
        // An item already in the drop folder would otherwise be compared with itself and deleted,
        // or a folder merged into itself.
        bool sameFolder = false;
        const std::string parent = ParentFolder(style, source);
        if (m_rFs.IsSameObject(parent, destFolder, sameFolder) && sameFolder) {
            AppendLog(FormatText("Left \"%s\" alone, because it already lies in the destination folder.\r\n",
                                 {ShownSource(source)}));
            result = Placed;
        } else if (IsTemporaryName(FindFileName(style, source))) {
            // Moved in, it would pass for a leftover there, never compared; it stays for the user to look at.
            AppendLog(FormatText(
                "Left \"%s\" alone, because its name marks an unfinished copy of an interrupted move.\r\n",
                {ShownSource(source)}));
            result = NotAllMoved;
        } else if (entry.m_bLink) {
            result = PlaceLink(owner, source, destFolder);
        } else if (m_rFs.IsFolder(source)) {
            result = PlaceSourceFolder(owner, source, destFolder);
        } else {
            result = PlaceSourceFile(owner, source, destFolder);
        }
    }

    ++m_nItemsDone;
    m_rUi.SetProgressPos(m_nItemsDone);
    // Cancel stays pressed, so every enclosing merge sees it again: say it once, where it stops.
    if (m_rUi.PumpAndCheckCancel() && result != StopMove) {
        AppendLog("Cancelled by request.");
        result = StopMove;
    }
    return result;
}

std::uint32_t MoveCommand::CountItems() {
    std::uint32_t total = 0;
    for (const std::string& path : m_lstDropped) {
        ++total;
        DirEntry entry;
        // A dropped link counts as one item: links are never followed.
        if (m_rFs.Lookup(path, entry) && entry.m_bDirectory && !entry.m_bLink)
            total += CountFolderEntries(path);
    }
    return total;
}

std::uint32_t MoveCommand::CountFolderEntries(const std::string& folder) {
    std::vector<DirEntry> entries;
    if (!m_rFs.ListFolder(folder, entries)) return 0;
    std::uint32_t total = 0;
    for (const DirEntry& entry : entries) {
        if (entry.m_strName.empty() || entry.m_strName[0] == '.') continue;
        ++total;
        if (entry.m_bDirectory && !entry.m_bLink) {
            std::string path = folder;
            AddSeparator(m_rFs.Style(), path);
            path += entry.m_strName;
            total += CountFolderEntries(path);
        }
    }
    return total;
}

void MoveCommand::ReportError(WindowHandle owner, const std::string& text) {
    m_rUi.ShowError(owner, text);
    std::string line = text;
    line += "\r\n";
    AppendLog(line);
}

std::string_view MoveCommand::GetShownPath(const std::string& path, const std::string& root) const {
    const std::string_view whole(path);
    // Only a path that really lies below its own root is cut: an item dragged from another folder,
    // even one as long as the other root, keeps its whole path.
    if (m_bFullPaths || root.empty() || path.size() < root.size() || path.compare(0, root.size(), root) != 0)
        return whole;
    return whole.substr(root.size());
}

void MoveCommand::AppendLog(std::string_view text) {
    if (m_bLogging) m_strLog += text;
}

void MoveCommand::AppendLogLine(std::string line, std::string_view reasonPattern,
                                std::string_view reasonPath) {
    if (!reasonPath.empty()) line += FormatText(reasonPattern, {reasonPath});
    line += "\r\n";
    AppendLog(line);
}

void MoveCommand::NoteArrived(const std::string& path, bool isFolder) {
    DirEntry added;
    added.m_strName = std::string(FindFileName(m_rFs.Style(), path));
    added.m_bDirectory = isFolder;
    added.m_bLink = !isFolder;
    m_oIndexes.NoteAdded(m_rFs.Style(), path, added);
}

void MoveCommand::LogLeftSpecial(const std::string& path) {
    AppendLog(
        FormatText("Left \"%s\" alone, because it is not a regular file (a pipe, socket or device).\r\n",
                   {ShownSource(path)}));
}

void MoveCommand::LogSourceFolderKept(const std::string& folder) {
    AppendLog(
        FormatText("Didn't delete source folder \"%s\" because it wasn't possible to move all objects from "
                   "within it.\r\n",
                   {ShownSource(folder)}));
}

PlaceResult MoveCommand::RefuseLongPath(WindowHandle owner, const std::string& path) {
    ReportError(owner, FormatText("ERROR: Path \"%s\" is too long", {path}));
    return NotAllMoved;
}

}  // namespace tandemere::engine
