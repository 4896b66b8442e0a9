// Shell tests: registration with Wine's regsvr32 (per machine and per user) read back key by key,
// and the table's walks with registry calls that fail.
#include "shell/registration.h"

#include <gtest/gtest.h>

#include <memory>

#include "shell/module.h"
#include "tests/shell/shell_support.h"

namespace tandemere::shelltest {
namespace {

const std::wstring kClass = std::wstring(L"CLSID\\") + kClsid;
constexpr const wchar_t* kHandler = L"\\shellex\\DragDropHandlers\\TandemereShlExt";
constexpr const wchar_t* kSettings = L"Software\\Ravelstock\\Tandemere";
constexpr const wchar_t* kMaker = L"Software\\Ravelstock";

const std::wstring kClasses = L"Software\\Classes\\";

// Every key and value a registration writes below `hive`, with the prefixes of its rows' paths.
void ExpectRegistered(HKEY hive, const std::wstring& classes = kClasses, const std::wstring& software = L"") {
    EXPECT_EQ(StringValue(hive, software + kApprovedKey, kClsid), L"Tandemere Shell Extension");
    EXPECT_EQ(StringValue(hive, classes + kClass, nullptr), L"TandemereShlExt Class");
    EXPECT_EQ(StringValue(hive, classes + kClass + L"\\InprocServer32", nullptr), InstalledDll());
    EXPECT_EQ(StringValue(hive, classes + kClass + L"\\InprocServer32", L"ThreadingModel"), L"Apartment");
    for (const wchar_t* parent : kHandlerParents) {
        SCOPED_TRACE(::testing::Message()
                     << "handler under " << ::testing::PrintToString(std::wstring(parent)));
        EXPECT_EQ(StringValue(hive, classes + parent + kHandler, nullptr), kClsid);
    }
}

// What stays after unregistration: the kept keys; what goes: the class and the handler keys.
void ExpectUnregistered(HKEY hive, const std::wstring& classes = kClasses) {
    EXPECT_FALSE(KeyExists(hive, classes + kClass));
    EXPECT_TRUE(KeyExists(hive, classes + L"CLSID"));
    for (const wchar_t* parent : kHandlerParents) {
        SCOPED_TRACE(::testing::Message()
                     << "handler under " << ::testing::PrintToString(std::wstring(parent)));
        EXPECT_FALSE(KeyExists(hive, classes + parent + kHandler));
        EXPECT_TRUE(KeyExists(hive, classes + parent + L"\\shellex\\DragDropHandlers"));
    }
}

class RegistrationTest : public ::testing::Test {
protected:
    void SetUp() override { Forget(); }
    void TearDown() override { Forget(); }

