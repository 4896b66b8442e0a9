// Engine layer: the move command, the per-item dispatch, counting, error reports and shown paths.
#include "engine/move_command.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <list>
#include <unordered_map>
#include <utility>

#include "engine/path.h"
#include "engine/text_format.h"

namespace tandemere::engine {
namespace {

std::string PathKey(const PathStyle& style, std::string path) {
    RemoveSeparator(style, path);
    if (style.m_bIgnoreCase)
        for (char& c : path) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return path;
}

// Whether the move may change a dropped item before its turn comes: when it was dropped twice, lies
// below another dropped item (moving or merging that one takes it along), or lies in the
// destination's tree (a rename there can take its name). Such an item is looked up afresh.
std::vector<bool> MayChangeBeforeItsTurn(const PathStyle& style, const std::list<std::string>& dropped,
                                         const std::string& destFolder) {
    std::unordered_map<std::string, int> times;
    std::vector<std::string> keys;
    keys.reserve(dropped.size());
    for (const std::string& path : dropped) ++times[keys.emplace_back(PathKey(style, path))];
    std::string destTree = PathKey(style, destFolder);
    AddSeparator(style, destTree);
    std::vector<bool> changeable(dropped.size(), false);
    for (std::size_t i = 0; i < keys.size(); ++i) {
        bool risky = times[keys[i]] > 1 || keys[i].compare(0, destTree.size(), destTree) == 0;
        for (std::string up = keys[i]; !risky;) {
            std::string parent = PathKey(style, ParentFolder(style, up));
            if (parent.empty() || parent == up) break;
            risky = times.count(parent) != 0;
            up = std::move(parent);
        }
        changeable[i] = risky;
    }
    return changeable;
}

}  // namespace

MoveCommand::MoveCommand(IFileSystem& fs, ISettingsStore& settings, IUserInterface& ui)
    // A Cancel pressed meanwhile stays registered and is seen after the item under way.
    : m_oKeepAlive([this] {
          m_rUi.SetProgressBytes(m_oKeepAlive.Bytes());
          m_rUi.PumpAndCheckCancel();
      }),
      m_rFs(fs),
      m_rSettings(settings),
      m_rUi(ui) {
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

void MoveCommand::AddUnnamed(std::string shown) {
    m_lstUnnamed.push_back(std::move(shown));
}

void MoveCommand::ClearDrop() {
    m_szDestFolder.clear();
    m_lstDropped.clear();
    m_lstUnnamed.clear();
}

// Nothing of an earlier run carries over: each index is rebuilt (and the settings read afresh).
void MoveCommand::ResetRunState() {
    m_nItemsDone = 0;
    m_szSourceRoot.clear();
    m_nSourceRootLen = 0;
    m_oIndexes.Clear();
    m_strCheckedParent.clear();
    m_strCheckedDest.clear();
    m_bWaitedForUser = false;
    m_lstTooLong.clear();
    m_strRefusedItem.clear();
    m_nErrorsSkipped = 0;
    m_bSettingsNotWritten = false;
}

MoveOutcome MoveCommand::Run(WindowHandle owner) {
    const auto started = std::chrono::steady_clock::now();
    const std::uint64_t copiedBefore = m_oKeepAlive.Bytes().m_nCopied;
    m_oSummary = MoveSummary();
    m_rUi.CreateProgress(owner, m_szDestFolder);
    m_rUi.SetProgressRange(CountItems());

    const std::string destFolder = m_szDestFolder;
    ResetRunState();
    ReadSettings();
    HoldTreeRoots(destFolder);
    for (const std::string& shown : m_lstUnnamed)
        ReportError(owner,
                    FormatText("ERROR: Couldn't move \"%s\", because its name is not valid Unicode (the "
                               "character shown as \xEF\xBF\xBD); it stays where it is",
                               {shown}));
    m_oSummary.m_bDuplicatesTrashed = m_bDeleteToRecycleBin;

    bool stopped = false;
    std::size_t refused = 0;
    std::size_t index = 0;
    for (const std::string& path : m_lstDropped) {
        // What counting saw of the item serves it until the move first waits for the user; after
        // that the item is looked at afresh.
        std::optional<DirEntry> counted;
        if (!m_bWaitedForUser && index < m_lstCounted.size()) counted = m_lstCounted[index];
        ++index;
        const PlaceResult result = PlaceItem(owner, path, destFolder, counted);
        if (result == StopMove) {
            stopped = true;
            break;
        }
        if (result == NotAllMoved && m_strRefusedItem == path) ++refused;
    }

    m_rUi.DestroyProgress();
    m_oSummary.m_bStopped = stopped;
    m_oSummary.m_nBytesCopied = m_oKeepAlive.Bytes().m_nCopied - copiedBefore;
    m_oSummary.m_nElapsedMs = static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started)
            .count());
    // Nothing follows the line that stops a move.
    if (!stopped) LogLeftoversKept(destFolder);
    ReportTooLong(owner);
    if (m_bLogging) m_rUi.ShowLog(m_rUi.GetActiveWindow(), MakeLogReport());
    if (stopped) return MoveStopped;
    return refused != 0 && refused == m_lstDropped.size() ? MoveRefused : MoveFinished;
}

