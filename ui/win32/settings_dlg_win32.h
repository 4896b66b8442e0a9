// Windows user interface layer: the settings window (template 205): every switch of the settings
// table as a check box and every remembered answer as a drop-down in the prompts' words, read from
// and written to a settings store.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "engine/settings_store.h"
#include "ui/win32/dialog_base_win32.h"

namespace tandemere::win32 {

class CSettingsDlg : public CModalDialog {
public:
    // Holds the store by reference: it must outlive the window. ShowModal returns IDOK once every
    // value was written, IDCANCEL when nothing was, or 0 / -1 when the window could not be shown.
    explicit CSettingsDlg(engine::ISettingsStore& store);

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(WORD id, WORD code, HWND control) override;

private:
    // A child control in the dialog's font, placed at `rc` (pixels) after the last one in tab order.
    HWND AddControl(const wchar_t* className, const wchar_t* text, DWORD style, int id, const RECT& rc);
    // The rows of one kind of setting below the group box `group`, which grows around them; returns
    // the group box's new bottom.
    int AddSwitchRows(HWND group);
    int AddAnswerRows(HWND group, int top);
    // A labelled box of digits for the number setting at `index`, its top at `top`; the next row's top.
    int AddNumberRow(std::size_t index, int top);
    // The value the row of setting `index` shows.
    std::int32_t RowValue(std::size_t index) const;
    // Writes every row's value; false (after a box that says which value and why) when one failed.
    bool Save();

    engine::ISettingsStore& m_rStore;
    std::vector<std::int32_t> m_lstStored;  // each setting's value as read, or its default
    HWND m_hwndLast = nullptr;              // the control the next one follows in tab order
};

}  // namespace tandemere::win32