    // No trace of an earlier case: neither build registered in either hive, no settings.
    static void Forget() {
        for (HKEY hive : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
            for (REGSAM view : {REGSAM{0}, OtherView()}) DeleteTree(hive, kClasses + kClass, view);
            for (const wchar_t* parent : kHandlerParents) DeleteTree(hive, kClasses + parent + kHandler);
            HKEY approved = nullptr;
            if (::RegOpenKeyExW(hive, kApprovedKey, 0, KEY_SET_VALUE, &approved) == ERROR_SUCCESS) {
                ::RegDeleteValueW(approved, kClsid);
                ::RegCloseKey(approved);
            }
        }
        DeleteTree(HKEY_LOCAL_MACHINE, kMaker, KEY_WOW64_32KEY);
    }
};

// The other build's class key, as its own registration leaves it in the other view of `hive`.
void RegisterOtherBuild(HKEY hive) {
    const std::wstring other = L"C:\\Program Files (x86)\\Tandemere\\other-build.dll";
    ASSERT_TRUE(CreateKey(hive, kClasses + kClass + L"\\InprocServer32", OtherView()));
    HKEY server = nullptr;
    ASSERT_EQ(::RegOpenKeyExW(hive, (kClasses + kClass + L"\\InprocServer32").c_str(), 0,
                              KEY_SET_VALUE | OtherView(), &server),
              ERROR_SUCCESS);
    ASSERT_EQ(::RegSetValueExW(server, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(other.c_str()),
                               static_cast<DWORD>((other.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
    ::RegCloseKey(server);
}

TEST_F(RegistrationTest, PerMachineWritesEveryRowAndTheFileManagerFindsTheClassThroughIt) {
    ASSERT_EQ(Regsvr32(L""), 0u);
    ExpectRegistered(HKEY_LOCAL_MACHINE);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kClasses + kClass));

    // The file manager's road: the handler key names the class, the class key names the DLL.
    const std::optional<std::wstring> handler =
        StringValue(HKEY_CLASSES_ROOT, std::wstring(L"Directory") + kHandler, nullptr);
    ASSERT_TRUE(handler);
    CLSID clsid = {};
    ASSERT_EQ(::CLSIDFromString(handler->c_str(), &clsid), S_OK);
    ASSERT_EQ(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
    IShellExtInit* init = nullptr;
    EXPECT_EQ(::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IShellExtInit,
                                 reinterpret_cast<void**>(&init)),
              S_OK);
    EXPECT_NE(::GetModuleHandleW(InstalledDll().c_str()), nullptr);
    if (init) init->Release();
    ::CoUninitialize();
}

TEST_F(RegistrationTest, RegisteringAgainReplacesTheClassAndHandlerKeysWhole) {
    ASSERT_EQ(Regsvr32(L""), 0u);
    // What an older version, or a hand, left in the keys that registration owns.
    for (const std::wstring& key : {kClass + L"\\Stale", std::wstring(L"Folder") + kHandler + L"\\Stale"})
        ASSERT_TRUE(CreateKey(HKEY_LOCAL_MACHINE, kClasses + key));
    ASSERT_EQ(::RegSetKeyValueW(HKEY_LOCAL_MACHINE, (kClasses + kClass + L"\\InprocServer32").c_str(),
                                nullptr, REG_SZ, L"old.dll", 8 * sizeof(wchar_t)),
              ERROR_SUCCESS);
    ASSERT_EQ(
        ::RegSetKeyValueW(HKEY_LOCAL_MACHINE, kApprovedKey, kClsid, REG_SZ, L"old", 4 * sizeof(wchar_t)),
        ERROR_SUCCESS);

    ASSERT_EQ(Regsvr32(L""), 0u);
    ExpectRegistered(HKEY_LOCAL_MACHINE);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kClasses + kClass + L"\\Stale"));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kClasses + L"Folder" + kHandler + L"\\Stale"));
}

TEST_F(RegistrationTest, UnregisterRemovesItsRowsAndTheSettingsAndKeepsTheParents) {
    for (bool makerHasOtherProduct : {false, true}) {
        SCOPED_TRACE(makerHasOtherProduct ? "the maker's key holds another product"
                                          : "the maker's key holds ours only");
        ASSERT_EQ(Regsvr32(L""), 0u);
        ASSERT_TRUE(CreateKey(HKEY_LOCAL_MACHINE, kSettings, KEY_WOW64_32KEY));
        if (makerHasOtherProduct) {
            ASSERT_TRUE(CreateKey(HKEY_LOCAL_MACHINE, L"Software\\Ravelstock\\Other", KEY_WOW64_32KEY));
        }

        ASSERT_EQ(Regsvr32(L"/u"), 0u);
        ExpectUnregistered(HKEY_LOCAL_MACHINE);
        EXPECT_FALSE(StringValue(HKEY_LOCAL_MACHINE, kApprovedKey, kClsid));
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kSettings, KEY_WOW64_32KEY));
        EXPECT_EQ(KeyExists(HKEY_LOCAL_MACHINE, kMaker, KEY_WOW64_32KEY), makerHasOtherProduct);
    }
}

TEST_F(RegistrationTest, SharedHandlerKeysAndSettingsStayWhileTheOtherBuildIsRegistered) {
    ASSERT_EQ(Regsvr32(L""), 0u);
    RegisterOtherBuild(HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(CreateKey(HKEY_LOCAL_MACHINE, kSettings, KEY_WOW64_32KEY));

    ASSERT_EQ(Regsvr32(L"/u"), 0u);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kClasses + kClass));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kClasses + kClass, OtherView()));
    for (const wchar_t* parent : kHandlerParents) {
        EXPECT_EQ(StringValue(HKEY_LOCAL_MACHINE, kClasses + parent + kHandler, nullptr), kClsid);
    }
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kSettings, KEY_WOW64_32KEY));

    // The other build gone too: its last unregistration takes the shared keys.
    DeleteTree(HKEY_LOCAL_MACHINE, kClasses + kClass, OtherView());
    ASSERT_EQ(Regsvr32(L"/u"), 0u);
    ExpectUnregistered(HKEY_LOCAL_MACHINE);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kSettings, KEY_WOW64_32KEY));
}

