// Reliability tests: the move oracle: lost content, stray temporaries, the log replayed against the
// trees, and the outcome.
#include "tests/reliability/move_oracle.h"

#include <cctype>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string_view>

#include "tests/support/temp_folder.h"
#include "tests/support/trash_contents.h"

namespace tandemere::testing {
namespace {

// What a log line says happened on disk. Arguments are numbered in the line's order.
enum class Effect : std::uint8_t {
    None,          // the item stays as it was (its first argument must still be there)
    Move,          // argument 0 went to argument 1
    MoveDest,      // a destination entry, argument 0, was renamed to argument 1
    DeleteAsSame,  // source 0 was deleted: destination 1 holds its content
    Overwrite,     // source 0 replaced destination 1
    DeleteRename,  // source 0 was deleted; identical destination 1 became 2
    RemoveFolder,  // the emptied source folder 0 was removed
    CopyKept,      // source 0 was copied to 1 and stays, as it changed while it was copied
    CopyFolder,    // source folder 0 was copied whole to 1; what changed meanwhile stays (LeftInSource)
    LeftInSource,  // entry 0 of a folder copied whole stays in the source as it is now
    TrashAsSame,   // source 0 went to trash 1: destination 2 holds its content
    TrashRename,   // source 0 went to trash 1; identical destination 2 became 3
    TrashDest,     // destination entry 0 went to trash 1, to make room for an overwrite
    LeftChanged,   // as LeftInSource, for an entry that an edit changed
    DeleteCache,   // source cache file 0 was deleted: destination folder has its own, 1
    TrashCache,    // source cache file 0 went to trash 1: destination folder has its own, 2
    MakeFolder,    // destination folder 0 was made where nothing was, for source folder 1 to merge into
    DropCopy,      // our temporary 0, a copy of source 1 as far as it got, was removed with what it held
    DropCopyPart,  // as DropCopy, but what the trees still hold of 0 stays
};

// One line form of the log: its text with a "%s" per path, which root each path's shown form
// is relative to ('s' source, 'd' destination; 't' marks a trash's name, no path), and its effect.
struct LineForm {
    const char* m_pszPattern;
    const char* m_pszRoots;
    Effect m_nEffect;
    bool m_bAboutLeftover = false;  // names a temporary of ours that an interrupted move left
};

const LineForm kLineForms[] = {
    {"Moved source file \"%s\" to %s, because destination file \"%s\" is the same.", "std",
     Effect::TrashAsSame},
    {"Moved source file \"%s\" to %s and renamed identical destination file from \"%s\" to \"%s\".  Changed "
     "name of file because source filename is already used in destination folder.",
     "stdd", Effect::TrashRename},
    {"Moved source file \"%s\" to %s and renamed identical destination file from \"%s\" to \"%s\".", "stdd",
     Effect::TrashRename},
    {"Moved different existing file \"%s\" to %s, to make room for source file \"%s\".", "dts",
     Effect::TrashDest},
    {"Deleted source link \"%s\", because destination link \"%s\" is the same.", "sd", Effect::DeleteAsSame},
    {"Moved source link \"%s\" to %s, because destination link \"%s\" is the same.", "std",
     Effect::TrashAsSame},
    {"Left source link \"%s\" alone, although destination link \"%s\" is the same, because %s couldn't take "
     "it.",
     "sdt", Effect::None},
    {"Deleted source file \"%s\", a cache the system rebuilds, because the destination folder has its own "
     "\"%s\".",
     "sd", Effect::DeleteCache},
    {"Moved source file \"%s\" to %s, a cache the system rebuilds, because the destination folder has its "
     "own "
     "\"%s\".",
     "std", Effect::TrashCache},
    {"Left source file \"%s\" alone, a cache the system rebuilds, although the destination folder has its "
     "own "
     "\"%s\", because %s couldn't take it.",
     "sdt", Effect::None},
    {"Left source folder \"%s\" alone, given existence of link \"%s\" to it in the destination folder.", "sd",
     Effect::None},
    {"Left source file \"%s\" alone, although destination file \"%s\" is the same, because %s couldn't take "
     "it.",
     "sdt", Effect::None},
    {"Left source file \"%s\" alone, given existence of differing destination file \"%s\", because %s "
     "couldn't take that file.",
     "sdt", Effect::None},
    {"Moved source file \"%s\" to destination \"%s\" because the source file is unique and the filename was "
     "not "
     "already being used.",
     "sd", Effect::Move},
    {"Deleted source file \"%s\", because destination file \"%s\" is the same.", "sd", Effect::DeleteAsSame},
    {"Moved source file \"%s\" to destination as \"%s\".  Filename was changed to avoid clash with extant "
     "subfolder \"%s\" in the destination folder.",
     "sdd", Effect::Move},
    {"Moved source file \"%s\" to destination as \"%s\".", "sd", Effect::Move},
    {"Renamed a subfolder in the destination folder from \"%s\" to \"%s\" because it had the same name as "
     "the "
     "source file \"%s\".",
     "dds", Effect::MoveDest},
    {"Left source file \"%s\" alone, given existence of a subfolder of the same name in the destination "
     "folder.",
     "s", Effect::None},
    {"Left source file \"%s\" alone, given existence of differing destination file \"%s\".", "sd",
     Effect::None},
    {"Moved source file \"%s\" to destination folder, overwriting different existing file \"%s\".", "sd",
     Effect::Overwrite},
    {"Moved source file \"%s\" to destination folder, naming it \"%s\" to avoid overwriting different "
     "existing "
     "file \"%s\".",
     "sdd", Effect::Move},
    {"Left source file \"%s\" alone, given existence of identical destination file \"%s\".", "sd",
     Effect::None},
    {"Left source file \"%s\" alone, given existence of identical file \"%s\" elsewhere in the destination "
     "folder.",
     "sd", Effect::None},
    {"Couldn't look for identical files in \"%s\": %s.", "dt", Effect::None},
    {"Deleted source file \"%s\" and renamed identical destination file from \"%s\" to \"%s\".  Changed name "
     "of "
     "file because source filename is already used in destination folder.",
     "sdd", Effect::DeleteRename},
    {"Deleted source file \"%s\" and renamed identical destination file from \"%s\" to \"%s\".", "sdd",
     Effect::DeleteRename},
    {"Left \"%s\" alone, because it already lies in the destination folder.", "s", Effect::None},
    {"Moved link \"%s\" to destination \"%s\" without following it.", "sd", Effect::Move},
    {"Left link \"%s\" alone, given existence of \"%s\" in the destination folder.", "sd", Effect::None},
    {"Moved source folder \"%s\" to destination as \"%s\".  Folder name was changed to avoid clash with "
     "extant "
     "file \"%s\" in the destination folder.",
     "sdd", Effect::Move},
    {"Moved source folder \"%s\" to destination as \"%s\".", "sd", Effect::Move},
    {"Renamed a file in the destination folder from \"%s\" to \"%s\" because it had the same name as the "
     "source "
     "folder \"%s\".",
     "dds", Effect::MoveDest},
    {"Left source folder \"%s\" alone, given existence of file \"%s\" in the destination folder.", "sd",
     Effect::None},
    {"Didn't delete source folder \"%s\" because it wasn't possible to move all objects from within it.", "s",
     Effect::None},
    {"Deleted source folder \"%s\" because its contents are all in the equivalent destination folder.", "s",
     Effect::RemoveFolder},
    {"Created destination folder \"%s\" for source folder \"%s\", so that each of its files is looked for in "
     "the whole destination.",
     "ds", Effect::MakeFolder},
    {"Copied source file \"%s\" to destination as \"%s\", but left it in the source folder because it "
     "changed "
     "while it was being copied.",
     "sd", Effect::CopyKept},
    {"Left \"%s\" alone, because it is not a regular file (a pipe, socket or device).", "s",
     Effect::LeftInSource},
    {"Copied source folder \"%s\" to destination as \"%s\".  Folder name was changed to avoid clash with "
     "extant "
     "file \"%s\" in the destination folder.",
     "sdd", Effect::CopyFolder},
    {"Copied source folder \"%s\" to destination as \"%s\".", "sd", Effect::CopyFolder},
    {"Left \"%s\" in the source folder, because it was created or changed while the folder was being copied.",
     "s", Effect::LeftChanged},
    {"Deleted \"%s\", left by an interrupted move, because source file \"%s\" is the same.", "ds",
     Effect::DeleteAsSame, true},
    {"Found \"%s\", left by an interrupted move: it may hold the only copy of a file.", "d", Effect::None,
     true},
    {"Removed \"%s\", a copy left by an interrupted move of \"%s\", because all it holds is still in the "
     "source.",
     "ds", Effect::DropCopy, true},
    {"Kept \"%s\", left by an interrupted move of \"%s\", because it holds what the source does not: it may "
     "hold the only copy of a file.",
     "ds", Effect::None, true},
    {"Kept \"%s\", a copy left by an interrupted move of \"%s\", because it couldn't be removed: %s.", "dst",
     Effect::DropCopyPart, true},
    {"Left \"%s\" alone, because its name marks an unfinished copy of an interrupted move.", "s",
     Effect::None, true},
};

constexpr std::string_view kCancelled = "Cancelled by request.";
constexpr std::string_view kStoredAnswer = " (stored answer)";
constexpr std::string_view kChoseSkip = "Chose to skip it and go on with the other items.";
constexpr std::string_view kChoseStop = "Chose to stop the move.";
constexpr std::string_view kUnableToDeleteFolder = "ERROR: Unable to delete folder \"%s\"";
constexpr std::string_view kSubfolderError = "ERROR: Can't move folder \"";
constexpr std::string_view kSubfolderMark = "\" into its subfolder \"";

// Errors after which the move goes on: the item is left where it is.
bool ErrorGoesOn(std::string_view line) {
    auto contains = [&](std::string_view part) { return line.find(part) != std::string_view::npos; };
    return line.rfind("ERROR: Path \"", 0) == 0 ||
           (line.rfind("ERROR: Can't move folder \"", 0) == 0 && contains("\" into itself")) ||
           contains("\" changed while it was being compared");
}

// The arguments of `line` when it has the form of `pattern`; the literal parts anchor each one.
std::optional<std::vector<std::string>> Match(std::string_view line, std::string_view pattern) {
    std::vector<std::string> args;
    std::size_t at = 0;
    std::size_t piece = 0;
    for (;;) {
        const std::size_t hole = pattern.find("%s", piece);
        const std::string_view literal =
            pattern.substr(piece, hole == std::string_view::npos ? hole : hole - piece);
        if (line.compare(at, literal.size(), literal) != 0) return std::nullopt;
        at += literal.size();
        if (hole == std::string_view::npos) break;
        piece = hole + 2;
        const std::size_t next = pattern.find("%s", piece);
        const std::string_view after =
            pattern.substr(piece, next == std::string_view::npos ? next : next - piece);
        // The last argument runs to the literal that ends the line; the others to the first one.
        const std::size_t end = next == std::string_view::npos ? line.rfind(after) : line.find(after, at);
        if (end == std::string_view::npos || end < at) return std::nullopt;
        args.emplace_back(line.substr(at, end - at));
        at = end;
    }
    if (at != line.size()) return std::nullopt;
    return args;
}

// The trees as one map of full paths, which the log's lines are replayed on.
class TreeModel {
public:
    explicit TreeModel(const std::vector<TreeSnapshot>& trees) {
        for (const TreeSnapshot& tree : trees)
            for (const auto& [path, entry] : tree.Entries()) {
                const std::string full = JoinPath(tree.Root(), path);
                m_mapEntries[full] = entry;
            }
    }

