// CLI tests: the per-run overrides, answers in advance, refused drops, usage errors and exit statuses.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/cli/cli_fixture.h"
#include "tests/support/file_size_limit_posix.h"
#include "tests/support/platform_backend.h"

namespace tandemere::testing {
namespace {

using Tree = std::vector<std::string>;

constexpr const char* kUniqueLine =
    "Moved source file \"c.txt\" to destination \"c.txt\" because the source file is unique and the filename "
    "was "
    "not already being used.\n";

TEST_F(ToolTest, AUniqueFileMovesAndTheLogGoesToStdout) {
    WriteFile(Src("c.txt"), "unique");
    const ToolResult run = Move({Src("c.txt")});
    EXPECT_EQ(run.m_nExit, 0) << run.m_strErr;
    EXPECT_EQ(run.m_strOut, kUniqueLine);
    // No progress on a pipe, no prompt: only the summary.
    EXPECT_EQ(run.m_strErr.rfind("Moved 1 file; 0 errors; took ", 0), 0u) << run.m_strErr;
    EXPECT_EQ(Count(run.m_strErr, "\n"), 1);
    EXPECT_EQ(ListTree(Dst()), Tree{"c.txt (6)"});
}

TEST_F(ToolTest, RelativeSourcesAndATrailingSlash) {
    WriteFile(Src("f/c.txt"), "unique");
    ToolEnvironment env = m_env;
    const std::string cwd = Src();
    std::vector<std::string> args = {"move", "f/", Dst()};
    // Run from inside the source folder: the tool resolves the relative path against it.
    char saved[4096];
    ASSERT_NE(::getcwd(saved, sizeof saved), nullptr);
    ASSERT_EQ(::chdir(cwd.c_str()), 0);
    const ToolResult run = RunTool(args, env);
    ASSERT_EQ(::chdir(saved), 0);
    EXPECT_EQ(run.m_nExit, 0) << run.m_strErr;
    EXPECT_EQ(ListTree(Dst()), (Tree{"f/", "f/c.txt (6)"}));
    EXPECT_EQ(run.m_strOut, "Moved source folder \"f/\" to destination as \"f/\".\n");
}

TEST_F(ToolTest, LogSwitches) {
    struct Case {
        const char* m_pszStored;  // settings file content
        std::vector<std::string> m_lstOptions;
        bool m_bLogged;
    };
    const Case cases[] = {
        {"", {}, true},
        {"", {"--no-log"}, false},
        {"\"Logging\"=dword:00000000\n", {}, false},
        {"\"Logging\"=dword:00000000\n", {"--log"}, true},
        {"\"Logging\"=dword:00000005\n", {}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.m_pszStored) + (c.m_lstOptions.empty() ? "" : c.m_lstOptions[0]));
        WriteFile(Src("c.txt"), "unique");
        std::remove(Dst("c.txt").c_str());
        if (*c.m_pszStored != '\0') WriteFile(m_env.m_strSettingsFile, c.m_pszStored);
        std::vector<std::string> args = c.m_lstOptions;
        args.push_back(Src("c.txt"));
        const ToolResult run = Move(args);
        EXPECT_EQ(run.m_nExit, 0) << run.m_strErr;
        EXPECT_EQ(run.m_strOut, c.m_bLogged ? kUniqueLine : "");
        EXPECT_EQ(ListTree(Dst()), Tree{"c.txt (6)"});
        // Overrides write nothing.
        if (*c.m_pszStored != '\0') {
            EXPECT_EQ(ReadFile(m_env.m_strSettingsFile), c.m_pszStored);
        }
        EXPECT_EQ(Exists(m_env.m_strSettingsFile), *c.m_pszStored != '\0');
    }
}

// --trash and --no-trash override the stored switch for the move: a duplicate goes to the home trash
// the environment names, or for good.
TEST_F(ToolTest, TrashSwitches) {
    struct Case {
        const char* m_pszStored;
        const char* m_pszOption;
        bool m_bTrashed;
    };
    const Case cases[] = {{"", "--trash", true},
                          {"\"DeleteToRecycleBin\"=dword:00000001\n", nullptr, true},
                          {"\"DeleteToRecycleBin\"=dword:00000001\n", "--no-trash", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.m_pszStored) + (c.m_pszOption ? c.m_pszOption : ""));
        StartCase();
        const std::string trash = m_tmp.Path("data/Trash");
        m_env.m_lstExtra = {"XDG_DATA_HOME=" + m_tmp.Path("data")};
        if (*c.m_pszStored != '\0') WriteFile(m_env.m_strSettingsFile, c.m_pszStored);
        WriteFile(Src("c.txt"), "same");
        WriteFile(Dst("c.txt"), "same");
        std::vector<std::string> args;
        if (c.m_pszOption) args.emplace_back(c.m_pszOption);
        args.push_back(Src("c.txt"));
        const ToolResult run = Move(args);
        EXPECT_EQ(run.m_nExit, 0) << run.m_strErr;
        EXPECT_EQ(run.m_strOut, c.m_bTrashed
                                    ? "Moved source file \"c.txt\" to the trash \"" + trash +
                                          "\", because destination file \"c.txt\" is the same.\n"
                                    : "Deleted source file \"c.txt\", because destination file \"c.txt\" "
                                      "is the same.\n");
        EXPECT_FALSE(Exists(Src("c.txt")));
        EXPECT_EQ(Exists(trash), c.m_bTrashed);
        if (c.m_bTrashed) {
            EXPECT_EQ(ListTree(trash + "/files"), Tree{"c.txt (4)"});
            EXPECT_TRUE(Exists(trash + "/info/c.txt.trashinfo"));
        }
    }
}

