#include "app/macros/MacroFile.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "app/macros/MacroModel.h"
#include "base/Encoding.h"
#include "base/Parse.h"
#include "base/Path.h"

namespace kl {

namespace {

constexpr wchar_t kDeclaration[] = L"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n";

// Profile files nest profile > macroinfo > macroitems > item; nothing we write goes deeper.
constexpr int kMaxImportDepth = 4;

// Whether start tags nest deeper than `limit`. The parser copes with any depth; this keeps
// files that are not ours, and hostile ones, out before anything is read from them.
bool NestedDeeperThan(std::wstring_view text, int limit) {
  int depth = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != L'<' || i + 1 >= text.size()) continue;
    const wchar_t next = text[i + 1];
    if (next == L'/') {
      --depth;
      continue;
    }
    if (next == L'?' || next == L'!') continue;
    wchar_t quote = 0;
    size_t end = i + 1;
    for (; end < text.size(); ++end) {
      const wchar_t c = text[end];
      if (quote) {
        if (c == quote) quote = 0;
      } else if (c == L'"' || c == L'\'') {
        quote = c;
      } else if (c == L'>') {
        break;
      }
    }
    if (end >= text.size()) return false;  // unterminated: the parser refuses it
    if (text[end - 1] != L'/' && ++depth > limit) return true;
    i = end;
  }
  return false;
}

int ReadInt(const XmlDocument& doc, std::wstring_view name) { return ParseDecimal(doc.GetAttribute(name)); }

// A number that a missing attribute leaves at `fallback`.
int ReadIntOr(const XmlDocument& doc, std::wstring_view name, int fallback) {
  const std::wstring text = doc.GetAttribute(name);
  return text.empty() ? fallback : ParseDecimal(text);
}

bool ReadText(const XmlDocument& doc, std::wstring_view name, std::wstring& text) {
  text = doc.GetAttribute(name);
  return text.size() <= static_cast<size_t>(kMaxImportTextLength);
}

}  // namespace

std::wstring ImportedName(const std::wstring& path) {
  std::wstring title = NormalizePath(path);
  if (const size_t slash = title.rfind(L'/'); slash != std::wstring::npos) title.erase(0, slash + 1);
  if (const size_t dot = title.find(L'.'); dot != std::wstring::npos) title.erase(dot);
  if (title.size() > static_cast<size_t>(kMaxImportedNameLength)) title.resize(kMaxImportedNameLength);
  return title;
}

ImportStatus LoadImportFile(const std::wstring& path, std::wstring_view root, XmlDocument& doc) {
  const std::string native = NativePath(path);
  std::error_code error;
  const auto size = std::filesystem::file_size(native, error);
  if (error) return ImportStatus::CannotRead;
  if (size > kMaxImportFileBytes) return ImportStatus::TooLarge;
  std::ifstream in(native, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad() || bytes.size() > kMaxImportFileBytes) return ImportStatus::CannotRead;
  std::string_view content = bytes;
  if (content.starts_with("\xEF\xBB\xBF")) content.remove_prefix(3);
  if (!IsValidUtf8(content)) return ImportStatus::NotUtf8;
  std::wstring text = Utf8ToWide(content);
  if (text.find(L'\0') != std::wstring::npos) return ImportStatus::NotXml;
  if (NestedDeeperThan(text, kMaxImportDepth)) return ImportStatus::TooDeep;
  if (!doc.ParseText(std::move(text))) return ImportStatus::NotXml;
  if (!doc.FindElement(root) || !doc.EnterElement()) return ImportStatus::WrongRoot;
  return ImportStatus::Imported;
}

ImportStatus ReadMacroInfo(const XmlDocument& doc, ImportedMacro& macro) {
  if (!ReadText(doc, L"name", macro.header.name)) return ImportStatus::TextTooLong;
  macro.fileId = ReadInt(doc, L"macro_id");
  macro.header.playTimes = std::clamp(ReadIntOr(doc, L"times", 1), kMinPlayTimes, kMaxPlayTimes);
  const int delayType = ReadIntOr(doc, L"type", kDelayMeasured);
  macro.header.delayType = delayType >= kDelayMeasured && delayType <= kDelayFixed ? delayType : kDelayMeasured;
  macro.header.delayTime = std::clamp(ReadInt(doc, L"delaytime"), 0, kMaxMacroDelay);
  macro.header.linkCount = 0;
  return ImportStatus::Imported;
}

