// Engine layer: content comparison of a source file with one destination entry, block by block in bounded
// memory: the digest's span first, so most different files cost a few KiB, then the rest in large blocks,
// since files whose first bytes match are almost always copies of each other.
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/content_digest.h"
#include "engine/move_command.h"
#include "engine/text_format.h"

namespace tandemere::engine {
namespace {

// Blocks after the digest's span: large enough that a copy of a few hundred KiB costs one call a
// side, small enough that a read rarely keeps the thread from its messages for long.
constexpr std::size_t kMaxBlockSize = 1024 * 1024;
// The digest's span is read as the first block.
static_assert(kDigestWholeLimit <= kMaxBlockSize && kDigestHeadSize <= kMaxBlockSize);

// The size of the block that starts at `offset` of a file of `size` bytes.
std::size_t BlockAt(std::uint64_t offset, std::uint64_t size) {
    return static_cast<std::size_t>(std::min<std::uint64_t>(size - offset, kMaxBlockSize));
}

}  // namespace

Status ReadFully(IReadFile& file, unsigned char* buffer, std::size_t size, std::size_t& got,
                 KeepAlive& keepAlive) {
    got = 0;
    while (got < size) {
        keepAlive.Tick();
        std::size_t chunk = 0;
        Status status = file.Read(buffer + got, std::min(size - got, kMaxBlockSize), chunk);
        if (!status) return status;
        if (chunk == 0) break;
        got += chunk;
    }
    return Status::Ok();
}

namespace {

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

// What a buffer that could not be had reports.
Status OutOfMemory(const std::string& path) {
    return Status(ErrorKind::NoMemory, 0, path);
}

// Two digests made of both files tell them apart without reading either again.
bool DigestsDiffer(const IndexedFile& candidate, const SourceContent& content) {
    return candidate.m_oDigest && content.m_oDigest && *candidate.m_oDigest != *content.m_oDigest;
}

// One comparison of the source with one destination file of the source's listed size. The first
// failure leaves its report in Error(); the files stay open until the comparison is destroyed.
class Comparison {
public:
    Comparison(IFileSystem& fs, KeepAlive& keepAlive, const std::string& source, std::uint64_t size,
               SourceContent& content, bool lookUp)
        : m_rFs(fs),
          m_rKeepAlive(keepAlive),
          m_rSource(source),
          m_nSize(size),
          m_rContent(content),
          m_bWhole(size <= kSourceInMemoryLimit),
          m_bLookUp(lookUp) {}

    CompareResult Run(const std::string& destFolder, const IndexedFile& candidate);
    const std::string& Error() const { return m_strError; }
    // Why it failed, as the platform said.
    const Status& ErrorStatus() const { return m_oError; }
    // The destination file as it was looked up just before its bytes were read.
    const DirEntry& AsRead() const { return m_oAsRead; }
    // The digest of the destination file's bytes, once they were read.
    const std::optional<std::uint64_t>& DestDigest() const { return m_oDestDigest; }

private:
    // Readies the source: its digest's span read (a source digested whole read whole), kept for
    // all candidates when the source is small enough for memory, else opened to be streamed.
    // Gives a result when that already decides the comparison (a source of another length, or failed).
    std::optional<CompareResult> ReadySource();
    // Opens the source into `file` and reads up to `count` bytes into `buffer`, resized to what arrived.
    std::optional<CompareResult> OpenAndRead(std::unique_ptr<IReadFile>& file,
                                             std::vector<unsigned char>& buffer, std::size_t count);
    // Reads the rest of a source kept in memory, once a candidate's first bytes matched its own.
    std::optional<CompareResult> LoadRestOfSource();
    // Opens the destination file as it is on disk now, with a block buffer for it. Gives a result
    // when that already decides the comparison (gone, changed, or failed).
    std::optional<CompareResult> OpenDestination(const std::string& destPath, const DirEntry& listed);
    // Reads the destination's digest span and compares it; a result when that decides.
    std::optional<CompareResult> CompareHead(const std::string& name);
    // Identical when every further block of the listed size matched.
    CompareResult CompareRest(const std::string& name);
    // Identical when neither file holds more than the listed size.
    CompareResult CompareEnds(const std::string& name);

    CompareResult Fail(std::string_view pattern, std::string_view path, Status status) {
        m_strError = FormatText(pattern, {path});
        m_oError = std::move(status);
        return CompareResult::Failed;
    }

