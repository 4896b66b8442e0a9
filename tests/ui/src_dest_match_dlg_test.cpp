// Window tests: the choice prompt's template, texts, answers and check boxes, on a real dialog.
#include "ui/win32/src_dest_match_dlg_win32.h"

#include <gtest/gtest.h>

#include <memory>

#include "res/resource.h"
#include "tests/ui/prompt_checks.h"
#include "tests/ui/window_driver.h"
#include "ui/win32/ui_text_win32.h"

namespace tandemere::win32 {
namespace {

using uitest::Click;
using uitest::RunModal;
using uitest::WindowText;

// The identical-file case: its question has a second line.
struct IdenticalFileTexts {
    const char* m_pszQuestion =
        "Source file \"Photos\\beach.jpg\" is the same as destination file \"Photos\\beach (2).jpg\"\r\n"
        "A different file named \"Photos\\beach.jpg\" already exists in the destination folder.";
    const char* m_pszCaption1 = "&Delete";
    const char* m_pszText1 =
        "Delete source file \"Photos\\beach.jpg\", leaving identical file \"Photos\\beach (2).jpg\".";
    const char* m_pszCaption2 = "Delete and &Rename";
    const char* m_pszText2 =
        "Delete source file \"Photos\\beach.jpg\", and rename identical destination file from "
        "\"Photos\\beach (2).jpg\" to \"Photos\\beach (3).jpg\".";
    const char* m_pszText3 = "Leave source file \"Photos\\beach.jpg\" alone.";
    const char* m_pszSrcPath = "C:\\Users\\ann\\Camera\\Photos\\beach.jpg";
    const char* m_pszDestPath = "D:\\Archive\\Photos\\beach (2).jpg";
};

CSrcDestMatchDlg MakeIdenticalFilePrompt() {
    const IdenticalFileTexts t;
    return CSrcDestMatchDlg({engine::DecisionKind::SameFileDiffName, t.m_pszQuestion, t.m_pszCaption1,
                             t.m_pszText1, t.m_pszCaption2, t.m_pszText2, t.m_pszText3, t.m_pszSrcPath,
                             t.m_pszDestPath});
}

std::unique_ptr<CSrcDestMatchDlg> MakeFolderClashPrompt() {
    return std::make_unique<CSrcDestMatchDlg>(engine::ChoicePrompt{
        engine::DecisionKind::FnameFldrnameClash,
        "Can't move source file \"report\" into the destination folder because a subfolder of that name "
        "already exists there.",
        "Rename fol&der", "Rename the subfolder in the destination folder to \"report (2)\".", "Rename &file",
        "Rename the source file to \"report (2)\".", "Leave source file \"report\" alone.", "C:\\In\\report",
        "C:\\Out\\report"});
}

TEST(ChoicePrompt, ShowsEveryControlOfTheTemplateWithItsTexts) {
    CSrcDestMatchDlg dialog = MakeIdenticalFilePrompt();
    const IdenticalFileTexts t;
    const INT_PTR result = RunModal(
        [&] { return dialog.ShowModal(nullptr); },
        [&](uitest::CDialogSpy&, HWND hwnd) {
            EXPECT_EQ(WindowText(hwnd), L"Tandemere");
            const DWORD style = static_cast<DWORD>(::GetWindowLongW(hwnd, GWL_STYLE));
            EXPECT_EQ(style & (DS_MODALFRAME | WS_CAPTION | WS_SYSMENU | WS_POPUP),
                      static_cast<DWORD>(DS_MODALFRAME | WS_CAPTION | WS_SYSMENU | WS_POPUP));
            EXPECT_FALSE(style & (WS_THICKFRAME | WS_MAXIMIZEBOX));
            EXPECT_EQ(uitest::FontFace(hwnd), L"MS Shell Dlg");
            EXPECT_EQ(uitest::FontPoints(hwnd), 8);
            RECT client;
            ::GetClientRect(hwnd, &client);
            const RECT size = uitest::DialogUnitsToPixels(hwnd, 0, 0, 480, 184);
            EXPECT_EQ(client.right, size.right);
            EXPECT_EQ(client.bottom, size.bottom);

            uitest::ExpectControls(
                hwnd,
                {
                    {230, L"Button", L"&Delete", BS_PUSHBUTTON, WS_TABSTOP, 4, 64, 84, 18},
                    {231, L"Button", L"Delete and &Rename", BS_PUSHBUTTON, WS_TABSTOP, 4, 92, 84, 18},
                    {232, L"Button", L"&Skip", BS_DEFPUSHBUTTON, WS_TABSTOP, 4, 120, 84, 18},
                    {-1, L"Button", L" Always do this... ", BS_GROUPBOX, 0, 384, 140, 89, 40},
                    {206, L"Button", L"...for &this move", BS_AUTOCHECKBOX, WS_TABSTOP, 393, 152, 70, 10},
                    {207, L"Button", L"...for &every move", BS_AUTOCHECKBOX, WS_TABSTOP, 393, 164, 76, 10},
                    {202, L"Static", ui::Widen(t.m_pszQuestion), SS_LEFT, SS_NOPREFIX, 7, 7, 467, 31},
                    {-1, L"Static", L"Source:", SS_LEFT, 0, 7, 41, 50, 10},
                    {208, L"Static", ui::Widen(t.m_pszSrcPath), SS_LEFT, SS_NOPREFIX, 60, 41, 414, 10},
                    {-1, L"Static", L"Destination:", SS_LEFT, 0, 7, 52, 50, 10},
                    {209, L"Static", ui::Widen(t.m_pszDestPath), SS_LEFT, SS_NOPREFIX, 60, 52, 414, 10},
                    {2, L"Button", L"&Cancel", BS_PUSHBUTTON, WS_TABSTOP, 4, 148, 84, 18},
                    {223, L"Static", L"Don't process any more files", SS_LEFTNOWORDWRAP, 0, 94, 152, 96, 12},
                    {221, L"Static", ui::Widen(t.m_pszText1), SS_LEFT, SS_NOPREFIX, 94, 68, 380, 24},
                    {222, L"Static", ui::Widen(t.m_pszText2), SS_LEFT, SS_NOPREFIX, 94, 96, 380, 24},
                    {224, L"Static", ui::Widen(t.m_pszText3), SS_LEFT, SS_NOPREFIX, 94, 124, 380, 18},
                });
            EXPECT_EQ(uitest::TabOrder(hwnd), (std::vector<int>{230, 231, 232, 206, 207, 2}));
            EXPECT_EQ(LOWORD(::SendMessageW(hwnd, DM_GETDEFID, 0, 0)), IDC_ANSWER_THIRD);
            EXPECT_FALSE(uitest::IsChecked(hwnd, IDC_THIS_MOVE));
            EXPECT_FALSE(uitest::IsChecked(hwnd, IDC_EVERY_MOVE));
            EXPECT_EQ(::GetDlgCtrlID(uitest::FocusedControl(hwnd)), IDC_ANSWER_THIRD);
            EXPECT_NE(::SendMessageW(hwnd, WM_GETICON, ICON_SMALL, 0), 0);
            // Every caption fits its button, with the frame's margins on both sides.
            for (const auto& control : uitest::ReadControls(hwnd)) {
                if (control.m_strClass != L"Button" || (control.m_nStyle & BS_TYPEMASK) > BS_DEFPUSHBUTTON)
                    continue;
                RECT need = {0, 0, 0, 0};
                const HDC dc = ::GetDC(control.m_hwnd);
                const HGDIOBJ old =
                    ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(::SendMessageW(hwnd, WM_GETFONT, 0, 0)));
                ::DrawTextW(dc, control.m_strText.c_str(), -1, &need, DT_CALCRECT | DT_SINGLELINE);
                ::SelectObject(dc, old);
                ::ReleaseDC(control.m_hwnd, dc);
                EXPECT_LE(need.right + 2 * ::GetSystemMetrics(SM_CXEDGE) + 4,
                          control.m_rc.right - control.m_rc.left)
                    << "caption of " << control.m_nId;
            }
            uitest::SaveScreenshot(hwnd, "choice_prompt_identical_file");
            Click(hwnd, IDC_ANSWER_THIRD);
        });
    EXPECT_EQ(result, IDC_ANSWER_THIRD);
}

TEST(ChoicePrompt, PathsOfAnyLengthFitWithTheirNamesWholeAndTheWholeTextInATooltip) {
    const std::string shortFolder = "C:\\Photos\\";
    const std::string longFolder = "C:\\" + std::string(120, 'f') + "\\" + std::string(110, 'g') + "\\";
    const struct {
        const char* m_pszCase;
        std::string m_strFolder;
        bool m_bFullPaths;  // the texts name the folder too
        bool m_bShortened;
    } cases[] = {
        {"short", shortFolder, false, false},
        {"long", longFolder, false, true},
        {"short_full", shortFolder, true, false},
        {"long_full", longFolder, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.m_pszCase);
        const std::string shownFolder = c.m_bFullPaths ? c.m_strFolder : "";
        const std::string src = shownFolder + "beach.jpg";
        const std::string dest = shownFolder + "beach (2).jpg";
        const std::string text1 =
            "Delete source file \"" + src + "\", leaving identical file \"" + dest + "\".";
        CSrcDestMatchDlg dialog(
            {engine::DecisionKind::SameFileDiffName,
             "Source file \"" + src + "\" is the same as destination file \"" + dest + "\"", "&Delete", text1,
             "Delete and &Rename",
             "Delete source file \"" + src + "\", and rename identical destination file from \"" + dest +
                 "\" to \"" + shownFolder + "beach (3).jpg\".",
             "Leave source file \"" + src + "\" alone.", c.m_strFolder + "beach.jpg",
             c.m_strFolder + "beach (2).jpg"});
        RunModal([&] { return dialog.ShowModal(nullptr); },
                 [&](uitest::CDialogSpy&, HWND hwnd) {
                     const std::wstring shown = WindowText(::GetDlgItem(hwnd, IDC_CHOICE_TEXT1));
                     EXPECT_EQ(shown.find(L"...") != std::wstring::npos, c.m_bShortened && c.m_bFullPaths)
                         << shown;
                     EXPECT_NE(shown.find(L"beach (2).jpg\"."), std::wstring::npos) << shown;
                     EXPECT_EQ(uitest::ToolTipText(hwnd, IDC_CHOICE_TEXT1),
                               c.m_bShortened && c.m_bFullPaths ? ui::Widen(text1) : L"");
                     // The folder is told whatever the texts show: shortened in the middle, the name
                     // whole, the whole path in the tooltip.
                     const std::wstring destPath = WindowText(::GetDlgItem(hwnd, IDC_DEST_PATH));
                     EXPECT_EQ(destPath.find(L"...") != std::wstring::npos, c.m_bShortened) << destPath;
                     EXPECT_EQ(destPath.substr(0, 3), L"C:\\") << destPath;
                     EXPECT_EQ(destPath.substr(destPath.size() - 14), L"\\beach (2).jpg") << destPath;
                     EXPECT_EQ(uitest::ToolTipText(hwnd, IDC_DEST_PATH),
                               ui::Widen(c.m_strFolder + "beach (2).jpg"));
                     uitest::ExpectLaidOutWithoutOverlap(
                         hwnd, {IDC_QUESTION, IDC_SRC_PATH, IDC_DEST_PATH, IDC_CHOICE_TEXT1, IDC_CHOICE_TEXT2,
                                IDC_CHOICE_TEXT3});
                     uitest::SaveScreenshot(hwnd, std::string("choice_prompt_") + c.m_pszCase);
                     Click(hwnd, IDCANCEL);
                 });
    }
}

TEST(ChoicePrompt, AnswersReadBothCheckBoxesAndCancelReadsNone) {
    uitest::ExpectPromptAnswers(&MakeFolderClashPrompt);
}

TEST(ChoicePrompt, MnemonicsPressTheAnswerButtons) {
    uitest::ExpectMnemonics(
        &MakeFolderClashPrompt,
        {{L'd', IDC_ANSWER_FIRST}, {L'f', IDC_ANSWER_SECOND}, {L's', IDC_ANSWER_THIRD}, {L'c', IDCANCEL}});
}

// A decision of two answers (the identical file elsewhere in the tree) hides the second one: no click,
// no mnemonic and no tab stop reaches it.
TEST(ChoicePrompt, ADecisionOfTwoAnswersHidesTheSecond) {
    CSrcDestMatchDlg dialog(
        {engine::DecisionKind::SameFileElsewhere,
         "Source file \"misc\\NEWS.gz\" is the same as file \"doc\\base\\NEWS.gz\" elsewhere "
         "in the destination folder.",
         "&Delete", "Delete source file \"misc\\NEWS.gz\", leaving identical file \"doc\\base\\NEWS.gz\".",
         "", "", "Leave source file \"misc\\NEWS.gz\" alone.", "C:\\In\\misc\\NEWS.gz",
         "C:\\Out\\doc\\base\\NEWS.gz"});
    const INT_PTR result =
        RunModal([&] { return dialog.ShowModal(nullptr); },
                 [&](uitest::CDialogSpy&, HWND hwnd) {
                     for (const int id : {IDC_ANSWER_SECOND, IDC_CHOICE_TEXT2}) {
                         EXPECT_FALSE(::IsWindowVisible(::GetDlgItem(hwnd, id))) << id;
                         EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(hwnd, IDC_ANSWER_SECOND)));
                     }
                     EXPECT_TRUE(::IsWindowVisible(::GetDlgItem(hwnd, IDC_ANSWER_FIRST)));
                     // Skip takes the hidden answer's row: no empty band between the answers.
                     const RECT skip = uitest::DialogUnitsToPixels(hwnd, 4, 92, 84, 18);
                     RECT placed = uitest::WindowRect(::GetDlgItem(hwnd, IDC_ANSWER_THIRD));
                     ::MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&placed), 2);
                     EXPECT_EQ(placed.top, skip.top);
                     uitest::ExpectLaidOutWithoutOverlap(hwnd, {IDC_CHOICE_TEXT1, IDC_CHOICE_TEXT3});
                     uitest::SaveScreenshot(hwnd, "choice_prompt_identical_elsewhere");
                     Click(hwnd, IDC_ANSWER_FIRST);
                 });
    EXPECT_EQ(result, IDC_ANSWER_FIRST);
}

