// Window tests: the settings window: a row for every setting of the table showing the stored value,
// OK writes what the rows show, Cancel and Escape write nothing, a failed write says which value.
#include "ui/win32/settings_dlg_win32.h"

#include <gtest/gtest.h>

#include <iterator>
#include <optional>
#include <vector>

#include "engine/settings_table.h"
#include "engine/user_interface.h"
#include "platform/win32/settings_registry_win32.h"
#include "res/resource.h"
#include "tests/ui/window_driver.h"
#include "ui/win32/ui_text_win32.h"

namespace tandemere::win32 {
namespace {

using uitest::RunModal;
using uitest::WindowText;

constexpr const wchar_t* kKey = L"Software\\TandemereSettingsWindowTest";
constexpr DWORD kAsk = 0xFFFFFFFF;

int RowId(engine::SettingId id) {
    return IDC_SETTING_FIRST + static_cast<int>(id);
}

std::optional<DWORD> Stored(engine::SettingId id) {
    DWORD value = 0;
    DWORD size = sizeof(value);
    const std::wstring name = ui::Widen(engine::GetSetting(id).m_pszName);
    if (::RegGetValueW(HKEY_CURRENT_USER, kKey, name.c_str(), RRF_RT_REG_DWORD, nullptr, &value, &size) !=
        ERROR_SUCCESS)
        return std::nullopt;
    return value;
}

std::vector<std::wstring> ListItems(HWND list) {
    std::vector<std::wstring> items;
    for (LRESULT at = 0; at < ::SendMessageW(list, CB_GETCOUNT, 0, 0); ++at) {
        wchar_t text[128] = {};
        ::SendMessageW(list, CB_GETLBTEXT, at, reinterpret_cast<LPARAM>(text));
        items.emplace_back(text);
    }
    return items;
}

std::wstring Selected(HWND list) {
    const LRESULT at = ::SendMessageW(list, CB_GETCURSEL, 0, 0);
    return at == CB_ERR ? std::wstring() : ListItems(list)[static_cast<std::size_t>(at)];
}

// Every setting of the table has its row: a check box with a mnemonic, a labelled drop-down or box of digits.
void ExpectARowPerSetting(HWND hwnd) {
    for (const engine::SettingInfo& setting : engine::kSettings) {
        SCOPED_TRACE(setting.m_pszName);
        const HWND row = ::GetDlgItem(hwnd, RowId(setting.m_nId));
        ASSERT_NE(row, nullptr);
        const bool isSwitch = setting.m_nKind == engine::SettingKind::Switch;
        const bool isNumber = setting.m_nKind == engine::SettingKind::Number;
        EXPECT_EQ(uitest::ClassName(row), isSwitch ? L"Button" : isNumber ? L"Edit" : L"ComboBox");
        const HWND named =
            isSwitch ? row : ::GetDlgItem(hwnd, IDC_SETTING_LABEL_FIRST + static_cast<int>(setting.m_nId));
        EXPECT_NE(WindowText(named).find(L'&'), std::wstring::npos) << "no mnemonic";
    }
}

TEST(SettingsWindow, ShowsEverySettingAsStoredAndOkWritesWhatTheRowsShow) {
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kKey);
    RegistrySettingsStore store(HKEY_CURRENT_USER, kKey, 0);
    {
        const auto key = store.OpenForWrite();
        ASSERT_TRUE(key);
        ASSERT_TRUE(key->SetDword("FullPaths", 1));
        ASSERT_TRUE(key->SetDword("DiffFileSameNameDlgDefault", engine::AnswerSecond));
        ASSERT_TRUE(
            key->SetDword("FnameFldrnameClashDlgDefault", engine::AnswerCancel));  // no prompt stores it
        ASSERT_TRUE(key->SetDword("KeepJournalCount", 12));
    }
    CSettingsDlg dialog(store);
    const INT_PTR result = RunModal(
        [&] { return dialog.ShowModal(nullptr); },
        [&](uitest::CDialogSpy&, HWND hwnd) {
            using engine::SettingId;
            EXPECT_EQ(WindowText(hwnd), L"Tandemere settings");
            EXPECT_NE(::SendMessageW(hwnd, WM_GETICON, ICON_SMALL, 0), 0);
            ExpectARowPerSetting(hwnd);
            EXPECT_TRUE(uitest::IsChecked(hwnd, RowId(SettingId::Logging)));  // its default
            EXPECT_TRUE(uitest::IsChecked(hwnd, RowId(SettingId::FullPaths)));
            EXPECT_FALSE(uitest::IsChecked(hwnd, RowId(SettingId::DeleteToRecycleBin)));
            const HWND clash = ::GetDlgItem(hwnd, RowId(SettingId::DiffFileSameNameDlgDefault));
            EXPECT_EQ(ListItems(clash),
                      (std::vector<std::wstring>{L"Ask every time", L"Overwrite", L"Rename", L"Skip"}));
            EXPECT_EQ(Selected(clash), L"Rename");
            const HWND same = ::GetDlgItem(hwnd, RowId(SettingId::SameFileDiffNameDlgDefault));
            EXPECT_EQ(ListItems(same), (std::vector<std::wstring>{L"Ask every time", L"Delete",
                                                                  L"Delete and Rename", L"Skip"}));
            EXPECT_EQ(Selected(same), L"Ask every time");
            // A decision of two answers offers only those.
            EXPECT_EQ(ListItems(::GetDlgItem(hwnd, RowId(SettingId::SameFileElsewhereDlgDefault))),
                      (std::vector<std::wstring>{L"Ask every time", L"Delete", L"Skip"}));
            EXPECT_EQ(Selected(::GetDlgItem(hwnd, RowId(SettingId::FnameFldrnameClashDlgDefault))),
                      L"Ask every time");
            // The switches, then the answers, then the buttons; the focus on the first switch.
            const std::vector<int> tabs = uitest::TabOrder(hwnd);
            ASSERT_EQ(tabs.size(), std::size(engine::kSettings) + 2);
            EXPECT_EQ(tabs.front(), RowId(SettingId::Logging));
            EXPECT_EQ(tabs[tabs.size() - 3], RowId(SettingId::SameFileElsewhereDlgDefault));
            EXPECT_EQ(uitest::FocusedControl(hwnd), ::GetDlgItem(hwnd, tabs.front()));
            uitest::ExpectLaidOutWithoutOverlap(hwnd, {});
            uitest::SaveScreenshot(hwnd, "settings_window");

            // A switch by its mnemonic, another by a click, an answer chosen.
            uitest::PressChar(hwnd, L'r');
            uitest::Settle(hwnd);
            EXPECT_TRUE(uitest::IsChecked(hwnd, RowId(SettingId::DeleteToRecycleBin)));
            uitest::Click(hwnd, RowId(SettingId::Logging));
            ::SendMessageW(same, CB_SETCURSEL, 2, 0);
            EXPECT_EQ(WindowText(::GetDlgItem(hwnd, RowId(SettingId::KeepJournalCount))), L"12");
            EXPECT_EQ(WindowText(::GetDlgItem(hwnd, RowId(SettingId::KeepJournalDays))), L"30");
            ::SetDlgItemTextW(hwnd, RowId(SettingId::KeepJournalDays), L"7");
            uitest::Click(hwnd, IDOK);
        });
    EXPECT_EQ(result, IDOK);
    using engine::SettingId;
    const struct {
        SettingId m_nId;
        DWORD m_nValue;
    } rows[] = {
        {SettingId::Logging, 0},
        {SettingId::OnlyCompareSameExt, 0},
        {SettingId::FullPaths, 1},
        {SettingId::DiffFileSameNameDlgDefault, engine::AnswerSecond},
        {SettingId::FldrnameFnameClashDlgDefault, kAsk},
        {SettingId::FnameFldrnameClashDlgDefault, kAsk},
        {SettingId::SameFileDiffNameDlgDefault, engine::AnswerSecond},
        {SettingId::DeleteToRecycleBin, 1},
        {SettingId::SearchWholeDestination, 0},
        {SettingId::SameFileElsewhereDlgDefault, kAsk},
        {SettingId::KeepJournalDays, 7},
        {SettingId::KeepJournalCount, 12},
    };
    for (const auto& row : rows)
        EXPECT_EQ(Stored(row.m_nId), row.m_nValue) << engine::GetSetting(row.m_nId).m_pszName;
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kKey);
}

