// Engine tests: whole moves of files on real temporary folders through the real backend, with calls
// counted and made to fail.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "engine/move_command.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/platform_backend.h"
#include "tests/support/scripted_ui.h"
#include "tests/support/temp_folder.h"
#include "tests/support/tree_snapshot.h"

namespace tandemere::testing::files {

inline const engine::WindowHandle kOwner = reinterpret_cast<engine::WindowHandle>(0x0BE1);

class FileMoves : public ::testing::Test {
protected:
    using Op = FaultyFileSystem::Operation;

    FileMoves() {
        m_fs.m_fnBeforeCall = [this](Op op, const std::string& path) {
            if (op != Op::OpenRead) return;
            if (m_fnBeforeOpen) m_fnBeforeOpen(path);
            m_lstOpened.push_back(path);
        };
        MakeFolders(m_tmp.Path("src"));
        MakeFolders(m_tmp.Path("dst"));
        MakeFolders(m_tmp.Path("keep"));
    }

    // Makes the n-th call of `op` from now on (1 = the next one) fail.
    void FailAt(Op op, int n, engine::ErrorKind kind = engine::ErrorKind::AccessDenied) {
        m_fs.FailNth(op, m_fs.Calls(op) + n, kind);
    }
    // Stores a remembered answer (or switch) in the settings the move reads.
    void SetRemembered(const std::string& name, std::int32_t value) {
        std::unique_ptr<engine::ISettingsKey> key = m_settings.OpenForWrite();
        ASSERT_NE(nullptr, key);
        ASSERT_TRUE(key->SetDword(name, static_cast<std::uint32_t>(value)));
    }

    // A folder the move never touches: a copy kept there of a destination file that an answer
    // overwrites keeps that content accounted for by the invariant.
    std::string Keep(std::string_view relative = {}) const { return JoinPath(m_tmp.Path("keep"), relative); }

    std::string Src(std::string_view relative = {}) const { return JoinPath(m_tmp.Path("src"), relative); }
    std::string Dst(std::string_view relative = {}) const { return JoinPath(m_tmp.Path("dst"), relative); }

    // Runs one whole move of `dropped` into `dest` (default dst/), then checks that no content
    // was lost and that no destination entry changed except those in `mayChange`.
    engine::HResult Run(const std::vector<std::string>& dropped, const std::set<std::string>& mayChange = {},
                        std::string dest = {}, std::string sourceRoot = {}) {
        if (dest.empty()) dest = Dst();
        if (sourceRoot.empty()) sourceRoot = Src();
        std::optional<MoveInvariant> invariant;
        if (m_bCheckInvariant) invariant.emplace(std::vector<std::string>{sourceRoot, Keep()}, dest);
        m_command = std::make_unique<engine::MoveCommand>(m_fs, m_settings, m_ui);
        m_command->SetDestFolder(dest);
        for (const std::string& path : dropped) m_command->AddDropped(path);
        const engine::HResult result = m_command->InvokeCommand(0, kOwner);
        m_log = m_command->Log();
        if (invariant) {
            EXPECT_EQ("", invariant->Check(mayChange));
        }
        return result;
    }

    // The log line of a file moved in as unique under its own name (relative paths written with '/').
    static std::string UniqueLine(const std::string& src, const std::string& dst) {
        return "Moved source file \"" + Native(src) + "\" to destination \"" + Native(dst) +
               "\" because the source file is unique and the filename was not already being used.\r\n";
    }
    static std::string DeletedLine(const std::string& src, const std::string& dst) {
        return "Deleted source file \"" + Native(src) + "\", because destination file \"" + Native(dst) +
               "\" is the same.\r\n";
    }

    TempFolder m_tmp;
    TestSettings m_testSettings;
    std::unique_ptr<engine::IFileSystem> m_pRealFs = MakeRealFileSystem();
    engine::IFileSystem& m_realFs = *m_pRealFs;
    FaultyFileSystem m_fs{m_realFs};
    engine::ISettingsStore& m_settings = m_testSettings.Store();
    std::vector<std::string> m_lstOpened;  // paths opened for reading, in order
    std::function<void(const std::string&)> m_fnBeforeOpen;
    ScriptedUserInterface m_ui;
    std::unique_ptr<engine::MoveCommand> m_command;
    std::string m_log;
    bool m_bCheckInvariant = true;
};

}  // namespace tandemere::testing::files
