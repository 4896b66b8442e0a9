// Test support: the scripted user interface.
#include "tests/support/scripted_ui.h"

namespace tandemere::testing {

using engine::PromptResult;

void ScriptedUserInterface::QueueAnswer(std::int32_t answer, bool thisMove, bool everyMove) {
    m_lstAnswers.push_back(PromptResult{answer, thisMove, everyMove});
}

void ScriptedUserInterface::QueueYesNo(bool yes) {
    m_lstYesNo.push_back(yes);
}

void ScriptedUserInterface::ShowError(engine::WindowHandle owner, const std::string& text) {
    m_lstErrors.push_back(text);
    m_lstErrorOwners.push_back(owner);
}

bool ScriptedUserInterface::AskSkipOrStop(engine::WindowHandle owner, const std::string& text) {
    ShowError(owner, text);
    ++m_nSkipOrStopAsked;
    return m_bSkipErrors;
}

bool ScriptedUserInterface::AskYesNo(engine::WindowHandle, const std::string& text) {
    m_lstYesNoTexts.push_back(text);
    if (m_lstYesNo.empty()) return false;
    const bool yes = m_lstYesNo.front();
    m_lstYesNo.pop_front();
    return yes;
}

PromptResult ScriptedUserInterface::NextAnswer() {
    if (m_fnBeforeAnswer) m_fnBeforeAnswer();
    if (m_lstAnswers.empty()) {
        ++m_nUnscriptedPrompts;
        return PromptResult{engine::AnswerCancel, false, false};
    }
    PromptResult result = m_lstAnswers.front();
    m_lstAnswers.pop_front();
    return result;
}

PromptResult ScriptedUserInterface::ShowChoicePrompt(engine::WindowHandle owner,
                                                     const engine::ChoicePrompt& prompt) {
    m_lstChoicePrompts.push_back(prompt);
    m_lstPromptOwners.push_back(owner);
    return NextAnswer();
}

PromptResult ScriptedUserInterface::ShowClashPrompt(engine::WindowHandle owner,
                                                    const engine::ClashPrompt& prompt) {
    m_lstClashPrompts.push_back(prompt);
    m_lstPromptOwners.push_back(owner);
    return NextAnswer();
}

void ScriptedUserInterface::CreateProgress(engine::WindowHandle, const std::string&) {
    ++m_nProgressCreated;
}

void ScriptedUserInterface::SetProgressRange(std::uint32_t total) {
    m_lstProgressRanges.push_back(total);
}

bool ScriptedUserInterface::PumpAndCheckCancel() {
    if (m_fnOnPump) m_fnOnPump();
    ++m_nPumps;
    return m_nCancelAtPump > 0 && m_nPumps >= m_nCancelAtPump;
}

void ScriptedUserInterface::ShowLog(engine::WindowHandle, const engine::LogReport& report) {
    ++m_nLogsShown;
    m_strShownLog = report.m_strLog;
    m_strShownLogHeader = report.m_strHeader;
}

}  // namespace tandemere::testing