// A store that can be read (nothing stored) and never written.
class CReadOnlyStore : public engine::ISettingsStore {
public:
    std::unique_ptr<engine::ISettingsKey> OpenForRead() override { return nullptr; }
    std::unique_ptr<engine::ISettingsKey> OpenForWrite() override { return nullptr; }
    std::string WriteErrorText() const override { return "Error writing to registry"; }
};

TEST(SettingsWindow, CancelAndEscapeWriteNothingAndAFailedWriteSaysWhichValueAndStaysOpen) {
    const struct {
        const char* m_pszWay;
        void (*m_fnClose)(HWND);
    } ways[] = {
        {"Cancel", [](HWND hwnd) { uitest::Click(hwnd, IDCANCEL); }},
        {"Escape", [](HWND hwnd) { uitest::PressKey(hwnd, VK_ESCAPE); }},
    };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.m_pszWay);
        ::RegDeleteTreeW(HKEY_CURRENT_USER, kKey);
        RegistrySettingsStore store(HKEY_CURRENT_USER, kKey, 0);
        CSettingsDlg dialog(store);
        const INT_PTR result = RunModal([&] { return dialog.ShowModal(nullptr); },
                                        [&](uitest::CDialogSpy&, HWND hwnd) {
                                            uitest::Click(hwnd, RowId(engine::SettingId::FullPaths));
                                            way.m_fnClose(hwnd);
                                        });
        EXPECT_EQ(result, IDCANCEL);
        EXPECT_FALSE(Stored(engine::SettingId::FullPaths));
        HKEY key = nullptr;
        EXPECT_NE(::RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &key), ERROR_SUCCESS);
        if (key) ::RegCloseKey(key);
    }

    CReadOnlyStore store;
    CSettingsDlg dialog(store);
    const INT_PTR result =
        RunModal([&] { return dialog.ShowModal(nullptr); },
                 [&](uitest::CDialogSpy& spy, HWND hwnd) {
                     uitest::ClickAsync(hwnd, IDOK);
                     const HWND box = spy.WaitForDialog();
                     ASSERT_NE(box, nullptr);
                     std::wstring text;
                     for (const uitest::ControlInfo& control : uitest::ReadControls(box))
                         if (control.m_strClass == L"Static") text += control.m_strText;
                     EXPECT_NE(text.find(L"Couldn't save setting \"Logging\" (Error writing to registry)"),
                               std::wstring::npos)
                         << ::testing::PrintToString(ui::Narrow(text));
                     uitest::Click(box, IDOK);
                     EXPECT_TRUE(uitest::WaitUntilClosed(box));
                     EXPECT_TRUE(::IsWindow(hwnd));
                     uitest::Click(hwnd, IDCANCEL);
                 });
    EXPECT_EQ(result, IDCANCEL);
}

}  // namespace
}  // namespace tandemere::win32