void MoveCommand::HoldTreeRoots(const std::string& destFolder) {
    std::vector<std::string> roots{destFolder};
    for (const std::string& path : m_lstDropped) {
        std::string folder = path;
        RemoveFileSpec(m_rFs.Style(), folder);
        roots.push_back(std::move(folder));
    }
    m_rFs.SetTreeRoots(roots);
}

PlaceResult MoveCommand::PlaceItem(WindowHandle owner, std::string source, std::string destFolder,
                                   const std::optional<DirEntry>& counted) {
    const PathStyle& style = m_rFs.Style();
    if (m_szSourceRoot.empty()) {
        m_szSourceRoot = source;
        RemoveFileSpec(style, m_szSourceRoot);
        AddSeparator(style, m_szSourceRoot);
        m_nSourceRootLen = static_cast<std::uint32_t>(m_szSourceRoot.size());
    }
    m_rUi.SetProgressItem(source);
    const std::int32_t itemsBefore = m_nItemsDone;

    PlaceResult result = Placed;
    DirEntry entry;
    if (counted) entry = *counted;
    if (!m_rFs.PathFits(source)) {
        result = RefuseLongPath(owner, source);
    } else if (const Status looked = counted ? Status::Ok() : m_rFs.Lookup(source, entry); !looked) {
        result = ReportFailure(owner, FormatText("ERROR: Couldn't find \"%s\"", {source}), looked);
    } else if (LiesInFolder(source, destFolder)) {
        // An item already in the drop folder would otherwise be compared with itself and deleted,
        // or a folder merged into itself.
        AppendLog(FormatText("Left \"%s\" alone, because it already lies in the destination folder.\r\n",
                             {ShownSource(source)}));
        ++m_oSummary.m_nLeft;
        result = Placed;
    } else if (IsTemporaryName(FindFileName(m_rFs.Style(), source))) {
        // Moved in, it would pass for a leftover there, never compared; it stays for the user to look at.
        AppendLog(FormatText(
            "Left \"%s\" alone, because its name marks an unfinished copy of an interrupted move.\r\n",
            {ShownSource(source)}));
        ++m_oSummary.m_nLeft;
        result = NotAllMoved;
    } else {
        // What an interrupted move left of this item is cleared, or named, before it is placed anew.
        if (LeftoversMayLie(source, destFolder)) ClearLeftoversOf(source, destFolder);
        if (entry.m_bLink)
            result = PlaceLink(owner, source, destFolder);
        else if (entry.m_bDirectory)
            result = PlaceSourceFolder(owner, source, destFolder);
        else
            result = PlaceSourceFile(owner, source, destFolder, entry);
    }
    m_bStoredAnswerDecides = false;

    AdvanceProgress(source, entry.m_bDirectory && !entry.m_bLink, itemsBefore);
    // Cancel stays pressed, so every enclosing merge sees it again: say it once, where it stops.
    if (m_rUi.PumpAndCheckCancel() && result != StopMove) {
        AppendLog("Cancelled by request.");
        result = StopMove;
    }
    return result;
}

