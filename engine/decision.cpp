// Engine layer: the decision protocol shared by the four decision points.
#include "engine/move_command.h"

namespace tandemere::engine {

std::int32_t MoveCommand::GetDecision(std::int32_t& field, const std::string& valueName, WindowHandle owner,
                                      const std::function<PromptResult(WindowHandle)>& showPrompt) {
    if (field != AnswerAsk) return field;
    const PromptResult result = showPrompt(m_rUi.GetActiveWindow());
    // Cancel, or a prompt that could not be shown at all: end the move, remember nothing.
    if (result.m_nAnswer != AnswerFirst && result.m_nAnswer != AnswerSecond &&
        result.m_nAnswer != AnswerThird)
        return AnswerCancel;
    if (result.m_bThisMove || result.m_bEveryMove) field = result.m_nAnswer;
    if (result.m_bEveryMove) WriteDlgDefault(owner, valueName, field);
    return result.m_nAnswer;
}

}  // namespace tandemere::engine
