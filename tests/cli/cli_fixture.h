// CLI tests: a fixture with a source tree, a destination folder and a settings file of its own.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/cli/tool_runner.h"
#include "tests/support/temp_folder.h"

namespace tandemere::testing {

class ToolTest : public ::testing::Test {
protected:
    ToolTest() { MakeTrees(); }

    // Gives the next case of a table new trees and a settings file of its own.
    void StartCase() {
        m_tmp = TempFolder();
        MakeTrees();
    }

    std::string Src(std::string_view relative = {}) const { return JoinPath(m_tmp.Path("src"), relative); }
    std::string Dst(std::string_view relative = {}) const { return JoinPath(m_tmp.Path("dst"), relative); }

    // `tandemere move [options] sources... dst`.
    ToolResult Move(const std::vector<std::string>& sourcesAndOptions, std::string_view input = {}) {
        std::vector<std::string> args = {"move"};
        args.insert(args.end(), sourcesAndOptions.begin(), sourcesAndOptions.end());
        args.push_back(Dst());
        return RunTool(args, m_env, input);
    }
    ToolResult Tool(const std::vector<std::string>& args, std::string_view input = {}) {
        return RunTool(args, m_env, input);
    }

    // An `xdg-open` first on PATH that records the path it was given, then exits with `status`.
    std::string InstallOpener(int status) {
        const std::string bin = m_tmp.Path("bin");
        const std::string record = m_tmp.Path("opened.txt");
        WriteFile(bin + "/xdg-open", "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" + record + "'\nexit " +
                                         std::to_string(status) + "\n");
        SetMode(bin + "/xdg-open", 0755);
        m_env.m_lstExtra.push_back("PATH=" + bin + ":/usr/bin:/bin");
        return record;
    }

    TempFolder m_tmp;
    ToolEnvironment m_env;

private:
    void MakeTrees() {
        MakeFolders(m_tmp.Path("src"));
        MakeFolders(m_tmp.Path("dst"));
        m_env.m_strSettingsFile = m_tmp.Path("settings");
        // The journals of the tests' moves stay in their own folders, never in the user's.
        m_env.m_lstExtra.push_back("XDG_STATE_HOME=" + m_tmp.Path("state"));
    }
};

inline int Count(const std::string& text, std::string_view part) {
    int n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size()))
        ++n;
    return n;
}

}  // namespace tandemere::testing