void MoveCommand::AdvanceProgress(const std::string& source, bool folder, std::int32_t itemsBefore) {
    ++m_nItemsDone;
    // A merge advanced by each entry it placed; a folder moved or left whole counts all of them.
    if (folder) {
        const auto below = m_mapEntriesBelow.find(source);
        if (below != m_mapEntriesBelow.end())
            m_nItemsDone = std::max(m_nItemsDone, itemsBefore + 1 + static_cast<std::int32_t>(below->second));
    }
    m_oKeepAlive.BeginStep(0);
    m_rUi.SetProgressBytes(m_oKeepAlive.Bytes());
    m_rUi.SetProgressPos(m_nItemsDone);
}

std::uint32_t MoveCommand::CountItems() {
    std::uint32_t total = 0;
    m_lstCounted.clear();
    m_mapEntriesBelow.clear();
    for (const std::string& path : m_lstDropped) {
        ++total;
        DirEntry entry;
        const bool found = m_rFs.Lookup(path, entry).IsOk();
        m_lstCounted.push_back(found ? std::optional<DirEntry>(entry) : std::nullopt);
        // A dropped link counts as one item: links are never followed.
        if (found && entry.m_bDirectory && !entry.m_bLink) total += CountFolderEntries(path);
    }
    const std::vector<bool> changeable = MayChangeBeforeItsTurn(m_rFs.Style(), m_lstDropped, m_szDestFolder);
    for (std::size_t i = 0; i < changeable.size(); ++i)
        if (changeable[i]) m_lstCounted[i].reset();
    return total;
}

std::uint32_t MoveCommand::CountFolderEntries(const std::string& folder) {
    std::vector<DirEntry> entries;
    if (!m_rFs.ListNames(folder, entries)) return 0;
    std::uint32_t total = 0;
    for (const DirEntry& entry : entries) {
        if (entry.m_strName.empty() || IsDotEntry(entry.m_strName)) continue;
        ++total;
        if (entry.m_bDirectory && !entry.m_bLink) {
            std::string path = folder;
            AddSeparator(m_rFs.Style(), path);
            path += entry.m_strName;
            total += CountFolderEntries(path);
        }
    }
    m_mapEntriesBelow[folder] = total;
    return total;
}

bool MoveCommand::LiesInFolder(const std::string& path, const std::string& folder) {
    std::string parent = ParentFolder(m_rFs.Style(), path);
    // The items of one folder share their parent and destination: one look at the two folders
    // serves them all.
    if (parent != m_strCheckedParent || folder != m_strCheckedDest) {
        bool same = false;
        m_bCheckedSame = m_rFs.IsSameObject(parent, folder, same) && same;
        m_strCheckedParent = std::move(parent);
        m_strCheckedDest = folder;
        m_oCheckedApart.reset();
    }
    return m_bCheckedSame;
}

void MoveCommand::NoteFoldersDiffer(const std::string& folder, const std::string& other) {
    m_strCheckedParent = folder;
    AddSeparator(m_rFs.Style(), m_strCheckedParent);
    m_strCheckedDest = other;
    m_bCheckedSame = false;
}

void MoveCommand::ReportError(WindowHandle owner, const std::string& text) {
    m_bWaitedForUser = true;
    ++m_oSummary.m_nErrors;
    m_rUi.ShowError(owner, text);
    std::string line = text;
    line += "\r\n";
    AppendLog(line);
}

void MoveCommand::AppendDecisionLog(std::string text) {
    constexpr std::string_view kLineEnd = "\r\n";
    if (m_bStoredAnswerDecides && text.size() >= kLineEnd.size())
        text.insert(text.size() - kLineEnd.size(), " (stored answer)");
    AppendLog(text);
}