TEST(ChoicePrompt, ShowsAnAmpersandInAPathAsItIs) {
    CSrcDestMatchDlg dialog(
        {engine::DecisionKind::FnameFldrnameClash,
         "Can't move source file \"Tom & Jerry\" into the destination folder because a subfolder "
         "of that name already exists there.",
         "Rename fol&der", "Rename the subfolder in the destination folder to \"Tom & Jerry (2)\".",
         "Rename &file", "Rename the source file to \"Tom & Jerry (2)\".",
         "Leave source file \"Tom & Jerry\" alone.", "C:\\In\\Tom & Jerry", "C:\\Out\\Tom & Jerry"});
    RunModal([&] { return dialog.ShowModal(nullptr); },
             [&](uitest::CDialogSpy&, HWND hwnd) {
                 EXPECT_TRUE(::GetWindowLongW(::GetDlgItem(hwnd, IDC_CHOICE_TEXT3), GWL_STYLE) & SS_NOPREFIX);
                 EXPECT_EQ(WindowText(::GetDlgItem(hwnd, IDC_CHOICE_TEXT3)),
                           L"Leave source file \"Tom & Jerry\" alone.");
                 EXPECT_TRUE(::GetWindowLongW(::GetDlgItem(hwnd, IDC_SRC_PATH), GWL_STYLE) & SS_NOPREFIX);
                 uitest::SaveScreenshot(hwnd, "choice_prompt_folder_clash_ampersand");
                 Click(hwnd, IDCANCEL);
             });
}

