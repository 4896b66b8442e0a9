// Engine layer: the settings-store interface (the registry key on Windows, a file on Linux).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace tandemere::engine {

enum class ValueKind : std::uint8_t { Missing, Dword, OtherType };

// An open settings key; closed by its destructor.
class ISettingsKey {
public:
    virtual ~ISettingsKey() = default;
    // Reads a value; `value` is set only when the result is Dword.
    virtual ValueKind QueryDword(const std::string& name, std::uint32_t& value) = 0;
    // Stores a 32-bit value; false when it could not be written.
    virtual bool SetDword(const std::string& name, std::uint32_t value) = 0;
    // Whether the value was given for this run only (a command-line option) rather than stored.
    virtual bool GivenForThisRun(const std::string& /*name*/) const { return false; }
};

class ISettingsStore {
public:
    virtual ~ISettingsStore() = default;
    // Opens the key for reading only; null when it does not exist or cannot be read.
    virtual std::unique_ptr<ISettingsKey> OpenForRead() = 0;
    // Opens the key for writing, creating it when missing; null when neither works.
    virtual std::unique_ptr<ISettingsKey> OpenForWrite() = 0;
    // The text of the box shown when a remembered answer cannot be stored.
    virtual std::string WriteErrorText() const = 0;
};

}  // namespace tandemere::engine
