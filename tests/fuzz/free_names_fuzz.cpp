// Fuzz target: free names on a real folder through the POSIX backend. The free name is never the
// taken name nor anything in the folder, has the form "stem (n).ext" with the first free n from 2,
// and a free name too long for the platform is one the platform's own check refuses.
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/free_name.h"
#include "platform/posix/file_system_posix.h"
#include "tests/fuzz/fuzz_check.h"

using tandemere::fuzz::Check;

namespace {

constexpr std::uint32_t kCounters = 8;  // (2) to (9) may be taken

// The name from the input: no '/', no NUL, not a dot entry, within NAME_MAX bytes.
std::string NameFrom(const std::uint8_t* data, std::size_t size) {
    std::string name;
    for (std::size_t i = 0; i < size && name.size() < NAME_MAX; ++i) {
        const char c = static_cast<char>(data[i]);
        name += (c == '/' || c == '\0') ? '_' : c;
    }
    if (name.empty() || name == "." || name == "..") name = "x" + name;
    return name;
}

// Stem and extension as the rule says: the extension runs from the last dot when no blank follows.
void SplitName(const std::string& name, std::string& stem, std::string& ext) {
    const std::size_t dot = name.rfind('.');
    const bool hasExt = dot != std::string::npos && name.find(' ', dot) == std::string::npos;
    stem = hasExt ? name.substr(0, dot) : name;
    ext = hasExt ? name.substr(dot) : std::string();
}

void Take(const std::string& path, bool asFolder) {
    if (asFolder)
        ::mkdir(path.c_str(), 0700);
    else if (FILE* file = std::fopen(path.c_str(), "w"))
        std::fclose(file);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    static const std::string s_strFolder = tandemere::fuzz::ScratchFolder() + "/names/";
    std::filesystem::remove_all(s_strFolder);
    std::filesystem::create_directory(s_strFolder);

    const std::uint8_t takenCounters = data[0];
    const bool asFolders = (data[1] & 1) != 0;
    const std::string name = NameFrom(data + 2, size - 2);
    std::string stem, ext;
    SplitName(name, stem, ext);
    Take(s_strFolder + name, asFolders);
    std::uint32_t firstFree = 2 + kCounters;
    for (std::uint32_t i = kCounters; i-- > 0;) {
        if (takenCounters & (1u << i))
            Take(s_strFolder + stem + " (" + std::to_string(i + 2) + ")" + ext, asFolders);
        else
            firstFree = i + 2;
    }

    tandemere::posix::PosixFileSystem fs;
    const std::string found = tandemere::engine::FindFreeName(fs, s_strFolder, name);
    Check(found != name, "the free name is the taken name " + name);
    Check(!found.empty() && found.find('/') == std::string::npos, "the free name is one name: " + found);
    const std::string prefix = stem + " (";
    const std::string suffix = ")" + ext;
    Check(found.size() > prefix.size() + suffix.size() && found.compare(0, prefix.size(), prefix) == 0 &&
              found.compare(found.size() - suffix.size(), suffix.size(), suffix) == 0,
          "\"" + found + "\" is not \"stem (n).ext\" of \"" + name + "\"");
    const std::string counter = found.substr(prefix.size(), found.size() - prefix.size() - suffix.size());
    if (!fs.PathFits(s_strFolder + found)) {
        // Too long for the platform: the callers refuse it by this very check.
        Check(found.size() > NAME_MAX, "a free name refused though it fits: " + found);
        return 0;
    }
    struct stat st;
    Check(::lstat((s_strFolder + found).c_str(), &st) != 0, "the free name is taken: " + found);
    Check(counter == std::to_string(firstFree),
          "not the first free counter " + std::to_string(firstFree) + ": " + found);
    return 0;
}
