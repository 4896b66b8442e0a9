// Engine layer: content comparison of a source file with one destination entry, block by block in bounded
// memory.
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "engine/move_command.h"
#include "engine/text_format.h"

namespace tandemere::engine {
namespace {

// Destination files, and sources too large to keep whole, are read in blocks of this size.
constexpr std::size_t kCompareBlockSize = 1024 * 1024;

// Reads until `size` bytes arrived or the file ended; `got` tells how many arrived. Asks for at
// most one block a call, with a keep-alive tick before each, so a whole source of many megabytes
// never holds the thread's messages up for long.
Status ReadFully(IReadFile& file, unsigned char* buffer, std::size_t size, std::size_t& got,
                 KeepAlive& keepAlive) {
    got = 0;
    while (got < size) {
        keepAlive.Tick();
        std::size_t chunk = 0;
        Status status = file.Read(buffer + got, std::min(size - got, kCompareBlockSize), chunk);
        if (!status) return status;
        if (chunk == 0) break;
        got += chunk;
    }
    return Status::Ok();
}

// True when the file has no byte left; a read failure counts as more data (so not identical)
// and is left for the caller's regular reads to report.
bool AtEnd(IReadFile& file, Status& status) {
    unsigned char probe = 0;
    std::size_t got = 0;
    status = file.Read(&probe, 1, got);
    return status.IsOk() && got == 0;
}

// A buffer of `size` bytes, or false when memory is short; the engine throws nothing further.
bool Allocate(std::vector<unsigned char>& buffer, std::size_t size) {
    try {
        buffer.resize(size);
        return true;
    } catch (const std::bad_alloc&) {
        std::vector<unsigned char>().swap(buffer);
        return false;
    }
}

}  // namespace

int MoveCommand::CompareContents(WindowHandle owner, const std::string& source, SourceContent& content,
                                 const std::string& destFolder, const DirEntry& candidate, bool& identical) {
    identical = false;
    // Links are never followed, so a link is never the same content.
    if (candidate.m_bDirectory || candidate.m_bLink) return 0;
    if (candidate.m_nSize >= kFourGiB) {
        ReportError(owner, FormatText("ERROR: Destination file \"%s%s\" is too large",
                                      {destFolder, candidate.m_strName}));
        return 1;
    }
    const std::uint64_t size = m_nSourceFileSize;
    if (candidate.m_nSize != size) return 0;

    const bool whole = size <= kSourceInMemoryLimit;
    std::unique_ptr<IReadFile> sourceFile;
    std::vector<unsigned char> sourceBlock;
    if (whole && !content.m_bLoaded) {
        // One byte beyond the listed size tells a source that grew since it was listed.
        if (!Allocate(content.m_lstBytes, static_cast<std::size_t>(size) + 1)) {
            ReportError(owner, FormatText("ERROR: Unable to allocate memory for \"%s\"", {source}));
            return 2;
        }
        if (!m_rFs.OpenRead(source, sourceFile)) {
            ReportError(owner, FormatText("ERROR: Couldn't open source file: \"%s\"", {source}));
            return 2;
        }
        std::size_t got = 0;
        if (!ReadFully(*sourceFile, content.m_lstBytes.data(), content.m_lstBytes.size(), got,
                       m_oKeepAlive)) {
            ReportError(owner, FormatText("ERROR: Couldn't read source file: \"%s\"", {source}));
            return 2;
        }
        // A source of another length than listed keeps that length and so matches nothing.
        content.m_lstBytes.resize(got);
        sourceFile.reset();
        content.m_bLoaded = true;
    } else if (!whole) {
        if (!Allocate(sourceBlock, kCompareBlockSize)) {
            ReportError(owner, FormatText("ERROR: Unable to allocate memory for \"%s\"", {source}));
            return 2;
        }
        if (!m_rFs.OpenRead(source, sourceFile)) {
            ReportError(owner, FormatText("ERROR: Couldn't open source file: \"%s\"", {source}));
            return 2;
        }
    }

    // A source of another length than listed never equals a file of the listed length.
    if (whole && content.m_lstBytes.size() != size) return 0;

    // The candidate may come from an index built earlier in the move: what is on disk now counts.
    // One that has gone is passed over without a word; one that changed size is not the same.
    const std::string destPath = destFolder + candidate.m_strName;
    DirEntry now;
    Status looked = m_rFs.Lookup(destPath, now);
    if (!looked && looked.Kind() == ErrorKind::NotFound) return 0;
    if (looked && (now.m_bDirectory || now.m_bLink || now.m_nSize != size)) return 0;

    std::unique_ptr<IReadFile> destFile;
    if (Status opened = m_rFs.OpenRead(destPath, destFile); !opened) {
        if (opened.Kind() == ErrorKind::NotFound) return 0;
        ReportError(owner, FormatText("ERROR: Couldn't open destination file: \"%s\"", {destPath}));
        return 2;
    }
    std::vector<unsigned char> destBlock;
    if (!Allocate(destBlock, static_cast<std::size_t>(std::min<std::uint64_t>(
                                 std::max<std::uint64_t>(size, 1), kCompareBlockSize)))) {
        ReportError(owner, FormatText("ERROR: Unable to allocate memory for \"%s\"", {candidate.m_strName}));
        return 2;
    }
    const std::string readError =
        FormatText("ERROR: Couldn't read destination file: \"%s\"", {candidate.m_strName});

    std::uint64_t offset = 0;
    while (offset < size) {
        const std::size_t want =
            static_cast<std::size_t>(std::min<std::uint64_t>(size - offset, destBlock.size()));
        std::size_t got = 0;
        if (!ReadFully(*destFile, destBlock.data(), want, got, m_oKeepAlive)) {
            ReportError(owner, readError);
            return 2;
        }
        if (got < want) return 0;  // the destination file is shorter than it was listed
        const unsigned char* expected = nullptr;
        if (whole) {
            expected = content.m_lstBytes.data() + offset;
        } else {
            std::size_t sourceGot = 0;
            if (!ReadFully(*sourceFile, sourceBlock.data(), want, sourceGot, m_oKeepAlive)) {
                ReportError(owner, FormatText("ERROR: Couldn't read source file: \"%s\"", {source}));
                return 2;
            }
            if (sourceGot < want) return 0;
            expected = sourceBlock.data();
        }
        if (std::memcmp(expected, destBlock.data(), want) != 0) return 0;
        offset += want;
    }

    Status status;
    if (!AtEnd(*destFile, status)) {
        if (!status) {
            ReportError(owner, readError);
            return 2;
        }
        return 0;  // the destination file is longer than it was listed
    }
    if (!whole && !AtEnd(*sourceFile, status)) {
        if (!status) {
            ReportError(owner, FormatText("ERROR: Couldn't read source file: \"%s\"", {source}));
            return 2;
        }
        return 0;
    }
    identical = true;
    return 0;
}

}  // namespace tandemere::engine
