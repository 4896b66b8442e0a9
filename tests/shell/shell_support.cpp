// Shell tests: the installed DLL, regsvr32, registry read-back, ID lists, data objects and menus.
#include "tests/shell/shell_support.h"

#include <gtest/gtest.h>

#include <cstring>

#include "platform/win32/utf16_win32.h"

namespace tandemere::shelltest {

std::wstring Wide(const std::string& utf8) {
    std::wstring wide;
    EXPECT_TRUE(win32::Utf8ToUtf16(utf8, wide)) << utf8;
    return wide;
}

const std::wstring& InstalledDll() {
    static const std::wstring s_path = [] {
        std::wstring source;
        for (const char* p = TANDEMERE_DLL; *p; ++p) source += static_cast<wchar_t>(*p == '/' ? '\\' : *p);
        // A Unix path of the build folder reaches Wine's file calls through drive Z:.
        if (!source.empty() && source[0] == L'\\') source = L"Z:" + source;
        wchar_t temp[MAX_PATH + 1] = {};
        ::GetTempPathW(MAX_PATH + 1, temp);
        const std::wstring folder = std::wstring(temp) + L"tandemere-shell";
        ::CreateDirectoryW(folder.c_str(), nullptr);
        const std::wstring target = folder + L"\\" + source.substr(source.find_last_of(L'\\') + 1);
        EXPECT_TRUE(::CopyFileW(source.c_str(), target.c_str(), FALSE))
            << "copying the DLL failed: " << ::GetLastError();
        return target;
    }();
    return s_path;
}

DWORD Regsvr32(const std::wstring& arguments) {
    return RunProgram(L"regsvr32.exe /s " + arguments + L" \"" + InstalledDll() + L"\"");
}

DWORD RunProgram(std::wstring command) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &process)) {
        ADD_FAILURE() << "the program did not start: " << ::GetLastError();
        return ~DWORD{0};
    }
    DWORD code = ~DWORD{0};
    if (::WaitForSingleObject(process.hProcess, 300000) == WAIT_OBJECT_0)
        ::GetExitCodeProcess(process.hProcess, &code);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return code;
}

bool KeyExists(HKEY root, const std::wstring& path, REGSAM view) {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) return false;
    ::RegCloseKey(key);
    return true;
}

std::optional<std::wstring> StringValue(HKEY root, const std::wstring& path, const wchar_t* name,
                                        REGSAM view) {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) return std::nullopt;
    wchar_t data[1024] = {};
    DWORD size = sizeof(data) - sizeof(wchar_t);
    DWORD type = 0;
    const LSTATUS status =
        ::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    ::RegCloseKey(key);
    if (status != ERROR_SUCCESS) return std::nullopt;
    if (type != REG_SZ) return L"<not REG_SZ>";
    // The stored size must count the terminating NUL.
    if (size == 0 || data[size / sizeof(wchar_t) - 1] != L'\0') return L"<no terminator>";
    return std::wstring(data);
}

void DeleteTree(HKEY root, const std::wstring& path, REGSAM view) {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(root, path.c_str(), 0, KEY_ALL_ACCESS | view, &key) != ERROR_SUCCESS) return;
    ::RegDeleteTreeW(key, nullptr);
    ::RegCloseKey(key);
    ::RegDeleteKeyExW(root, path.c_str(), view, 0);
}

