// Shell tests: the DLL's COM contract through its exports by ordinal: the class factory, the
// interfaces, unloading, Initialize's refusals and the menu item's place.
#include <gtest/gtest.h>
#include <shlobj.h>

#include <cctype>
#include <cstdlib>

#include "engine/path.h"

#include "res/resource.h"
#include "shell/tandemere_shl_ext.h"
#include "tests/shell/shell_support.h"
#include "tests/support/temp_folder.h"
#include "tests/ui/window_driver.h"

namespace tandemere::shelltest {
namespace {

using testing::TempFolder;
using testing::WriteFile;

// An outer object for aggregation that counts the references its inner object delegates to it.
class COuter final : public IUnknown {
public:
    STDMETHODIMP QueryInterface(REFIID, void** ppv) override {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_nRefs; }
    STDMETHODIMP_(ULONG) Release() override { return --m_nRefs; }
    ULONG m_nRefs = 1;
};

class ComServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
        ASSERT_EQ(m_dll.GetClassObject(shell::CLSID_TandemereShlExt, IID_IClassFactory,
                                       reinterpret_cast<void**>(&m_pFactory)),
                  S_OK);
    }
    void TearDown() override {
        if (m_pFactory) m_pFactory->Release();
        ::CoUninitialize();
    }

    template <class T>
    T* Create(REFIID riid) {
        T* object = nullptr;
        EXPECT_EQ(m_pFactory->CreateInstance(nullptr, riid, reinterpret_cast<void**>(&object)), S_OK);
        return object;
    }

    CLoadedDll m_dll;
    IClassFactory* m_pFactory = nullptr;
};

TEST_F(ComServerTest, TheExportsServeOneCachedFactoryForOurClassOnly) {
    // Plain names beside the ordinals: COM looks the exports up by name.
    for (const char* name : {"DllCanUnloadNow", "DllGetClassObject", "DllRegisterServer",
                             "DllUnregisterServer", "DllInstall", "OpenSettingsW"})
        EXPECT_NE(::GetProcAddress(m_dll.Module(), name), nullptr) << name;

    EXPECT_EQ(m_dll.GetClassObject(shell::CLSID_TandemereShlExt, IID_IClassFactory, nullptr), E_POINTER);
    void* other = reinterpret_cast<void*>(1);
    EXPECT_EQ(m_dll.GetClassObject(CLSID_ShellLink, IID_IClassFactory, &other), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(other, nullptr);

    IUnknown* again = nullptr;
    ASSERT_EQ(
        m_dll.GetClassObject(shell::CLSID_TandemereShlExt, IID_IUnknown, reinterpret_cast<void**>(&again)),
        S_OK);
    EXPECT_EQ(again, static_cast<IUnknown*>(m_pFactory));
    again->Release();
}

// What rundll32 runs from the Start menu: the window writes the key both DLLs read, in the 32-bit
// view whatever the DLL's own architecture.
TEST_F(ComServerTest, OpenSettingsWritesTheKeyBothBuildsReadInThe32BitView) {
    const std::wstring key = L"Software\\Ravelstock\\Tandemere";
    DeleteTree(HKEY_LOCAL_MACHINE, key, KEY_WOW64_32KEY);
    DeleteTree(HKEY_LOCAL_MACHINE, key, KEY_WOW64_64KEY);
    using OpenSettings = void(CALLBACK*)(HWND, HINSTANCE, LPWSTR, int);
    const auto open = reinterpret_cast<OpenSettings>(
        reinterpret_cast<void*>(::GetProcAddress(m_dll.Module(), "OpenSettingsW")));
    ASSERT_NE(open, nullptr);
    wchar_t empty[1] = {};
    uitest::RunModal(
        [&] {
            open(nullptr, nullptr, empty, SW_SHOWNORMAL);
            return INT_PTR{0};
        },
        [&](uitest::CDialogSpy&, HWND hwnd) {
            EXPECT_EQ(uitest::WindowText(hwnd), L"Tandemere settings");
            uitest::Click(hwnd, IDC_SETTING_FIRST);  // Logging, on by default
            uitest::Click(hwnd, IDOK);
        });
    const auto logging = [&](REGSAM view) {
        DWORD value = 99;
        DWORD size = sizeof(value);
        HKEY opened = nullptr;
        if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ | view, &opened) == ERROR_SUCCESS) {
            ::RegQueryValueExW(opened, L"Logging", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size);
            ::RegCloseKey(opened);
        }
        return value;
    };
    EXPECT_EQ(logging(KEY_WOW64_32KEY), 0u);
    // The 64-bit view, where no DLL reads, stays as it was.
    if (sizeof(void*) == 8) {
        EXPECT_EQ(logging(KEY_WOW64_64KEY), 99u);
    }
    DeleteTree(HKEY_LOCAL_MACHINE, key, KEY_WOW64_32KEY);
    ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Ravelstock", KEY_WOW64_32KEY, 0);
}

