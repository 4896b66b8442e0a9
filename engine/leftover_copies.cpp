// Engine layer: what an interrupted move left of an item in the folder the item is placed in now. A
// copy whose every byte is still in the source goes; anything else stays, and the log says why.
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/move_command.h"
#include "engine/path.h"
#include "engine/text_format.h"

namespace tandemere::engine {
namespace {

// Small enough for the stack of any thread a move runs on.
constexpr std::size_t kLeftoverBlock = 16 * 1024;

bool IsFolder(const DirEntry& entry) {
    return entry.m_bDirectory && !entry.m_bLink;
}

std::string Below(const PathStyle& style, std::string folder, const std::string& name) {
    AddSeparator(style, folder);
    return folder + name;
}

}  // namespace

void MoveCommand::ClearLeftoversOf(const std::string& source, const std::string& destFolder) {
    const std::string item(FindFileName(m_rFs.Style(), source));
    std::vector<DirEntry> leftovers;
    // A folder that cannot be listed is reported by the placement that needs it.
    if (!m_oIndexes.TakeLeftoversFor(m_rFs, destFolder, item, leftovers)) return;
    for (const DirEntry& leftover : leftovers) {
        const std::string path = destFolder + leftover.m_strName;
        std::vector<std::pair<std::string, bool>> removal;
        if (!HeldBySource(path, leftover, source, removal)) {
            AppendLog(
                FormatText("Kept \"%s\", left by an interrupted move of \"%s\", because it holds what the "
                           "source does not: it may hold the only copy of a file.\r\n",
                           {ShownDest(path), ShownSource(source)}));
            continue;
        }
        Status removed;
        for (const auto& [entry, folder] : removal) {
            removed = folder ? m_rFs.RemoveFolder(entry) : m_rFs.DeleteFile(entry);
            if (!removed) break;
        }
        if (!removed) {
            AppendLog(
                FormatText("Kept \"%s\", a copy left by an interrupted move of \"%s\", because it "
                           "couldn't be removed: %s.\r\n",
                           {ShownDest(path), ShownSource(source), m_rFs.ReasonText(removed)}));
            continue;
        }
        m_oIndexes.NoteRemoved(m_rFs.Style(), path);
        AppendLog(
            FormatText("Removed \"%s\", a copy left by an interrupted move of \"%s\", because all it "
                       "holds is still in the source.\r\n",
                       {ShownDest(path), ShownSource(source)}));
    }
}

bool MoveCommand::LeftoversMayLie(const std::string& source, const std::string& destFolder) {
    if (LiesInFolder(source, destFolder)) return false;
    if (!m_oCheckedApart) m_oCheckedApart = !m_rFs.IsSameVolume(m_strCheckedParent, destFolder);
    return *m_oCheckedApart;
}

void MoveCommand::LogLeftoversKept(const std::string& destFolder) {
    // Those in the drop folder are named even when no item of this move was placed there, if copies
    // are made into it at all, or if the move had nothing to place there.
    if (m_szSourceRoot.empty() || SameFolder(m_rFs.Style(), m_szSourceRoot, destFolder) ||
        !m_rFs.IsSameVolume(m_szSourceRoot, destFolder))
        (void)m_oIndexes.Index(m_rFs, destFolder);
    for (const std::string& leftover : m_oIndexes.TakeLeftovers(m_rFs.Style()))
        AppendLog(
            FormatText("Found \"%s\", left by an interrupted move: it may hold the only copy of a file.\r\n",
                       {ShownDest(leftover)}));
}

bool MoveCommand::HeldBySource(const std::string& copy, const DirEntry& copyEntry, const std::string& source,
                               std::vector<std::pair<std::string, bool>>& removal) {
    DirEntry sourceEntry;
    if (!m_rFs.Lookup(source, sourceEntry) || copyEntry.m_bSpecial || sourceEntry.m_bSpecial ||
        copyEntry.m_bLink != sourceEntry.m_bLink || IsFolder(copyEntry) != IsFolder(sourceEntry))
        return false;
    if (copyEntry.m_bLink) {
        std::string copyTarget, sourceTarget;
        if (!m_rFs.ReadLink(copy, copyTarget) || !m_rFs.ReadLink(source, sourceTarget) ||
            copyTarget != sourceTarget)
            return false;
    } else if (!IsFolder(copyEntry)) {
        // A copy cut short holds the source's first bytes; the source must still be as compared.
        DirEntry now;
        if (copyEntry.m_nSize > sourceEntry.m_nSize || !BeginsAs(copy, copyEntry.m_nSize, source) ||
            !m_rFs.Lookup(source, now) || now.m_nSize != sourceEntry.m_nSize ||
            now.m_nLastWriteTime != sourceEntry.m_nLastWriteTime)
            return false;
    } else {
        std::vector<DirEntry> entries;
        if (!m_rFs.ListFolder(copy, entries)) return false;
        const PathStyle& style = m_rFs.Style();
        for (const DirEntry& entry : entries)
            if (!IsDotEntry(entry.m_strName) && !HeldBySource(Below(style, copy, entry.m_strName), entry,
                                                              Below(style, source, entry.m_strName), removal))
                return false;
    }
    removal.emplace_back(copy, IsFolder(copyEntry));
    return true;
}

bool MoveCommand::BeginsAs(const std::string& copy, std::uint64_t size, const std::string& source) {
    std::unique_ptr<IReadFile> copyFile, sourceFile;
    if (!m_rFs.OpenRead(copy, copyFile) || !m_rFs.OpenRead(source, sourceFile)) return false;
    unsigned char copyBytes[kLeftoverBlock];
    unsigned char sourceBytes[kLeftoverBlock];
    // Read to its end: the copy must hold no more than it was listed with.
    for (std::uint64_t done = 0;;) {
        std::size_t copyGot = 0, sourceGot = 0;
        if (!ReadFully(*copyFile, copyBytes, kLeftoverBlock, copyGot, m_oKeepAlive)) return false;
        if (copyGot == 0) return done == size;
        done += copyGot;
        if (done > size || !ReadFully(*sourceFile, sourceBytes, copyGot, sourceGot, m_oKeepAlive) ||
            sourceGot != copyGot || std::memcmp(copyBytes, sourceBytes, copyGot) != 0)
            return false;
    }
}

}  // namespace tandemere::engine