TEST_F(ToolTest, FullAndShortPaths) {
    WriteFile(Src("c.txt"), "unique");
    ToolResult run = Move({"--full-paths", Src("c.txt")});
    EXPECT_EQ(run.m_strOut,
              "Moved source file \"" + Src("c.txt") + "\" to destination \"" + Dst("c.txt") +
                  "\" because the source file is unique and the filename was not already being used.\n");
    WriteFile(m_env.m_strSettingsFile, "\"FullPaths\"=dword:00000001\n");
    ASSERT_EQ(::rename(Dst("c.txt").c_str(), Src("c.txt").c_str()), 0);
    run = Move({"--short-paths", Src("c.txt")});
    EXPECT_EQ(run.m_strOut, kUniqueLine);
}

TEST_F(ToolTest, OnlySameExtensionNarrowsTheSearchForAnIdenticalFile) {
    for (const char* option : {"--only-same-ext", "--all-ext"}) {
        SCOPED_TRACE(option);
        StartCase();
        WriteFile(Src("a.txt"), "same");
        WriteFile(Dst("b.dat"), "same");
        const ToolResult run = Move({option, "--identical=delete", Src("a.txt")});
        EXPECT_EQ(run.m_nExit, 0) << run.m_strErr;
        const Tree expected =
            std::string(option) == "--all-ext" ? Tree{"b.dat (4)"} : Tree{"a.txt (4)", "b.dat (4)"};
        EXPECT_EQ(ListTree(Dst()), expected);
    }
}

