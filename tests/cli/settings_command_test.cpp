// CLI tests: `tandemere settings` lists, sets and unsets values; bad input changes nothing.
#include <gtest/gtest.h>

#include <cstdio>

#include "tests/cli/cli_fixture.h"

namespace tandemere::testing {
namespace {

class SettingsTest : public ToolTest {
protected:
    std::string Settings() { return m_env.m_strSettingsFile; }
    // The listing's line for one value, without the padding.
    std::string LineOf(const std::string& listing, const std::string& name) {
        const std::size_t at = listing.find("\n" + name + " ");
        if (at == std::string::npos) return {};
        std::string line = listing.substr(at + 1, listing.find('\n', at + 1) - at - 1);
        std::string squeezed;
        for (char c : line) {
            if (c != ' ' || (!squeezed.empty() && squeezed.back() != ' ')) squeezed += c;
        }
        return squeezed;
    }
};

TEST_F(SettingsTest, ListsTheSevenValuesWithTheirOrigin) {
    ToolResult run = Tool({"settings"});
    EXPECT_EQ(run.m_nExit, 0) << run.m_strErr;
    EXPECT_NE(run.m_strOut.find("Settings file: " + Settings() + " (not there"), std::string::npos)
        << run.m_strOut;
    EXPECT_EQ(LineOf(run.m_strOut, "log"), "log Logging on (1) default");
    EXPECT_EQ(LineOf(run.m_strOut, "only-same-ext"), "only-same-ext OnlyCompareSameExt off (0) default");
    EXPECT_EQ(LineOf(run.m_strOut, "full-paths"), "full-paths FullPaths off (0) default");
    for (const char* answer :
         {"different DiffFileSameNameDlgDefault", "folder-vs-file FldrnameFnameClashDlgDefault",
          "file-vs-folder FnameFldrnameClashDlgDefault", "identical SameFileDiffNameDlgDefault"}) {
        EXPECT_EQ(LineOf(run.m_strOut, std::string(answer).substr(0, std::string(answer).find(' '))),
                  std::string(answer) + " ask (-1) default");
    }

    WriteFile(Settings(),
              "; kept\n\"FullPaths\"=\"1\"\n\"Logging\"=dword:00000000\n"
              "\"SameFileDiffNameDlgDefault\"=dword:000000e7\n");
    run = Tool({"settings"});
    EXPECT_EQ(LineOf(run.m_strOut, "log"), "log Logging off (0) file");
    EXPECT_EQ(LineOf(run.m_strOut, "full-paths"),
              "full-paths FullPaths off (0) default (the file's value \"1\" is not a dword: ignored)");
    EXPECT_EQ(LineOf(run.m_strOut, "identical"),
              "identical SameFileDiffNameDlgDefault delete-rename (231) file");
}

TEST_F(SettingsTest, SetAcceptsNumbersAndWords) {
    struct Case {
        const char* m_pszName;
        const char* m_pszValue;
        const char* m_pszLine;
    };
    const Case cases[] = {
        {"Logging", "0", "\"Logging\"=dword:00000000"},
        {"logging", "on", "\"Logging\"=dword:00000001"},
        {"FullPaths", "7", "\"FullPaths\"=dword:00000007"},
        {"OnlyCompareSameExt", "0x10", "\"OnlyCompareSameExt\"=dword:00000010"},
        {"DiffFileSameNameDlgDefault", "rename", "\"DiffFileSameNameDlgDefault\"=dword:000000e7"},
        {"DiffFileSameNameDlgDefault", "-1", "\"DiffFileSameNameDlgDefault\"=dword:ffffffff"},
        {"SameFileDiffNameDlgDefault", "delete-rename", "\"SameFileDiffNameDlgDefault\"=dword:000000e7"},
        {"FnameFldrnameClashDlgDefault", "rename-folder", "\"FnameFldrnameClashDlgDefault\"=dword:000000e6"},
        {"FldrnameFnameClashDlgDefault", "rename-folder", "\"FldrnameFnameClashDlgDefault\"=dword:000000e7"},
        {"FldrnameFnameClashDlgDefault", "232", "\"FldrnameFnameClashDlgDefault\"=dword:000000e8"},
        {"FldrnameFnameClashDlgDefault", "Skip", "\"FldrnameFnameClashDlgDefault\"=dword:000000e8"},
        {"FldrnameFnameClashDlgDefault", "ask", "\"FldrnameFnameClashDlgDefault\"=dword:ffffffff"},
        {"different", "overwrite", "\"DiffFileSameNameDlgDefault\"=dword:000000e6"},
        {"Trash", "on", "\"DeleteToRecycleBin\"=dword:00000001"},
        {"search-tree", "yes", "\"SearchWholeDestination\"=dword:00000001"},
        {"elsewhere", "delete", "\"SameFileElsewhereDlgDefault\"=dword:000000e6"},
        {"SameFileElsewhereDlgDefault", "232", "\"SameFileElsewhereDlgDefault\"=dword:000000e8"},
        {"journal-days", "0", "\"KeepJournalDays\"=dword:00000000"},
        {"KeepJournalCount", "2147483647", "\"KeepJournalCount\"=dword:7fffffff"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.m_pszName) + " " + c.m_pszValue);
        std::remove(Settings().c_str());
        const ToolResult run = Tool({"settings", "set", c.m_pszName, c.m_pszValue});
        EXPECT_EQ(run.m_nExit, 0) << run.m_strErr;
        EXPECT_EQ(ReadFile(Settings()), std::string(c.m_pszLine) + "\n");
    }
}

TEST_F(SettingsTest, BadNamesAndValuesLeaveTheFileAlone) {
    const std::string before = "; my notes\n\"Logging\"=dword:00000001\n";
    WriteFile(Settings(), before);
    const std::vector<std::vector<std::string>> cases = {
        {"settings", "set", "Loging", "1"},
        {"settings", "set", "Logging", "maybe"},
        {"settings", "set", "Logging", "-3"},
        {"settings", "set", "Logging", "4294967296"},
        {"settings", "set", "DiffFileSameNameDlgDefault", "7"},
        {"settings", "set", "DiffFileSameNameDlgDefault", "2"},
        {"settings", "set", "DiffFileSameNameDlgDefault", "delete"},
        // Two answers only: delete or skip.
        {"settings", "set", "elsewhere", "231"},
        {"settings", "set", "elsewhere", "delete-rename"},
        {"settings", "set", "journal-count", "2147483648"},
        {"settings", "set", "journal-days", "on"},
        {"settings", "set", "Logging"},
        {"settings", "unset", "Nothing"},
        {"settings", "unset"},
        {"settings", "frob"},
    };
    for (const auto& args : cases) {
        SCOPED_TRACE(args.back());
        const ToolResult run = Tool(args);
        EXPECT_EQ(run.m_nExit, 2);
        EXPECT_NE(run.m_strErr, "");
        EXPECT_EQ(ReadFile(Settings()), before);
    }
}

TEST_F(SettingsTest, UnsetBringsTheDefaultBack) {
    WriteFile(Settings(), "; my notes\n\"Logging\"=dword:00000000\n\"FullPaths\"=dword:00000001\n");
    ToolResult run = Tool({"settings", "unset", "LOGGING"});
    EXPECT_EQ(run.m_nExit, 0) << run.m_strErr;
    EXPECT_EQ(ReadFile(Settings()), "; my notes\n\"FullPaths\"=dword:00000001\n");
    run = Tool({"settings"});
    EXPECT_EQ(LineOf(run.m_strOut, "log"), "log Logging on (1) default");
    run = Tool({"settings", "unset", "Logging"});  // not there: fine, nothing written
    EXPECT_EQ(run.m_nExit, 0);
}

TEST_F(SettingsTest, SettingsOptionNamesAnotherFile) {
    const std::string other = m_tmp.Path("elsewhere/settings");
    ToolResult run = Tool({"settings", "set", "--settings", other, "FullPaths", "1"});
    EXPECT_EQ(run.m_nExit, 0) << run.m_strErr;
    EXPECT_EQ(ReadFile(other), "\"FullPaths\"=dword:00000001\n");
    EXPECT_FALSE(Exists(Settings()));
    run = Tool({"settings", "--settings", other});
    EXPECT_NE(run.m_strOut.find("Settings file: " + other + "\n"), std::string::npos) << run.m_strOut;
    EXPECT_EQ(LineOf(run.m_strOut, "full-paths"), "full-paths FullPaths on (1) file");
}

TEST_F(SettingsTest, AnUnwritableFileIsReported) {
    // A file where the settings folder should be: no rights let anyone create a folder there.
    WriteFile(m_tmp.Path("plain"), "p");
    const std::string path = m_tmp.Path("plain/settings");
    const ToolResult run = Tool({"settings", "set", "--settings", path, "Logging", "0"});
    EXPECT_EQ(run.m_nExit, 1);
    EXPECT_NE(run.m_strErr.find("Error writing to settings file \"" + path + "\""), std::string::npos)
        << run.m_strErr;
    EXPECT_EQ(ReadFile(m_tmp.Path("plain")), "p");
}

}  // namespace
}  // namespace tandemere::testing
