// Fuzz targets: the scratch folder on a real file system.
#include "tests/fuzz/fuzz_check.h"

#include <stdlib.h>

namespace tandemere::fuzz {

std::string ScratchFolder() {
    static std::string s_strFolder;
    if (!s_strFolder.empty()) return s_strFolder;
    for (const char* base : {"/dev/shm", "/tmp"}) {
        std::string pattern = std::string(base) + "/tandemere-fuzz-XXXXXX";
        if (::mkdtemp(pattern.data()) != nullptr) return s_strFolder = pattern;
    }
    Fail("no scratch folder");
}

}  // namespace tandemere::fuzz
