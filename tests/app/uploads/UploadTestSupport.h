// A store in a scratch folder with helpers to make profiles, macros and assignments, for the
// upload tests.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "app/keys/KeyCatalog.h"
#include "app/macros/MacroModel.h"
#include "app/store/DataStore.h"
#include "tests/TestSupport.h"

namespace kl::test {

// Virtual-key codes whose key codes are the HID usages 4 (A) onwards.
constexpr int kVkA = 0x41;

struct StoreRig {
  StoreRig() {
    const std::filesystem::path folder = ScratchFolder();
    std::filesystem::create_directories(folder / "db");
    EXPECT_TRUE(store.OpenForDevice(Wide(folder), L"Upload Test"));
    ProfileRecord record;
    record.name = L"P1";
    profile = store.AddProfile(record);
    record.name = L"P2";
    otherProfile = store.AddProfile(record);
    EXPECT_GT(otherProfile, profile);
  }

  // A macro of `events` alternating down/up events of the letters from A, each with
  // `delayMs` after it.
  int AddMacro(int events, int playTimes, int delayMs = 20) {
    MacroRecord record;
    record.name = L"M" + std::to_wstring(++macros);
    record.playTimes = playTimes;
    const int id = store.AddMacro(record);
    std::vector<MacroItemRecord> steps;
    for (int i = 0; i < events; ++i) {
      MacroItemRecord step;
      step.macroId = id;
      step.type = i % 2 == 0 ? kMacroEventDown : kMacroEventUp;
      step.recordIndex = i;
      step.value = kVkA + (i / 2) % 26;
      step.delayTime = delayMs;
      steps.push_back(step);
    }
    EXPECT_TRUE(store.ReplaceMacroSteps(id, steps));
    return id;
  }

  void Assign(int layer, int keyCode, int type, int value, int forProfile = 0) {
    KeyAssignmentRecord record;
    record.profile = forProfile ? forProfile : profile;
    record.fnLayer = layer;
    record.keyCode = keyCode;
    record.macroType = type;
    record.macroValue = value;
    record.macroDesc = L"x";
    store.SetKeyAssignment(record);
  }

  DataStore store;
  int profile = 0;
  int otherProfile = 0;
  int macros = 0;
};

}  // namespace kl::test