TEST_F(RegistrationTest, PerUserWritesTheUsersClassesAndApprovalOnlyAndRemovesThem) {
    ASSERT_TRUE(CreateKey(HKEY_LOCAL_MACHINE, kSettings, KEY_WOW64_32KEY));
    // A module whose path cannot be read registers nothing, rather than a class no one can load.
    const auto notAModule = std::make_unique<char[]>(64);  // on the heap, in no module's image
    shell::SetModuleHandle(reinterpret_cast<HMODULE>(notAModule.get()));
    EXPECT_TRUE(FAILED(shell::RegisterServer(shell::Scope::User)));
    shell::SetModuleHandle(nullptr);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kClasses + kClass));

    for (bool listExisted : {false, true}) {
        SCOPED_TRACE(listExisted ? "the user's approval list existed" : "registration created the list");
        DeleteTree(HKEY_CURRENT_USER, kApprovedKey);
        if (listExisted) {
            ASSERT_TRUE(CreateKey(HKEY_CURRENT_USER, kApprovedKey));
        }
        ASSERT_EQ(Regsvr32(L"/n /i:user"), 0u);
        ExpectRegistered(HKEY_CURRENT_USER);
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kClasses + kClass));
        EXPECT_FALSE(StringValue(HKEY_LOCAL_MACHINE, kApprovedKey, kClsid));

        // The user's Software key is one for both builds: the other build still needs the approval.
        RegisterOtherBuild(HKEY_CURRENT_USER);
        ASSERT_EQ(Regsvr32(L"/u /n /i:user"), 0u);
        EXPECT_EQ(StringValue(HKEY_CURRENT_USER, kApprovedKey, kClsid), L"Tandemere Shell Extension");
        DeleteTree(HKEY_CURRENT_USER, kClasses + kClass, OtherView());
        ASSERT_EQ(Regsvr32(L"/u /n /i:user"), 0u);
        ExpectUnregistered(HKEY_CURRENT_USER);
        EXPECT_FALSE(StringValue(HKEY_CURRENT_USER, kApprovedKey, kClsid));
        EXPECT_EQ(KeyExists(HKEY_CURRENT_USER, kApprovedKey), listExisted);
    }
    // The settings belong to the machine, not to one user's registration.
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kSettings, KEY_WOW64_32KEY));
}

// The real registry, with one kind of call failing with ERROR_ACCESS_DENIED for keys whose path
// holds a text.
class CFaultyRegistry final : public shell::IRegistry {
public:
    enum class Call { None, OpenKey, CreateKey, SetString, DeleteValue, DeleteTree, DeleteKey };
    CFaultyRegistry(Call call, std::wstring pathPart) : m_nCall(call), m_strPathPart(std::move(pathPart)) {}

    LSTATUS OpenKey(HKEY root, const std::wstring& path, REGSAM access, win32::UniqueRegKey& key) override {
        return Fails(Call::OpenKey, path) ? ERROR_ACCESS_DENIED : m_real.OpenKey(root, path, access, key);
    }
    LSTATUS CreateKey(HKEY root, const std::wstring& path, REGSAM access, win32::UniqueRegKey& key) override {
        return Fails(Call::CreateKey, path) ? ERROR_ACCESS_DENIED : m_real.CreateKey(root, path, access, key);
    }
    // Values are matched by their name or data.
    LSTATUS SetString(HKEY key, const wchar_t* name, const std::wstring& data) override {
        const bool fails = Fails(Call::SetString, (name ? name : L"") + data);
        return fails ? ERROR_ACCESS_DENIED : m_real.SetString(key, name, data);
    }
    LSTATUS DeleteValue(HKEY key, const std::wstring& name) override {
        return Fails(Call::DeleteValue, name) ? ERROR_ACCESS_DENIED : m_real.DeleteValue(key, name);
    }
    LSTATUS DeleteTree(HKEY root, const std::wstring& path) override {
        return Fails(Call::DeleteTree, path) ? ERROR_ACCESS_DENIED : m_real.DeleteTree(root, path);
    }
    LSTATUS DeleteKey(HKEY root, const std::wstring& path, REGSAM view) override {
        return Fails(Call::DeleteKey, path) ? ERROR_ACCESS_DENIED : m_real.DeleteKey(root, path, view);
    }

private:
    bool Fails(Call call, const std::wstring& what) const {
        return call == m_nCall && what.find(m_strPathPart) != std::wstring::npos;
    }
    shell::IRegistry& m_real = shell::SystemRegistry();
    Call m_nCall;
    std::wstring m_strPathPart;
};

