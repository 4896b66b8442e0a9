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

// The seconds since 1970 (UTC) at which a journal named "20261210T225359..." began; -1 when the name
// has no time's shape. Days from the civil date, so both platforms count alike.
std::int64_t NameSeconds(const std::string& name) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (std::sscanf(name.c_str(), "%4d%2d%2dT%2d%2d%2d", &year, &month, &day, &hour, &minute, &second) != 6 ||
        month < 1 || month > 12 || day < 1 || day > 31)
        return -1;
    const int y = year - (month <= 2 ? 1 : 0);
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yearOfEra = y - era * 400;
    const int dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    const std::int64_t days = static_cast<std::int64_t>(era) * 146097 + dayOfEra - 719468;
    return days * 86400 + hour * 3600 + minute * 60 + second;
}

}  // namespace

std::vector<std::string> JournalsToPrune(const std::vector<std::string>& names, const std::string& now,
                                         std::uint32_t maxDays, std::uint32_t maxCount) {
    std::vector<std::string> pruned;
    const std::int64_t oldest = NameSeconds(now) - static_cast<std::int64_t>(maxDays) * 86400;
    // The move's own journal, and any begun since, stay whatever the limits.
    std::size_t earlier = 0;
    while (earlier < names.size() && names[earlier] < now) ++earlier;
    for (std::size_t i = 0; i < earlier; ++i) {
        const bool beyondCount = earlier - i > maxCount;
        const std::int64_t began = NameSeconds(names[i]);
        if (beyondCount || (began >= 0 && began < oldest)) pruned.push_back(names[i]);
    }
    return pruned;
}

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
