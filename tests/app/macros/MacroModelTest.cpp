#include "app/macros/MacroModel.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "app/LanguageTexts.h"
#include "app/Startup.h"
#include "platform/Paths.h"
#include "tests/TestSupport.h"

namespace kl {
namespace {

namespace fs = std::filesystem;

TEST(DelayByte, EncodesEveryRangeAndTheKeyUpBit) {
  struct Case {
    int ms;
    uint8_t down;
  };
  const Case cases[] = {
      {-5, 0x01},   {0, 0x01},    {10, 0x01},   {11, 0x01},    {19, 0x01},    {20, 0x02},     {310, 0x1F},
      {311, 0x26},  {1000, 0x34}, {1550, 0x3F}, {1551, 0x4F},  {2000, 0x54},  {3100, 0x5F},   {3101, 0x63},
      {5999, 0x65}, {31000, 0x7F}, {40000, 0x7F}, {2147483647, 0x7F},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DelayByte(c.ms, false), c.down) << c.ms << " ms";
    EXPECT_EQ(DelayByte(c.ms, true), c.down | 0x80) << c.ms << " ms";
  }
}

TEST(BuiltInShortcut, PlaysTheFixedSequences) {
  struct Case {
    int value;
    std::vector<std::pair<uint8_t, bool>> events;
  };
  const Case cases[] = {
      {1, {{0xE0, true}, {0x04, true}, {0x04, false}, {0xE0, false}}},
      {7, {{0xE3, true}, {0x08, true}, {0x08, false}, {0xE3, false}}},
      {10, {{0xE2, true}, {0x2B, true}, {0x2B, false}, {0xE2, false}}},
      {13, {{0xE2, true}, {0x2C, true}, {0x1B, true}, {0x1B, false}, {0x2C, false}, {0xE2, false}}},
      {14, {{0xE2, true}, {0x2C, true}, {0x11, true}, {0x11, false}, {0x2C, false}, {0xE2, false}}},
      {15, {{0xE2, true}, {0x3D, true}, {0x3D, false}, {0xE2, false}}},
      {0, {}},
      {16, {}},
      {-1, {}},
  };
  for (const Case& c : cases) {
    std::vector<std::pair<uint8_t, bool>> events;
    for (const ShortcutEvent& e : BuiltInShortcut(c.value)) events.emplace_back(e.usage, e.down);
    EXPECT_EQ(events, c.events) << "shortcut " << c.value;
  }
  for (int value = 1; value <= 15; ++value) {
    int down = 0;
    for (const ShortcutEvent& e : BuiltInShortcut(value)) down += e.down ? 1 : -1;
    EXPECT_EQ(down, 0) << "every key of shortcut " << value << " is released";
  }
}

TEST(MacroEventLimit, SixtyOnTheThreeHundredSeries) {
  EXPECT_EQ(MacroEventLimit(301), 60);
  EXPECT_EQ(MacroEventLimit(399), 60);
  EXPECT_EQ(MacroEventLimit(300), 60);
  EXPECT_EQ(MacroEventLimit(250), 80);
  EXPECT_EQ(MacroEventLimit(101), 80);
  EXPECT_EQ(MacroEventLimit(400), 80);
}

class MacroModelTest : public testing::Test {
 protected:
  void SetUp() override {
    platform::OverrideModuleFolder(KL_DATA_DIR_W);
    SetCurrentLanguage(kLanguageEnglish);
    m_folder = test::ScratchFolder();
    fs::create_directories(m_folder / "db");
    ASSERT_TRUE(m_store.OpenForDevice(test::Wide(m_folder), L"M"));
  }
  void TearDown() override { platform::OverrideModuleFolder({}); }
  std::vector<std::wstring> Texts() const {
    std::vector<std::wstring> texts;
    for (const auto& item : m_model.Items()) texts.push_back(item.text);
    return texts;
  }
  std::vector<MacroItemRecord> Events(int count) {
    std::vector<MacroItemRecord> events(count);
    for (int i = 0; i < count; ++i) {
      events[i].type = i % 2 ? kMacroEventUp : kMacroEventDown;
      events[i].value = 0x41 + i;
      events[i].delayTime = i;
      events[i].desc = L"k" + std::to_wstring(i);
      events[i].recordIndex = 100 - i;  // renumbered by SaveEvents
    }
    return events;
  }

