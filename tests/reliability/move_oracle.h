// Reliability tests: the oracle that judges one finished move from the trees before and after it
// and its log, built on the tree snapshots.
#pragma once

#include <cstddef>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "engine/move_command.h"
#include "tests/support/trash_contents.h"
#include "tests/support/tree_snapshot.h"

namespace tandemere::testing {

// A file another program changed while the move ran.
struct ConcurrentEdit {
    std::size_t m_nLogSize = 0;  // how long the log was at that moment
    std::string m_strPath;       // full path
    SnapshotEntry m_oEntry;      // the file as changed
};

// Everything the oracle needs to know about one move.
struct MoveRecord {
    std::vector<TreeSnapshot> m_lstBefore;  // every root the move could touch
    std::vector<TreeSnapshot> m_lstAfter;   // the same roots, in the same order
    std::string m_strLog;
    bool m_bLogging = true;       // the move's switch, as read from the settings
    std::string m_strSourceRoot;  // the roots of the shown paths, as the move set them
    std::string m_strDestFolder;
    engine::MoveOutcome m_nOutcome = engine::MoveFinished;
    std::vector<bool> m_lstYesNoGiven;  // the answers the move got to its yes/no questions, in order
    // The settings held an answer, or one was given "for every move": a decision may be a stored one's.
    bool m_bAnswersStored = false;
    // A fault hit the removal of a temporary copy of ours, which may then stay.
    bool m_bCleanupMayFail = false;
    std::vector<ConcurrentEdit> m_lstEdits;  // in the order they were made
    // With DeleteToRecycleBin on: the move's XDG_DATA_HOME, below a root, whose home trash holds
    // what went there (each trashed file is checked against it, nothing else below it counts as a
    // change); and the trash folders outside the roots as after the move, whose content is kept.
    std::string m_strTrashHome;
    std::vector<TreeSnapshot> m_lstTrashes;
    // Trashes the log names by a name of their own ("the Recycle Bin") rather than by their folder:
    // by that name, the folder and the entries whose original path lies below a root, their Path
    // in the form the log's paths have. Their content is among m_lstTrashes.
    struct NamedTrash {
        std::string m_strFolder;
        std::vector<TrashedEntry> m_lstEntries;
    };
    std::map<std::string, NamedTrash> m_mapNamedTrashes;
};

struct OracleVerdict {
    std::string m_strLost;        // content present before and nowhere after
    std::string m_strViolations;  // everything else the oracle found, one line each
    bool Clean() const { return m_strLost.empty() && m_strViolations.empty(); }
};

// Whether a path as a log line or a prompt shows it is a full path ("/..." natively, "C:\..." or
// "\\server\..." on Windows) rather than one relative to its root.
bool IsFullPath(const std::string& shown);

// The full paths of the entries in `trees` that lie in temporaries of ours: no user's content, a copy
// of a source at most, so a move may remove them (the log replayed checks that it held nothing else).
std::set<std::string> InOurTemporaries(const std::vector<TreeSnapshot>& trees);

// Applies every rule: no content lost (content in a trash is kept); no stray temporary; with logging on, the
// log replayed on the trees before gives exactly the trees after (every change has its line, every line its
// change, a destination file changes only where a line says it was overwritten); and the
// outcome says stopped exactly when the log ends in what stops a move.
OracleVerdict JudgeMove(const MoveRecord& record);

// The trees `undone` after an undo of the move, against the trees before it: the same names, kinds,
// bytes, modes (unless `modesChanged`: the scenario's own permission bits were opened up after the
// move) and file times, but for temporaries of ours, below the trash home and at the full paths
// `notUndoable` (where what the journal says the move replaced or deleted for good lay before the
// move), each of which must differ. One line a finding.
std::string JudgeUndo(const MoveRecord& record, const std::vector<TreeSnapshot>& undone,
                      const std::set<std::string>& notUndoable, bool modesChanged);

}  // namespace tandemere::testing
