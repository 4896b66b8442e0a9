// Engine layer: the state of one move and the operations that place the dragged items. The COM
// class of the shell extension holds one of these; the command-line tool drives it directly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "engine/file_system.h"
#include "engine/folder_index.h"
#include "engine/journal.h"
#include "engine/keep_alive.h"
#include "engine/move_summary.h"
#include "engine/settings_store.h"
#include "engine/settings_table.h"
#include "engine/user_interface.h"

namespace tandemere::engine {

// The result of every placement; callers test only for NotAllMoved and StopMove.
enum PlaceResult : std::int32_t {
    Placed = 0,       // dealt with completely; nothing of it remains in the source
    NotAllMoved = 1,  // something stays in the source, so its source folder stays too
    StopMove = 2,     // end the whole move now
};

// How a move ended; each front end turns it into its own result (a COM code, an exit status).
enum MoveOutcome : std::int32_t {
    MoveFinished = 0,  // every dragged path was placed, whatever each placement's result
    MoveStopped = 1,   // a placement returned StopMove (Cancel, or an error that ends the move)
    MoveRefused = 2,   // every dragged item was refused (a folder into itself): nothing was touched
};

// Sources up to this size are kept whole in memory for comparing with several candidates;
// larger ones are streamed block by block for each candidate whose digest matches, which is rare
// but for a true copy, so the bound is small and the peak of a move stays far below 100 MiB.
inline constexpr std::uint64_t kSourceInMemoryLimit = 16ull * 1024 * 1024;

// The source file's content as read for comparison: empty until the first candidate of its size,
// freed with the object, so the scope that holds it decides how long the bytes stay in memory and
// the file open. A source small enough for memory is read once: its digest's span first, the rest
// (from the same open file) only when a candidate begins as it does.
struct SourceContent {
    bool m_bLoaded = false;                  // m_lstBytes holds all the source held
    std::vector<unsigned char> m_lstBytes;   // else only its first bytes
    std::unique_ptr<IReadFile> m_pFile;      // open while the rest is still to be read
    std::optional<std::uint64_t> m_oDigest;  // once its digest's span was read (content_digest.h)
};

// Reads until `size` bytes arrived or the file ended; `got` tells how many arrived. Asks for at
// most one block a call, with a keep-alive tick before each, so a whole source of many megabytes
// never holds the thread's messages up for long.
Status ReadFully(IReadFile& file, unsigned char* buffer, std::size_t size, std::size_t& got,
                 KeepAlive& keepAlive);

// How the source file compared with one destination entry. Failed was reported.
enum class CompareResult : std::uint8_t {
    Different,
    Identical,
    Failed,   // memory, opening or reading failed: the move stops
    Skipped,  // such a failure, and the user chose to leave the source and go on
};

// What the search for the source's content in the destination found.
struct IdenticalSearch {
    enum Outcome : std::uint8_t {
        NotFound,
        UnderSameName,   // the file of the source's name, spelled alike
        UnderOtherName,  // another file, or the file of the source's name spelled otherwise
        Elsewhere,       // a file in another folder of the destination tree, at m_strPath
        Stop,            // a failure that ends the move (reported)
        LeaveAlone,      // a failure the user chose to go on after: the source stays (reported)
    } m_nOutcome = NotFound;
    DirEntry m_oEntry;      // the identical file's entry as it was compared, when found
    std::string m_strPath;  // the identical file's full path, when Elsewhere
    std::optional<std::uint64_t> m_oSourceDigest;  // when the search read the source
};

// A search's result, with the source's digest where `content` holds one.
IdenticalSearch Searched(IdenticalSearch::Outcome outcome, const SourceContent& content,
                         const DirEntry& entry = {});

class MoveCommand {
public:
    // Hands `fs` the keep-alive of long copies until the command is destroyed.
    MoveCommand(IFileSystem& fs, ISettingsStore& settings, IUserInterface& ui);
    ~MoveCommand();
    MoveCommand(const MoveCommand&) = delete;
    MoveCommand& operator=(const MoveCommand&) = delete;