TEST(ChoicePrompt, TextsOutsideTheCodePageArriveWhole) {
    CSrcDestMatchDlg dialog(
        {engine::DecisionKind::FldrnameFnameClash,
         "Can't move subfolder \"\xE6\x97\xA5\xE6\x9C\xAC\" to the destination folder because a file "
         "named \"\xE6\x97\xA5\xE6\x9C\xAC\" already exists there.",
         "Rename &file", "Rename the file to \"\xE6\x97\xA5\xE6\x9C\xAC (2)\".", "Rename fol&der",
         "Rename the subfolder to \"caf\xC3\xA9 (2)\".", "Leave subfolder \"caf\xC3\xA9\" alone.",
         "C:\\caf\xC3\xA9", "C:\\Out\\\xE6\x97\xA5\xE6\x9C\xAC"});
    RunModal([&] { return dialog.ShowModal(nullptr); },
             [&](uitest::CDialogSpy&, HWND hwnd) {
                 EXPECT_EQ(WindowText(::GetDlgItem(hwnd, IDC_CHOICE_TEXT1)),
                           L"Rename the file to \"\u65E5\u672C (2)\".");
                 EXPECT_EQ(WindowText(::GetDlgItem(hwnd, IDC_CHOICE_TEXT3)),
                           L"Leave subfolder \"caf\u00E9\" alone.");
                 EXPECT_EQ(WindowText(::GetDlgItem(hwnd, IDC_DEST_PATH)), L"C:\\Out\\\u65E5\u672C");
                 EXPECT_EQ(WindowText(::GetDlgItem(hwnd, IDC_ANSWER_FIRST)), L"Rename &file");
                 EXPECT_EQ(WindowText(::GetDlgItem(hwnd, IDC_ANSWER_SECOND)), L"Rename fol&der");
                 Click(hwnd, IDC_ANSWER_SECOND);
             });
}

}  // namespace
}  // namespace tandemere::win32
