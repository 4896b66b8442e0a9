// Platform layer (POSIX): reading and atomically rewriting the settings file.
#include "platform/posix/settings_file_posix.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>

#include "engine/path.h"
#include "platform/posix/posix_io.h"
#include "platform/posix/posix_syscalls.h"
#include "platform/posix/unique_fd.h"
#include "platform/posix/user_files_posix.h"

namespace tandemere::posix {

using engine::ErrorKind;
using engine::Status;
using engine::ValueKind;

namespace {

constexpr char kDwordPrefix[] = "dword:";

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Reads a quoted string starting at `pos` (on the opening quote), unescaping \\ and \".
bool ReadQuoted(const std::string& line, std::size_t& pos, std::string& text) {
    if (pos >= line.size() || line[pos] != '"') return false;
    text.clear();
    for (++pos; pos < line.size(); ++pos) {
        const char c = line[pos];
        if (c == '"') {
            ++pos;
            return true;
        }
        if (c == '\\') {
            if (pos + 1 >= line.size() || (line[pos + 1] != '\\' && line[pos + 1] != '"')) return false;
            text += line[++pos];
        } else {
            text += c;
        }
    }
    return false;
}

std::string Quote(const std::string& text) {
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') quoted += '\\';
        quoted += c;
    }
    return quoted + '"';
}

std::string DwordLine(const std::string& name, std::uint32_t value) {
    char digits[9];
    std::snprintf(digits, sizeof digits, "%08x", static_cast<unsigned>(value));
    return Quote(name) + "=" + kDwordPrefix + digits;
}

class SettingsFileKey : public engine::ISettingsKey {
public:
    SettingsFileKey(SettingsFileStore& store, std::vector<SettingValue> values)
        : m_rStore(store), m_lstValues(std::move(values)) {}

    ValueKind QueryDword(const std::string& name, std::uint32_t& value) override {
        for (const SettingValue& v : m_lstValues) {
            if (!engine::EqualNames(v.m_strName, name, true)) continue;
            if (v.m_nKind != SettingValue::Kind::Dword) return ValueKind::OtherType;
            value = v.m_nDword;
            return ValueKind::Dword;
        }
        return ValueKind::Missing;
    }

    bool SetDword(const std::string& name, std::uint32_t value) override {
        if (!m_rStore.SetDword(name, value).IsOk()) return false;
        for (SettingValue& v : m_lstValues)
            if (engine::EqualNames(v.m_strName, name, true)) {
                v.m_nKind = SettingValue::Kind::Dword;
                v.m_nDword = value;
                return true;
            }
        SettingValue added;
        added.m_strName = name;
        added.m_nKind = SettingValue::Kind::Dword;
        added.m_nDword = value;
        m_lstValues.push_back(added);
        return true;
    }

private:
    SettingsFileStore& m_rStore;
    std::vector<SettingValue> m_lstValues;
};

}  // namespace

std::string DefaultSettingsPath() {
    if (const char* path = std::getenv("TANDEMERE_SETTINGS"); path != nullptr && *path != 0) return path;
    return XdgBaseFolder("XDG_CONFIG_HOME", ".config") + "/tandemere/settings";
}

SettingsFileStore::SettingsFileStore(std::string path) : m_strPath(std::move(path)) {}

bool SettingsFileStore::ParseLine(const std::string& rawLine, SettingValue& value) {
    std::string line = rawLine;
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
        line.pop_back();
    std::size_t pos = 0;
    if (!ReadQuoted(line, pos, value.m_strName) || value.m_strName.empty()) return false;
    if (pos >= line.size() || line[pos] != '=') return false;
    value.m_strRaw = line.substr(pos + 1);
    value.m_nKind = SettingValue::Kind::Other;
    value.m_nDword = 0;
    value.m_strText.clear();
    const std::string& raw = value.m_strRaw;
    constexpr std::size_t kPrefix = sizeof kDwordPrefix - 1;
    if (raw.size() == kPrefix + 8 && raw.compare(0, kPrefix, kDwordPrefix) == 0) {
        std::uint32_t number = 0;
        bool ok = true;
        for (std::size_t i = kPrefix; i < raw.size() && ok; ++i) {
            const int digit = HexDigit(raw[i]);
            ok = digit >= 0;
            number = (number << 4) | static_cast<std::uint32_t>(digit < 0 ? 0 : digit);
        }
        if (ok) {
            value.m_nKind = SettingValue::Kind::Dword;
            value.m_nDword = number;
        }
        return true;
    }
    std::size_t textPos = 0;
    std::string text;
    if (ReadQuoted(raw, textPos, text) && textPos == raw.size()) {
        value.m_nKind = SettingValue::Kind::Text;
        value.m_strText = std::move(text);
    }
    return true;
}

Status SettingsFileStore::ReadLines(std::vector<std::string>& lines, bool& endsWithNewline,
                                    bool& exists) const {
    lines.clear();
    endsWithNewline = true;
    exists = false;
    UniqueFd fd(Sys().m_pfnOpenAt(AT_FDCWD, m_strPath.c_str(), O_RDONLY | O_CLOEXEC, 0));
    if (!fd.IsValid()) {
        if (errno == ENOENT) return Status::Ok();
        return StatusFromErrno(errno, m_strPath);
    }
    struct stat st;
    if (::fstat(fd.Get(), &st) != 0) return StatusFromErrno(errno, m_strPath);
    if (S_ISDIR(st.st_mode)) return StatusFromErrno(EISDIR, m_strPath);
    exists = true;
    std::string bytes;
    char buffer[8192];
    for (;;) {
        std::size_t got = 0;
        if (const int error = ReadRetry(fd.Get(), buffer, sizeof buffer, got))
            return StatusFromErrno(error, m_strPath);
        if (got == 0) break;
        bytes.append(buffer, got);
    }
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = bytes.find('\n', start);
        if (end == std::string::npos) {
            lines.push_back(bytes.substr(start));
            endsWithNewline = false;
            break;
        }
        lines.push_back(bytes.substr(start, end - start));
        start = end + 1;
    }
    return Status::Ok();
}