bool CreateKey(HKEY root, const std::wstring& path, REGSAM view) {
    HKEY key = nullptr;
    if (::RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return false;
    ::RegCloseKey(key);
    return true;
}

REGSAM OtherView() {
    return sizeof(void*) == 8 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
}

CLoadedDll::CLoadedDll() : m_hModule(::LoadLibraryW(InstalledDll().c_str())) {
    EXPECT_NE(m_hModule, nullptr) << "LoadLibrary failed: " << ::GetLastError();
}

CLoadedDll::~CLoadedDll() {
    if (m_hModule) ::FreeLibrary(m_hModule);
}

void* CLoadedDll::Export(WORD ordinal) const {
    void* const function =
        m_hModule ? reinterpret_cast<void*>(::GetProcAddress(m_hModule, MAKEINTRESOURCEA(ordinal))) : nullptr;
    EXPECT_NE(function, nullptr) << "no export with ordinal " << ordinal;
    return function;
}

HRESULT CLoadedDll::CanUnloadNow() const {
    const auto function = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(Export(1));
    return function ? function() : E_UNEXPECTED;
}

HRESULT CLoadedDll::GetClassObject(REFCLSID clsid, REFIID riid, void** ppv) const {
    const auto function = reinterpret_cast<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>(Export(2));
    return function ? function(clsid, riid, ppv) : E_UNEXPECTED;
}

HRESULT CLoadedDll::RegisterServer() const {
    const auto function = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(Export(3));
    return function ? function() : E_UNEXPECTED;
}

HRESULT CLoadedDll::UnregisterServer() const {
    const auto function = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(Export(4));
    return function ? function() : E_UNEXPECTED;
}

CIdList::CIdList(const std::string& path) : m_pidl(::ILCreateFromPathW(Wide(path).c_str())) {
    EXPECT_NE(m_pidl, nullptr) << "no ID list for " << path;
}

CIdList::~CIdList() {
    if (m_pidl) ::ILFree(m_pidl);
}

IDataObject* ShellDataObject(const std::string& folder, const std::vector<std::string>& names) {
    IShellFolder* desktop = nullptr;
    if (FAILED(::SHGetDesktopFolder(&desktop))) {
        ADD_FAILURE() << "no desktop folder";
        return nullptr;
    }
    IDataObject* data = nullptr;
    PIDLIST_RELATIVE folderList = nullptr;
    std::wstring wideFolder = Wide(folder);
    IShellFolder* parent = nullptr;
    if (SUCCEEDED(
            desktop->ParseDisplayName(nullptr, nullptr, wideFolder.data(), nullptr, &folderList, nullptr)) &&
        SUCCEEDED(desktop->BindToObject(folderList, nullptr, IID_IShellFolder,
                                        reinterpret_cast<void**>(&parent)))) {
        std::vector<PIDLIST_RELATIVE> children;
        for (const std::string& name : names) {
            std::wstring wideName = Wide(name);
            PIDLIST_RELATIVE child = nullptr;
            if (SUCCEEDED(
                    parent->ParseDisplayName(nullptr, nullptr, wideName.data(), nullptr, &child, nullptr)))
                children.push_back(child);
        }
        if (children.size() == names.size()) {
            parent->GetUIObjectOf(
                nullptr, static_cast<UINT>(children.size()),
                const_cast<PCUITEMID_CHILD_ARRAY>(reinterpret_cast<PITEMID_CHILD*>(children.data())),
                IID_IDataObject, nullptr, reinterpret_cast<void**>(&data));
        }
        for (PIDLIST_RELATIVE child : children) ::ILFree(child);
        parent->Release();
    }
    if (folderList) ::ILFree(folderList);
    desktop->Release();
    EXPECT_NE(data, nullptr) << "no data object for the items of " << folder;
    return data;
}

namespace {

// Holds a DROPFILES block and hands out a copy for each GetData, as a drag source does.
class CDropDataObject final : public IDataObject {
public:
    CDropDataObject(const std::vector<std::wstring>& paths, bool withDropList)
        : m_bWithDropList(withDropList) {
        for (const std::wstring& path : paths) {
            m_strFiles += path;
            m_strFiles += L'\0';
        }
        m_strFiles += L'\0';
    }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IDataObject)) return E_NOINTERFACE;
        *ppv = static_cast<IDataObject*>(this);
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_nRefs; }
    STDMETHODIMP_(ULONG) Release() override {
        const ULONG refs = --m_nRefs;
        if (refs == 0) delete this;
        return refs;
    }

    STDMETHODIMP GetData(FORMATETC* format, STGMEDIUM* medium) override {
        if (QueryGetData(format) != S_OK) return DV_E_FORMATETC;
        const SIZE_T bytes = sizeof(DROPFILES) + m_strFiles.size() * sizeof(wchar_t);
        const HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
        if (!block) return E_OUTOFMEMORY;
        auto* drop = static_cast<DROPFILES*>(::GlobalLock(block));
        drop->pFiles = sizeof(DROPFILES);
        drop->fWide = TRUE;
        std::memcpy(drop + 1, m_strFiles.data(), m_strFiles.size() * sizeof(wchar_t));
        ::GlobalUnlock(block);
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = block;
        medium->pUnkForRelease = nullptr;
        return S_OK;
    }
    STDMETHODIMP GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    STDMETHODIMP QueryGetData(FORMATETC* format) override {
        if (!m_bWithDropList || !format || format->cfFormat != CF_HDROP || !(format->tymed & TYMED_HGLOBAL))
            return DV_E_FORMATETC;
        return S_OK;
    }
    STDMETHODIMP GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override {
        if (out) out->ptd = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
    STDMETHODIMP DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
        return OLE_E_ADVISENOTSUPPORTED;
    }
    STDMETHODIMP DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    STDMETHODIMP EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

private:
    ULONG m_nRefs = 1;
    std::wstring m_strFiles;
    bool m_bWithDropList;
};

}  // namespace

IDataObject* DropDataObject(const std::vector<std::string>& paths, bool withDropList) {
    std::vector<std::wstring> wide;
    for (const std::string& path : paths) wide.push_back(Wide(path));
    return DropDataObject(wide, withDropList);
}

IDataObject* DropDataObject(const std::vector<std::wstring>& paths, bool withDropList) {
    return new CDropDataObject(paths, withDropList);
}

HMENU MakeMenu(const std::vector<std::wstring>& texts) {
    const HMENU menu = ::CreatePopupMenu();
    UINT id = 1;
    for (const std::wstring& text : texts) {
        if (text.empty()) {
            ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        } else {
            ::AppendMenuW(menu, MF_STRING, id++, text.c_str());
        }
    }
    return menu;
}

std::vector<std::wstring> MenuTexts(HMENU menu) {
    std::vector<std::wstring> texts;
    const int count = ::GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        wchar_t text[256] = {};
        ::GetMenuStringW(menu, static_cast<UINT>(i), text, 256, MF_BYPOSITION);
        texts.emplace_back(text);
    }
    return texts;
}

UINT MenuId(HMENU menu, int position) {
    return ::GetMenuItemID(menu, position);
}

void ClearSettings() {
    ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Ravelstock\\Tandemere", KEY_WOW64_32KEY, 0);
}

}  // namespace tandemere::shelltest
