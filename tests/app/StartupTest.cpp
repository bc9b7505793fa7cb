#include "app/Startup.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "base/IniFile.h"
#include "platform/Paths.h"
#include "platform/SystemLanguage.h"
#include "tests/TestSupport.h"

namespace kl {
namespace {

// Points the XDG folders at a scratch folder for the test's duration.
class StartupTest : public testing::Test {
 protected:
  void SetUp() override {
    setenv("XDG_CONFIG_HOME", (m_folder / "config").c_str(), 1);
    setenv("XDG_DATA_HOME", (m_folder / "data").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", m_folder.c_str(), 1);
  }
  void TearDown() override {
    platform::OverrideModuleFolder({});
    SetApplicationName(L"");
  }
  std::wstring StoredLanguage() {
    IniFile ini;
    ini.LoadFile(test::Wide(m_folder / "config" / "Keyloft" / "settings.ini"));
    return ini.GetString(L"settings", L"LCID", L"<unset>");
  }
  void StoreLanguageText(const std::string& text) {
    test::WriteBytes(m_folder / "config" / "Keyloft" / "settings.ini", "[settings]\r\nLCID=" + text + "\r\n");
  }
  std::filesystem::path m_folder = test::ScratchFolder();
};

TEST_F(StartupTest, FirstRunNormalisesTheSystemLanguageAndStoresIt) {
  struct Case {
    int system;
    int expected;
  } cases[] = {{2052, 2052}, {1033, 1033}, {1041, 1033}, {1028, 1033}};
  for (const Case& c : cases) {
    std::filesystem::remove_all(m_folder / "config");
    platform::SettingsStore settings(L"Keyloft");
    EXPECT_EQ(DetermineLanguage(settings, c.system), c.expected);
    EXPECT_EQ(StoredLanguage(), std::to_wstring(c.expected));
  }
}

TEST_F(StartupTest, StoredLanguageWinsUnlessEmptyOrNotANumber) {
  struct Case {
    std::string stored;
    int expected;
  } cases[] = {{"2052", 2052}, {"1033", 1033}, {"", 1033}, {"abc", 1033}};
  for (const Case& c : cases) {
    StoreLanguageText(c.stored);
    platform::SettingsStore settings(L"Keyloft");
    EXPECT_EQ(DetermineLanguage(settings, 1041), c.expected) << c.stored;
    EXPECT_EQ(StoredLanguage(), std::to_wstring(c.expected)) << c.stored;
  }
}

TEST_F(StartupTest, SettingsThatCannotBeCreatedGiveChinese) {
  test::WriteBytes(m_folder / "blocker", "a file where a folder should be");
  setenv("XDG_CONFIG_HOME", (m_folder / "blocker").c_str(), 1);
  platform::SettingsStore settings(L"Keyloft");
  EXPECT_EQ(ReadLanguageSetting(settings), 2052);
  EXPECT_FALSE(settings.Set(L"LCID", L"1033"));
}

TEST_F(StartupTest, SettingsWritesReplaceTheFileWhole) {
  platform::SettingsStore settings(L"Keyloft");
  ASSERT_TRUE(settings.Open());
  EXPECT_TRUE(settings.Created());
  ASSERT_TRUE(settings.Set(L"LCID", L"2052"));
  ASSERT_TRUE(settings.Set(L"exit_mode", L"2"));
  ASSERT_TRUE(settings.Set(L"LCID", L"1033"));
  platform::SettingsStore again(L"Keyloft");
  ASSERT_TRUE(again.Open());
  EXPECT_FALSE(again.Created());
  EXPECT_EQ(again.Get(L"LCID"), L"1033");
  EXPECT_EQ(again.Get(L"exit_mode"), L"2");
  EXPECT_EQ(again.Get(L"missing"), std::nullopt);
  EXPECT_FALSE(std::filesystem::exists(m_folder / "config" / "Keyloft" / "settings.ini.tmp"));
}

TEST_F(StartupTest, PrepareProcessCreatesFoldersAndRefusesASecondInstance) {
  test::WriteBytes(m_folder / "bin" / "config.xml",
                   "<config><device_list/><software name=\"Keyloft\" version=\"1\"/></config>");
  platform::OverrideModuleFolder(test::Wide(m_folder / "bin"));
  setenv("LANGUAGE", "zh_CN:en", 1);

  platform::SingleInstanceLock first;
  ASSERT_EQ(PrepareProcess(first), StartupResult::Ready);
  EXPECT_EQ(ApplicationName(), L"Keyloft");
  EXPECT_EQ(CurrentLanguage(), 2052);
  EXPECT_EQ(DataFolder(), test::Wide(m_folder / "data" / "Keyloft Data"));
  EXPECT_TRUE(std::filesystem::is_directory(m_folder / "data" / "Keyloft Data" / "db"));

  platform::SingleInstanceLock second;
  EXPECT_EQ(PrepareProcess(second), StartupResult::AlreadyRunning);
}

TEST_F(StartupTest, MissingConfigLeavesTheNameEmptyAndStillRuns) {
  platform::OverrideModuleFolder(test::Wide(m_folder / "nowhere"));
  platform::SingleInstanceLock lock;
  EXPECT_EQ(PrepareProcess(lock), StartupResult::Ready);
  EXPECT_EQ(ApplicationName(), L"");
  EXPECT_TRUE(std::filesystem::is_directory(m_folder / "data" / " Data" / "db"));
}

TEST(SystemLanguage, MapsLocalesToLanguageIds) {
  struct Case {
    const char* language;
    const char* lcAll;
    const char* lang;
    int expected;
  } cases[] = {
      {"", "", "zh_CN.UTF-8", 2052},     {"", "", "zh_SG", 2052},
      {"", "", "zh_TW.UTF-8", 1033},     {"", "", "ja_JP.UTF-8", 1033},
      {"zh_Hans:en", "", "en_US", 2052}, {"en_GB:zh_CN", "", "zh_CN", 1033},
      {"", "zh_CN.GB2312", "en_US", 2052}, {"", "", "", 1033},
  };
  for (const Case& c : cases) {
    setenv("LANGUAGE", c.language, 1);
    setenv("LC_ALL", c.lcAll, 1);
    unsetenv("LC_MESSAGES");
    setenv("LANG", c.lang, 1);
    EXPECT_EQ(platform::SystemUiLanguage(), c.expected) << c.language << "|" << c.lcAll << "|" << c.lang;
  }
}

}  // namespace
}  // namespace kl
