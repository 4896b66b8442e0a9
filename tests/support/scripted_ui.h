// Test support: a user interface that records every text the engine shows and answers from a script.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "engine/user_interface.h"

namespace tandemere::testing {

class ScriptedUserInterface : public engine::IUserInterface {
public:
    // Answers for the next prompts (choice and different-file prompts share one queue).
    void QueueAnswer(std::int32_t answer, bool thisMove = false, bool everyMove = false);
    void QueueYesNo(bool yes);
    // Makes PumpAndCheckCancel report Cancel from its n-th call on (1 = the first call).
    void CancelAtPump(int n) { m_nCancelAtPump = n; }
    // Whether errors that leave an item are answered with Skip rather than Stop.
    void SkipErrors(bool skip) { m_bSkipErrors = skip; }

    void ShowError(engine::WindowHandle owner, const std::string& text) override;
    // Records the text among the errors; answers as SkipErrors said (Stop unless told).
    bool AskSkipOrStop(engine::WindowHandle owner, const std::string& text) override;
    bool AskYesNo(engine::WindowHandle owner, const std::string& text) override;
    engine::WindowHandle GetActiveWindow() override { return m_hActiveWindow; }
    engine::PromptResult ShowChoicePrompt(engine::WindowHandle owner,
                                          const engine::ChoicePrompt& prompt) override;
    engine::PromptResult ShowClashPrompt(engine::WindowHandle owner,
                                         const engine::ClashPrompt& prompt) override;
    void CreateProgress(engine::WindowHandle owner, const std::string& destFolder) override;
    void SetProgressRange(std::uint32_t total) override;
    void SetProgressItem(const std::string& path) override { m_lstProgressItems.push_back(path); }
    void SetProgressPos(std::int32_t position) override { m_lstProgressPositions.push_back(position); }
    bool PumpAndCheckCancel() override;
    void DestroyProgress() override { ++m_nProgressDestroyed; }
    void ShowLog(engine::WindowHandle owner, const engine::LogReport& report) override;

    // Runs just before each prompt answers, e.g. to change the disk while the user decides.
    std::function<void()> m_fnBeforeAnswer;
    // Runs at each PumpAndCheckCancel: between items, and between the blocks of a long copy.
    std::function<void()> m_fnOnPump;

    engine::WindowHandle m_hActiveWindow = reinterpret_cast<engine::WindowHandle>(0xAC7);
    std::vector<std::string> m_lstErrors;
    std::vector<engine::WindowHandle> m_lstErrorOwners;
    int m_nSkipOrStopAsked = 0;
    std::vector<std::string> m_lstYesNoTexts;
    std::vector<engine::ChoicePrompt> m_lstChoicePrompts;
    std::vector<engine::ClashPrompt> m_lstClashPrompts;
    std::vector<engine::WindowHandle> m_lstPromptOwners;
    int m_nUnscriptedPrompts = 0;  // prompts shown with an empty script (answered Cancel)
    int m_nProgressCreated = 0;
    int m_nProgressDestroyed = 0;
    std::vector<std::uint32_t> m_lstProgressRanges;
    std::vector<std::string> m_lstProgressItems;
    std::vector<std::int32_t> m_lstProgressPositions;
    int m_nPumps = 0;
    int m_nLogsShown = 0;
    std::string m_strShownLog;
    std::string m_strShownLogHeader;

private:
    engine::PromptResult NextAnswer();

    std::deque<engine::PromptResult> m_lstAnswers;
    std::deque<bool> m_lstYesNo;
    int m_nCancelAtPump = 0;
    bool m_bSkipErrors = false;
};

}  // namespace tandemere::testing
