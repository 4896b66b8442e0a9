// Command-line layer: listing and editing the settings file.
#include "cli/settings_command.h"

#include <sys/stat.h>
#include <unistd.h>

#include "cli/move_run.h"
#include "cli/settings_values.h"
#include "engine/text_format.h"
#include "platform/posix/settings_file_posix.h"
#include "ui/tty/terminal_posix.h"

namespace tandemere::cli {

namespace {

using engine::FormatText;

void Complain(const std::string& text) {
    tty::WriteAll(STDERR_FILENO, "tandemere: " + text + "\n");
}

std::string Padded(std::string text, std::size_t width) {
    if (text.size() < width) text.append(width - text.size(), ' ');
    return text;
}

std::string AllNames() {
    std::string names;
    for (const engine::SettingInfo& setting : engine::kSettings)
        names += (names.empty() ? "" : ", ") + std::string(ShortName(setting.m_nId));
    return names;
}

const engine::SettingInfo* NamedOrComplain(const std::string& name) {
    const engine::SettingInfo* setting = FindSettingByAnyName(name);
    if (setting == nullptr)
        Complain(FormatText("there is no setting \"%s\"; the settings are %s (or their stored names)",
                            {name, AllNames()}));
    return setting;
}

// One setting's value as it governs a move now, and where it comes from; `status` turns to
// kExitStopped when the file can't be read.
std::uint32_t ReadValue(posix::SettingsFileStore& store, const engine::SettingInfo& setting,
                        std::string& from, int& status) {
    from = "default";
    posix::SettingValue stored;
    const engine::Status got = store.Get(setting.m_pszName, stored);
    if (got.IsOk() && stored.m_nKind == posix::SettingValue::Kind::Dword) {
        from = "file";
        return stored.m_nDword;
    }
    if (got.IsOk()) {
        from = "default (the file's value " + stored.m_strRaw + " is not a dword: ignored)";
    } else if (got.Kind() != engine::ErrorKind::NotFound) {
        from = "default (the file can't be read: " + got.Describe() + ")";
        status = kExitStopped;
    }
    return static_cast<std::uint32_t>(setting.m_nDefault);
}

}  // namespace

int ListSettings(const std::string& path) {
    posix::SettingsFileStore store(path);
    struct stat info {};
    const bool exists = ::stat(path.c_str(), &info) == 0;
    std::string text =
        "Settings file: " + path + (exists ? "" : " (not there: every value is its default)") + "\n";
    text += Padded("NAME", 16) + Padded("STORED AS", 30) + Padded("VALUE", 24) + "FROM\n";
    int status = kExitFinished;
    for (const engine::SettingInfo& setting : engine::kSettings) {
        std::string from;
        const std::uint32_t value = ReadValue(store, setting, from, status);
        text += Padded(ShortName(setting.m_nId), 16) + Padded(setting.m_pszName, 30) +
                Padded(ShowValue(setting, value), 24) + from + "\n";
    }
    tty::WriteAll(STDOUT_FILENO, text);
    return status;
}

int GetSettingValue(const std::string& path, const std::string& name) {
    const engine::SettingInfo* setting = NamedOrComplain(name);
    if (setting == nullptr) return kExitUsage;
    posix::SettingsFileStore store(path);
    std::string from;
    int status = kExitFinished;
    const std::uint32_t value = ReadValue(store, *setting, from, status);
    tty::WriteAll(STDOUT_FILENO, ShowValue(*setting, value) + "  from " + from + "\n");
    return status;
}

int SetSetting(const std::string& path, const std::string& name, const std::string& value) {
    const engine::SettingInfo* setting = NamedOrComplain(name);
    if (setting == nullptr) return kExitUsage;
    const std::optional<std::uint32_t> number = ParseSettingValue(*setting, value);
    if (!number) {
        Complain(FormatText("\"%s\" is not a value for %s; use %s",
                            {value, setting->m_pszName, AcceptedValues(*setting)}));
        return kExitUsage;
    }
    posix::SettingsFileStore store(path);
    const engine::Status written = store.SetDword(setting->m_pszName, *number);
    if (!written.IsOk()) {
        Complain(store.WriteErrorText() + ": " + written.Describe());
        return kExitStopped;
    }
    tty::WriteAll(STDOUT_FILENO, FormatText("Stored %s = %s in %s\n",
                                            {setting->m_pszName, ShowValue(*setting, *number), path}));
    return kExitFinished;
}

int UnsetSetting(const std::string& path, const std::string& name) {
    const engine::SettingInfo* setting = NamedOrComplain(name);
    if (setting == nullptr) return kExitUsage;
    posix::SettingsFileStore store(path);
    const engine::Status written = store.Unset(setting->m_pszName);
    if (!written.IsOk()) {
        Complain(store.WriteErrorText() + ": " + written.Describe());
        return kExitStopped;
    }
    return kExitFinished;
}

}  // namespace tandemere::cli
