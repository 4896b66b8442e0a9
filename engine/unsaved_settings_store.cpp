// Engine layer: the dry run's settings store, writes kept in memory over the real settings.
#include "engine/unsaved_settings_store.h"

#include <utility>

namespace tandemere::engine {
namespace {

class UnsavedKey : public ISettingsKey {
public:
    UnsavedKey(std::unique_ptr<ISettingsKey> base, std::map<std::string, std::uint32_t>& written)
        : m_pBase(std::move(base)), m_rWritten(written) {}

    ValueKind QueryDword(const std::string& name, std::uint32_t& value) override {
        const auto found = m_rWritten.find(name);
        if (found != m_rWritten.end()) {
            value = found->second;
            return ValueKind::Dword;
        }
        return m_pBase ? m_pBase->QueryDword(name, value) : ValueKind::Missing;
    }

    bool SetDword(const std::string& name, std::uint32_t value) override {
        m_rWritten[name] = value;
        return true;
    }

private:
    std::unique_ptr<ISettingsKey> m_pBase;
    std::map<std::string, std::uint32_t>& m_rWritten;
};

}  // namespace

std::unique_ptr<ISettingsKey> UnsavedSettingsStore::OpenForRead() {
    std::unique_ptr<ISettingsKey> base = m_rBase.OpenForRead();
    if (!base && m_mapWritten.empty()) return nullptr;
    return std::make_unique<UnsavedKey>(std::move(base), m_mapWritten);
}

std::unique_ptr<ISettingsKey> UnsavedSettingsStore::OpenForWrite() {
    // The key below is opened for reading only: opening it for writing could create the file.
    return std::make_unique<UnsavedKey>(m_rBase.OpenForRead(), m_mapWritten);
}

}  // namespace tandemere::engine
