// Command-line layer: names, defaults and typed values of the seven settings.
#include "cli/settings_values.h"

#include <cstdlib>

#include "engine/user_interface.h"

namespace tandemere::cli {

const SettingInfo kSettings[kSettingCount] = {
    {"Logging", SettingRole::Switch, 1, nullptr, nullptr, "--log / --no-log"},
    {"OnlyCompareSameExt", SettingRole::Switch, 0, nullptr, nullptr, "--only-same-ext / --all-ext"},
    {"FullPaths", SettingRole::Switch, 0, nullptr, nullptr, "--full-paths / --short-paths"},
    {"DiffFileSameNameDlgDefault", SettingRole::Answer, engine::AnswerAsk, "overwrite", "rename",
     "--different"},
    {"FldrnameFnameClashDlgDefault", SettingRole::Answer, engine::AnswerAsk, "rename-file", "rename-folder",
     "--folder-vs-file"},
    {"FnameFldrnameClashDlgDefault", SettingRole::Answer, engine::AnswerAsk, "rename-folder", "rename-file",
     "--file-vs-folder"},
    {"SameFileDiffNameDlgDefault", SettingRole::Answer, engine::AnswerAsk, "delete", "delete-rename",
     "--identical"},
};

namespace {

std::string Lower(std::string_view text) {
    std::string out;
    for (char c : text) out += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    return out;
}

std::optional<std::uint64_t> ParseUnsigned(std::string_view text) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && text[1] == 'x') {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty() || text.size() > 16) return std::nullopt;
    std::uint64_t value = 0;
    for (char c : text) {
        int digit = -1;
        if (c >= '0' && c <= '9') digit = c - '0';
        if (base == 16 && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
        if (digit < 0) return std::nullopt;
        value = value * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(digit);
    }
    return value;
}

}  // namespace

const SettingInfo* FindSetting(std::string_view name) {
    const std::string wanted = Lower(name);
    for (const SettingInfo& setting : kSettings) {
        if (Lower(setting.m_pszName) == wanted) return &setting;
    }
    return nullptr;
}

const SettingInfo& SettingNamed(std::string_view name) {
    for (const SettingInfo& setting : kSettings) {
        if (name == setting.m_pszName) return setting;
    }
    return kSettings[0];
}

std::optional<std::int32_t> ParseAnswerWord(const SettingInfo& setting, std::string_view word) {
    if (setting.m_nRole != SettingRole::Answer) return std::nullopt;
    const std::string lower = Lower(word);
    if (lower == "ask") return engine::AnswerAsk;
    if (lower == setting.m_pszFirstWord) return engine::AnswerFirst;
    if (lower == setting.m_pszSecondWord) return engine::AnswerSecond;
    if (lower == "skip") return engine::AnswerThird;
    return std::nullopt;
}

std::optional<std::uint32_t> ParseSettingValue(const SettingInfo& setting, std::string_view text) {
    const std::string lower = Lower(text);
    if (setting.m_nRole == SettingRole::Switch) {
        if (lower == "on" || lower == "true" || lower == "yes") return 1u;
        if (lower == "off" || lower == "false" || lower == "no") return 0u;
        const std::optional<std::uint64_t> number = ParseUnsigned(lower);
        if (!number || *number > 0xFFFFFFFFull) return std::nullopt;
        return static_cast<std::uint32_t>(*number);
    }
    if (const std::optional<std::int32_t> word = ParseAnswerWord(setting, lower)) {
        return static_cast<std::uint32_t>(*word);
    }
    if (lower == "-1") return static_cast<std::uint32_t>(engine::AnswerAsk);
    if (lower == "230" || lower == "231" || lower == "232") {
        return static_cast<std::uint32_t>(std::strtoul(lower.c_str(), nullptr, 10));
    }
    return std::nullopt;
}

std::string DescribeValue(const SettingInfo& setting, std::uint32_t value) {
    if (setting.m_nRole == SettingRole::Switch) return value != 0 ? "on" : "off";
    switch (static_cast<std::int32_t>(value)) {
        case engine::AnswerAsk:
            return "ask";
        case engine::AnswerFirst:
            return setting.m_pszFirstWord;
        case engine::AnswerSecond:
            return setting.m_pszSecondWord;
        case engine::AnswerThird:
            return "skip";
        case engine::AnswerCancel:
            return "cancel: ends every move";
        default:
            return "not an answer";
    }
}

std::string AcceptedValues(const SettingInfo& setting) {
    if (setting.m_nRole == SettingRole::Switch) return "a number (0 is off), on, off, true, false, yes, no";
    return std::string("ask, ") + setting.m_pszFirstWord + ", " + setting.m_pszSecondWord +
           ", skip, -1, 230, 231, 232";
}

}  // namespace tandemere::cli