    // Applies one line's effect; a line that does not fit the trees is reported.
    // `actual`: the trees after the move, for a copy whose content the line cannot tell.
    void Apply(Effect effect, const std::vector<std::string>& paths, const std::string& line,
               const TreeModel& actual);
    // The path with every folder on the way that is a link replaced by what it points to: a
    // destination link to a folder is merged into as the folder it shows.
    std::string Resolve(const std::string& path) const;
    // Notes that the entry at `path` is about to be overwritten: its content may go when no
    // other entry holds it.
    void Overwritten(const std::string& path);
    // The paths of the trees before whose content an answer or an edit allowed to go.
    std::set<std::string> Excused(const std::vector<TreeSnapshot>& before) const;
    // Applies a change another program made. What it overwrote is excused where no other copy
    // existed then; what it wrote must survive.
    void ApplyEdit(const ConcurrentEdit& edit);
    // After "Unable to delete folder" for a folder the log moved or copied away: what is left of it,
    // beyond what the log left behind, must be what its copy holds.
    void KeepRemainder(const std::string& folder, const TreeModel& actual, const std::string& line);
    // Every difference from the trees as they are. When `cleanupMayFail`, copies that appeared
    // (our temporaries, and whatever holds content still accounted for) are passed over.
    // Nothing below `trashHome` (when given) counts: a trash's own entries.
    std::string Compare(const TreeModel& actual, bool cleanupMayFail, const std::string& trashHome) const;

private:
    // A file changed while its folder was copied may have been copied as it was before.
    void TakeCopiedEarlier(const std::string& from, const std::string& to, const TreeModel& actual);
    // The entry at `path` and below as they are after the move, with the folders above it.
    void TakeFromActual(const std::string& path, const TreeModel& actual, const std::string& line);
    const SnapshotEntry* Find(const std::string& path) const {
        auto it = m_mapEntries.find(path);
        return it == m_mapEntries.end() ? nullptr : &it->second;
    }
    void MoveTree(const std::string& from, const std::string& to, const std::string& line);
    // Our temporary `copy` went, all of it or (`partly`) what `actual` no longer holds: each entry
    // that went must be the same kind as `source`'s of its place, a file its first bytes.
    void DropCopy(const std::string& copy, const std::string& source, const std::string& line,
                  const TreeModel* partly);
    // Removes a file (also a link when `orLink`) or an empty folder.
    void Erase(const std::string& path, EntryKind kind, const std::string& line, bool orLink = false);
    // The file or link at `path` went to the trash `where` names: it must be there, with a
    // .trashinfo whose Path is `path`, and its content counts as kept.
    void Trash(const std::string& path, const std::string& where, const std::string& line);
    // Source 0 deleted or trashed as the same as destination 1: 1 must hold 0's content.
    void CheckSame(const std::string& source, const std::string& same, const std::string& line);
    // Source 0 discarded as a cache the system rebuilds: destination `own` is its counterpart.
    void CheckCache(const std::string& source, const std::string& own, const std::string& line);
    // Whether an edit wrote to `path` or below it.
    bool Written(const std::string& path) const {
        auto it = m_mapWritten.lower_bound(path);
        return it != m_mapWritten.end() &&
               (it->first == path || it->first.rfind(path + NativeSeparator(), 0) == 0);
    }
    void Complain(const std::string& what, const std::string& line) {
        m_strReport += what + " [" + line + "]\n";
    }

public:
    std::map<std::string, SnapshotEntry> m_mapEntries;
    std::map<std::string, std::string> m_mapMovedTo;       // each moved entry's new path, by its old one
    std::set<std::string> m_setExcused;                    // contents an answer or an edit overwrote for good
    std::map<std::string, std::string> m_mapWritten;       // contents an edit wrote, by where it wrote them
    std::map<std::string, SnapshotEntry> m_mapBeforeEdit;  // what each edited file held before
    std::set<std::string> m_setTrashedDest;                // destination entries trashed for an overwrite
    std::set<std::string> m_setTrashNames;                 // trash entries a line accounted for
    std::set<std::string> m_setDiscarded;                  // caches deleted for good, as they were before
    const std::map<std::string, MoveRecord::NamedTrash>* m_pNamedTrashes = nullptr;  // the record's, if any
    std::string m_strDestFolder;  // the drop folder: every file a source is deleted for lies below it
    std::string m_strReport;
};

void TreeModel::MoveTree(const std::string& from, const std::string& to, const std::string& line) {
    if (Find(from) == nullptr) return Complain("logged move of an entry not there: " + from, line);
    if (Find(to) != nullptr) return Complain("logged move onto an existing entry: " + to, line);
    const std::string below = from + NativeSeparator();
    std::map<std::string, SnapshotEntry> moved;
    for (auto it = m_mapEntries.begin(); it != m_mapEntries.end();) {
        if (it->first == from || it->first.rfind(below, 0) == 0) {
            const std::string target = to + it->first.substr(from.size());
            moved[target] = std::move(it->second);
            it = m_mapEntries.erase(it);
        } else {
            ++it;
        }
    }
    m_mapEntries.merge(moved);
    m_mapMovedTo[from] = to;
}

void TreeModel::TakeCopiedEarlier(const std::string& from, const std::string& to, const TreeModel& actual) {
    for (const auto& [path, earlier] : m_mapBeforeEdit) {
        if (path.rfind(from + NativeSeparator(), 0) != 0) continue;
        const std::string copy = to + path.substr(from.size());
        const SnapshotEntry* now = actual.Find(copy);
        if (now != nullptr && Find(copy) != nullptr && ContentKey(*now) == ContentKey(earlier))
            m_mapEntries[copy] = *now;
    }
}

void TreeModel::TakeFromActual(const std::string& path, const TreeModel& actual, const std::string& line) {
    if (actual.Find(path) == nullptr)
        return Complain("logged as left in the source, but not there: " + path, line);
    // Its counterpart in the copy of its folder, when the copy has none.
    for (const auto& [from, to] : m_mapMovedTo) {
        if (path.rfind(from + NativeSeparator(), 0) != 0) continue;
        const std::string counterpart = to + path.substr(from.size());
        if (actual.Find(counterpart) != nullptr) continue;
        for (auto it = m_mapEntries.begin(); it != m_mapEntries.end();)
            it = it->first == counterpart || it->first.rfind(counterpart + NativeSeparator(), 0) == 0
                     ? m_mapEntries.erase(it)
                     : std::next(it);
    }
    for (std::size_t cut = path.rfind(NativeSeparator()); cut != std::string::npos && cut > 0;
         cut = path.rfind(NativeSeparator(), cut - 1)) {
        const std::string folder = path.substr(0, cut);
        const SnapshotEntry* there = actual.Find(folder);
        if (there == nullptr || Find(folder) != nullptr) break;
        m_mapEntries[folder] = *there;
    }
    for (const auto& [other, entry] : actual.m_mapEntries)
        if (other == path || other.rfind(path + NativeSeparator(), 0) == 0) m_mapEntries[other] = entry;
}

void TreeModel::ApplyEdit(const ConcurrentEdit& edit) {
    auto it = m_mapEntries.find(edit.m_strPath);
    if (it == m_mapEntries.end()) return;
    Overwritten(edit.m_strPath);
    m_mapBeforeEdit[edit.m_strPath] = it->second;
    it->second = edit.m_oEntry;
    m_mapWritten[edit.m_strPath] = ContentKey(edit.m_oEntry);
}

// "/a/./b/../c" as "/a/c".
std::string Normalised(const std::string& path) {
    std::vector<std::string> parts;
    std::size_t at = 0;
    while (at <= path.size()) {
        std::size_t end = path.find(NativeSeparator(), at);
        if (end == std::string::npos) end = path.size();
        const std::string part = path.substr(at, end - at);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        at = end + 1;
    }
    std::string joined;
    for (const std::string& part : parts) joined += NativeSeparator() + part;
    return joined;
}

std::string TreeModel::Resolve(const std::string& path) const {
    if (path.empty() || path[0] != NativeSeparator()) return path;
    std::string resolved;
    std::size_t at = 1;
    for (int links = 0; links < 16;) {
        const std::size_t end = path.find(NativeSeparator(), at);
        if (end == std::string::npos) return resolved + path.substr(at - 1);
        const std::string folder = resolved + path.substr(at - 1, end - at + 1);
        const SnapshotEntry* entry = Find(folder);
        if (entry != nullptr && entry->m_nKind == EntryKind::Link) {
            const std::string& target = entry->m_strLinkTarget;
            resolved = Normalised(!target.empty() && target[0] == NativeSeparator()
                                      ? target
                                      : resolved + NativeSeparator() + target);
            ++links;
        } else {
            resolved = folder;
        }
        at = end + 1;
    }
    return path;
}

void TreeModel::Overwritten(const std::string& path) {
    const SnapshotEntry* old = Find(path);
    if (old == nullptr) return;
    const std::string key = ContentKey(*old);
    for (const auto& [other, entry] : m_mapEntries)
        if (other != path && entry.m_nKind == old->m_nKind && ContentKey(entry) == key) return;
    m_setExcused.insert(key);
}

std::set<std::string> TreeModel::Excused(const std::vector<TreeSnapshot>& before) const {
    std::set<std::string> paths;
    for (const TreeSnapshot& tree : before)
        for (const auto& [path, entry] : tree.Entries())
            if (entry.m_nKind != EntryKind::Folder && m_setExcused.count(ContentKey(entry)) != 0)
                paths.insert(JoinPath(tree.Root(), path));
    paths.insert(m_setDiscarded.begin(), m_setDiscarded.end());
    return paths;
}

void TreeModel::KeepRemainder(const std::string& folder, const TreeModel& actual, const std::string& line) {
    auto moved = m_mapMovedTo.find(folder);
    if (moved == m_mapMovedTo.end()) return;
    const std::string below = folder + NativeSeparator();
    for (const auto& [path, entry] : actual.m_mapEntries) {
        if (path != folder && path.rfind(below, 0) != 0) continue;
        // What the log left behind already (a copy's leftovers) is accounted for.
        if (Find(path) != nullptr) continue;
        const SnapshotEntry* copy = Find(moved->second + path.substr(folder.size()));
        if (copy == nullptr || copy->m_nKind != entry.m_nKind ||
            (entry.m_nKind != EntryKind::Folder && ContentKey(*copy) != ContentKey(entry)))
            Complain("left in a folder moved away, but not in its copy: " + path, line);
        else
            m_mapEntries[path] = entry;
    }
}

void TreeModel::Erase(const std::string& path, EntryKind kind, const std::string& line, bool orLink) {
    const SnapshotEntry* entry = Find(path);
    if (entry == nullptr || (entry->m_nKind != kind && !(orLink && entry->m_nKind == EntryKind::Link)))
        return Complain("logged deletion of an entry not there: " + path, line);
    if (kind == EntryKind::Folder) {
        auto next = m_mapEntries.upper_bound(path + NativeSeparator());
        auto at = m_mapEntries.lower_bound(path + NativeSeparator());
        if (at != next || (next != m_mapEntries.end() && next->first.rfind(path + NativeSeparator(), 0) == 0))
            return Complain("logged removal of a folder that is not empty: " + path, line);
    }
    m_mapEntries.erase(path);
}

void TreeModel::Apply(Effect effect, const std::vector<std::string>& paths, const std::string& line,
                      const TreeModel& actual) {
    switch (effect) {
        case Effect::CopyFolder:
            MoveTree(paths[0], paths[1], line);
            return TakeCopiedEarlier(paths[0], paths[1], actual);
        case Effect::LeftChanged:
            if (!Written(paths[0]))
                Complain("logged as changed while its folder was copied, but nothing changed it: " + paths[0],
                         line);
            [[fallthrough]];
        case Effect::LeftInSource:
            // Still where it was (a dragged item left alone), or left behind by its folder's copy.
            if (Find(paths[0]) != nullptr) return;
            return TakeFromActual(paths[0], actual, line);
        case Effect::CopyKept: {
            // The copy holds the source as it was before the change, or as it is now.
            const SnapshotEntry* source = Find(paths[0]);
            const SnapshotEntry* copy = actual.Find(paths[1]);
            auto earlier = m_mapBeforeEdit.find(paths[0]);
            if (source == nullptr || copy == nullptr || Find(paths[1]) != nullptr ||
                (ContentKey(*copy) != ContentKey(*source) &&
                 (earlier == m_mapBeforeEdit.end() || ContentKey(*copy) != ContentKey(earlier->second))))
                return Complain("logged copy that is not the source's: " + paths[1], line);
            m_mapEntries[paths[1]] = *copy;
            return;
        }
        case Effect::None:
            if (Find(paths[0]) == nullptr) Complain("logged as left alone, but not there: " + paths[0], line);
            return;
        case Effect::Move:
        case Effect::MoveDest:
            return MoveTree(paths[0], paths[1], line);
        case Effect::DeleteAsSame:
        case Effect::DeleteRename:
            CheckSame(paths[0], paths[1], line);
            Erase(paths[0], EntryKind::File, line, true);
            if (effect == Effect::DeleteRename) MoveTree(paths[1], paths[2], line);
            return;
        case Effect::TrashAsSame:
        case Effect::TrashRename:
            CheckSame(paths[0], paths[2], line);
            Trash(paths[0], paths[1], line);
            if (effect == Effect::TrashRename) MoveTree(paths[2], paths[3], line);
            return;
        case Effect::TrashDest:
            Trash(paths[0], paths[1], line);
            m_setTrashedDest.insert(paths[0]);
            return;
        case Effect::Overwrite:
            // Already in the trash: the source simply takes the free name.
            if (Find(paths[1]) == nullptr && m_setTrashedDest.count(paths[1]) != 0)
                return MoveTree(paths[0], paths[1], line);
            Overwritten(paths[1]);
            // A link or a pipe of the name goes too when the answer says to overwrite it.
            if (const SnapshotEntry* old = Find(paths[1]); old != nullptr && old->m_nKind == EntryKind::Other)
                m_mapEntries.erase(paths[1]);
            else
                Erase(paths[1], EntryKind::File, line, true);
            return MoveTree(paths[0], paths[1], line);
        case Effect::DropCopy:
        case Effect::DropCopyPart:
            return DropCopy(paths[0], paths[1], line, effect == Effect::DropCopyPart ? &actual : nullptr);
        case Effect::RemoveFolder:
            return Erase(paths[0], EntryKind::Folder, line);
        case Effect::MakeFolder: {
            const SnapshotEntry* source = Find(paths[1]);
            if (source == nullptr || source->m_nKind != EntryKind::Folder)
                return Complain("folder made for a source folder not there: " + paths[1], line);
            if (Find(paths[0]) != nullptr)
                return Complain("folder made over an existing entry: " + paths[0], line);
            m_mapEntries[paths[0]].m_nKind = EntryKind::Folder;
            return;
        }
        case Effect::DeleteCache:
            CheckCache(paths[0], paths[1], line);
            m_setDiscarded.insert(paths[0]);
            // Whatever it holds, an edit's bytes too: the system makes it again.
            if (const SnapshotEntry* cache = Find(paths[0])) m_setExcused.insert(ContentKey(*cache));
            return Erase(paths[0], EntryKind::File, line);
        case Effect::TrashCache:
            CheckCache(paths[0], paths[2], line);
            return Trash(paths[0], paths[1], line);
    }
}

// Whether `copy` holds nothing but what `original` does, as far as it got.
bool BeginsAs(const SnapshotEntry& copy, const SnapshotEntry& original) {
    if (copy.m_nKind != original.m_nKind) return false;
    if (copy.m_nKind != EntryKind::File) return ContentKey(copy) == ContentKey(original);
    if (copy.m_nSize == original.m_nSize) return copy.m_nHash == original.m_nHash;
    return copy.m_nSize < original.m_nSize &&
           original.m_strBytes.compare(0, copy.m_strBytes.size(), copy.m_strBytes) == 0;
}

void TreeModel::DropCopy(const std::string& copy, const std::string& source, const std::string& line,
                         const TreeModel* partly) {
    if (Find(copy) == nullptr) return Complain("logged removal of a copy not there: " + copy, line);
    const std::string below = copy + NativeSeparator();
    for (auto it = m_mapEntries.lower_bound(copy);
         it != m_mapEntries.end() && (it->first == copy || it->first.rfind(below, 0) == 0);) {
        if (partly != nullptr && partly->Find(it->first) != nullptr) {
            ++it;
            continue;
        }
        const SnapshotEntry* original = Find(source + it->first.substr(copy.size()));
        if (original == nullptr || !BeginsAs(it->second, *original))
            return Complain("removed as a copy of the source, but not held by it: " + it->first, line);
        it = m_mapEntries.erase(it);
    }
}

bool IsOurTemporary(const std::string& path) {
    return path.find(std::string(1, NativeSeparator()) + ".tandemere-") != std::string::npos;
}

// The name of a path, folded to lower case where the platform's names ignore case.
std::string NameKey(const std::string& path) {
    std::string name = path.substr(path.rfind(NativeSeparator()) + 1);
    if (NativeSeparator() == '\\')
        for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return name;
}

void TreeModel::CheckCache(const std::string& source, const std::string& own, const std::string& line) {
    static const std::set<std::string> s_lstCaches = {NameKey("Thumbs.db"), NameKey("ehthumbs.db"),
                                                      NameKey(".DS_Store")};
    const SnapshotEntry* counterpart = Find(own);
    if (s_lstCaches.count(NameKey(source)) == 0 || NameKey(source) != NameKey(own) ||
        counterpart == nullptr || counterpart->m_nKind != EntryKind::File)
        Complain("source discarded as a rebuilt cache, but it is none or has no counterpart: " + source,
                 line);
}

void TreeModel::CheckSame(const std::string& source, const std::string& same, const std::string& line) {
    const SnapshotEntry* from = Find(source);
    const SnapshotEntry* to = Find(same);
    if (from != nullptr &&
        (to == nullptr || ContentKey(*to) != ContentKey(*from) || to->m_nKind != from->m_nKind))
        Complain("source deleted as the same, but the destination does not hold its content: " + same, line);
    // Found anywhere in the destination tree, but never in a trash, never a link, never the source itself.
    if (!m_strDestFolder.empty() && !IsOurTemporary(source) &&
        (same.rfind(m_strDestFolder, 0) != 0 || same == source ||
         same.find(std::string(1, NativeSeparator()) + ".Trash") != std::string::npos))
        Complain("source deleted as the same as a file outside the destination tree or in a trash: " + same,
                 line);
    // An empty file's name is all it holds; a leftover of ours is never a user's file.
    if (from != nullptr && from->m_nKind == EntryKind::File && from->m_nSize == 0 &&
        !IsOurTemporary(source) && NameKey(source) != NameKey(same))
        Complain("empty source deleted as the same as a file of another name: " + same, line);
}

// The folder of `the trash "<folder>"`; empty for any other text.
std::string TrashFolder(const std::string& where) {
    constexpr std::string_view kStart = "the trash \"";
    if (where.rfind(kStart, 0) != 0 || where.size() <= kStart.size() || where.back() != '"') return {};
    return where.substr(kStart.size(), where.size() - kStart.size() - 1);
}

// Whether the trashed entry at `path` holds what `entry` held.
bool HoldsContentOf(const std::string& path, const SnapshotEntry& entry) {
    if (entry.m_nKind == EntryKind::Link) return LinkTarget(path) == entry.m_strLinkTarget;
    if (entry.m_nKind != EntryKind::File) return Exists(path);
    const std::optional<unsigned> mode = Mode(path);
    return mode && ContentKey(TreeSnapshot::TakeFile(path)) == ContentKey(entry);
}

void TreeModel::Trash(const std::string& path, const std::string& where, const std::string& line) {
    const SnapshotEntry* entry = Find(path);
    if (entry == nullptr) return Complain("logged move to the trash of an entry not there: " + path, line);
    const MoveRecord::NamedTrash* named = nullptr;
    if (m_pNamedTrashes != nullptr)
        if (auto it = m_pNamedTrashes->find(where); it != m_pNamedTrashes->end()) named = &it->second;
    const std::string folder = named != nullptr ? named->m_strFolder : TrashFolder(where);
    if (folder.empty()) return Complain("logged move to no trash: " + where, line);
    for (const TrashedEntry& trashed : named != nullptr ? named->m_lstEntries : ListTrash(folder)) {
        const std::string name = JoinPath(folder, "files/" + trashed.m_strName);
        if (m_setTrashNames.count(name) != 0 ||
            (trashed.m_strPath != path && Resolve(trashed.m_strPath) != path) ||
            !HoldsContentOf(name, *entry))
            continue;
        m_setTrashNames.insert(name);
        m_setExcused.insert(ContentKey(*entry));
        m_mapEntries.erase(path);
        return;
    }
    Complain("logged move to the trash, but no .trashinfo there names it with its content: " + path, line);
}

std::string TreeModel::Compare(const TreeModel& actual, bool cleanupMayFail,
                               const std::string& trashHome) const {
    const auto inTrash = [&](const std::string& path) {
        return !trashHome.empty() && (path == trashHome || path.rfind(trashHome + NativeSeparator(), 0) == 0);
    };
    std::string report;
    auto describe = [](const SnapshotEntry& entry) {
        return entry.m_nKind == EntryKind::Folder ? std::string("folder") : ContentKey(entry);
    };
    for (const auto& [path, entry] : m_mapEntries) {
        const SnapshotEntry* now = actual.Find(path);
        if (now == nullptr)
            report += "gone without a log line: " + path + " (" + describe(entry) + ")\n";
        else if (now->m_nKind != entry.m_nKind || describe(*now) != describe(entry))
            report += "changed without a log line: " + path + " (" + describe(entry) + " -> " +
                      describe(*now) + ")\n";
    }
    std::set<std::string> contents;
    for (const auto& [path, entry] : m_mapEntries) contents.insert(describe(entry));
    for (const auto& [path, entry] : actual.m_mapEntries)
        // A removal of a copy that failed too can leave it: a second copy, never a loss.
        if (Find(path) == nullptr && !inTrash(path) &&
            !(cleanupMayFail && (IsOurTemporary(path) || contents.count(describe(entry)) != 0)))
            report += "appeared without a log line: " + path + " (" + describe(entry) + ")\n";
    return report;
}

std::string FullPath(const std::string& shown, char root, const MoveRecord& record) {
    std::string path = shown;
    if (!IsFullPath(path)) path = (root == 's' ? record.m_strSourceRoot : record.m_strDestFolder) + shown;
    while (path.size() > 1 && path.back() == NativeSeparator()) path.pop_back();
    return path;
}

std::vector<std::string> SplitLines(const std::string& log) {
    std::vector<std::string> lines;
    std::size_t at = 0;
    while (at < log.size()) {
        const std::size_t end = log.find("\r\n", at);
        if (end == std::string::npos) {
            lines.push_back(log.substr(at));
            break;
        }
        lines.push_back(log.substr(at, end - at));
        at = end + 2;
    }
    return lines;
}

// What the log's lines name, for the rule that a merged folder stays only for what a line left in
// it: every path a line names but a merge's own lines about its folder, and an error's quoted paths.
struct NamedPaths {
    std::set<std::string> m_setPaths;
    std::set<std::string> m_setTooLong;  // the names of refused long paths: the error names the target

