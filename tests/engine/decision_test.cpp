// Engine tests: the decision protocol: remembered answers, the two check boxes, Cancel, failed prompts.
#include <gtest/gtest.h>

#include "tests/engine/move_fixture.h"

namespace tandemere::testing {
namespace {

using engine::AnswerAsk;
using engine::PromptResult;

class DecisionTest : public MoveFixture {
protected:
    // Runs one decision on a field; the prompt, when shown, answers `prompt` and records its owner.
    std::int32_t Decide(engine::MoveCommand& command, std::int32_t& field, PromptResult prompt) {
        return command.GetDecision(field, "DiffFileSameNameDlgDefault", kOwner,
                                   [&](engine::WindowHandle owner) {
                                       m_lstPromptOwners.push_back(owner);
                                       return prompt;
                                   });
    }
    std::int32_t Stored() {
        engine::MoveCommand reader(m_fs, m_settings, m_ui);
        reader.ReadSettings();
        return reader.m_nDiffFileSameNameDlgDefault;
    }
    std::vector<engine::WindowHandle> m_lstPromptOwners;
};

TEST_F(DecisionTest, PromptAnswersAndWhatTheyRemember) {
    struct Case {
        const char* m_szName;
        PromptResult m_prompt;
        std::int32_t m_nReturned;
        std::int32_t m_nField;   // afterwards
        std::int32_t m_nStored;  // in the settings afterwards
    };
    const Case cases[] = {
        {"answer only", {230, false, false}, 230, AnswerAsk, AnswerAsk},
        {"for this move", {231, true, false}, 231, 231, AnswerAsk},
        {"for every move", {232, false, true}, 232, 232, 232},
        {"both boxes", {230, true, true}, 230, 230, 230},
        {"cancel with both boxes", {2, true, true}, 2, AnswerAsk, AnswerAsk},
        {"prompt could not be shown (0)", {0, true, true}, 2, AnswerAsk, AnswerAsk},
        {"prompt could not be shown (-1)", {-1, false, true}, 2, AnswerAsk, AnswerAsk},
        {"unknown button", {1, false, true}, 2, AnswerAsk, AnswerAsk},
    };
    m_ui.m_hActiveWindow = reinterpret_cast<engine::WindowHandle>(0xAC7E);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.m_szName);
        m_testSettings.Clear();
        m_lstPromptOwners.clear();
        engine::MoveCommand command(m_fs, m_settings, m_ui);
        std::int32_t field = AnswerAsk;
        EXPECT_EQ(c.m_nReturned, Decide(command, field, c.m_prompt));
        EXPECT_EQ(c.m_nField, field);
        EXPECT_EQ(c.m_nStored, Stored());
        EXPECT_EQ(std::vector<engine::WindowHandle>{m_ui.m_hActiveWindow}, m_lstPromptOwners);
    }
    EXPECT_EQ(0u, m_ui.m_lstErrors.size());
}

TEST_F(DecisionTest, ARememberedValueIsReturnedWithoutPromptWhateverItIs) {
    for (std::int32_t value : {230, 231, 232, 2, 7, 0}) {
        SCOPED_TRACE(value);
        m_lstPromptOwners.clear();
        engine::MoveCommand command(m_fs, m_settings, m_ui);
        std::int32_t field = value;
        EXPECT_EQ(value, Decide(command, field, {230, true, true}));
        EXPECT_EQ(value, field);
        EXPECT_TRUE(m_lstPromptOwners.empty());
    }
    EXPECT_FALSE(m_testSettings.Exists());
}

TEST_F(DecisionTest, FailedWriteShowsTheBoxButTheAnswerGovernsThisMove) {
    std::unique_ptr<engine::ISettingsStore> broken = m_testSettings.MakeUncreatableStore();
    ASSERT_NE(nullptr, broken);
    engine::MoveCommand command(m_fs, *broken, m_ui);
    std::int32_t field = AnswerAsk;
    EXPECT_EQ(231, Decide(command, field, {231, false, true}));
    EXPECT_EQ(231, field);
    EXPECT_EQ(std::vector<std::string>{broken->WriteErrorText()}, m_ui.m_lstErrors);
    EXPECT_EQ(std::vector<engine::WindowHandle>{kOwner}, m_ui.m_lstErrorOwners);
    // Asked once only: the field now answers.
    EXPECT_EQ(231, Decide(command, field, {230, false, false}));
    EXPECT_EQ(1u, m_lstPromptOwners.size());
    EXPECT_EQ(1u, m_ui.m_lstErrors.size());
}

TEST_F(DecisionTest, AnswerForEveryMoveGovernsTheNextMoveWithoutPrompt) {
    // A folder named like a destination file, twice over two moves; the first answer is kept.
    ASSERT_TRUE(WriteFile(Src("one/Docs/a.txt"), "doc a"));
    ASSERT_TRUE(WriteFile(Src("two/Docs/b.txt"), "doc bb"));
    ASSERT_TRUE(WriteFile(Dst("Docs"), "a file called Docs"));
    m_ui.QueueAnswer(232, false, true);
    EXPECT_EQ(engine::MoveFinished, Run({Src("one/Docs")}));
    EXPECT_EQ(1u, m_ui.m_lstChoicePrompts.size());
    engine::MoveCommand reader(m_fs, m_settings, m_ui);
    reader.ReadSettings();
    EXPECT_EQ(232, reader.m_nFldrnameFnameClashDlgDefault);

    EXPECT_EQ(engine::MoveFinished, Run({Src("two/Docs")}));
    EXPECT_EQ(1u, m_ui.m_lstChoicePrompts.size());
    EXPECT_EQ(
        "Left source folder \"Docs\" alone, given existence of file \"Docs\" in the destination folder.\r\n",
        m_log);
    EXPECT_EQ(0, m_ui.m_nUnscriptedPrompts);
}

}  // namespace
}  // namespace tandemere::testing
