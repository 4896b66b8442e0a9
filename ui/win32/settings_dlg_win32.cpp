// Windows user interface layer: the settings window's rows, made from the settings table, and the
// values read and written through the settings store.
#include "ui/win32/settings_dlg_win32.h"

#include <algorithm>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>

#include "engine/answer_captions.h"
#include "engine/settings_table.h"
#include "engine/text_format.h"
#include "res/resource.h"
#include "ui/win32/text_fit_win32.h"
#include "ui/win32/ui_text_win32.h"

namespace tandemere::win32 {
namespace {

// What each setting is called in the window, by its value name. A setting without a row here is
// shown under its value name.
struct SettingLabel {
    const char* m_pszName;
    const wchar_t* m_pszLabel;
};

const SettingLabel kLabels[] = {
    {"Logging", L"&Log each move and show the log at its end"},
    {"OnlyCompareSameExt", L"Compare only files with the same &extension"},
    {"FullPaths", L"Show &full paths in the prompts and the log"},
    {"DeleteToRecycleBin", L"Delete duplicates to the &Recycle Bin"},
    {"SearchWholeDestination", L"Search the &whole destination for identical files"},
    {"DiffFileSameNameDlgDefault", L"A &different file of the same name:"},
    {"SameFileDiffNameDlgDefault", L"The same file under &another name:"},
    {"FnameFldrnameClashDlgDefault", L"A file meets a &subfolder of its name:"},
    {"FldrnameFnameClashDlgDefault", L"A folder meets a file of its &name:"},
    {"SameFileElsewhereDlgDefault", L"The same f&ile elsewhere in the destination:"},
    {"KeepJournalDays", L"Keep the undo journals of moves for da&ys:"},
    {"KeepJournalCount", L"Keep at most this many undo &journals:"},
};

std::wstring LabelOf(const engine::SettingInfo& setting) {
    for (const SettingLabel& label : kLabels)
        if (std::string_view(label.m_pszName) == setting.m_pszName) return label.m_pszLabel;
    return ui::Widen(setting.m_pszName);
}

// A button's caption as a word in a list: without its mnemonic mark.
std::wstring Unmarked(const char* caption) {
    std::wstring text = ui::Widen(caption);
    text.erase(std::remove(text.begin(), text.end(), L'&'), text.end());
    return text;
}

RECT DialogUnits(HWND dialog, int x, int y, int width, int height) {
    RECT rc = {x, y, x + width, y + height};
    ::MapDialogRect(dialog, &rc);
    return rc;
}

// A vertical distance in dialog units, in pixels.
int Down(HWND dialog, int units) {
    return DialogUnits(dialog, 0, 0, 0, units).bottom;
}

RECT ChildRect(HWND dialog, HWND child) {
    RECT rc = {};
    ::GetWindowRect(child, &rc);
    ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

void MoveTo(HWND control, int x, int y, int width, int height) {
    ::SetWindowPos(control, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

// The answers a drop-down offers, in its order: asking first.
constexpr std::int32_t kAnswers[] = {engine::AnswerAsk, engine::AnswerFirst, engine::AnswerSecond,
                                     engine::AnswerThird};

}  // namespace

CSettingsDlg::CSettingsDlg(engine::ISettingsStore& store) : CModalDialog(IDD_SETTINGS), m_rStore(store) {}

BOOL CSettingsDlg::OnInitDialog() {
    m_lstStored.clear();
    const std::unique_ptr<engine::ISettingsKey> key = m_rStore.OpenForRead();
    for (const engine::SettingInfo& setting : engine::kSettings) {
        // A missing value, or one of another type, is what the move would take: the default.
        std::uint32_t value = 0;
        const bool stored = key && key->QueryDword(setting.m_pszName, value) == engine::ValueKind::Dword;
        m_lstStored.push_back(stored ? static_cast<std::int32_t>(value) : setting.m_nDefault);
    }
    const HWND switches = ::GetDlgItem(m_hWnd, IDC_SETTINGS_SWITCHES);
    const HWND answers = ::GetDlgItem(m_hWnd, IDC_SETTINGS_ANSWERS);
    const int switchesBottom = AddSwitchRows(switches);
    const int answersBottom = AddAnswerRows(answers, switchesBottom + Down(m_hWnd, 4));

    // The buttons below the rows, and the window around them.
    const int buttonsTop = answersBottom + Down(m_hWnd, 6);
    for (const int id : {IDOK, IDCANCEL}) {
        const HWND button = ::GetDlgItem(m_hWnd, id);
        const RECT rc = ChildRect(m_hWnd, button);
        MoveTo(button, rc.left, buttonsTop, rc.right - rc.left, rc.bottom - rc.top);
    }
    RECT client = {};
    ::GetClientRect(m_hWnd, &client);
    const RECT ok = ChildRect(m_hWnd, ::GetDlgItem(m_hWnd, IDOK));
    RECT window = {};
    ::GetWindowRect(m_hWnd, &window);
    const int grow = ok.bottom + Down(m_hWnd, 7) - client.bottom;
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, window.right - window.left, window.bottom - window.top + grow,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    return CModalDialog::OnInitDialog();
}

HWND CSettingsDlg::AddControl(const wchar_t* className, const wchar_t* text, DWORD style, int id,
                              const RECT& rc) {
    const HWND control =
        ::CreateWindowExW(0, className, text, WS_CHILD | WS_VISIBLE | style, rc.left, rc.top,
                          rc.right - rc.left, rc.bottom - rc.top, m_hWnd,
                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ResourceModule(), nullptr);
    if (!control) return nullptr;
    ::SendMessageW(control, WM_SETFONT, ::SendMessageW(m_hWnd, WM_GETFONT, 0, 0), FALSE);
    // The tab order is the z-order: each row after the one before it, all before the buttons.
    ::SetWindowPos(control, m_hwndLast, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    m_hwndLast = control;
    return control;
}

int CSettingsDlg::AddSwitchRows(HWND group) {
    const RECT box = ChildRect(m_hWnd, group);
    m_hwndLast = group;
    int top = box.top + Down(m_hWnd, 12);
    for (std::size_t index = 0; index < std::size(engine::kSettings); ++index) {
        const engine::SettingInfo& setting = engine::kSettings[index];
        if (setting.m_nKind != engine::SettingKind::Switch) continue;
        RECT rc = DialogUnits(m_hWnd, 14, 0, 232, 10);
        rc.top += top;
        rc.bottom += top;
        const HWND check = AddControl(L"Button", LabelOf(setting).c_str(), BS_AUTOCHECKBOX | WS_TABSTOP,
                                      IDC_SETTING_FIRST + static_cast<int>(index), rc);
        ::SendMessageW(check, BM_SETCHECK, m_lstStored[index] != 0 ? BST_CHECKED : BST_UNCHECKED, 0);
        top += Down(m_hWnd, 13);
    }
    for (std::size_t index = 0; index < std::size(engine::kSettings); ++index)
        if (engine::kSettings[index].m_nKind == engine::SettingKind::Number) top = AddNumberRow(index, top);
    const int bottom = top + Down(m_hWnd, 2);
    MoveTo(group, box.left, box.top, box.right - box.left, bottom - box.top);
    return bottom;
}

int CSettingsDlg::AddNumberRow(std::size_t index, int top) {
    const engine::SettingInfo& setting = engine::kSettings[index];
    const int id = static_cast<int>(index);
    RECT rc = DialogUnits(m_hWnd, 14, 2, 180, 8);
    AddControl(L"Static", LabelOf(setting).c_str(), SS_LEFT, IDC_SETTING_LABEL_FIRST + id,
               {rc.left, top + rc.top, rc.right, top + rc.bottom});
    rc = DialogUnits(m_hWnd, 200, 0, 46, 12);
    const std::wstring value = std::to_wstring(static_cast<std::uint32_t>(m_lstStored[index]));
    const HWND edit = AddControl(L"Edit", value.c_str(), ES_NUMBER | ES_RIGHT | WS_BORDER | WS_TABSTOP,
                                 IDC_SETTING_FIRST + id, {rc.left, top, rc.right, top + rc.bottom});
    // Ten digits hold every value the setting takes; a larger number is cut to the largest.
    ::SendMessageW(edit, EM_SETLIMITTEXT, 10, 0);
    return top + Down(m_hWnd, 16);
}

int CSettingsDlg::AddAnswerRows(HWND group, int boxTop) {
    const RECT box = ChildRect(m_hWnd, group);
    ::SetWindowPos(group, m_hwndLast, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    m_hwndLast = group;
    int top = boxTop + Down(m_hWnd, 12);
    for (std::size_t index = 0; index < std::size(engine::kSettings); ++index) {
        const engine::SettingInfo& setting = engine::kSettings[index];
        const engine::AnswerCaptions* captions = engine::FindAnswerCaptions(setting.m_nId);
        if (setting.m_nKind != engine::SettingKind::Answer || !captions) continue;
        const int id = static_cast<int>(index);
        RECT rc = DialogUnits(m_hWnd, 14, 2, 136, 8);
        const HWND label =
            AddControl(L"Static", LabelOf(setting).c_str(), SS_LEFT, IDC_SETTING_LABEL_FIRST + id,
                       {rc.left, top + rc.top, rc.right, top + rc.bottom});
        // A label that needs more lines than one gets them, and its row grows with it.
        const int labelHeight = std::max<int>(rc.bottom - rc.top, TextHeight(label, LabelOf(setting)));
        MoveTo(label, rc.left, top + rc.top, rc.right - rc.left, labelHeight);
        rc = DialogUnits(m_hWnd, 154, 0, 92, 80);
        const HWND list = AddControl(L"ComboBox", L"", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP,
                                     IDC_SETTING_FIRST + id, {rc.left, top, rc.right, top + rc.bottom});
        for (const std::int32_t answer : kAnswers) {
            if (answer != engine::AnswerAsk && !engine::IsAnswerOf(setting.m_nId, answer)) continue;
            const std::wstring word = answer == engine::AnswerAsk      ? std::wstring(L"Ask every time")
                                      : answer == engine::AnswerFirst  ? Unmarked(captions->m_pszFirst)
                                      : answer == engine::AnswerSecond ? Unmarked(captions->m_pszSecond)
                                                                       : Unmarked(engine::kSkipCaption);
            const LRESULT at = ::SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(word.c_str()));
            ::SendMessageW(list, CB_SETITEMDATA, at, answer);
            // A value no prompt stores makes the move ask, as "Ask every time" does.
            if (answer == m_lstStored[index] || answer == engine::AnswerAsk)
                ::SendMessageW(list, CB_SETCURSEL, at, 0);
        }
        top += std::max(Down(m_hWnd, 16), labelHeight + Down(m_hWnd, 6));
    }
    const int bottom = top + Down(m_hWnd, 1);
    MoveTo(group, box.left, boxTop, box.right - box.left, bottom - boxTop);
    return bottom;
}

std::int32_t CSettingsDlg::RowValue(std::size_t index) const {
    const HWND control = ::GetDlgItem(m_hWnd, IDC_SETTING_FIRST + static_cast<int>(index));
    if (!control) return m_lstStored[index];
    if (engine::kSettings[index].m_nKind == engine::SettingKind::Switch)
        return ::SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
    if (engine::kSettings[index].m_nKind == engine::SettingKind::Number) {
        // An emptied box keeps the stored value; digits only can be typed.
        BOOL read = FALSE;
        const UINT typed = ::GetDlgItemInt(m_hWnd, IDC_SETTING_FIRST + static_cast<int>(index), &read, FALSE);
        if (!read) return ::GetWindowTextLengthW(control) == 0 ? m_lstStored[index] : INT32_MAX;
        return static_cast<std::int32_t>(std::min<UINT>(typed, INT32_MAX));
    }
    const LRESULT at = ::SendMessageW(control, CB_GETCURSEL, 0, 0);
    if (at == CB_ERR) return engine::AnswerAsk;
    return static_cast<std::int32_t>(::SendMessageW(control, CB_GETITEMDATA, at, 0));
}

bool CSettingsDlg::Save() {
    const std::unique_ptr<engine::ISettingsKey> key = m_rStore.OpenForWrite();
    for (std::size_t index = 0; index < std::size(engine::kSettings); ++index) {
        const char* name = engine::kSettings[index].m_pszName;
        if (key && key->SetDword(name, static_cast<std::uint32_t>(RowValue(index)))) continue;
        const std::wstring text = ui::Widen(engine::FormatText(
            "Couldn't save setting \"%s\" (%s); the settings from it on keep their old values.",
            {name, m_rStore.WriteErrorText()}));
        ::MessageBoxW(m_hWnd, text.c_str(), L"Tandemere settings", MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    return true;
}

bool CSettingsDlg::OnCommand(WORD id, WORD code, HWND control) {
    if (id == IDOK) {
        if (Save()) ::EndDialog(m_hWnd, IDOK);
        return true;
    }
    return CModalDialog::OnCommand(id, code, control);
}

}  // namespace tandemere::win32
