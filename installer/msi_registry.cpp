// Installer: a build-machine program that writes the DLLs' registration table as the MSI's Registry
// and RemoveRegistry tables (archive files for msibuild), so the installer writes what
// DllRegisterServer writes, without a copy kept by hand.
//
//   msi_registry OUT_DIR COMPONENT:FILE:BITS...
//
// Each component gets every row with %MODULE% as its file's installed path; the rows that lie in
// the 32-bit view for both builds (the settings) go only to the component with BITS 32. The
// settings key gets a value per setting of the settings table, written from a property that holds
// the default unless a registry search found the value already stored (OUT_DIR/settings.wxi, which
// the package includes): an upgrade writes back what the user chose instead of the defaults.
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "engine/settings_table.h"
#include "shell/registration_table.h"

namespace {

using tandemere::shell::Hive;
using tandemere::shell::RegistryRow;
using tandemere::shell::RowKind;

// The property that carries a setting's value into the Registry table.
std::string SettingProperty(const char* name) {
    std::string property = "TANDEMERE_";
    for (const char* p = name; *p; ++p)
        property += (*p >= 'a' && *p <= 'z') ? static_cast<char>(*p - 'a' + 'A') : *p;
    return property;
}

struct Component {
    std::string m_strId;
    std::string m_strFile;
    bool m_b32Bit;
};

// One row of either table; a null value is an empty optional.
struct MsiRow {
    std::string m_strKey;
    std::optional<std::string> m_strName;
    std::optional<std::string> m_strValue;
};

struct Tables {
    std::vector<std::string> m_lstRegistry;
    std::vector<std::string> m_lstRemove;
};

// The texts are ASCII: the archive files are written without a code page.
std::optional<std::string> Narrow(const wchar_t* text) {
    if (!text) return std::nullopt;
    std::string result;
    for (; *text; ++text) {
        if (*text < 0x20 || *text > 0x7E) return std::nullopt;
        result += static_cast<char>(*text);
    }
    return result;
}

std::string ClassIdText() {
    const auto& id = tandemere::shell::kExtensionClassId;
    char text[40] = {};
    std::snprintf(text, sizeof(text), "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  static_cast<unsigned>(id.m_nData1), id.m_nData2, id.m_nData3, id.m_nData4[0],
                  id.m_nData4[1], id.m_nData4[2], id.m_nData4[3], id.m_nData4[4], id.m_nData4[5],
                  id.m_nData4[6], id.m_nData4[7]);
    return text;
}

// %CLSID% and %MODULE% replaced; a text that is not ASCII stops the build.
bool Expand(const wchar_t* text, const Component& component, std::optional<std::string>& out) {
    out.reset();
    if (!text) return true;
    out = Narrow(text);
    if (!out) return false;
    for (const auto& [mark, value] :
         {std::pair<std::string, std::string>{"%CLSID%", ClassIdText()},
          std::pair<std::string, std::string>{"%MODULE%", "[#" + component.m_strFile + "]"}}) {
        for (std::size_t at = out->find(mark); at != std::string::npos;
             at = out->find(mark, at + value.size()))
            out->replace(at, mark.size(), value);
    }
    return true;
}

std::string Line(const std::string& id, const MsiRow& row, bool withValue, const Component& component) {
    std::string line = id + "\t2\t" + row.m_strKey + "\t" + row.m_strName.value_or("");
    if (withValue) line += "\t" + row.m_strValue.value_or("");
    return line + "\t" + component.m_strId;
}

// The rows of one table row for one component. Every key lies below HKEY_LOCAL_MACHINE, the
// classes in its Software\Classes, as the DLL's per-machine registration writes them.
bool AddRow(const RegistryRow& row, const Component& component, Tables& tables) {
    const bool settings = row.m_nKind == RowKind::Removed || row.m_nKind == RowKind::RemovedWhenEmpty;
    if (settings && !component.m_b32Bit) return true;
    MsiRow key;
    std::optional<std::string> path;
    if (!Expand(row.m_pszKey, component, path) || !path) return false;
    key.m_strKey = (row.m_nHive == Hive::Classes ? "Software\\Classes\\" : "") + *path;
    std::vector<MsiRow> values;
    MsiRow value = key;
    if (!Expand(row.m_pszDefault, component, value.m_strValue)) return false;
    if (value.m_strValue) values.push_back(value);
    if (!Expand(row.m_pszValueName, component, value.m_strName) ||
        !Expand(row.m_pszValue, component, value.m_strValue))
        return false;
    if (value.m_strName) values.push_back(value);

    const auto next = [&](const char* table, std::size_t count) {
        return component.m_strId + "." + table + std::to_string(count);
    };
    switch (row.m_nKind) {
        case RowKind::Approval:
        case RowKind::WithParent:
            break;
        case RowKind::RemovedWhenEmpty:
            // The installer removes a key it emptied; nothing to write.
            return true;
        case RowKind::Removed:
        case RowKind::Kept:
            // "*": created at installation, deleted whole at removal; "+": created, never deleted.
            key.m_strName = row.m_nKind == RowKind::Removed ? "*" : "+";
            values.insert(values.begin(), key);
            break;
        case RowKind::Replaced:
            key.m_strName = "-";
            tables.m_lstRemove.push_back(
                Line(next("remove", tables.m_lstRemove.size()), key, false, component));
            key.m_strName = "*";
            values.insert(values.begin(), key);
            break;
    }
    if (row.m_nKind == RowKind::Removed) {
        for (const tandemere::engine::SettingInfo& setting : tandemere::engine::kSettings)
            values.push_back(
                {key.m_strKey, setting.m_pszName, "[" + SettingProperty(setting.m_pszName) + "]"});
    }
    for (const MsiRow& each : values)
        tables.m_lstRegistry.push_back(Line(next("reg", tables.m_lstRegistry.size()), each, true, component));
    return true;
}

// Each setting's property: its default as a registry integer, or what a search of the settings key
// (the 32-bit view, the search's own in either package) finds stored there.
bool WriteSettingsInclude(const std::string& path, const std::string& settingsKey) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    bool written = std::fputs(
                       "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                       "<Include xmlns=\"http://schemas.microsoft.com/wix/2006/wi\">\n",
                       file) >= 0;
    for (const tandemere::engine::SettingInfo& setting : tandemere::engine::kSettings) {
        const std::string property = SettingProperty(setting.m_pszName);
        written =
            written && std::fprintf(file,
                                    "  <Property Id=\"%s\" Value=\"#%d\">\n"
                                    "    <RegistrySearch Id=\"Find%s\" Root=\"HKLM\" Key=\"%s\" Name=\"%s\" "
                                    "Type=\"raw\"/>\n  </Property>\n",
                                    property.c_str(), static_cast<int>(setting.m_nDefault), setting.m_pszName,
                                    settingsKey.c_str(), setting.m_pszName) > 0;
    }
    written = written && std::fputs("</Include>\n", file) >= 0;
    return std::fclose(file) == 0 && written;
}

