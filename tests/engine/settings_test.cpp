// Engine tests: reading the switches and remembered answers, and storing an answer for every move.
#include <gtest/gtest.h>

#include "engine/settings_table.h"
#include "tests/engine/move_fixture.h"

namespace tandemere::testing {
namespace {

using engine::AnswerAsk;

class SettingsTest : public MoveFixture {
protected:
    struct Fields {
        bool m_bLogging, m_bOnlyCompareSameExt, m_bFullPaths;
        std::int32_t m_nDiff, m_nFldrFname, m_nFnameFldr, m_nSame;
        bool operator==(const Fields&) const = default;
    };
    static Fields Of(const engine::MoveCommand& c) {
        return {c.m_bLogging,
                c.m_bOnlyCompareSameExt,
                c.m_bFullPaths,
                c.m_nDiffFileSameNameDlgDefault,
                c.m_nFldrnameFnameClashDlgDefault,
                c.m_nFnameFldrnameClashDlgDefault,
                c.m_nSameFileDiffNameDlgDefault};
    }
    static constexpr Fields kDefaults{true, false, false, AnswerAsk, AnswerAsk, AnswerAsk, AnswerAsk};
};

TEST_F(SettingsTest, TheTableDescribesEveryFieldWithTheDefaultAFreshMoveHolds) {
    engine::MoveCommand fresh(m_fs, m_settings, m_ui);
    ASSERT_EQ(Of(fresh), kDefaults);
    for (int i = 0; i < engine::kSettingCount; ++i) {
        const engine::SettingInfo& setting = engine::kSettings[i];
        SCOPED_TRACE(setting.m_pszName);
        EXPECT_EQ(&engine::GetSetting(setting.m_nId), &setting);
        EXPECT_EQ(engine::FindSetting(setting.m_pszName), &setting);
        if (setting.m_nKind == engine::SettingKind::Switch) {
            ASSERT_NE(setting.m_pSwitch, nullptr);
            EXPECT_EQ(fresh.*setting.m_pSwitch, setting.m_nDefault != 0);
        } else {
            ASSERT_NE(setting.m_pAnswer, nullptr);
            EXPECT_EQ(fresh.*setting.m_pAnswer, setting.m_nDefault);
        }
    }
    EXPECT_EQ(engine::FindSetting("fullpaths"), &engine::GetSetting(engine::SettingId::FullPaths));
    EXPECT_EQ(engine::FindSetting("FullPath"), nullptr);
}

TEST_F(SettingsTest, ReadsTypedValuesOverTheDefaults) {
    struct Case {
        const char* m_szName;
        const char* m_szFile;  // nullptr: no settings at all
        Fields m_expected;
    };
    const Case cases[] = {
        {"no settings at all", nullptr, kDefaults},
        {"empty settings", "", kDefaults},
        {"Logging 0", "\"Logging\"=dword:00000000\n", {false, false, false, -1, -1, -1, -1}},
        {"Logging 5 counts as on", "\"Logging\"=dword:00000005\n", kDefaults},
        {"every switch on",
         "\"Logging\"=dword:00000001\n\"OnlyCompareSameExt\"=dword:00000001\n\"FullPaths\"=dword:00000001\n",
         {true, true, true, -1, -1, -1, -1}},
        {"a switch stored as text is ignored", "\"FullPaths\"=\"1\"\n\"Logging\"=\"0\"\n", kDefaults},
        {"all four answers",
         "\"DiffFileSameNameDlgDefault\"=dword:000000e6\n\"FldrnameFnameClashDlgDefault\"=dword:000000e7\n"
         "\"FnameFldrnameClashDlgDefault\"=dword:000000e8\n\"SameFileDiffNameDlgDefault\"=dword:00000002\n",
         {true, false, false, 230, 231, 232, 2}},
        {"0xFFFFFFFF is ask", "\"DiffFileSameNameDlgDefault\"=dword:ffffffff\n", kDefaults},
        {"an answer stored as text counts as missing", "\"SameFileDiffNameDlgDefault\"=\"230\"\n", kDefaults},
        {"an odd remembered value is kept",
         "\"FldrnameFnameClashDlgDefault\"=dword:00000007\n",
         {true, false, false, -1, 7, -1, -1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.m_szName);
        m_testSettings.Clear();
        if (c.m_szFile != nullptr) WriteSettings(c.m_szFile);
        engine::MoveCommand command(m_fs, m_settings, m_ui);
        command.ReadSettings();
        EXPECT_TRUE(c.m_expected == Of(command));
    }
}

TEST_F(SettingsTest, EveryMoveStartsFromTheDefaultsAndReadsAfresh) {
    ASSERT_TRUE(WriteFile(Src("a.txt"), "alpha"));
    ASSERT_TRUE(WriteFile(Src("b.txt"), "bravo!"));
    engine::MoveCommand command(m_fs, m_settings, m_ui);
    command.SetDestFolder(Dst());
    command.m_bLogging = false;
    command.m_bFullPaths = true;
    command.m_nDiffFileSameNameDlgDefault = 231;
    command.m_bDeleteToRecycleBin = true;
    command.m_bSearchWholeDestination = true;
    command.AddDropped(Src("a.txt"));
    EXPECT_EQ(engine::MoveFinished, command.Run(kOwner));
    EXPECT_TRUE(kDefaults == Of(command));
    EXPECT_FALSE(command.m_bDeleteToRecycleBin || command.m_bSearchWholeDestination);
    EXPECT_EQ(UniqueLine("a.txt", "a.txt"), command.Log());

    // A value changed between two moves governs the next one; the log keeps growing.
    WriteSettings("\"FullPaths\"=dword:00000001\n");
    command.m_lstDropped = {Src("b.txt")};
    EXPECT_EQ(engine::MoveFinished, command.Run(kOwner));
    EXPECT_EQ(UniqueLine("a.txt", "a.txt") + UniqueLine(Src("b.txt"), Dst("b.txt")), command.Log());
}

// A key of the real store whose writes can be refused.
class RefusingKey : public engine::ISettingsKey {
public:
    explicit RefusingKey(std::unique_ptr<engine::ISettingsKey> real) : m_real(std::move(real)) {}
    engine::ValueKind QueryDword(const std::string& name, std::uint32_t& value) override {
        return m_real->QueryDword(name, value);
    }
    bool SetDword(const std::string&, std::uint32_t) override { return false; }
    std::unique_ptr<engine::ISettingsKey> m_real;
};

// Delegates to the real store, but counts how it is opened and can refuse writing.
class CountingStore : public engine::ISettingsStore {
public:
    explicit CountingStore(engine::ISettingsStore& real) : m_real(real) {}
    std::unique_ptr<engine::ISettingsKey> OpenForRead() override {
        ++m_nReads;
        return m_real.OpenForRead();
    }
    std::unique_ptr<engine::ISettingsKey> OpenForWrite() override {
        ++m_nWrites;
        if (m_bRefuseWrite) return nullptr;
        std::unique_ptr<engine::ISettingsKey> key = m_real.OpenForWrite();
        if (m_bRefuseSet && key) return std::make_unique<RefusingKey>(std::move(key));
        return key;
    }
    std::string WriteErrorText() const override { return m_real.WriteErrorText(); }
    engine::ISettingsStore& m_real;
    bool m_bRefuseWrite = false;
    bool m_bRefuseSet = false;
    int m_nReads = 0;
    int m_nWrites = 0;
};

TEST_F(SettingsTest, ReadingNeverAsksForWriteAccess) {
    WriteSettings("\"Logging\"=dword:00000000\n");
    CountingStore store(m_settings);
    store.m_bRefuseWrite = true;  // a user who may read the key but not write it
    engine::MoveCommand command(m_fs, store, m_ui);
    command.ReadSettings();
    EXPECT_FALSE(command.m_bLogging);
    EXPECT_EQ(1, store.m_nReads);
    EXPECT_EQ(0, store.m_nWrites);
}

TEST_F(SettingsTest, WriteDlgDefaultStoresTheAnswerButNeverCancel) {
    engine::MoveCommand command(m_fs, m_settings, m_ui);
    command.WriteDlgDefault(kOwner, "DiffFileSameNameDlgDefault", 2);
    EXPECT_FALSE(m_testSettings.Exists());  // Cancel writes nothing, not even the file

    command.WriteDlgDefault(kOwner, "DiffFileSameNameDlgDefault", 231);
    command.WriteDlgDefault(kOwner, "SameFileDiffNameDlgDefault", 230);
    command.WriteDlgDefault(kOwner, "DiffFileSameNameDlgDefault", 232);
    engine::MoveCommand next(m_fs, m_settings, m_ui);
    next.ReadSettings();
    EXPECT_EQ(232, next.m_nDiffFileSameNameDlgDefault);
    EXPECT_EQ(230, next.m_nSameFileDiffNameDlgDefault);
    EXPECT_EQ(AnswerAsk, next.m_nFnameFldrnameClashDlgDefault);
    EXPECT_EQ(0u, m_ui.m_lstErrors.size());
}

TEST_F(SettingsTest, WriteFailureShowsTheBoxAndWritesNoLogLine) {
    // A real store whose key can never be created, a key that cannot be opened for writing, and a
    // key that refuses the value: the same box each time, owned by the invoking window.
    std::unique_ptr<engine::ISettingsStore> broken = m_testSettings.MakeUncreatableStore();
    ASSERT_NE(nullptr, broken);
    CountingStore refusing(m_settings);
    refusing.m_bRefuseWrite = true;
    CountingStore refusingValue(m_settings);
    refusingValue.m_bRefuseSet = true;
    for (engine::ISettingsStore* store : {broken.get(), static_cast<engine::ISettingsStore*>(&refusing),
                                          static_cast<engine::ISettingsStore*>(&refusingValue)}) {
        m_ui = ScriptedUserInterface();
        engine::MoveCommand command(m_fs, *store, m_ui);
        command.WriteDlgDefault(kOwner, "FnameFldrnameClashDlgDefault", 230);
        EXPECT_EQ(std::vector<std::string>{store->WriteErrorText()}, m_ui.m_lstErrors);
        EXPECT_EQ(std::vector<engine::WindowHandle>{kOwner}, m_ui.m_lstErrorOwners);
        EXPECT_EQ("", command.Log());
    }
    EXPECT_EQ(m_settings.WriteErrorText(), refusing.WriteErrorText());
}

}  // namespace
}  // namespace tandemere::testing