    // The drop target, a full path; a separator is appended unless it ends in one.
    void SetDestFolder(std::string folder);
    // Appends one dragged path (full, no trailing separator) in drop order.
    void AddDropped(std::string path);
    // A dragged item the front end cannot name to the file system (its name is not valid Unicode):
    // it stays where it is, and the move reports it, `shown` being its path as well as it can be shown.
    void AddUnnamed(std::string shown);
    // Where the move's records go while it runs (null: none, as in a dry run); the caller keeps the
    // file open until the command is destroyed.
    void SetJournal(IJournalFile* file) { m_oJournal.SetFile(file); }
    // Forgets the drop target and every dragged item, so that no earlier drop is left ready to run.
    void ClearDrop();
    // Digests of destination files kept across moves (null: none); it must outlive the command's runs.
    void SetDigestCache(DigestCache* cache) { m_oIndexes.UseCache(cache); }

    // Runs the whole move, every window owned by `owner`: MoveFinished when it ran to its end,
    // MoveStopped when a placement stopped it.
    MoveOutcome Run(WindowHandle owner);

    const std::string& Log() const { return m_strLog; }
    // What the last Run did, counted whether logging was on or not.
    const MoveSummary& Summary() const { return m_oSummary; }

    // Placement of one item into `destFolder` (ending in a separator): a folder goes to
    // PlaceSourceFolder, anything else to PlaceSourceFile; then the progress advances. `counted`,
    // when given, is the item as counting looked it up, taken instead of looking again.
    PlaceResult PlaceItem(WindowHandle owner, std::string source, std::string destFolder,
                          const std::optional<DirEntry>& counted = std::nullopt);

    std::uint32_t CountItems();
    // One item placed: the progress position past it, and past every entry counted below it when
    // it is a folder (`itemsBefore` is the position when its placement began).
    void AdvanceProgress(const std::string& source, bool folder, std::int32_t itemsBefore);
    std::uint32_t CountFolderEntries(const std::string& folder);

    // The one error report: a message box owned by `owner`, then the text and "\r\n" in the log.
    void ReportError(WindowHandle owner, const std::string& text);
    // The report of a failure that leaves the item under way where it is: the text, then ": " and
    // the system's reason for `status`, in a box that asks whether to skip the item and go on or
    // stop the move; the log gets the line and the choice. NotAllMoved to go on, else StopMove.
    PlaceResult ReportFailure(WindowHandle owner, const std::string& text, const Status& status);

    // The path whole (full paths on, or a path not below `root`), else the part after `root`,
    // which is m_szSourceRoot or m_szDestFolder.
    std::string_view GetShownPath(const std::string& path, const std::string& root) const;

    // Forgets what an earlier run left: counts, indexes, switches and the answers given in it.
    void ResetRunState();
    // Tells the backend the folders this move works under: the destination and the dropped items' folders.
    void HoldTreeRoots(const std::string& destFolder);
    // Reads the switches and remembered answers (reading access only); silent on failure.
    void ReadSettings();
    // Stores a remembered answer for every move; shows the write-error box on failure.
    void WriteDlgDefault(WindowHandle owner, const std::string& valueName, std::int32_t answer);

    // The decision protocol: the remembered answer in `field`, else the prompt that `showPrompt`
    // builds and shows (called only when the field holds -1), then remembering. Never returns -1.
    std::int32_t GetDecision(std::int32_t& field, const std::string& valueName, WindowHandle owner,
                             const std::function<PromptResult(WindowHandle)>& showPrompt);

