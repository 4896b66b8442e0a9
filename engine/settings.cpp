// Engine layer: reading the switches and remembered answers, and storing an answer for every move.
#include "engine/move_command.h"
#include "engine/settings_table.h"

namespace tandemere::engine {
void MoveCommand::ReadSettings() {
    // Read access only: a user who may not write the key still gets its settings.
    m_lstStoredAnswers.clear();
    // Every value starts from its default, so nothing an earlier run read carries over.
    for (const SettingInfo& setting : kSettings) {
        if (setting.m_nKind == SettingKind::Switch)
            this->*setting.m_pSwitch = setting.m_nDefault != 0;
        else
            this->*setting.m_pAnswer = setting.m_nDefault;
    }
    std::unique_ptr<ISettingsKey> key = m_rSettings.OpenForRead();
    if (!key) return;
    for (const SettingInfo& setting : kSettings) {
        // A value of another type counts as missing: the field keeps what it holds (an answer
        // keeps -1, so the user is asked).
        std::uint32_t value = 0;
        if (key->QueryDword(setting.m_pszName, value) != ValueKind::Dword) continue;
        if (setting.m_nKind == SettingKind::Switch)
            this->*setting.m_pSwitch = value != 0;
        else
            this->*setting.m_pAnswer = static_cast<std::int32_t>(value);
        if (setting.m_nKind == SettingKind::Answer && !key->GivenForThisRun(setting.m_pszName))
            m_lstStoredAnswers.insert(setting.m_pszName);
    }
}

void MoveCommand::WriteDlgDefault(WindowHandle owner, const std::string& valueName, std::int32_t answer) {
    if (answer == AnswerCancel) return;
    std::unique_ptr<ISettingsKey> key = m_rSettings.OpenForWrite();
    if (!key || !key->SetDword(valueName, static_cast<std::uint32_t>(answer))) {
        m_bSettingsNotWritten = true;
        m_rUi.ShowError(owner, m_rSettings.WriteErrorText());
    }
}

}  // namespace tandemere::engine
