// Shell layer: the rows that registration writes and the installer copies.
#include "shell/registration_table.h"

#include <iterator>

namespace tandemere::shell {
namespace {

constexpr const wchar_t* kHandlerValue = L"%CLSID%";

const RegistryRow kRows[] = {
    {RowKind::Approval, Hive::Software,
     L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved", nullptr, L"%CLSID%",
     L"Tandemere Shell Extension", false},
    {RowKind::RemovedWhenEmpty, Hive::Software, L"Software\\Ravelstock", nullptr, nullptr, nullptr, true},
    {RowKind::Removed, Hive::Software, L"Software\\Ravelstock\\Tandemere", nullptr, nullptr, nullptr, true},
    {RowKind::Kept, Hive::Classes, L"CLSID", nullptr, nullptr, nullptr, false},
    {RowKind::Replaced, Hive::Classes, L"CLSID\\%CLSID%", L"TandemereShlExt Class", nullptr, nullptr, false},
    {RowKind::WithParent, Hive::Classes, L"CLSID\\%CLSID%\\InprocServer32", L"%MODULE%", L"ThreadingModel",
     L"Apartment", false},
    {RowKind::Kept, Hive::Classes, L"Directory", nullptr, nullptr, nullptr, false},
    {RowKind::Kept, Hive::Classes, L"Directory\\shellex", nullptr, nullptr, nullptr, false},
    {RowKind::Kept, Hive::Classes, L"Directory\\shellex\\DragDropHandlers", nullptr, nullptr, nullptr, false},
    {RowKind::Replaced, Hive::Classes, L"Directory\\shellex\\DragDropHandlers\\TandemereShlExt",
     kHandlerValue, nullptr, nullptr, true},
    {RowKind::Kept, Hive::Classes, L"Folder", nullptr, nullptr, nullptr, false},
    {RowKind::Kept, Hive::Classes, L"Folder\\shellex", nullptr, nullptr, nullptr, false},
    {RowKind::Kept, Hive::Classes, L"Folder\\shellex\\DragDropHandlers", nullptr, nullptr, nullptr, false},
    {RowKind::Replaced, Hive::Classes, L"Folder\\shellex\\DragDropHandlers\\TandemereShlExt", kHandlerValue,
     nullptr, nullptr, true},
    {RowKind::Kept, Hive::Classes, L"Drive", nullptr, nullptr, nullptr, false},
    {RowKind::Kept, Hive::Classes, L"Drive\\shellex", nullptr, nullptr, nullptr, false},
    {RowKind::Kept, Hive::Classes, L"Drive\\shellex\\DragDropHandlers", nullptr, nullptr, nullptr, false},
    {RowKind::Replaced, Hive::Classes, L"Drive\\shellex\\DragDropHandlers\\TandemereShlExt", kHandlerValue,
     nullptr, nullptr, true},
};

}  // namespace

const RegistryRow* RegistryTable(std::size_t& count) {
    count = std::size(kRows);
    return kRows;
}

}  // namespace tandemere::shell
