// Platform layer (POSIX): the settings store as a text file of registry-export style value lines.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/settings_store.h"
#include "engine/status.h"

namespace tandemere::posix {

// $TANDEMERE_SETTINGS if set, else $XDG_CONFIG_HOME/tandemere/settings, else
// ~/.config/tandemere/settings.
std::string DefaultSettingsPath();

// One value line of the file.
struct SettingValue {
    enum class Kind : std::uint8_t { Dword, Text, Other };
    std::string m_strName;  // as written in the file (names match ignoring ASCII case)
    Kind m_nKind = Kind::Other;
    std::uint32_t m_nDword = 0;  // Dword only
    std::string m_strText;       // Text only, unescaped
    std::string m_strRaw;        // everything after the '=' as it stands in the file
};

// The settings file: `"Name"=dword:0000001e` for a 32-bit value, `"Name"="text"` for a string,
// anything else after `"Name"=` is a value of another type; other lines are kept untouched.
// No file means the key does not exist. Every write replaces the file atomically (temporary file
// in the same folder, flushed, renamed over it) and keeps every other line.
class SettingsFileStore : public engine::ISettingsStore {
public:
    explicit SettingsFileStore(std::string path);

    // Null when the file does not exist or cannot be read; the key holds what was read at open.
    std::unique_ptr<engine::ISettingsKey> OpenForRead() override;
    // Creates the folder and an empty file when missing; null when that fails.
    std::unique_ptr<engine::ISettingsKey> OpenForWrite() override;
    // "Error writing to settings file "<path>"", and the system's reason of the last failed write.
    std::string WriteErrorText() const override;

    // Every value line in file order (the first line wins for a name given twice). A missing
    // file gives Ok and an empty list; an unreadable one its error.
    engine::Status List(std::vector<SettingValue>& values) const;
    // One value; NotFound when the file or the value is missing.
    engine::Status Get(const std::string& name, SettingValue& value) const;
    // Sets a 32-bit value: its line replaced in place (later duplicates dropped) or appended.
    engine::Status SetDword(const std::string& name, std::uint32_t value);
    // Removes a value's lines; Ok (and no write) when it was not there.
    engine::Status Unset(const std::string& name);

    // Parses one line; false when it is not a value line.
    static bool ParseLine(const std::string& line, SettingValue& value);

private:
    engine::Status ReadLines(std::vector<std::string>& lines, bool& endsWithNewline, bool& exists) const;
    engine::Status WriteLines(const std::vector<std::string>& lines, bool endsWithNewline);
    // Keeps the reason of a failed opening for writing; always null.
    std::unique_ptr<engine::ISettingsKey> FailedToWrite(int error);

    std::string m_strPath;
    engine::Status m_oWriteError;  // of the last write, for WriteErrorText
};

}  // namespace tandemere::posix
