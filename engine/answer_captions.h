// Engine layer: the captions of each decision's answer buttons, one table for the prompts and for
// the settings window that names a remembered answer in the same words.
#pragma once

#include "engine/settings_table.h"
#include "engine/user_interface.h"

namespace tandemere::engine {

struct AnswerCaptions {
    DecisionKind m_nKind;
    SettingId m_nSetting;     // where the decision's answer for every move is remembered
    const char* m_pszFirst;   // button 230
    const char* m_pszSecond;  // button 231; empty where the decision has no such answer
};

// The third button of every prompt.
inline constexpr const char* kSkipCaption = "&Skip";

const AnswerCaptions& GetAnswerCaptions(DecisionKind kind);
// The captions of the decision whose answer this setting remembers; null for a switch.
const AnswerCaptions* FindAnswerCaptions(SettingId setting);

}  // namespace tandemere::engine
