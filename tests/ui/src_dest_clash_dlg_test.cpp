// Window tests: the different-file prompt's template, its size and date texts, the Open buttons'
// error box, and its answers, on a real dialog.
#include "ui/win32/src_dest_clash_dlg_win32.h"

#include <gtest/gtest.h>

#include "res/resource.h"
#include "tests/ui/prompt_checks.h"
#include "tests/ui/window_driver.h"
#include "ui/win32/ui_text_win32.h"

namespace tandemere::win32 {
namespace {

using uitest::Click;
using uitest::RunModal;
using uitest::WindowText;

constexpr std::uint64_t kOneSecond = 10'000'000;
constexpr std::uint64_t kMarch2024 = 133'540'000'000'000'000;  // a FILETIME in March 2024

std::wstring LocaleThousandSeparator() {
    wchar_t separator[8] = {};
    ::GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, separator, 8);
    return separator;
}

// A size text as the English (United States) locale writes it, in the user's separators.
std::wstring Localised(const std::wstring& english) {
    wchar_t decimal[8] = {};
    ::GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, decimal, 8);
    std::wstring out;
    for (wchar_t c : english)
        out += c == L',' ? LocaleThousandSeparator() : c == L'.' ? decimal : std::wstring(1, c);
    return out;
}

std::wstring SizeText(std::uint64_t size) {
    return CByteCountFormat().Format(size);
}

// Local date and time by another road than the prompt's (the local file time).
std::wstring LocalDateTime(std::uint64_t fileTime) {
    FILETIME utc = {static_cast<DWORD>(fileTime), static_cast<DWORD>(fileTime >> 32)};
    FILETIME local;
    SYSTEMTIME st;
    ::FileTimeToLocalFileTime(&utc, &local);
    ::FileTimeToSystemTime(&local, &st);
    wchar_t date[64] = {}, time[64] = {};
    ::GetDateFormatW(LOCALE_USER_DEFAULT, DATE_LONGDATE, &st, nullptr, date, 64);
    ::GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &st, nullptr, time, 64);
    return std::wstring(date) + L" (" + time + L")";
}

std::string MissingPath(const char* name) {
    return std::string("C:\\tandemere-missing\\") + name;
}

engine::ClashPrompt MakePrompt(std::uint64_t srcSize, std::uint64_t destSize, std::uint64_t srcTime,
                               std::uint64_t destTime) {
    engine::ClashPrompt prompt;
    prompt.m_strSrcPath = MissingPath("Reports\\summary.txt");
    prompt.m_strSrcShown = "Reports\\summary.txt";
    prompt.m_oSrcEntry.m_strName = "summary.txt";
    prompt.m_oSrcEntry.m_nSize = srcSize;
    prompt.m_oSrcEntry.m_nLastWriteTime = srcTime;
    prompt.m_strDestPath = MissingPath("Archive\\Reports\\summary.txt");
    prompt.m_strDestShown = "Reports\\summary.txt";
    prompt.m_oDestEntry = prompt.m_oSrcEntry;
    prompt.m_oDestEntry.m_nSize = destSize;
    prompt.m_oDestEntry.m_nLastWriteTime = destTime;
    prompt.m_strNewPath = MissingPath("Archive\\Reports\\summary (2).txt");
    prompt.m_strNewShown = "Reports\\summary (2).txt";
    prompt.m_strQuestion =
        "Source file \"Reports\\summary.txt\" is unique, but a (different) destination file "
        "\"Reports\\summary.txt\" "
        "already exists.";
    prompt.m_strText1 =
        "Overwrite destination file \"Reports\\summary.txt\" with source file \"Reports\\summary.txt\".";
    prompt.m_strText2 = "Rename source file to \"Reports\\summary (2).txt\" and move to destination folder.";
    prompt.m_strText3 = "Leave source file \"Reports\\summary.txt\" alone.";
    return prompt;
}

