// Engine layer: content comparison of a source file with one destination entry, block by block in bounded
// memory.
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <string_view>
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

// One comparison of the source with one destination file of the source's listed size. The first
// failure leaves its report in Error(); the files stay open until the comparison is destroyed.
class Comparison {
public:
    Comparison(IFileSystem& fs, KeepAlive& keepAlive, const std::string& source, std::uint64_t size,
               SourceContent& content)
        : m_rFs(fs),
          m_rKeepAlive(keepAlive),
          m_rSource(source),
          m_nSize(size),
          m_rContent(content),
          m_bWhole(size <= kSourceInMemoryLimit) {}

    CompareResult Run(const std::string& destFolder, const std::string& name);
    const std::string& Error() const { return m_strError; }

private:
    // Readies the source: loaded whole once for all candidates, or opened to be streamed. Gives a
    // result when that already decides the comparison (a source of another length, or failed).
    std::optional<CompareResult> ReadySource();
    // Opens the destination file as it is on disk now, with a block buffer for it. Gives a result
    // when that already decides the comparison (gone, changed, or failed).
    std::optional<CompareResult> OpenDestination(const std::string& destPath, const std::string& name);
    // Identical when every block of the listed size matched.
    CompareResult CompareBlocks(const std::string& name);
    // Identical when neither file holds more than the listed size.
    CompareResult CompareEnds(const std::string& name);

    CompareResult Fail(std::string_view pattern, std::string_view path) {
        m_strError = FormatText(pattern, {path});
        return CompareResult::Failed;
    }

    IFileSystem& m_rFs;
    KeepAlive& m_rKeepAlive;
    const std::string& m_rSource;
    std::uint64_t m_nSize;
    SourceContent& m_rContent;
    bool m_bWhole;
    std::unique_ptr<IReadFile> m_pSourceFile;
    std::vector<unsigned char> m_lstSourceBlock;  // when streamed
    std::unique_ptr<IReadFile> m_pDestFile;
    std::vector<unsigned char> m_lstDestBlock;
    std::string m_strError;
};

constexpr const char* kAllocError = "ERROR: Unable to allocate memory for \"%s\"";
constexpr const char* kReadSourceError = "ERROR: Couldn't read source file: \"%s\"";
constexpr const char* kReadDestError = "ERROR: Couldn't read destination file: \"%s\"";

CompareResult Comparison::Run(const std::string& destFolder, const std::string& name) {
    if (const std::optional<CompareResult> decided = ReadySource()) return *decided;
    if (const std::optional<CompareResult> decided = OpenDestination(destFolder + name, name))
        return *decided;
    const CompareResult blocks = CompareBlocks(name);
    if (blocks != CompareResult::Identical) return blocks;
    return CompareEnds(name);
}

std::optional<CompareResult> Comparison::ReadySource() {
    if (!m_bWhole || !m_rContent.m_bLoaded) {
        // One byte beyond the listed size tells a whole source that grew since it was listed.
        std::vector<unsigned char>& buffer = m_bWhole ? m_rContent.m_lstBytes : m_lstSourceBlock;
        if (!Allocate(buffer, m_bWhole ? static_cast<std::size_t>(m_nSize) + 1 : kCompareBlockSize))
            return Fail(kAllocError, m_rSource);
        if (!m_rFs.OpenRead(m_rSource, m_pSourceFile))
            return Fail("ERROR: Couldn't open source file: \"%s\"", m_rSource);
        if (m_bWhole) {
            std::size_t got = 0;
            if (!ReadFully(*m_pSourceFile, buffer.data(), buffer.size(), got, m_rKeepAlive))
                return Fail(kReadSourceError, m_rSource);
            // A source of another length than listed keeps that length and so matches nothing.
            buffer.resize(got);
            m_pSourceFile.reset();
            m_rContent.m_bLoaded = true;
        }
    }
    // A source of another length than listed never equals a file of the listed length.
    if (m_bWhole && m_rContent.m_lstBytes.size() != m_nSize) return CompareResult::Different;
    return std::nullopt;
}

