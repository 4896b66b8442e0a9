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
        "Left source folder \"Docs\" alone, given existence of file \"Docs\" in the destination folder. "
        "(stored answer)\r\n",
        m_log);
    EXPECT_EQ(0, m_ui.m_nUnscriptedPrompts);
}

// All four decision points in one move, each answered Skip: by a value in the settings, or where the
// value is none of the three answers, by the prompt that is shown instead. Only a stored answer's
// lines say so; an answer given "for this move" is not stored, one given "for every move" is.
TEST_F(DecisionTest, EveryDecisionPointTakesOnlyAnAnswerAndSaysWhenAStoredOneDecided) {
    struct Case {
        std::int64_t m_nStored;       // in the settings; -2: none
        PromptResult m_oFirstAnswer;  // to the first prompt of each kind, when one is shown
        std::size_t m_nPrompts;
        std::size_t m_nStoredLines;  // lines ending in " (stored answer)"
    };
    const Case cases[] = {
        {232, {}, 0, 8},
        {2, {232, false, false}, 8, 0},
        {7, {232, false, false}, 8, 0},
        {0, {232, false, false}, 8, 0},
        {-1, {232, false, false}, 8, 0},
        {-2, {232, true, false}, 4, 0},
        {-2, {232, false, true}, 4, 4},
    };
    const char* const names[] = {"DiffFileSameNameDlgDefault", "SameFileDiffNameDlgDefault",
                                 "FnameFldrnameClashDlgDefault", "FldrnameFnameClashDlgDefault"};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.m_nStored) + (c.m_oFirstAnswer.m_bThisMove ? " this move" : "") +
                     (c.m_oFirstAnswer.m_bEveryMove ? " every move" : ""));
        StartCase();
        for (const char* folder : {"one/", "two/"}) {
            const std::string at = folder;
            ASSERT_TRUE(WriteFile(Src(at + "a.txt"), at + "different"));
            ASSERT_TRUE(WriteFile(Src(at + "b.txt"), at + "identical"));
            ASSERT_TRUE(WriteFile(Dst(at + "b copy.txt"), at + "identical"));
            ASSERT_TRUE(WriteFile(Src(at + "c.txt"), at + "file"));
            ASSERT_TRUE(WriteFile(Src(at + "Docs/x.txt"), at + "in a folder"));
            ASSERT_TRUE(WriteFile(Dst(at + "a.txt"), "a"));
            ASSERT_TRUE(MakeFolders(Dst(at + "c.txt")));
            ASSERT_TRUE(WriteFile(Dst(at + "Docs"), "d"));
        }
        if (c.m_nStored != -2)
            for (const char* name : names) SetRemembered(name, static_cast<std::int32_t>(c.m_nStored));
        for (int i = 0; i < 4; ++i)
            m_ui.QueueAnswer(c.m_oFirstAnswer.m_nAnswer, c.m_oFirstAnswer.m_bThisMove,
                             c.m_oFirstAnswer.m_bEveryMove);
        for (int i = 0; i < 4; ++i) m_ui.QueueAnswer(232);
        EXPECT_EQ(engine::MoveFinished, Run({Src("one"), Src("two")}));
        EXPECT_EQ(c.m_nPrompts, m_ui.m_lstChoicePrompts.size() + m_ui.m_lstClashPrompts.size());
        const auto count = [this](std::string_view part) {
            std::size_t found = 0;
            for (std::size_t at = m_log.find(part); at != std::string::npos; at = m_log.find(part, at + 1))
                ++found;
            return found;
        };
        EXPECT_EQ(c.m_nStoredLines, count(" (stored answer)\r\n")) << m_log;
        EXPECT_EQ(8u, count(" alone, given existence of ")) << m_log;
    }
}

}  // namespace
}  // namespace tandemere::testing
