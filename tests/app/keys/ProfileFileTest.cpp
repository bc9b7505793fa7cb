#include "app/keys/ProfileFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/keys/KeyCatalog.h"
#include "tests/TestSupport.h"
#include "tests/app/store/StoreSnapshot.h"

namespace kl {
namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

class ProfileFileTest : public testing::Test {
 protected:
  void SetUp() override {
    m_folder = test::ScratchFolder();
    fs::create_directories(m_folder / "db");
    ASSERT_TRUE(m_store.OpenForDevice(test::Wide(m_folder), L"M"));
    ProfileRecord p;
    p.name = L"Source";
    m_profile = m_store.AddProfile(p);
    ASSERT_GT(m_profile, 0);
  }
  int AddMacro(const std::wstring& name, int events) {
    MacroRecord m;
    m.name = name;
    m.playTimes = 4;
    m.delayType = 3;
    m.delayTime = 25;
    const int id = m_store.AddMacro(m);
    std::vector<MacroItemRecord> steps;
    for (int i = 0; i < events; ++i) {
      MacroItemRecord s;
      s.macroId = id;
      s.type = i % 2 ? 3 : 2;
      s.recordIndex = i;
      s.value = 0x41 + i / 2;
      s.delayTime = 10 * i;
      s.desc = L"键 \"" + std::to_wstring(i) + L"\" & <";
      steps.push_back(s);
    }
    EXPECT_TRUE(m_store.AddMacroSteps(steps));
    return id;
  }
  void Assign(int profile, int layer, int code, int type, int value, const std::wstring& desc) {
    KeyAssignmentRecord r;
    r.profile = profile;
    r.fnLayer = layer;
    r.keyCode = code;
    r.macroType = type;
    r.macroValue = value;
    r.macroDesc = desc;
    r.layoutValue = 3;
    r.layoutDesc = L"layout";
    ASSERT_GT(m_store.SetKeyAssignment(r), 0);
  }
  fs::path StoreFile() const { return m_folder / "db" / "M_store_v1.db"; }

