// Command-line layer: the overlay of per-run settings over the settings file.
#include "cli/settings_overlay.h"

namespace tandemere::cli {

namespace {

class OverlayKey : public engine::ISettingsKey {
public:
    OverlayKey(std::unique_ptr<engine::ISettingsKey> base,
               const std::map<std::string, std::uint32_t>& overrides)
        : m_pBase(std::move(base)), m_rOverrides(overrides) {}

    engine::ValueKind QueryDword(const std::string& name, std::uint32_t& value) override {
        const auto found = m_rOverrides.find(name);
        if (found != m_rOverrides.end()) {
            value = found->second;
            return engine::ValueKind::Dword;
        }
        return m_pBase ? m_pBase->QueryDword(name, value) : engine::ValueKind::Missing;
    }

    bool GivenForThisRun(const std::string& name) const override { return m_rOverrides.count(name) != 0; }

    // Writes go where the key came from; the engine itself writes only through OpenForWrite.
    bool SetDword(const std::string& name, std::uint32_t value) override {
        return m_pBase ? m_pBase->SetDword(name, value) : false;
    }

private:
    std::unique_ptr<engine::ISettingsKey> m_pBase;
    const std::map<std::string, std::uint32_t>& m_rOverrides;
};

}  // namespace

std::unique_ptr<engine::ISettingsKey> OverlaySettingsStore::OpenForRead() {
    std::unique_ptr<engine::ISettingsKey> base = m_rBase.OpenForRead();
    if (!base && m_mapOverrides.empty()) return nullptr;
    return std::make_unique<OverlayKey>(std::move(base), m_mapOverrides);
}

}  // namespace tandemere::cli
