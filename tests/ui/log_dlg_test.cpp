// Window tests: the log window's template, its text, the resize rule and long logs.
#include "ui/win32/log_dlg_win32.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "res/resource.h"
#include "tests/ui/window_driver.h"
#include "ui/win32/ui_text_win32.h"

namespace tandemere::win32 {
namespace {

using uitest::Click;
using uitest::RunModal;
using uitest::WindowText;

const char kShortLog[] =
    "Moved source file \"report.txt\" to destination \"report.txt\" because the source file is unique and "
    "the "
    "filename was not already being used.\r\n"
    "Deleted source file \"Photos\\beach.jpg\", because destination file \"Photos\\beach.jpg\" is the "
    "same.\r\n"
    "Removed source folder \"Photos\".\r\n";

const char kHeader[] = "Thursday, December 10, 2026 16:40\r\nFrom \"C:\\Work\\\" into \"D:\\Archive\\\"";
const char kSummary[] =
    "Moved 1 file, deleted 1 duplicate (2.0 KiB freed), renamed 0, left 0 alone, 0 errors.";

TEST(LogWindow, ShowsTheTemplateWithHeaderWholeLogSummaryAndItsButtons) {
    CLogDlg dialog(kShortLog, kHeader, kSummary);
    const INT_PTR result = RunModal(
        [&] { return dialog.ShowModal(nullptr); },
        [&](uitest::CDialogSpy&, HWND hwnd) {
            EXPECT_EQ(WindowText(hwnd), L"Tandemere - Log");
            EXPECT_NE(::SendMessageW(hwnd, WM_GETICON, ICON_SMALL, 0), 0);
            const DWORD style = static_cast<DWORD>(::GetWindowLongW(hwnd, GWL_STYLE));
            const DWORD frame = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MAXIMIZEBOX | WS_THICKFRAME;
            EXPECT_EQ(style & frame, frame);
            EXPECT_EQ(uitest::FontFace(hwnd), L"MS Shell Dlg");
            EXPECT_EQ(uitest::FontPoints(hwnd), 8);
            RECT client;
            ::GetClientRect(hwnd, &client);
            const RECT size = uitest::DialogUnitsToPixels(hwnd, 0, 0, 480, 283);
            EXPECT_EQ(client.right, size.right);
            EXPECT_EQ(client.bottom, size.bottom);
            const DWORD editStyles = WS_TABSTOP | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_VSCROLL;
            uitest::ExpectControls(
                hwnd, {
                          {240, L"Static", ui::Widen(kHeader), SS_LEFT, SS_NOPREFIX, 8, 7, 464, 18},
                          {201, L"Edit", ui::Widen(kShortLog), 0, editStyles, 8, 27, 464, 203},
                          {241, L"Static", ui::Widen(kSummary), SS_LEFT, SS_NOPREFIX, 8, 234, 464, 20},
                          {242, L"Button", L"Copy &all", BS_PUSHBUTTON, WS_TABSTOP, 8, 260, 60, 16},
                          {243, L"Button", L"&Save...", BS_PUSHBUTTON, WS_TABSTOP, 74, 260, 60, 16},
                          {1, L"Button", L"OK", BS_DEFPUSHBUTTON, WS_TABSTOP, 412, 260, 60, 16},
                      });
            const HWND edit = ::GetDlgItem(hwnd, IDC_LOG_TEXT);
            // Lines wrap: nothing scrolls sideways.
            EXPECT_FALSE(::GetWindowLongW(edit, GWL_STYLE) & (ES_AUTOHSCROLL | WS_HSCROLL));
            EXPECT_EQ(uitest::TabOrder(hwnd), (std::vector<int>{201, 242, 243, 1}));
            EXPECT_EQ(uitest::FocusedControl(hwnd), edit);
            EXPECT_GT(::SendMessageW(edit, EM_GETLINECOUNT, 0, 0), 4) << "the long first line wraps";

            // Typing changes nothing; Ctrl+A selects the whole log; Copy all copies header, log and summary.
            ::PostMessageW(edit, WM_CHAR, L'x', 1);
            ::PostMessageW(edit, WM_CHAR, 1, 1);
            uitest::Settle(hwnd);
            EXPECT_EQ(WindowText(edit), ui::Widen(kShortLog));
            DWORD from = 1, to = 0;
            ::SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
            EXPECT_EQ(from, 0u);
            EXPECT_EQ(to, ui::Widen(kShortLog).size());
            Click(hwnd, IDC_LOG_COPY);
            EXPECT_EQ(uitest::ClipboardText(),
                      ui::Widen(std::string(kHeader) + "\r\n\r\n" + kShortLog + "\r\n" + kSummary + "\r\n"));
            uitest::SaveScreenshot(hwnd, "log_window");
            Click(hwnd, IDOK);
        });
    EXPECT_EQ(result, IDOK);
}

TEST(LogWindow, SaveWritesHeaderLogAndSummaryAsUtf8) {
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring path = std::wstring(temp) + L"tandemere-log-test-caf\u00E9.txt";
    ::DeleteFileW(path.c_str());
    CLogDlg dialog("Moved \"caf\xC3\xA9.txt\".\r\n", "From here", "Moved 1 file.");
    RunModal([&] { return dialog.ShowModal(nullptr); },
             [&](uitest::CDialogSpy& spy, HWND hwnd) {
                 uitest::ClickAsync(hwnd, IDC_LOG_SAVE);
                 const HWND save = spy.WaitForDialog();
                 ASSERT_NE(save, nullptr);
                 uitest::Settle(save);
                 uitest::SaveScreenshot(save, "log_window_save");
                 // The file name box of the common Save dialog (cmb13, or edt1 in the old style).
                 if (!::SetDlgItemTextW(save, 0x47c, path.c_str()))
                     ::SetDlgItemTextW(save, 0x480, path.c_str());
                 Click(save, IDOK);
                 EXPECT_TRUE(uitest::WaitUntilClosed(save));
                 Click(hwnd, IDOK);
             });
    const HANDLE file =
        ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    char bytes[256] = {};
    DWORD got = 0;
    ::ReadFile(file, bytes, sizeof(bytes), &got, nullptr);
    ::CloseHandle(file);
    ::DeleteFileW(path.c_str());
    EXPECT_EQ(std::string(bytes, got),
              "\xEF\xBB\xBF"
              "From here\r\n\r\nMoved \"caf\xC3\xA9.txt\".\r\n\r\nMoved 1 file.\r\n");
    EXPECT_EQ(WriteTextFile(L"C:\\tandemere-no-such-folder\\log.txt", L"x"),
              static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

TEST(LogWindow, EscapeAndTheCloseBoxGiveTwoAndAnEmptyLogShowsNothing) {
    const struct {
        const char* m_pszWay;
        void (*m_fnClose)(HWND);
    } ways[] = {
        {"Escape", [](HWND hwnd) { uitest::PressKey(hwnd, VK_ESCAPE); }},
        {"close box", [](HWND hwnd) { ::PostMessageW(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0); }},
    };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.m_pszWay);
        CLogDlg dialog("");
        const INT_PTR result = RunModal([&] { return dialog.ShowModal(nullptr); },
                                        [&](uitest::CDialogSpy&, HWND hwnd) {
                                            EXPECT_EQ(WindowText(::GetDlgItem(hwnd, IDC_LOG_TEXT)), L"");
                                            way.m_fnClose(hwnd);
                                        });
        EXPECT_EQ(result, IDCANCEL);
    }
}

// Checks the controls against the layout rule (in dialog units) for the current client size.
void ExpectLayoutFollowsTheRule(HWND hwnd) {
    RECT client;
    ::GetClientRect(hwnd, &client);
    const int w = client.right;
    const int h = client.bottom;
    SCOPED_TRACE(testing::Message() << "client " << w << " x " << h);
    const std::vector<uitest::ControlInfo> controls = uitest::ReadControls(hwnd);
    ASSERT_EQ(controls.size(), 6u);
    const RECT margin = uitest::DialogUnitsToPixels(hwnd, 0, 0, 8, 7);
    const RECT button = uitest::DialogUnitsToPixels(hwnd, 0, 0, 60, 16);
    const RECT& header = controls[0].m_rc;
    const RECT& edit = controls[1].m_rc;
    const RECT& summary = controls[2].m_rc;
    const RECT& ok = controls[5].m_rc;
    // Within a pixel: the template rounds each control's place and size separately.
    EXPECT_NEAR(header.left, margin.right, 1);
    EXPECT_NEAR(edit.right, w - margin.right, 1);
    EXPECT_NEAR(ok.right, w - margin.right, 1);
    EXPECT_NEAR(ok.bottom, h - margin.bottom, 1);
    EXPECT_NEAR(ok.right - ok.left, button.right, 1);
    EXPECT_NEAR(ok.bottom - ok.top, button.bottom, 1);
    EXPECT_LE(header.bottom, edit.top);
    EXPECT_LT(edit.bottom, summary.top);
    EXPECT_LT(summary.bottom, ok.top);
    for (int i = 3; i < 5; ++i) EXPECT_EQ(controls[i].m_rc.top, ok.top);
}

TEST(LogWindow, ResizingKeepsTheLayoutRule) {
    CLogDlg dialog(kShortLog);
    RunModal(
        [&] { return dialog.ShowModal(nullptr); },
        [&](uitest::CDialogSpy&, HWND hwnd) {
            // The template itself is the rule's layout, so nothing jumps at the first resize.
            {
                SCOPED_TRACE("as opened");
                ExpectLayoutFollowsTheRule(hwnd);
            }
            const struct {
                int m_nWidth, m_nHeight;
            } sizes[] = {{900, 600}, {500, 300}, {761, 433}, {300, 200}, {120, 90}, {640, 480}};
            for (const auto& size : sizes) {
                SCOPED_TRACE(testing::Message() << "window " << size.m_nWidth << " x " << size.m_nHeight);
                ::SetWindowPos(hwnd, nullptr, 0, 0, size.m_nWidth, size.m_nHeight, SWP_NOMOVE | SWP_NOZORDER);
                uitest::Settle(hwnd);
                ExpectLayoutFollowsTheRule(hwnd);
                if (size.m_nWidth == 500) uitest::SaveScreenshot(hwnd, "log_window_resized");
            }
            {
                SCOPED_TRACE("maximised");
                ::SendMessageW(hwnd, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
                uitest::Settle(hwnd);
                EXPECT_TRUE(::IsZoomed(hwnd));
                ExpectLayoutFollowsTheRule(hwnd);
            }
            {
                SCOPED_TRACE("restored");
                ::SendMessageW(hwnd, WM_SYSCOMMAND, SC_RESTORE, 0);
                uitest::Settle(hwnd);
                EXPECT_FALSE(::IsZoomed(hwnd));
                ExpectLayoutFollowsTheRule(hwnd);
            }
            Click(hwnd, IDOK);
        });
}

TEST(LogWindow, ALongLogWrapsAndOpensAtItsEndWhereAStopSaysWhy) {
    std::string log;
    const int kLines = 3000;
    for (int i = 0; i < kLines; ++i) {
        log += "Moved source file \"Projects\\Archive " + std::to_string(i) + "\\" + std::string(200, 'x') +
               ".dat\" to destination because the source file is unique.\r\n";
    }
    log += "Cancelled by request.";
    const std::string deep = "C:\\" + std::string(240, 'd') + "\\";
    CLogDlg dialog(log, "From \"" + deep + "\" into \"D:\\\"", "Stopped after moving 3,000 files.");
    RunModal([&] { return dialog.ShowModal(nullptr); },
             [&](uitest::CDialogSpy&, HWND hwnd) {
                 const HWND edit = ::GetDlgItem(hwnd, IDC_LOG_TEXT);
                 EXPECT_EQ(static_cast<std::size_t>(::GetWindowTextLengthW(edit)), log.size());
                 // Every log line is wrapped to several lines of the control.
                 const int lines = static_cast<int>(::SendMessageW(edit, EM_GETLINECOUNT, 0, 0));
                 EXPECT_GT(lines, 2 * kLines);
                 // Opened at the end: the last line (the reason of the stop) is in view.
                 const int first = static_cast<int>(::SendMessageW(edit, EM_GETFIRSTVISIBLELINE, 0, 0));
                 EXPECT_GT(first, lines - 60);
                 const std::wstring header = WindowText(::GetDlgItem(hwnd, IDC_LOG_HEADER));
                 EXPECT_NE(header.find(L"..."), std::wstring::npos) << "the long folder is shortened";
                 EXPECT_EQ(WindowText(::GetDlgItem(hwnd, IDC_LOG_SUMMARY)),
                           L"Stopped after moving 3,000 files.");
                 uitest::ExpectLaidOutWithoutOverlap(hwnd, {IDC_LOG_HEADER, IDC_LOG_SUMMARY});
                 uitest::SaveScreenshot(hwnd, "log_window_long_at_end");
                 Click(hwnd, IDOK);
             });
}

}  // namespace
}  // namespace tandemere::win32
