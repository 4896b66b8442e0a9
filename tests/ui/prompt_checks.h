// Window tests: the answer protocol both prompts share, checked on a real dialog of either kind.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>

#include "res/resource.h"
#include "tests/ui/window_driver.h"

namespace tandemere::uitest {

// Presses each answer with each combination of the two check boxes (they exclude each other: the
// later tick wins), then closes with Cancel, Escape and the close box with a box ticked. `make` returns a new
// prompt (unique_ptr).
template <class MakePrompt>
void ExpectPromptAnswers(MakePrompt make) {
    for (int answer : {IDC_ANSWER_FIRST, IDC_ANSWER_SECOND, IDC_ANSWER_THIRD}) {
        for (int boxes = 0; boxes < 4; ++boxes) {
            const bool everyMove = boxes & 2;
            const bool thisMove = (boxes & 1) && !everyMove;
            SCOPED_TRACE(testing::Message() << "answer " << answer << ", this move " << thisMove
                                            << ", every move " << everyMove);
            auto dialog = make();
            const INT_PTR result = RunModal([&] { return dialog->ShowModal(nullptr); },
                                            [&](CDialogSpy&, HWND hwnd) {
                                                if (boxes & 1) Click(hwnd, IDC_THIS_MOVE);
                                                if (everyMove) Click(hwnd, IDC_EVERY_MOVE);
                                                EXPECT_EQ(IsChecked(hwnd, IDC_THIS_MOVE), thisMove);
                                                EXPECT_EQ(IsChecked(hwnd, IDC_EVERY_MOVE), everyMove);
                                                Click(hwnd, answer);
                                            });
            EXPECT_EQ(result, answer);
            EXPECT_EQ(dialog->m_bThisMove, thisMove);
            EXPECT_EQ(dialog->m_bEveryMove, everyMove);
        }
    }
    const struct {
        const char* m_pszWay;
        void (*m_fnClose)(HWND);
    } ways[] = {
        {"Cancel button", [](HWND hwnd) { Click(hwnd, IDCANCEL); }},
        {"Escape", [](HWND hwnd) { PressKey(hwnd, VK_ESCAPE); }},
        {"close box", [](HWND hwnd) { ::PostMessageW(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0); }},
        {"WM_CLOSE", [](HWND hwnd) { ::PostMessageW(hwnd, WM_CLOSE, 0, 0); }},
    };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.m_pszWay);
        auto dialog = make();
        const INT_PTR result = RunModal([&] { return dialog->ShowModal(nullptr); },
                                        [&](CDialogSpy&, HWND hwnd) {
                                            Click(hwnd, IDC_THIS_MOVE);
                                            Click(hwnd, IDC_EVERY_MOVE);
                                            way.m_fnClose(hwnd);
                                        });
        EXPECT_EQ(result, IDCANCEL);
        EXPECT_FALSE(dialog->m_bThisMove);
        EXPECT_FALSE(dialog->m_bEveryMove);
    }
}

// A mnemonic key and the result it must give.
struct MnemonicKey {
    wchar_t m_chKey;
    int m_nResult;
};

// Space and Enter on a fresh prompt answer Skip. Then the check boxes' mnemonics tick one box and
// clear the other. Then ticks "...for every move", presses each key (without Alt, as a dialog
// takes it) and checks the result: an answer reads the box, Cancel reads nothing.
template <class MakePrompt>
void ExpectMnemonics(MakePrompt make, std::initializer_list<MnemonicKey> keys) {
    for (UINT key : {VK_SPACE, VK_RETURN}) {
        SCOPED_TRACE(key == VK_SPACE ? "Space" : "Enter");
        auto dialog = make();
        const INT_PTR result = RunModal([&] { return dialog->ShowModal(nullptr); },
                                        [&](CDialogSpy&, HWND hwnd) { PressKey(hwnd, key); });
        EXPECT_EQ(result, IDC_ANSWER_THIRD);
    }
    auto boxes = make();
    RunModal([&] { return boxes->ShowModal(nullptr); },
             [&](CDialogSpy&, HWND hwnd) {
                 for (wchar_t box : {L't', L'e', L't'}) {
                     PressChar(hwnd, box);
                     Settle(hwnd);
                     EXPECT_EQ(IsChecked(hwnd, IDC_THIS_MOVE), box == L't') << static_cast<char>(box);
                     EXPECT_EQ(IsChecked(hwnd, IDC_EVERY_MOVE), box == L'e') << static_cast<char>(box);
                 }
                 Click(hwnd, IDCANCEL);
             });
    for (const MnemonicKey& key : keys) {
        SCOPED_TRACE(testing::Message() << "key " << static_cast<char>(key.m_chKey));
        auto dialog = make();
        const INT_PTR result = RunModal([&] { return dialog->ShowModal(nullptr); },
                                        [&](CDialogSpy&, HWND hwnd) {
                                            Click(hwnd, IDC_EVERY_MOVE);
                                            PressChar(hwnd, key.m_chKey);
                                        });
        EXPECT_EQ(result, key.m_nResult);
        EXPECT_FALSE(dialog->m_bThisMove);
        EXPECT_EQ(dialog->m_bEveryMove, key.m_nResult != IDCANCEL);
    }
}

}  // namespace tandemere::uitest
