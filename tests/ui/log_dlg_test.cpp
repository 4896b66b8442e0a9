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

TEST(LogWindow, ShowsTheTemplateWithTheWholeLog) {
    CLogDlg dialog(kShortLog);
    const INT_PTR result = RunModal(
        [&] { return dialog.ShowModal(nullptr); },
        [&](uitest::CDialogSpy&, HWND hwnd) {
            EXPECT_EQ(WindowText(hwnd), L"Tandemere - Log");
            const DWORD style = static_cast<DWORD>(::GetWindowLongW(hwnd, GWL_STYLE));
            const DWORD frame = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MAXIMIZEBOX | WS_THICKFRAME;
            EXPECT_EQ(style & frame, frame);
            EXPECT_EQ(uitest::FontFace(hwnd), L"MS Sans Serif");
            EXPECT_EQ(uitest::FontPoints(hwnd), 8);
            RECT client;
            ::GetClientRect(hwnd, &client);
            const RECT size = uitest::DialogUnitsToPixels(hwnd, 0, 0, 480, 283);
            EXPECT_EQ(client.right, size.right);
            EXPECT_EQ(client.bottom, size.bottom);
            uitest::ExpectControls(hwnd, {
                                             {1, L"Button", L"OK", BS_DEFPUSHBUTTON,
                                              WS_TABSTOP | BS_CENTER | BS_VCENTER, 215, 260, 50, 16},
                                             {201, L"Edit", ui::Widen(kShortLog), 0,
                                              WS_TABSTOP | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL |
                                                  ES_AUTOHSCROLL | WS_VSCROLL | WS_HSCROLL,
                                              8, 7, 472, 249},
                                         });
            EXPECT_EQ(uitest::TabOrder(hwnd), (std::vector<int>{1, 201}));
            EXPECT_EQ(::SendMessageW(::GetDlgItem(hwnd, IDC_LOG_TEXT), EM_GETLINECOUNT, 0, 0), 4);

            // Typing changes nothing.
            ::PostMessageW(::GetDlgItem(hwnd, IDC_LOG_TEXT), WM_CHAR, L'x', 1);
            uitest::Settle(hwnd);
            EXPECT_EQ(WindowText(::GetDlgItem(hwnd, IDC_LOG_TEXT)), ui::Widen(kShortLog));
            uitest::SaveScreenshot(hwnd, "log_window");
            Click(hwnd, IDOK);
        });
    EXPECT_EQ(result, IDOK);
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

// Checks the two controls against the pixel rule for the current client size.
void ExpectLayoutFollowsTheRule(HWND hwnd) {
    RECT client;
    ::GetClientRect(hwnd, &client);
    const int w = client.right;
    const int h = client.bottom;
    SCOPED_TRACE(testing::Message() << "client " << w << " x " << h);
    const std::vector<uitest::ControlInfo> controls = uitest::ReadControls(hwnd);
    ASSERT_EQ(controls.size(), 2u);
    const RECT ok = controls[0].m_rc;
    const RECT edit = controls[1].m_rc;
    const RECT okSize = uitest::DialogUnitsToPixels(hwnd, 215, 260, 50, 16);
    const RECT editPlace = uitest::DialogUnitsToPixels(hwnd, 8, 7, 472, 249);
    EXPECT_EQ(ok.left, w / 2 - 37);
    EXPECT_EQ(ok.top, h - 37);
    EXPECT_EQ(ok.right - ok.left, okSize.right - okSize.left);
    EXPECT_EQ(ok.bottom - ok.top, okSize.bottom - okSize.top);
    EXPECT_EQ(edit.left, editPlace.left);
    EXPECT_EQ(edit.top, editPlace.top);
    EXPECT_EQ(edit.right - edit.left, std::max(w - 12, 0));
    EXPECT_EQ(edit.bottom - edit.top, std::max(h - 55, 0));
}

TEST(LogWindow, ResizingFollowsThePixelRule) {
    CLogDlg dialog(kShortLog);
    RunModal(
        [&] { return dialog.ShowModal(nullptr); },
        [&](uitest::CDialogSpy&, HWND hwnd) {
            // At Windows' usual base units the template itself is the rule's layout, so nothing jumps
            // at the first resize; other base units (fonts, DPI) place the first layout by the template.
            const RECT unit = uitest::DialogUnitsToPixels(hwnd, 0, 0, 4, 8);
            if (unit.right == 6 && unit.bottom == 13) {
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

TEST(LogWindow, ALongLogScrollsBothWaysWithoutWrapping) {
    std::string log;
    const int kLines = 3000;
    for (int i = 0; i < kLines; ++i) {
        log += "Moved source file \"Projects\\Archive " + std::to_string(i) + "\\" + std::string(200, 'x') +
               ".dat\" to destination because the source file is unique.\r\n";
    }
    CLogDlg dialog(log);
    RunModal([&] { return dialog.ShowModal(nullptr); },
             [&](uitest::CDialogSpy&, HWND hwnd) {
                 const HWND edit = ::GetDlgItem(hwnd, IDC_LOG_TEXT);
                 EXPECT_EQ(static_cast<std::size_t>(::GetWindowTextLengthW(edit)), log.size());
                 // Every log line is one line of the control (no wrapping), plus the empty last one.
                 EXPECT_EQ(::SendMessageW(edit, EM_GETLINECOUNT, 0, 0), kLines + 1);
                 SCROLLINFO vertical = {sizeof(vertical), SIF_ALL, 0, 0, 0, 0, 0};
                 SCROLLINFO horizontal = {sizeof(horizontal), SIF_ALL, 0, 0, 0, 0, 0};
                 ASSERT_TRUE(::GetScrollInfo(edit, SB_VERT, &vertical));
                 ASSERT_TRUE(::GetScrollInfo(edit, SB_HORZ, &horizontal));
                 EXPECT_GT(vertical.nMax - vertical.nMin + 1, static_cast<int>(vertical.nPage));
                 EXPECT_GT(horizontal.nMax - horizontal.nMin + 1, static_cast<int>(horizontal.nPage));

                 // To the last lines and their ends, so the picture shows where they stop.
                 ::SendMessageW(edit, EM_LINESCROLL, 200, kLines);
                 uitest::Settle(hwnd);
                 EXPECT_GT(::SendMessageW(edit, EM_GETFIRSTVISIBLELINE, 0, 0), kLines - 60);
                 horizontal.fMask = SIF_POS;
                 ASSERT_TRUE(::GetScrollInfo(edit, SB_HORZ, &horizontal));
                 EXPECT_GT(horizontal.nPos, 0);
                 uitest::SaveScreenshot(hwnd, "log_window_long_scrolled");
                 Click(hwnd, IDOK);
             });
}

}  // namespace
}  // namespace tandemere::win32
