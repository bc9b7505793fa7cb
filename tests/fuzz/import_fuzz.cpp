// Fuzzes profile and macro import end to end: the bytes are written to a file and imported into
// a scratch store, each run inside a transaction that is rolled back. A hostile file must never
// crash the program, and whatever an accepted file stores stays within the bounds import
// promises.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/keys/ProfileFile.h"
#include "app/macros/MacroFile.h"
#include "app/macros/MacroModel.h"
#include "base/Encoding.h"

namespace {

void CheckMacro(kl::DataStore& store, int macroId) {
  kl::MacroRecord macro;
  if (!store.ReadMacro(macroId, macro)) std::abort();
  if (macro.playTimes < kl::kMinPlayTimes || macro.playTimes > kl::kMaxPlayTimes) std::abort();
  if (macro.delayType < 1 || macro.delayType > 3) std::abort();
  std::vector<kl::MacroItemRecord> events;
  if (store.ListMacroSteps(macroId, events) > kl::kMaxImportEvents) std::abort();
  for (const kl::MacroItemRecord& e : events)
    if (e.delayTime < 0 || e.delayTime > kl::kMaxMacroDelay) std::abort();
}

// A scratch store for the whole run, removed with its folder when the process ends.
struct Scratch {
  Scratch() : folder("/tmp/keyloft-import-fuzz-" + std::to_string(::getpid())), path(folder + "/input.xml") {
    std::filesystem::create_directories(folder + "/db");
    if (!store.OpenForDevice(kl::Utf8ToWide(folder), L"fuzz")) std::abort();
  }
  ~Scratch() {
    store.Close();
    std::error_code error;
    std::filesystem::remove_all(folder, error);
  }
  std::string folder;
  std::string path;
  kl::DataStore store;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Scratch scratch;
  kl::DataStore* store = &scratch.store;
  const std::string& path = scratch.path;

  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  const std::wstring widePath = kl::Utf8ToWide(path);

  store->RunInTransaction([&] {
    const kl::ProfileImport profile = kl::ImportProfile(*store, widePath);
    if (profile.status == kl::ImportStatus::Imported) {
      for (int id : profile.newMacros) CheckMacro(*store, id);
      std::vector<kl::KeyAssignmentRecord> keys;
      if (store->ListProfileAssignments(profile.profile, keys) > kl::kMaxImportKeyItems) std::abort();
      for (const kl::KeyAssignmentRecord& key : keys)
        if ((key.fnLayer != 0 && key.fnLayer != 1) || key.keyCode <= 0 || key.keyCode > 255) std::abort();
    } else if (profile.profile != 0 || !profile.newMacros.empty()) {
      std::abort();
    }
    const kl::MacroImport macro = kl::ImportMacro(*store, widePath);
    if (macro.status == kl::ImportStatus::Imported) CheckMacro(*store, macro.macroId);
    else if (macro.macroId != 0) std::abort();
    return false;  // roll back: every input starts from the same store
  });
  return 0;
}
