#include "app/store/DataStore.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "base/Path.h"
#include "tests/TestSupport.h"

namespace kl {
namespace {

namespace fs = std::filesystem;

constexpr wchar_t kModel[] = L"Orvik TR640";

class DataStoreTest : public testing::Test {
 protected:
  void SetUp() override {
    m_folder = test::ScratchFolder();
    fs::create_directories(m_folder / "db");
    m_dataFolder = test::Wide(m_folder);
  }
  fs::path StoreFile() const { return m_folder / "db" / "Orvik TR640_store_v1.db"; }
  bool Open() { return m_store.OpenForDevice(m_dataFolder, kModel); }

  fs::path m_folder;
  std::wstring m_dataFolder;
  DataStore m_store;
};

// Reads a store file with SQLite directly, as any other tool would.
class RawDb {
 public:
  explicit RawDb(const fs::path& path) { m_ok = sqlite3_open_v2(path.c_str(), &m_db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK; }
  ~RawDb() { sqlite3_close(m_db); }
  bool ok() const { return m_ok; }
  std::vector<std::vector<std::string>> Query(const std::string& sql) {
    std::vector<std::vector<std::string>> rows;
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(m_db, sql.c_str(), -1, &s, nullptr) != SQLITE_OK) return rows;
    while (sqlite3_step(s) == SQLITE_ROW) {
      std::vector<std::string> row;
      for (int i = 0; i < sqlite3_column_count(s); ++i) {
        const unsigned char* text = sqlite3_column_text(s, i);
        row.push_back(text ? reinterpret_cast<const char*>(text) : "");
      }
      rows.push_back(row);
    }
    sqlite3_finalize(s);
    return rows;
  }
  int Count(const std::string& table) {
    auto rows = Query("SELECT count(*) FROM " + table);
    return rows.empty() ? -1 : std::stoi(rows[0][0]);
  }

