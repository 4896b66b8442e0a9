// Command-line layer: the words a user may type for the twelve settings values.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/settings_table.h"

namespace tandemere::cli {

// The words a user may type for an answer: for 230 and 231 (232 is always "skip"); a decision of
// two answers has no second word.
struct AnswerWords {
    engine::SettingId m_nId;
    const char* m_pszFirstWord;
    const char* m_pszSecondWord;
};

// The name a user types for a setting (`different`, `log`), beside its stored name; it is also the
// move option that sets it for one move (`--different`).
const char* ShortName(engine::SettingId id);
// The setting of a stored or short name, letter case ignored; null when there is none.
const engine::SettingInfo* FindSettingByAnyName(std::string_view name);
// Every name a setting can be given: the short names, then the stored ones.
std::vector<std::string> AllSettingNames();

// The words of an answer setting; null for a switch.
const AnswerWords* FindAnswerWords(const engine::SettingInfo& setting);

// The stored 32-bit value for a typed value: for a switch a number (decimal, or hexadecimal with
// 0x) or on/off, true/false, yes/no; for an answer -1, 230, 231, 232 or one of its words (ask,
// the two answer words, skip). Nothing when the text is none of these.
std::optional<std::uint32_t> ParseSettingValue(const engine::SettingInfo& setting, std::string_view text);
// The answer code for one of an answer's words ("overwrite" gives 230); nothing otherwise.
std::optional<std::int32_t> ParseAnswerWord(const engine::SettingInfo& setting, std::string_view word);
// What a value means: "on"/"off" for a switch; "ask", an answer word, or a note for an answer.
std::string DescribeValue(const engine::SettingInfo& setting, std::uint32_t value);
// The words an answer option takes: the two answer words, "skip" and "ask"; none for a switch.
std::vector<std::string> AnswerWordList(const engine::SettingInfo& setting);
// A value as a person reads it, with the number it is stored as: "rename (231)", "on (1)".
std::string ShowValue(const engine::SettingInfo& setting, std::uint32_t value);
// The words accepted for a setting, for messages: "ask, overwrite, rename, skip, -1, 230, 231, 232".
std::string AcceptedValues(const engine::SettingInfo& setting);

}  // namespace tandemere::cli
