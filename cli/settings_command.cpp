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
        names += (names.empty() ? "" : ", ") + std::string(setting.m_pszName);
    return names;
}

std::string Shown(const engine::SettingInfo& setting, std::uint32_t value) {
    return setting.m_nKind == engine::SettingKind::Answer ? std::to_string(static_cast<std::int32_t>(value))
                                                          : std::to_string(value);
}

const engine::SettingInfo* NamedOrComplain(const std::string& name) {
    const engine::SettingInfo* setting = engine::FindSetting(name);
    if (setting == nullptr)
        Complain(FormatText("there is no setting \"%s\"; the settings are %s", {name, AllNames()}));
    return setting;
}

}  // namespace

int ListSettings(const std::string& path) {
    posix::SettingsFileStore store(path);
    struct stat info {};
    const bool exists = ::stat(path.c_str(), &info) == 0;
    std::string text =
        "Settings file: " + path + (exists ? "" : " (not there: every value is its default)") + "\n";
    text += Padded("NAME", 30) + Padded("VALUE", 8) + Padded("MEANING", 16) + "FROM\n";
    int status = kExitFinished;
    for (const engine::SettingInfo& setting : engine::kSettings) {
        auto value = static_cast<std::uint32_t>(setting.m_nDefault);
        std::string from = "default";
        posix::SettingValue stored;
        const engine::Status got = store.Get(setting.m_pszName, stored);
        if (got.IsOk() && stored.m_nKind == posix::SettingValue::Kind::Dword) {
            value = stored.m_nDword;
            from = "file";
        } else if (got.IsOk()) {
            from = "default (the file's value " + stored.m_strRaw + " is not a dword: ignored)";
        } else if (got.Kind() != engine::ErrorKind::NotFound) {
            from = "default (the file can't be read: " + got.Describe() + ")";
            status = kExitStopped;
        }
        text += Padded(setting.m_pszName, 30) + Padded(Shown(setting, value), 8) +
                Padded(DescribeValue(setting, value), 16) + from + "\n";
    }
    tty::WriteAll(STDOUT_FILENO, text);
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