PlaceResult MoveCommand::ReportFailure(WindowHandle owner, const std::string& text, const Status& status) {
    m_bWaitedForUser = true;
    // Counted whether the user stops or skips: the summary must not say "0 errors" after one.
    ++m_oSummary.m_nErrors;
    std::string line = text;
    if (!status.IsOk()) line += ": " + m_rFs.ReasonText(status);
    AppendLog(line + "\r\n");
    const bool skip = m_rUi.AskSkipOrStop(owner, line);
    if (!skip) {
        AppendLog("Chose to stop the move.\r\n");
        return StopMove;
    }
    ++m_nErrorsSkipped;
    AppendLog("Chose to skip it and go on with the other items.\r\n");
    return NotAllMoved;
}

IdenticalSearch::Outcome MoveCommand::SearchEndedBy(PlaceResult failure) {
    return failure == StopMove ? IdenticalSearch::Stop : IdenticalSearch::LeaveAlone;
}

std::string_view MoveCommand::GetShownPath(const std::string& path, const std::string& root) const {
    const std::string_view whole(path);
    // Only a path that really lies below its own root is cut: an item dragged from another folder,
    // even one as long as the other root, keeps its whole path.
    if (m_bFullPaths || root.empty() || path.size() < root.size() || path.compare(0, root.size(), root) != 0)
        return whole;
    return whole.substr(root.size());
}

LogReport MoveCommand::MakeLogReport() const {
    LogReport report;
    // The folder of the first item stands for the sources: a drop comes from one folder.
    std::string sources = m_szSourceRoot;
    if (sources.empty() && !m_lstDropped.empty()) sources = ParentFolder(m_rFs.Style(), m_lstDropped.front());
    report.m_strHeader = FormatText("From \"%s\" into \"%s\"", {sources, m_szDestFolder});
    report.m_strLog = m_strLog;
    report.m_strSummary = FormatMoveSummary(m_oSummary);
    return report;
}

void MoveCommand::AppendLog(std::string_view text) {
    if (!m_bLogging) return;
    m_strLog += text;
    m_rUi.LogAppended(text);
}

void MoveCommand::AppendLogLine(std::string line, std::string_view reasonPattern,
                                std::string_view reasonPath) {
    if (!reasonPath.empty()) line += FormatText(reasonPattern, {reasonPath});
    line += "\r\n";
    AppendDecisionLog(std::move(line));
}

void MoveCommand::NoteArrived(const std::string& path, bool isFolder) {
    DirEntry added;
    added.m_strName = std::string(FindFileName(m_rFs.Style(), path));
    added.m_bDirectory = isFolder;
    added.m_bLink = !isFolder;
    m_oIndexes.NoteAdded(m_rFs.Style(), path, added);
}

void MoveCommand::LogLeftSpecial(const std::string& path) {
    ++m_oSummary.m_nLeft;
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
    (void)owner;
    // One box for all of them at the end: a deep tree would otherwise ask for a click per item.
    m_lstTooLong.push_back(path);
    AppendLog(FormatText("ERROR: Path \"%s\" is too long\r\n", {path}));
    return NotAllMoved;
}

void MoveCommand::ReportTooLong(WindowHandle owner) {
    if (m_lstTooLong.empty()) return;
    std::string text;
    if (m_lstTooLong.size() == 1) {
        text = FormatText("ERROR: Path \"%s\" is too long", {m_lstTooLong.front()});
    } else {
        text = "ERROR: These paths are too long, so their items were left where they are:";
        constexpr std::size_t kListed = 15;
        for (std::size_t i = 0; i < m_lstTooLong.size() && i < kListed; ++i) text += "\r\n" + m_lstTooLong[i];
        if (m_lstTooLong.size() > kListed)
            text += "\r\nand " + std::to_string(m_lstTooLong.size() - kListed) +
                    " more (the log lists them all).";
    }
    m_lstTooLong.clear();
    m_rUi.ShowError(owner, text);
}

}  // namespace tandemere::engine