    // The move's state, under the names the rest of the system knows them by.
    std::string m_szDestFolder;
    std::string m_szSourceRoot;
    std::uint32_t m_nDestFolderLen = 0;
    std::uint32_t m_nSourceRootLen = 0;
    std::int32_t m_nItemsDone = 0;
    std::list<std::string> m_lstDropped;
    std::vector<std::string> m_lstUnnamed;
    std::string m_strLog;
    bool m_bLogging = true;
    bool m_bOnlyCompareSameExt = false;
    bool m_bFullPaths = false;
    std::int32_t m_nDiffFileSameNameDlgDefault = AnswerAsk;
    std::int32_t m_nFnameFldrnameClashDlgDefault = AnswerAsk;
    std::int32_t m_nSameFileDiffNameDlgDefault = AnswerAsk;
    std::int32_t m_nFldrnameFnameClashDlgDefault = AnswerAsk;
    // Whether a deleted duplicate and an overwritten file go to the trash rather than for good.
    bool m_bDeleteToRecycleBin = false;
    // Whether a source file with no identical file in its counterpart folder is looked for in the
    // whole destination tree, and the remembered answer when it is found there.
    bool m_bSearchWholeDestination = false;
    std::int32_t m_nSameFileElsewhereDlgDefault = AnswerAsk;
    // How long, and how many, journals of moves are kept: older ones and those beyond go after a move.
    std::int32_t m_nJournalDays = kJournalDays;
    std::int32_t m_nJournalCount = kJournalCount;
    // Errors after which the user chose to skip the item and go on.
    std::uint32_t m_nErrorsSkipped = 0;
    // Whether a remembered answer could not be stored (the box said so; the move went on).
    bool m_bSettingsNotWritten = false;
    // Pumps the thread's messages during one long compare or copy.
    KeepAlive m_oKeepAlive;

private:
    // One source file on its way into a destination folder, as looked up before any decision.
    struct FileToPlace {
        std::string m_strSource;  // full path
        DirEntry m_oSourceEntry;
        std::string m_strName;        // the source's file name
        std::string m_strDestFolder;  // ends in a separator
        std::string m_strSamePath;    // the destination folder and the source's name
        bool m_bNameTaken = false;    // something exists at m_strSamePath
        DirEntry m_oSameEntry;        // what exists there, when m_bNameTaken
        // The digest of the bytes read from the source, carried to the file it becomes.
        std::optional<std::uint64_t> m_oDigest;
    };

    // Writes one record of the journal; its first failure is said once in the log, and the move goes on.
    void Journal(JournalKind kind, std::vector<std::string> fields);
    // The record of a file the move has discarded (DiscardFile): in the trash where `trash` names one,
    // else deleted for good, a duplicate of `kept` when that is given.
    void JournalDiscarded(const std::string& path, const DirEntry& entry, const std::string& trash,
                          const std::string& kept = {}, const DirEntry& keptEntry = {});
    // The record (Moved, Copied or Renamed) of `from` now at `to`, with the entry as it lies there; a
    // move of `source` (its entry before) that landed on another device is recorded as Copied.
    void JournalMoved(JournalKind kind, const std::string& from, const std::string& to,
                      const DirEntry* source = nullptr);

    // The log with its header, for the log window.
    LogReport MakeLogReport() const;
    // Appends to the log when logging is on.
    void AppendLog(std::string_view text);
    // Appends `line`, then `reasonPattern` filled with `reasonPath` unless that is empty, then the line end,
    // as AppendDecisionLog does.
    void AppendLogLine(std::string line, std::string_view reasonPattern, std::string_view reasonPath);
    // Appends the line `text` (ending in "\r\n") of what a decision did, marked " (stored answer)" when
    // an answer stored for every move took the decision, so the user learns what to clear.
    void AppendDecisionLog(std::string text);
    // Notes a folder (else a link) that the move put at `path`, so later searches of this move see it.
    void NoteArrived(const std::string& path, bool isFolder);
    // The log line of a pipe, socket or device left in the source.
    void LogLeftSpecial(const std::string& path);
    // The log line of a source folder that stays because something in it stays.
    void LogSourceFolderKept(const std::string& folder);
    // Whether `path` lies directly in `folder` (the same folder object, whatever its spelling). The
    // answer for the last pair of folders asked about is kept, so the items of one folder cost one
    // look at the two folders, not one each.
    bool LiesInFolder(const std::string& path, const std::string& folder);
    // Tells LiesInFolder that the items of `folder` do not lie in `other`, as a merge has made sure.
    void NoteFoldersDiffer(const std::string& folder, const std::string& other);
    // Logs a path the platform does not accept, for the one box at the end; the item stays where it is.
    PlaceResult RefuseLongPath(WindowHandle owner, const std::string& path);
    // The one error box that lists every path refused as too long during the move, if any.
    void ReportTooLong(WindowHandle owner);
    // The log line of a source file deleted because `destPath` holds the same content; `trash`
    // names where it went, or is empty when it was deleted for good.
    void LogSourceDeletedAsSame(const std::string& source, const std::string& destPath,
                                const std::string& trash);
    // Removes a file the move has made needless: into the trash while DeleteToRecycleBin is on,
    // `trash` then naming it for the log (also on failure, as far as known); else for good.
    Status DiscardFile(const std::string& path, std::string& trash);
    // A source path and a destination path as the log and the prompts show them.
    std::string_view ShownSource(const std::string& path) const { return GetShownPath(path, m_szSourceRoot); }
    std::string_view ShownDest(const std::string& path) const { return GetShownPath(path, m_szDestFolder); }