Status SettingsFileStore::WriteLines(const std::vector<std::string>& lines, bool endsWithNewline) {
    mode_t mode = 0644;
    struct stat st;
    if (::stat(m_strPath.c_str(), &st) == 0) mode = st.st_mode & 0777;
    std::string bytes;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        bytes += lines[i];
        if (i + 1 < lines.size() || endsWithNewline) bytes += '\n';
    }
    return ReplaceFileWhole(m_strPath, bytes, mode);
}

std::unique_ptr<engine::ISettingsKey> SettingsFileStore::OpenForRead() {
    std::vector<SettingValue> values;
    std::vector<std::string> lines;
    bool endsWithNewline = true;
    bool exists = false;
    if (!ReadLines(lines, endsWithNewline, exists).IsOk() || !exists) return nullptr;
    if (!List(values).IsOk()) return nullptr;
    return std::make_unique<SettingsFileKey>(*this, std::move(values));
}

std::unique_ptr<engine::ISettingsKey> SettingsFileStore::OpenForWrite() {
    std::vector<std::string> lines;
    bool endsWithNewline = true;
    bool exists = false;
    if (m_oWriteError = ReadLines(lines, endsWithNewline, exists); !m_oWriteError) return nullptr;
    if (!exists) {
        if (!MakeFolders(FolderOf(m_strPath))) return FailedToWrite(errno);
        UniqueFd fd(Sys().m_pfnOpenAt(AT_FDCWD, m_strPath.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
        if (!fd.IsValid()) return FailedToWrite(errno);
    } else if (::access(m_strPath.c_str(), W_OK) != 0 || ::access(FolderOf(m_strPath).c_str(), W_OK) != 0) {
        // The replacement needs a new name in the folder as well as the file itself.
        return FailedToWrite(errno);
    }
    std::vector<SettingValue> values;
    if (m_oWriteError = List(values); !m_oWriteError) return nullptr;
    return std::make_unique<SettingsFileKey>(*this, std::move(values));
}

std::unique_ptr<engine::ISettingsKey> SettingsFileStore::FailedToWrite(int error) {
    m_oWriteError = StatusFromErrno(error, m_strPath);
    return nullptr;
}

std::string SettingsFileStore::WriteErrorText() const {
    std::string text = "Error writing to settings file \"" + m_strPath + "\"";
    if (!m_oWriteError) text += ": " + ReasonText(m_oWriteError);
    return text;
}

Status SettingsFileStore::List(std::vector<SettingValue>& values) const {
    values.clear();
    std::vector<std::string> lines;
    bool endsWithNewline = true;
    bool exists = false;
    if (Status status = ReadLines(lines, endsWithNewline, exists); !status) return status;
    for (const std::string& line : lines) {
        SettingValue value;
        if (!ParseLine(line, value)) continue;
        bool seen = false;
        for (const SettingValue& v : values)
            seen = seen || engine::EqualNames(v.m_strName, value.m_strName, true);
        if (!seen) values.push_back(std::move(value));
    }
    return Status::Ok();
}

Status SettingsFileStore::Get(const std::string& name, SettingValue& value) const {
    std::vector<SettingValue> values;
    if (Status status = List(values); !status) return status;
    for (SettingValue& v : values)
        if (engine::EqualNames(v.m_strName, name, true)) {
            value = std::move(v);
            return Status::Ok();
        }
    return Status(ErrorKind::NotFound, ENOENT, m_strPath);
}

Status SettingsFileStore::SetDword(const std::string& name, std::uint32_t value) {
    std::vector<std::string> lines;
    bool endsWithNewline = true;
    bool exists = false;
    if (Status status = ReadLines(lines, endsWithNewline, exists); !status) return status;
    std::vector<std::string> written;
    bool replaced = false;
    for (const std::string& line : lines) {
        SettingValue parsed;
        if (ParseLine(line, parsed) && engine::EqualNames(parsed.m_strName, name, true)) {
            if (!replaced) written.push_back(DwordLine(parsed.m_strName, value));
            replaced = true;
            continue;
        }
        written.push_back(line);
    }
    if (!replaced) {
        written.push_back(DwordLine(name, value));
        endsWithNewline = true;
    }
    m_oWriteError = WriteLines(written, endsWithNewline);
    return m_oWriteError;
}

Status SettingsFileStore::Unset(const std::string& name) {
    std::vector<std::string> lines;
    bool endsWithNewline = true;
    bool exists = false;
    if (Status status = ReadLines(lines, endsWithNewline, exists); !status) return status;
    std::vector<std::string> kept;
    for (const std::string& line : lines) {
        SettingValue parsed;
        if (ParseLine(line, parsed) && engine::EqualNames(parsed.m_strName, name, true)) continue;
        kept.push_back(line);
    }
    if (kept.size() == lines.size()) return Status::Ok();
    return WriteLines(kept, endsWithNewline);
}

}  // namespace tandemere::posix
