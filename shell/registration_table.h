// Shell layer: the registration table itself, free of Windows headers, so that the build's
// installer generator compiles it on the build machine and writes the same rows into the MSI.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tandemere::shell {

// The extension's class identifier, in the fields of a GUID.
struct ClassId {
    std::uint32_t m_nData1;
    std::uint16_t m_nData2;
    std::uint16_t m_nData3;
    std::uint8_t m_nData4[8];
};
inline constexpr ClassId kExtensionClassId = {
    0xCAE668DE, 0x3232, 0x4011, {0xB9, 0x16, 0x72, 0x93, 0xAA, 0x34, 0xBF, 0x43}};

// How a row's key or value is treated.
enum class RowKind : std::uint8_t {
    // A value named by the class identifier in the shell's list of approved extensions: it must be
    // writable to register (else E_ACCESSDENIED and nothing else is written); deleted at
    // unregistration, a failure ignored.
    Approval,
    // A key that registration leaves alone and unregistration deletes when it has no subkeys, but
    // only after the row below it was deleted (the maker's key, after its settings key).
    RemovedWhenEmpty,
    // A key that registration leaves alone and unregistration deletes with its values (the
    // settings); a failure ignored.
    Removed,
    // Created when missing, never removed.
    Kept,
    // Deleted whole and written afresh at registration; deleted whole at unregistration.
    Replaced,
    // Written at registration; removed together with the Replaced row above it.
    WithParent,
};

// Where a row's key lies.
enum class Hive : std::uint8_t { Software, Classes };

// One row. Texts may hold %CLSID% (the class identifier in registry form) and %MODULE% (the DLL's
// full path). A value name of null means the key's default value.
struct RegistryRow {
    RowKind m_nKind;
    Hive m_nHive;
    const wchar_t* m_pszKey;
    const wchar_t* m_pszDefault;    // default value, or null for none
    const wchar_t* m_pszValueName;  // one named value, or null for none
    const wchar_t* m_pszValue;
    // Shared by the 32-bit and the 64-bit build (not split between the registry views): left in
    // place at unregistration while the other build's class key exists in the other view.
    bool m_bShared;
};

// The Removed and RemovedWhenEmpty rows (the maker's key and the settings) lie in the 32-bit
// registry view for both builds, where the settings store reads them.

// Every row, parents before children.
const RegistryRow* RegistryTable(std::size_t& count);

}  // namespace tandemere::shell