std::optional<CompareResult> Comparison::OpenDestination(const std::string& destPath,
                                                         const std::string& name) {
    // The candidate may come from an index built earlier in the move: what is on disk now counts.
    // One that has gone is passed over without a word; one that changed size is not the same.
    DirEntry now;
    const Status looked = m_rFs.Lookup(destPath, now);
    if (!looked && looked.Kind() == ErrorKind::NotFound) return CompareResult::Different;
    if (looked && (now.m_bDirectory || now.m_bLink || now.m_bSpecial || now.m_nSize != m_nSize))
        return CompareResult::Different;

    if (Status opened = m_rFs.OpenRead(destPath, m_pDestFile); !opened) {
        if (opened.Kind() == ErrorKind::NotFound) return CompareResult::Different;
        return Fail("ERROR: Couldn't open destination file: \"%s\"", destPath);
    }
    const std::uint64_t blockSize =
        std::min<std::uint64_t>(std::max<std::uint64_t>(m_nSize, 1), kCompareBlockSize);
    if (!Allocate(m_lstDestBlock, static_cast<std::size_t>(blockSize))) return Fail(kAllocError, name);
    return std::nullopt;
}

CompareResult Comparison::CompareBlocks(const std::string& name) {
    std::uint64_t offset = 0;
    while (offset < m_nSize) {
        const std::size_t want =
            static_cast<std::size_t>(std::min<std::uint64_t>(m_nSize - offset, m_lstDestBlock.size()));
        std::size_t got = 0;
        if (!ReadFully(*m_pDestFile, m_lstDestBlock.data(), want, got, m_rKeepAlive))
            return Fail(kReadDestError, name);
        if (got < want)
            return CompareResult::Different;  // the destination file is shorter than it was listed
        const unsigned char* expected = nullptr;
        if (m_bWhole) {
            expected = m_rContent.m_lstBytes.data() + offset;
        } else {
            std::size_t sourceGot = 0;
            if (!ReadFully(*m_pSourceFile, m_lstSourceBlock.data(), want, sourceGot, m_rKeepAlive))
                return Fail(kReadSourceError, m_rSource);
            if (sourceGot < want) return CompareResult::Different;
            expected = m_lstSourceBlock.data();
        }
        if (std::memcmp(expected, m_lstDestBlock.data(), want) != 0) return CompareResult::Different;
        offset += want;
    }
    return CompareResult::Identical;
}

CompareResult Comparison::CompareEnds(const std::string& name) {
    Status status;
    if (!AtEnd(*m_pDestFile, status)) {
        if (!status) return Fail(kReadDestError, name);
        return CompareResult::Different;  // the destination file is longer than it was listed
    }
    if (!m_bWhole && !AtEnd(*m_pSourceFile, status)) {
        if (!status) return Fail(kReadSourceError, m_rSource);
        return CompareResult::Different;
    }
    return CompareResult::Identical;
}

}  // namespace

CompareResult MoveCommand::CompareContents(WindowHandle owner, const std::string& source,
                                           std::uint64_t sourceSize, SourceContent& content,
                                           const std::string& destFolder, const DirEntry& candidate) {
    // Links are never followed, so a link is never the same content; a pipe is never opened.
    if (candidate.m_bDirectory || candidate.m_bLink || candidate.m_bSpecial) return CompareResult::Different;
    if (candidate.m_nSize >= kFourGiB) {
        ReportError(owner, FormatText("ERROR: Destination file \"%s%s\" is too large",
                                      {destFolder, candidate.m_strName}));
        return CompareResult::TooLarge;
    }
    if (candidate.m_nSize != sourceSize) return CompareResult::Different;

    Comparison comparison(m_rFs, m_oKeepAlive, source, sourceSize, content);
    const CompareResult result = comparison.Run(destFolder, candidate.m_strName);
    if (result == CompareResult::Failed) ReportError(owner, comparison.Error());
    return result;
}

}  // namespace tandemere::engine
