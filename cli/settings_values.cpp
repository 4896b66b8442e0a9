// Command-line layer: names, defaults and typed values of the twelve settings.
#include "cli/settings_values.h"

#include <cstdlib>

#include "engine/user_interface.h"

namespace tandemere::cli {

namespace {

const AnswerWords kAnswerWords[] = {
    {engine::SettingId::DiffFileSameNameDlgDefault, "overwrite", "rename"},
    {engine::SettingId::FldrnameFnameClashDlgDefault, "rename-file", "rename-folder"},
    {engine::SettingId::FnameFldrnameClashDlgDefault, "rename-folder", "rename-file"},
    {engine::SettingId::SameFileDiffNameDlgDefault, "delete", "delete-rename"},
    {engine::SettingId::SameFileElsewhereDlgDefault, "delete", nullptr},
};

struct ShortSettingName {
    engine::SettingId m_nId;
    const char* m_pszName;
};

const ShortSettingName kShortNames[] = {
    {engine::SettingId::DiffFileSameNameDlgDefault, "different"},
    {engine::SettingId::SameFileDiffNameDlgDefault, "identical"},
    {engine::SettingId::FnameFldrnameClashDlgDefault, "file-vs-folder"},
    {engine::SettingId::FldrnameFnameClashDlgDefault, "folder-vs-file"},
    {engine::SettingId::Logging, "log"},
    {engine::SettingId::FullPaths, "full-paths"},
    {engine::SettingId::OnlyCompareSameExt, "only-same-ext"},
    {engine::SettingId::DeleteToRecycleBin, "trash"},
    {engine::SettingId::SameFileElsewhereDlgDefault, "elsewhere"},
    {engine::SettingId::SearchWholeDestination, "search-tree"},
    {engine::SettingId::KeepJournalDays, "journal-days"},
    {engine::SettingId::KeepJournalCount, "journal-count"},
};

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

const char* ShortName(engine::SettingId id) {
    for (const ShortSettingName& name : kShortNames)
        if (name.m_nId == id) return name.m_pszName;
    return "";
}

const engine::SettingInfo* FindSettingByAnyName(std::string_view name) {
    const std::string lower = Lower(name);
    for (const ShortSettingName& known : kShortNames)
        if (lower == known.m_pszName) return &engine::GetSetting(known.m_nId);
    return engine::FindSetting(name);
}

std::vector<std::string> AllSettingNames() {
    std::vector<std::string> names;
    for (const ShortSettingName& known : kShortNames) names.emplace_back(known.m_pszName);
    for (const engine::SettingInfo& setting : engine::kSettings) names.emplace_back(setting.m_pszName);
    return names;
}

std::vector<std::string> AnswerWordList(const engine::SettingInfo& setting) {
    const AnswerWords* words = FindAnswerWords(setting);
    if (words == nullptr) return {};
    if (words->m_pszSecondWord == nullptr) return {words->m_pszFirstWord, "skip", "ask"};
    return {words->m_pszFirstWord, words->m_pszSecondWord, "skip", "ask"};
}

std::string ShowValue(const engine::SettingInfo& setting, std::uint32_t value) {
    if (setting.m_nKind == engine::SettingKind::Number) return DescribeValue(setting, value);
    const std::string number = setting.m_nKind == engine::SettingKind::Answer
                                   ? std::to_string(static_cast<std::int32_t>(value))
                                   : std::to_string(value);
    return DescribeValue(setting, value) + " (" + number + ")";
}

const AnswerWords* FindAnswerWords(const engine::SettingInfo& setting) {
    for (const AnswerWords& words : kAnswerWords) {
        if (words.m_nId == setting.m_nId) return &words;
    }
    return nullptr;
}

std::optional<std::int32_t> ParseAnswerWord(const engine::SettingInfo& setting, std::string_view word) {
    const AnswerWords* words = FindAnswerWords(setting);
    if (words == nullptr) return std::nullopt;
    const std::string lower = Lower(word);
    if (lower == "ask") return engine::AnswerAsk;
    if (lower == words->m_pszFirstWord) return engine::AnswerFirst;
    if (words->m_pszSecondWord != nullptr && lower == words->m_pszSecondWord) return engine::AnswerSecond;
    if (lower == "skip") return engine::AnswerThird;
    return std::nullopt;
}

std::optional<std::uint32_t> ParseSettingValue(const engine::SettingInfo& setting, std::string_view text) {
    const std::string lower = Lower(text);
    if (setting.m_nKind == engine::SettingKind::Number) {
        const std::optional<std::uint64_t> number = ParseUnsigned(lower);
        if (!number || *number > 0x7FFFFFFFull) return std::nullopt;
        return static_cast<std::uint32_t>(*number);
    }
    if (setting.m_nKind == engine::SettingKind::Switch) {
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
    if (lower.size() != 3 || lower.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
    const auto answer = static_cast<std::int32_t>(std::strtol(lower.c_str(), nullptr, 10));
    if (!engine::IsAnswerOf(setting.m_nId, answer)) return std::nullopt;
    return static_cast<std::uint32_t>(answer);
}

std::string DescribeValue(const engine::SettingInfo& setting, std::uint32_t value) {
    if (setting.m_nKind == engine::SettingKind::Number)
        return std::to_string(value) +
               (setting.m_nId == engine::SettingId::KeepJournalDays ? " days" : " moves");
    const AnswerWords* words = FindAnswerWords(setting);
    if (words == nullptr) return value != 0 ? "on" : "off";
    const auto answer = static_cast<std::int32_t>(value);
    if (answer != engine::AnswerAsk && answer != engine::AnswerCancel &&
        !engine::IsAnswerOf(setting.m_nId, answer))
        return "not an answer";
    switch (answer) {
        case engine::AnswerAsk:
            return "ask";
        case engine::AnswerFirst:
            return words->m_pszFirstWord;
        case engine::AnswerSecond:
            return words->m_pszSecondWord;
        case engine::AnswerThird:
            return "skip";
        case engine::AnswerCancel:
            return "cancel: ends every move";
        default:
            return "not an answer";
    }
}

std::string AcceptedValues(const engine::SettingInfo& setting) {
    const AnswerWords* words = FindAnswerWords(setting);
    if (setting.m_nKind == engine::SettingKind::Number) return "a whole number from 0 to 2147483647";
    if (words == nullptr) return "a number (0 is off), on, off, true, false, yes, no";
    if (words->m_pszSecondWord == nullptr)
        return std::string("ask, ") + words->m_pszFirstWord + ", skip, -1, 230, 232";
    return std::string("ask, ") + words->m_pszFirstWord + ", " + words->m_pszSecondWord +
           ", skip, -1, 230, 231, 232";
}

}  // namespace tandemere::cli
