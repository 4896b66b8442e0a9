// Platform tests: the file-system conformance suite, the same test bodies for every backend.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "engine/file_system.h"
#include "tests/support/temp_folder.h"

namespace tandemere::testing {

// What a backend's test program supplies before the suite runs.
struct ConformanceBackend {
    std::function<std::unique_ptr<engine::IFileSystem>()> m_fnMake;
    // A folder on another volume than the default temporary folder (empty: no cross-volume cases).
    std::string m_strOtherVolumeBase;
    bool m_bSymlinks = true;      // the platform's helpers can make symbolic links
    bool m_bCopyProgress = true;  // the system's file copy calls its progress routine
};

// Called once by the backend's own test file (e.g. from a static initializer).
void SetConformanceBackend(ConformanceBackend backend);
const ConformanceBackend& GetConformanceBackend();
// Where the system's own folder move is not faithful (an emulator), the case that judges
// MoveFolderAcrossVolumes by its outcome is skipped with this reason.
void SetFolderMoveSkipReason(std::string reason);

class FileSystemConformanceTest : public ::testing::Test {
protected:
    void SetUp() override;

    std::unique_ptr<engine::IFileSystem> m_pFs;
    TempFolder m_dir;
    std::optional<TempFolder> m_other;  // set when the backend names another volume
};

}  // namespace tandemere::testing
