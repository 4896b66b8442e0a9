// CLI tests: the real binary on a pseudo-terminal: the progress line, Ctrl-C, and the user's locale.
#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/cli/cli_fixture.h"

namespace tandemere::testing {
namespace {

using Tree = std::vector<std::string>;

TEST_F(ToolTest, ProgressLineOnATerminalIsRedrawnAndCleared) {
    for (const char* name : {"one", "two", "three"}) WriteFile(Src(name), name);
    PtyRun run({"move", Src("one"), Src("two"), Src("three"), Dst()}, m_env);
    EXPECT_EQ(run.Finish(), 0) << run.Terminal();
    const std::string& screen = run.Terminal();
    EXPECT_NE(screen.find("\r[                    ] 0 of 3"), std::string::npos) << screen;
    // The last item, cut at the front to fit the terminal's width; the ones between come at most
    // ten times a second.
    EXPECT_NE(screen.find("\r[####################] 3 of 3  ..."), std::string::npos) << screen;
    EXPECT_NE(screen.find("/src/three\x1b[K"), std::string::npos) << screen;
    // Cleared at the end, before the summary.
    EXPECT_NE(screen.find("\r\x1b[KMoved 3 files; 0 errors; took "), std::string::npos) << screen;
    // stdout is a pipe here and carries only the log.
    EXPECT_EQ(Count(run.Out(), "\n"), 3);
    EXPECT_EQ(run.Out().find('\x1b'), std::string::npos);
}

TEST_F(ToolTest, CtrlCAtAPromptIsCancel) {
    WriteFile(Src("a.txt"), "source");
    WriteFile(Dst("a.txt"), "other");
    WriteFile(Src("b.txt"), "b");
    PtyRun run({"move", Src("a.txt"), Src("b.txt"), Dst()}, m_env);
    ASSERT_TRUE(run.WaitFor("Answer o, r, s, or c"));
    run.Type("\x03");
    EXPECT_EQ(run.Finish(), 1) << run.Terminal();
    EXPECT_EQ(Count(run.Out(), "Cancelled by request."), 1) << run.Out();
    EXPECT_EQ(ListTree(Src()), (Tree{"a.txt (6)", "b.txt (1)"}));
}

TEST_F(ToolTest, CtrlCTakesEffectAfterTheItemUnderWay) {
    WriteFile(Src("a.txt"), "source");
    WriteFile(Dst("a.txt"), "other");
    WriteFile(Src("b.txt"), "b");
    WriteFile(Src("c.txt"), "c");
    PtyRun run({"move", Src("a.txt"), Src("b.txt"), Src("c.txt"), Dst()}, m_env);
    ASSERT_TRUE(run.WaitFor("Answer o, r, s, or c"));
    // The answer is typed before Ctrl-C, so it is read first; Ctrl-C then lands in the item under way.
    run.Type("o\n\x03");
    EXPECT_EQ(run.Finish(), 1) << run.Terminal();
    EXPECT_EQ(
        run.Out(),
        "Moved source file \"a.txt\" to destination folder, overwriting different existing file \"a.txt\".\n"
        "Cancelled by request.\n");
    EXPECT_EQ(ListTree(Src()), (Tree{"b.txt (1)", "c.txt (1)"}));
    EXPECT_EQ(ListTree(Dst()), (Tree{"a.txt (6)"}));
}

TEST_F(ToolTest, PromptAnswersFromATerminalWorkAsFromAPipe) {
    WriteFile(Src("a.txt"), "source");
    WriteFile(Dst("a.txt"), "other");
    PtyRun run({"move", Src("a.txt"), Dst()}, m_env);
    ASSERT_TRUE(run.WaitFor("Answer o, r, s, or c"));
    run.Type("what\n");
    ASSERT_TRUE(run.WaitFor("Answer o, r, s, or c; p or n opens a file: Answer"));
    run.Type("R\n");
    EXPECT_EQ(run.Finish(), 0) << run.Terminal();
    EXPECT_EQ(ListTree(Dst()), (Tree{"a (2).txt (6)", "a.txt (5)"}));
}

// Compiles a locale into the build tree; empty when this machine has no locale sources.
std::string GermanLocaleFolder() {
    const std::string folder = BUILD_DIR "/test-locales";
    const std::string command = "mkdir -p '" + folder + "' && localedef -i de_DE -f UTF-8 '" + folder +
                                "/de_DE.UTF-8' >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0 && !Exists(folder + "/de_DE.UTF-8")) return {};
    return folder;
}

TEST_F(ToolTest, SizesFollowTheUsersLocaleDatesReadTheSameEverywhere) {
    const std::string locales = GermanLocaleFolder();
    if (locales.empty()) GTEST_SKIP() << "localedef or the de_DE locale source is not available";
    WriteFile(Src("a.txt"), std::string(1234567, 'x'), TicksFromUnixTime(1700000000));
    WriteFile(Dst("a.txt"), "y", TicksFromUnixTime(1700000000));
    m_env.m_lstExtra = {"LOCPATH=" + locales, "LC_ALL=de_DE.UTF-8"};
    const ToolResult run = Move({Src("a.txt")}, "s\n");
    EXPECT_NE(run.m_strErr.find("1,2 MiB (1.234.567 bytes) (larger)\n"), std::string::npos) << run.m_strErr;
    EXPECT_NE(run.m_strErr.find("2023-11-14 22:13:20\n"), std::string::npos) << run.m_strErr;
    EXPECT_EQ(run.m_strErr.find("(newer)"), std::string::npos);
}

}  // namespace
}  // namespace tandemere::testing
