// Engine layer: small rules shared by the file placements.
#pragma once

#include <cstdint>

#include "engine/file_system.h"
#include "engine/user_interface.h"

namespace tandemere::engine {

// An answer some decision point knows how to act on (a remembered value may be anything).
inline bool IsKnownAnswer(std::int32_t answer) {
    return answer == AnswerCancel || answer == AnswerFirst || answer == AnswerSecond || answer == AnswerThird;
}

// Whether a file still looks as it did when it was compared.
inline bool Unchanged(const DirEntry& compared, const DirEntry& now) {
    return !now.m_bDirectory && !now.m_bLink && now.m_nSize == compared.m_nSize &&
           now.m_nLastWriteTime == compared.m_nLastWriteTime;
}

}  // namespace tandemere::engine