    // Every decision point's tail, on the field and value name the settings table gives `decision`:
    // a remembered value that is none of the three answers is forgotten (the prompt is shown), then
    // GetDecision. Cancel is logged and gives nothing: the caller stops the move.
    std::optional<std::int32_t> Decide(SettingId decision, WindowHandle owner,
                                       const std::function<PromptResult(WindowHandle)>& showPrompt);

    // The file placement, one function a case: its name taken by a folder, by a different file,
    // free; the cases of identical content go to ResolveIdenticalFile and DeleteIdenticalSource.
    // `sourceEntry` is the source as PlaceItem looked it up.
    PlaceResult PlaceSourceFile(WindowHandle owner, std::string source, std::string destFolder,
                                const DirEntry& sourceEntry);
    PlaceResult PlaceFileAtFolderName(WindowHandle owner, const FileToPlace& file);
    PlaceResult PlaceFileAtDifferentFile(WindowHandle owner, const FileToPlace& file);
    PlaceResult PlaceFileAtFreeName(WindowHandle owner, const FileToPlace& file);
    // Before an overwrite while DeleteToRecycleBin is on: the different file at the source's name
    // goes to the trash (logged). False, logged, when no trash took it: both files stay.
    bool TrashOverwrittenFile(const FileToPlace& file);
    // Moves the source file to `target` (over the file there when `replace`) and notes it in the
    // indexes: Placed; the user's choice (ReportFailure) when the move failed, reported with `errorPattern`
    // filled with the source and the target; NotAllMoved (logged) when the source changed while it was copied
    // and stays beside its copy.
    PlaceResult MoveSourceFile(WindowHandle owner, const FileToPlace& file, const std::string& target,
                               std::string_view errorPattern, bool replace = false);

    // The folder placement: refusals, a merge with the counterpart, a file of its name, the move.
    PlaceResult PlaceSourceFolder(WindowHandle owner, std::string source, std::string destFolder);
    // A folder dropped into itself or one of its subfolders is refused (the latter asks whether to go
    // on); nullopt when the folder may move. `srcPath` and `dest` end in a separator.
    std::optional<PlaceResult> RefuseIntoItself(WindowHandle owner, const std::string& source,
                                                const std::string& srcPath, const std::string& dest);
    PlaceResult PlaceFolderAtFileName(WindowHandle owner, std::string folder, const std::string& destFolder,
                                      const std::string& clash);
    // Moves the folder to `target`; both keep a trailing separator where they have one, for the
    // log. `avoidedFile`, when not empty, is the destination file whose name the folder avoided.
    PlaceResult MoveFolderIn(WindowHandle owner, std::string folder, std::string target,
                             const std::string& avoidedFile);
    PlaceResult MergeFolder(WindowHandle owner, std::string source, std::string destFolder);
    // The names in the source folder; nullopt when listed, else the user's choice (ReportFailure).
    std::optional<PlaceResult> ListSourceFolder(WindowHandle owner, const std::string& source,
                                                std::vector<DirEntry>& entries);
    // Places each listed entry into `destFolder`, then removes the emptied source folder.
    PlaceResult MergeEntries(WindowHandle owner, const std::string& source,
                             const std::vector<DirEntry>& entries, const std::string& destFolder);
    // With SearchWholeDestination on, a folder without counterpart is not moved whole, where its
    // files would escape the search: its counterpart `created` (no trailing separator) is made and the
    // folder merged into it. A failure to make it is the user's choice (ReportFailure); the source stays.
    PlaceResult MergeIntoNewFolder(WindowHandle owner, const std::string& source, const std::string& created);
    PlaceResult PlaceLink(WindowHandle owner, const std::string& source, const std::string& destFolder);

