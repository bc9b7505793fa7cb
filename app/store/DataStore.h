// DataStore: the user's data for one keyboard model (profiles, key assignments, macros, light
// settings, a few global settings) in a plain SQLite file "db/<model>_store_v1.db" under the
// per-user data folder. The program uses the one instance from DataStore::Instance; tests may
// make their own.
//
// Every operation, opening, closing and deleting included, holds the store lock, which is
// re-entrant, so RunInTransaction can group operations. Failures are return values: false, 0,
// an empty string or an empty list. Lists are cleared before they are filled and the number of
// records is returned.
#pragma once
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "app/store/SQLiteDB.h"
#include "app/store/StoreRecords.h"

namespace kl {

// Text crosses to SQLite as UTF-8. ToUtf8 stops at the first zero character; FromUtf8 takes a
// column's text and gives an empty string for null.
std::string ToUtf8(std::wstring_view text);
std::wstring FromUtf8(const unsigned char* text);

// The light id of the per-key custom colours in t_key_light_data.
constexpr int kCustomKeyLightId = 128;

class DataStore {
 public:
  static DataStore& Instance();

  DataStore() = default;
  DataStore(const DataStore&) = delete;
  DataStore& operator=(const DataStore&) = delete;
  ~DataStore();

  // "<dataFolder>/db/<deviceName>_store_v1.db". The db folder is made at start-up.
  static std::wstring StorePath(const std::wstring& dataFolder, const std::wstring& deviceName);

  // Opens (or creates) the model's store and makes sure every table and index exists. Already
  // open on the same file: true at once. A file that is not a database or fails SQLite's quick
  // check is renamed to "<file>.damaged-<n>" and a fresh store is created in its place;
  // SetAsideFile() then names the renamed file so the program can tell the user.
  bool OpenForDevice(const std::wstring& dataFolder, const std::wstring& deviceName);
  // The file the last OpenForDevice moved aside, empty when it moved none.
  std::wstring SetAsideFile() const;
  void Close();
  bool IsOpen() const;
  // Closes the store and deletes the model's file with its write-ahead log and index files.
  // True when none of them is left.
  bool DeleteStoreFile(const std::wstring& dataFolder, const std::wstring& deviceName);

  // Runs `work` under the lock inside one transaction: committed when it returns true, rolled
  // back otherwise. Operations called from `work` join the transaction.
  bool RunInTransaction(const std::function<bool()>& work);

  // t_configdata: every setting lives under profile 1.
  bool WriteSetting(std::wstring_view key, std::wstring_view value);
  bool ReadSetting(std::wstring_view key, std::wstring& value);
  bool InsertDefaultSettings();

  // t_profile_data
  int AddProfile(const ProfileRecord& record);  // new id, 0 on failure; never current, type 0
  bool DeleteProfile(int profile);
  bool RenameProfile(int profile, std::wstring_view name);
  bool ReadProfileName(int profile, std::wstring& name);
  int ListProfiles(std::vector<ProfileRecord>& list);
  bool MakeProfileCurrent(int profile);
  int CurrentProfile();  // 0 when none is current

  // t_musiclayer_data (always profile 1)
  int CountMusicLayers();
  int AddMusicLayer(std::wstring_view name, int foreMode);
  bool ReadMusicLayer(int layerId, MusicLayerRecord& record);
  bool UpdateMusicLayer(const MusicLayerRecord& record);
  bool SelectMusicLayer();
  int SelectedMusicLayer();

  // t_key_macro_data: at most one row per (profile, layer, key code). Setting an assignment
  // whose macro value and macro value 2 are both 0 removes the row and returns 0; a key code of
  // 0 does nothing. The delete and the insert are one transaction.
  int SetKeyAssignment(const KeyAssignmentRecord& record);
  bool ReadKeyAssignment(int profile, int layer, int keyCode, KeyAssignmentRecord& record);
  int ListLayerAssignments(int profile, int layer, std::vector<KeyAssignmentRecord>& list);
  int ListProfileAssignments(int profile, std::vector<KeyAssignmentRecord>& list);
  // Assignments of type 3 (macro) that bind `macroId`, in every profile and layer.
  int ListMacroAssignments(int macroId, std::vector<KeyAssignmentRecord>& list);
  bool RenameMacroInAssignments(int macroId, std::wstring_view desc);
  bool RemoveMacroFromAssignments(int macroId);
  bool ClearProfileAssignments(int profile);

  // t_key_otherdata: text parameters of key functions.
  int AddKeyParameter(std::wstring_view desc, std::wstring_view param, int type);
  // Always true; the outputs are written only when the row exists.
  bool ReadKeyParameter(int id, std::wstring& desc, std::wstring& param, int& type);

  // t_light_data
  int CountLightModes(int profile);
  int AddLightMode(const LightModeRecord& record);
  bool UpdateLightMode(int profile, int mode, const LightModeRecord& record);
  bool MakeLightModeCurrent(int profile, int mode);
  int CurrentLightMode(int profile);
  bool ReadLightMode(int profile, int mode, LightModeRecord& record);
  int ListLightModes(int profile, std::vector<LightModeRecord>& list);

  // t_key_light_data
  int AddKeyColours(const std::vector<KeyLightRecord>& list);  // one transaction; returns list size
  bool ClearCustomKeyColours();                                // every profile's light id 128 rows
  int ListKeyColours(int lightId, std::vector<KeyLightRecord>& list);

  // t_macro_data
  int AddEmptyMacro(std::wstring_view name);  // play 1, delay type 1, delay 0, link count 0
  int AddMacro(const MacroRecord& record);
  bool RenameMacro(int macroId, std::wstring_view name);
  bool UpdateMacroOptions(const MacroRecord& record);  // play times, delay type, delay time
  bool DeleteMacro(int macroId);                       // header and steps in one transaction
  bool ReadPlayTimes(int macroId, int& playTimes);
  bool ReadMacro(int macroId, MacroRecord& record);
  int ListMacros(std::vector<MacroRecord>& list);

  // t_macrorecord
  int AddMacroStep(const MacroItemRecord& record);
  bool AddMacroSteps(const std::vector<MacroItemRecord>& list);  // one transaction
  // Deletes the macro's steps and inserts `list` in one transaction.
  bool ReplaceMacroSteps(int macroId, const std::vector<MacroItemRecord>& list);
  int ListMacroSteps(int macroId, std::vector<MacroItemRecord>& list);  // by record_index
  bool DeleteMacroSteps(int macroId);
  int CountNonType1Steps(int macroId);

 private:
  using Guard = std::lock_guard<std::recursive_mutex>;
  bool OpenExisting();
  bool CreateSchema();
  bool SetAside();
  int InsertKeyAssignment(const KeyAssignmentRecord& record);
  int InsertMacroStep(const MacroItemRecord& record);
  bool DeleteStepsOf(int macroId);

  mutable std::recursive_mutex m_lock;
  SQLiteDB m_db;
  std::wstring m_path;
  std::wstring m_setAside;
  bool m_isOpen = false;
};

}  // namespace kl
