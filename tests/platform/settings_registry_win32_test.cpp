// Platform tests (Windows): the registry settings store on real keys, its typing and its 32-bit view.
#include "platform/win32/settings_registry_win32.h"

#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <string>
#include <vector>

namespace tandemere::testing {
namespace {

using engine::ValueKind;
using win32::RegistrySettingsStore;

// A key of the test's own under HKEY_CURRENT_USER, removed with everything below it afterwards.
class RegistryStoreTest : public ::testing::Test {
protected:
    static std::wstring UniqueSubkey() {
        static std::atomic<unsigned> counter{0};
        return L"Software\\Tandemere-tests\\registry-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
               std::to_wstring(counter.fetch_add(1));
    }
    ~RegistryStoreTest() override {
        ::RegDeleteTreeW(HKEY_CURRENT_USER, m_strSubkey.c_str());
        ::RegDeleteKeyW(HKEY_CURRENT_USER, m_strSubkey.c_str());
        ::RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Tandemere-tests");
    }

    bool KeyExists() const {
        HKEY key = nullptr;
        if (::RegOpenKeyExW(HKEY_CURRENT_USER, m_strSubkey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
            return false;
        ::RegCloseKey(key);
        return true;
    }

    // Stores a raw value of any type and size, as another program might have left it.
    void SetRaw(const wchar_t* name, DWORD type, const void* data, DWORD size) {
        HKEY key = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExW(HKEY_CURRENT_USER, m_strSubkey.c_str(), 0, nullptr, 0,
                                                   KEY_SET_VALUE, nullptr, &key, nullptr));
        EXPECT_EQ(ERROR_SUCCESS, ::RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size));
        ::RegCloseKey(key);
    }

    const std::wstring m_strSubkey = UniqueSubkey();
    RegistrySettingsStore m_store{HKEY_CURRENT_USER, m_strSubkey};
};

TEST_F(RegistryStoreTest, MissingKeyOpensForReadAsNullAndCreatesNothing) {
    EXPECT_EQ(nullptr, m_store.OpenForRead());
    EXPECT_FALSE(KeyExists());
    EXPECT_EQ("Error writing to registry", m_store.WriteErrorText());
}

TEST_F(RegistryStoreTest, OnlyAFourByteDwordReadsAsANumber) {
    const DWORD number = 0x1e;
    const DWORD all = 0xFFFFFFFFu;
    const wchar_t text[] = L"1";
    const unsigned char four[4] = {1, 0, 0, 0};
    const unsigned long long wide = 1;
    const WORD half = 1;
    SetRaw(L"Number", REG_DWORD, &number, sizeof number);
    SetRaw(L"Ask", REG_DWORD, &all, sizeof all);
    SetRaw(L"Text", REG_SZ, text, sizeof text);
    SetRaw(L"Binary", REG_BINARY, four, sizeof four);
    SetRaw(L"BigEndian", REG_DWORD_BIG_ENDIAN, &number, sizeof number);
    SetRaw(L"Qword", REG_QWORD, &wide, sizeof wide);
    SetRaw(L"Short", REG_DWORD, &half, sizeof half);

    struct Case {
        const char* m_szName;
        ValueKind m_nKind;
        std::uint32_t m_nValue;  // what `value` holds afterwards
    };
    const Case cases[] = {
        {"Number", ValueKind::Dword, 0x1e},
        {"number", ValueKind::Dword, 0x1e},  // value names ignore letter case
        {"Ask", ValueKind::Dword, 0xFFFFFFFFu},
        {"Text", ValueKind::OtherType, 77},
        {"Binary", ValueKind::OtherType, 77},
        {"BigEndian", ValueKind::OtherType, 77},
        {"Qword", ValueKind::OtherType, 77},
        {"Short", ValueKind::OtherType, 77},
        {"Absent", ValueKind::Missing, 77},
    };
    std::unique_ptr<engine::ISettingsKey> key = m_store.OpenForRead();
    ASSERT_NE(nullptr, key);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.m_szName);
        std::uint32_t value = 77;
        EXPECT_EQ(c.m_nKind, key->QueryDword(c.m_szName, value));
        EXPECT_EQ(c.m_nValue, value);
    }
}

