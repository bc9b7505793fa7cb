#include "app/macros/MacroFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/TestSupport.h"
#include "tests/app/store/StoreSnapshot.h"

namespace kl {
namespace {

namespace fs = std::filesystem;

class MacroFileTest : public testing::Test {
 protected:
  void SetUp() override {
    m_folder = test::ScratchFolder();
    fs::create_directories(m_folder / "db");
    ASSERT_TRUE(m_store.OpenForDevice(test::Wide(m_folder), L"M"));
  }
  int AddMacro() {
    MacroRecord m;
    m.name = L"Köln & <co>";
    m.playTimes = 3;
    m.delayType = 2;
    m.delayTime = 10;
    const int id = m_store.AddMacro(m);
    std::vector<MacroItemRecord> steps;
    const std::tuple<int, int, int, const wchar_t*> events[] = {
        {2, 160, 15, L"Shift"}, {2, 0x41, 300, L"A"}, {3, 0x41, 31000, L"A"}, {5, 7, 0, L"odd"}, {3, 160, 0, L"Shift"}};
    for (const auto& [type, value, delay, desc] : events) {
      MacroItemRecord s;
      s.macroId = id;
      s.type = type;
      s.value = value;
      s.delayTime = delay;
      s.desc = desc;
      s.recordIndex = static_cast<int>(steps.size());
      steps.push_back(s);
    }
    EXPECT_TRUE(m_store.AddMacroSteps(steps));
    return id;
  }
  fs::path StoreFile() const { return m_folder / "db" / "M_store_v1.db"; }