  fs::path m_folder;
  DataStore m_store;
  int m_profile = 0;
};

TEST_F(ProfileFileTest, ExportWritesTheExactFormat) {
  const int macro = AddMacro(L"宏 1", 1);
  Assign(m_profile, 0, 4, kAssignKey, 5, L"B");
  Assign(m_profile, 1, 7, kAssignMacro, macro, L"宏 1");
  const fs::path file = m_folder / "out.xml";
  ASSERT_TRUE(ExportProfile(m_store, m_profile, L"Shown & named", test::Wide(file)));
  const std::string expected =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
      "<profile>\r\n"
      "<profileinfo name=\"Shown &amp; named\"/>\r\n"
      "<keyitems>\r\n"
      "<item fn_layer=\"0\" key_code=\"4\" layout_value=\"3\" layout_desc=\"layout\" macro_type=\"2\" macro_value=\"5\" "
      "macro_value2=\"0\" macro_value3=\"0\" macro_desc=\"B\"/>\r\n"
      "<item fn_layer=\"1\" key_code=\"7\" layout_value=\"3\" layout_desc=\"layout\" macro_type=\"3\" macro_value=\"" +
      std::to_string(macro) +
      "\" macro_value2=\"0\" macro_value3=\"0\" macro_desc=\"\xE5\xAE\x8F 1\"/>\r\n"
      "</keyitems>\r\n"
      "<macroinfo name=\"\xE5\xAE\x8F 1\" macro_id=\"" +
      std::to_string(macro) +
      "\" times=\"4\" type=\"3\" delaytime=\"25\">\r\n"
      "<macroitems>\r\n"
      "<item desc=\"\xE9\x94\xAE &quot;0&quot; &amp; &lt;\" type=\"2\" value=\"65\" delay_time=\"0\"/>\r\n"
      "</macroitems>\r\n"
      "</macroinfo>\r\n"
      "</profile>";
  EXPECT_EQ(ReadAll(file), expected);
}

TEST_F(ProfileFileTest, RoundTripIntoAnotherStoreKeepsEveryFieldAndType) {
  const int macro = AddMacro(L"Macro 1", 6);
  Assign(m_profile, 0, 4, kAssignKey, 5, L"B");
  Assign(m_profile, 0, 5, kAssignDisabled, 1, L"Disabled");
  Assign(m_profile, 1, 6, kAssignMacro, macro, L"Macro 1");
  Assign(m_profile, 1, 8, kAssignShortcut, 13, L"shortcut");
  Assign(m_profile, 0, 9, kAssignTypeText, 77, L"type this");  // types the pages never create
  Assign(m_profile, 0, 10, kAssignList5, 8, L"list five");
  const fs::path file = m_folder / "Gaming.profile.xml";
  ASSERT_TRUE(ExportProfile(m_store, m_profile, L"Source", test::Wide(file)));

  const fs::path otherFolder = m_folder / "other";
  fs::create_directories(otherFolder / "db");
  DataStore other;
  ASSERT_TRUE(other.OpenForDevice(test::Wide(otherFolder), L"M"));
  ASSERT_GT(other.AddEmptyMacro(L"already here"), 0);
  const ProfileImport result = ImportProfile(other, test::Wide(file));
  ASSERT_EQ(result.status, ImportStatus::Imported);
  EXPECT_EQ(result.name, L"Gaming");  // the file title up to its first dot
  ASSERT_EQ(result.newMacros.size(), 1u);

  std::vector<KeyAssignmentRecord> original, imported;
  m_store.ListProfileAssignments(m_profile, original);
  other.ListProfileAssignments(result.profile, imported);
  ASSERT_EQ(imported.size(), original.size());
  for (size_t i = 0; i < original.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(imported[i].fnLayer, original[i].fnLayer);
    EXPECT_EQ(imported[i].keyCode, original[i].keyCode);
    EXPECT_EQ(imported[i].macroType, original[i].macroType);
    EXPECT_EQ(imported[i].layoutValue, 3);
    EXPECT_EQ(imported[i].layoutDesc, L"layout");
    EXPECT_EQ(imported[i].macroDesc, original[i].macroDesc);
    EXPECT_EQ(imported[i].macroValue,
              original[i].macroType == kAssignMacro ? result.newMacros[0] : original[i].macroValue);
  }
  MacroRecord copy;
  ASSERT_TRUE(other.ReadMacro(result.newMacros[0], copy));
  EXPECT_EQ(copy.name, L"Macro 1");
  EXPECT_EQ(copy.playTimes, 4);
  EXPECT_EQ(copy.delayType, 3);
  EXPECT_EQ(copy.delayTime, 25);
  std::vector<MacroItemRecord> a, b;
  m_store.ListMacroSteps(macro, a);
  other.ListMacroSteps(copy.macroId, b);
  ASSERT_EQ(b.size(), 6u);
  for (size_t i = 0; i < a.size(); ++i) {
    EXPECT_EQ(b[i].desc, a[i].desc);
    EXPECT_EQ(b[i].type, a[i].type);
    EXPECT_EQ(b[i].value, a[i].value);
    EXPECT_EQ(b[i].delayTime, a[i].delayTime);
    EXPECT_EQ(b[i].recordIndex, static_cast<int>(i));
  }
}

TEST_F(ProfileFileTest, MacrosKnownByNameAndIdAreKeptAndRepeatedOnesPointAtTheLastCopy) {
  const int shared = AddMacro(L"shared", 2);
  Assign(m_profile, 0, 4, kAssignMacro, shared, L"shared");
  Assign(m_profile, 0, 5, kAssignMacro, shared, L"shared");
  const fs::path file = m_folder / "two keys.xml";
  ASSERT_TRUE(ExportProfile(m_store, m_profile, L"x", test::Wide(file)));
  const std::string text = ReadAll(file);
  size_t macroinfos = 0;
  for (size_t at = text.find("<macroinfo"); at != std::string::npos; at = text.find("<macroinfo", at + 1)) ++macroinfos;
  EXPECT_EQ(macroinfos, 2u);

  // Same store: the macro is recognised, nothing is duplicated, keys keep its id.
  ProfileImport same = ImportProfile(m_store, test::Wide(file));
  ASSERT_EQ(same.status, ImportStatus::Imported);
  EXPECT_TRUE(same.newMacros.empty());
  std::vector<MacroRecord> macros;
  EXPECT_EQ(m_store.ListMacros(macros), 1);
  KeyAssignmentRecord key;
  ASSERT_TRUE(m_store.ReadKeyAssignment(same.profile, 0, 4, key));
  EXPECT_EQ(key.macroValue, shared);

  // After a rename the macro no longer matches: two copies, both keys on the second.
  ASSERT_TRUE(m_store.RenameMacro(shared, L"renamed"));
  ProfileImport renamed = ImportProfile(m_store, test::Wide(file));
  ASSERT_EQ(renamed.status, ImportStatus::Imported);
  ASSERT_EQ(renamed.newMacros.size(), 2u);
  for (int code : {4, 5}) {
    ASSERT_TRUE(m_store.ReadKeyAssignment(renamed.profile, 0, code, key));
    EXPECT_EQ(key.macroValue, renamed.newMacros[1]);
  }
  EXPECT_EQ(renamed.name, L"two keys");
}

TEST(ImportedName, TitleUpToTheFirstDotOrTheWholeTitle) {
  const std::pair<const wchar_t*, const wchar_t*> cases[] = {
      {L"/home/u/My keys.xml", L"My keys"},
      {L"/home/u/a.b.xml", L"a"},
      {L"/home/u/no dot", L"no dot"},
      {L"C:\\Users\\u\\配置.xml", L"配置"},
      {L"/x.y/plain", L"plain"},
      {L"/t/0123456789012345678901234567890123456789012345678901234567890123456789.xml",
       L"0123456789012345678901234567890123456789012345678901234567890123"},
  };
  for (const auto& [path, name] : cases) EXPECT_EQ(ImportedName(path), name) << testing::PrintToString(path);
}

std::string Repeat(const std::string& piece, int count) {
  std::string out;
  for (int i = 0; i < count; ++i) out += piece;
  return out;
}

TEST_F(ProfileFileTest, HostileFilesAreRefusedWithoutAnyStoreChange) {
  const std::string head = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n";
  const std::string item = "<item fn_layer=\"0\" key_code=\"4\" macro_type=\"2\" macro_value=\"5\"/>\r\n";
  const std::string event = "<item desc=\"A\" type=\"2\" value=\"65\" delay_time=\"1\"/>\r\n";
  struct Case {
    const char* name;
    std::string bytes;
    ImportStatus status;
  };
  const Case cases[] = {
      {"empty file", "", ImportStatus::NotXml},
      {"not xml", "this is not xml at all", ImportStatus::NotXml},
      {"binary", std::string("\x00\x01\x02<profile/>", 13), ImportStatus::NotXml},
      {"unclosed", head + "<profile><keyitems>" + item, ImportStatus::NotXml},
      {"invalid utf-8", head + "<profile><profileinfo name=\"\xFF\xFE\xC3\"/></profile>", ImportStatus::NotUtf8},
      {"utf-16", std::string("\xFF\xFE<\0p\0/\0>\0", 10), ImportStatus::NotUtf8},
      {"macro file", head + "<macro><macroinfo name=\"m\"/></macro>", ImportStatus::WrongRoot},
      {"deep nesting", head + "<profile>" + Repeat("<keyitems>", 20000) + Repeat("</keyitems>", 20000) + "</profile>",
       ImportStatus::TooDeep},
      {"deep unclosed", head + Repeat("<a>", 100000), ImportStatus::TooDeep},
      {"too many key items", head + "<profile><keyitems>" + Repeat(item, kMaxImportKeyItems + 1) + "</keyitems></profile>",
       ImportStatus::TooManyItems},
      {"too many events",
       head + "<profile><keyitems>" + item + "</keyitems><macroinfo name=\"m\" macro_id=\"1\"><macroitems>" +
           Repeat(event, kMaxImportEvents + 1) + "</macroitems></macroinfo></profile>",
       ImportStatus::TooManyItems},
      {"too many macros",
       head + "<profile><keyitems/>" + Repeat("<macroinfo name=\"m\" macro_id=\"1\"/>", kMaxImportMacros + 1) + "</profile>",
       ImportStatus::TooManyItems},
      {"huge name", head + "<profile><macroinfo name=\"" + std::string(5000, 'n') + "\"/></profile>",
       ImportStatus::TextTooLong},
      {"huge description",
       head + "<profile><keyitems><item key_code=\"4\" macro_value=\"1\" macro_desc=\"" + std::string(5000, 'd') +
           "\"/></keyitems></profile>",
       ImportStatus::TextTooLong},
      {"layer 2", head + "<profile><keyitems><item fn_layer=\"2\" key_code=\"4\" macro_value=\"1\"/></keyitems></profile>",
       ImportStatus::BadValue},
      {"key code 300",
       head + "<profile><keyitems><item fn_layer=\"0\" key_code=\"300\" macro_value=\"1\"/></keyitems></profile>",
       ImportStatus::BadValue},
      {"later bad item",
       head + "<profile><keyitems>" + item + "<item fn_layer=\"-1\" key_code=\"5\" macro_value=\"1\"/></keyitems></profile>",
       ImportStatus::BadValue},
      {"too large", head + "<profile>" + std::string(kMaxImportFileBytes, ' ') + "</profile>", ImportStatus::TooLarge},
  };
  const std::string before = test::StoreSnapshot(StoreFile());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path file = m_folder / "hostile.xml";
    test::WriteBytes(file, c.bytes);
    const ProfileImport result = ImportProfile(m_store, test::Wide(file));
    EXPECT_EQ(result.status, c.status);
    EXPECT_EQ(result.profile, 0);
    EXPECT_EQ(test::StoreSnapshot(StoreFile()), before);
  }
  EXPECT_EQ(ImportProfile(m_store, test::Wide(m_folder / "missing.xml")).status, ImportStatus::CannotRead);
  EXPECT_EQ(test::StoreSnapshot(StoreFile()), before);
}