  fs::path m_folder;
  DataStore m_store;
  MacroModel m_model{m_store};
};

TEST_F(MacroModelTest, NewMacrosTakeTheFirstFreeNumber) {
  const int a = m_model.CreateMacro();
  const int b = m_model.CreateMacro();
  ASSERT_GT(m_model.CreateMacro(), 0);
  EXPECT_EQ(Texts(), (std::vector<std::wstring>{L"Macro 1", L"Macro 2", L"Macro 3"}));
  std::vector<KeyAssignmentRecord> unbound;
  ASSERT_TRUE(m_model.DeleteMacro(b, unbound));
  ASSERT_GT(m_model.CreateMacro(), 0);
  EXPECT_EQ(Texts(), (std::vector<std::wstring>{L"Macro 1", L"Macro 3", L"Macro 2"}));
  MacroRecord stored;
  ASSERT_TRUE(m_store.ReadMacro(a, stored));
  EXPECT_EQ(stored.playTimes, 1);
  EXPECT_EQ(stored.delayType, 1);
  EXPECT_EQ(stored.delayTime, 0);
  EXPECT_EQ(stored.linkCount, 0);

  MacroModel reloaded(m_store);
  SetCurrentLanguage(kLanguageChinese);
  EXPECT_EQ(reloaded.Load(), 3);
  EXPECT_EQ(reloaded.Items()[0].text, GetText(kTextSection, 331) + L" 1");
  EXPECT_EQ(reloaded.Items()[0].macroId, a);
}

TEST_F(MacroModelTest, CopiesGetNumberedNamesAndEveryEvent) {
  MacroRecord source;
  source.name = L"N";
  source.playTimes = 5;
  source.delayType = 3;
  source.delayTime = 40;
  const int id = m_store.AddMacro(source);
  ASSERT_TRUE(m_model.SaveEvents(id, Events(4)));
  m_model.Load();
  const int first = m_model.CopyMacro(id);
  const int second = m_model.CopyMacro(id);
  ASSERT_GT(first, 0);
  ASSERT_GT(second, first);
  EXPECT_EQ(Texts(), (std::vector<std::wstring>{L"N", L"N - 1", L"N - 2"}));
  MacroRecord copy;
  ASSERT_TRUE(m_store.ReadMacro(second, copy));
  EXPECT_EQ(copy.playTimes, 5);
  EXPECT_EQ(copy.delayType, 3);
  EXPECT_EQ(copy.delayTime, 40);
  std::vector<MacroItemRecord> original, copied;
  m_model.ReadEvents(id, original);
  ASSERT_EQ(m_model.ReadEvents(second, copied), 4);
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(copied[i].macroId, second);
    EXPECT_EQ(copied[i].recordIndex, original[i].recordIndex);
    EXPECT_EQ(copied[i].value, original[i].value);
    EXPECT_EQ(copied[i].desc, original[i].desc);
    EXPECT_EQ(copied[i].delayTime, original[i].delayTime);
  }
  EXPECT_EQ(m_model.CopyMacro(9999), 0);
}

TEST_F(MacroModelTest, RenameRefusesBadNamesAndRenamesTheKeysThatBindTheMacro) {
  const int id = m_model.CreateMacro();
  KeyAssignmentRecord key;
  key.profile = 1;
  key.keyCode = 4;
  key.macroType = 3;
  key.macroValue = id;
  key.macroDesc = L"Macro 1";
  ASSERT_GT(m_store.SetKeyAssignment(key), 0);
  EXPECT_EQ(m_model.RenameMacro(id, L""), NameCheck::Empty);
  EXPECT_EQ(m_model.RenameMacro(id, L"xShitx"), NameCheck::ForbiddenWord);
  MacroRecord stored;
  m_store.ReadMacro(id, stored);
  EXPECT_EQ(stored.name, L"Macro 1");
  EXPECT_EQ(m_model.RenameMacro(id, L"复制 ✂"), NameCheck::Accepted);
  m_store.ReadMacro(id, stored);
  EXPECT_EQ(stored.name, L"复制 ✂");
  EXPECT_EQ(Texts(), std::vector<std::wstring>{L"复制 ✂"});
  ASSERT_TRUE(m_store.ReadKeyAssignment(1, 0, 4, key));
  EXPECT_EQ(key.macroDesc, L"复制 ✂");
}