TEST(ClashPrompt, ShowsEveryControlOfTheTemplateWithItsTexts) {
    const engine::ClashPrompt prompt = MakePrompt(2048, 1024, kMarch2024, kMarch2024 + kOneSecond);
    CSrcDestClashDlg dialog(prompt);
    const INT_PTR result = RunModal(
        [&] { return dialog.ShowModal(nullptr); },
        [&](uitest::CDialogSpy&, HWND hwnd) {
            EXPECT_EQ(WindowText(hwnd), L"Tandemere");
            const DWORD style = static_cast<DWORD>(::GetWindowLongW(hwnd, GWL_STYLE));
            EXPECT_EQ(style & (DS_MODALFRAME | WS_CAPTION | WS_SYSMENU),
                      static_cast<DWORD>(DS_MODALFRAME | WS_CAPTION | WS_SYSMENU));
            EXPECT_EQ(uitest::FontFace(hwnd), L"MS Shell Dlg");
            EXPECT_EQ(uitest::FontPoints(hwnd), 8);
            RECT client;
            ::GetClientRect(hwnd, &client);
            const RECT size = uitest::DialogUnitsToPixels(hwnd, 0, 0, 480, 250);
            EXPECT_EQ(client.right, size.right);
            EXPECT_EQ(client.bottom, size.bottom);
            uitest::ExpectControls(
                hwnd,
                {
                    {230, L"Button", L"&Overwrite", BS_PUSHBUTTON, WS_TABSTOP, 6, 132, 42, 18},
                    {231, L"Button", L"&Rename", BS_PUSHBUTTON, WS_TABSTOP, 6, 156, 42, 18},
                    {232, L"Button", L"&Skip", BS_DEFPUSHBUTTON, WS_TABSTOP, 6, 180, 42, 18},
                    {-1, L"Button", L" Always do this... ", BS_GROUPBOX, 0, 384, 204, 89, 40},
                    {206, L"Button", L"...for &this move", BS_AUTOCHECKBOX, WS_TABSTOP, 393, 217, 70, 10},
                    {207, L"Button", L"...for &every move", BS_AUTOCHECKBOX, WS_TABSTOP, 393, 228, 76, 10},
                    {202, L"Static", ui::Widen(prompt.m_strQuestion), SS_LEFT, SS_NOPREFIX, 12, 6, 462, 30},
                    {210, L"Static", Localised(L"2.0 KB (2,048 bytes) (larger)"), SS_CENTER, SS_CENTERIMAGE,
                     18, 72, 210, 12},
                    {211, L"Static", Localised(L"1.0 KB (1,024 bytes)"), SS_CENTER, SS_CENTERIMAGE, 258, 72,
                     210, 12},
                    {212, L"Static", LocalDateTime(kMarch2024), SS_CENTER, SS_CENTERIMAGE, 18, 90, 210, 12},
                    {213, L"Static", LocalDateTime(kMarch2024 + kOneSecond) + L" (newer)", SS_CENTER,
                     SS_CENTERIMAGE, 258, 90, 210, 12},
                    {-1, L"Button", L" Source File ", BS_GROUPBOX, 0, 6, 42, 228, 84},
                    {-1, L"Button", L" Destination File ", BS_GROUPBOX, 0, 246, 42, 228, 84},
                    {208, L"Static", ui::Widen(prompt.m_strSrcPath), SS_CENTER, SS_NOPREFIX, 18, 54, 210, 18},
                    {214, L"Button", L"O&pen", BS_PUSHBUTTON, WS_TABSTOP, 96, 108, 50, 14},
                    {209, L"Static", ui::Widen(prompt.m_strDestPath), SS_CENTER, SS_NOPREFIX, 258, 54, 210,
                     18},
                    {215, L"Button", L"Ope&n", BS_PUSHBUTTON, WS_TABSTOP, 336, 108, 50, 14},
                    {2, L"Button", L"&Cancel", BS_PUSHBUTTON, WS_TABSTOP, 6, 204, 42, 18},
                    {220, L"Static", ui::Widen(prompt.m_strText1), SS_LEFT, SS_NOPREFIX, 54, 138, 420, 24},
                    {221, L"Static", ui::Widen(prompt.m_strText2), SS_LEFT, SS_NOPREFIX, 54, 162, 420, 24},
                    {222, L"Static", ui::Widen(prompt.m_strText3), SS_LEFT, SS_NOPREFIX, 54, 186, 326, 24},
                    {223, L"Static", L"Don't process any more files", SS_LEFT, 0, 54, 210, 318, 24},
                });
            EXPECT_EQ(uitest::TabOrder(hwnd), (std::vector<int>{230, 231, 232, 206, 207, 214, 215, 2}));
            EXPECT_EQ(LOWORD(::SendMessageW(hwnd, DM_GETDEFID, 0, 0)), IDC_ANSWER_THIRD);
            EXPECT_FALSE(uitest::IsChecked(hwnd, IDC_THIS_MOVE));
            EXPECT_FALSE(uitest::IsChecked(hwnd, IDC_EVERY_MOVE));
            EXPECT_EQ(::GetDlgCtrlID(uitest::FocusedControl(hwnd)), IDC_ANSWER_THIRD);
            EXPECT_EQ(uitest::ToolTipText(hwnd, IDC_SRC_PATH), ui::Widen(prompt.m_strSrcPath));
            uitest::SaveScreenshot(hwnd, "clash_prompt");
            Click(hwnd, IDC_ANSWER_THIRD);
        });
    EXPECT_EQ(result, IDC_ANSWER_THIRD);
}

