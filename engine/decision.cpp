// Engine layer: the decision protocol shared by the four decision points, and the tail every one of them
// runs.
#include "engine/move_command.h"
#include "engine/settings_table.h"

namespace tandemere::engine {
std::int32_t MoveCommand::GetDecision(std::int32_t& field, const std::string& valueName, WindowHandle owner,
                                      const std::function<PromptResult(WindowHandle)>& showPrompt) {
    if (field != AnswerAsk) return field;
    m_bWaitedForUser = true;
    const PromptResult result = showPrompt(m_rUi.GetActiveWindow());
    // Cancel, or a prompt that could not be shown at all: end the move, remember nothing.
    if (result.m_nAnswer != AnswerFirst && result.m_nAnswer != AnswerSecond &&
        result.m_nAnswer != AnswerThird)
        return AnswerCancel;
    if (result.m_bThisMove || result.m_bEveryMove) field = result.m_nAnswer;
    if (result.m_bEveryMove) {
        m_lstStoredAnswers.insert(valueName);
        WriteDlgDefault(owner, valueName, field);
    }
    return result.m_nAnswer;
}

std::optional<std::int32_t> MoveCommand::Decide(SettingId decision, WindowHandle owner,
                                                const std::function<PromptResult(WindowHandle)>& showPrompt) {
    const SettingInfo& setting = GetSetting(decision);
    std::int32_t& field = this->*setting.m_pAnswer;
    // A remembered value may be anything, Cancel (which no prompt stores) included: such a value
    // would end the move or place the item without the user's word.
    if (!IsAnswerOf(decision, field)) {
        field = AnswerAsk;
        m_lstStoredAnswers.erase(setting.m_pszName);
    }
    m_bStoredAnswerDecides = field != AnswerAsk && m_lstStoredAnswers.count(setting.m_pszName) != 0;
    const std::int32_t answer = GetDecision(field, setting.m_pszName, owner, showPrompt);
    if (answer == AnswerCancel) {
        AppendLog("Cancelled by request.");
        return std::nullopt;
    }
    return answer;
}

}  // namespace tandemere::engine
