// CLI tests: the terminal's own text rules: digit grouping, mnemonics, typed answers, line ends.
#include "ui/tty/tty_text.h"

#include <gtest/gtest.h>

namespace tandemere::tty {
namespace {

TEST(TtyText, GroupsDigitsInThrees) {
    const struct {
        std::uint64_t m_nNumber;
        const char* m_pszSeparator;
        const char* m_pszText;
    } cases[] = {
        {0, ",", "0"},
        {999, ",", "999"},
        {1000, ",", "1,000"},
        {1234567, ",", "1,234,567"},
        {1234567, ".", "1.234.567"},
        {18446744073709551615ull, "\u202f", "18\u202f446\u202f744\u202f073\u202f709\u202f551\u202f615"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.m_nNumber);
        EXPECT_EQ(GroupDigits(c.m_nNumber, c.m_pszSeparator), c.m_pszText);
    }
    UserLocale plain("C");
    EXPECT_EQ(FormatByteCount(1234567, plain), "1.2 MiB (1,234,567 bytes)");
}

TEST(TtyText, MnemonicsAndCaptions) {
    EXPECT_EQ(Mnemonic("&Delete"), 'd');
    EXPECT_EQ(Mnemonic("Delete and &Rename"), 'r');
    EXPECT_EQ(Mnemonic("Rename fol&der"), 'd');
    EXPECT_EQ(Mnemonic("Save && &Quit"), 'q');
    EXPECT_EQ(Mnemonic("None"), 0);
    EXPECT_EQ(StripMnemonic("Rename fol&der"), "Rename folder");
    EXPECT_EQ(StripMnemonic("Save && &Quit"), "Save & Quit");
}

TEST(TtyText, TypedAnswers) {
    const struct {
        const char* m_pszLine;
        bool m_bValid;
        char m_chLetter;
        bool m_bThis, m_bEvery;
    } cases[] = {
        {"o", true, 'o', false, false}, {"O\r", true, 'o', false, false}, {"  r+ ", true, 'r', true, false},
        {"s!", true, 's', false, true}, {"s+!", true, 's', true, true},   {"s!+", true, 's', true, true},
        {"", false, 0, false, false},   {"s++", false, 0, false, false},  {"ov", false, 0, false, false},
        {"+", false, 0, false, false},  {"1", false, 0, false, false},    {"s !", false, 0, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.m_pszLine);
        const TypedAnswer typed = ParseTypedAnswer(c.m_pszLine);
        EXPECT_EQ(typed.m_bValid, c.m_bValid);
        if (!c.m_bValid) continue;
        EXPECT_EQ(typed.m_chLetter, c.m_chLetter);
        EXPECT_EQ(typed.m_bThisMove, c.m_bThis);
        EXPECT_EQ(typed.m_bEveryMove, c.m_bEvery);
    }
    EXPECT_EQ(ParseYesNo(" Yes\r"), YesNo::Yes);
    EXPECT_EQ(ParseYesNo("n"), YesNo::No);
    EXPECT_EQ(ParseYesNo("yep"), YesNo::Unclear);
}

TEST(TtyText, LogLineEnds) {
    EXPECT_EQ(ToPlatformLineEnds("a\r\nb\r\nCancelled by request."), "a\nb\nCancelled by request.");
    EXPECT_EQ(ToPlatformLineEnds("lone\rcarriage\n"), "lone\rcarriage\n");
}

}  // namespace
}  // namespace tandemere::tty
