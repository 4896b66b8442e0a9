// Engine layer: everything a move shows the user, as one interface (windows on Windows, a terminal
// on Linux, a script in the tests).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/file_system.h"
#include "engine/keep_alive.h"

namespace tandemere::engine {

// The answer of a decision, and the value of a remembered answer; persisted, so the codes are fixed.
enum PromptAnswer : std::int32_t {
    AnswerAsk = -1,
    AnswerCancel = 2,
    AnswerFirst = 230,
    AnswerSecond = 231,
    AnswerThird = 232,
};

// What a prompt returned: the answer and the two "Always do this..." check boxes.
struct PromptResult {
    std::int32_t m_nAnswer = AnswerCancel;  // a prompt that could not be shown gives Cancel
    bool m_bThisMove = false;
    bool m_bEveryMove = false;
};

// The decision points, so a front end can tell the prompts apart.
enum class DecisionKind : std::uint8_t {
    DiffFileSameName,
    SameFileDiffName,
    FnameFldrnameClash,
    FldrnameFnameClash,
    SameFileElsewhere,  // two answers: the second caption is empty and its button not shown
};

// The three-way choice prompt: every text it shows. The third button always reads "&Skip"; an
// empty second caption leaves the second answer out.
struct ChoicePrompt {
    DecisionKind m_nKind;
    std::string m_strQuestion;
    std::string m_strCaption1;
    std::string m_strText1;
    std::string m_strCaption2;
    std::string m_strText2;
    std::string m_strText3;
    // The whole paths of the source item and of the destination item it meets, whatever the texts
    // show: two files of one size and time differ by folder.
    std::string m_strSrcPath;
    std::string m_strDestPath;
};

// The different-file prompt: both files side by side, and the texts the engine builds for it.
// Sizes and dates are formatted by the front end, in the user's locale.
struct ClashPrompt {
    std::string m_strSrcPath;
    std::string m_strSrcShown;
    DirEntry m_oSrcEntry;
    std::string m_strDestPath;
    std::string m_strDestShown;
    DirEntry m_oDestEntry;
    std::string m_strNewPath;
    std::string m_strNewShown;
    std::string m_strQuestion;  // control 202
    std::string m_strText1;     // beside "&Overwrite"
    std::string m_strText2;     // beside "&Rename"
    std::string m_strText3;     // beside "&Skip"
};

// What AskSkipOrStop asks after the error's text, in a box of Yes and No buttons.
inline constexpr const char* kSkipOrStopQuestion =
    "\r\n\r\nSkip this item and go on with the others? (Yes skips it and leaves it where it is; No stops "
    "the move.)";

// What the log window shows: between which folders the move ran, its log lines, and one line of
// what it did in all (empty where the front end shows that itself).
struct LogReport {
    std::string m_strHeader;
    std::string m_strLog;
    std::string m_strSummary;
};

class IUserInterface {
public:
    virtual ~IUserInterface() = default;

    // A modal box with an OK button and the exclamation icon, caption "Tandemere".
    virtual void ShowError(WindowHandle owner, const std::string& text) = 0;
    // A modal box with an error that leaves one item where it is, asking whether to skip that item
    // and go on with the others (true, the default: it never loses content) or to stop the move.
    virtual bool AskSkipOrStop(WindowHandle owner, const std::string& text) = 0;
    // A modal Yes/No box with the exclamation icon; true for Yes.
    virtual bool AskYesNo(WindowHandle owner, const std::string& text) = 0;

    // The window that is active now: the owner of prompts and of the log window.
    virtual WindowHandle GetActiveWindow() = 0;
    virtual PromptResult ShowChoicePrompt(WindowHandle owner, const ChoicePrompt& prompt) = 0;
    virtual PromptResult ShowClashPrompt(WindowHandle owner, const ClashPrompt& prompt) = 0;

    // The progress window: created before the first item, destroyed after the last. `destFolder`
    // is the drop folder the move fills, for the window's title.
    virtual void CreateProgress(WindowHandle owner, const std::string& destFolder) = 0;
    // The bar's range 0..total. Windows keeps only the low 16 bits of the total.
    virtual void SetProgressRange(std::uint32_t total) = 0;
    // Called as an item starts, with its full path; a terminal shows it, a window need not.
    virtual void SetProgressItem(const std::string& path) = 0;
    virtual void SetProgressPos(std::int32_t position) = 0;
    // The bytes copied and compared so far, during a long copy or comparison at most every
    // kKeepAliveInterval, and as each item ends. A window that shows only items may ignore them.
    virtual void SetProgressBytes(const ByteProgress& bytes) { (void)bytes; }
    // Dispatches pending messages (or signals) and says whether Cancel was pressed; stays true.
    virtual bool PumpAndCheckCancel() = 0;
    virtual void DestroyProgress() = 0;

    // Each piece of text as the log gets it, for a front end that shows the log as it grows.
    virtual void LogAppended(std::string_view text) { (void)text; }
    // The modal log window with the whole log text, its header and summary.
    virtual void ShowLog(WindowHandle owner, const LogReport& report) = 0;
};

}  // namespace tandemere::engine
