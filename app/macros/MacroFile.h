// Macro files and the pieces of them that profile files share.
//
// Macro file (UTF-8, declaration and CR LF, one element per line):
//   <macro>
//   <macroinfo name=".." times="play_times" type="delay_type" delaytime="delay_time"/>
//   <macroitems>
//   <item desc=".." type="2|3" value="virtual key" delay_time="ms"/>   one per event
//   </macroitems>
//   </macro>
// Profile files carry macros as <macroinfo name macro_id times type delaytime> holding
// <macroitems> with the same <item> elements.
//
// Import is defensive: the file is read whole only below a size bound, must be UTF-8 and
// well-formed, may not nest deeper than the format does, and its counts and texts are bounded.
// A refused file changes nothing in the store.
#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "app/store/DataStore.h"
#include "app/xml/XmlDocument.h"

namespace kl {

enum class ImportStatus {
  Imported,
  CannotRead,    // missing or unreadable file
  TooLarge,      // larger than any file the program writes could reasonably be
  NotUtf8,       // the bytes are not UTF-8
  NotXml,        // not well-formed XML
  WrongRoot,     // well-formed, but not a file of the expected kind
  TooDeep,       // nested deeper than the format
  TooManyItems,  // more key items, macros or events than allowed
  TextTooLong,   // a name or description beyond the length bound
  BadValue,      // a number outside what the field can hold (a layer other than 0 and 1, ...)
  ProfileLimit,  // the store already holds the most profiles allowed
  StoreFailed,   // the store refused the write; nothing was kept
};

constexpr size_t kMaxImportFileBytes = 8 * 1024 * 1024;
constexpr int kMaxImportEvents = 1000;    // per macro
constexpr int kMaxImportMacros = 512;     // per profile file
constexpr int kMaxImportKeyItems = 512;   // two layers of every key code
constexpr int kMaxImportTextLength = 1024;
constexpr int kMaxImportedNameLength = 64;

// The name of an imported profile or macro: the file's title up to its first "."; a title
// without "." is used whole. At most 64 characters.
std::wstring ImportedName(const std::wstring& path);

// Reads `path` with the checks above into `doc` and requires the root element `root`.
// On success the cursor is inside the root.
ImportStatus LoadImportFile(const std::wstring& path, std::wstring_view root, XmlDocument& doc);

// A macro as read from a file, not yet stored.
struct ImportedMacro {
  int fileId = 0;  // macro_id of a profile file, 0 in macro files
  MacroRecord header;
  std::vector<MacroItemRecord> events;
};
// The attributes of the current <macroinfo>: missing play count and delay type read as 1,
// delays are clamped to 0..31000, the play count to 1..99.
ImportStatus ReadMacroInfo(const XmlDocument& doc, ImportedMacro& macro);
// The <item> children of the current <macroitems>.
ImportStatus ReadMacroItems(XmlDocument& doc, std::vector<MacroItemRecord>& events);
// Adds <macroitems> after the current element with one <item> per event.
void WriteMacroItems(XmlDocument& doc, const std::vector<MacroItemRecord>& events);
// Stores a macro and its events (record_index from 0); the new id, 0 on failure.
int StoreImportedMacro(DataStore& store, const ImportedMacro& macro);

// Starts a document the way every file the program writes starts.
void StartDocument(XmlDocument& doc);

bool ExportMacro(DataStore& store, int macroId, const std::wstring& path);

struct MacroImport {
  ImportStatus status = ImportStatus::CannotRead;
  int macroId = 0;
  std::wstring name;
};
MacroImport ImportMacro(DataStore& store, const std::wstring& path);

}  // namespace kl