TEST_F(ComServerTest, CreateInstanceRefusesWhatItCannotHandOut) {
    EXPECT_EQ(m_pFactory->CreateInstance(nullptr, IID_IContextMenu, nullptr), E_POINTER);

    COuter outer;
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(m_pFactory->CreateInstance(&outer, IID_IContextMenu, &object), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(object, nullptr);

    object = reinterpret_cast<void*>(1);
    EXPECT_EQ(m_pFactory->CreateInstance(nullptr, IID_IDispatch, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
    // The object that could not hand the interface out is gone again.
    m_pFactory->Release();
    m_pFactory = nullptr;
    EXPECT_EQ(m_dll.CanUnloadNow(), S_OK);
}

TEST_F(ComServerTest, AnAggregatedObjectDelegatesItsInterfacesReferencesToTheOuterObject) {
    COuter outer;
    IUnknown* inner = nullptr;
    ASSERT_EQ(m_pFactory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&inner)), S_OK);
    IContextMenu* menu = nullptr;
    ASSERT_EQ(inner->QueryInterface(IID_IContextMenu, reinterpret_cast<void**>(&menu)), S_OK);
    EXPECT_EQ(outer.m_nRefs, 2u);
    // The interface's own QueryInterface is the outer object's, which knows no IContextMenu.
    void* viaOuter = reinterpret_cast<void*>(1);
    EXPECT_EQ(menu->QueryInterface(IID_IContextMenu, &viaOuter), E_NOINTERFACE);
    menu->Release();
    EXPECT_EQ(outer.m_nRefs, 1u);
    inner->Release();
    m_pFactory->Release();
    m_pFactory = nullptr;
    EXPECT_EQ(m_dll.CanUnloadNow(), S_OK);
}

TEST_F(ComServerTest, QueryInterfaceAnswersIUnknownIShellExtInitAndIContextMenuOnly) {
    IShellExtInit* init = Create<IShellExtInit>(IID_IShellExtInit);
    ASSERT_NE(init, nullptr);
    IUnknown* identity = nullptr;
    ASSERT_EQ(init->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
    IContextMenu* menu = nullptr;
    ASSERT_EQ(init->QueryInterface(IID_IContextMenu, reinterpret_cast<void**>(&menu)), S_OK);
    IUnknown* identityFromMenu = nullptr;
    ASSERT_EQ(menu->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identityFromMenu)), S_OK);
    EXPECT_EQ(identity, identityFromMenu);

    for (REFIID refused : {IID_IContextMenu2, IID_IContextMenu3, IID_IShellPropSheetExt, IID_IDispatch,
                           IID_IPersist, IID_IClassFactory, IID_IDataObject}) {
        void* answer = reinterpret_cast<void*>(1);
        EXPECT_EQ(init->QueryInterface(refused, &answer), E_NOINTERFACE);
        EXPECT_EQ(answer, nullptr);
    }
    identityFromMenu->Release();
    menu->Release();
    identity->Release();
    EXPECT_EQ(init->Release(), 0u);
}

