// Profile files: one profile's key assignments on both layers and the macros they bind.
//
//   <profile>
//   <profileinfo name="the profile's text as the list shows it"/>
//   <keyitems>
//   <item fn_layer key_code layout_value layout_desc macro_type macro_value macro_value2
//         macro_value3 macro_desc/>                                one per assignment
//   </keyitems>
//   <macroinfo name macro_id times type delaytime>                 one per macro key
//   <macroitems><item desc type value delay_time/>...</macroitems>
//   </macroinfo>
//   </profile>
//
// A macro bound to several keys is written once per key. On import a macro whose name and id
// both match one already in the store is left alone and keys keep referring to it; every other
// macro is added and the keys are pointed at the copy (the last copy when a file id repeats).
#pragma once
#include <string>
#include <vector>

#include "app/macros/MacroFile.h"
#include "app/store/DataStore.h"

namespace kl {

bool ExportProfile(DataStore& store, int profile, const std::wstring& shownName, const std::wstring& path);

struct ProfileImport {
  ImportStatus status = ImportStatus::CannotRead;
  int profile = 0;
  std::wstring name;
  std::vector<int> newMacros;  // ids of the macros added, in file order
};
// Reads the whole file first; only a file that passes every check is written to the store, in
// one transaction, so a refused file or a failed write leaves the store as it was.
ProfileImport ImportProfile(DataStore& store, const std::wstring& path);

}  // namespace kl