    void NoteError(const std::string& line) {
        const bool tooLong = line.rfind("ERROR: Path \"", 0) == 0;
        for (std::size_t open = line.find('"'); open != std::string::npos; open = line.find('"', open + 1)) {
            const std::size_t close = line.find('"', open + 1);
            if (close == std::string::npos) return;
            std::string path = line.substr(open + 1, close - open - 1);
            while (path.size() > 1 && path.back() == NativeSeparator()) path.pop_back();
            if (tooLong) m_setTooLong.insert(path.substr(path.rfind(NativeSeparator()) + 1));
            m_setPaths.insert(path);
            open = close;
        }
    }
    // Whether a line names `path` or a folder above it below `top`.
    bool Covers(std::string path, const std::string& top) const {
        for (; path.size() > top.size(); path.erase(path.rfind(NativeSeparator())))
            if (m_setPaths.count(path) != 0 ||
                m_setTooLong.count(path.substr(path.rfind(NativeSeparator()) + 1)) != 0)
                return true;
        return false;
    }
    // The files, links and others below `top` that no line covers.
    std::string Unnamed(const std::map<std::string, SnapshotEntry>& entries, const std::string& top) const {
        std::string report;
        for (auto it = entries.lower_bound(top + NativeSeparator()); it != entries.end(); ++it) {
            if (it->first.rfind(top + NativeSeparator(), 0) != 0) break;
            // A folder is named by what it held; a merge's own lines about it do not count.
            if (it->second.m_nKind != EntryKind::Folder && !Covers(it->first, top))
                report += "passed over without a log line: " + it->first + "\n";
        }
        return report;
    }
};

// Temporaries of ours that the move left; one that was there before is some earlier move's.
std::string NewStrayTemporaries(const MoveRecord& record) {
    const std::string before = FindStrayTemporaries(record.m_lstBefore);
    std::string report;
    std::istringstream after(FindStrayTemporaries(record.m_lstAfter));
    for (std::string line; std::getline(after, line);)
        if (before.find(line + "\n") == std::string::npos) report += line + "\n";
    return report;
}

// What edits wrote and exists nowhere after the move.
std::string LostWrites(const TreeModel& model, const TreeModel& after) {
    std::set<std::string> present;
    for (const auto& [path, entry] : after.m_mapEntries)
        if (entry.m_nKind == EntryKind::File) present.insert(ContentKey(entry));
    std::string report;
    for (const auto& [path, content] : model.m_mapWritten)
        if (present.count(content) == 0 && model.m_setExcused.count(content) == 0)
            report += "content lost: " + path + " as changed during the move (" + content + ")\n";
    return report;
}

// Replays the log on the trees before; returns what does not fit, and whether the log ends in
// what stops a move.
std::string ReplayLog(const MoveRecord& record, bool& endsStopped, std::set<std::string>& replaced,
                      std::string& lostWrites) {
    TreeModel model(record.m_lstBefore);
    model.m_pNamedTrashes = &record.m_mapNamedTrashes;
    model.m_strDestFolder = record.m_strDestFolder;
    const TreeModel actual(record.m_lstAfter);
    std::string report;
    std::size_t yesNo = 0;
    bool stopped = false;
    bool choosing = false;  // an error asked to skip its item or stop, and the next line says which
    std::size_t edit = 0;
    std::size_t at = 0;
    NamedPaths named;
    for (const std::string& line : SplitLines(record.m_strLog)) {
        for (; edit < record.m_lstEdits.size() && record.m_lstEdits[edit].m_nLogSize <= at; ++edit)
            model.ApplyEdit(record.m_lstEdits[edit]);
        at += line.size() + 2;
        if (stopped) report += "log line after the move stopped: " + line + "\n";
        if (choosing != (line == kChoseSkip || line == kChoseStop))
            report +=
                std::string(choosing ? "an error without its choice: " : "a choice without an error: ") +
                line + "\n";
        choosing = false;
        if (line == kChoseSkip || line == kChoseStop) {
            stopped = line == kChoseStop;
        } else if (line == kCancelled) {
            stopped = true;
        } else if (line.rfind(kSubfolderError, 0) == 0 && line.find(kSubfolderMark) != std::string::npos) {
            const bool yes = yesNo < record.m_lstYesNoGiven.size() && record.m_lstYesNoGiven[yesNo];
            ++yesNo;
            stopped = !yes;
            named.NoteError(line);
        } else if (line.rfind("ERROR: ", 0) == 0) {
            choosing = !ErrorGoesOn(line);
            // The system's reason follows the last quoted path.
            const std::string_view bare = std::string_view(line).substr(0, line.rfind('"') + 1);
            if (std::optional<std::vector<std::string>> folder = Match(bare, kUnableToDeleteFolder)) {
                model.KeepRemainder((*folder)[0], actual, line);
                // A merged folder stays for what a line left in it, never for an entry passed over.
                if (model.m_mapMovedTo.count((*folder)[0]) == 0)
                    report += named.Unnamed(model.m_mapEntries, (*folder)[0]);
            }
            named.NoteError(line);
        } else {
            // A decision's line may end in the mark of a stored answer; the rest is its form.
            std::string_view text = line;
            if (text.ends_with(kStoredAnswer)) {
                text.remove_suffix(kStoredAnswer.size());
                if (!record.m_bAnswersStored)
                    report += "a stored answer named in a move without one: " + line + "\n";
            }
            bool known = false;
            for (const LineForm& form : kLineForms) {
                std::optional<std::vector<std::string>> args = Match(text, form.m_pszPattern);
                if (!args) continue;
                known = true;
                const bool mergeLine = form.m_nEffect == Effect::RemoveFolder ||
                                       form.m_nEffect == Effect::MakeFolder ||
                                       std::string_view(form.m_pszPattern).rfind("Didn't delete", 0) == 0;
                for (std::size_t i = 0; i < args->size(); ++i) {
                    if (form.m_pszRoots[i] == 't') continue;
                    const std::string shown = FullPath((*args)[i], form.m_pszRoots[i], record);
                    (*args)[i] = model.Resolve(shown);
                    // Nothing is written through a link in the destination.
                    if ((*args)[i] != shown) report += "a path through a link: " + line + "\n";
                    if (!mergeLine) named.m_setPaths.insert(shown);
                    // Naming one as left alone is no harm; acting on it as a user's file is.
                    if (!form.m_bAboutLeftover && form.m_nEffect != Effect::None &&
                        IsOurTemporary((*args)[i]))
                        report += "a temporary of ours taken for a user's file: " + line + "\n";
                }
                model.Apply(form.m_nEffect, *args, line, actual);
                break;
            }
            if (!known) report += "log line of no known form: " + line + "\n";
        }
    }
    if (choosing) report += "the log ends in an error without its choice\n";
    for (; edit < record.m_lstEdits.size(); ++edit) model.ApplyEdit(record.m_lstEdits[edit]);
    endsStopped = stopped;
    replaced = model.Excused(record.m_lstBefore);
    lostWrites = LostWrites(model, actual);
    return report + model.m_strReport +
           model.Compare(actual, record.m_bCleanupMayFail, record.m_strTrashHome);
}

// Without a log, what an overwrite may have replaced: every destination file or link whose name a
// source entry has, and every source file whose name another source entry has (moved in first, it
// may be overwritten by the other).
std::set<std::string> MaybeOverwritten(const TreeModel& before, const MoveRecord& record) {
    std::string dest = record.m_strDestFolder;
    std::map<std::string, int> sourceNames;
    std::vector<std::string> candidates;
    for (const auto& [path, entry] : before.m_mapEntries) {
        const std::string name = path.substr(path.rfind(NativeSeparator()) + 1);
        if (path.rfind(dest, 0) != 0) ++sourceNames[name];
        if (entry.m_nKind != EntryKind::Folder) candidates.push_back(path);
    }
    std::set<std::string> replaced;
    for (const std::string& path : candidates) {
        const auto named = sourceNames.find(path.substr(path.rfind(NativeSeparator()) + 1));
        if (named == sourceNames.end()) continue;
        // A cache the system rebuilds goes whatever its bytes when the counterpart has its own.
        const bool cache =
            named->first == "Thumbs.db" || named->first == "ehthumbs.db" || named->first == ".DS_Store";
        if (path.rfind(dest, 0) == 0 || named->second > 1 || cache) replaced.insert(path);
    }
    return replaced;
}

// The trees after the move with the trashes outside them: content there is kept.
std::vector<TreeSnapshot> AfterWithTrashes(const MoveRecord& record) {
    std::vector<TreeSnapshot> trees = record.m_lstAfter;
    trees.insert(trees.end(), record.m_lstTrashes.begin(), record.m_lstTrashes.end());
    return trees;
}

}  // namespace

bool IsFullPath(const std::string& shown) {
    return (!shown.empty() && shown[0] == NativeSeparator()) ||
           (NativeSeparator() == '\\' && shown.size() >= 3 && shown[1] == ':' && shown[2] == '\\');
}

namespace {

bool SameAfterUndo(const SnapshotEntry* before, const SnapshotEntry* after, bool modesChanged) {
    if (before == nullptr || after == nullptr) return before == after;
    if (before->m_nKind != after->m_nKind || (!modesChanged && before->m_nMode != after->m_nMode))
        return false;
    if (before->m_nKind == EntryKind::Link) return before->m_strLinkTarget == after->m_strLinkTarget;
    return before->m_nKind != EntryKind::File ||
           (ContentKey(*before) == ContentKey(*after) && before->m_nLastWriteTime == after->m_nLastWriteTime);
}

}  // namespace

std::string JudgeUndo(const MoveRecord& record, const std::vector<TreeSnapshot>& undone,
                      const std::set<std::string>& notUndoable, bool modesChanged) {
    std::string findings;
    for (std::size_t i = 0; i < record.m_lstBefore.size() && i < undone.size(); ++i) {
        const TreeSnapshot& before = record.m_lstBefore[i];
        std::set<std::string> paths;
        for (const TreeSnapshot* tree : {&before, &undone[i]})
            for (const auto& [path, entry] : tree->Entries()) paths.insert(path);
        for (const std::string& path : paths) {
            const std::string full = JoinPath(before.Root(), path);
            if (!record.m_strTrashHome.empty() && full.rfind(record.m_strTrashHome, 0) == 0) continue;
            // A leftover of a killed move that this one cleared held a copy of a source, never the user's
            // file.
            if (IsOurTemporary(full)) continue;
            const bool same = SameAfterUndo(before.Find(path), undone[i].Find(path), modesChanged);
            if (notUndoable.count(full) != 0 && same)
                findings += "the journal says " + full + " can't be undone, but it is as before\n";
            else if (notUndoable.count(full) == 0 && !same)
                findings += "after undo " + full + " is not as before the move\n";
        }
    }
    return findings;
}

std::set<std::string> InOurTemporaries(const std::vector<TreeSnapshot>& trees) {
    std::set<std::string> paths;
    for (const TreeSnapshot& tree : trees)
        for (const auto& [path, entry] : tree.Entries())
            if (const std::string full = JoinPath(tree.Root(), path); IsOurTemporary(full))
                paths.insert(full);
    return paths;
}

OracleVerdict JudgeMove(const MoveRecord& record) {
    OracleVerdict verdict;
    if (!record.m_bCleanupMayFail) verdict.m_strViolations = NewStrayTemporaries(record);
    if (!record.m_bLogging) {
        TreeModel model(record.m_lstBefore);
        for (const std::string& path : MaybeOverwritten(model, record))
            model.m_setExcused.insert(ContentKey(model.m_mapEntries[path]));
        for (const ConcurrentEdit& edit : record.m_lstEdits) model.ApplyEdit(edit);
        std::set<std::string> replaced = model.Excused(record.m_lstBefore);
        replaced.merge(InOurTemporaries(record.m_lstBefore));
        verdict.m_strLost = FindLostContent(record.m_lstBefore, AfterWithTrashes(record), replaced) +
                            LostWrites(model, TreeModel(record.m_lstAfter));
        return verdict;
    }
    bool endsStopped = false;
    std::set<std::string> replaced;
    std::string lostWrites;
    verdict.m_strViolations += ReplayLog(record, endsStopped, replaced, lostWrites);
    replaced.merge(InOurTemporaries(record.m_lstBefore));
    verdict.m_strLost = FindLostContent(record.m_lstBefore, AfterWithTrashes(record), replaced) + lostWrites;
    if (endsStopped != (record.m_nOutcome == engine::MoveStopped))
        verdict.m_strViolations +=
            std::string("the move ") +
            (record.m_nOutcome == engine::MoveStopped ? "says stopped" : "says finished") + " but its log " +
            (endsStopped ? "ends in a stop" : "does not end in a stop") + "\n";
    return verdict;
}

}  // namespace tandemere::testing
