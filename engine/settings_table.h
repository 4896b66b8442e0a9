// Engine layer: the twelve settings values: their names, kinds, defaults and the field of a move
// each one fills. Reading, the decision points and the command-line tool all go by this table.
#pragma once

#include <cstdint>
#include <string_view>

namespace tandemere::engine {

class MoveCommand;

enum class SettingKind : std::uint8_t { Switch, Answer, Number };

// How long and how many journals of moves are kept, while no setting says otherwise.
inline constexpr std::int32_t kJournalDays = 30;
inline constexpr std::int32_t kJournalCount = 100;

// In reading order: the three switches, the four remembered answers, the trash switch, then the
// search of the whole destination tree and its remembered answer, then how long and how many journals
// of moves are kept.
enum class SettingId : std::uint8_t {
    Logging,
    OnlyCompareSameExt,
    FullPaths,
    DiffFileSameNameDlgDefault,
    FldrnameFnameClashDlgDefault,
    FnameFldrnameClashDlgDefault,
    SameFileDiffNameDlgDefault,
    DeleteToRecycleBin,
    SearchWholeDestination,
    SameFileElsewhereDlgDefault,
    KeepJournalDays,
    KeepJournalCount,
};

struct SettingInfo {
    SettingId m_nId;
    const char* m_pszName;  // the value's name in the registry key or settings file
    SettingKind m_nKind;
    std::int32_t m_nDefault;  // what governs while no value of this name is stored
    // The field it fills: a switch's flag, or an answer's remembered value or a number; the other is null.
    bool MoveCommand::*m_pSwitch;
    std::int32_t MoveCommand::*m_pAnswer;
};

inline constexpr int kSettingCount = 12;
extern const SettingInfo kSettings[kSettingCount];

const SettingInfo& GetSetting(SettingId id);
// The setting of this name, letter case ignored (as the registry does); null when there is none.
const SettingInfo* FindSetting(std::string_view name);
// Whether `answer` is one the decision of `id` acts on: 230, 231 or 232, but for a decision of two
// answers (delete or leave) 230 and 232 only. Anything else stored is forgotten and the user asked.
bool IsAnswerOf(SettingId id, std::int32_t answer);

}  // namespace tandemere::engine
