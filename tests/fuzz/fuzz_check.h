// Fuzz targets: a property that does not hold ends the run with the input saved by libFuzzer.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

namespace tandemere::fuzz {

// Prints what went wrong and aborts, so libFuzzer keeps the input as a crash.
[[noreturn]] inline void Fail(const std::string& what) {
    std::fprintf(stderr, "property broken: %s\n", what.c_str());
    std::abort();
}

inline void Check(bool holds, const std::string& what) {
    if (!holds) Fail(what);
}

// A folder of the process's own for the targets that need real files: /dev/shm where it exists,
// so that flushes cost nothing.
std::string ScratchFolder();

}  // namespace tandemere::fuzz