TEST(ClashPrompt, MarksTheLargerAndTheNewerFile) {
    const struct {
        std::uint64_t m_nSrcSize, m_nDestSize, m_nSrcTime, m_nDestTime;
    } cases[] = {
        {2048, 1024, kMarch2024, kMarch2024},
        {1024, 1024, kMarch2024, kMarch2024},
        {1024, 1024, kMarch2024, kMarch2024 + kOneSecond},
        {0, 1234567, kMarch2024 + kOneSecond, kMarch2024},
        {5'000'000'000, 4'999'999'999, kMarch2024, kMarch2024},
        // Sizes and times that differ only above 32 bits, and a time with its top bit set.
        {0x1'0000'0000, 0x0'FFFF'FFFF, 0x8000'0000'0000'0000, kMarch2024},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.m_nSrcSize << " / " << c.m_nDestSize << " bytes, times "
                                        << c.m_nSrcTime << " / " << c.m_nDestTime);
        const engine::ClashPrompt prompt =
            MakePrompt(c.m_nSrcSize, c.m_nDestSize, c.m_nSrcTime, c.m_nDestTime);
        CSrcDestClashDlg dialog(prompt);
        RunModal([&] { return dialog.ShowModal(nullptr); },
                 [&](uitest::CDialogSpy&, HWND hwnd) {
                     const auto text = [&](int id) { return WindowText(::GetDlgItem(hwnd, id)); };
                     EXPECT_EQ(text(IDC_SRC_SIZE),
                               SizeText(c.m_nSrcSize) + (c.m_nSrcSize > c.m_nDestSize ? L" (larger)" : L""));
                     EXPECT_EQ(text(IDC_DEST_SIZE),
                               SizeText(c.m_nDestSize) + (c.m_nDestSize > c.m_nSrcSize ? L" (larger)" : L""));
                     const std::wstring srcNewer = c.m_nSrcTime > c.m_nDestTime ? L" (newer)" : L"";
                     const std::wstring destNewer = c.m_nDestTime > c.m_nSrcTime ? L" (newer)" : L"";
                     if (c.m_nSrcTime < 0x8000'0000'0000'0000) {
                         EXPECT_EQ(text(IDC_SRC_TIME), LocalDateTime(c.m_nSrcTime) + srcNewer);
                     } else {
                         // Beyond what the calendar conversion accepts: no date, but still the mark.
                         EXPECT_EQ(text(IDC_SRC_TIME), L" ()" + srcNewer);
                     }
                     EXPECT_EQ(text(IDC_DEST_TIME), LocalDateTime(c.m_nDestTime) + destNewer);
                     Click(hwnd, IDCANCEL);
                 });
    }
}