 private:
  sqlite3* m_db = nullptr;
  bool m_ok = false;
};

struct ExpectedTable {
  const char* name;
  const char* columns;  // "name type" pairs, the first the autoincrement key
  const char* index;
  const char* indexColumn;
};

// Existing files must stay readable: names, types and order of every column are fixed.
constexpr ExpectedTable kExpectedSchema[] = {
    {"t_configdata", "config_id INTEGER,profile INTEGER,key TEXT,value TEXT", nullptr, nullptr},
    {"t_profile_data", "profile INTEGER,name TEXT,status INTEGER,app TEXT,type INTEGER", "profileindex", "profile"},
    {"t_key_macro_data",
     "key_id INTEGER,profile INTEGER,fn_layer INTEGER,key_code INTEGER,layout_value INTEGER,layout_desc TEXT,"
     "macro_type INTEGER,macro_value INTEGER,macro_value2 INTEGER,macro_value3 INTEGER,macro_desc TEXT",
     "keyindex", "key_id"},
    {"t_key_otherdata", "macro_value INTEGER,macro_desc TEXT,param TEXT,type INTEGER", "otheridindex", "macro_value"},
    {"t_macro_data", "macro_id INTEGER,play_times INTEGER,delay_type INTEGER,delay_time INTEGER,link_count INTEGER,name TEXT",
     "macroidindex", "macro_id"},
    {"t_macrorecord",
     "record_id INTEGER,macro_id INTEGER,type INTEGER,record_index INTEGER,desc TEXT,value INTEGER,delay_time INTEGER",
     "macrorecordindex", "record_id"},
    {"t_light_data",
     "light_id INTEGER,profile INTEGER,name TEXT,mode INTEGER,brightness INTEGER,speed INTEGER,direction INTEGER,"
     "colorful INTEGER,colorindex INTEGER,color_value INTEGER,config_func INTEGER,reserved INTEGER,status INTEGER",
     "lightindex", "light_id"},
    {"t_key_light_data", "keylight_id INTEGER,profile INTEGER,light_id INTEGER,key_code INTEGER,key_rgb INTEGER",
     "keylightindex", "keylight_id"},
    {"t_musiclayer_data",
     "layer_id INTEGER,profile INTEGER,name TEXT,deviceindex INTEGER,foremode INTEGER,fore_amplitude INTEGER,"
     "backmode INTEGER,backb_right INTEGER,sel INTEGER",
     "musiclayerindex", "layer_id"},
};

void ExpectSchema(const fs::path& file, bool expectEmpty = true) {
  RawDb db(file);
  ASSERT_TRUE(db.ok());
  const auto tables = db.Query("SELECT name FROM sqlite_master WHERE type = 'table' AND name LIKE 't_%' ORDER BY rowid");
  const auto indexes = db.Query("SELECT name, tbl_name FROM sqlite_master WHERE type = 'index' ORDER BY rowid");
  ASSERT_EQ(tables.size(), std::size(kExpectedSchema));
  size_t indexCount = 0;
  for (size_t i = 0; i < std::size(kExpectedSchema); ++i) {
    const ExpectedTable& expected = kExpectedSchema[i];
    SCOPED_TRACE(expected.name);
    EXPECT_EQ(tables[i][0], expected.name);
    std::string columns;
    for (const auto& column : db.Query(std::string("PRAGMA table_info(") + expected.name + ")"))
      columns += (columns.empty() ? "" : ",") + column[1] + " " + column[2];
    EXPECT_EQ(columns, expected.columns);
    const auto sql = db.Query(std::string("SELECT sql FROM sqlite_master WHERE name = '") + expected.name + "'");
    ASSERT_EQ(sql.size(), 1u);
    EXPECT_NE(sql[0][0].find("PRIMARY KEY AUTOINCREMENT"), std::string::npos);
    if (expected.index) {
      ++indexCount;
      const auto info = db.Query(std::string("PRAGMA index_info(") + expected.index + ")");
      ASSERT_EQ(info.size(), 1u) << expected.index;
      EXPECT_EQ(info[0][2], expected.indexColumn);
      const auto owner = db.Query(std::string("SELECT tbl_name FROM sqlite_master WHERE name = '") + expected.index + "'");
      ASSERT_EQ(owner.size(), 1u);
      EXPECT_EQ(owner[0][0], expected.name);
    }
  }
  EXPECT_EQ(indexes.size(), indexCount);
  if (!expectEmpty) return;
  for (const ExpectedTable& expected : kExpectedSchema) EXPECT_EQ(db.Count(expected.name), 0) << expected.name;
}

TEST_F(DataStoreTest, NewFileHasTheExactSchemaAndNoRows) {
  ASSERT_TRUE(Open());
  EXPECT_TRUE(m_store.IsOpen());
  EXPECT_TRUE(m_store.SetAsideFile().empty());
  ExpectSchema(StoreFile());
}

TEST_F(DataStoreTest, NoDbFolderMeansNoStore) {
  fs::remove_all(m_folder / "db");
  EXPECT_FALSE(Open());
  EXPECT_FALSE(m_store.IsOpen());
  EXPECT_FALSE(fs::exists(m_folder / "db"));
}

TEST_F(DataStoreTest, OpeningTheSameModelAgainKeepsTheConnectionAndAnotherModelSwitchesFile) {
  ASSERT_TRUE(Open());
  ProfileRecord profile;
  profile.name = L"first";
  ASSERT_GT(m_store.AddProfile(profile), 0);
  ASSERT_TRUE(Open());
  std::vector<ProfileRecord> list;
  EXPECT_EQ(m_store.ListProfiles(list), 1);

  ASSERT_TRUE(m_store.OpenForDevice(m_dataFolder, L"Other"));
  EXPECT_EQ(m_store.ListProfiles(list), 0);
  EXPECT_TRUE(fs::exists(m_folder / "db" / "Other_store_v1.db"));
  ASSERT_TRUE(Open());
  EXPECT_EQ(m_store.ListProfiles(list), 1);
}

TEST_F(DataStoreTest, FileWithHalfASchemaGetsTheRestOnOpen) {
  {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(StoreFile().c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db,
                           "CREATE TABLE t_configdata(config_id INTEGER PRIMARY KEY AUTOINCREMENT, profile INTEGER, "
                           "key TEXT, value TEXT)",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
  }
  ASSERT_TRUE(Open());
  EXPECT_TRUE(m_store.SetAsideFile().empty());
  m_store.Close();
  ExpectSchema(StoreFile());
  ASSERT_TRUE(Open());
  EXPECT_GT(m_store.AddEmptyMacro(L"works"), 0);
}

struct DamagedFileCase {
  const char* name;
  void (*damage)(const fs::path& file);
};

void WriteGarbage(const fs::path& file) { test::WriteBytes(file, std::string(3000, 'x')); }

void WriteTruncatedHeader(const fs::path& file) { test::WriteBytes(file, std::string("SQLite format 3\0", 16) + std::string(84, '\0')); }

// A real store whose pages after the first are overwritten: SQLite still opens it, the quick
// check finds the damage.
void CorruptPages(const fs::path& file) {
  {
    DataStore store;
    ASSERT_TRUE(store.OpenForDevice(test::Wide(file.parent_path().parent_path()), kModel));
    std::vector<MacroItemRecord> steps(2000);
    for (size_t i = 0; i < steps.size(); ++i) {
      steps[i].macroId = 1;
      steps[i].recordIndex = static_cast<int>(i);
      steps[i].desc = L"some text to fill pages";
    }
    ASSERT_TRUE(store.AddMacroSteps(steps));
  }
  ASSERT_FALSE(fs::exists(file.string() + "-wal"));  // checkpointed on close
  std::fstream f(file, std::ios::in | std::ios::out | std::ios::binary);
  f.seekp(4096 * 3);
  const std::string junk(4096 * 4, '\x5A');
  f.write(junk.data(), static_cast<std::streamsize>(junk.size()));
  ASSERT_TRUE(f.good());
}

TEST_F(DataStoreTest, DamagedFileIsSetAsideKeptAndReplacedByAFreshStore) {
  const DamagedFileCase cases[] = {
      {"not a database", WriteGarbage},
      {"header only", WriteTruncatedHeader},
      {"damaged pages", CorruptPages},
  };
  for (const DamagedFileCase& c : cases) {
    SCOPED_TRACE(c.name);
    m_store.Close();
    fs::remove_all(m_folder / "db");
    fs::create_directories(m_folder / "db");
    c.damage(StoreFile());
    std::ifstream in(StoreFile(), std::ios::binary);
    const std::string before((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());

    ASSERT_TRUE(Open());
    const std::wstring aside = m_store.SetAsideFile();
    ASSERT_FALSE(aside.empty());
    EXPECT_EQ(aside, test::Wide(StoreFile()) + L".damaged-1");
    std::ifstream kept(NativePath(aside), std::ios::binary);
    const std::string after((std::istreambuf_iterator<char>(kept)), std::istreambuf_iterator<char>());
    EXPECT_EQ(after, before);
    EXPECT_GT(m_store.AddEmptyMacro(L"fresh"), 0);
    std::vector<MacroRecord> macros;
    EXPECT_EQ(m_store.ListMacros(macros), 1);
    m_store.Close();
    ExpectSchema(StoreFile(), false);
  }
}

TEST_F(DataStoreTest, SecondDamagedFileDoesNotOverwriteTheFirstOneSetAside) {
  WriteGarbage(StoreFile());
  ASSERT_TRUE(Open());
  m_store.Close();
  test::WriteBytes(StoreFile(), "second");
  ASSERT_TRUE(Open());
  EXPECT_EQ(m_store.SetAsideFile(), test::Wide(StoreFile()) + L".damaged-2");
  EXPECT_EQ(fs::file_size(StoreFile().string() + ".damaged-1"), 3000u);
}

TEST_F(DataStoreTest, DeletingTheStoreRemovesItsSideFilesAndReopeningGivesAnEmptyStore) {
  ASSERT_TRUE(Open());
  ASSERT_GT(m_store.AddEmptyMacro(L"m"), 0);
  ASSERT_TRUE(fs::exists(StoreFile().string() + "-wal"));  // write-ahead log while open
  EXPECT_TRUE(m_store.DeleteStoreFile(m_dataFolder, kModel));
  EXPECT_FALSE(m_store.IsOpen());
  for (const char* suffix : {"", "-wal", "-shm", "-journal"})
    EXPECT_FALSE(fs::exists(StoreFile().string() + suffix)) << suffix;
  ASSERT_TRUE(Open());
  std::vector<MacroRecord> macros;
  EXPECT_EQ(m_store.ListMacros(macros), 0);
}

TEST_F(DataStoreTest, ClosedStoreFailsSoftly) {
  std::wstring value = L"x";
  std::vector<ProfileRecord> profiles(2);
  KeyAssignmentRecord key;
  key.keyCode = 4;
  key.macroValue = 5;
  EXPECT_FALSE(m_store.WriteSetting(L"fn_layer", L"1"));
  EXPECT_FALSE(m_store.ReadSetting(L"fn_layer", value));
  EXPECT_TRUE(value.empty());
  EXPECT_EQ(m_store.AddProfile(ProfileRecord{}), 0);
  EXPECT_EQ(m_store.ListProfiles(profiles), 0);
  EXPECT_TRUE(profiles.empty());
  EXPECT_EQ(m_store.SetKeyAssignment(key), 0);
  EXPECT_EQ(m_store.CurrentProfile(), 0);
  EXPECT_FALSE(m_store.DeleteMacro(1));
  EXPECT_FALSE(m_store.AddMacroSteps({MacroItemRecord{}}));
  EXPECT_FALSE(m_store.RunInTransaction([] { return true; }));
}

class OpenStoreTest : public DataStoreTest {
 protected:
  void SetUp() override {
    DataStoreTest::SetUp();
    ASSERT_TRUE(Open());
  }
  KeyAssignmentRecord Key(int profile, int layer, int code, int type, int value, std::wstring desc = L"") {
    KeyAssignmentRecord r;
    r.profile = profile;
    r.fnLayer = layer;
    r.keyCode = code;
    r.macroType = type;
    r.macroValue = value;
    r.macroDesc = std::move(desc);
    return r;
  }
};

TEST_F(OpenStoreTest, SettingsLiveUnderProfileOneAndUnknownKeysAreNotCreated) {
  ASSERT_TRUE(m_store.InsertDefaultSettings());
  std::wstring value;
  const std::pair<const wchar_t*, const wchar_t*> defaults[] = {
      {L"version", L"1.0.1"}, {L"fn_layer", L"0"},         {L"fn_switch", L"0"},  {L"sleeptime", L"1"},
      {L"key_responsetime", L"1"}, {L"disable_win", L"0"}, {L"customlight_run", L"0"},
  };
  for (const auto& [key, expected] : defaults) {
    EXPECT_TRUE(m_store.ReadSetting(key, value)) << key;
    EXPECT_EQ(value, expected) << key;
  }
  EXPECT_TRUE(m_store.WriteSetting(L"sleeptime", L"3"));
  EXPECT_TRUE(m_store.ReadSetting(L"sleeptime", value));
  EXPECT_EQ(value, L"3");
  EXPECT_TRUE(m_store.WriteSetting(L"no_such_key", L"1"));
  EXPECT_FALSE(m_store.ReadSetting(L"no_such_key", value));
  EXPECT_TRUE(value.empty());
  m_store.Close();
  RawDb db(StoreFile());
  EXPECT_EQ(db.Count("t_configdata"), 14);
  EXPECT_EQ(db.Query("SELECT count(*) FROM t_configdata WHERE profile <> 1")[0][0], "0");
  EXPECT_EQ(db.Query("SELECT key FROM t_configdata ORDER BY config_id LIMIT 1 OFFSET 13")[0][0], "disable_win");
}

TEST_F(OpenStoreTest, ProfilesKeepNonAsciiNamesAndOnlyOneIsCurrent) {
  const std::wstring names[] = {L"配置方案 1", L"Ünïcödé 😀", L"plain"};
  std::vector<int> ids;
  for (const std::wstring& name : names) {
    ProfileRecord r;
    r.name = name;
    r.app = L"app";
    r.status = 1;  // ignored: new profiles are never current
    r.type = 7;
    ids.push_back(m_store.AddProfile(r));
    ASSERT_GT(ids.back(), 0);
  }
  std::vector<ProfileRecord> list(5);
  ASSERT_EQ(m_store.ListProfiles(list), 3);
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(list[i].profile, ids[i]);
    EXPECT_EQ(list[i].name, names[i]);
    EXPECT_EQ(list[i].app, L"app");
    EXPECT_EQ(list[i].status, 0);
    EXPECT_EQ(list[i].type, 0);
  }
  EXPECT_EQ(m_store.CurrentProfile(), 0);
  ASSERT_TRUE(m_store.MakeProfileCurrent(ids[0]));
  ASSERT_TRUE(m_store.MakeProfileCurrent(ids[2]));
  EXPECT_EQ(m_store.CurrentProfile(), ids[2]);
  m_store.ListProfiles(list);
  EXPECT_EQ(std::count_if(list.begin(), list.end(), [](const ProfileRecord& p) { return p.status == 1; }), 1);

  ASSERT_TRUE(m_store.RenameProfile(ids[1], L"新名字"));
  std::wstring name;
  ASSERT_TRUE(m_store.ReadProfileName(ids[1], name));
  EXPECT_EQ(name, L"新名字");
  ASSERT_TRUE(m_store.DeleteProfile(ids[1]));
  name = L"left alone?";
  EXPECT_FALSE(m_store.ReadProfileName(ids[1], name));
  EXPECT_TRUE(name.empty());
}

TEST_F(OpenStoreTest, KeyAssignmentsHaveOneRowPerKeyAndZeroValuesRemoveIt) {
  const int first = m_store.SetKeyAssignment(Key(1, 0, 4, 2, 5, L"B"));
  ASSERT_GT(first, 0);
  const int second = m_store.SetKeyAssignment(Key(1, 0, 4, 2, 6, L"C"));
  ASSERT_GT(second, first);
  ASSERT_GT(m_store.SetKeyAssignment(Key(1, 1, 4, 1, 1)), 0);  // other layer
  ASSERT_GT(m_store.SetKeyAssignment(Key(2, 0, 4, 2, 7)), 0);  // other profile
  std::vector<KeyAssignmentRecord> list;
  ASSERT_EQ(m_store.ListLayerAssignments(1, 0, list), 1);
  EXPECT_EQ(list[0].keyId, second);
  EXPECT_EQ(list[0].macroValue, 6);
  EXPECT_EQ(list[0].macroDesc, L"C");
  EXPECT_EQ(m_store.ListProfileAssignments(1, list), 2);

  // Key code 0 does nothing; both values 0 remove the key's row.
  EXPECT_EQ(m_store.SetKeyAssignment(Key(1, 0, 0, 2, 9)), 0);
  EXPECT_EQ(m_store.SetKeyAssignment(Key(1, 0, 4, 0, 0)), 0);
  KeyAssignmentRecord read;
  EXPECT_FALSE(m_store.ReadKeyAssignment(1, 0, 4, read));
  EXPECT_TRUE(m_store.ReadKeyAssignment(1, 1, 4, read));
  EXPECT_EQ(read.macroType, 1);
  KeyAssignmentRecord modifierOnly = Key(1, 0, 5, 2, 0);
  modifierOnly.macroValue2 = 1;
  EXPECT_GT(m_store.SetKeyAssignment(modifierOnly), 0);

  ASSERT_TRUE(m_store.ClearProfileAssignments(1));
  EXPECT_EQ(m_store.ListProfileAssignments(1, list), 0);
  EXPECT_EQ(m_store.ListProfileAssignments(2, list), 1);
}

TEST_F(OpenStoreTest, MacroAssignmentsFollowRenameAndRemoval) {
  ASSERT_GT(m_store.SetKeyAssignment(Key(1, 0, 4, 3, 9, L"old")), 0);
  ASSERT_GT(m_store.SetKeyAssignment(Key(2, 1, 5, 3, 9, L"old")), 0);
  ASSERT_GT(m_store.SetKeyAssignment(Key(1, 0, 6, 2, 9, L"key, not macro")), 0);
  std::vector<KeyAssignmentRecord> list;
  EXPECT_EQ(m_store.ListMacroAssignments(9, list), 2);
  ASSERT_TRUE(m_store.RenameMacroInAssignments(9, L"宏 新"));
  KeyAssignmentRecord read;
  ASSERT_TRUE(m_store.ReadKeyAssignment(2, 1, 5, read));
  EXPECT_EQ(read.macroDesc, L"宏 新");
  ASSERT_TRUE(m_store.ReadKeyAssignment(1, 0, 6, read));
  EXPECT_EQ(read.macroDesc, L"key, not macro");
  ASSERT_TRUE(m_store.RemoveMacroFromAssignments(9));
  EXPECT_EQ(m_store.ListMacroAssignments(9, list), 0);
  EXPECT_TRUE(m_store.ReadKeyAssignment(1, 0, 6, read));
}

TEST_F(OpenStoreTest, KeyParametersAreReadOnlyWhenTheyExist) {
  const int id = m_store.AddKeyParameter(L"Open editor", L"/usr/bin/editor ü", 8);
  ASSERT_GT(id, 0);
  std::wstring desc, param;
  int type = 0;
  ASSERT_TRUE(m_store.ReadKeyParameter(id, desc, param, type));
  EXPECT_EQ(desc, L"Open editor");
  EXPECT_EQ(param, L"/usr/bin/editor ü");
  EXPECT_EQ(type, 8);
  desc = L"keep";
  EXPECT_TRUE(m_store.ReadKeyParameter(id + 100, desc, param, type));
  EXPECT_EQ(desc, L"keep");
}

TEST_F(OpenStoreTest, MacrosAndTheirStepsInRecordIndexOrder) {
  MacroRecord macro;
  macro.name = L"宏 1";
  macro.playTimes = 3;
  macro.delayType = 3;
  macro.delayTime = 50;
  macro.linkCount = 0;
  const int id = m_store.AddMacro(macro);
  ASSERT_GT(id, 0);
  const int empty = m_store.AddEmptyMacro(L"empty");
  std::vector<MacroItemRecord> steps;
  for (int index : {2, 0, 1}) {
    MacroItemRecord step;
    step.macroId = id;
    step.type = index == 1 ? 1 : 2;
    step.recordIndex = index;
    step.value = 0x41 + index;
    step.delayTime = index * 10;
    step.desc = L"键" + std::to_wstring(index);
    steps.push_back(step);
  }
  ASSERT_TRUE(m_store.AddMacroSteps(steps));
  std::vector<MacroItemRecord> read(3);
  ASSERT_EQ(m_store.ListMacroSteps(id, read), 3);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(read[i].recordIndex, i);
    EXPECT_EQ(read[i].value, 0x41 + i);
    EXPECT_EQ(read[i].desc, L"键" + std::to_wstring(i));
    EXPECT_EQ(read[i].macroId, id);
  }
  EXPECT_EQ(m_store.CountNonType1Steps(id), 2);

  MacroRecord back;
  ASSERT_TRUE(m_store.ReadMacro(id, back));
  EXPECT_EQ(back.name, L"宏 1");
  EXPECT_EQ(back.playTimes, 3);
  EXPECT_EQ(back.delayType, 3);
  EXPECT_EQ(back.delayTime, 50);
  ASSERT_TRUE(m_store.ReadMacro(empty, back));
  EXPECT_EQ(back.playTimes, 1);
  EXPECT_EQ(back.delayType, 1);
  EXPECT_EQ(back.delayTime, 0);

  back.macroId = id;
  back.playTimes = 7;
  back.delayType = 2;
  back.delayTime = 20;
  ASSERT_TRUE(m_store.UpdateMacroOptions(back));
  int times = 0;
  ASSERT_TRUE(m_store.ReadPlayTimes(id, times));
  EXPECT_EQ(times, 7);
  ASSERT_TRUE(m_store.RenameMacro(id, L"renamed"));

  ASSERT_TRUE(m_store.ReplaceMacroSteps(id, {steps[0]}));
  EXPECT_EQ(m_store.ListMacroSteps(id, read), 1);

  ASSERT_GT(m_store.SetKeyAssignment(Key(1, 0, 4, 3, id)), 0);
  ASSERT_TRUE(m_store.DeleteMacro(id));
  EXPECT_FALSE(m_store.ReadMacro(id, back));
  EXPECT_EQ(m_store.ListMacroSteps(id, read), 0);
  std::vector<MacroRecord> macros;
  ASSERT_EQ(m_store.ListMacros(macros), 1);
  EXPECT_EQ(macros[0].name, L"empty");
  KeyAssignmentRecord key;
  EXPECT_TRUE(m_store.ReadKeyAssignment(1, 0, 4, key));  // the macro model removes these
}

TEST_F(OpenStoreTest, LightModesKeyColoursAndMusicLayer) {
  LightModeRecord light;
  light.profile = 1;
  light.name = L"波浪";
  light.mode = 5;
  light.brightness = 3;
  light.colorValue = 0x00FF8040;
  light.configFunc = 0x100;
  ASSERT_GT(m_store.AddLightMode(light), 0);
  light.mode = 6;
  ASSERT_GT(m_store.AddLightMode(light), 0);
  EXPECT_EQ(m_store.CountLightModes(1), 2);
  light.brightness = 1;
  light.speed = 2;
  ASSERT_TRUE(m_store.UpdateLightMode(1, 5, light));
  LightModeRecord read;
  ASSERT_TRUE(m_store.ReadLightMode(1, 5, read));
  EXPECT_EQ(read.brightness, 1);
  EXPECT_EQ(read.speed, 2);
  EXPECT_EQ(read.name, L"波浪");
  EXPECT_EQ(read.colorValue, 0x00FF8040);
  ASSERT_TRUE(m_store.MakeLightModeCurrent(1, 6));
  EXPECT_EQ(m_store.CurrentLightMode(1), 6);
  std::vector<LightModeRecord> modes;
  EXPECT_EQ(m_store.ListLightModes(1, modes), 2);

  EXPECT_EQ(m_store.AddKeyColours({{0, 1, 128, 4, 0xFFFFFF}, {0, 2, 128, 7, 0x0000FF}, {0, 1, 3, 9, 1}}), 3);
  std::vector<KeyLightRecord> colours;
  ASSERT_EQ(m_store.ListKeyColours(128, colours), 2);
  EXPECT_EQ(colours[1].keyCode, 7);
  EXPECT_EQ(colours[1].keyRgb, 0x0000FF);
  ASSERT_TRUE(m_store.ClearCustomKeyColours());
  EXPECT_EQ(m_store.ListKeyColours(128, colours), 0);
  EXPECT_EQ(m_store.ListKeyColours(3, colours), 1);

  EXPECT_EQ(m_store.CountMusicLayers(), 0);
  const int layer = m_store.AddMusicLayer(L"music", 2);
  ASSERT_EQ(layer, 1);
  MusicLayerRecord music;
  ASSERT_TRUE(m_store.ReadMusicLayer(layer, music));
  EXPECT_EQ(music.foreMode, 2);
  EXPECT_EQ(music.foreAmplitude, 300);
  EXPECT_EQ(music.backBrightness, 100);
  music.foreAmplitude = 120;
  ASSERT_TRUE(m_store.UpdateMusicLayer(music));
  ASSERT_TRUE(m_store.ReadMusicLayer(layer, music));
  EXPECT_EQ(music.foreAmplitude, 120);
  EXPECT_EQ(m_store.SelectedMusicLayer(), 0);
  ASSERT_TRUE(m_store.SelectMusicLayer());
  EXPECT_EQ(m_store.SelectedMusicLayer(), 1);
}

TEST_F(OpenStoreTest, FailedTransactionLeavesNothingBehind) {
  const bool committed = m_store.RunInTransaction([&] {
    EXPECT_GT(m_store.AddEmptyMacro(L"gone"), 0);
    EXPECT_GT(m_store.SetKeyAssignment(Key(1, 0, 4, 2, 5)), 0);  // joins the outer transaction
    return false;
  });
  EXPECT_FALSE(committed);
  std::vector<MacroRecord> macros;
  EXPECT_EQ(m_store.ListMacros(macros), 0);
  KeyAssignmentRecord read;
  EXPECT_FALSE(m_store.ReadKeyAssignment(1, 0, 4, read));
}

TEST_F(OpenStoreTest, ConcurrentWritersAreSerialised) {
  constexpr int kPerThread = 50;
  auto writer = [&](int base) {
    for (int i = 0; i < kPerThread; ++i) {
      const int id = m_store.AddEmptyMacro(L"m" + std::to_wstring(base + i));
      std::vector<MacroItemRecord> steps(3);
      for (auto& s : steps) s.macroId = id;
      m_store.ReplaceMacroSteps(id, steps);
    }
  };
  std::thread a(writer, 0), b(writer, 1000);
  a.join();
  b.join();
  std::vector<MacroRecord> macros;
  ASSERT_EQ(m_store.ListMacros(macros), 2 * kPerThread);
  std::vector<MacroItemRecord> steps;
  for (const MacroRecord& m : macros) EXPECT_EQ(m_store.ListMacroSteps(m.macroId, steps), 3) << m.macroId;
}

// ---- a process that dies in the middle of a batch ----

constexpr int kBatchRows = 400;

std::vector<MacroItemRecord> Batch(int macroId) {
  std::vector<MacroItemRecord> steps(kBatchRows);
  for (int i = 0; i < kBatchRows; ++i) {
    steps[i].macroId = macroId;
    steps[i].recordIndex = i;
    steps[i].desc = L"step";
  }
  return steps;
}

// Every macro's steps are all there or none are.
void ExpectWholeBatches(DataStore& store, int expectedMacrosAtLeast) {
  std::vector<MacroRecord> macros;
  store.ListMacros(macros);
  EXPECT_GE(static_cast<int>(macros.size()), expectedMacrosAtLeast);
  std::vector<MacroItemRecord> steps;
  for (const MacroRecord& m : macros) {
    const int count = store.ListMacroSteps(m.macroId, steps);
    EXPECT_TRUE(count == 0 || count == kBatchRows) << "macro " << m.macroId << " has " << count;
  }
}

TEST_F(DataStoreTest, ProcessExitingInsideATransactionLeavesTheOldStore) {
  ASSERT_TRUE(Open());
  const int kept = m_store.AddEmptyMacro(L"before");
  ASSERT_TRUE(m_store.AddMacroSteps(Batch(kept)));
  m_store.Close();

  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    SQLiteDB db;
    if (!db.Open(StoreFile().string(), SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX)) _exit(2);
    SQLiteAutoTransaction transaction(&db);
    SQLiteStatement s;
    for (int i = 0; i < kBatchRows / 2; ++i) {
      db.Prepare(s, "INSERT INTO t_macrorecord(macro_id, type, record_index) VALUES (1, 2, 999)");
      s.Step();
    }
    db.Prepare(s, "DELETE FROM t_macro_data");
    s.Step();
    _exit(0);  // no commit, no destructors
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_EQ(WEXITSTATUS(status), 0);

  ASSERT_TRUE(Open());
  EXPECT_TRUE(m_store.SetAsideFile().empty());
  std::vector<MacroItemRecord> steps;
  EXPECT_EQ(m_store.ListMacroSteps(kept, steps), kBatchRows);
  std::vector<MacroRecord> macros;
  EXPECT_EQ(m_store.ListMacros(macros), 1);
}

TEST_F(DataStoreTest, ProcessKilledWhileWritingBatchesLeavesEachBatchWholeOrAbsent) {
  ASSERT_TRUE(Open());
  m_store.Close();
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(ready[0]);
    DataStore store;
    if (!store.OpenForDevice(m_dataFolder, kModel)) _exit(2);
    for (int n = 0;; ++n) {
      const int id = store.AddEmptyMacro(L"batch");
      store.AddMacroSteps(Batch(id));
      if (n == 2) {
        const char byte = 1;
        if (write(ready[1], &byte, 1) != 1) _exit(3);
      }
    }
  }
  close(ready[1]);
  char byte = 0;
  ASSERT_EQ(read(ready[0], &byte, 1), 1);  // three batches are committed; more are under way
  close(ready[0]);
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  ASSERT_EQ(kill(child, SIGKILL), 0);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status));

  ASSERT_TRUE(Open());
  EXPECT_TRUE(m_store.SetAsideFile().empty());
  ExpectWholeBatches(m_store, 3);
}

TEST(StoreText, Utf8ConversionStopsAtZeroAndAcceptsNull) {
  EXPECT_EQ(ToUtf8(std::wstring(L"ab\0cd", 5)), "ab");
  EXPECT_EQ(ToUtf8(L"配置"), "\xE9\x85\x8D\xE7\xBD\xAE");
  EXPECT_EQ(FromUtf8(nullptr), L"");
  EXPECT_EQ(FromUtf8(reinterpret_cast<const unsigned char*>("\xE5\xAE\x8F 1")), L"宏 1");
}

TEST(StorePath, ModelNameGoesIntoTheDbFolder) {
  EXPECT_EQ(DataStore::StorePath(L"/home/u/.local/share/Keyloft Data", L"Orvik TR640"),
            L"/home/u/.local/share/Keyloft Data/db/Orvik TR640_store_v1.db");
}

}  // namespace
}  // namespace kl
