// Command-line layer: the seven settings values by name, their defaults, and the words a user may
// type for them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tandemere::cli {

enum class SettingRole : std::uint8_t { Switch, Answer };

struct SettingInfo {
    const char* m_pszName;
    SettingRole m_nRole;
    std::int32_t m_nDefault;
    // For an answer: the words for 230 and 231 (232 is always "skip"), and the move option
    // that gives it in advance.
    const char* m_pszFirstWord;
    const char* m_pszSecondWord;
    const char* m_pszOption;
};

inline constexpr int kSettingCount = 7;
// In the order the engine reads them: the three switches, then the four answers.
extern const SettingInfo kSettings[kSettingCount];

// The setting of this name, letter case ignored; null when there is none.
const SettingInfo* FindSetting(std::string_view name);
// A setting by its exact name, which must exist.
const SettingInfo& SettingNamed(std::string_view name);

// The stored 32-bit value for a typed value: for a switch a number (decimal, or hexadecimal with
// 0x) or on/off, true/false, yes/no; for an answer -1, 230, 231, 232 or one of its words (ask,
// the two answer words, skip). Nothing when the text is none of these.
std::optional<std::uint32_t> ParseSettingValue(const SettingInfo& setting, std::string_view text);
// The answer code for one of an answer's words ("overwrite" gives 230); nothing otherwise.
std::optional<std::int32_t> ParseAnswerWord(const SettingInfo& setting, std::string_view word);
// What a value means: "on"/"off" for a switch; "ask", an answer word, or a note for an answer.
std::string DescribeValue(const SettingInfo& setting, std::uint32_t value);
// The words accepted for a setting, for messages: "ask, overwrite, rename, skip, -1, 230, 231, 232".
std::string AcceptedValues(const SettingInfo& setting);

}  // namespace tandemere::cli
