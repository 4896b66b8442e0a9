// Engine layer: undo of one move from its journal, newest change first.
#include "engine/undo_move.h"

#include <memory>

#include "engine/path.h"
#include "engine/text_format.h"

namespace tandemere::engine {
namespace {

constexpr std::size_t kCompareBlock = 1 << 16;

const char* kChanged = "it changed since the move";

bool SameAsRecorded(const DirEntry& recorded, const DirEntry& now) {
    if (recorded.m_bDirectory != now.m_bDirectory || recorded.m_bLink != now.m_bLink) return false;
    // A folder's time changes with every entry put in or taken out: only its kind counts.
    return recorded.m_bDirectory ||
           (recorded.m_nSize == now.m_nSize && recorded.m_nLastWriteTime == now.m_nLastWriteTime);
}

// Reads up to `size` bytes, as many as the file gives until its end.
Status ReadFull(IReadFile& file, unsigned char* buffer, std::size_t size, std::size_t& got) {
    got = 0;
    while (got < size) {
        std::size_t part = 0;
        if (Status read = file.Read(buffer + got, size - got, part); !read) return read;
        if (part == 0) break;
        got += part;
    }
    return Status::Ok();
}

}  // namespace

std::string FormatUndoSummary(const UndoSummary& summary) {
    std::string text = "Undid " + std::to_string(summary.m_nUndone) + " change" +
                       (summary.m_nUndone == 1 ? "" : "s") + "; left " + std::to_string(summary.m_nLeft) +
                       " (" + std::to_string(summary.m_nChanged) + " changed since the move)";
    if (summary.m_nNotUndoable != 0)
        text += "; " + std::to_string(summary.m_nNotUndoable) + " can't be undone";
    return text + "; " + std::to_string(summary.m_nErrors) + " error" + (summary.m_nErrors == 1 ? "" : "s") +
           ".";
}

JournalHeader ReadJournalHeader(const std::vector<JournalRecord>& records) {
    JournalHeader header;
    for (const JournalRecord& record : records) {
        const std::string first = record.m_lstFields.empty() ? std::string() : record.m_lstFields.front();
        switch (record.m_nKind) {
            case JournalKind::Started:
                header.m_strTime = first;
                break;
            case JournalKind::Destination:
                header.m_strDestination = first;
                break;
            case JournalKind::Source:
                header.m_lstSources.push_back(first);
                break;
            case JournalKind::Undone:
                header.m_strUndone = first;
                break;
            case JournalKind::Header:
            case JournalKind::Unknown:
                break;
            default:
                ++header.m_nChanges;
        }
    }
    return header;
}

void UndoCommand::Run(const std::vector<JournalRecord>& records) {
    for (auto it = records.rbegin(); it != records.rend(); ++it) {
        switch (it->m_nKind) {
            case JournalKind::Moved:
            case JournalKind::Copied:
            case JournalKind::Renamed:
                UndoMove(*it);
                break;
            case JournalKind::Duplicate:
                UndoDuplicate(*it);
                break;
            case JournalKind::Trashed:
                UndoTrashed(*it);
                break;
            case JournalKind::FolderCreated:
                UndoFolderCreated(*it);
                break;
            case JournalKind::FolderRemoved:
                UndoFolderRemoved(*it);
                break;
            case JournalKind::Overwritten:
            case JournalKind::Deleted:
                NotUndoable(*it);
                break;
            default:
                break;
        }
    }
}

void UndoCommand::Line(std::string_view pattern, std::initializer_list<std::string_view> args) {
    m_strLog += FormatText(pattern, args);
    m_strLog += "\r\n";
}

void UndoCommand::Left(std::string_view pattern, std::initializer_list<std::string_view> args, bool changed) {
    ++m_oSummary.m_nLeft;
    if (changed) ++m_oSummary.m_nChanged;
    Line(pattern, args);
}

void UndoCommand::Error(std::string_view pattern, std::initializer_list<std::string_view> args,
                        const Status& status) {
    ++m_oSummary.m_nErrors;
    m_strLog += FormatText(pattern, args);
    m_strLog += ": " + m_rFs.ReasonText(status) + "\r\n";
}

std::string UndoCommand::WhyNotAsRecorded(const std::string& path, const DirEntry& recorded, DirEntry& now) {
    if (!m_rFs.Lookup(path, now)) return "it is no longer there";
    return SameAsRecorded(recorded, now) ? std::string() : kChanged;
}

Status UndoCommand::MoveBack(const std::string& from, const std::string& to, bool folder) {
    if (!folder || m_rFs.IsSameVolume(from, to)) return m_rFs.Move(from, to);
    DirEntry taken;
    if (m_rFs.Lookup(to, taken)) return Status(ErrorKind::Exists, 0, to);
    std::vector<std::string> left;
    Status moved = m_rFs.MoveFolderAcrossVolumes(nullptr, from, to, left);
    // Whatever changed meanwhile stays where it is, with its folder: not all of it went back.
    if (moved && !left.empty()) return Status(ErrorKind::SourceChanged, 0, from);
    return moved;
}

void UndoCommand::UndoMove(const JournalRecord& record) {
    DirEntry recorded;
    if (!ParseJournalEntry(record.m_lstFields, 2, recorded)) return;
    const std::string& back = record.m_lstFields[0];
    const std::string& now = record.m_lstFields[1];
    const bool renamed = record.m_nKind == JournalKind::Renamed;
    DirEntry found;
    if (const std::string why = WhyNotAsRecorded(now, recorded, found); !why.empty())
        return Left("Left \"%s\" where it is, because %s.", {now, why}, why == kChanged);
    if (m_rFs.Lookup(back, found)) {
        // A folder copied across volumes leaves behind what it could not take (a pipe, a file written
        // meanwhile), with the folders that hold it: the copy goes back into them.
        if (record.m_nKind != JournalKind::Copied || !recorded.m_bDirectory || !found.m_bDirectory ||
            found.m_bLink)
            return Left("Left \"%s\" where it is, because \"%s\" is taken.", {now, back}, false);
        if (!MergeBack(now, back)) return;
        ++m_oSummary.m_nUndone;
        return Line("Moved the content of \"%s\" back into \"%s\", which had stayed in the source.",
                    {now, back});
    }
    if (const Status moved = MoveBack(now, back, recorded.m_bDirectory); !moved)
        return Error("ERROR: Couldn't move \"%s\" back to \"%s\"", {now, back}, moved);
    ++m_oSummary.m_nUndone;
    Line(renamed ? "Renamed \"%s\" back to \"%s\"." : "Moved \"%s\" back to \"%s\".", {now, back});
}

void UndoCommand::UndoDuplicate(const JournalRecord& record) {
    DirEntry deleted;
    DirEntry kept;
    if (!ParseJournalEntry(record.m_lstFields, 1, deleted) || !ParseJournalEntry(record.m_lstFields, 6, kept))
        return;
    const std::string& source = record.m_lstFields[0];
    const std::string& keptPath = record.m_lstFields[5];
    DirEntry found;
    if (m_rFs.Lookup(source, found))
        return Left("Didn't make deleted duplicate \"%s\" again, because \"%s\" is taken.", {source, source},
                    false);
    if (const std::string why = WhyNotAsRecorded(keptPath, kept, found); !why.empty())
        return Left("Didn't make deleted duplicate \"%s\" again, because identical file \"%s\": %s.",
                    {source, keptPath, why}, why == kChanged);
    if (const Status copied = m_rFs.CopyFileNew(keptPath, source, deleted.m_nMode, deleted.m_nLastWriteTime);
        !copied)
        return Error("ERROR: Couldn't copy \"%s\" to \"%s\"", {keptPath, source}, copied);
    bool same = false;
    if (const Status compared = SameBytes(keptPath, source, same); !compared || !same) {
        // A copy that is not the kept file's bytes would be a file the user never had.
        (void)m_rFs.DeleteFile(source);
        return Error("ERROR: Copy \"%s\" of \"%s\" doesn't hold its bytes", {source, keptPath},
                     compared ? Status(ErrorKind::Io, 0, source) : compared);
    }
    ++m_oSummary.m_nUndone;
    Line("Made deleted duplicate \"%s\" again as a copy of identical file \"%s\".", {source, keptPath});
}

void UndoCommand::UndoTrashed(const JournalRecord& record) {
    DirEntry recorded;
    if (!ParseJournalEntry(record.m_lstFields, 1, recorded) || record.m_lstFields.size() < 7) return;
    const std::string& path = record.m_lstFields[0];
    const std::string& inTrash = record.m_lstFields[5];
    const std::string& info = record.m_lstFields[6];
    DirEntry found;
    if (inTrash.empty()) {
        // The Recycle Bin names no file it keeps: nothing says which one to take back.
        ++m_oSummary.m_nNotUndoable;
        return Line("Left \"%s\" in the trash, because the journal doesn't say where.", {path});
    }
    if (const std::string why = WhyNotAsRecorded(inTrash, recorded, found); !why.empty())
        return Left("Left \"%s\" in the trash, because %s.", {inTrash, why}, why == kChanged);
    if (m_rFs.Lookup(path, found))
        return Left("Left \"%s\" in the trash, because \"%s\" is taken.", {inTrash, path}, false);
    if (const Status moved = m_rFs.Move(inTrash, path); !moved)
        return Error("ERROR: Couldn't restore \"%s\" from the trash to \"%s\"", {inTrash, path}, moved);
    // The file is back: a .trashinfo left over would only name a file no longer there.
    if (!info.empty()) (void)m_rFs.DeleteFile(info);
    ++m_oSummary.m_nUndone;
    Line("Restored \"%s\" from the trash as \"%s\".", {inTrash, path});
}

void UndoCommand::UndoFolderCreated(const JournalRecord& record) {
    if (record.m_lstFields.empty()) return;
    const std::string& folder = record.m_lstFields[0];
    const Status removed = m_rFs.RemoveFolder(folder);
    if (removed.Kind() == ErrorKind::NotEmpty)
        return Left("Left folder \"%s\", which the move made, because it isn't empty.", {folder}, false);
    if (removed.Kind() == ErrorKind::NotFound)
        return Left("Left folder \"%s\", which the move made, because it is no longer there.", {folder},
                    false);
    if (!removed) return Error("ERROR: Unable to delete folder \"%s\"", {folder}, removed);
    ++m_oSummary.m_nUndone;
    Line("Deleted folder \"%s\", which the move made.", {folder});
}

void UndoCommand::UndoFolderRemoved(const JournalRecord& record) {
    DirEntry recorded;
    if (!ParseJournalEntry(record.m_lstFields, 1, recorded)) return;
    const std::string& folder = record.m_lstFields[0];
    DirEntry found;
    if (m_rFs.Lookup(folder, found)) {
        if (found.m_bDirectory && !found.m_bLink) return;  // already there: what was in it goes back into it
        return Left("Didn't make source folder \"%s\" again, because \"%s\" is taken.", {folder, folder},
                    false);
    }
    if (const Status made = m_rFs.CreateFolder(folder); !made)
        return Error("ERROR: Couldn't create folder \"%s\"", {folder}, made);
    if (recorded.m_nMode != 0) (void)m_rFs.SetFolderMode(folder, recorded.m_nMode);
    ++m_oSummary.m_nUndone;
    Line("Made source folder \"%s\" again.", {folder});
}

void UndoCommand::NotUndoable(const JournalRecord& record) {
    if (record.m_lstFields.empty()) return;
    ++m_oSummary.m_nNotUndoable;
    Line(record.m_nKind == JournalKind::Overwritten
             ? "Couldn't bring back \"%s\": the move overwrote it without the trash."
             : "Couldn't bring back \"%s\": the move deleted it for good.",
         {record.m_lstFields[0]});
}

bool UndoCommand::DropCopy(const std::string& copy, const std::string& original) {
    DirEntry made;
    DirEntry stayed;
    bool same = false;
    // Only a copy of a file that stayed as it was copied, byte for byte, is the move's own to remove.
    if (m_rFs.Lookup(copy, made) && m_rFs.Lookup(original, stayed) && made.m_nSize == stayed.m_nSize &&
        made.m_nLastWriteTime == stayed.m_nLastWriteTime && !made.m_bDirectory && !made.m_bLink &&
        !made.m_bSpecial && !stayed.m_bDirectory && !stayed.m_bLink && !stayed.m_bSpecial &&
        SameBytes(copy, original, same) && same) {
        if (const Status deleted = m_rFs.DeleteFile(copy); !deleted) {
            Error("ERROR: Couldn't delete \"%s\"", {copy}, deleted);
            return false;
        }
        Line("Deleted \"%s\", the move's copy of \"%s\", which stayed in the source.", {copy, original});
        return true;
    }
    Left("Left \"%s\" where it is, because \"%s\" is taken.", {copy, original}, false);
    return false;
}

bool UndoCommand::MergeBack(const std::string& now, const std::string& back) {
    std::vector<DirEntry> entries;
    if (const Status listed = m_rFs.ListNames(now, entries); !listed) {
        Error("ERROR: Couldn't find files in \"%s\"", {now}, listed);
        return false;
    }
    bool all = true;
    for (const DirEntry& entry : entries) {
        if (entry.m_strName.empty() || IsDotEntry(entry.m_strName)) continue;
        std::string from = now;
        std::string to = back;
        AddSeparator(m_rFs.Style(), from);
        AddSeparator(m_rFs.Style(), to);
        from += entry.m_strName;
        to += entry.m_strName;
        DirEntry there;
        if (!m_rFs.Lookup(to, there)) {
            if (const Status moved = MoveBack(from, to, entry.m_bDirectory && !entry.m_bLink); !moved) {
                Error("ERROR: Couldn't move \"%s\" back to \"%s\"", {from, to}, moved);
                all = false;
            }
        } else if (entry.m_bDirectory && !entry.m_bLink && there.m_bDirectory && !there.m_bLink) {
            all = MergeBack(from, to) && all;
        } else {
            all = DropCopy(from, to) && all;
        }
    }
    if (!all) return false;
    if (const Status removed = m_rFs.RemoveFolder(now); !removed) {
        Error("ERROR: Unable to delete folder \"%s\"", {now}, removed);
        return false;
    }
    return true;
}

Status UndoCommand::SameBytes(const std::string& a, const std::string& b, bool& same) {
    same = false;
    std::unique_ptr<IReadFile> first;
    std::unique_ptr<IReadFile> second;
    if (Status opened = m_rFs.OpenRead(a, first); !opened) return opened;
    if (Status opened = m_rFs.OpenRead(b, second); !opened) return opened;
    std::vector<unsigned char> left(kCompareBlock);
    std::vector<unsigned char> right(kCompareBlock);
    for (;;) {
        std::size_t gotLeft = 0;
        std::size_t gotRight = 0;
        if (Status read = ReadFull(*first, left.data(), left.size(), gotLeft); !read) return read;
        if (Status read = ReadFull(*second, right.data(), right.size(), gotRight); !read) return read;
        if (gotLeft != gotRight || !std::equal(left.begin(), left.begin() + gotLeft, right.begin()))
            return Status::Ok();
        if (gotLeft == 0) break;
    }
    same = true;
    return Status::Ok();
}

}  // namespace tandemere::engine
