// Shell layer: the drop target's and the dragged items' paths, read with the wide calls.
#include "shell/drop_paths.h"

#include <shellapi.h>

#include "engine/drop_refusal.h"
#include "engine/path.h"
#include "platform/win32/drop_facts_win32.h"
#include "platform/win32/utf16_win32.h"
#include "ui/win32/ui_text_win32.h"

namespace tandemere::shell {
namespace {

// The longest path the wide calls take, with its terminator.
constexpr UINT kLongestPath = 32768;

// Unlocks and releases the medium on every path; the medium may belong to the data object.
class CLockedMedium {
public:
    explicit CLockedMedium(STGMEDIUM& medium) : m_rMedium(medium), m_pData(::GlobalLock(medium.hGlobal)) {}
    ~CLockedMedium() {
        if (m_pData) ::GlobalUnlock(m_rMedium.hGlobal);
        ::ReleaseStgMedium(&m_rMedium);
    }
    CLockedMedium(const CLockedMedium&) = delete;
    CLockedMedium& operator=(const CLockedMedium&) = delete;
    bool IsLocked() const { return m_pData != nullptr; }

private:
    STGMEDIUM& m_rMedium;
    void* m_pData;
};

// One dragged path: the length asked first, then read whole; empty when it cannot be read. A
// name that is not valid UTF-16 is kept in its shown form, marked so that nothing acts on it.
DroppedPath ReadDroppedPath(HDROP drop, UINT index) {
    DroppedPath dropped;
    const UINT length = ::DragQueryFileW(drop, index, nullptr, 0);
    if (length == 0) return dropped;
    std::wstring wide(static_cast<std::size_t>(length) + 1, L'\0');
    const UINT got = ::DragQueryFileW(drop, index, wide.data(), length + 1);
    if (got == 0 || got > length) return dropped;
    wide.resize(got);
    dropped.m_bValid = win32::Utf16ToUtf8(wide, dropped.m_strPath);
    if (!dropped.m_bValid) dropped.m_strPath = win32::ui::Narrow(wide);
    return dropped;
}

}  // namespace

bool PathFromIdList(PCIDLIST_ABSOLUTE idList, std::string& path) {
    path.clear();
    if (!idList) return false;
    std::wstring wide(kLongestPath, L'\0');
    if (!::SHGetPathFromIDListEx(idList, wide.data(), kLongestPath, GPFIDL_DEFAULT)) return false;
    wide.resize(wcslen(wide.c_str()));
    return !wide.empty() && win32::Utf16ToUtf8(wide, path);
}

HRESULT ReadDroppedPaths(IDataObject* data, std::vector<DroppedPath>& paths) {
    paths.clear();
    if (!data) return E_INVALIDARG;
    FORMATETC format = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium = {};
    if (FAILED(data->GetData(&format, &medium))) return E_INVALIDARG;
    if (medium.tymed != TYMED_HGLOBAL) {
        ::ReleaseStgMedium(&medium);
        return E_INVALIDARG;
    }
    CLockedMedium locked(medium);
    if (!locked.IsLocked()) return E_INVALIDARG;
    const auto drop = static_cast<HDROP>(medium.hGlobal);
    const UINT count = ::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    paths.reserve(count);
    for (UINT i = 0; i < count; ++i) paths.push_back(ReadDroppedPath(drop, i));
    return S_OK;
}

bool IsDeclinedDrop(const std::vector<DroppedPath>& paths, const std::string& target) {
    if (paths.empty()) return false;
    if (paths.front().m_bValid && !paths.front().m_strPath.empty()) {
        std::string parent = paths.front().m_strPath;
        engine::RemoveFileSpec(engine::kWindowsPaths, parent);
        // The parent of "\\server\share\a" keeps its separator ("\\server\share\"), a share's own
        // folder has none, and the shell may spell either in another case or in the "\\?\UNC\" form.
        if (engine::SameFolder(engine::kWindowsPaths, parent, target)) return true;
    }
    const engine::ProtectedFolders folders = win32::WindowsProtectedFolders();
    for (const DroppedPath& path : paths) {
        if (!path.m_bValid || path.m_strPath.empty()) continue;
        const engine::DroppedItem item = win32::LookAtDroppedItem(path.m_strPath);
        if (engine::RefuseDroppedItem(engine::kWindowsPaths, folders, item) != engine::DropRefusal::None)
            return true;
    }
    return false;
}

}  // namespace tandemere::shell