    // The log lines of a needless source that goes: deleted (source, destination), moved to the
    // trash (source, trash, destination), left because no trash took it (source, destination, trash).
    struct NeedlessLines {
        const char* m_pszDeleted;
        const char* m_pszTrashed;
        const char* m_pszLeft;
    };
    // Discards the source link as DiscardNeedless does when the link `target` holds the same target
    // text; nothing (and no word) when it does not.
    std::optional<PlaceResult> DiscardSameLink(WindowHandle owner, const std::string& source,
                                               const std::string& target);
    // Discards a source cache file whatever its bytes, for its counterpart `same` of its name.
    PlaceResult DiscardRebuiltCache(WindowHandle owner, const std::string& source, const std::string& same);
    // Discards the source for `dest` (DiscardFile): Placed; NotAllMoved (logged) when no trash took
    // it; StopMove when the delete failed (reported).
    PlaceResult DiscardNeedless(WindowHandle owner, const std::string& source, const std::string& dest,
                                const NeedlessLines& lines);

    // Compares the source of `sourceSize` bytes with one destination entry; `content` keeps a
    // source small enough for memory loaded for the next candidate, and the source's digest. A
    // digest made of the candidate's bytes goes into the index. `compared` is the candidate as it
    // was looked up just before its bytes were read (its entry when none was read); `lookUp` false
    // says that the caller has just looked it up, so its entry serves.
    // Failed becomes the search's Stop; Skipped (the user chose to go on) LeaveAlone.
    static IdenticalSearch::Outcome SearchEndedBy(PlaceResult failure);
    CompareResult CompareContents(WindowHandle owner, const std::string& source, std::uint64_t sourceSize,
                                  SourceContent& content, const std::string& destFolder,
                                  const IndexedFile& candidate, DirEntry& compared, bool lookUp = true);
    // The free name "%s (%u)%s" of `name` in `folder`, counting from 2.
    std::string GetFreeName(const std::string& folder, const std::string& name);
    // The source's content under its own name, then among the other files of its size. The bytes
    // read for it are freed on return, before any prompt.
    IdenticalSearch SearchIdenticalFile(WindowHandle owner, const FileToPlace& file);
    IdenticalSearch FindIdenticalFile(WindowHandle owner, const FileToPlace& file, SourceContent& content);
    // With SearchWholeDestination on: the source's content in the other folders of the destination tree,
    // its own never a candidate (a source may lie in the tree).
    IdenticalSearch FindIdenticalElsewhere(WindowHandle owner, const FileToPlace& file,
                                           SourceContent& content);
    // Whether a file of the destination named `name` may hold the source's content under another
    // name: not one of our temporaries, and of the source's extension while OnlyCompareSameExt is on.
    bool MayBeSameContent(const FileToPlace& file, const std::string& name) const;
    // The identical file elsewhere in the tree, at `identicalPath`: delete the source, or leave it.
    PlaceResult ResolveIdenticalElsewhere(WindowHandle owner, const FileToPlace& file,
                                          const std::string& identicalPath, const DirEntry& identical);
    // What a move killed on its way left in the destination folder is never the user's file: a whole
    // copy of this source among `candidates` goes, since the move keeps the source's content; any other
    // leftover is reported once and kept. Placed to go on; else a comparison failed (reported) and
    // the result is the user's choice.
    PlaceResult ClearLeftovers(WindowHandle owner, const FileToPlace& file,
                               const std::vector<IndexedFile>& candidates, SourceContent& content);
    // What an interrupted move left of the item at `source` in `destFolder` (ending in a separator),
    // under a temporary name tagged for it: a copy whose every byte is still in the source goes, with
    // what it holds; anything else stays. The log names each and says which.
    void ClearLeftoversOf(const std::string& source, const std::string& destFolder);
    // Whether a move of `source` into `destFolder` copies, and so may have left a copy there: only
    // across volumes. Asked once for the items of one folder.
    bool LeftoversMayLie(const std::string& source, const std::string& destFolder);
    // At the end of a move: the leftovers of interrupted moves in the folders it listed, and in the
    // drop folder `destFolder`, that no item accounted for. They stay for the user, each named once.
    void LogLeftoversKept(const std::string& destFolder);
    // Whether all that the leftover `copy` holds is in `source`, as far as the copy got: a file the
    // source file's first bytes, a link of its target, a folder whose entries are each so of the
    // source folder's entry of its name. `removal` takes what is to go, a folder after its entries.
    bool HeldBySource(const std::string& copy, const DirEntry& copyEntry, const std::string& source,
                      std::vector<std::pair<std::string, bool>>& removal);
    // Whether the file `copy`, of `size` bytes, holds the first `size` bytes of `source`.
    bool BeginsAs(const std::string& copy, std::uint64_t size, const std::string& source);
    // The identical file under another name: delete the source, perhaps renaming that file.
    PlaceResult ResolveIdenticalFile(WindowHandle owner, const FileToPlace& file, const DirEntry& identical);
    // Deletes the source for the identical file at `destPath` (DeleteUnchangedSource), and logs it.
    PlaceResult DeleteIdenticalSource(WindowHandle owner, const FileToPlace& file,
                                      const std::string& destPath, const DirEntry& destEntry,
                                      bool compareAgain = false);
    // The one way a source file is deleted for its content: only while the source and the
    // destination file that holds its content both are as they were compared, and, with
    // `compareAgain` (a prompt came in between), still hold the same bytes. Placed once deleted,
    // `trash` naming where it went (empty: for good); NotAllMoved when either changed (bytes that
    // now differ name the source) or no trash took it, StopMove when the new comparison or the
    // delete failed (all reported).
    PlaceResult DeleteUnchangedSource(WindowHandle owner, const std::string& source,
                                      const DirEntry& sourceEntry, const std::string& destPath,
                                      const DirEntry& destEntry, bool compareAgain, std::string& trash);

