#include "app/keys/Profiles.h"

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <filesystem>

#include "app/LanguageTexts.h"
#include "app/Startup.h"
#include "platform/Paths.h"
#include "tests/TestSupport.h"

namespace kl {
namespace {

namespace fs = std::filesystem;

// Records what would have gone to the keyboard, and what the store held at that moment.
class RecordingDevice : public ProfileDevice {
 public:
  explicit RecordingDevice(DataStore& store) : m_store(store) {}
  void ResetKeyAssignments() override {
    std::vector<ProfileRecord> profiles;
    m_store.ListProfiles(profiles);
    m_log.push_back("reset, profiles in store: " + std::to_string(profiles.size()));
  }
  void SendFnSwitch(int state) override { m_log.push_back("fn switch " + std::to_string(state)); }
  std::vector<std::string> m_log;

 private:
  DataStore& m_store;
};

class ProfilesTest : public testing::Test {
 protected:
  void SetUp() override {
    platform::OverrideModuleFolder(KL_DATA_DIR_W);
    SetCurrentLanguage(kLanguageEnglish);
    m_folder = test::ScratchFolder();
    fs::create_directories(m_folder / "db");
    ASSERT_TRUE(m_store.OpenForDevice(test::Wide(m_folder), L"Orvik TR640"));
  }
  void TearDown() override { platform::OverrideModuleFolder({}); }

  std::wstring Profile() const { return GetText(kTextSection, kTextProfile); }
  std::vector<std::wstring> Texts() const {
    std::vector<std::wstring> texts;
    for (const auto& row : m_profiles.Rows()) texts.push_back(row.text);
    return texts;
  }
  int AddStoredProfile(const std::wstring& name) {
    ProfileRecord r;
    r.name = name;
    return m_store.AddProfile(r);
  }

  fs::path m_folder;
  DataStore m_store;
  RecordingDevice m_device{m_store};
  Profiles m_profiles{m_store, m_device};
};

TEST_F(ProfilesTest, EmptyStoreGetsThreeProfilesSettingsAndColoursOnce) {
  ASSERT_EQ(Profile(), L"Profile");
  m_profiles.LoadProfileList();
  EXPECT_EQ(Texts(), (std::vector<std::wstring>{L"Profile 1", L"Profile 2", L"Profile 3"}));
  EXPECT_EQ(m_profiles.SelectedRow(), 0);
  EXPECT_EQ(m_store.CurrentProfile(), m_profiles.Rows()[0].profile);
  EXPECT_EQ(m_profiles.CurrentProfile(), m_profiles.Rows()[0].profile);
  EXPECT_EQ(m_profiles.CurrentLayer(), 0);
  EXPECT_EQ(m_profiles.FnSwitch(), 0);
  EXPECT_EQ(m_profiles.SleepTime(), 1);
  EXPECT_EQ(m_profiles.KeyResponseTime(), 1);
  // Each profile's default colours replace the previous set; the last profile's remain.
  std::vector<KeyLightRecord> colours;
  ASSERT_EQ(m_store.ListKeyColours(kCustomKeyLightId, colours), 8);
  for (const auto& c : colours) {
    EXPECT_EQ(c.profile, m_profiles.Rows()[2].profile);
    EXPECT_EQ(c.keyRgb, 0xFFFFFF);
  }
  EXPECT_TRUE(m_device.m_log.empty());

  m_profiles.LoadProfileList();
  EXPECT_EQ(m_profiles.Rows().size(), 3u);
  m_store.Close();
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open((m_folder / "db" / "Orvik TR640_store_v1.db").c_str(), &db), SQLITE_OK);
  sqlite3_stmt* s = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(db, "SELECT count(*), count(DISTINCT key) FROM t_configdata", -1, &s, nullptr), SQLITE_OK);
  ASSERT_EQ(sqlite3_step(s), SQLITE_ROW);
  EXPECT_EQ(sqlite3_column_int(s, 0), 14);
  EXPECT_EQ(sqlite3_column_int(s, 1), 14);
  sqlite3_finalize(s);
  sqlite3_close(db);
}

TEST_F(ProfilesTest, RestoresLayerSwitchAndFallsBackToTheFirstProfile) {
  m_profiles.LoadProfileList();
  m_store.WriteSetting(L"fn_layer", L"1");
  m_store.WriteSetting(L"fn_switch", L"1");
  m_store.WriteSetting(L"sleeptime", L"9");
  m_store.MakeProfileCurrent(m_profiles.Rows()[1].profile);
  m_profiles.LoadProfileList();
  EXPECT_EQ(m_profiles.SelectedRow(), 1);
  EXPECT_EQ(m_profiles.CurrentLayer(), 1);
  EXPECT_EQ(m_profiles.FnSwitch(), 1);
  EXPECT_EQ(m_profiles.SleepTime(), 0);

  ASSERT_TRUE(m_store.DeleteProfile(m_profiles.Rows()[1].profile));
  m_profiles.LoadProfileList();
  EXPECT_EQ(m_profiles.SelectedRow(), 0);
  EXPECT_EQ(m_store.CurrentProfile(), m_profiles.Rows()[0].profile);
}