// Scratch roots below HKEY_CURRENT_USER, with an approval list and settings.
class RegistryWalkTest : public ::testing::Test {
protected:
    static constexpr const wchar_t* kScratch = L"Software\\TandemereShellTest";
    const std::wstring m_strSoftware = std::wstring(kScratch) + L"\\software\\";
    const std::wstring m_strClasses = std::wstring(kScratch) + L"\\classes\\";

    void SetUp() override {
        DeleteTree(HKEY_CURRENT_USER, kScratch);
        ASSERT_TRUE(CreateKey(HKEY_CURRENT_USER, m_strSoftware + kApprovedKey));
        ASSERT_TRUE(CreateKey(HKEY_CURRENT_USER, m_strSoftware + kSettings, KEY_WOW64_32KEY));
        ASSERT_TRUE(CreateKey(HKEY_CURRENT_USER, m_strClasses));
    }
    void TearDown() override { DeleteTree(HKEY_CURRENT_USER, kScratch); }

    HRESULT Register(shell::IRegistry& registry) {
        return shell::RegisterRows(registry, m_roots, kClsid, InstalledDll());
    }
    static bool Exists(const std::wstring& path) { return KeyExists(HKEY_CURRENT_USER, path); }

    shell::RegistryRoots m_roots{HKEY_CURRENT_USER, m_strSoftware, m_strClasses, true};
};

TEST_F(RegistryWalkTest, RegistrationThatMayNotWriteTheApprovalIsDeniedAndWritesNothing) {
    using Call = CFaultyRegistry::Call;
    for (const auto& [call, part] :
         {std::pair{Call::OpenKey, L"Approved"}, std::pair{Call::SetString, kClsid}}) {
        SCOPED_TRACE(call == Call::OpenKey ? "the list cannot be opened" : "the value cannot be set");
        CFaultyRegistry registry(call, part);
        EXPECT_EQ(Register(registry), E_ACCESSDENIED);
        EXPECT_FALSE(Exists(m_strClasses + L"CLSID"));
        EXPECT_FALSE(Exists(m_strClasses + L"Directory"));
    }
}

TEST_F(RegistryWalkTest, AFailedWriteStopsRegistrationWithItsError) {
    CFaultyRegistry registry(CFaultyRegistry::Call::CreateKey, L"Folder\\shellex\\DragDropHandlers\\");
    EXPECT_EQ(Register(registry), HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(Exists(m_strClasses + L"Directory" + kHandler));
    EXPECT_FALSE(Exists(m_strClasses + L"Drive" + kHandler));
}

TEST_F(RegistryWalkTest, UnregistrationIgnoresTheApprovalAndSettingsAndReportsAClassKeyItCannotDelete) {
    ASSERT_EQ(Register(shell::SystemRegistry()), S_OK);
    ExpectRegistered(HKEY_CURRENT_USER, m_strClasses, m_strSoftware);
    for (const auto& [call, part] : {std::pair{CFaultyRegistry::Call::DeleteValue, kClsid},
                                     std::pair{CFaultyRegistry::Call::DeleteKey, L"Ravelstock"}}) {
        CFaultyRegistry registry(call, part);
        EXPECT_EQ(shell::UnregisterRows(registry, m_roots, kClsid, InstalledDll()), S_OK);
        ExpectUnregistered(HKEY_CURRENT_USER, m_strClasses);
        ASSERT_EQ(Register(shell::SystemRegistry()), S_OK);
    }

    CFaultyRegistry registry(CFaultyRegistry::Call::DeleteTree, L"CLSID\\");
    EXPECT_EQ(shell::UnregisterRows(registry, m_roots, kClsid, InstalledDll()),
              HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(Exists(m_strClasses + kClass));
    // The walk went on: the handlers (after the class key in the table) went first anyway, and the
    // settings and approval (before it) after it.
    EXPECT_FALSE(Exists(m_strClasses + L"Drive" + kHandler));
    EXPECT_FALSE(Exists(m_strSoftware + kSettings));
    EXPECT_FALSE(StringValue(HKEY_CURRENT_USER, m_strSoftware + kApprovedKey, kClsid));
}

}  // namespace
}  // namespace tandemere::shelltest
