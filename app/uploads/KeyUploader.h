// Writes the current profile's key assignments, with the macros and shortcuts they bind, into
// the keyboard: the bodies of worker tasks 6 (key upload), 7 (reset the keys of a deleted
// macro) and 8 (full upload after a profile import), and the 200 series' slot
// synchronisation at connection. Everything here runs on the worker thread; the main window
// forwards its task calls and tells the uploader which key was changed.
//
// | series (device type) | single key (after MarkSingleKey)      | full upload                      |
// |----------------------|---------------------------------------|----------------------------------|
// | 300 (300..399)       | 100 ms; key block or 0x04 for the key | 0x0F + 100 ms; layer 0, layer 1: |
// |                      |                                       | 16 ms + key block or 0x04 each   |
// | 200 (201..299)       | slot table read, 100 ms; the key's    | 8-byte exchange AA 55 CC 0F;     |
// |                      | slot (held, else first free, else 1)  | macro slots 1..13 and key slots  |
// |                      |                                       | 1..10 in turn, 16 ms before each |
// | 100 (up to 200)      | (always the full upload)              | macros, shortcuts, 20 ms, table  |
//
// | worker task                 | call                  |
// |-----------------------------|-----------------------|
// | 5, 200 series, key page on  | SyncKeySlots          |
// | 6                           | UploadKeyAssignments  |
// | 7 (after NoteUnboundKeys)   | ResetMacroKeys        |
// | 8                           | UploadProfile300      |
//
// Pauses after sends: 0x04 50 ms; 300-series block pieces 20 ms each and 90 ms after the third;
// 100-series macro pieces 100 ms before each, 10 ms before each macro; key table chunks 10 ms
// before each. Pauses run on the device set's clock.
//
// Values the keyboard cannot hold are refused: a key whose assignment value is above 255 is
// given its default function (0x04 with 0, a freed key slot, an empty key table entry)
// instead of the value's low byte, which would be another function. Key codes above 255 do
// not exist on the keyboard and are not sent.
#pragma once

#include <array>
#include <atomic>
#include <map>
#include <mutex>
#include <vector>

#include "app/device/HidDeviceSet.h"
#include "app/store/DataStore.h"
#include "app/uploads/KeyBlocks.h"

namespace kl {

// What the key page shows when a task runs.
struct UploadTarget {
  int deviceType = 0;
  int profile = 0;  // the current profile
  int layer = 0;    // the current layer: 0 base, 1 Fn
};

class KeyUploader {
 public:
  // `keyIndexMap`: the layout's key code -> position in the 100 series' key table.
  KeyUploader(HidDeviceSet& devices, DataStore& store, std::map<int, int> keyIndexMap);

  // Window thread, just before task 6 is queued for one changed key: the next key upload
  // sends only that key (200 and 300 series).
  void MarkSingleKey(int keyCode);
  bool SingleKeyPending() const { return m_singleKey; }

  // Task 6, by series of the target's device type; other types send nothing. Clears the
  // single-key mark. False when the upload was cut short by a failed send or slot read.
  bool UploadKeyAssignments(const UploadTarget& target);
  // Task 8: the full 300-series upload, whatever the single-key mark (left as it is).
  bool UploadProfile300(const UploadTarget& target);
  // Window thread, when a macro was deleted, before task 7 is queued: the assignments that
  // bound it (MacroModel::DeleteMacro hands them over; their store rows are gone already).
  void NoteUnboundKeys(std::vector<KeyAssignmentRecord> unbound);
  // Task 7: takes the noted assignments and gives their keys back the default function. The
  // keyboard holds only the current profile, so exactly those of the current profile are
  // reset, each on its own layer; keys of other profiles are left alone, and so is a key that
  // has been given a new assignment since. Returns the keys reset.
  int ResetMacroKeys(const UploadTarget& target);
  // Task 5 on the 200 series (201..299): the assignments of the current profile and layer whose
  // key the keyboard holds in no slot are removed from the store (the keyboard is the
  // authority). A failed slot read removes nothing. Returns the assignments removed, -1 when
  // the slots could not be read.
  int SyncKeySlots(const UploadTarget& target);

  // 300 series: command 0x04 for one key on `layer`, from its stored assignment (function 0
  // when it has none or its value is above 255); nothing for macro and shortcut keys, which
  // go out as key blocks.
  bool SendKeyFunction(const UploadTarget& target, int layer, int keyCode);
  // 300 series: the key block of one macro or shortcut key on `layer`.
  bool SendKeyBlock300(int layer, int keyCode, int macroType, int macroValue);
  // 200 series: the slot table (bytes 1..13 macro slots, 14..23 key slots; 0 = free).
  bool ReadKeySlots(ShortFeatureResult& slots);
  // 200 series: the 0xFA report for key slot `slot` from the key's stored assignment; frees
  // the slot when the key has no assignment or its value is above 255.
  bool SendKeySlot(const UploadTarget& target, int keyCode, int slot);
  // 200 series: the key block of macro slot `slot`; an assignment other than a macro or
  // shortcut frees the slot.
  bool SendKeyBlock200(int slot, int keyCode, int macroType, int macroValue);

  // 100 series: the key -> macro slot map the last upload made.
  const std::map<int, int>& MacroSlots100() const { return m_macroSlots100; }

 private:
  bool Upload300(const UploadTarget& target);
  bool Upload200(const UploadTarget& target);
  bool Upload100(const UploadTarget& target);
  bool UploadSingleKey200(const UploadTarget& target, int keyCode);
  bool UploadMacros100(const std::vector<KeyAssignmentRecord>& list);
  bool SendCommand0x04(int layer, int keyCode, uint8_t function);
  KeyAssignmentRecord ReadAssignment(const UploadTarget& target, int layer, int keyCode);

  HidDeviceSet& m_devices;
  DataStore& m_store;
  const Clock& m_clock;
  std::map<int, int> m_keyIndexMap;
  std::map<int, int> m_macroSlots100;  // worker thread only
  std::atomic<bool> m_singleKey{false};
  std::atomic<int> m_selectedKey{0};
  std::mutex m_unboundLock;  // held only to hand the list over
  std::vector<KeyAssignmentRecord> m_unbound;
};

}  // namespace kl