TEST_F(ProfilesTest, DefaultNamesAreShownInTheInterfaceLanguage) {
  AddStoredProfile(L"配置方案2");
  AddStoredProfile(L"Profile 1");
  AddStoredProfile(L"Gaming");
  SetCurrentLanguage(kLanguageEnglish);
  m_profiles.LoadProfileList();
  EXPECT_EQ(Texts(), (std::vector<std::wstring>{Profile() + L"2", L"Profile 1", L"Gaming"}));
  SetCurrentLanguage(kLanguageChinese);
  const std::wstring chinese = GetText(kTextSection, kTextProfile);
  ASSERT_NE(chinese, L"Profile");
  m_profiles.LoadProfileList();
  EXPECT_EQ(Texts(), (std::vector<std::wstring>{L"配置方案2", chinese + L" 1", L"Gaming"}));
  std::wstring stored;
  m_store.ReadProfileName(m_profiles.Rows()[1].profile, stored);
  EXPECT_EQ(stored, L"Profile 1");
  SetCurrentLanguage(kLanguageEnglish);
}

TEST_F(ProfilesTest, AddedProfilesTakeTheFirstFreeNumber) {
  struct Case {
    std::vector<std::wstring> existing;
    std::wstring expected;
  };
  const Case cases[] = {
      {{L"Profile 1", L"Profile 2"}, L"Profile 3"},
      {{L"Profile 2"}, L"Profile 1"},
      {{L"profile 1", L"Profile 1 "}, L"Profile 1"},  // the comparison is exact
  };
  for (const Case& c : cases) {
    std::vector<ProfileRecord> all;
    m_store.ListProfiles(all);
    for (const ProfileRecord& p : all) m_store.DeleteProfile(p.profile);
    for (const auto& name : c.existing) AddStoredProfile(name);
    m_profiles.LoadProfileList();
    ASSERT_EQ(m_profiles.AddProfile(), Profiles::AddResult::Added);
    EXPECT_EQ(m_profiles.Rows().back().text, c.expected);
    EXPECT_EQ(m_profiles.CurrentProfile(), m_profiles.Rows().back().profile);
    EXPECT_EQ(m_store.CurrentProfile(), m_profiles.Rows().back().profile);
    EXPECT_EQ(m_profiles.SelectedRow(), static_cast<int>(m_profiles.Rows().size()) - 1);
    std::wstring stored;
    ASSERT_TRUE(m_store.ReadProfileName(m_profiles.CurrentProfile(), stored));
    EXPECT_EQ(stored, c.expected);
  }
}

TEST_F(ProfilesTest, TheTwoHundredthProfileIsTheLast) {
  m_profiles.LoadProfileList();
  ASSERT_TRUE(m_store.RunInTransaction([&] {
    for (int i = 4; i < kMaxProfiles; ++i) AddStoredProfile(L"p" + std::to_wstring(i));
    return true;
  }));
  m_profiles.LoadProfileList();
  ASSERT_EQ(m_profiles.Rows().size(), 199u);
  EXPECT_EQ(m_profiles.AddProfile(), Profiles::AddResult::Added);
  EXPECT_EQ(m_profiles.AddProfile(), Profiles::AddResult::LimitReached);
  std::vector<ProfileRecord> all;
  EXPECT_EQ(m_store.ListProfiles(all), kMaxProfiles);
}

TEST_F(ProfilesTest, DeleteRemovesFromTheStoreFirstThenResetsTheKeyboard) {
  m_profiles.LoadProfileList();
  const auto rows = m_profiles.Rows();
  KeyAssignmentRecord key;
  key.profile = rows[1].profile;
  key.keyCode = 4;
  key.macroType = 2;
  key.macroValue = 5;
  ASSERT_GT(m_store.SetKeyAssignment(key), 0);
  ASSERT_TRUE(m_profiles.SelectProfile(1));

  ASSERT_TRUE(m_profiles.DeleteProfile());
  EXPECT_EQ(m_device.m_log, std::vector<std::string>{"reset, profiles in store: 2"});
  EXPECT_EQ(m_profiles.Rows().size(), 2u);
  EXPECT_EQ(m_profiles.SelectedRow(), 0);
  EXPECT_EQ(m_profiles.CurrentProfile(), rows[0].profile);
  EXPECT_EQ(m_store.CurrentProfile(), rows[0].profile);
  std::vector<KeyAssignmentRecord> keys;
  EXPECT_EQ(m_store.ListProfileAssignments(rows[1].profile, keys), 0);

  // Deleting the first row selects the new first row.
  ASSERT_TRUE(m_profiles.DeleteProfile());
  ASSERT_EQ(m_profiles.Rows().size(), 1u);
  EXPECT_EQ(m_profiles.CurrentProfile(), rows[2].profile);
  EXPECT_EQ(m_store.CurrentProfile(), rows[2].profile);

  // The last profile stays.
  m_device.m_log.clear();
  EXPECT_FALSE(m_profiles.DeleteProfile());
  EXPECT_TRUE(m_device.m_log.empty());
  std::vector<ProfileRecord> all;
  EXPECT_EQ(m_store.ListProfiles(all), 1);
}

