// Command-line layer: `tandemere settings`: list, set and unset the values of the settings file.
#pragma once

#include <string>

namespace tandemere::cli {

// Prints the eight values, where each comes from and the file's path; 0.
int ListSettings(const std::string& path);
// Prints one value as "rename (231)" and where it comes from; 2 for a bad name, 1 when the file
// can't be read.
int GetSettingValue(const std::string& path, const std::string& name);
// Stores one value and says what it stored; 2 for a bad name or value (file unchanged), 1 when the file can't
// be written.
int SetSetting(const std::string& path, const std::string& name, const std::string& value);
// Removes one value, so its default governs again; 2 for a bad name, 1 when the file can't be written.
int UnsetSetting(const std::string& path, const std::string& name);

}  // namespace tandemere::cli