TEST_F(ToolTest, AnswersGivenInAdvance) {
    struct Case {
        std::string m_strOption;
        bool m_bDifferent;  // a different file of the same name; else a folder against a file
        Tree m_lstDst;
    };
    const Case cases[] = {
        {"--different=overwrite", true, {"a.txt (3)"}},
        {"--different=rename", true, {"a (2).txt (3)", "a.txt (2)"}},
        {"--different=skip", true, {"a.txt (2)"}},
        {"--folder-vs-file=rename-file", false, {"a (2).txt (2)", "a.txt/", "a.txt/in (1)"}},
        {"--folder-vs-file=rename-folder", false, {"a (2).txt/", "a (2).txt/in (1)", "a.txt (2)"}},
        {"--folder-vs-file=skip", false, {"a.txt (2)"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.m_strOption);
        StartCase();
        WriteFile(Dst("a.txt"), "dd");
        if (c.m_bDifferent) {
            WriteFile(Src("a.txt"), "sss");
        } else {
            WriteFile(Src("a.txt/in"), "i");
        }
        const ToolResult run = Move({c.m_strOption, Src("a.txt")});
        EXPECT_EQ(run.m_nExit, 0) << run.m_strErr;
        EXPECT_EQ(Count(run.m_strErr, "\n"), 1) << run.m_strErr;  // never asked: only the summary
        EXPECT_EQ(ListTree(Dst()), c.m_lstDst);
        EXPECT_FALSE(Exists(m_env.m_strSettingsFile));
        // Given for this move, the answer is no stored one; the same answer in the settings is.
        EXPECT_EQ(run.m_strOut.find(" (stored answer)"), std::string::npos) << run.m_strOut;
        const std::string name =
            c.m_bDifferent ? "DiffFileSameNameDlgDefault" : "FldrnameFnameClashDlgDefault";
        StartCase();
        WriteFile(Dst("a.txt"), "dd");
        WriteFile(c.m_bDifferent ? Src("a.txt") : Src("a.txt/in"), c.m_bDifferent ? "sss" : "i");
        ASSERT_EQ(Tool({"settings", "set", name, c.m_strOption.substr(c.m_strOption.find('=') + 1)}).m_nExit,
                  0);
        EXPECT_NE(Move({Src("a.txt")}).m_strOut.find(" (stored answer)\n"), std::string::npos);
    }
}

TEST_F(ToolTest, RefusedDropsTouchNothing) {
    WriteFile(Src("a.txt"), "a");
    WriteFile(Dst("b.txt"), "b");
    WriteFile(m_tmp.Path("plain"), "p");
    MakeSymlink(Dst(), m_tmp.Path("dst-link"));
    MakeFolders(m_tmp.Path("home"));
    m_env.m_lstExtra.push_back("HOME=" + m_tmp.Path("home"));
    struct Case {
        std::vector<std::string> m_lstArgs;
        std::string m_strMessage;
        bool m_bLogged = false;  // refused during the move: the log says so too
    };
    std::vector<Case> cases = {
        {{"move", m_tmp.Path("home"), Dst()}, "\"" + m_tmp.Path("home") + "\" is your home folder"},
        {{"move", Src("a.txt"), m_tmp.Path("home/.."), Dst()}, "holds your home folder"},
        {{"move", "--dry-run", "/usr", Dst()}, "\"/usr\" is one of the system's own folders"},
        {{"move", "/bin/", Dst()}, "\"/bin/\" is one of the system's own folders"},
        {{"move", Src("a.txt"), Src("nothere"), Dst()},
         "can't read \"" + Src("nothere") + "\": No such file or directory"},
        {{"move", Src("a.txt/x"), Dst()}, "can't read \"" + Src("a.txt/x") + "\": Not a directory"},
        {{"move", Src(), Src()}, "ERROR: Can't move folder \"" + Src() + "\" into itself", true},
        {{"move", "/", Dst()}, "is a root folder"},
        {{"move", "/.", Dst()}, "is a root folder"},
        {{"move", Dst("b.txt"), Src("a.txt"), Dst()}, "already lies in the destination folder"},
        {{"move", m_tmp.Path("dst/./b.txt"), m_tmp.Path("dst-link")},
         "already lies in the destination folder"},
        {{"move", m_tmp.Path("dst-link/b.txt"), Dst()}, "already lies in the destination folder"},
        {{"move", Src("a.txt"), m_tmp.Path("plain")}, "is not an existing folder"},
        {{"move", Src("a.txt"), m_tmp.Path("missing")}, "is not an existing folder"},
        {{"move", "--log-file", m_tmp.Path("missing/log"), Src("a.txt"), Dst()},
         "can't write the log file \"" + m_tmp.Path("missing/log") + "\": No such file or directory"},
    };
    // A mount point's top that is no system folder, where the machine has one.
    struct stat shm = {}, dev = {};
    if (::stat("/dev/shm", &shm) == 0 && ::stat("/dev", &dev) == 0 && shm.st_dev != dev.st_dev)
        cases.push_back({{"move", "/dev/shm", Dst()}, "\"/dev/shm\" is the top folder of a mounted volume"});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.m_lstArgs[1] + " " + c.m_lstArgs[2]);
        const ToolResult run = Tool(c.m_lstArgs);
        EXPECT_EQ(run.m_nExit, 2);
        EXPECT_NE(run.m_strErr.find(c.m_strMessage), std::string::npos) << run.m_strErr;
        EXPECT_EQ(run.m_strOut.empty(), !c.m_bLogged) << run.m_strOut;
        EXPECT_EQ(ListTree(Src()), Tree{"a.txt (1)"});
        EXPECT_EQ(ListTree(Dst()), Tree{"b.txt (1)"});
    }
}

