// Engine layer: the journal's line format: a word, then tab-separated fields with "\\", tab and line
// ends escaped, so any path fits on one line.
#include "engine/journal.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace tandemere::engine {
namespace {

constexpr std::array<std::pair<JournalKind, std::string_view>, 14> kWords = {{
    {JournalKind::Header, "journal"},
    {JournalKind::Started, "started"},
    {JournalKind::Source, "source"},
    {JournalKind::Destination, "destination"},
    {JournalKind::Moved, "moved"},
    {JournalKind::Copied, "copied"},
    {JournalKind::Renamed, "renamed"},
    {JournalKind::Duplicate, "duplicate"},
    {JournalKind::Trashed, "trashed"},
    {JournalKind::Overwritten, "overwritten"},
    {JournalKind::Deleted, "deleted"},
    {JournalKind::FolderCreated, "folder-created"},
    {JournalKind::FolderRemoved, "folder-removed"},
    {JournalKind::Undone, "undone"},
}};

void AppendEscaped(std::string& line, std::string_view field) {
    for (const char c : field) {
        switch (c) {
            case '\\':
                line += "\\\\";
                break;
            case '\t':
                line += "\\t";
                break;
            case '\n':
                line += "\\n";
                break;
            case '\r':
                line += "\\r";
                break;
            default:
                line += c;
        }
    }
}

// The fields of one line (without its end), unescaped.
std::vector<std::string> SplitFields(std::string_view line) {
    std::vector<std::string> fields(1);
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '\t') {
            fields.emplace_back();
        } else if (c == '\\' && i + 1 < line.size()) {
            const char next = line[++i];
            fields.back() += next == 't' ? '\t' : next == 'n' ? '\n' : next == 'r' ? '\r' : next;
        } else {
            fields.back() += c;
        }
    }
    return fields;
}

}  // namespace

std::string_view JournalWord(JournalKind kind) {
    for (const auto& [each, word] : kWords)
        if (each == kind) return word;
    return "unknown";
}

std::string FormatJournalLine(JournalKind kind, const std::vector<std::string>& fields) {
    std::string line(JournalWord(kind));
    for (const std::string& field : fields) {
        line += '\t';
        AppendEscaped(line, field);
    }
    line += '\n';
    return line;
}

std::vector<JournalRecord> ParseJournal(std::string_view text) {
    std::vector<JournalRecord> records;
    std::size_t start = 0;
    for (std::size_t end = text.find('\n'); end != std::string_view::npos;
         start = end + 1, end = text.find('\n', start)) {
        std::vector<std::string> fields = SplitFields(text.substr(start, end - start));
        JournalRecord record;
        for (const auto& [kind, word] : kWords)
            if (fields.front() == word) record.m_nKind = kind;
        if (fields.front().empty()) continue;
        fields.erase(fields.begin());
        record.m_lstFields = std::move(fields);
        records.push_back(std::move(record));
    }
    return records;
}

std::vector<std::string> JournalFields(std::vector<std::string> paths, const DirEntry& entry) {
    paths.emplace_back(entry.m_bLink ? "link" : entry.m_bDirectory ? "folder" : "file");
    paths.push_back(std::to_string(entry.m_nSize));
    paths.push_back(std::to_string(entry.m_nLastWriteTime));
    char mode[16];
    std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(entry.m_nMode & 07777));
    paths.emplace_back(mode);
    return paths;
}

bool ParseJournalEntry(const std::vector<std::string>& fields, std::size_t first, DirEntry& entry) {
    if (fields.size() < first + 4) return false;
    const std::string& kind = fields[first];
    entry.m_bLink = kind == "link";
    entry.m_bDirectory = kind == "folder";
    if (!entry.m_bLink && !entry.m_bDirectory && kind != "file") return false;
    char* end = nullptr;
    entry.m_nSize = std::strtoull(fields[first + 1].c_str(), &end, 10);
    entry.m_nLastWriteTime = std::strtoull(fields[first + 2].c_str(), &end, 10);
    entry.m_nMode = static_cast<std::uint32_t>(std::strtoul(fields[first + 3].c_str(), &end, 8));
    return true;
}

Status WriteJournalHeader(IJournalFile& file, const std::string& time, const std::string& version,
                          const std::string& destination, const std::vector<std::string>& sources) {
    Status written = file.AppendLine(FormatJournalLine(JournalKind::Header, {kJournalFormat}));
    if (written) written = file.AppendLine(FormatJournalLine(JournalKind::Started, {time, version}));
    if (written) written = file.AppendLine(FormatJournalLine(JournalKind::Destination, {destination}));
    for (const std::string& source : sources)
        if (written) written = file.AppendLine(FormatJournalLine(JournalKind::Source, {source}));
    return written;
}

bool JournalWriter::Write(JournalKind kind, std::vector<std::string> fields) {
    if (!IsOn()) return false;
    m_oFailure = m_pFile->AppendLine(FormatJournalLine(kind, fields));
    return !m_oFailure.IsOk();
}

}  // namespace tandemere::engine
