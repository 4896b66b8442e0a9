// Benchmark: the cost per file of moving unique files into destination folders of growing size, through the
// real engine.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/move_command.h"
#include "platform/posix/file_system_posix.h"
#include "platform/posix/settings_file_posix.h"

namespace {

using namespace tandemere;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

// Answers nothing and shows nothing: the workload has no decision to make.
class SilentUserInterface : public engine::IUserInterface {
public:
    int m_nErrors = 0;
    void ShowError(engine::WindowHandle, const std::string& text) override {
        ++m_nErrors;
        std::fprintf(stderr, "unexpected error: %s\n", text.c_str());
    }
    bool AskSkipOrStop(engine::WindowHandle owner, const std::string& text) override {
        ShowError(owner, text);
        return false;
    }
    bool AskYesNo(engine::WindowHandle, const std::string&) override { return false; }
    engine::WindowHandle GetActiveWindow() override { return nullptr; }
    engine::PromptResult ShowChoicePrompt(engine::WindowHandle, const engine::ChoicePrompt&) override {
        return {};
    }
    engine::PromptResult ShowClashPrompt(engine::WindowHandle, const engine::ClashPrompt&) override {
        return {};
    }
    void CreateProgress(engine::WindowHandle, const std::string&) override {}
    void SetProgressRange(std::uint32_t) override {}
    void SetProgressItem(const std::string&) override {}
    // When each item finished: the cost of the items after the first leaves out the one listing.
    void SetProgressPos(std::int32_t) override { m_lstDone.push_back(Clock::now()); }
    std::vector<Clock::time_point> m_lstDone;
    bool PumpAndCheckCancel() override { return false; }
    void DestroyProgress() override {}
    void ShowLog(engine::WindowHandle, const engine::LogReport&) override {}
};

void Write(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

constexpr int kSources = 1000;
// Source i has 4096 + i bytes, so no two sources and no filler entry share a size; every tenth
// source has a decoy in the destination of its size with other bytes, so it is compared.
std::string SourceBytes(int i) {
    return std::string(4096 + i, static_cast<char>('a' + i % 26));
}

void MakeSources(const std::string& folder) {
    fs::create_directories(folder);
    for (int i = 0; i < kSources; ++i) Write(folder + "/src" + std::to_string(i) + ".dat", SourceBytes(i));
}

void MakeDestination(const std::string& folder, int entries) {
    fs::create_directories(folder);
    int made = 0;
    for (int i = 0; i < kSources && made < entries; i += 10, ++made) {
        std::string decoy = SourceBytes(i);
        decoy.back() = '#';
        Write(folder + "/decoy" + std::to_string(i) + ".dat", decoy);
    }
    for (int j = 0; made < entries; ++j, ++made)
        Write(folder + "/fill" + std::to_string(j) + ".dat",
              std::string(static_cast<std::size_t>(j % 64), 'f'));
}

}  // namespace

int main(int argc, char** argv) {
    const std::string base = argc > 1 ? argv[1] : (fs::temp_directory_path() / "tandemere-bench").string();
    fs::remove_all(base);
    std::printf(
        "%d unique files moved into a folder of M entries (same file system; every tenth file is compared\n"
        "with one decoy of its size). Baseline: rename() of the same files into a folder of the same M.\n\n",
        kSources);
    std::printf("%9s %12s %12s %12s %12s %9s\n", "M", "engine us/f", "listing ms", "after 1st us",
                "rename us/f", "ratio");

    posix::PosixFileSystem posixFs;
    posix::SettingsFileStore settings(base + "/no-settings");
    for (int entries : {1000, 10000, 100000}) {
        const std::string root = base + "/m" + std::to_string(entries);
        MakeSources(root + "/src");
        MakeSources(root + "/src-baseline");
        MakeDestination(root + "/dst", entries);
        MakeDestination(root + "/dst-baseline", entries);

        // The one listing the move makes of the destination, timed on its own.
        std::vector<engine::DirEntry> listing;
        const auto listStart = Clock::now();
        if (!posixFs.ListFolder(root + "/dst", listing)) return 1;
        const double listSeconds = Seconds(Clock::now() - listStart);

        SilentUserInterface ui;
        engine::MoveCommand command(posixFs, settings, ui);
        command.SetDestFolder(root + "/dst");
        for (int i = 0; i < kSources; ++i) command.AddDropped(root + "/src/src" + std::to_string(i) + ".dat");
        const auto moveStart = Clock::now();
        const engine::MoveOutcome result = command.Run(nullptr);
        const double moveSeconds = Seconds(Clock::now() - moveStart);
        if (result != engine::MoveFinished || ui.m_nErrors != 0 || !fs::is_empty(root + "/src")) {
            std::fprintf(stderr, "the move did not place every file\n");
            return 1;
        }

        const auto renameStart = Clock::now();
        for (int i = 0; i < kSources; ++i) {
            const std::string name = "/src" + std::to_string(i) + ".dat";
            if (std::rename((root + "/src-baseline" + name).c_str(),
                            (root + "/dst-baseline" + name).c_str()) != 0)
                return 1;
        }
        const double renameSeconds = Seconds(Clock::now() - renameStart);

        const double perFile = moveSeconds / kSources * 1e6;
        // After the first item (which lists the folder once), what each further file costs.
        const double perFileNoList =
            Seconds(ui.m_lstDone.back() - ui.m_lstDone.front()) / (kSources - 1) * 1e6;
        const double perRename = renameSeconds / kSources * 1e6;
        std::printf("%9d %12.1f %12.1f %12.1f %12.1f %9.1f\n", entries, perFile, listSeconds * 1e3,
                    perFileNoList, perRename, perFileNoList / perRename);
        fs::remove_all(root);
    }
    fs::remove_all(base);
    return 0;
}