    IFileSystem& m_rFs;
    ISettingsStore& m_rSettings;
    IUserInterface& m_rUi;
    FolderIndexes m_oIndexes;
    // LiesInFolder's last pair (the parent as ParentFolder gives it) and its answer.
    std::string m_strCheckedParent;
    std::string m_strCheckedDest;
    bool m_bCheckedSame = false;
    // Whether that pair lies on two volumes, once asked (LeftoversMayLie).
    std::optional<bool> m_oCheckedApart;
    // Each dropped path as CountItems looked it up (none where nothing was found), in drop order.
    std::vector<std::optional<DirEntry>> m_lstCounted;
    // The entries CountItems found below each folder it listed, by the path it listed: a folder
    // moved or left whole advances the progress by all of them at once.
    std::map<std::string, std::uint32_t> m_mapEntriesBelow;
    // The dragged item that was refused last (a folder dropped into itself), to tell a refused drop.
    std::string m_strRefusedItem;
    // Whether a prompt or a message has been shown since the move started.
    bool m_bWaitedForUser = false;
    // The value names whose field holds an answer stored for every move (read from the settings, or
    // given with "...for every move" in this move), and whether such an answer took the decision
    // being acted on, for the whole placement of the item.
    std::set<std::string> m_lstStoredAnswers;
    bool m_bStoredAnswerDecides = false;
    // The paths refused as too long so far, for the one box at the end of the move.
    std::vector<std::string> m_lstTooLong;
    MoveSummary m_oSummary;
    JournalWriter m_oJournal;
};

}  // namespace tandemere::engine