TEST_F(ToolTest, UsageErrorsAreStatusTwo) {
    WriteFile(Src("a.txt"), "a");
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"move"},
        {"move", Dst()},
        {"move", "--bogus", Src("a.txt"), Dst()},
        {"move", "--different=maybe", Src("a.txt"), Dst()},
        {"move", "--identical=overwrite", Src("a.txt"), Dst()},
        {"move", "--log", "--no-log", Src("a.txt"), Dst()},
        {"move", "--full-paths", "--short-paths", Src("a.txt"), Dst()},
        {"move", "--only-same-ext", "--all-ext", Src("a.txt"), Dst()},
        {"shuffle"},
        {"undo"},
        {"undo", "20000101T000000.000000Z"},
    };
    for (const auto& args : cases) {
        SCOPED_TRACE(args.empty() ? "(none)" : args.back());
        const ToolResult run = Tool(args);
        EXPECT_EQ(run.m_nExit, 2) << run.m_strErr;
        EXPECT_NE(run.m_strErr, "");
        EXPECT_EQ(ListTree(Src()), Tree{"a.txt (1)"});
    }
}

TEST_F(ToolTest, HelpAndVersion) {
    ToolResult run = Tool({"--help"});
    EXPECT_EQ(run.m_nExit, 0);
    EXPECT_NE(run.m_strOut.find("move"), std::string::npos);
    EXPECT_NE(run.m_strOut.find("settings"), std::string::npos);
    run = Tool({"move", "--help"});
    EXPECT_EQ(run.m_nExit, 0);
    for (const char* option : {"--different", "--identical", "--file-vs-folder", "--folder-vs-file",
                               "--log-file", "--settings", "--no-log", "--short-paths", "--all-ext"}) {
        EXPECT_NE(run.m_strOut.find(option), std::string::npos) << option;
    }
    run = Tool({"--version"});
    EXPECT_EQ(run.m_nExit, 0);
    EXPECT_EQ(run.m_strOut, "tandemere " TANDEMERE_VERSION_TEXT "\n");
}

// Short options, help, suggestions for typos and the settings words, as a user types them.
TEST_F(ToolTest, OptionSpellings) {
    struct Case {
        std::vector<std::string> m_lstArgs;  // "SRC" and "DST" stand for a source file and the destination
        int m_nExit;
        bool m_bOnStdout;       // where the text shows; else on stderr
        const char* m_pszText;  // shown once; empty: that stream stays empty
    };
    const Case cases[] = {
        {{"move", "-n", "SRC", "DST"}, 0, false, "dry run: nothing was moved"},
        {{"move", "-q", "SRC", "DST"}, 0, false, ""},
        {{"move", "-v", "SRC", "DST"}, 0, true, "was not already being used.\n"},
        {{"move", "-nq", "SRC", "DST"}, 0, true, "Moved source file"},
        {{"move", "-h"}, 0, true, "Usage: tandemere move [OPTIONS] SOURCE... DESTINATION\n"},
        {{"help", "move"}, 0, true, "Usage: tandemere move [OPTIONS] SOURCE... DESTINATION\n"},
        {{"help"}, 0, true, "Usage: tandemere [OPTIONS] COMMAND\n"},
        {{"mvoe", "SRC", "DST"}, 2, false, "\"mvoe\" is not a command of tandemere; did you mean \"move\"?"},
        {{"help", "setings"}, 2, false, "did you mean \"settings\"?"},
        {{"move", "--dif=rename", "SRC", "DST"},
         2,
         false,
         "has no option \"--dif\"; did you mean \"--different\"?"},
        {{"move", "--dyr-run", "SRC", "DST"}, 2, false, "did you mean \"--dry-run\"?"},
        {{"settings", "get", "different"}, 0, true, "ask (-1)  from default\n"},
        {{"settings", "set", "identical", "delete-rename"},
         0,
         true,
         "Stored SameFileDiffNameDlgDefault = delete-rename (231) in "},
        {{"completion", "tcsh"}, 2, false, "there is one for bash, zsh and fish"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.m_lstArgs[0] + " " + c.m_lstArgs.back());
        StartCase();
        WriteFile(Src("a.txt"), "a");
        std::vector<std::string> args = c.m_lstArgs;
        for (std::string& arg : args) arg = arg == "SRC" ? Src("a.txt") : arg == "DST" ? Dst() : arg;
        const ToolResult run = Tool(args);
        EXPECT_EQ(run.m_nExit, c.m_nExit) << run.m_strErr;
        const std::string& shown = c.m_bOnStdout ? run.m_strOut : run.m_strErr;
        if (*c.m_pszText == '\0')
            EXPECT_EQ(shown, "");
        else
            EXPECT_EQ(Count(shown, c.m_pszText), 1) << shown;
    }
}