TEST_F(ComServerTest, DllCanUnloadNowWaitsForObjectsHeldFactoriesAndLocks) {
    // The fixture's factory reference is a client's.
    EXPECT_EQ(m_dll.CanUnloadNow(), S_FALSE);
    IContextMenu* menu = Create<IContextMenu>(IID_IContextMenu);
    m_pFactory->Release();
    m_pFactory = nullptr;
    EXPECT_EQ(m_dll.CanUnloadNow(), S_FALSE) << "a live object";
    menu->Release();
    EXPECT_EQ(m_dll.CanUnloadNow(), S_OK);

    IClassFactory* factory = nullptr;
    ASSERT_EQ(m_dll.GetClassObject(shell::CLSID_TandemereShlExt, IID_IClassFactory,
                                   reinterpret_cast<void**>(&factory)),
              S_OK);
    EXPECT_EQ(m_dll.CanUnloadNow(), S_FALSE) << "a held factory";
    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    factory->Release();
    EXPECT_EQ(m_dll.CanUnloadNow(), S_FALSE) << "a lock";
    ASSERT_EQ(m_dll.GetClassObject(shell::CLSID_TandemereShlExt, IID_IClassFactory,
                                   reinterpret_cast<void**>(&factory)),
              S_OK);
    EXPECT_EQ(factory->LockServer(FALSE), S_OK);
    factory->Release();
    EXPECT_EQ(m_dll.CanUnloadNow(), S_OK);
}

TEST_F(ComServerTest, GetCommandStringIsNotImplementedAndLeavesTheBuffer) {
    IContextMenu* menu = Create<IContextMenu>(IID_IContextMenu);
    ASSERT_NE(menu, nullptr);
    for (UINT kind : {GCS_HELPTEXTA, GCS_HELPTEXTW, GCS_VERBA, GCS_VERBW, GCS_VALIDATEA}) {
        char buffer[64] = "untouched";
        EXPECT_EQ(menu->GetCommandString(0, kind, nullptr, buffer, sizeof buffer), E_NOTIMPL);
        EXPECT_STREQ(buffer, "untouched");
    }
    menu->Release();
}

TEST_F(ComServerTest, QueryContextMenuPutsTheItemBeforeTheFirstGreaterTextElseBeforeTheLast) {
    const std::wstring kItem = L"&Tandemere";
    struct Case {
        const char* m_pszName;
        std::vector<std::wstring> m_lstMenu;
        std::size_t m_nPosition;  // where the item lands
    };
    const Case cases[] = {
        {"the drop menu: before its last item, after the separator", kDropMenu, 4},
        {"one leading ampersand is skipped", {L"&Move Here", L"&Zip Here", L"Cancel"}, 1},
        {"a second one is compared", {L"&&Zip", L"Cancel"}, 1},
        {"an ampersand inside is compared", {L"T&b", L"Tb", L"Cancel"}, 1},
        {"letter case counts", {L"copy", L"Cancel"}, 0},
        {"an equal text does not stop the search", {kItem, L"Cancel"}, 1},
        {"a longer text compares greater", {L"Tandemeres", L"Cancel"}, 0},
        {"separators never stop the search", {L"", L"", L"Cancel"}, 2},
        {"an empty menu gets it appended", {}, 0},
    };
    IContextMenu* menu = Create<IContextMenu>(IID_IContextMenu);
    ASSERT_NE(menu, nullptr);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.m_pszName);
        const HMENU hmenu = MakeMenu(c.m_lstMenu);
        EXPECT_EQ(menu->QueryContextMenu(hmenu, 0, 0x7000, 0x7FFF, CMF_NORMAL),
                  MAKE_HRESULT(SEVERITY_SUCCESS, 0, 1));
        std::vector<std::wstring> expected = c.m_lstMenu;
        expected.insert(expected.begin() + static_cast<std::ptrdiff_t>(c.m_nPosition), kItem);
        EXPECT_EQ(MenuTexts(hmenu), expected);
        EXPECT_EQ(MenuId(hmenu, static_cast<int>(c.m_nPosition)), 0x7000u);
        ::DestroyMenu(hmenu);
    }

    const HMENU hmenu = MakeMenu({L"&Move Here", L"Cancel"});
    EXPECT_EQ(menu->QueryContextMenu(hmenu, 0, 0x7000, 0x7FFF, CMF_DEFAULTONLY), S_OK);
    EXPECT_EQ(MenuTexts(hmenu), (std::vector<std::wstring>{L"&Move Here", L"Cancel"}));
    ::DestroyMenu(hmenu);
    menu->Release();
}

