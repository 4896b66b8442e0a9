// Windows user interface layer: the engine's user interface as message boxes and our four dialogs.
#pragma once

#include <cstdint>
#include <string>

#include "engine/user_interface.h"
#include "ui/win32/progress_cancel_dlg_win32.h"

namespace tandemere::win32 {

class Win32UserInterface final : public engine::IUserInterface {
public:
    // Message boxes with caption "Tandemere": OK with the exclamation icon (0x30), and Yes/No with
    // the exclamation icon (0x34).
    void ShowError(engine::WindowHandle owner, const std::string& text) override;
    // Yes/No with the exclamation icon: Yes (the default button) skips the item, No stops the move.
    bool AskSkipOrStop(engine::WindowHandle owner, const std::string& text) override;
    bool AskYesNo(engine::WindowHandle owner, const std::string& text) override;

    engine::WindowHandle GetActiveWindow() override;
    // A prompt that cannot be shown answers Cancel, so the move stops instead of guessing.
    engine::PromptResult ShowChoicePrompt(engine::WindowHandle owner,
                                          const engine::ChoicePrompt& prompt) override;
    engine::PromptResult ShowClashPrompt(engine::WindowHandle owner,
                                         const engine::ClashPrompt& prompt) override;

    // The window's title names `destFolder`.
    void CreateProgress(engine::WindowHandle owner, const std::string& destFolder) override;
    void SetProgressRange(std::uint32_t total) override;
    void SetProgressItem(const std::string& path) override;
    void SetProgressPos(std::int32_t position) override;
    // The copy or comparison under way, in bytes.
    void SetProgressBytes(const engine::ByteProgress& bytes) override;
    bool PumpAndCheckCancel() override;
    void DestroyProgress() override;

    // The header gets the local date and time in front of the engine's.
    void ShowLog(engine::WindowHandle owner, const engine::LogReport& report) override;

    // The progress window, for whoever needs its handle (tests, the shell's owner windows).
    CProgressCancelDlg& Progress() { return m_dlgProgress; }

private:
    CProgressCancelDlg m_dlgProgress;
};

}  // namespace tandemere::win32
