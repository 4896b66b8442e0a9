// Engine layer: the table of the twelve settings values.
#include "engine/settings_table.h"

#include "engine/move_command.h"

namespace tandemere::engine {

const SettingInfo kSettings[kSettingCount] = {
    {SettingId::Logging, "Logging", SettingKind::Switch, 1, &MoveCommand::m_bLogging, nullptr},
    {SettingId::OnlyCompareSameExt, "OnlyCompareSameExt", SettingKind::Switch, 0,
     &MoveCommand::m_bOnlyCompareSameExt, nullptr},
    {SettingId::FullPaths, "FullPaths", SettingKind::Switch, 0, &MoveCommand::m_bFullPaths, nullptr},
    {SettingId::DiffFileSameNameDlgDefault, "DiffFileSameNameDlgDefault", SettingKind::Answer, AnswerAsk,
     nullptr, &MoveCommand::m_nDiffFileSameNameDlgDefault},
    {SettingId::FldrnameFnameClashDlgDefault, "FldrnameFnameClashDlgDefault", SettingKind::Answer, AnswerAsk,
     nullptr, &MoveCommand::m_nFldrnameFnameClashDlgDefault},
    {SettingId::FnameFldrnameClashDlgDefault, "FnameFldrnameClashDlgDefault", SettingKind::Answer, AnswerAsk,
     nullptr, &MoveCommand::m_nFnameFldrnameClashDlgDefault},
    {SettingId::SameFileDiffNameDlgDefault, "SameFileDiffNameDlgDefault", SettingKind::Answer, AnswerAsk,
     nullptr, &MoveCommand::m_nSameFileDiffNameDlgDefault},
    {SettingId::DeleteToRecycleBin, "DeleteToRecycleBin", SettingKind::Switch, 0,
     &MoveCommand::m_bDeleteToRecycleBin, nullptr},
    {SettingId::SearchWholeDestination, "SearchWholeDestination", SettingKind::Switch, 0,
     &MoveCommand::m_bSearchWholeDestination, nullptr},
    {SettingId::SameFileElsewhereDlgDefault, "SameFileElsewhereDlgDefault", SettingKind::Answer, AnswerAsk,
     nullptr, &MoveCommand::m_nSameFileElsewhereDlgDefault},
    {SettingId::KeepJournalDays, "KeepJournalDays", SettingKind::Number, kJournalDays, nullptr,
     &MoveCommand::m_nJournalDays},
    {SettingId::KeepJournalCount, "KeepJournalCount", SettingKind::Number, kJournalCount, nullptr,
     &MoveCommand::m_nJournalCount},
};

const SettingInfo& GetSetting(SettingId id) {
    return kSettings[static_cast<int>(id)];
}

const SettingInfo* FindSetting(std::string_view name) {
    const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
    for (const SettingInfo& setting : kSettings) {
        const std::string_view candidate = setting.m_pszName;
        if (candidate.size() != name.size()) continue;
        bool same = true;
        for (std::size_t i = 0; same && i < name.size(); ++i) same = lower(candidate[i]) == lower(name[i]);
        if (same) return &setting;
    }
    return nullptr;
}

bool IsAnswerOf(SettingId id, std::int32_t answer) {
    if (answer == AnswerSecond) return id != SettingId::SameFileElsewhereDlgDefault;
    return answer == AnswerFirst || answer == AnswerThird;
}

}  // namespace tandemere::engine
