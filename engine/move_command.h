// Engine layer: the state of one move and the operations that place the dragged items. The COM
// class of the shell extension holds one of these; the command-line tool drives it directly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <list>
#include <string>
#include <string_view>
#include <vector>

#include "engine/file_system.h"
#include "engine/folder_index.h"
#include "engine/keep_alive.h"
#include "engine/settings_store.h"
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
};

inline constexpr const char* kSettingsKeyPath = "Software\\Ravelstock\\Tandemere";

// Sources up to this size are kept whole in memory for comparing with several candidates;
// larger ones are streamed block by block for each candidate.
inline constexpr std::uint64_t kSourceInMemoryLimit = 64ull * 1024 * 1024;
inline constexpr std::uint64_t kFourGiB = 4ull * 1024 * 1024 * 1024;

// The source file's content as read for comparison: empty until the first candidate of its size.
struct SourceContent {
    bool m_bLoaded = false;
    std::vector<unsigned char> m_lstBytes;
    void Release() {
        m_bLoaded = false;
        std::vector<unsigned char>().swap(m_lstBytes);
    }
};

// What the search for an identical file under another name found.
struct IdenticalSearch {
    enum Outcome : std::uint8_t { NotFound, Found, Stop, LeaveAlone } m_nOutcome = NotFound;
    DirEntry m_oEntry;  // the identical file's entry when Found
};

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

    // Runs the whole move, every window owned by `owner`: MoveFinished when it ran to its end,
    // MoveStopped when a placement stopped it.
    MoveOutcome Run(WindowHandle owner);

    const std::string& Log() const { return m_strLog; }

    // Placement of one item into `destFolder` (ending in a separator): a folder goes to
    // PlaceSourceFolder, anything else to PlaceSourceFile; then the progress advances.
    PlaceResult PlaceItem(WindowHandle owner, std::string source, std::string destFolder);

    std::uint32_t CountItems();
    std::uint32_t CountFolderEntries(const std::string& folder);

    // The one error report: a message box owned by `owner`, then the text and "\r\n" in the log.
    void ReportError(WindowHandle owner, const std::string& text);

    // The path whole (full paths on, or a path outside its root), else the part after its root.
    std::string_view GetShownPath(const std::string& path, std::size_t rootLength) const;

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
    const char* m_pszSettingsKey = kSettingsKeyPath;
    std::uint32_t m_nDestFolderLen = 0;
    std::uint32_t m_nSourceRootLen = 0;
    std::int32_t m_nItemsDone = 0;
    std::list<std::string> m_lstDropped;
    std::uint32_t m_nSourceFileSize = 0;
    std::string m_strLog;
    bool m_bLogging = true;
    bool m_bOnlyCompareSameExt = false;
    bool m_bFullPaths = false;
    std::int32_t m_nDiffFileSameNameDlgDefault = AnswerAsk;
    std::int32_t m_nFnameFldrnameClashDlgDefault = AnswerAsk;
    std::int32_t m_nSameFileDiffNameDlgDefault = AnswerAsk;
    std::int32_t m_nFldrnameFnameClashDlgDefault = AnswerAsk;
    // Pumps the thread's messages during one long compare or copy.
    KeepAlive m_oKeepAlive;

private:
    // Appends to the log when logging is on.
    void AppendLog(std::string_view text);
    // Reports a path the platform does not accept; the item stays where it is.
    PlaceResult RefuseLongPath(WindowHandle owner, const std::string& path);

    PlaceResult PlaceSourceFile(WindowHandle owner, std::string source, std::string destFolder);
    PlaceResult PlaceSourceFolder(WindowHandle owner, std::string source, std::string destFolder);
    PlaceResult MergeFolder(WindowHandle owner, std::string source, std::string destFolder);
    PlaceResult PlaceLink(WindowHandle owner, const std::string& source, const std::string& destFolder);

    // 0: finished (identical tells), 1: candidate of 4 GiB or more (reported), 2: error (reported).
    int CompareContents(WindowHandle owner, const std::string& source, SourceContent& content,
                        const std::string& destFolder, const DirEntry& candidate, bool& identical);
    // The free name "%s (%u)%s" of `name` in `folder`, counting from 2.
    std::string GetFreeName(const std::string& folder, const std::string& name);
    IdenticalSearch FindIdenticalFile(WindowHandle owner, const std::string& source, const std::string& name,
                                      SourceContent& content, const std::string& destFolder);
    PlaceResult ResolveIdenticalFile(WindowHandle owner, const std::string& source, const std::string& name,
                                     const std::string& destFolder, bool nameTaken, const DirEntry& identical,
                                     const DirEntry& sourceEntry);

    IFileSystem& m_rFs;
    ISettingsStore& m_rSettings;
    IUserInterface& m_rUi;
    FolderIndexes m_oIndexes;
};

}  // namespace tandemere::engine
