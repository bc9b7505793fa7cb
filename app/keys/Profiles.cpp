#include "app/keys/Profiles.h"

#include "app/LanguageTexts.h"
#include "app/Startup.h"
#include "app/keys/ForbiddenWords.h"
#include "base/CString.h"
#include "base/Parse.h"

namespace kl {

namespace {
constexpr int kDefaultProfileCount = 3;
constexpr int kDefaultColourKeys[] = {26, 4, 22, 7, 82, 80, 81, 79};  // W A S D Up Left Down Right
constexpr int kWhite = 0xFFFFFF;
}  // namespace

void CreateDefaultKeyColours(DataStore& store, int profile) {
  std::vector<KeyLightRecord> colours;
  for (int key : kDefaultColourKeys) colours.push_back({0, profile, kCustomKeyLightId, key, kWhite});
  store.RunInTransaction([&] {
    store.ClearCustomKeyColours();
    store.AddKeyColours(colours);
    return true;
  });
}

std::wstring Profiles::ShownName(std::wstring_view stored) const {
  return RelabelDefaultName(stored, CurrentLanguage(), DefaultName::Profile, GetText(kTextSection, kTextProfile));
}

int Profiles::ReadSettingNumber(std::wstring_view key) {
  std::wstring value;
  m_store.ReadSetting(key, value);
  return ParseDecimal(value);
}

// Three profiles, the settings rows and the key colours, all or nothing: a store that stopped
// half-way would otherwise never get its settings rows.
void Profiles::CreateDefaults() {
  const std::wstring base = GetText(kTextSection, kTextProfile);
  m_store.RunInTransaction([&] {
    int first = 0;
    for (int n = 1; n <= kDefaultProfileCount; ++n) {
      ProfileRecord profile;
      profile.name = CString().Format(L"%s %d", base.c_str(), n).Str();
      const int id = m_store.AddProfile(profile);
      if (id <= 0) return false;
      if (n == 1) {
        first = id;
        if (!m_store.InsertDefaultSettings()) return false;
      }
      if (n == kDefaultProfileCount && !m_store.MakeProfileCurrent(first)) return false;
      CreateDefaultKeyColours(m_store, id);
    }
    return true;
  });
}

void Profiles::LoadProfileList() {
  m_rows.clear();
  m_selected = -1;
  std::vector<ProfileRecord> profiles;
  if (m_store.ListProfiles(profiles) == 0) {
    CreateDefaults();
    m_store.ListProfiles(profiles);
  }
  for (const ProfileRecord& profile : profiles) m_rows.push_back({profile.profile, ShownName(profile.name)});

  m_currentProfile = m_store.CurrentProfile();
  for (size_t i = 0; i < m_rows.size(); ++i)
    if (m_rows[i].profile == m_currentProfile) m_selected = static_cast<int>(i);
  if (m_selected < 0 && !m_rows.empty()) {
    m_selected = 0;
    m_currentProfile = m_rows[0].profile;
    m_store.MakeProfileCurrent(m_currentProfile);
  }

  std::wstring value;
  m_store.ReadSetting(L"fn_layer", value);
  m_currentLayer = value == L"1" ? 1 : 0;
  m_store.ReadSetting(L"fn_switch", value);
  m_fnSwitch = value == L"1" ? 1 : 0;
  const int sleep = ReadSettingNumber(L"sleeptime");
  m_sleepTime = sleep >= 1 && sleep <= 4 ? sleep : 0;
  const int response = ReadSettingNumber(L"key_responsetime");
  m_keyResponseTime = response >= 1 && response <= 3 ? response : 0;
}

bool Profiles::SelectProfile(int row) {
  if (row < 0 || row >= static_cast<int>(m_rows.size())) {
    m_selected = -1;
    return false;
  }
  m_selected = row;
  m_currentProfile = m_rows[row].profile;
  m_store.MakeProfileCurrent(m_currentProfile);
  return true;
}

std::wstring Profiles::MakeUniqueProfileName(std::wstring_view base) const {
  std::vector<std::wstring> texts;
  for (const Row& row : m_rows) texts.push_back(row.text);
  return MakeUniqueName(base, texts);
}

Profiles::AddResult Profiles::AddProfile() {
  if (m_rows.size() >= static_cast<size_t>(kMaxProfiles)) return AddResult::LimitReached;
  ProfileRecord profile;
  profile.name = MakeUniqueProfileName(GetText(kTextSection, kTextProfile));
  const int id = m_store.AddProfile(profile);
  if (id <= 0) return AddResult::StoreFailed;
  m_rows.push_back({id, ShownName(profile.name)});
  // The new profile is the one uploaded to the keyboard, so the store marks it current as well:
  // the next start must show what the keyboard holds.
  m_selected = static_cast<int>(m_rows.size()) - 1;
  m_currentProfile = id;
  m_store.MakeProfileCurrent(id);
  return AddResult::Added;
}

bool Profiles::DeleteProfile() {
  if (m_rows.size() <= 1 || m_selected < 0 || m_selected >= static_cast<int>(m_rows.size())) return false;
  const int profile = m_rows[m_selected].profile;
  // Its assignments go with it: no other profile can reach them.
  const bool deleted = m_store.RunInTransaction(
      [&] { return m_store.DeleteProfile(profile) && m_store.ClearProfileAssignments(profile); });
  if (!deleted) return false;
  m_device.ResetKeyAssignments();
  m_rows.erase(m_rows.begin() + m_selected);
  if (m_selected > 0) --m_selected;
  m_currentProfile = m_rows[m_selected].profile;
  m_store.MakeProfileCurrent(m_currentProfile);
  return true;
}

NameCheck Profiles::RenameProfile(int row, std::wstring_view text) {
  if (row < 0 || row >= static_cast<int>(m_rows.size())) return NameCheck::StoreFailed;
  Row& target = m_rows[row];
  NameCheck result = NameCheck::Accepted;
  if (ContainsForbiddenWord(text)) result = NameCheck::ForbiddenWord;
  else if (text.empty()) result = NameCheck::Empty;
  else if (!m_store.RenameProfile(target.profile, text)) result = NameCheck::StoreFailed;
  if (result == NameCheck::Accepted) {
    target.text = text;
  } else {
    std::wstring stored;
    if (m_store.ReadProfileName(target.profile, stored)) target.text = ShownName(stored);
  }
  return result;
}

bool Profiles::ResetProfileKeys() { return m_currentProfile > 0 && m_store.ClearProfileAssignments(m_currentProfile); }

void Profiles::SelectLayer(int layer) {
  m_currentLayer = layer == 1 ? 1 : 0;
  m_store.WriteSetting(L"fn_layer", m_currentLayer == 1 ? L"1" : L"0");
}

void Profiles::SetFnSwitch(int state) {
  m_fnSwitch = state == 1 ? 1 : 0;
  m_device.SendFnSwitch(m_fnSwitch);
  m_store.WriteSetting(L"fn_switch", m_fnSwitch == 1 ? L"1" : L"0");
}

ProfileImport Profiles::ImportProfile(const std::wstring& path) {
  if (m_rows.size() >= static_cast<size_t>(kMaxProfiles)) {
    ProfileImport refused;
    refused.status = ImportStatus::ProfileLimit;
    return refused;
  }
  ProfileImport result = kl::ImportProfile(m_store, path);
  if (result.status != ImportStatus::Imported) return result;
  m_rows.push_back({result.profile, ShownName(result.name)});
  m_selected = static_cast<int>(m_rows.size()) - 1;
  m_currentProfile = result.profile;
  m_store.MakeProfileCurrent(m_currentProfile);
  return result;
}

bool Profiles::ExportProfile(int row, const std::wstring& path) {
  if (row < 0 || row >= static_cast<int>(m_rows.size())) return false;
  return kl::ExportProfile(m_store, m_rows[row].profile, m_rows[row].text, path);
}

}  // namespace kl
