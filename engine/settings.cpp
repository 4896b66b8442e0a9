// Engine layer: reading the switches and remembered answers, and storing an answer for every move.
#include "engine/move_command.h"

namespace tandemere::engine {
namespace {

void ReadSwitch(ISettingsKey& key, const char* name, bool& field) {
    std::uint32_t value = 0;
    if (key.QueryDword(name, value) == ValueKind::Dword) field = value != 0;
}

// A value of another type counts as missing, so the field keeps -1 and the user is asked.
void ReadAnswer(ISettingsKey& key, const char* name, std::int32_t& field) {
    std::uint32_t value = 0;
    if (key.QueryDword(name, value) == ValueKind::Dword) field = static_cast<std::int32_t>(value);
}

}  // namespace

void MoveCommand::ReadSettings() {
    // Read access only: a user who may not write the key still gets its settings.
    std::unique_ptr<ISettingsKey> key = m_rSettings.OpenForRead();
    if (!key) return;
    ReadSwitch(*key, "Logging", m_bLogging);
    ReadSwitch(*key, "OnlyCompareSameExt", m_bOnlyCompareSameExt);
    ReadSwitch(*key, "FullPaths", m_bFullPaths);
    ReadAnswer(*key, "DiffFileSameNameDlgDefault", m_nDiffFileSameNameDlgDefault);
    ReadAnswer(*key, "FldrnameFnameClashDlgDefault", m_nFldrnameFnameClashDlgDefault);
    ReadAnswer(*key, "FnameFldrnameClashDlgDefault", m_nFnameFldrnameClashDlgDefault);
    ReadAnswer(*key, "SameFileDiffNameDlgDefault", m_nSameFileDiffNameDlgDefault);
}

void MoveCommand::WriteDlgDefault(WindowHandle owner, const std::string& valueName, std::int32_t answer) {
    if (answer == AnswerCancel) return;
    std::unique_ptr<ISettingsKey> key = m_rSettings.OpenForWrite();
    if (!key || !key->SetDword(valueName, static_cast<std::uint32_t>(answer)))
        m_rUi.ShowError(owner, m_rSettings.WriteErrorText());
}

}  // namespace tandemere::engine