  fs::path m_folder;
  DataStore m_store;
};

TEST_F(MacroFileTest, ExportWritesTheExactFormat) {
  MacroRecord m;
  m.name = L"宏 1";
  m.playTimes = 2;
  m.delayType = 3;
  m.delayTime = 50;
  const int id = m_store.AddMacro(m);
  MacroItemRecord s;
  s.macroId = id;
  s.type = 2;
  s.value = 162;
  s.delayTime = 50;
  s.desc = L"Ctrl";
  ASSERT_GT(m_store.AddMacroStep(s), 0);
  const fs::path file = m_folder / "m.xml";
  ASSERT_TRUE(ExportMacro(m_store, id, test::Wide(file)));
  std::ifstream in(file, std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text,
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
            "<macro>\r\n"
            "<macroinfo name=\"\xE5\xAE\x8F 1\" times=\"2\" type=\"3\" delaytime=\"50\"/>\r\n"
            "<macroitems>\r\n"
            "<item desc=\"Ctrl\" type=\"2\" value=\"162\" delay_time=\"50\"/>\r\n"
            "</macroitems>\r\n"
            "</macro>");
  EXPECT_FALSE(ExportMacro(m_store, id + 1, test::Wide(m_folder / "none.xml")));
}

TEST_F(MacroFileTest, ExportThenImportMakesASecondMacroNamedAfterTheFile) {
  const int id = AddMacro();
  const fs::path file = m_folder / "copy.of.macro.xml";
  ASSERT_TRUE(ExportMacro(m_store, id, test::Wide(file)));
  const MacroImport result = ImportMacro(m_store, test::Wide(file));
  ASSERT_EQ(result.status, ImportStatus::Imported);
  EXPECT_EQ(result.name, L"copy");
  MacroRecord a, b;
  ASSERT_TRUE(m_store.ReadMacro(id, a));
  ASSERT_TRUE(m_store.ReadMacro(result.macroId, b));
  EXPECT_EQ(b.name, L"copy");
  EXPECT_EQ(b.playTimes, a.playTimes);
  EXPECT_EQ(b.delayType, a.delayType);
  EXPECT_EQ(b.delayTime, a.delayTime);
  std::vector<MacroItemRecord> ea, eb;
  m_store.ListMacroSteps(id, ea);
  ASSERT_EQ(m_store.ListMacroSteps(result.macroId, eb), 5);
  for (size_t i = 0; i < ea.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(eb[i].type, ea[i].type);  // the type-5 row is kept
    EXPECT_EQ(eb[i].value, ea[i].value);
    EXPECT_EQ(eb[i].delayTime, ea[i].delayTime);
    EXPECT_EQ(eb[i].desc, ea[i].desc);
    EXPECT_EQ(eb[i].recordIndex, static_cast<int>(i));
  }
}

TEST_F(MacroFileTest, MissingSettingsDefaultToOnceWithMeasuredDelays) {
  const std::pair<const char*, std::tuple<int, int, int, int>> cases[] = {
      // file text -> play times, delay type, delay time, events
      {"<macro/>", {1, 1, 0, 0}},
      {"<macro><macroitems><item type=\"2\" value=\"65\" delay_time=\"99999\"/></macroitems></macro>", {1, 1, 0, 1}},
      {"<macro><macroinfo times=\"0\" type=\"9\" delaytime=\"-4\"/></macro>", {1, 1, 0, 0}},
      {"<macro><macroinfo times=\"500\" type=\"3\" delaytime=\"70\"/></macro>", {99, 3, 70, 0}},
      {"<macro><macroinfo times=\"x\" type=\"\"/></macro>", {1, 1, 0, 0}},
  };
  for (const auto& [text, expected] : cases) {
    SCOPED_TRACE(text);
    const fs::path file = m_folder / "plain";
    test::WriteBytes(file, text);
    const MacroImport result = ImportMacro(m_store, test::Wide(file));
    ASSERT_EQ(result.status, ImportStatus::Imported);
    EXPECT_EQ(result.name, L"plain");
    MacroRecord m;
    ASSERT_TRUE(m_store.ReadMacro(result.macroId, m));
    EXPECT_EQ(std::make_tuple(m.playTimes, m.delayType, m.delayTime, m_store.CountNonType1Steps(m.macroId)), expected);
    std::vector<MacroItemRecord> events;
    m_store.ListMacroSteps(m.macroId, events);
    for (const auto& e : events) EXPECT_EQ(e.delayTime, 31000);
  }
}

std::string Repeat(const std::string& piece, int count) {
  std::string out;
  for (int i = 0; i < count; ++i) out += piece;
  return out;
}

TEST_F(MacroFileTest, HostileFilesAreRefusedWithoutAnyStoreChange) {
  AddMacro();
  const std::string item = "<item desc=\"A\" type=\"2\" value=\"65\" delay_time=\"1\"/>";
  struct Case {
    const char* name;
    std::string bytes;
    ImportStatus status;
  };
  const Case cases[] = {
      {"not xml", "{\"macro\": 1}", ImportStatus::NotXml},
      {"two roots", "<macro/><macro/>", ImportStatus::NotXml},
      {"profile file", "<profile><keyitems/></profile>", ImportStatus::WrongRoot},
      {"invalid utf-8", "<macro><macroitems><item desc=\"\xC0\xAF\"/></macroitems></macro>", ImportStatus::NotUtf8},
      {"deep nesting", Repeat("<macro>", 50) + Repeat("</macro>", 50), ImportStatus::TooDeep},
      {"too many events", "<macro><macroitems>" + Repeat(item, kMaxImportEvents + 1) + "</macroitems></macro>",
       ImportStatus::TooManyItems},
      {"huge description",
       "<macro><macroitems><item desc=\"" + std::string(kMaxImportTextLength + 1, 'x') + "\"/></macroitems></macro>",
       ImportStatus::TextTooLong},
      {"huge name", "<macro><macroinfo name=\"" + std::string(kMaxImportTextLength + 1, 'x') + "\"/></macro>",
       ImportStatus::TextTooLong},
  };
  const std::string before = test::StoreSnapshot(StoreFile());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path file = m_folder / "hostile.xml";
    test::WriteBytes(file, c.bytes);
    const MacroImport result = ImportMacro(m_store, test::Wide(file));
    EXPECT_EQ(result.status, c.status);
    EXPECT_EQ(result.macroId, 0);
    EXPECT_EQ(test::StoreSnapshot(StoreFile()), before);
  }
  EXPECT_EQ(ImportMacro(m_store, test::Wide(m_folder / "absent.xml")).status, ImportStatus::CannotRead);
  EXPECT_EQ(test::StoreSnapshot(StoreFile()), before);

  // A thousand events is still a macro.
  test::WriteBytes(m_folder / "big.xml", "<macro><macroitems>" + Repeat(item, kMaxImportEvents) + "</macroitems></macro>");
  const MacroImport big = ImportMacro(m_store, test::Wide(m_folder / "big.xml"));
  ASSERT_EQ(big.status, ImportStatus::Imported);
  std::vector<MacroItemRecord> events;
  EXPECT_EQ(m_store.ListMacroSteps(big.macroId, events), kMaxImportEvents);
}

}  // namespace
}  // namespace kl