bool WriteTable(const std::string& path, const char* header, const std::vector<std::string>& lines) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    bool written = std::fputs(header, file) >= 0;
    for (const std::string& line : lines) written = written && std::fprintf(file, "%s\r\n", line.c_str()) > 0;
    return std::fclose(file) == 0 && written;
}

std::optional<Component> ParseComponent(const std::string& text) {
    const std::size_t first = text.find(':');
    const std::size_t second = text.find(':', first == std::string::npos ? first : first + 1);
    if (second == std::string::npos) return std::nullopt;
    const std::string bits = text.substr(second + 1);
    if (bits != "32" && bits != "64") return std::nullopt;
    return Component{text.substr(0, first), text.substr(first + 1, second - first - 1), bits == "32"};
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: msi_registry OUT_DIR COMPONENT:FILE:32|64...\n");
        return 2;
    }
    Tables tables;
    std::size_t count = 0;
    const RegistryRow* rows = tandemere::shell::RegistryTable(count);
    for (int arg = 2; arg < argc; ++arg) {
        const std::optional<Component> component = ParseComponent(argv[arg]);
        if (!component) {
            std::fprintf(stderr, "msi_registry: \"%s\" is not COMPONENT:FILE:32|64\n", argv[arg]);
            return 2;
        }
        for (std::size_t at = 0; at < count; ++at) {
            if (!AddRow(rows[at], *component, tables)) {
                std::fprintf(
                    stderr,
                    "msi_registry: row %zu of the registration table holds a text that is not ASCII\n", at);
                return 1;
            }
        }
    }
    const std::string dir = argv[1];
    std::string settingsKey;
    for (std::size_t at = 0; at < count; ++at)
        if (rows[at].m_nKind == RowKind::Removed) settingsKey = Narrow(rows[at].m_pszKey).value_or("");
    if (!WriteSettingsInclude(dir + "/settings.wxi", settingsKey) ||
        !WriteTable(dir + "/Registry.idt",
                    "Registry\tRoot\tKey\tName\tValue\tComponent_\r\ns72\ti2\tl255\tL255\tL0\ts72\r\n"
                    "Registry\tRegistry\r\n",
                    tables.m_lstRegistry) ||
        !WriteTable(dir + "/RemoveRegistry.idt",
                    "RemoveRegistry\tRoot\tKey\tName\tComponent_\r\ns72\ti2\tl255\tL255\ts72\r\n"
                    "RemoveRegistry\tRemoveRegistry\r\n",
                    tables.m_lstRemove)) {
        std::fprintf(stderr, "msi_registry: cannot write the tables into %s\n", dir.c_str());
        return 1;
    }
    return 0;
}