TEST_F(RegistryStoreTest, WritingCreatesTheKeyAndReadsBackWithWideNames) {
    {
        std::unique_ptr<engine::ISettingsKey> key = m_store.OpenForWrite();
        ASSERT_NE(nullptr, key);
        EXPECT_TRUE(KeyExists());
        EXPECT_TRUE(key->SetDword("DiffFileSameNameDlgDefault", 231));
        EXPECT_TRUE(key->SetDword("DiffFileSameNameDlgDefault", 0xFFFFFFFFu));  // replaces
        EXPECT_TRUE(
            key->SetDword("Gr\xC3\xB6\xC3\x9F"
                          "e \xE5\x86\x99",
                          5));
    }
    std::unique_ptr<engine::ISettingsKey> reader = m_store.OpenForRead();
    ASSERT_NE(nullptr, reader);
    std::uint32_t value = 0;
    EXPECT_EQ(ValueKind::Dword, reader->QueryDword("DiffFileSameNameDlgDefault", value));
    EXPECT_EQ(0xFFFFFFFFu, value);

    // The UTF-8 name reached the registry as the wide name, not as code-page bytes.
    HKEY raw = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, ::RegOpenKeyExW(HKEY_CURRENT_USER, m_strSubkey.c_str(), 0, KEY_READ, &raw));
    DWORD type = 0;
    DWORD data = 0;
    DWORD size = sizeof data;
    EXPECT_EQ(ERROR_SUCCESS, ::RegQueryValueExW(raw, L"Gr\u00F6\u00DFe \u5199", nullptr, &type,
                                                reinterpret_cast<BYTE*>(&data), &size));
    ::RegCloseKey(raw);
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), type);
    EXPECT_EQ(5u, data);

    // A second store over the same key sees the values: nothing is cached in the store.
    RegistrySettingsStore again(HKEY_CURRENT_USER, m_strSubkey);
    value = 0;
    EXPECT_EQ(ValueKind::Dword, again.OpenForRead()->QueryDword("Gr\xC3\xB6\xC3\x9F"
                                                                "e \xE5\x86\x99",
                                                                value));
    EXPECT_EQ(5u, value);
}

TEST_F(RegistryStoreTest, TheReadKeyHasNoWriteAccess) {
    ASSERT_NE(nullptr, m_store.OpenForWrite());
    std::unique_ptr<engine::ISettingsKey> reader = m_store.OpenForRead();
    ASSERT_NE(nullptr, reader);
    EXPECT_FALSE(reader->SetDword("Logging", 0));
    std::uint32_t value = 0;
    EXPECT_EQ(ValueKind::Missing, reader->QueryDword("Logging", value));
}

// The real settings key of HKEY_LOCAL_MACHINE: what the store writes lands in the 32-bit view, where
// the 32-bit DLL and the settings program look, whichever build writes it.
class DefaultKeyTest : public ::testing::Test {
protected:
    static constexpr const wchar_t* kValue = L"TandemereTestsViewProbe";

    ~DefaultKeyTest() override {
        HKEY key = nullptr;
        if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, win32::kSettingsSubkey, 0, KEY_SET_VALUE | KEY_WOW64_32KEY,
                            &key) == ERROR_SUCCESS) {
            ::RegDeleteValueW(key, kValue);
            ::RegCloseKey(key);
        }
        // A key this test created goes again; one that was there before stays.
        if (!m_bExisted) ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, win32::kSettingsSubkey, KEY_WOW64_32KEY, 0);
    }

    static std::optional<DWORD> Read(REGSAM view) {
        HKEY key = nullptr;
        if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, win32::kSettingsSubkey, 0, KEY_READ | view, &key) !=
            ERROR_SUCCESS)
            return std::nullopt;
        DWORD data = 0;
        DWORD size = sizeof data;
        const LSTATUS status =
            ::RegQueryValueExW(key, kValue, nullptr, nullptr, reinterpret_cast<BYTE*>(&data), &size);
        ::RegCloseKey(key);
        if (status != ERROR_SUCCESS) return std::nullopt;
        return data;
    }

    bool m_bExisted = [] {
        HKEY key = nullptr;
        if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, win32::kSettingsSubkey, 0, KEY_READ | KEY_WOW64_32KEY,
                            &key) != ERROR_SUCCESS)
            return false;
        ::RegCloseKey(key);
        return true;
    }();
};

TEST_F(DefaultKeyTest, WritesTheThirtyTwoBitViewOfTheMachineKey) {
    RegistrySettingsStore store;
    EXPECT_EQ(HKEY_LOCAL_MACHINE, store.Root());
    EXPECT_EQ(std::wstring(L"Software\\Ravelstock\\Tandemere"), store.Subkey());
    ASSERT_FALSE(Read(KEY_WOW64_32KEY).has_value()) << "a probe value was left behind by an earlier run";
    {
        std::unique_ptr<engine::ISettingsKey> key = store.OpenForWrite();
        ASSERT_NE(nullptr, key);
        ASSERT_TRUE(key->SetDword("TandemereTestsViewProbe", 0x5a5a));
    }
    EXPECT_EQ(std::optional<DWORD>(0x5a5a), Read(KEY_WOW64_32KEY));
    if (sizeof(void*) == 8) {
        EXPECT_FALSE(Read(KEY_WOW64_64KEY).has_value()) << "the 64-bit build wrote the 64-bit view";
    }
    std::uint32_t value = 0;
    EXPECT_EQ(ValueKind::Dword, store.OpenForRead()->QueryDword("TandemereTestsViewProbe", value));
    EXPECT_EQ(0x5a5au, value);
}

}  // namespace
}  // namespace tandemere::testing
