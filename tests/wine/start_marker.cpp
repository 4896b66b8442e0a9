// Test harness (Windows test programs): creates the file named by TANDEMERE_START_MARKER as the
// program's own code starts, so wine-env.sh can tell a start that Wine's loader gave up on (no
// file: nothing of ours ran) from a test that failed.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "platform/win32/unique_handle_win32.h"

namespace {

struct StartMarker {
    StartMarker() {
        // The narrow name on purpose: wine-env.sh looks for it in the image to know that the
        // program reports its start.
        char path[MAX_PATH];
        const DWORD length = ::GetEnvironmentVariableA("TANDEMERE_START_MARKER", path, MAX_PATH);
        if (length == 0) return;
        if (length < MAX_PATH) {
            const tandemere::win32::UniqueFileHandle file(::CreateFileA(
                path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
            if (file.IsValid()) return;
        } else {
            path[MAX_PATH - 1] = '\0';
        }
        // Without the file a failed test would pass for a start Wine gave up on, and be run
        // again: end before any test runs, and say why.
        std::fprintf(stderr, "start marker: cannot create \"%s\" (error %lu)\n", path, ::GetLastError());
        std::fflush(stderr);
        std::_Exit(3);
    }
};

// Runs among the static constructors, before main.
const StartMarker g_startMarker;

}  // namespace
