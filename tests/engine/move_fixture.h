// Engine tests: a fixture that runs whole moves on real temporary folders through the real backend.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "engine/move_command.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/platform_backend.h"
#include "tests/support/scripted_ui.h"
#include "tests/support/temp_folder.h"
#include "tests/support/tree_snapshot.h"

namespace tandemere::testing {

inline const engine::WindowHandle kOwner = reinterpret_cast<engine::WindowHandle>(0x0123);

class MoveFixture : public ::testing::Test {
protected:
    MoveFixture() {
        MakeFolders(m_tmp.Path("src"));
        MakeFolders(m_tmp.Path("dst"));
    }

    std::string Src(std::string_view relative = {}) const { return JoinPath(m_tmp.Path("src"), relative); }
    std::string Dst(std::string_view relative = {}) const { return JoinPath(m_tmp.Path("dst"), relative); }

    // Replaces the settings by values in their stored form, one value a line.
    void WriteSettings(const std::string& text) { m_testSettings.Write(text); }

    // Runs one move of `dropped` into `dest` (default: dst/), checking the content invariant over
    // `roots` (default: src and dst). `mayChange`: destination paths an answer allowed to change.
    engine::HResult Run(const std::vector<std::string>& dropped, std::string dest = {},
                        const std::set<std::string>& mayChange = {}, std::vector<std::string> sourceRoots = {},
                        std::string destRoot = {}) {
        if (dest.empty()) dest = Dst();
        if (sourceRoots.empty()) sourceRoots = {Src()};
        if (destRoot.empty()) destRoot = Dst();
        MoveInvariant invariant(sourceRoots, destRoot);
        m_command = std::make_unique<engine::MoveCommand>(m_fs, m_settings, m_ui);
        m_command->SetDestFolder(dest);
        for (const std::string& path : dropped) m_command->AddDropped(path);
        const engine::HResult result = m_command->InvokeCommand(0, kOwner);
        m_log = m_command->Log();
        EXPECT_EQ("", invariant.Check(mayChange));
        return result;
    }

    // The log line of a unique file moved under its own name (shown paths relative to the roots,
    // written with '/').
    static std::string UniqueLine(const std::string& src, const std::string& dst) {
        return "Moved source file \"" + Native(src) + "\" to destination \"" + Native(dst) +
               "\" because the source file is unique and the filename was not already being used.\r\n";
    }

    TempFolder m_tmp;
    TestSettings m_testSettings;
    std::unique_ptr<engine::IFileSystem> m_pRealFs = MakeRealFileSystem();
    engine::IFileSystem& m_realFs = *m_pRealFs;
    FaultyFileSystem m_fs{m_realFs};
    engine::ISettingsStore& m_settings = m_testSettings.Store();
    ScriptedUserInterface m_ui;
    std::unique_ptr<engine::MoveCommand> m_command;
    std::string m_log;
};

}  // namespace tandemere::testing
