// Engine tests: a fixture that runs whole moves on real temporary folders through the real backend,
// with calls counted and made to fail.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
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
    using Op = FaultyFileSystem::Operation;

    MoveFixture() {
        m_fs.m_fnBeforeCall = [this](Op op, const std::string& path) {
            if (op != Op::OpenRead) return;
            if (m_fnBeforeOpen) m_fnBeforeOpen(path);
            m_lstOpened.push_back(path);
        };
        MakeTrees();
    }

    // Gives the next case of a table a clean start: new trees, no settings, no faults, no counts,
    // an empty script and record.
    void StartCase() {
        m_tmp = TempFolder();
        MakeTrees();
        m_testSettings.Clear();
        m_fs.ClearFaults();
        m_fs.ResetCounts();
        m_ui = ScriptedUserInterface();
        m_lstOpened.clear();
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
    // Replaces the settings by values in their stored form, one value a line.
    void WriteSettings(const std::string& text) { m_testSettings.Write(text); }

    std::string Src(std::string_view relative = {}) const { return JoinPath(m_tmp.Path("src"), relative); }
    std::string Dst(std::string_view relative = {}) const { return JoinPath(m_tmp.Path("dst"), relative); }
    // A folder the move never touches: a copy kept there of a destination file that an answer
    // overwrites keeps that content accounted for by the invariant.
    std::string Keep(std::string_view relative = {}) const { return JoinPath(m_tmp.Path("keep"), relative); }

    // Runs one move of `dropped` into `dest` (default: dst/), then checks that no content of
    // `sourceRoots` (default: src and keep) or of `destRoot` (default: dst) was lost, and that no
    // entry of `destRoot` changed except those in `mayChange` (relative, '/').
    engine::MoveOutcome Run(const std::vector<std::string>& dropped, std::string dest = {},
                            const std::set<std::string>& mayChange = {},
                            std::vector<std::string> sourceRoots = {}, std::string destRoot = {}) {
        if (dest.empty()) dest = Dst();
        if (sourceRoots.empty()) sourceRoots = {Src(), Keep()};
        if (destRoot.empty()) destRoot = Dst();
        std::optional<MoveInvariant> invariant;
        if (m_bCheckInvariant) invariant.emplace(sourceRoots, destRoot);
        m_command = std::make_unique<engine::MoveCommand>(m_fs, m_settings, m_ui);
        m_command->SetDestFolder(dest);
        for (const std::string& path : dropped) m_command->AddDropped(path);
        const engine::MoveOutcome result = m_command->Run(kOwner);
        m_log = m_command->Log();
        if (invariant) {
            EXPECT_EQ("", invariant->Check(mayChange));
        }
        return result;
    }

    // An error of a fault FailAt made, as the box shows it: the text and the fault's reason.
    static std::string Failed(const std::string& error, const std::string& reason = "access denied") {
        return error + ": " + reason;
    }
    // The reason a real failure gives after `error` in `shown`: POSIX's words are fixed and checked
    // as `posix`; Windows' depend on its version and language, so there any reason passes.
    static std::string RealReason(const std::string& shown, const std::string& error, const char* posix) {
#ifdef _WIN32
        static_cast<void>(posix);
        const std::size_t at = shown.find(error + ": ");
        if (at == std::string::npos) return "(no reason)";
        const std::size_t from = at + error.size() + 2;
        const std::size_t end = shown.find('\r', from);
        return shown.substr(from, end == std::string::npos ? std::string::npos : end - from);
#else
        static_cast<void>(shown), static_cast<void>(error);
        return posix;
#endif
    }
    // Its lines in the log: the error, then what the user chose.
    static std::string FailedLog(const std::string& error, bool skip = false,
                                 const std::string& reason = "access denied") {
        return Failed(error, reason) + "\r\n" +
               (skip ? "Chose to skip it and go on with the other items.\r\n"
                     : "Chose to stop the move.\r\n");
    }

    // `text` with each mark replaced by its path, for tables whose expected texts name paths
    // made only when the case runs.
    static std::string WithPaths(std::string text,
                                 const std::vector<std::pair<std::string, std::string>>& paths) {
        for (const auto& [mark, path] : paths)
            if (auto at = text.find(mark); at != std::string::npos) text.replace(at, mark.size(), path);
        return text;
    }

    // A folder of the test's own on the second volume; none when there is no second volume (or,
    // with a test failure, when the folder cannot be made).
    static std::optional<TempFolder> OtherVolume() {
        const std::string base = OtherVolumeBase();
        if (base.empty()) return std::nullopt;
        TempFolder other(base);
        if (!other.IsValid()) {
            ADD_FAILURE() << "no temporary folder under " << base;
            return std::nullopt;
        }
        return other;
    }

    // The log line of a unique file moved under its own name (shown paths relative to the roots,
    // written with '/').
    static std::string UniqueLine(const std::string& src, const std::string& dst) {
        return "Moved source file \"" + Native(src) + "\" to destination \"" + Native(dst) +
               "\" because the source file is unique and the filename was not already being used.\r\n";
    }
    static std::string DeletedLine(const std::string& src, const std::string& dst) {
        return "Deleted source file \"" + Native(src) + "\", because destination file \"" + Native(dst) +
               "\" is the same.\r\n";
    }
    // A decision's log line (ending in "\r\n") as it reads when a stored answer took the decision.
    static std::string Stored(std::string line) {
        return line.insert(line.size() - 2, " (stored answer)");
    }
    // A choice prompt's texts in the order it shows them, then the two whole paths, to compare in one go.
    static std::vector<std::string> TextsOf(const engine::ChoicePrompt& p) {
        return {p.m_strQuestion, p.m_strCaption1, p.m_strText1,   p.m_strCaption2,
                p.m_strText2,    p.m_strText3,    p.m_strSrcPath, p.m_strDestPath};
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

private:
    void MakeTrees() {
        MakeFolders(m_tmp.Path("src"));
        MakeFolders(m_tmp.Path("dst"));
        MakeFolders(m_tmp.Path("keep"));
    }
};

namespace files {
// The file placements, identical-file search, comparison and free names share one suite name.
class FileMoves : public MoveFixture {};
}  // namespace files

}  // namespace tandemere::testing
