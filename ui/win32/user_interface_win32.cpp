// Windows user interface layer: message boxes, prompts, progress and log behind the engine's interface.
#include "ui/win32/user_interface_win32.h"

#include <windows.h>

#include "ui/win32/locale_format_win32.h"
#include "ui/win32/log_dlg_win32.h"
#include "ui/win32/src_dest_clash_dlg_win32.h"
#include "ui/win32/src_dest_match_dlg_win32.h"
#include "ui/win32/ui_text_win32.h"

namespace tandemere::win32 {

namespace {

constexpr const wchar_t* kCaption = L"Tandemere";

HWND AsHwnd(engine::WindowHandle handle) {
    return static_cast<HWND>(handle);
}

// What the engine gets from a prompt's modal run.
template <class Dialog>
engine::PromptResult RunPrompt(Dialog& dialog, engine::WindowHandle owner) {
    engine::PromptResult result;
    const INT_PTR answer = dialog.ShowModal(AsHwnd(owner));
    if (answer == 0 || answer == -1) return result;  // could not be shown: Cancel
    result.m_nAnswer = static_cast<std::int32_t>(answer);
    if (answer >= engine::AnswerFirst && answer <= engine::AnswerThird) {
        result.m_bThisMove = dialog.m_bThisMove;
        result.m_bEveryMove = dialog.m_bEveryMove;
    }
    return result;
}

}  // namespace

void Win32UserInterface::ShowError(engine::WindowHandle owner, const std::string& text) {
    ::MessageBoxW(AsHwnd(owner), ui::Widen(text).c_str(), kCaption, MB_OK | MB_ICONEXCLAMATION);
}

bool Win32UserInterface::AskSkipOrStop(engine::WindowHandle owner, const std::string& text) {
    // Enter and Space take the default button, Yes: skipping never loses anything.
    const std::string question = text + engine::kSkipOrStopQuestion;
    return ::MessageBoxW(AsHwnd(owner), ui::Widen(question).c_str(), kCaption,
                         MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON1) == IDYES;
}

bool Win32UserInterface::AskYesNo(engine::WindowHandle owner, const std::string& text) {
    return ::MessageBoxW(AsHwnd(owner), ui::Widen(text).c_str(), kCaption, MB_YESNO | MB_ICONEXCLAMATION) ==
           IDYES;
}

engine::WindowHandle Win32UserInterface::GetActiveWindow() {
    return ::GetActiveWindow();
}

engine::PromptResult Win32UserInterface::ShowChoicePrompt(engine::WindowHandle owner,
                                                          const engine::ChoicePrompt& prompt) {
    CSrcDestMatchDlg dialog(prompt);
    return RunPrompt(dialog, owner);
}

engine::PromptResult Win32UserInterface::ShowClashPrompt(engine::WindowHandle owner,
                                                         const engine::ClashPrompt& prompt) {
    CSrcDestClashDlg dialog(prompt);
    return RunPrompt(dialog, owner);
}

void Win32UserInterface::CreateProgress(engine::WindowHandle owner, const std::string& destFolder) {
    m_dlgProgress.Create(AsHwnd(owner), ui::Widen(destFolder));
}

void Win32UserInterface::SetProgressItem(const std::string& path) {
    m_dlgProgress.SetProgressItem(ui::Widen(path));
}

void Win32UserInterface::SetProgressRange(std::uint32_t total) {
    m_dlgProgress.SetProgressRange(total);
}

void Win32UserInterface::SetProgressPos(std::int32_t position) {
    m_dlgProgress.SetProgressPos(position);
}

void Win32UserInterface::SetProgressBytes(const engine::ByteProgress& bytes) {
    m_dlgProgress.SetProgressBytes(bytes.m_nStepDone, bytes.m_nStepSize);
}

bool Win32UserInterface::PumpAndCheckCancel() {
    return m_dlgProgress.PumpAndCheckCancel();
}

void Win32UserInterface::DestroyProgress() {
    m_dlgProgress.Destroy();
}

void Win32UserInterface::ShowLog(engine::WindowHandle owner, const engine::LogReport& report) {
    std::string header = ui::Narrow(FormatNow());
    if (!report.m_strHeader.empty()) header += "\r\n" + report.m_strHeader;
    CLogDlg dialog(report.m_strLog, header, report.m_strSummary);
    dialog.ShowModal(AsHwnd(owner));
}

}  // namespace tandemere::win32
