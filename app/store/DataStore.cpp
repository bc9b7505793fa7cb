#include "app/store/DataStore.h"

#include <sqlite3.h>

#include <filesystem>
#include <system_error>

#include "base/CString.h"
#include "base/Encoding.h"
#include "base/Path.h"

namespace kl {

namespace {

// Tables and indexes of the store. Names, types and column order are fixed: existing files must
// stay readable, and the "SELECT *" reads take columns by position. Every statement may run
// again on a complete file.
constexpr const char* kSchema[] = {
    "CREATE TABLE IF NOT EXISTS t_configdata(config_id INTEGER PRIMARY KEY AUTOINCREMENT, profile INTEGER, "
    "key TEXT, value TEXT)",
    "CREATE TABLE IF NOT EXISTS t_profile_data(profile INTEGER PRIMARY KEY AUTOINCREMENT, name TEXT, "
    "status INTEGER, app TEXT, type INTEGER)",
    "CREATE INDEX IF NOT EXISTS profileindex ON t_profile_data(profile)",
    "CREATE TABLE IF NOT EXISTS t_key_macro_data(key_id INTEGER PRIMARY KEY AUTOINCREMENT, profile INTEGER, "
    "fn_layer INTEGER, key_code INTEGER, layout_value INTEGER, layout_desc TEXT, macro_type INTEGER, "
    "macro_value INTEGER, macro_value2 INTEGER, macro_value3 INTEGER, macro_desc TEXT)",
    "CREATE INDEX IF NOT EXISTS keyindex ON t_key_macro_data(key_id)",
    "CREATE TABLE IF NOT EXISTS t_key_otherdata(macro_value INTEGER PRIMARY KEY AUTOINCREMENT, macro_desc TEXT, "
    "param TEXT, type INTEGER)",
    "CREATE INDEX IF NOT EXISTS otheridindex ON t_key_otherdata(macro_value)",
    "CREATE TABLE IF NOT EXISTS t_macro_data(macro_id INTEGER PRIMARY KEY AUTOINCREMENT, play_times INTEGER, "
    "delay_type INTEGER, delay_time INTEGER, link_count INTEGER, name TEXT)",
    "CREATE INDEX IF NOT EXISTS macroidindex ON t_macro_data(macro_id)",
    "CREATE TABLE IF NOT EXISTS t_macrorecord(record_id INTEGER PRIMARY KEY AUTOINCREMENT, macro_id INTEGER, "
    "type INTEGER, record_index INTEGER, desc TEXT, value INTEGER, delay_time INTEGER)",
    "CREATE INDEX IF NOT EXISTS macrorecordindex ON t_macrorecord(record_id)",
    "CREATE TABLE IF NOT EXISTS t_light_data(light_id INTEGER PRIMARY KEY AUTOINCREMENT, profile INTEGER, "
    "name TEXT, mode INTEGER, brightness INTEGER, speed INTEGER, direction INTEGER, colorful INTEGER, "
    "colorindex INTEGER, color_value INTEGER, config_func INTEGER, reserved INTEGER, status INTEGER)",
    "CREATE INDEX IF NOT EXISTS lightindex ON t_light_data(light_id)",
    "CREATE TABLE IF NOT EXISTS t_key_light_data(keylight_id INTEGER PRIMARY KEY AUTOINCREMENT, profile INTEGER, "
    "light_id INTEGER, key_code INTEGER, key_rgb INTEGER)",
    "CREATE INDEX IF NOT EXISTS keylightindex ON t_key_light_data(keylight_id)",
    "CREATE TABLE IF NOT EXISTS t_musiclayer_data(layer_id INTEGER PRIMARY KEY AUTOINCREMENT, profile INTEGER, "
    "name TEXT, deviceindex INTEGER, foremode INTEGER, fore_amplitude INTEGER, backmode INTEGER, "
    "backb_right INTEGER, sel INTEGER)",
    "CREATE INDEX IF NOT EXISTS musiclayerindex ON t_musiclayer_data(layer_id)",
};

// The settings rows a new store gets, all under profile 1, in this order.
constexpr const wchar_t* kDefaultSettings[][2] = {
    {L"version", L"1.0.1"},       {L"keyboard_layout", L"1"}, {L"fn_layer", L"0"},
    {L"fn_switch", L"0"},         {L"lightmode", L"1"},       {L"sleep_light", L"1"},
    {L"sleeptime", L"1"},         {L"key_responsetime", L"1"}, {L"userlight", L"0"},
    {L"customlight_run", L"0"},   {L"gamemode", L"0"},        {L"disable_alttab", L"0"},
    {L"disable_altf4", L"0"},     {L"disable_win", L"0"},
};

constexpr int kSettingsProfile = 1;
constexpr int kMacroAssignment = 3;

// A write counts as done for every result but an error.
bool Succeeded(int result) { return result == SQLITE_OK || result == SQLITE_ROW || result == SQLITE_DONE; }

std::wstring ColumnString(const SQLiteStatement& statement, int index) {
  return FromUtf8(statement.ColumnText(index));
}

void ReadProfile(const SQLiteStatement& s, ProfileRecord& r) {
  r.profile = s.ColumnInt(0);
  r.name = ColumnString(s, 1);
  r.status = s.ColumnInt(2);
  r.app = ColumnString(s, 3);
  r.type = s.ColumnInt(4);
}

void ReadMusicLayer(const SQLiteStatement& s, MusicLayerRecord& r) {
  r.layerId = s.ColumnInt(0);
  r.profile = s.ColumnInt(1);
  r.name = ColumnString(s, 2);
  r.deviceIndex = s.ColumnInt(3);
  r.foreMode = s.ColumnInt(4);
  r.foreAmplitude = s.ColumnInt(5);
  r.backMode = s.ColumnInt(6);
  r.backBrightness = s.ColumnInt(7);
}

void ReadAssignment(const SQLiteStatement& s, KeyAssignmentRecord& r) {
  r.keyId = s.ColumnInt(0);
  r.profile = s.ColumnInt(1);
  r.fnLayer = s.ColumnInt(2);
  r.keyCode = s.ColumnInt(3);
  r.layoutValue = s.ColumnInt(4);
  r.layoutDesc = ColumnString(s, 5);
  r.macroType = s.ColumnInt(6);
  r.macroValue = s.ColumnInt(7);
  r.macroValue2 = s.ColumnInt(8);
  r.macroValue3 = s.ColumnInt(9);
  r.macroDesc = ColumnString(s, 10);
}

void ReadLightMode(const SQLiteStatement& s, LightModeRecord& r) {
  r.lightId = s.ColumnInt(0);
  r.profile = s.ColumnInt(1);
  r.name = ColumnString(s, 2);
  r.mode = s.ColumnInt(3);
  r.brightness = s.ColumnInt(4);
  r.speed = s.ColumnInt(5);
  r.direction = s.ColumnInt(6);
  r.colorful = s.ColumnInt(7);
  r.colorIndex = s.ColumnInt(8);
  r.colorValue = s.ColumnInt(9);
  r.configFunc = s.ColumnInt(10);
  r.reserved = s.ColumnInt(11);
  r.status = s.ColumnInt(12);
}

void ReadKeyLight(const SQLiteStatement& s, KeyLightRecord& r) {
  r.keyLightId = s.ColumnInt(0);
  r.profile = s.ColumnInt(1);
  r.lightId = s.ColumnInt(2);
  r.keyCode = s.ColumnInt(3);
  r.keyRgb = s.ColumnInt(4);
}

void ReadMacro(const SQLiteStatement& s, MacroRecord& r) {
  r.macroId = s.ColumnInt(0);
  r.playTimes = s.ColumnInt(1);
  r.delayType = s.ColumnInt(2);
  r.delayTime = s.ColumnInt(3);
  r.linkCount = s.ColumnInt(4);
  r.name = ColumnString(s, 5);
}

void ReadMacroItem(const SQLiteStatement& s, MacroItemRecord& r) {
  r.recordId = s.ColumnInt(0);
  r.macroId = s.ColumnInt(1);
  r.type = s.ColumnInt(2);
  r.recordIndex = s.ColumnInt(3);
  r.desc = ColumnString(s, 4);
  r.value = s.ColumnInt(5);
  r.delayTime = s.ColumnInt(6);
}

// Steps a prepared query and appends one record per row.
template <typename Record, typename Reader>
int CollectRows(SQLiteStatement& statement, std::vector<Record>& list, Reader read) {
  while (statement.Step() == SQLITE_ROW) {
    Record record;
    read(statement, record);
    list.push_back(std::move(record));
  }
  return static_cast<int>(list.size());
}

// Runs a single-integer query such as a count; `fallback` when no row comes back.
int QueryInt(SQLiteStatement& statement, int fallback = 0) {
  return statement.Step() == SQLITE_ROW ? statement.ColumnInt(0) : fallback;
}

std::wstring SideFile(const std::wstring& path, const wchar_t* suffix) { return path + suffix; }

constexpr const wchar_t* kSideSuffixes[] = {L"-wal", L"-shm", L"-journal"};

}  // namespace

std::string ToUtf8(std::wstring_view text) {
  const size_t end = text.find(L'\0');
  return WideToUtf8(end == std::wstring_view::npos ? text : text.substr(0, end));
}

std::wstring FromUtf8(const unsigned char* text) {
  if (!text) return {};
  return Utf8ToWide(reinterpret_cast<const char*>(text));
}

DataStore& DataStore::Instance() {
  static DataStore store;
  return store;
}

DataStore::~DataStore() { Close(); }

std::wstring DataStore::StorePath(const std::wstring& dataFolder, const std::wstring& deviceName) {
  CString name;
  name.Format(L"db\\%s_store_v1.db", deviceName.c_str());
  return JoinPath(dataFolder, name.Str());
}

bool DataStore::OpenForDevice(const std::wstring& dataFolder, const std::wstring& deviceName) {
  Guard guard(m_lock);
  const std::wstring path = StorePath(dataFolder, deviceName);
  m_setAside.clear();
  if (m_db.IsOpen() && path == m_path) {
    m_isOpen = true;
    return true;
  }
  Close();
  m_path = path;
  std::error_code error;
  bool ok;
  if (std::filesystem::exists(NativePath(m_path), error)) {
    ok = OpenExisting();
  } else {
    ok = m_db.Open(NativePath(m_path), SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX) &&
         CreateSchema();
  }
  if (!ok) m_db.Close();
  m_isOpen = ok;
  return ok;
}

// An existing file is checked before it is trusted: one that is not a database or that SQLite
// finds damaged is kept under another name and replaced by a fresh store. A file that merely
// cannot be opened now (busy, no permission) is left alone and the open fails.
bool DataStore::OpenExisting() {
  const std::string native = NativePath(m_path);
  int result = SQLITE_OK;
  if (!m_db.Open(native, SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX)) result = m_db.OpenResult();
  else result = m_db.QuickCheck();
  if (result == SQLITE_OK) return CreateSchema();
  m_db.Close();
  if (result != SQLITE_NOTADB && result != SQLITE_CORRUPT) return false;
  if (!SetAside()) return false;
  return m_db.Open(native, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX) && CreateSchema();
}

bool DataStore::SetAside() {
  namespace fs = std::filesystem;
  std::error_code error;
  for (int n = 1; n < 1000; ++n) {
    const std::wstring target = m_path + CString().Format(L".damaged-%d", n).Str();
    if (fs::exists(NativePath(target), error)) continue;
    fs::rename(NativePath(m_path), NativePath(target), error);
    if (error) return false;
    // A log left beside a damaged file belongs to it: keep it with it, out of the new store's way.
    for (const wchar_t* suffix : kSideSuffixes) {
      const std::string side = NativePath(SideFile(m_path, suffix));
      if (fs::exists(side, error)) fs::rename(side, NativePath(SideFile(target, suffix)), error);
    }
    m_setAside = target;
    return true;
  }
  return false;
}

bool DataStore::CreateSchema() {
  SQLiteAutoTransaction transaction(&m_db);
  int result = 0;
  for (const char* statement : kSchema) result |= m_db.Exec(statement);
  return result == SQLITE_OK && transaction.End();
}

std::wstring DataStore::SetAsideFile() const {
  Guard guard(m_lock);
  return m_setAside;
}

void DataStore::Close() {
  Guard guard(m_lock);
  m_db.Close();
  m_isOpen = false;
}

bool DataStore::IsOpen() const {
  Guard guard(m_lock);
  return m_isOpen;
}

bool DataStore::DeleteStoreFile(const std::wstring& dataFolder, const std::wstring& deviceName) {
  Guard guard(m_lock);
  Close();
  const std::wstring path = StorePath(dataFolder, deviceName);
  std::error_code error;
  bool gone = true;
  std::filesystem::remove(NativePath(path), error);
  gone = gone && !std::filesystem::exists(NativePath(path), error);
  for (const wchar_t* suffix : kSideSuffixes) {
    std::filesystem::remove(NativePath(SideFile(path, suffix)), error);
    gone = gone && !std::filesystem::exists(NativePath(SideFile(path, suffix)), error);
  }
  return gone;
}

bool DataStore::RunInTransaction(const std::function<bool()>& work) {
  Guard guard(m_lock);
  if (!m_db.IsOpen()) return false;
  SQLiteAutoTransaction transaction(&m_db);
  return work() && transaction.End();
}

// ---- t_configdata ----

bool DataStore::WriteSetting(std::wstring_view key, std::wstring_view value) {
  Guard guard(m_lock);
  SQLiteStatement s;
  m_db.Prepare(s, "UPDATE t_configdata SET value = ? WHERE profile = ? and key = ?");
  s.BindText(1, ToUtf8(value));
  s.BindInt(2, kSettingsProfile);
  s.BindText(3, ToUtf8(key));
  return Succeeded(s.Step());
}

bool DataStore::ReadSetting(std::wstring_view key, std::wstring& value) {
  Guard guard(m_lock);
  value.clear();
  SQLiteStatement s;
  m_db.Prepare(s, "SELECT value FROM t_configdata WHERE profile = ? and key = ?");
  s.BindInt(1, kSettingsProfile);
  s.BindText(2, ToUtf8(key));
  if (s.Step() != SQLITE_ROW) return false;
  value = ColumnString(s, 0);
  return true;
}

bool DataStore::InsertDefaultSettings() {
  return RunInTransaction([this] {
    SQLiteStatement s;
    for (const auto& row : kDefaultSettings) {
      m_db.Prepare(s, "INSERT INTO t_configdata(profile, key, value) VALUES (?, ?, ?);");
      s.BindInt(1, kSettingsProfile);
      s.BindText(2, ToUtf8(row[0]));
      s.BindText(3, ToUtf8(row[1]));
      if (!Succeeded(s.Step())) return false;
    }
    return true;
  });
}

// ---- t_profile_data ----

int DataStore::AddProfile(const ProfileRecord& record) {
  Guard guard(m_lock);
  SQLiteStatement s;
  m_db.Prepare(s, "INSERT INTO t_profile_data(name, status, app, type) VALUES (?, ?, ?, ?);");
  s.BindText(1, ToUtf8(record.name));
  s.BindInt(2, 0);
  s.BindText(3, ToUtf8(record.app));
  s.BindInt(4, 0);
  return Succeeded(s.Step()) ? static_cast<int>(m_db.LastInsertRowId()) : 0;
}

bool DataStore::DeleteProfile(int profile) {
  Guard guard(m_lock);
  SQLiteStatement s;
  m_db.Prepare(s, "DELETE FROM t_profile_data WHERE profile = ?");
  s.BindInt(1, profile);
  return Succeeded(s.Step());
}

bool DataStore::RenameProfile(int profile, std::wstring_view name) {
  Guard guard(m_lock);
  SQLiteStatement s;
  m_db.Prepare(s, "UPDATE t_profile_data SET name = ? WHERE profile = ?");
  s.BindText(1, ToUtf8(name));
  s.BindInt(2, profile);
  return Succeeded(s.Step());
}

bool DataStore::ReadProfileName(int profile, std::wstring& name) {
  Guard guard(m_lock);
  name.clear();
  SQLiteStatement s;
  m_db.Prepare(s, "SELECT name FROM t_profile_data WHERE profile = ?");
  s.BindInt(1, profile);
  if (s.Step() != SQLITE_ROW) return false;
  name = ColumnString(s, 0);
  return true;
}

int DataStore::ListProfiles(std::vector<ProfileRecord>& list) {
  Guard guard(m_lock);
  list.clear();
  SQLiteStatement s;
  m_db.Prepare(s, "SELECT * FROM t_profile_data");
  return CollectRows(s, list, kl::ReadProfile);
}

bool DataStore::MakeProfileCurrent(int profile) {
  Guard guard(m_lock);
  SQLiteAutoTransaction transaction(&m_db);
  SQLiteStatement s;
  m_db.Prepare(s, "UPDATE t_profile_data SET status = ?");
  s.BindInt(1, 0);
  s.Step();
  m_db.Prepare(s, "UPDATE t_profile_data SET status = ? WHERE profile = ?");
  s.BindInt(1, 1);
  s.BindInt(2, profile);
  return Succeeded(s.Step()) && transaction.End();
}

int DataStore::CurrentProfile() {
  Guard guard(m_lock);
  SQLiteStatement s;
  m_db.Prepare(s, "SELECT profile FROM t_profile_data WHERE status = ?");
  s.BindInt(1, 1);
  return QueryInt(s);
}

// ---- t_musiclayer_data ----

int DataStore::CountMusicLayers() {
  Guard guard(m_lock);
  SQLiteStatement s;
  m_db.Prepare(s, "select count(*) FROM t_musiclayer_data WHERE profile = ?");
  s.BindInt(1, kSettingsProfile);
  return QueryInt(s);
}

int DataStore::AddMusicLayer(std::wstring_view name, int foreMode) {
  Guard guard(m_lock);
  SQLiteStatement s;
  m_db.Prepare(s,
               "INSERT INTO t_musiclayer_data(profile, name, deviceindex, foremode, fore_amplitude, backmode, "
               "backb_right, sel) VALUES (?, ?, ?, ?, ?, ?, ?, ?);");
  s.BindInt(1, kSettingsProfile);
  s.BindText(2, ToUtf8(name));
  s.BindInt(3, 0);
  s.BindInt(4, foreMode);
  s.BindInt(5, 300);
  s.BindInt(6, 0);
  s.BindInt(7, 100);
  s.BindInt(8, 0);
  return Succeeded(s.Step()) ? static_cast<int>(m_db.LastInsertRowId()) : 0;
}

bool DataStore::ReadMusicLayer(int layerId, MusicLayerRecord& record) {
  Guard guard(m_lock);
  SQLiteStatement s;
  m_db.Prepare(s, "SELECT * FROM t_musiclayer_data WHERE layer_id = ?");
  s.BindInt(1, layerId);
  if (s.Step() != SQLITE_ROW) return false;
  kl::ReadMusicLayer(s, record);
  return true;
}

bool DataStore::UpdateMusicLayer(const MusicLayerRecord& record) {
  Guard guard(m_lock);
  SQLiteStatement s;
  m_db.Prepare(s,
               "UPDATE t_musiclayer_data SET deviceindex= ?, foremode= ?, fore_amplitude = ?, backmode= ?, "
               "backb_right= ? WHERE layer_id = ?");
  s.BindInt(1, record.deviceIndex);
  s.BindInt(2, record.foreMode);
  s.BindInt(3, record.foreAmplitude);
  s.BindInt(4, record.backMode);
  s.BindInt(5, record.backBrightness);
  s.BindInt(6, 1);  // the music settings always live in layer 1
  return Succeeded(s.Step());
}

bool DataStore::SelectMusicLayer() {
  Guard guard(m_lock);
  SQLiteAutoTransaction transaction(&m_db);
  SQLiteStatement s;
  m_db.Prepare(s, "UPDATE t_musiclayer_data SET sel = ? WHERE profile = ?");
  s.BindInt(1, 0);
  s.BindInt(2, kSettingsProfile);
  s.Step();
  m_db.Prepare(s, "UPDATE t_musiclayer_data SET sel = ? WHERE profile = ? AND layer_id = ?");
  s.BindInt(1, 1);
  s.BindInt(2, kSettingsProfile);
  s.BindInt(3, 1);
  return Succeeded(s.Step()) && transaction.End();
}

int DataStore::SelectedMusicLayer() {
  Guard guard(m_lock);
  SQLiteStatement s;
  m_db.Prepare(s, "SELECT layer_id FROM t_musiclayer_data WHERE profile = ? AND sel = ?");
  s.BindInt(1, kSettingsProfile);
  s.BindInt(2, 1);
  return QueryInt(s);
}

// ---- t_key_macro_data ----

int DataStore::InsertKeyAssignment(const KeyAssignmentRecord& r) {
  SQLiteStatement s;
  m_db.Prepare(s,
               "INSERT INTO t_key_macro_data(profile, fn_layer, key_code, layout_value, layout_desc, macro_type, "
               "macro_value, macro_value2, macro_value3, macro_desc) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?);");
  s.BindInt(1, r.profile);
  s.BindInt(2, r.fnLayer);
  s.BindInt(3, r.keyCode);
  s.BindInt(4, r.layoutValue);
  s.BindText(5, ToUtf8(r.layoutDesc));
  s.BindInt(6, r.macroType);
  s.BindInt(7, r.macroValue);
  s.BindInt(8, r.macroValue2);
  s.BindInt(9, r.macroValue3);
  s.BindText(10, ToUtf8(r.macroDesc));
  return Succeeded(s.Step()) ? static_cast<int>(m_db.LastInsertRowId()) : 0;
}

int DataStore::SetKeyAssignment(const KeyAssignmentRecord& record) {
  if (record.keyCode == 0) return 0;
  Guard guard(m_lock);
  SQLiteAutoTransaction transaction(&m_db);
  SQLiteStatement s;
  m_db.Prepare(s, "DELETE FROM t_key_macro_data WHERE profile = ? and fn_layer = ? and key_code = ?");
  s.BindInt(1, record.profile);
  s.BindInt(2, record.fnLayer);
  s.BindInt(3, record.keyCode);
  if (!Succeeded(s.Step())) return 0;
  int id = 0;
  if (record.macroValue != 0 || record.macroValue2 != 0) {
    id = InsertKeyAssignment(record);
    if (id == 0) return 0;  // rolled back: the old assignment stays
  }
  return transaction.End() ? id : 0;
}

bool DataStore::ReadKeyAssignment(int profile, int layer, int keyCode, KeyAssignmentRecord& record) {
  Guard guard(m_lock);
  SQLiteStatement s;
  m_db.Prepare(s, "SELECT * FROM t_key_macro_data WHERE profile = ? and fn_layer = ? and key_code = ?");
  s.BindInt(1, profile);
  s.BindInt(2, layer);
  s.BindInt(3, keyCode);
  if (s.Step() != SQLITE_ROW) return false;
  ReadAssignment(s, record);
  return true;
}

int DataStore::ListLayerAssignments(int profile, int layer, std::vector<KeyAssignmentRecord>& list) {
  Guard guard(m_lock);
  list.clear();
  SQLiteStatement s;
  m_db.Prepare(s, "SELECT * FROM t_key_macro_data WHERE profile = ? and fn_layer = ?");
  s.BindInt(1, profile);
  s.BindInt(2, layer);
  return CollectRows(s, list, ReadAssignment);
}

int DataStore::ListProfileAssignments(int profile, std::vector<KeyAssignmentRecord>& list) {
  Guard guard(m_lock);
  list.clear();
  SQLiteStatement s;
  m_db.Prepare(s, "SELECT * FROM t_key_macro_data WHERE profile = ?");
  s.BindInt(1, profile);
  return CollectRows(s, list, ReadAssignment);
}

int DataStore::ListMacroAssignments(int macroId, std::vector<KeyAssignmentRecord>& list) {
  Guard guard(m_lock);
  list.clear();
  SQLiteStatement s;
  m_db.Prepare(s, "SELECT * FROM t_key_macro_data WHERE macro_type = ? AND macro_value = ?");
  s.BindInt(1, kMacroAssignment);
  s.BindInt(2, macroId);
  return CollectRows(s, list, ReadAssignment);
}

bool DataStore::RenameMacroInAssignments(int macroId, std::wstring_view desc) {
  Guard guard(m_lock);
  SQLiteStatement s;
  m_db.Prepare(s, "UPDATE t_key_macro_data SET macro_desc = ? WHERE macro_type = ? AND macro_value = ?");
  s.BindText(1, ToUtf8(desc));
  s.BindInt(2, kMacroAssignment);
  s.BindInt(3, macroId);
  return Succeeded(s.Step());
}

bool DataStore::RemoveMacroFromAssignments(int macroId) {
  Guard guard(m_lock);
  SQLiteStatement s;
  m_db.Prepare(s, "DELETE FROM t_key_macro_data WHERE macro_type = ? AND macro_value = ?");
  s.BindInt(1, kMacroAssignment);
  s.BindInt(2, macroId);
  return Succeeded(s.Step());
}

bool DataStore::ClearProfileAssignments(int profile) {
  Guard guard(m_lock);
  SQLiteStatement s;
  m_db.Prepare(s, "DELETE FROM t_key_macro_data WHERE profile = ?");
  s.BindInt(1, profile);
  return Succeeded(s.Step());
}

// ---- t_key_otherdata ----

int DataStore::AddKeyParameter(std::wstring_view desc, std::wstring_view param, int type) {
  Guard guard(m_lock);
  SQLiteStatement s;
  m_db.Prepare(s, "INSERT INTO t_key_otherdata(macro_desc, param, type) VALUES (?, ?, ?);");
  s.BindText(1, ToUtf8(desc));
  s.BindText(2, ToUtf8(param));
  s.BindInt(3, type);
  return Succeeded(s.Step()) ? static_cast<int>(m_db.LastInsertRowId()) : 0;
}

bool DataStore::ReadKeyParameter(int id, std::wstring& desc, std::wstring& param, int& type) {
  Guard guard(m_lock);
  SQLiteStatement s;
  m_db.Prepare(s, "SELECT macro_desc, param, type FROM t_key_otherdata WHERE macro_value = ?");
  s.BindInt(1, id);
  if (s.Step() == SQLITE_ROW) {
    desc = ColumnString(s, 0);
    param = ColumnString(s, 1);
    type = s.ColumnInt(2);
  }
  return true;
}

// ---- t_light_data ----

int DataStore::CountLightModes(int profile) {
  Guard guard(m_lock);
  SQLiteStatement s;
  m_db.Prepare(s, "select count(*) FROM t_light_data WHERE profile = ?");
  s.BindInt(1, profile);
  return QueryInt(s);
}

int DataStore::AddLightMode(const LightModeRecord& r) {
  Guard guard(m_lock);
  SQLiteStatement s;
  m_db.Prepare(s,
               "INSERT INTO t_light_data(profile, name, mode, brightness, speed, direction, colorful, colorindex, "
               "color_value, config_func, reserved, status) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?);");
  s.BindInt(1, r.profile);
  s.BindText(2, ToUtf8(r.name));
  s.BindInt(3, r.mode);
  s.BindInt(4, r.brightness);
  s.BindInt(5, r.speed);
  s.BindInt(6, r.direction);
  s.BindInt(7, r.colorful);
  s.BindInt(8, r.colorIndex);
  s.BindInt(9, r.colorValue);
  s.BindInt(10, r.configFunc);
  s.BindInt(11, r.reserved);
  s.BindInt(12, r.status);
  return Succeeded(s.Step()) ? static_cast<int>(m_db.LastInsertRowId()) : 0;
}

bool DataStore::UpdateLightMode(int profile, int mode, const LightModeRecord& r) {
  Guard guard(m_lock);
  SQLiteStatement s;
  m_db.Prepare(s,
               "UPDATE t_light_data SET brightness = ?, speed = ?, direction = ?, colorful = ?, colorindex = ?, "
               "color_value = ?, config_func = ?, reserved = ? WHERE profile = ? and mode = ?");
  s.BindInt(1, r.brightness);
  s.BindInt(2, r.speed);
  s.BindInt(3, r.direction);
  s.BindInt(4, r.colorful);
  s.BindInt(5, r.colorIndex);
  s.BindInt(6, r.colorValue);
  s.BindInt(7, r.configFunc);
  s.BindInt(8, r.reserved);
  s.BindInt(9, profile);
  s.BindInt(10, mode);
  return Succeeded(s.Step());
}

bool DataStore::MakeLightModeCurrent(int profile, int mode) {
  Guard guard(m_lock);
  SQLiteAutoTransaction transaction(&m_db);
  SQLiteStatement s;
  m_db.Prepare(s, "UPDATE t_light_data SET status = ?");
  s.BindInt(1, 0);
  s.Step();
  m_db.Prepare(s, "UPDATE t_light_data SET status = ? WHERE profile = ? and mode = ?");
  s.BindInt(1, 1);
  s.BindInt(2, profile);
  s.BindInt(3, mode);
  return Succeeded(s.Step()) && transaction.End();
}

int DataStore::CurrentLightMode(int profile) {
  Guard guard(m_lock);
  SQLiteStatement s;
  m_db.Prepare(s, "SELECT mode FROM t_light_data WHERE profile = ? and status = ?");
  s.BindInt(1, profile);
  s.BindInt(2, 1);
  return QueryInt(s);
}

bool DataStore::ReadLightMode(int profile, int mode, LightModeRecord& record) {
  Guard guard(m_lock);
  SQLiteStatement s;
  m_db.Prepare(s, "SELECT * FROM t_light_data WHERE profile = ? AND mode = ?");
  s.BindInt(1, profile);
  s.BindInt(2, mode);
  if (s.Step() != SQLITE_ROW) return false;
  kl::ReadLightMode(s, record);
  return true;
}

int DataStore::ListLightModes(int profile, std::vector<LightModeRecord>& list) {
  Guard guard(m_lock);
  list.clear();
  SQLiteStatement s;
  m_db.Prepare(s, "SELECT * FROM t_light_data WHERE profile = ?");
  s.BindInt(1, profile);
  return CollectRows(s, list, kl::ReadLightMode);
}

// ---- t_key_light_data ----

int DataStore::AddKeyColours(const std::vector<KeyLightRecord>& list) {
  Guard guard(m_lock);
  SQLiteAutoTransaction transaction(&m_db);
  SQLiteStatement s;
  for (const KeyLightRecord& r : list) {
    m_db.Prepare(s, "INSERT INTO t_key_light_data(profile, light_id, key_code, key_rgb) VALUES (?, ?, ?, ?);");
    s.BindInt(1, r.profile);
    s.BindInt(2, r.lightId);
    s.BindInt(3, r.keyCode);
    s.BindInt(4, r.keyRgb);
    s.Step();
  }
  transaction.End();
  return static_cast<int>(list.size());
}

bool DataStore::ClearCustomKeyColours() {
  Guard guard(m_lock);
  SQLiteStatement s;
  m_db.Prepare(s, "DELETE FROM t_key_light_data WHERE light_id = ?");
  s.BindInt(1, kCustomKeyLightId);
  return Succeeded(s.Step());
}

int DataStore::ListKeyColours(int lightId, std::vector<KeyLightRecord>& list) {
  Guard guard(m_lock);
  list.clear();
  SQLiteStatement s;
  m_db.Prepare(s, "SELECT * FROM t_key_light_data WHERE light_id = ?");
  s.BindInt(1, lightId);
  return CollectRows(s, list, ReadKeyLight);
}

// ---- t_macro_data ----

int DataStore::AddEmptyMacro(std::wstring_view name) {
  MacroRecord record;
  record.name = name;
  record.playTimes = 1;
  record.delayType = 1;
  record.delayTime = 0;
  record.linkCount = 0;
  return AddMacro(record);
}

int DataStore::AddMacro(const MacroRecord& r) {
  Guard guard(m_lock);
  SQLiteStatement s;
  m_db.Prepare(s,
               "INSERT INTO t_macro_data(play_times, delay_type, delay_time, link_count, name) VALUES (?, ?, ?, ?, "
               "?);");
  s.BindInt(1, r.playTimes);
  s.BindInt(2, r.delayType);
  s.BindInt(3, r.delayTime);
  s.BindInt(4, r.linkCount);
  s.BindText(5, ToUtf8(r.name));
  return Succeeded(s.Step()) ? static_cast<int>(m_db.LastInsertRowId()) : 0;
}

bool DataStore::RenameMacro(int macroId, std::wstring_view name) {
  Guard guard(m_lock);
  SQLiteStatement s;
  m_db.Prepare(s, "UPDATE t_macro_data SET name = ? WHERE macro_id = ?");
  s.BindText(1, ToUtf8(name));
  s.BindInt(2, macroId);
  return Succeeded(s.Step());
}

bool DataStore::UpdateMacroOptions(const MacroRecord& r) {
  Guard guard(m_lock);
  SQLiteStatement s;
  m_db.Prepare(s, "UPDATE t_macro_data SET play_times = ?, delay_type = ?, delay_time = ? WHERE macro_id = ?");
  s.BindInt(1, r.playTimes);
  s.BindInt(2, r.delayType);
  s.BindInt(3, r.delayTime);
  s.BindInt(4, r.macroId);
  return Succeeded(s.Step());
}

bool DataStore::DeleteStepsOf(int macroId) {
  SQLiteStatement s;
  m_db.Prepare(s, "DELETE FROM t_macrorecord WHERE macro_id = ?");
  s.BindInt(1, macroId);
  return Succeeded(s.Step());
}

bool DataStore::DeleteMacro(int macroId) {
  Guard guard(m_lock);
  SQLiteAutoTransaction transaction(&m_db);
  SQLiteStatement s;
  m_db.Prepare(s, "DELETE FROM t_macro_data WHERE macro_id = ?");
  s.BindInt(1, macroId);
  return Succeeded(s.Step()) && DeleteStepsOf(macroId) && transaction.End();
}

bool DataStore::ReadPlayTimes(int macroId, int& playTimes) {
  Guard guard(m_lock);
  SQLiteStatement s;
  m_db.Prepare(s, "SELECT play_times FROM t_macro_data WHERE macro_id = ?");
  s.BindInt(1, macroId);
  if (s.Step() != SQLITE_ROW) return false;
  playTimes = s.ColumnInt(0);
  return true;
}

bool DataStore::ReadMacro(int macroId, MacroRecord& record) {
  Guard guard(m_lock);
  SQLiteStatement s;
  m_db.Prepare(s, "SELECT * FROM t_macro_data WHERE macro_id = ?");
  s.BindInt(1, macroId);
  if (s.Step() != SQLITE_ROW) return false;
  kl::ReadMacro(s, record);
  return true;
}

int DataStore::ListMacros(std::vector<MacroRecord>& list) {
  Guard guard(m_lock);
  list.clear();
  SQLiteStatement s;
  m_db.Prepare(s, "SELECT * FROM t_macro_data");
  return CollectRows(s, list, kl::ReadMacro);
}

// ---- t_macrorecord ----

int DataStore::InsertMacroStep(const MacroItemRecord& r) {
  SQLiteStatement s;
  m_db.Prepare(s,
               "INSERT INTO t_macrorecord(macro_id, type, record_index, desc, value, delay_time) VALUES (?, ?, ?, ?, "
               "?, ?);");
  s.BindInt(1, r.macroId);
  s.BindInt(2, r.type);
  s.BindInt(3, r.recordIndex);
  s.BindText(4, ToUtf8(r.desc));
  s.BindInt(5, r.value);
  s.BindInt(6, r.delayTime);
  return Succeeded(s.Step()) ? static_cast<int>(m_db.LastInsertRowId()) : 0;
}

int DataStore::AddMacroStep(const MacroItemRecord& record) {
  Guard guard(m_lock);
  return InsertMacroStep(record);
}

bool DataStore::AddMacroSteps(const std::vector<MacroItemRecord>& list) {
  return RunInTransaction([&] {
    for (const MacroItemRecord& record : list)
      if (InsertMacroStep(record) == 0) return false;
    return true;
  });
}

bool DataStore::ReplaceMacroSteps(int macroId, const std::vector<MacroItemRecord>& list) {
  return RunInTransaction([&] { return DeleteStepsOf(macroId) && AddMacroSteps(list); });
}

int DataStore::ListMacroSteps(int macroId, std::vector<MacroItemRecord>& list) {
  Guard guard(m_lock);
  list.clear();
  SQLiteStatement s;
  m_db.Prepare(s, "SELECT * FROM t_macrorecord WHERE macro_id = ? ORDER BY record_index ASC");
  s.BindInt(1, macroId);
  return CollectRows(s, list, kl::ReadMacroItem);
}

bool DataStore::DeleteMacroSteps(int macroId) {
  Guard guard(m_lock);
  return DeleteStepsOf(macroId);
}

int DataStore::CountNonType1Steps(int macroId) {
  std::vector<MacroItemRecord> steps;
  ListMacroSteps(macroId, steps);
  int count = 0;
  for (const MacroItemRecord& step : steps)
    if (step.type != 1) ++count;
  return count;
}

}  // namespace kl