    IFileSystem& m_rFs;
    KeepAlive& m_rKeepAlive;
    const std::string& m_rSource;
    std::uint64_t m_nSize;
    SourceContent& m_rContent;
    bool m_bWhole;
    bool m_bLookUp;  // whether the destination file is looked up before its bytes are read
    std::unique_ptr<IReadFile> m_pSourceFile;
    std::vector<unsigned char> m_lstSourceBlock;  // when streamed; first its digest's span
    std::unique_ptr<IReadFile> m_pDestFile;
    std::vector<unsigned char> m_lstDestBlock;
    DirEntry m_oAsRead;
    std::optional<std::uint64_t> m_oDestDigest;
    std::string m_strError;
    Status m_oError;
};

constexpr const char* kAllocError = "ERROR: Unable to allocate memory for \"%s\"";
constexpr const char* kReadSourceError = "ERROR: Couldn't read source file: \"%s\"";
constexpr const char* kReadDestError = "ERROR: Couldn't read destination file: \"%s\"";

CompareResult Comparison::Run(const std::string& destFolder, const IndexedFile& candidate) {
    const std::string& name = candidate.m_oEntry.m_strName;
    m_oAsRead = candidate.m_oEntry;
    if (const std::optional<CompareResult> decided = ReadySource()) return *decided;
    if (DigestsDiffer(candidate, m_rContent)) return CompareResult::Different;
    if (const std::optional<CompareResult> decided = OpenDestination(destFolder + name, candidate.m_oEntry))
        return *decided;
    if (const std::optional<CompareResult> decided = CompareHead(name)) return *decided;
    if (const std::optional<CompareResult> decided = LoadRestOfSource()) return *decided;
    const CompareResult rest = CompareRest(name);
    if (rest != CompareResult::Identical) return rest;
    return CompareEnds(name);
}

std::optional<CompareResult> Comparison::ReadySource() {
    SourceContent& content = m_rContent;
    if (m_bWhole && (content.m_bLoaded || content.m_pFile)) {
        // A source of another length than listed never equals a file of the listed length.
        if (content.m_bLoaded && content.m_lstBytes.size() != m_nSize) return CompareResult::Different;
        return std::nullopt;
    }
    std::unique_ptr<IReadFile>& file = m_bWhole ? content.m_pFile : m_pSourceFile;
    std::vector<unsigned char>& buffer = m_bWhole ? content.m_lstBytes : m_lstSourceBlock;
    const std::size_t span = DigestSpan(m_nSize);
    // One byte beyond the listed size tells a source read whole that grew since it was listed.
    const bool all = m_bWhole && span == m_nSize;
    if (const std::optional<CompareResult> failed = OpenAndRead(file, buffer, all ? span + 1 : span))
        return failed;
    const bool shorter = buffer.size() < span;
    if (m_bWhole && (all || shorter)) {
        file.reset();
        content.m_bLoaded = true;
    }
    if (shorter || (all && buffer.size() != m_nSize)) return CompareResult::Different;
    content.m_oDigest = DigestOf(buffer.data(), span, m_nSize);
    return std::nullopt;
}

std::optional<CompareResult> Comparison::OpenAndRead(std::unique_ptr<IReadFile>& file,
                                                     std::vector<unsigned char>& buffer, std::size_t count) {
    if (!Allocate(buffer, count)) return Fail(kAllocError, m_rSource, OutOfMemory(m_rSource));
    if (Status opened = m_rFs.OpenRead(m_rSource, file); !opened)
        return Fail("ERROR: Couldn't open source file: \"%s\"", m_rSource, std::move(opened));
    std::size_t got = 0;
    if (Status read = ReadFully(*file, buffer.data(), count, got, m_rKeepAlive); !read)
        return Fail(kReadSourceError, m_rSource, std::move(read));
    buffer.resize(got);
    return std::nullopt;
}

std::optional<CompareResult> Comparison::LoadRestOfSource() {
    SourceContent& content = m_rContent;
    if (!m_bWhole || content.m_bLoaded) return std::nullopt;
    const std::size_t have = content.m_lstBytes.size();
    const std::size_t whole = static_cast<std::size_t>(m_nSize) + 1;
    if (!Allocate(content.m_lstBytes, whole)) return Fail(kAllocError, m_rSource, OutOfMemory(m_rSource));
    std::size_t got = 0;
    if (Status read =
            ReadFully(*content.m_pFile, content.m_lstBytes.data() + have, whole - have, got, m_rKeepAlive);
        !read)
        return Fail(kReadSourceError, m_rSource, std::move(read));
    content.m_lstBytes.resize(have + got);
    content.m_pFile.reset();
    content.m_bLoaded = true;
    if (content.m_lstBytes.size() != m_nSize) return CompareResult::Different;
    return std::nullopt;
}

std::optional<CompareResult> Comparison::OpenDestination(const std::string& destPath,
                                                         const DirEntry& listed) {
    // The candidate may come from an index built earlier in the move: what is on disk now counts.
    // One that has gone is passed over without a word; one that changed size is not the same.
    // A candidate the caller has just looked up needs no second look.
    DirEntry now = listed;
    const Status looked = m_bLookUp ? m_rFs.Lookup(destPath, now) : Status::Ok();
    if (!looked && looked.Kind() == ErrorKind::NotFound) return CompareResult::Different;
    if (looked && (now.m_bDirectory || now.m_bLink || now.m_bSpecial || now.m_nSize != m_nSize))
        return CompareResult::Different;
    if (looked) {
        now.m_strName = listed.m_strName;
        m_oAsRead = now;
    }

    if (Status opened = m_rFs.OpenRead(destPath, m_pDestFile); !opened) {
        if (opened.Kind() == ErrorKind::NotFound) return CompareResult::Different;
        return Fail("ERROR: Couldn't open destination file: \"%s\"", destPath, std::move(opened));
    }
    const std::uint64_t blockSize =
        std::min<std::uint64_t>(std::max<std::uint64_t>(m_nSize, 1), kMaxBlockSize);
    if (!Allocate(m_lstDestBlock, static_cast<std::size_t>(blockSize)))
        return Fail(kAllocError, listed.m_strName, OutOfMemory(destPath));
    return std::nullopt;
}

std::optional<CompareResult> Comparison::CompareHead(const std::string& name) {
    const std::size_t span = DigestSpan(m_nSize);
    std::size_t got = 0;
    if (Status read = ReadFully(*m_pDestFile, m_lstDestBlock.data(), span, got, m_rKeepAlive); !read)
        return Fail(kReadDestError, name, std::move(read));
    m_rKeepAlive.AddCompared(got);
    if (got < span) return CompareResult::Different;  // the destination file is shorter than it was listed
    m_oDestDigest = DigestOf(m_lstDestBlock.data(), span, m_nSize);
    if (m_oDestDigest != m_rContent.m_oDigest) return CompareResult::Different;
    const unsigned char* expected = m_bWhole ? m_rContent.m_lstBytes.data() : m_lstSourceBlock.data();
    if (std::memcmp(expected, m_lstDestBlock.data(), span) != 0) return CompareResult::Different;
    return std::nullopt;
}

CompareResult Comparison::CompareRest(const std::string& name) {
    for (std::uint64_t offset = DigestSpan(m_nSize); offset < m_nSize;) {
        const std::size_t want = BlockAt(offset, m_nSize);
        std::size_t got = 0;
        if (Status read = ReadFully(*m_pDestFile, m_lstDestBlock.data(), want, got, m_rKeepAlive); !read)
            return Fail(kReadDestError, name, std::move(read));
        m_rKeepAlive.AddCompared(got);
        if (got < want)
            return CompareResult::Different;  // the destination file is shorter than it was listed
        const unsigned char* expected = nullptr;
        if (m_bWhole) {
            expected = m_rContent.m_lstBytes.data() + offset;
        } else {
            if (m_lstSourceBlock.size() < want && !Allocate(m_lstSourceBlock, kMaxBlockSize))
                return Fail(kAllocError, m_rSource, OutOfMemory(m_rSource));
            std::size_t sourceGot = 0;
            if (Status read =
                    ReadFully(*m_pSourceFile, m_lstSourceBlock.data(), want, sourceGot, m_rKeepAlive);
                !read)
                return Fail(kReadSourceError, m_rSource, std::move(read));
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
        if (!status) return Fail(kReadDestError, name, status);
        return CompareResult::Different;  // the destination file is longer than it was listed
    }
    if (!m_bWhole && !AtEnd(*m_pSourceFile, status)) {
        if (!status) return Fail(kReadSourceError, m_rSource, status);
        return CompareResult::Different;
    }
    return CompareResult::Identical;
}

}  // namespace

CompareResult MoveCommand::CompareContents(WindowHandle owner, const std::string& source,
                                           std::uint64_t sourceSize, SourceContent& content,
                                           const std::string& destFolder, const IndexedFile& candidate,
                                           DirEntry& compared, bool lookUp) {
    const DirEntry& entry = candidate.m_oEntry;
    compared = entry;
    // Links are never followed, so a link is never the same content; a pipe is never opened.
    if (entry.m_bDirectory || entry.m_bLink || entry.m_bSpecial) return CompareResult::Different;
    if (entry.m_nSize != sourceSize) return CompareResult::Different;
    // Known digests spare even the source's opening when it is streamed.
    if (DigestsDiffer(candidate, content)) return CompareResult::Different;

    m_oKeepAlive.BeginStep(sourceSize);
    Comparison comparison(m_rFs, m_oKeepAlive, source, sourceSize, content, lookUp);
    const CompareResult result = comparison.Run(destFolder, candidate);
    compared = comparison.AsRead();
    if (const std::optional<std::uint64_t>& digest = comparison.DestDigest())
        m_oIndexes.NoteDigest(m_rFs.Style(), destFolder + entry.m_strName, compared, *digest);
    if (result == CompareResult::Failed &&
        ReportFailure(owner, comparison.Error(), comparison.ErrorStatus()) == NotAllMoved)
        return CompareResult::Skipped;
    return result;
}

}  // namespace tandemere::engine