// bash's own completion machinery, driven as a TAB would: the script is made by the tool.
TEST_F(ToolTest, BashCompletesFromTheToolsOwnDefinition) {
    const ToolResult script = Tool({"completion", "bash"});
    ASSERT_EQ(script.m_nExit, 0) << script.m_strErr;
    WriteFile(m_tmp.Path("completion.bash"), script.m_strOut);
    struct Case {
        const char* m_pszWords;  // the command line, split as bash splits it at "="
        const char* m_pszReplies;
    };
    const Case cases[] = {
        {"tandemere move --dif", "--different="},
        {"tandemere move --no-l", "--no-log"},
        {"tandemere move --different = re", "rename"},
        {"tandemere mo", "move"},
        {"tandemere settings get tr", "trash"},
        {"tandemere completion f", "fish"},
        {"tandemere und", "undo"},
        {"tandemere settings set different re", "rename rename-file rename-folder"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.m_pszWords);
        WriteFile(m_tmp.Path("press-tab"), "source '" + m_tmp.Path("completion.bash") +
                                               "'\ncomplete -p tandemere >/dev/null || exit 9\nCOMP_WORDS=(" +
                                               c.m_pszWords +
                                               ")\nCOMP_CWORD=$((${#COMP_WORDS[@]} - 1))\n_tandemere\n"
                                               "echo \"${COMPREPLY[*]}\"\n");
        const std::string command =
            "bash '" + m_tmp.Path("press-tab") + "' > '" + m_tmp.Path("replies") + "'";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        EXPECT_EQ(ReadFile(m_tmp.Path("replies")), std::string(c.m_pszReplies) + "\n");
    }
}

// The summary's counts against the log lines they stand for, on a move that meets most situations.
TEST_F(ToolTest, SummaryCountsAgreeWithTheLog) {
    WriteFile(Src("same.txt"), "same");
    WriteFile(Dst("same.txt"), "same");
    WriteFile(Src("photo.jpg"), "photo");
    WriteFile(Dst("holiday.jpg"), "photo");
    WriteFile(Src("report.txt"), "new report");
    WriteFile(Dst("report.txt"), "old");
    WriteFile(Src("plan.txt"), "plan B");
    WriteFile(Dst("plan.txt"), "plan A");
    WriteFile(Src("music"), "list");
    WriteFile(Dst("music/song"), "s");
    WriteFile(Src("drafts/letter"), "l");
    WriteFile(Dst("drafts"), "d");
    WriteFile(Src("newdir/f"), "f");
    WriteFile(Src("merge/inner/new"), "n");
    WriteFile(Dst("merge/inner/old"), "o");
    WriteFile(Src("todo"), "todo");
    const std::string log = m_tmp.Path("log");
    const ToolResult run =
        Tool({"move", "--log-file", log, "--identical=delete-rename", "--file-vs-folder=rename-file",
              Src("same.txt"), Src("photo.jpg"), Src("report.txt"), Src("music"), Src("drafts"), Src("merge"),
              Src("todo"), Src("plan.txt"), Src("newdir"), Dst()},
             "o\ns\nr\n");
    ASSERT_EQ(run.m_nExit, 0) << run.m_strErr;
    const std::string text = ReadFile(log);
    EXPECT_EQ(text.rfind("Tandemere " TANDEMERE_VERSION_TEXT " log of a move, started ", 0), 0u) << text;
    EXPECT_NE(text.find("\nDestination:  " + Dst() + "\n"), std::string::npos) << text;
    EXPECT_NE(
        text.find("\nAnswers given in advance: --file-vs-folder=rename-file, --identical=delete-rename\n"),
        std::string::npos)
        << text;
    const auto lines = [&](const char* part) { return std::to_string(Count(run.m_strOut, part)); };
    const std::string expected =
        "Moved " + lines("Moved source file") + " files and " + lines("Moved source folder") +
        " folder, deleted " + lines("Deleted source file") + " duplicates (9 bytes freed), renamed " +
        std::to_string(Count(run.m_strOut, "naming it") + Count(run.m_strOut, "renamed identical") +
                       Count(run.m_strOut, "Filename was changed")) +
        ", overwrote " + lines("folder, overwriting") + ", left " + lines("Left ") +
        " alone; 0 errors; took ";
    EXPECT_EQ(expected,
              "Moved 5 files and 1 folder, deleted 2 duplicates (9 bytes freed), renamed 3, overwrote 1, "
              "left 1 alone; 0 errors; took ");
    EXPECT_EQ(run.m_strErr.substr(run.m_strErr.rfind("Moved "), expected.size()), expected) << run.m_strErr;
    EXPECT_NE(text.find("\n\n" + expected), std::string::npos) << text;
}