TEST_F(ComServerTest, InitializeDeclinesWhatTheMoveCannotTake) {
    TempFolder tmp;
    ASSERT_TRUE(WriteFile(tmp.Path("src/a.txt"), "a") && WriteFile(tmp.Path("dst/b.txt"), "b"));
    CIdList dst(tmp.Path("dst"));
    PIDLIST_ABSOLUTE computer = nullptr;
    ASSERT_EQ(::SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &computer), S_OK);
    // The folders no one means to move, as the environment names them.
    auto env = [](const char* name) {
        const char* value = std::getenv(name);
        return std::string(value ? value : "");
    };
    const std::string profile = env("USERPROFILE");
    ASSERT_FALSE(profile.empty());
    std::string profiles = engine::ParentFolder(engine::kWindowsPaths, profile);
    engine::RemoveSeparator(engine::kWindowsPaths, profiles);
    for (char& c : profiles) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));

    struct Case {
        const char* m_pszName;
        PCIDLIST_ABSOLUTE m_pidlTarget;
        std::vector<std::string> m_lstDropped;
        bool m_bDropList;
        HRESULT m_hrExpected;
    };
    const Case cases[] = {
        {"a target without a file-system path", computer, {tmp.Path("src/a.txt")}, true, E_FAIL},
        {"no file-drop list", dst.m_pidl, {}, false, E_INVALIDARG},
        {"a dragged drive", dst.m_pidl, {"C:\\", tmp.Path("src/a.txt")}, true, E_FAIL},
        {"items already in the target",
         dst.m_pidl,
         {tmp.Path("dst/b.txt"), tmp.Path("src/a.txt")},
         true,
         E_FAIL},
        {"items in the target, their folder spelled in other letter case",
         dst.m_pidl,
         {tmp.Path("DST/b.txt")},
         true,
         E_FAIL},
        {"only a later item in the target",
         dst.m_pidl,
         {tmp.Path("src/a.txt"), tmp.Path("dst/b.txt")},
         true,
         S_OK},
        {"an empty drop list", dst.m_pidl, {}, true, S_OK},
        {"the profile folder", dst.m_pidl, {profile}, true, E_FAIL},
        {"the folder of the profiles, spelt in capitals", dst.m_pidl, {profiles}, true, E_FAIL},
        {"the Windows folder after another item",
         dst.m_pidl,
         {tmp.Path("src/a.txt"), env("SystemRoot")},
         true,
         E_FAIL},
        {"Program Files", dst.m_pidl, {env("ProgramFiles")}, true, E_FAIL},
        {"a drive after another item", dst.m_pidl, {tmp.Path("src/a.txt"), "C:\\"}, true, E_FAIL},
        {"a folder in the profile", dst.m_pidl, {tmp.Path("src")}, true, S_OK},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.m_pszName);
        IShellExtInit* init = Create<IShellExtInit>(IID_IShellExtInit);
        ASSERT_NE(init, nullptr);
        IDataObject* data = DropDataObject(c.m_lstDropped, c.m_bDropList);
        EXPECT_EQ(init->Initialize(c.m_pidlTarget, data, nullptr), c.m_hrExpected);
        data->Release();
        init->Release();
    }
    ::ILFree(computer);
    EXPECT_TRUE(testing::Exists(tmp.Path("src/a.txt")));
}

}  // namespace
}  // namespace tandemere::shelltest