TEST_F(MacroModelTest, DeleteRemovesHeaderEventsAndEveryBindingAtOnce) {
  const int id = m_model.CreateMacro();
  const int other = m_model.CreateMacro();
  ASSERT_TRUE(m_model.SaveEvents(id, Events(6)));
  const std::tuple<int, int, int, int> keys[] = {{1, 0, 4, id}, {2, 1, 5, id}, {1, 0, 6, other}};
  for (const auto& [profile, layer, code, macro] : keys) {
    KeyAssignmentRecord key;
    key.profile = profile;
    key.fnLayer = layer;
    key.keyCode = code;
    key.macroType = 3;
    key.macroValue = macro;
    ASSERT_GT(m_store.SetKeyAssignment(key), 0);
  }
  std::vector<KeyAssignmentRecord> unbound;
  ASSERT_TRUE(m_model.DeleteMacro(id, unbound));
  ASSERT_EQ(unbound.size(), 2u);
  EXPECT_EQ(unbound[0].keyCode, 4);
  EXPECT_EQ(unbound[1].profile, 2);
  EXPECT_EQ(unbound[1].fnLayer, 1);
  MacroRecord gone;
  EXPECT_FALSE(m_store.ReadMacro(id, gone));
  std::vector<MacroItemRecord> events;
  EXPECT_EQ(m_store.ListMacroSteps(id, events), 0);
  std::vector<KeyAssignmentRecord> left;
  EXPECT_EQ(m_store.ListMacroAssignments(id, left), 0);
  EXPECT_EQ(m_store.ListMacroAssignments(other, left), 1);
  EXPECT_EQ(Texts(), std::vector<std::wstring>{L"Macro 2"});
}

TEST_F(MacroModelTest, PlaySettingsAreClampedAndEventsRenumbered) {
  const int id = m_model.CreateMacro();
  struct Case {
    int times, type, delay;
    int storedTimes, storedType, storedDelay;
  };
  const Case cases[] = {
      {0, 3, 50, 1, 3, 50}, {100, 2, -1, 99, 2, 0}, {42, 7, 12345, 42, 1, 9999}, {99, 1, 10, 99, 1, 10},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(m_model.SavePlaySettings(id, c.times, c.type, c.delay));
    MacroRecord stored;
    ASSERT_TRUE(m_store.ReadMacro(id, stored));
    EXPECT_EQ(stored.playTimes, c.storedTimes);
    EXPECT_EQ(stored.delayType, c.storedType);
    EXPECT_EQ(stored.delayTime, c.storedDelay);
  }
  ASSERT_TRUE(m_model.SaveEvents(id, Events(5)));
  ASSERT_TRUE(m_model.SaveEvents(id, Events(3)));
  std::vector<MacroItemRecord> events;
  ASSERT_EQ(m_model.ReadEvents(id, events), 3);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(events[i].recordIndex, i);
    EXPECT_EQ(events[i].value, 0x41 + i);
  }
}

TEST(MakeUniqueName, GivesUpAfterAThousand) {
  std::vector<std::wstring> taken;
  for (int n = 1; n <= 1000; ++n) taken.push_back(L"M " + std::to_wstring(n));
  EXPECT_EQ(MakeUniqueName(L"M", taken), L"M 1000");
  taken.erase(taken.begin() + 499);
  EXPECT_EQ(MakeUniqueName(L"M", taken), L"M 500");
}

}  // namespace
}  // namespace kl