TEST_F(ToolTest, LogFileGetsTheLogWithPlatformLineEnds) {
    WriteFile(Src("c.txt"), "unique");
    WriteFile(m_tmp.Path("log"), "old content that must go away entirely");
    const ToolResult run = Move({"--log-file", m_tmp.Path("log"), Src("c.txt")});
    EXPECT_EQ(run.m_nExit, 0) << run.m_strErr;
    const std::string text = ReadFile(m_tmp.Path("log"));
    EXPECT_NE(text.find("\nSource:       " + Src("c.txt") + "\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\n\n" + std::string(kUniqueLine) + "\nMoved 1 file; 0 errors; took "),
              std::string::npos)
        << text;
    EXPECT_EQ(run.m_strOut, kUniqueLine);
}

TEST_F(ToolTest, ALogThatCannotBeWrittenEndsWithItsOwnStatus) {
    WriteFile(Src("c.txt"), "unique");
    // /dev/full opens for writing but refuses every byte, as a full disk does.
    const ToolResult run = Move({"--log-file", "/dev/full", Src("c.txt")});
    EXPECT_EQ(run.m_nExit, 3) << run.m_strErr;
    EXPECT_NE(run.m_strErr.find("couldn't write the log to \"/dev/full\": No space left on device"),
              std::string::npos)
        << run.m_strErr;
    // The move itself ran to its end, and the log still reached stdout.
    EXPECT_EQ(run.m_strOut, kUniqueLine);
    EXPECT_FALSE(Exists(Src("c.txt")));
    EXPECT_EQ(ReadFile(Dst("c.txt")), "unique");
}

// A journal that cannot be made is said once; the move still runs to its end, and there is nothing to undo.
TEST_F(ToolTest, AJournalThatCannotBeWrittenLeavesTheMoveAlone) {
    WriteFile(Src("c.txt"), "unique");
    WriteFile(m_tmp.Path("state"), "a file where the journals' folder would be");
    const ToolResult run = Move({Src("c.txt")});
    EXPECT_EQ(run.m_nExit, 0) << run.m_strErr;
    EXPECT_EQ(Count(run.m_strErr, "can't write the journal"), 1) << run.m_strErr;
    EXPECT_NE(run.m_strErr.find("Not a directory; the move goes on, but it can't be undone"),
              std::string::npos)
        << run.m_strErr;
    EXPECT_EQ(run.m_strOut, kUniqueLine);
    EXPECT_EQ(ReadFile(Dst("c.txt")), "unique");
    EXPECT_EQ(Tool({"undo"}).m_nExit, 2);
}

TEST_F(ToolTest, SettingsFileOption) {
    WriteFile(Src("c.txt"), "unique");
    WriteFile(m_tmp.Path("other-settings"), "\"Logging\"=dword:00000000\n");
    const ToolResult run = Move({"--settings", m_tmp.Path("other-settings"), Src("c.txt")});
    EXPECT_EQ(run.m_nExit, 0) << run.m_strErr;
    EXPECT_EQ(run.m_strOut, "");
}

