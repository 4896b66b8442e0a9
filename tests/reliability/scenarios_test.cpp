// Reliability tests: thousands of seeded random moves, each judged by the oracle; the figures of the
// run go to $TANDEMERE_FIGURES_DIR/scenarios.txt.
//
// TANDEMERE_SCENARIO_COUNT=N     scenarios of the run, a tenth of them unprivileged (default: 20000,
//                                2000 with the sanitizers)
// TANDEMERE_SCENARIO_SEED=S      run only the scenario of seed S and describe it
// TANDEMERE_SCENARIO_UNPRIVILEGED=1   with a seed: run it as the unprivileged user
// TANDEMERE_SOAK_SECONDS=N       run fresh seeds for N seconds instead
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "tests/reliability/scenario.h"
#include "tests/reliability/scenario_run.h"
#include "tests/support/temp_folder.h"
#ifndef _WIN32
#include "tests/reliability/scenario_posix.h"
#else
#include "tests/support/wine_bin_win32.h"
#endif

namespace tandemere::testing {
namespace {

std::uint64_t EnvNumber(const char* name, std::uint64_t fallback) {
    const char* text = std::getenv(name);
    if (text == nullptr || *text == '\0') return fallback;
    return std::strtoull(text, nullptr, 10);
}

ScenarioOptions PrivilegedOptions() {
    ScenarioOptions options;
#ifndef _WIN32
    options.m_bSyscallFaults = true;
    options.m_bPipesAmongEntries = true;
    options.m_bHardLinks = true;
    options.m_nTrashPercent = 25;
#else
    options.m_bLinks = false;
    options.m_bWindowsNames = true;
    // Only a bin of the tests' own: Wine's under the run's XDG_DATA_HOME, never a user's.
    options.m_nTrashPercent = WineBinFolder().empty() ? 0 : 25;
#endif
    return options;
}

ScenarioOptions UnprivilegedOptions() {
    ScenarioOptions options = PrivilegedOptions();
    options.m_bPermissions = true;
    return options;
}

std::unique_ptr<IScenarioPlatform> MakePlatform() {
#ifndef _WIN32
    return std::make_unique<PosixScenarioPlatform>();
#else
    return std::make_unique<PlainScenarioPlatform>();
#endif
}

BatchResult RunInProcess(const std::vector<std::uint64_t>& seeds, const ScenarioOptions& options) {
    BatchResult result;
    std::unique_ptr<IScenarioPlatform> platform = MakePlatform();
    for (std::uint64_t seed : seeds) result.Add(RunScenario(GenerateScenario(seed, options), *platform));
    return result;
}

BatchResult RunUnprivileged(const std::vector<std::uint64_t>& seeds) {
#ifndef _WIN32
    return RunUnprivilegedBatch(seeds, UnprivilegedOptions());
#else
    (void)seeds;
    return BatchResult();
#endif
}

std::vector<std::uint64_t> Seeds(std::uint64_t first, std::uint64_t count) {
    std::vector<std::uint64_t> seeds;
    for (std::uint64_t i = 0; i < count; ++i) seeds.push_back(first + i);
    return seeds;
}

// The command that runs one scenario again, alone.
std::string RerunCommand(std::uint64_t seed, bool unprivileged) {
    const std::vector<std::string> argv = ::testing::internal::GetArgvs();
    std::ostringstream command;
    command << "TANDEMERE_SCENARIO_SEED=" << seed
            << (unprivileged ? " TANDEMERE_SCENARIO_UNPRIVILEGED=1" : "") << " "
            << (argv.empty() ? "reliability_tests" : argv[0]) << " --gtest_filter=Scenarios.*";
    return command.str();
}

void ReportFailures(const BatchResult& batch, bool unprivileged) {
    if (!batch.m_strError.empty()) ADD_FAILURE() << batch.m_strError;
    std::size_t shown = 0;
    std::ostringstream seeds;
    for (const ScenarioOutcome& failed : batch.m_lstFailed) {
        seeds << " " << failed.m_nSeed;
        if (++shown > 5) continue;
        ADD_FAILURE() << "scenario " << failed.m_nSeed << (failed.m_bLost ? " LOST CONTENT" : "")
                      << (unprivileged ? " (unprivileged)" : "")
                      << "; again: " << RerunCommand(failed.m_nSeed, unprivileged) << "\n"
                      << failed.m_strReport.substr(0, 4000) << "log:\n"
                      << failed.m_strLog.substr(0, 4000);
    }
    if (!batch.m_lstFailed.empty())
        ADD_FAILURE() << batch.m_lstFailed.size() << (unprivileged ? " unprivileged" : "")
                      << " scenarios failed, seeds:" << seeds.str();
}

void WriteFigures(const BatchResult& run, const BatchResult& unprivileged) {
    const char* folder = std::getenv("TANDEMERE_FIGURES_DIR");
    if (folder == nullptr || *folder == '\0') return;
    std::string path = folder;
#ifdef _WIN32
    // The build folder is a Unix path; Wine shows the Unix root as drive Z:.
    if (path[0] == '/') path = "Z:" + path;
#endif
    std::error_code error;
    std::filesystem::create_directories(PathFromUtf8(path), error);
    std::ofstream out(PathFromUtf8(JoinPath(path, "scenarios.txt")), std::ios::trunc);
    out << "scenarios run: " << run.m_nScenarios + unprivileged.m_nScenarios
        << ", faults injected: " << run.m_nFaults + unprivileged.m_nFaults
        << ", unprivileged scenarios: " << unprivileged.m_nScenarios
        << ", trashed: " << run.m_nTrashed + unprivileged.m_nTrashed
        << ", searching the whole destination: " << run.m_nSearchTree + unprivileged.m_nSearchTree
        << " (identical files found elsewhere and asked about: "
        << run.m_nElsewhere + unprivileged.m_nElsewhere
        << ", folders made to merge into: " << run.m_nFoldersMade + unprivileged.m_nFoldersMade << ")"
        << ", content lost: " << run.m_nLost + unprivileged.m_nLost << ", other oracle findings: "
        << (run.m_lstFailed.size() + unprivileged.m_lstFailed.size() - static_cast<std::size_t>(run.m_nLost) -
            static_cast<std::size_t>(unprivileged.m_nLost))
        << "\n"
        << "undos: " << run.m_nUndos + unprivileged.m_nUndos
        << ", trees restored: " << run.m_nRestored + unprivileged.m_nRestored
        << ", steps refused as changed: " << run.m_nRefusedChanged + unprivileged.m_nRefusedChanged
        << ", content lost: " << run.m_nLost + unprivileged.m_nLost << "\n";
    if (!out) ADD_FAILURE() << "could not write the figures to " << folder;
}

// Runs fresh seeds until the time is up, a tenth of them unprivileged.
void Soak(std::uint64_t seconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    std::random_device device;
    std::uint64_t first = (static_cast<std::uint64_t>(device()) << 32) ^ device();
    BatchResult total;
    BatchResult unprivileged;
    while (std::chrono::steady_clock::now() < end) {
        BatchResult batch = RunInProcess(Seeds(first, 500), PrivilegedOptions());
        BatchResult down = RunUnprivileged(Seeds(first + 500, 50));
        first += 550;
        ReportFailures(batch, false);
        ReportFailures(down, true);
        total.m_nScenarios += batch.m_nScenarios;
        total.m_nFaults += batch.m_nFaults;
        total.m_nLost += batch.m_nLost;
        unprivileged.m_nScenarios += down.m_nScenarios;
        unprivileged.m_nFaults += down.m_nFaults;
        unprivileged.m_nLost += down.m_nLost;
    }
    std::printf("soak: %d scenarios, %d unprivileged, %d faults, %d with lost content\n",
                total.m_nScenarios + unprivileged.m_nScenarios, unprivileged.m_nScenarios,
                total.m_nFaults + unprivileged.m_nFaults, total.m_nLost + unprivileged.m_nLost);
}

TEST(Scenarios, RandomMovesLoseNoContentAndLogEveryChange) {
    if (const std::uint64_t seed = EnvNumber("TANDEMERE_SCENARIO_SEED", 0)) {
        const bool unprivileged = EnvNumber("TANDEMERE_SCENARIO_UNPRIVILEGED", 0) != 0;
        std::printf("%s", GenerateScenario(seed, unprivileged ? UnprivilegedOptions() : PrivilegedOptions())
                              .Describe()
                              .c_str());
        const BatchResult batch =
            unprivileged ? RunUnprivileged({seed}) : RunInProcess({seed}, PrivilegedOptions());
        std::printf("log:\n%s\n", batch.m_strLastLog.c_str());
        ReportFailures(batch, unprivileged);
        return;
    }
    if (const std::uint64_t seconds = EnvNumber("TANDEMERE_SOAK_SECONDS", 0)) return Soak(seconds);

    const std::uint64_t count = EnvNumber("TANDEMERE_SCENARIO_COUNT", TANDEMERE_SCENARIO_COUNT);
#ifndef _WIN32
    const std::uint64_t unprivilegedCount = std::max<std::uint64_t>(1, count / 10);
#else
    const std::uint64_t unprivilegedCount = 0;  // no permission bits to refuse a user there
#endif
    const BatchResult run =
        RunInProcess(Seeds(1, count - std::min(count, unprivilegedCount)), PrivilegedOptions());
    const BatchResult unprivileged = RunUnprivileged(Seeds(1000000001, unprivilegedCount));
    WriteFigures(run, unprivileged);
    ReportFailures(run, false);
    ReportFailures(unprivileged, true);
    EXPECT_EQ(0, run.m_nLost + unprivileged.m_nLost);
}

}  // namespace
}  // namespace tandemere::testing
