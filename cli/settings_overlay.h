// Command-line layer: per-run settings that write nothing: a settings store that answers some
// values itself and leaves everything else, writes included, to the store below it.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "engine/settings_store.h"

namespace tandemere::cli {

class OverlaySettingsStore : public engine::ISettingsStore {
public:
    explicit OverlaySettingsStore(engine::ISettingsStore& base) : m_rBase(base) {}

    // From now on the value reads as this number, whatever the store below holds.
    void Override(const std::string& name, std::uint32_t value) { m_mapOverrides[name] = value; }

    // The store below, with the overridden values on top. Null only when the store below has no
    // key and nothing is overridden, so "no settings at all" still reads as such.
    std::unique_ptr<engine::ISettingsKey> OpenForRead() override;
    // Straight to the store below: a remembered answer still lasts beyond this run.
    std::unique_ptr<engine::ISettingsKey> OpenForWrite() override { return m_rBase.OpenForWrite(); }
    std::string WriteErrorText() const override { return m_rBase.WriteErrorText(); }

private:
    engine::ISettingsStore& m_rBase;
    std::map<std::string, std::uint32_t> m_mapOverrides;
};

}  // namespace tandemere::cli
