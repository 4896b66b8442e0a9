// Window tests: the engine's Windows user interface (message boxes, prompts, progress, log) and the
// placement every modal dialog shares.
#include "ui/win32/user_interface_win32.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <cstdlib>

#include "res/resource.h"
#include "tests/ui/window_driver.h"
#include "ui/win32/log_dlg_win32.h"
#include "ui/win32/src_dest_match_dlg_win32.h"
#include "ui/win32/ui_text_win32.h"

namespace tandemere::win32 {
namespace {

using uitest::Click;
using uitest::RunModal;
using uitest::WindowText;

std::wstring StaticText(HWND box) {
    for (const auto& control : uitest::ReadControls(box)) {
        if (control.m_strClass == L"Static" && (control.m_nStyle & SS_TYPEMASK) != SS_ICON &&
            !control.m_strText.empty()) {
            return control.m_strText;
        }
    }
    return std::wstring();
}

TEST(Win32UserInterface, ShowErrorIsAnOkBoxWithTheExclamationIconOwnedByTheOwner) {
    uitest::COwnerWindow owner(100, 100, 400, 300);
    Win32UserInterface ui;
    const std::string text = "ERROR: Couldn't delete \"C:\\Work\\caf\xC3\xA9.txt\"";
    RunModal(
        [&] {
            ui.ShowError(owner.Hwnd(), text);
            return INT_PTR{0};
        },
        [&](uitest::CDialogSpy&, HWND box) {
            EXPECT_EQ(WindowText(box), L"Tandemere");
            EXPECT_EQ(StaticText(box), L"ERROR: Couldn't delete \"C:\\Work\\caf\u00E9.txt\"");
            EXPECT_EQ(::GetWindow(box, GW_OWNER), owner.Hwnd());
            EXPECT_NE(::GetDlgItem(box, IDOK), nullptr);
            EXPECT_EQ(::GetDlgItem(box, IDYES), nullptr);
            uitest::SaveScreenshot(box, "error_box");
            Click(box, IDOK);
        });
}

TEST(Win32UserInterface, AskYesNoIsTrueForYesOnly) {
    for (int button : {IDYES, IDNO}) {
        SCOPED_TRACE(button == IDYES ? "Yes" : "No");
        Win32UserInterface ui;
        bool answer = button != IDYES;
        RunModal(
            [&] {
                answer = ui.AskYesNo(nullptr,
                                     "ERROR: Can't move folder \"C:\\A\\\" into its subfolder "
                                     "\"C:\\A\\B\\\".\r\n\r\nContinue?");
                return INT_PTR{0};
            },
            [&](uitest::CDialogSpy&, HWND box) {
                EXPECT_EQ(WindowText(box), L"Tandemere");
                EXPECT_NE(::GetDlgItem(box, IDYES), nullptr);
                EXPECT_NE(::GetDlgItem(box, IDNO), nullptr);
                EXPECT_EQ(::GetDlgItem(box, IDOK), nullptr);
                Click(box, button);
            });
        EXPECT_EQ(answer, button == IDYES);
    }
}

// The box of an error that leaves an item: its reason, the question, and Yes (skip) as the default,
// so Enter never stops the move; No stops it.
TEST(Win32UserInterface, AskSkipOrStopDefaultsToSkip) {
    const std::string text = "ERROR: Couldn't move \"C:\\A\\a.txt\" to \"C:\\B\\a.txt\": Access denied";
    for (const bool enter : {true, false}) {
        SCOPED_TRACE(enter ? "Enter" : "No");
        Win32UserInterface ui;
        bool skip = !enter;
        RunModal(
            [&] {
                skip = ui.AskSkipOrStop(nullptr, text);
                return INT_PTR{0};
            },
            [&](uitest::CDialogSpy&, HWND box) {
                EXPECT_EQ(StaticText(box).rfind(ui::Widen(text + "\r\n\r\nSkip this item"), 0), 0u);
                EXPECT_EQ(uitest::FocusedControl(box), ::GetDlgItem(box, IDYES));
                if (enter) {
                    uitest::SaveScreenshot(box, "skip_or_stop_box");
                    uitest::PressKey(box, VK_RETURN);
                } else {
                    Click(box, IDNO);
                }
            });
        EXPECT_EQ(skip, enter);
    }
}

engine::ChoicePrompt FolderFileClash() {
    return {
        engine::DecisionKind::FldrnameFnameClash,
        "Can't move subfolder \"Photos\" to the destination folder because a file named \"Photos\" already "
        "exists there.",
        "Rename &file",
        "Rename the file to \"Photos (2)\".",
        "Rename fol&der",
        "Rename the subfolder to \"Photos (2)\".",
        "Leave subfolder \"Photos\" alone.",
        "C:\\Users\\ann\\Photos",
        "C:\\Archive\\Photos"};
}

TEST(Win32UserInterface, PromptsReturnTheAnswerWithTheBoxesAndCancelWithout) {
    Win32UserInterface ui;
    uitest::COwnerWindow owner(50, 50, 700, 500);
    engine::PromptResult result;
    RunModal(
        [&] {
            result = ui.ShowChoicePrompt(owner.Hwnd(), FolderFileClash());
            return INT_PTR{0};
        },
        [&](uitest::CDialogSpy&, HWND hwnd) {
            EXPECT_EQ(::GetWindow(hwnd, GW_OWNER), owner.Hwnd());
            EXPECT_EQ(WindowText(::GetDlgItem(hwnd, IDC_ANSWER_FIRST)), L"Rename &file");
            Click(hwnd, IDC_EVERY_MOVE);
            Click(hwnd, IDC_ANSWER_SECOND);
        });
    EXPECT_EQ(result.m_nAnswer, engine::AnswerSecond);
    EXPECT_FALSE(result.m_bThisMove);
    EXPECT_TRUE(result.m_bEveryMove);

    RunModal(
        [&] {
            result = ui.ShowChoicePrompt(owner.Hwnd(), FolderFileClash());
            return INT_PTR{0};
        },
        [&](uitest::CDialogSpy&, HWND hwnd) {
            Click(hwnd, IDC_THIS_MOVE);
            Click(hwnd, IDCANCEL);
        });
    EXPECT_EQ(result.m_nAnswer, engine::AnswerCancel);
    EXPECT_FALSE(result.m_bThisMove);

    engine::ClashPrompt clash;
    clash.m_strSrcShown = clash.m_strDestShown = "a.txt";
    clash.m_oSrcEntry.m_nSize = 3;
    clash.m_oDestEntry.m_nSize = 4;
    RunModal(
        [&] {
            result = ui.ShowClashPrompt(owner.Hwnd(), clash);
            return INT_PTR{0};
        },
        [&](uitest::CDialogSpy&, HWND hwnd) {
            EXPECT_EQ(WindowText(::GetDlgItem(hwnd, IDC_DEST_SIZE)), L"4 bytes (larger)");
            Click(hwnd, IDC_THIS_MOVE);
            Click(hwnd, IDC_ANSWER_FIRST);
        });
    EXPECT_EQ(result.m_nAnswer, engine::AnswerFirst);
    EXPECT_TRUE(result.m_bThisMove);
    EXPECT_FALSE(result.m_bEveryMove);
}

TEST(Win32UserInterface, APromptThatCannotBeShownAnswersCancel) {
    Win32UserInterface ui;
    // A handle that names no window: the dialog cannot be created with it as owner.
    const auto noWindow = reinterpret_cast<engine::WindowHandle>(static_cast<std::uintptr_t>(0x7FFF0));
    ASSERT_FALSE(::IsWindow(static_cast<HWND>(noWindow)));
    const engine::PromptResult choice = ui.ShowChoicePrompt(noWindow, FolderFileClash());
    EXPECT_EQ(choice.m_nAnswer, engine::AnswerCancel);
    EXPECT_FALSE(choice.m_bThisMove || choice.m_bEveryMove);
    const engine::PromptResult clash = ui.ShowClashPrompt(noWindow, engine::ClashPrompt{});
    EXPECT_EQ(clash.m_nAnswer, engine::AnswerCancel);
}

TEST(Win32UserInterface, ProgressRunsThroughTheWindowAndLogShowsTheText) {
    uitest::COwnerWindow owner(80, 80, 600, 400);
    Win32UserInterface ui;
    ui.SetProgressRange(3);  // before the window: nothing to do
    ui.Progress().m_nShowDelayMs = 0;
    ui.CreateProgress(owner.Hwnd(), "D:\\Archive\\");
    const HWND hwnd = ui.Progress().GetHwnd();
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(::GetWindow(hwnd, GW_OWNER), owner.Hwnd());
    ui.SetProgressRange(3);
    ui.SetProgressItem("C:\\Work\\report.txt");
    ui.SetProgressPos(2);
    EXPECT_EQ(::SendMessageW(ui.Progress().m_hwndBar, PBM_GETPOS, 0, 0), 2);
    EXPECT_EQ(WindowText(hwnd), L"Moving into D:\\Archive\\ - Tandemere");
    EXPECT_EQ(WindowText(::GetDlgItem(hwnd, IDC_PROGRESS_ITEM)), L"C:\\Work\\report.txt");
    EXPECT_FALSE(ui.PumpAndCheckCancel());
    Click(hwnd, IDCANCEL);
    EXPECT_TRUE(ui.PumpAndCheckCancel());
    ui.DestroyProgress();
    EXPECT_FALSE(::IsWindow(hwnd));

    RunModal(
        [&] {
            ui.ShowLog(owner.Hwnd(), {"From \"C:\\Work\\\" into \"D:\\Archive\\\"", "Cancelled by request.",
                                      "Stopped after 2 items."});
            return INT_PTR{0};
        },
        [&](uitest::CDialogSpy&, HWND log) {
            EXPECT_EQ(WindowText(log), L"Tandemere - Log");
            EXPECT_EQ(WindowText(::GetDlgItem(log, IDC_LOG_TEXT)), L"Cancelled by request.");
            // The local date and time come first, then the engine's header.
            const std::wstring header = WindowText(::GetDlgItem(log, IDC_LOG_HEADER));
            EXPECT_EQ(header.substr(header.find(L"\r\n")), L"\r\nFrom \"C:\\Work\\\" into \"D:\\Archive\\\"");
            EXPECT_EQ(WindowText(::GetDlgItem(log, IDC_LOG_SUMMARY)), L"Stopped after 2 items.");
            Click(log, IDOK);
        });
}

TEST(Win32UserInterface, GetActiveWindowIsThisThreadsActiveWindow) {
    uitest::COwnerWindow owner(10, 10, 300, 200);
    ::SetActiveWindow(owner.Hwnd());
    Win32UserInterface ui;
    EXPECT_EQ(ui.GetActiveWindow(), ::GetActiveWindow());
    EXPECT_EQ(ui.GetActiveWindow(), owner.Hwnd());
}

POINT Centre(const RECT& rc) {
    return POINT{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
}

TEST(DialogPlacement, CentredOverAVisibleOwner) {
    // Off the screen's centre, with room on every side for the window at any DPI.
    const RECT area = uitest::WorkArea();
    uitest::COwnerWindow owner(area.left + 40, area.top + 30, area.right - area.left - 60,
                               area.bottom - area.top - 40);
    CLogDlg dialog("");
    RunModal([&] { return dialog.ShowModal(owner.Hwnd()); },
             [&](uitest::CDialogSpy&, HWND hwnd) {
                 const POINT dialogCentre = Centre(uitest::WindowRect(hwnd));
                 const POINT ownerCentre = Centre(uitest::WindowRect(owner.Hwnd()));
                 EXPECT_LE(std::abs(dialogCentre.x - ownerCentre.x), 1);
                 EXPECT_LE(std::abs(dialogCentre.y - ownerCentre.y), 1);
                 Click(hwnd, IDOK);
             });
}

TEST(DialogPlacement, KeptInsideTheWorkAreaNearItsEdge) {
    const RECT area = uitest::WorkArea();
    uitest::COwnerWindow owner(area.right - 160, area.bottom - 120, 300, 220);
    CSrcDestMatchDlg dialog({engine::DecisionKind::FnameFldrnameClash, "question", "&One", "one", "&Two",
                             "two", "three", "C:\\a", "C:\\b"});
    RunModal([&] { return dialog.ShowModal(owner.Hwnd()); },
             [&](uitest::CDialogSpy&, HWND hwnd) {
                 const RECT rc = uitest::WindowRect(hwnd);
                 EXPECT_EQ(rc.right, area.right);
                 EXPECT_EQ(rc.bottom, area.bottom);
                 Click(hwnd, IDCANCEL);
             });
}

TEST(DialogPlacement, CentredOnTheWorkAreaWithoutAVisibleOwner) {
    const RECT area = uitest::WorkArea();
    for (bool hasOwner : {false, true}) {
        SCOPED_TRACE(hasOwner ? "hidden owner" : "no owner");
        uitest::COwnerWindow hidden(0, 0, 200, 150, false);
        CSrcDestMatchDlg dialog({engine::DecisionKind::FnameFldrnameClash, "question", "&One", "one", "&Two",
                                 "two", "three", "C:\\a", "C:\\b"});
        RunModal([&] { return dialog.ShowModal(hasOwner ? hidden.Hwnd() : nullptr); },
                 [&](uitest::CDialogSpy&, HWND hwnd) {
                     const POINT dialogCentre = Centre(uitest::WindowRect(hwnd));
                     EXPECT_LE(std::abs(dialogCentre.x - Centre(area).x), 1);
                     EXPECT_LE(std::abs(dialogCentre.y - Centre(area).y), 1);
                     Click(hwnd, IDCANCEL);
                 });
    }
}

TEST(DialogPlacement, CommandsOneToSevenEndTheDialogWithTheirId) {
    for (int id = IDOK; id <= IDNO; ++id) {
        SCOPED_TRACE(testing::Message() << "command " << id);
        CLogDlg dialog("");
        const INT_PTR result = RunModal([&] { return dialog.ShowModal(nullptr); },
                                        [&](uitest::CDialogSpy&, HWND hwnd) {
                                            // A command outside 1..7 leaves it open; the one posted after it
                                            // ends it.
                                            ::PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(8, 0), 0);
                                            ::PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(id, 0), 0);
                                        });
        EXPECT_EQ(result, id);
    }
}

}  // namespace
}  // namespace tandemere::win32