ImportStatus ReadMacroItems(XmlDocument& doc, std::vector<MacroItemRecord>& events) {
  events.clear();
  if (!doc.EnterElement()) return ImportStatus::Imported;
  ImportStatus status = ImportStatus::Imported;
  while (doc.FindElement(L"item")) {
    if (static_cast<int>(events.size()) >= kMaxImportEvents) {
      status = ImportStatus::TooManyItems;
      break;
    }
    MacroItemRecord event;
    if (!ReadText(doc, L"desc", event.desc)) {
      status = ImportStatus::TextTooLong;
      break;
    }
    event.type = ReadInt(doc, L"type");
    event.value = ReadInt(doc, L"value");
    event.delayTime = std::clamp(ReadInt(doc, L"delay_time"), 0, kMaxMacroDelay);
    event.recordIndex = static_cast<int>(events.size());
    events.push_back(std::move(event));
  }
  doc.LeaveElement();
  return status;
}

void WriteMacroItems(XmlDocument& doc, const std::vector<MacroItemRecord>& events) {
  doc.AddElement(L"macroitems");
  if (events.empty()) return;
  doc.EnterElement();
  for (const MacroItemRecord& event : events) {
    doc.AddElement(L"item");
    doc.SetAttribute(L"desc", event.desc);
    doc.SetAttribute(L"type", event.type);
    doc.SetAttribute(L"value", event.value);
    doc.SetAttribute(L"delay_time", event.delayTime);
  }
  doc.LeaveElement();
}

int StoreImportedMacro(DataStore& store, const ImportedMacro& macro) {
  int id = 0;
  const bool stored = store.RunInTransaction([&] {
    id = store.AddMacro(macro.header);
    if (id <= 0) return false;
    std::vector<MacroItemRecord> events = macro.events;
    for (size_t i = 0; i < events.size(); ++i) {
      events[i].macroId = id;
      events[i].recordIndex = static_cast<int>(i);
    }
    return store.AddMacroSteps(events);
  });
  return stored ? id : 0;
}

void StartDocument(XmlDocument& doc) { doc.ParseText(kDeclaration); }

bool ExportMacro(DataStore& store, int macroId, const std::wstring& path) {
  MacroRecord macro;
  if (!store.ReadMacro(macroId, macro)) return false;
  std::vector<MacroItemRecord> events;
  store.ListMacroSteps(macroId, events);
  XmlDocument doc;
  StartDocument(doc);
  doc.AddElement(L"macro");
  doc.EnterElement();
  doc.AddElement(L"macroinfo");
  doc.SetAttribute(L"name", macro.name);
  doc.SetAttribute(L"times", macro.playTimes);
  doc.SetAttribute(L"type", macro.delayType);
  doc.SetAttribute(L"delaytime", macro.delayTime);
  WriteMacroItems(doc, events);
  return doc.SaveFile(path);
}

MacroImport ImportMacro(DataStore& store, const std::wstring& path) {
  MacroImport result;
  XmlDocument doc;
  result.status = LoadImportFile(path, L"macro", doc);
  if (result.status != ImportStatus::Imported) return result;
  ImportedMacro macro;
  if (doc.FindElement(L"macroinfo")) {
    result.status = ReadMacroInfo(doc, macro);
    if (result.status != ImportStatus::Imported) return result;
  }
  if (doc.FindElement(L"macroitems")) {
    result.status = ReadMacroItems(doc, macro.events);
    if (result.status != ImportStatus::Imported) return result;
  }
  // The name always comes from the file name, never from the file's own "name".
  result.name = ImportedName(path);
  macro.header.name = result.name;
  result.macroId = StoreImportedMacro(store, macro);
  if (result.macroId == 0) result.status = ImportStatus::StoreFailed;
  return result;
}

}  // namespace kl
