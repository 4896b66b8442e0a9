// Stress tests: shared checks and figures.
#include "tests/stress/stress_support.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "engine/path.h"
#include "tests/support/temp_folder.h"

namespace tandemere::testing {

namespace {

std::vector<std::string_view> Components(std::string_view relative) {
    std::vector<std::string_view> parts;
    for (std::size_t start = 0; start <= relative.size();) {
        std::size_t end = relative.find('/', start);
        if (end == std::string_view::npos) end = relative.size();
        parts.push_back(relative.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

}  // namespace

bool LiesInTemporary(const std::string& relative) {
    for (std::string_view part : Components(relative))
        if (engine::IsTemporaryName(part)) return true;
    return false;
}

std::string CheckNothingLost(const std::vector<TreeSnapshot>& before, const std::vector<TreeSnapshot>& after,
                             int& lost) {
    std::vector<TreeSnapshot> found;
    std::string strange;
    for (const TreeSnapshot& tree : after) {
        found.push_back(tree.Without(LiesInTemporary));
        for (const auto& [path, entry] : tree.Entries())
            for (std::string_view part : Components(path))
                if (part.substr(0, engine::kTemporaryPrefix.size()) == engine::kTemporaryPrefix &&
                    !engine::IsTemporaryName(part))
                    strange += "a leftover of ours that no one can recognise: " + path + "\n";
    }
    const std::string missing = FindLostContent(before, found);
    lost = static_cast<int>(std::count(missing.begin(), missing.end(), '\n'));
    return missing + strange;
}

std::string FindTornCopies(const std::vector<TreeSnapshot>& before, const std::vector<TreeSnapshot>& after) {
    std::vector<TreeSnapshot> found;
    for (const TreeSnapshot& tree : after) found.push_back(tree.Without(LiesInTemporary));
    // Read the other way round, a "lost" content is one that never existed before.
    const std::string torn = FindLostContent(found, before);
    return torn.empty() ? torn : "files under a user's name whose content existed nowhere before:\n" + torn;
}

void WriteFigure(const std::string& file, const std::string& line) {
    const char* folder = std::getenv("TANDEMERE_FIGURES_DIR");
    if (folder == nullptr || *folder == '\0') return;
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    std::ofstream out(std::string(folder) + "/" + file, std::ios::trunc);
    out << line << "\n";
}

std::uint64_t EnvNumber(const char* name, std::uint64_t fallback) {
    const char* text = std::getenv(name);
    if (text == nullptr || *text == '\0') return fallback;
    return std::strtoull(text, nullptr, 10);
}

std::string RandomBytes(std::mt19937_64& random, std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; i += 8) {
        const std::uint64_t word = random();
        for (std::size_t b = 0; b < 8 && i + b < size; ++b) bytes[i + b] = static_cast<char>(word >> (8 * b));
    }
    return bytes;
}

}  // namespace tandemere::testing
