// Fuzz target: the settings file read from any bytes. Every value listed reads the same through
// each way in; setting one value, then removing it, keeps every other value as it was.
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "engine/path.h"
#include "platform/posix/settings_file_posix.h"
#include "tests/fuzz/fuzz_check.h"

using tandemere::fuzz::Check;
using tandemere::posix::SettingsFileStore;
using tandemere::posix::SettingValue;

namespace {

const char* const kNames[] = {"Logging",
                              "OnlyCompareSameExt",
                              "FullPaths",
                              "DiffFileSameNameDlgDefault",
                              "FldrnameFnameClashDlgDefault",
                              "FnameFldrnameClashDlgDefault",
                              "SameFileDiffNameDlgDefault"};

bool Same(const SettingValue& a, const SettingValue& b) {
    return a.m_strName == b.m_strName && a.m_nKind == b.m_nKind && a.m_nDword == b.m_nDword &&
           a.m_strText == b.m_strText && a.m_strRaw == b.m_strRaw;
}

const SettingValue* FindValue(const std::vector<SettingValue>& values, const std::string& name) {
    for (const SettingValue& v : values)
        if (tandemere::engine::EqualNames(v.m_strName, name, true)) return &v;
    return nullptr;
}

std::vector<SettingValue> ListOf(const SettingsFileStore& store) {
    std::vector<SettingValue> values;
    Check(store.List(values).IsOk(), "the file cannot be listed");
    return values;
}

// Every value of `before` but `changed` is in `after` unchanged, and nothing else is but `changed`.
void CheckOthersKept(const std::vector<SettingValue>& before, const std::vector<SettingValue>& after,
                     const std::string& changed) {
    for (const SettingValue& v : before) {
        if (tandemere::engine::EqualNames(v.m_strName, changed, true)) continue;
        const SettingValue* now = FindValue(after, v.m_strName);
        Check(now != nullptr && Same(v, *now),
              "value \"" + v.m_strName + "\" changed by a write of " + changed);
    }
    for (const SettingValue& v : after)
        Check(tandemere::engine::EqualNames(v.m_strName, changed, true) || FindValue(before, v.m_strName),
              "value \"" + v.m_strName + "\" appeared");
}

void CheckReadsAgree(SettingsFileStore& store, const std::vector<SettingValue>& values) {
    std::unique_ptr<tandemere::engine::ISettingsKey> key = store.OpenForRead();
    Check(key != nullptr || values.empty(), "a file with values does not open");
    for (const SettingValue& v : values) {
        SettingValue got;
        Check(store.Get(v.m_strName, got).IsOk() && Same(v, got),
              "Get disagrees with List on " + v.m_strName);
        std::uint32_t number = 0;
        const tandemere::engine::ValueKind kind = key->QueryDword(v.m_strName, number);
        const bool dword = v.m_nKind == SettingValue::Kind::Dword;
        Check(dword ? kind == tandemere::engine::ValueKind::Dword && number == v.m_nDword
                    : kind == tandemere::engine::ValueKind::OtherType,
              "the key reads " + v.m_strName + " otherwise");
    }
}

std::vector<std::string> LinesOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// Every line of `before` that is not a value line of `changed` is still in the file, in order. (A
// blank last line may merge into the end of the file when the value after it goes.)
void CheckLinesKept(const std::vector<std::string>& before, const std::string& path,
                    const std::string& changed) {
    const std::vector<std::string> after = LinesOf(path);
    std::size_t at = 0;
    for (const std::string& line : before) {
        SettingValue value;
        if (line.empty()) continue;
        if (SettingsFileStore::ParseLine(line, value) &&
            tandemere::engine::EqualNames(value.m_strName, changed, true))
            continue;
        while (at < after.size() && after[at] != line) ++at;
        Check(at < after.size(), "a line went or moved with a write of " + changed + ": " + line);
        ++at;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 5) return 0;
    static const std::string s_strPath = tandemere::fuzz::ScratchFolder() + "/settings";
    std::ofstream(s_strPath, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data + 5), static_cast<std::streamsize>(size - 5));
    SettingsFileStore store(s_strPath);
    const std::vector<SettingValue> before = ListOf(store);
    CheckReadsAgree(store, before);

    // The value written: one of the eight, or one the file holds.
    const std::size_t pick = data[0] % (std::size(kNames) + before.size());
    const std::string name =
        pick < std::size(kNames) ? kNames[pick] : before[pick - std::size(kNames)].m_strName;
    const std::uint32_t number =
        static_cast<std::uint32_t>(data[1]) | (static_cast<std::uint32_t>(data[2]) << 8) |
        (static_cast<std::uint32_t>(data[3]) << 16) | (static_cast<std::uint32_t>(data[4]) << 24);
    const std::vector<std::string> lines = LinesOf(s_strPath);
    Check(store.SetDword(name, number).IsOk(), "the value cannot be written");
    CheckLinesKept(lines, s_strPath, name);
    const std::vector<SettingValue> set = ListOf(store);
    const SettingValue* written = FindValue(set, name);
    Check(written != nullptr && written->m_nKind == SettingValue::Kind::Dword && written->m_nDword == number,
          "the written value does not read back: " + name);
    CheckOthersKept(before, set, name);
    CheckReadsAgree(store, set);

    Check(store.Unset(name).IsOk(), "the value cannot be removed");
    const std::vector<SettingValue> unset = ListOf(store);
    Check(FindValue(unset, name) == nullptr, "the removed value is still there: " + name);
    CheckLinesKept(lines, s_strPath, name);
    CheckOthersKept(before, unset, name);
    return 0;
}