TEST_F(ProfilesTest, RenameRefusesEmptyAndForbiddenNamesAndKeepsTheStoredOne) {
  m_profiles.LoadProfileList();
  const int id = m_profiles.Rows()[1].profile;
  struct Case {
    const wchar_t* text;
    NameCheck result;
    const wchar_t* stored;
  };
  const Case cases[] = {
      {L"", NameCheck::Empty, L"Profile 2"},
      {L"my SHIT keys", NameCheck::ForbiddenWord, L"Profile 2"},
      {L"游戏 ✓", NameCheck::Accepted, L"游戏 ✓"},
      {L"", NameCheck::Empty, L"游戏 ✓"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(m_profiles.RenameProfile(1, c.text), c.result) << testing::PrintToString(c.text);
    std::wstring stored;
    ASSERT_TRUE(m_store.ReadProfileName(id, stored));
    EXPECT_EQ(stored, c.stored);
    EXPECT_EQ(m_profiles.Rows()[1].text, c.stored);
  }
}

TEST_F(ProfilesTest, LayerSwitchAndResetTouchOnlyWhatTheySay) {
  m_profiles.LoadProfileList();
  const int current = m_profiles.CurrentProfile();
  const int other = m_profiles.Rows()[1].profile;
  for (int profile : {current, other}) {
    KeyAssignmentRecord key;
    key.profile = profile;
    key.keyCode = 4;
    key.macroType = 1;
    key.macroValue = 1;
    ASSERT_GT(m_store.SetKeyAssignment(key), 0);
  }

  m_profiles.SelectLayer(1);
  EXPECT_EQ(m_profiles.CurrentLayer(), 1);
  std::wstring value;
  m_store.ReadSetting(L"fn_layer", value);
  EXPECT_EQ(value, L"1");
  EXPECT_TRUE(m_device.m_log.empty());

  m_profiles.SetFnSwitch(1);
  m_profiles.SetFnSwitch(0);
  EXPECT_EQ(m_device.m_log, (std::vector<std::string>{"fn switch 1", "fn switch 0"}));
  m_store.ReadSetting(L"fn_switch", value);
  EXPECT_EQ(value, L"0");

  ASSERT_TRUE(m_profiles.ResetProfileKeys());
  std::vector<KeyAssignmentRecord> keys;
  EXPECT_EQ(m_store.ListProfileAssignments(current, keys), 0);
  EXPECT_EQ(m_store.ListProfileAssignments(other, keys), 1);
}

TEST_F(ProfilesTest, SelectingARowMakesItCurrentInTheStore) {
  m_profiles.LoadProfileList();
  EXPECT_TRUE(m_profiles.SelectProfile(2));
  EXPECT_EQ(m_store.CurrentProfile(), m_profiles.Rows()[2].profile);
  EXPECT_FALSE(m_profiles.SelectProfile(-1));
  EXPECT_EQ(m_profiles.SelectedRow(), -1);
  EXPECT_FALSE(m_profiles.SelectProfile(3));
}

TEST_F(ProfilesTest, ImportedProfileBecomesTheSelectedCurrentRow) {
  m_profiles.LoadProfileList();
  KeyAssignmentRecord key;
  key.profile = m_profiles.Rows()[0].profile;
  key.keyCode = 4;
  key.macroType = 2;
  key.macroValue = 6;
  ASSERT_GT(m_store.SetKeyAssignment(key), 0);
  const std::wstring file = test::Wide(m_folder / "Work.keys.xml");
  ASSERT_TRUE(m_profiles.ExportProfile(0, file));
  EXPECT_FALSE(m_profiles.ExportProfile(7, file));

  const ProfileImport result = m_profiles.ImportProfile(file);
  ASSERT_EQ(result.status, ImportStatus::Imported);
  ASSERT_EQ(m_profiles.Rows().size(), 4u);
  EXPECT_EQ(m_profiles.Rows().back().text, L"Work");
  EXPECT_EQ(m_profiles.SelectedRow(), 3);
  EXPECT_EQ(m_profiles.CurrentProfile(), result.profile);
  EXPECT_EQ(m_store.CurrentProfile(), result.profile);
  KeyAssignmentRecord read;
  ASSERT_TRUE(m_store.ReadKeyAssignment(result.profile, 0, 4, read));
  EXPECT_EQ(read.macroValue, 6);

  ASSERT_TRUE(m_store.RunInTransaction([&] {
    for (int i = 5; i <= kMaxProfiles; ++i) AddStoredProfile(L"p" + std::to_wstring(i));
    return true;
  }));
  m_profiles.LoadProfileList();
  ASSERT_EQ(m_profiles.Rows().size(), static_cast<size_t>(kMaxProfiles));
  EXPECT_EQ(m_profiles.ImportProfile(file).status, ImportStatus::ProfileLimit);
  std::vector<ProfileRecord> all;
  EXPECT_EQ(m_store.ListProfiles(all), kMaxProfiles);
}

}  // namespace
}  // namespace kl
