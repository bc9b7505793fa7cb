#include "app/keys/ProfileFile.h"

#include <algorithm>
#include <map>

#include "app/keys/KeyCatalog.h"
#include "base/Parse.h"

namespace kl {

namespace {

int ReadInt(const XmlDocument& doc, std::wstring_view name) { return ParseDecimal(doc.GetAttribute(name)); }

ImportStatus ReadKeyItems(XmlDocument& doc, std::vector<KeyAssignmentRecord>& items) {
  if (!doc.EnterElement()) return ImportStatus::Imported;
  ImportStatus status = ImportStatus::Imported;
  while (status == ImportStatus::Imported && doc.FindElement(L"item")) {
    if (static_cast<int>(items.size()) >= kMaxImportKeyItems) {
      status = ImportStatus::TooManyItems;
      break;
    }
    KeyAssignmentRecord item;
    item.fnLayer = ReadInt(doc, L"fn_layer");
    item.keyCode = ReadInt(doc, L"key_code");
    item.layoutValue = ReadInt(doc, L"layout_value");
    item.layoutDesc = doc.GetAttribute(L"layout_desc");
    item.macroType = ReadInt(doc, L"macro_type");
    item.macroValue = ReadInt(doc, L"macro_value");
    item.macroValue2 = ReadInt(doc, L"macro_value2");
    item.macroValue3 = ReadInt(doc, L"macro_value3");
    item.macroDesc = doc.GetAttribute(L"macro_desc");
    if (item.layoutDesc.size() > kMaxImportTextLength || item.macroDesc.size() > kMaxImportTextLength)
      status = ImportStatus::TextTooLong;
    else if ((item.fnLayer != 0 && item.fnLayer != 1) || item.keyCode < 0 || item.keyCode > 255)
      status = ImportStatus::BadValue;
    else
      items.push_back(std::move(item));
  }
  doc.LeaveElement();
  return status;
}

}  // namespace

bool ExportProfile(DataStore& store, int profile, const std::wstring& shownName, const std::wstring& path) {
  std::vector<KeyAssignmentRecord> items;
  store.ListProfileAssignments(profile, items);
  XmlDocument doc;
  StartDocument(doc);
  doc.AddElement(L"profile");
  doc.EnterElement();
  doc.AddElement(L"profileinfo");
  doc.SetAttribute(L"name", shownName);
  doc.AddElement(L"keyitems");
  if (!items.empty()) {
    doc.EnterElement();
    for (const KeyAssignmentRecord& item : items) {
      doc.AddElement(L"item");
      doc.SetAttribute(L"fn_layer", item.fnLayer);
      doc.SetAttribute(L"key_code", item.keyCode);
      doc.SetAttribute(L"layout_value", item.layoutValue);
      doc.SetAttribute(L"layout_desc", item.layoutDesc);
      doc.SetAttribute(L"macro_type", item.macroType);
      doc.SetAttribute(L"macro_value", item.macroValue);
      doc.SetAttribute(L"macro_value2", item.macroValue2);
      doc.SetAttribute(L"macro_value3", item.macroValue3);
      doc.SetAttribute(L"macro_desc", item.macroDesc);
    }
    doc.LeaveElement();
  }
  for (const KeyAssignmentRecord& item : items) {
    if (item.macroType != kAssignMacro) continue;
    // A macro that cannot be read is still written, empty, so every macro key has its entry.
    MacroRecord macro;
    macro.playTimes = macro.delayType = 0;
    std::vector<MacroItemRecord> events;
    if (store.ReadMacro(item.macroValue, macro)) store.ListMacroSteps(item.macroValue, events);
    doc.AddElement(L"macroinfo");
    doc.SetAttribute(L"name", macro.name);
    doc.SetAttribute(L"macro_id", macro.macroId);
    doc.SetAttribute(L"times", macro.playTimes);
    doc.SetAttribute(L"type", macro.delayType);
    doc.SetAttribute(L"delaytime", macro.delayTime);
    doc.EnterElement();
    WriteMacroItems(doc, events);
    doc.LeaveElement();
  }
  return doc.SaveFile(path);
}

ProfileImport ImportProfile(DataStore& store, const std::wstring& path) {
  ProfileImport result;
  XmlDocument doc;
  result.status = LoadImportFile(path, L"profile", doc);
  if (result.status != ImportStatus::Imported) return result;

  std::vector<KeyAssignmentRecord> items;
  if (doc.FindElement(L"keyitems")) result.status = ReadKeyItems(doc, items);
  std::vector<ImportedMacro> macros;
  while (result.status == ImportStatus::Imported && doc.FindElement(L"macroinfo")) {
    if (static_cast<int>(macros.size()) >= kMaxImportMacros) {
      result.status = ImportStatus::TooManyItems;
      break;
    }
    ImportedMacro macro;
    result.status = ReadMacroInfo(doc, macro);
    if (result.status != ImportStatus::Imported) break;
    if (doc.EnterElement()) {
      if (doc.FindElement(L"macroitems")) result.status = ReadMacroItems(doc, macro.events);
      doc.LeaveElement();
    }
    macros.push_back(std::move(macro));
  }
  if (result.status != ImportStatus::Imported) return result;

  result.name = ImportedName(path);
  const bool stored = store.RunInTransaction([&] {
    std::vector<MacroRecord> existing;
    store.ListMacros(existing);
    std::map<int, int> newIds;  // file id -> id in this store
    for (const ImportedMacro& macro : macros) {
      const bool known = std::any_of(existing.begin(), existing.end(), [&](const MacroRecord& m) {
        return m.macroId == macro.fileId && m.name == macro.header.name;
      });
      if (known) continue;
      const int id = StoreImportedMacro(store, macro);
      if (id <= 0) return false;
      newIds[macro.fileId] = id;
      result.newMacros.push_back(id);
    }
    ProfileRecord profile;
    profile.name = result.name;
    result.profile = store.AddProfile(profile);
    if (result.profile <= 0) return false;
    for (KeyAssignmentRecord& item : items) {
      item.profile = result.profile;
      if (item.macroType == kAssignMacro)
        if (const auto found = newIds.find(item.macroValue); found != newIds.end()) item.macroValue = found->second;
      const bool removesOnly = item.keyCode == 0 || (item.macroValue == 0 && item.macroValue2 == 0);
      if (!removesOnly && store.SetKeyAssignment(item) <= 0) return false;
    }
    return true;
  });
  if (!stored) {
    result.status = ImportStatus::StoreFailed;
    result.profile = 0;
    result.newMacros.clear();
  }
  return result;
}

}  // namespace kl
