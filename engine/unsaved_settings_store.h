// Engine layer: a settings store for dry runs: reads the real settings, keeps every write in memory.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "engine/settings_store.h"

namespace tandemere::engine {

// Reads go to the store below, with the values written through this store on top; writes never
// reach it, so an answer given "for every move" lasts only as long as this object.
class UnsavedSettingsStore : public ISettingsStore {
public:
    explicit UnsavedSettingsStore(ISettingsStore& base) : m_rBase(base) {}

    // Null only when the store below has no key and nothing was written here.
    std::unique_ptr<ISettingsKey> OpenForRead() override;
    // Always a key: writes to memory cannot fail.
    std::unique_ptr<ISettingsKey> OpenForWrite() override;
    std::string WriteErrorText() const override { return m_rBase.WriteErrorText(); }

    // The values written so far, by name.
    const std::map<std::string, std::uint32_t>& Written() const { return m_mapWritten; }

private:
    ISettingsStore& m_rBase;
    std::map<std::string, std::uint32_t> m_mapWritten;
};

}  // namespace tandemere::engine