// Each error names the system's reason; without a terminal to ask, the move stops there unless
// told to keep going. Nothing of the item in error is lost either way.
TEST_F(ToolTest, ErrorsSayWhyAndStopOrGoOn) {
    if (OtherVolumeBase().empty()) GTEST_SKIP() << kNoOtherVolumeReason;
    struct Case {
        std::vector<std::string> m_lstOptions;
        const char* m_pszInput;
        bool m_bCopyFails;  // the copy across volumes meets a full disk
        std::string m_strError;
        const char* m_pszChoice;
        bool m_bLaterMoved;
    };
    const TempFolder other(OtherVolumeBase());
    const std::string big = other.Path("big.bin");
    // The destination's path is the case's own.
    const std::string moveError = "ERROR: Couldn't move \"" + big + "\" to \"%D\": File too large";
    const Case cases[] = {
        {{}, "", true, moveError, "Chose to stop the move.", false},
        {{"--keep-going"}, "s\n", true, moveError, "Chose to skip it and go on with the other items.", true},
        {{"--settings", "/proc/version"},
         "s!\n",
         false,
         "Error writing to settings file \"/proc/version\"",
         "",
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.m_strError);
        StartCase();
        WriteFile(big, std::string(64 * 1024, 'x'));
        WriteFile(Src("d.txt"), "source");
        WriteFile(Dst("d.txt"), "other");
        WriteFile(Src("z.txt"), "z");
        std::vector<std::string> args = c.m_lstOptions;
        args.insert(args.end(), {big, Src("d.txt"), Src("z.txt")});
        ToolResult run;
        {
            const FileSizeLimit limit(c.m_bCopyFails ? 4096 : RLIM_INFINITY);
            run = Move(args, c.m_pszInput);
        }
        EXPECT_EQ(run.m_nExit, 1) << run.m_strErr;
        std::string error = c.m_strError;
        if (const std::size_t at = error.find("%D"); at != std::string::npos)
            error.replace(at, 2, Dst("big.bin"));
        EXPECT_NE(run.m_strErr.find(error), std::string::npos) << run.m_strErr;
        EXPECT_NE(run.m_strOut.find(c.m_pszChoice), std::string::npos) << run.m_strOut;
        // Stopped at or skipped, the error is counted in the summary.
        if (c.m_bCopyFails) {
            EXPECT_NE(run.m_strErr.find("; 1 error; took "), std::string::npos) << run.m_strErr;
        }
        EXPECT_EQ(ReadFile(c.m_bCopyFails ? big : Dst("big.bin")), std::string(64 * 1024, 'x'));
        EXPECT_EQ(Exists(Dst("z.txt")), c.m_bLaterMoved);
        EXPECT_EQ(ReadFile(Dst("d.txt")), "other");
    }
}

TEST_F(ToolTest, FolderIntoItsOwnSubfolderAsksYesOrNo) {
    struct Case {
        const char* m_pszInput;
        int m_nExit;
        bool m_bSecondMoved;
    };
    const Case cases[] = {{"y\n", 0, true}, {"maybe\nYES\n", 0, true}, {"n\n", 1, false}, {"", 1, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.m_pszInput);
        StartCase();
        WriteFile(Src("top/sub/keep"), "k");
        WriteFile(Src("other/c.txt"), "c");
        const ToolResult run = Tool({"move", Src("top"), Src("other/c.txt"), Src("top/sub")}, c.m_pszInput);
        EXPECT_EQ(run.m_nExit, c.m_nExit) << run.m_strErr;
        EXPECT_NE(run.m_strErr.find("ERROR: Can't move folder \"" + Src("top") + "\" into its subfolder \"" +
                                    Src("top/sub") + "/\".\n\nContinue?\n"),
                  std::string::npos)
            << run.m_strErr;
        EXPECT_EQ(Exists(Src("top/sub/c.txt")), c.m_bSecondMoved);
        EXPECT_TRUE(Exists(Src("top/sub/keep")));
    }
}

}  // namespace
}  // namespace tandemere::testing