TEST_F(ProfileFileTest, ImportAppliesDefaultsAndClampsDelays) {
  const fs::path file = m_folder / "defaults";
  test::WriteBytes(file,
                   "<profile><keyitems>"
                   "<item fn_layer=\"0\" key_code=\"4\" macro_type=\"3\" macro_value=\"42\"/>"
                   "<item fn_layer=\"0\" key_code=\"0\" macro_type=\"2\" macro_value=\"5\"/>"
                   "<item fn_layer=\"1\" key_code=\"6\" macro_type=\"2\" macro_value=\"0\"/>"
                   "</keyitems>"
                   "<macroinfo name=\"m\" macro_id=\"42\" delaytime=\"99999\"><macroitems>"
                   "<item desc=\"A\" type=\"2\" value=\"65\" delay_time=\"40000\"/>"
                   "<item desc=\"A\" type=\"5\" value=\"65\" delay_time=\"-5\"/>"
                   "</macroitems></macroinfo></profile>");
  const ProfileImport result = ImportProfile(m_store, test::Wide(file));
  ASSERT_EQ(result.status, ImportStatus::Imported);
  EXPECT_EQ(result.name, L"defaults");
  ASSERT_EQ(result.newMacros.size(), 1u);
  MacroRecord macro;
  ASSERT_TRUE(m_store.ReadMacro(result.newMacros[0], macro));
  EXPECT_EQ(macro.playTimes, 1);
  EXPECT_EQ(macro.delayType, 1);
  EXPECT_EQ(macro.delayTime, 31000);
  std::vector<MacroItemRecord> events;
  ASSERT_EQ(m_store.ListMacroSteps(macro.macroId, events), 2);
  EXPECT_EQ(events[0].delayTime, 31000);
  EXPECT_EQ(events[1].delayTime, 0);
  EXPECT_EQ(events[1].type, 5);  // kept, never sent
  std::vector<KeyAssignmentRecord> keys;
  ASSERT_EQ(m_store.ListProfileAssignments(result.profile, keys), 1);  // key code 0 and value 0 store nothing
  EXPECT_EQ(keys[0].macroValue, macro.macroId);
}

}  // namespace
}  // namespace kl
