// Profiles: named sets of key assignments of one keyboard model, at most 200, one of them
// current. This class keeps the rows of the profile list (id and shown text), the current
// profile and layer and the Fn switch, and does everything below the page: the page asks its
// confirmations, shows the messages named by the results, refreshes the key view and queues
// the key upload when an operation says so.
//
// What must reach the keyboard at once goes through ProfileDevice, which the device layer
// implements.
#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "app/keys/ProfileFile.h"
#include "app/macros/MacroModel.h"
#include "app/store/DataStore.h"

namespace kl {

class ProfileDevice {
 public:
  virtual ~ProfileDevice() = default;
  // Command 0x0F: the keyboard forgets every key assignment (then waits 100 ms).
  virtual void ResetKeyAssignments() = 0;
  // Command 0x10 with byte 6 = state: the keyboard's Fn switch off (0) or on (1).
  virtual void SendFnSwitch(int state) = 0;
};

constexpr int kMaxProfiles = 200;
constexpr int kTextProfile = 65;

class Profiles {
 public:
  struct Row {
    int profile;
    std::wstring text;  // the stored name as the current language shows it
  };

  Profiles(DataStore& store, ProfileDevice& device) : m_store(store), m_device(device) {}

  // Fills the rows from the store. An empty store first gets three default profiles, the
  // default settings and the default key colours, in one transaction. Restores the current
  // profile (the first one when none is marked), the layer and the Fn switch. Sends nothing.
  void LoadProfileList();

  const std::vector<Row>& Rows() const { return m_rows; }
  int SelectedRow() const { return m_selected; }
  int CurrentProfile() const { return m_currentProfile; }
  int CurrentLayer() const { return m_currentLayer; }
  int FnSwitch() const { return m_fnSwitch; }
  // "sleeptime" 1..4 and "key_responsetime" 1..3 as read by LoadProfileList; 0 when the stored
  // value is outside the range (the settings page leaves its box unchanged then).
  int SleepTime() const { return m_sleepTime; }
  int KeyResponseTime() const { return m_keyResponseTime; }

  // Makes the row's profile current, in the store too. False for no row (the page disables the
  // key view); true means: refresh the key view and queue the key upload.
  bool SelectProfile(int row);

  enum class AddResult { Added, LimitReached, StoreFailed };
  // Adds "<text 65> n" with the first free n and makes it current. Added: refresh and upload.
  AddResult AddProfile();
  std::wstring MakeUniqueProfileName(std::wstring_view base) const;

  // Deletes the selected profile with its key assignments from the store, then resets the
  // keyboard's keys; the row before it (or the new first row) becomes selected and current, in
  // the store too. Nothing happens with one row or none selected. True: refresh and upload.
  bool DeleteProfile();

  // The edited text of `row`. Refused names (forbidden word: message 330, empty: message 330)
  // keep the stored name, and the row shows it again.
  NameCheck RenameProfile(int row, std::wstring_view text);

  // Clears the current profile's assignments. True: refresh and upload.
  bool ResetProfileKeys();

  // Shows layer 0 (base) or 1 (Fn) and remembers it. Sends nothing.
  void SelectLayer(int layer);
  // Sends command 0x10 at once and remembers the state.
  void SetFnSwitch(int state);

  // Imports a profile file as a new profile, selected and current. The page then refreshes the
  // key view, queues the full key upload and reloads the macro list.
  ProfileImport ImportProfile(const std::wstring& path);
  bool ExportProfile(int row, const std::wstring& path);

 private:
  void CreateDefaults();
  std::wstring ShownName(std::wstring_view stored) const;
  int ReadSettingNumber(std::wstring_view key);

  DataStore& m_store;
  ProfileDevice& m_device;
  std::vector<Row> m_rows;
  int m_selected = -1;
  int m_currentProfile = 0;
  int m_currentLayer = 0;
  int m_fnSwitch = 0;
  int m_sleepTime = 0;
  int m_keyResponseTime = 0;
};

// Part of every new profile set: white W, A, S, D and arrow keys in the per-key custom colours,
// carrying the number of the profile they were made for.
void CreateDefaultKeyColours(DataStore& store, int profile);

}  // namespace kl