TEST(ClashPrompt, FormatsByteCountsInTheUsersFormat) {
    const CByteCountFormat format;
    const struct {
        std::uint64_t m_nSize;
        const wchar_t* m_pszText;
    } sizes[] = {
        {0, L"0 bytes"},
        {1023, L"1,023 bytes"},
        {1024, L"1.0 KB (1,024 bytes)"},
        {1234567, L"1.2 MB (1,234,567 bytes)"},
        // Rounded up to the next unit rather than shown as "1024.0 KB".
        {1048575, L"1.0 MB (1,048,575 bytes)"},
        {1'500'000'000, L"1.4 GB (1,500,000,000 bytes)"},
        {18446744073709551615u, L"16.0 EB (18,446,744,073,709,551,615 bytes)"},
    };
    for (const auto& size : sizes) EXPECT_EQ(format.Format(size.m_nSize), Localised(size.m_pszText));
}

// Finds the message box's text (the static that is not the icon).
std::wstring MessageBoxText(HWND box) {
    for (const auto& control : uitest::ReadControls(box)) {
        if (control.m_strClass == L"Static" && (control.m_nStyle & SS_TYPEMASK) != SS_ICON &&
            !control.m_strText.empty()) {
            return control.m_strText;
        }
    }
    return std::wstring();
}

bool HasIcon(HWND box) {
    for (const auto& control : uitest::ReadControls(box)) {
        if (control.m_strClass == L"Static" && (control.m_nStyle & SS_TYPEMASK) == SS_ICON) return true;
    }
    return false;
}

TEST(ClashPrompt, BothFoldersShowAtAnyPathLengthWithoutOverlap) {
    const std::string deep = "C:\\" + std::string(120, 'r') + "\\" + std::string(115, 's') + "\\";
    const struct {
        const char* m_pszCase;
        std::string m_strSrcFolder, m_strDestFolder, m_strShownFolder;
        bool m_bShortened;
    } cases[] = {
        {"short", "C:\\Work\\", "D:\\Archive\\", "", false},  // FullPaths off: the texts name no folder
        {"long_full", deep, deep + "dest\\", deep, true},
        {"long", deep, deep + "dest\\", "", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.m_pszCase);
        engine::ClashPrompt prompt = MakePrompt(1'500'000'000, 1'500'000'000, kMarch2024, kMarch2024);
        prompt.m_strSrcPath = c.m_strSrcFolder + "summary.txt";
        prompt.m_strDestPath = c.m_strDestFolder + "summary.txt";
        const std::string shown = c.m_strShownFolder + "summary.txt";
        prompt.m_strQuestion = "Source file \"" + shown +
                               "\" is unique, but a (different) destination file \"" + shown +
                               "\" already exists.";
        prompt.m_strText1 =
            "Overwrite destination file \"" + shown + "\" with source file \"" + shown + "\".";
        prompt.m_strText3 = "Leave source file \"" + shown + "\" alone.";
        CSrcDestClashDlg dialog(prompt);
        RunModal([&] { return dialog.ShowModal(nullptr); },
                 [&](uitest::CDialogSpy&, HWND hwnd) {
                     for (int id : {IDC_SRC_PATH, IDC_DEST_PATH}) {
                         const std::wstring path = WindowText(::GetDlgItem(hwnd, id));
                         const std::string& whole =
                             id == IDC_SRC_PATH ? prompt.m_strSrcPath : prompt.m_strDestPath;
                         EXPECT_EQ(path.rfind(L"C:\\", 0) == 0 || path.rfind(L"D:\\", 0) == 0, true) << path;
                         EXPECT_EQ(path.find(L"...") != std::wstring::npos, c.m_bShortened) << path;
                         EXPECT_EQ(path.substr(path.size() - 12), L"\\summary.txt");
                         EXPECT_EQ(uitest::ToolTipText(hwnd, id), ui::Widen(whole));
                     }
                     EXPECT_EQ(WindowText(::GetDlgItem(hwnd, IDC_SRC_SIZE)),
                               Localised(L"1.4 GB (1,500,000,000 bytes)"));
                     uitest::ExpectLaidOutWithoutOverlap(
                         hwnd, {IDC_QUESTION, IDC_CLASH_TEXT1, IDC_CLASH_TEXT2, IDC_CLASH_TEXT3});
                     uitest::SaveScreenshot(hwnd, std::string("clash_prompt_") + c.m_pszCase);
                     Click(hwnd, IDCANCEL);
                 });
    }
}

TEST(ClashPrompt, OpenOnAMissingFileShowsTheErrorBoxAndTheQuestionStays) {
    const engine::ClashPrompt prompt = MakePrompt(10, 20, kMarch2024, kMarch2024);
    CSrcDestClashDlg dialog(prompt);
    const INT_PTR result = RunModal(
        [&] { return dialog.ShowModal(nullptr); },
        [&](uitest::CDialogSpy& spy, HWND hwnd) {
            Click(hwnd, IDC_THIS_MOVE);
            const struct {
                int m_nButton;
                const std::string& m_strPath;
            } opens[] = {{IDC_OPEN_SRC, prompt.m_strSrcPath}, {IDC_OPEN_DEST, prompt.m_strDestPath}};
            for (const auto& open : opens) {
                SCOPED_TRACE(testing::Message() << "button " << open.m_nButton);
                uitest::ClickAsync(hwnd, open.m_nButton);
                const HWND box = spy.WaitForDialog();
                ASSERT_NE(box, nullptr);
                uitest::Settle(box);
                EXPECT_EQ(WindowText(box), L"Tandemere");
                EXPECT_EQ(MessageBoxText(box), L"Couldn't open file \"" + ui::Widen(open.m_strPath) + L"\"");
                EXPECT_EQ(::GetWindow(box, GW_OWNER), hwnd);
                EXPECT_TRUE(HasIcon(box));
                EXPECT_NE(::GetDlgItem(box, IDOK), nullptr);
                EXPECT_EQ(::GetDlgItem(box, IDCANCEL), nullptr);
                if (open.m_nButton == IDC_OPEN_SRC) uitest::SaveScreenshot(box, "clash_prompt_open_error");
                Click(box, IDOK);
                EXPECT_TRUE(uitest::WaitUntilClosed(box)) << "OK left the box open";
                uitest::Settle(hwnd);
                EXPECT_TRUE(::IsWindowVisible(hwnd));
                EXPECT_TRUE(uitest::IsChecked(hwnd, IDC_THIS_MOVE));
                EXPECT_FALSE(uitest::IsChecked(hwnd, IDC_EVERY_MOVE));
            }
            Click(hwnd, IDC_ANSWER_SECOND);
        });
    EXPECT_EQ(result, IDC_ANSWER_SECOND);
    EXPECT_TRUE(dialog.m_bThisMove);
    EXPECT_FALSE(dialog.m_bEveryMove);
}

TEST(ClashPrompt, AnswersReadBothCheckBoxesAndCancelReadsNone) {
    const engine::ClashPrompt prompt = MakePrompt(1, 2, kMarch2024, kMarch2024);
    uitest::ExpectPromptAnswers([&] { return std::make_unique<CSrcDestClashDlg>(prompt); });
}

TEST(ClashPrompt, MnemonicsPressTheAnswerButtons) {
    const engine::ClashPrompt prompt = MakePrompt(1, 2, kMarch2024, kMarch2024);
    uitest::ExpectMnemonics(
        [&] { return std::make_unique<CSrcDestClashDlg>(prompt); },
        {{L'o', IDC_ANSWER_FIRST}, {L'r', IDC_ANSWER_SECOND}, {L's', IDC_ANSWER_THIRD}, {L'c', IDCANCEL}});
}

}  // namespace
}  // namespace tandemere::win32
