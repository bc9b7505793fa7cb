// Selecting a keyboard model: at start-up and after restoring the defaults, the main window
// makes one model of config.xml the current one. That chooses the protocol series, opens the
// model's own store and its layout, and sets how many events a macro recording may take.
#pragma once
#include <string>

#include "app/config/Configuration.h"
#include "app/config/Layout.h"
#include "app/store/DataStore.h"

namespace kl {

struct KeyboardModelLoad {
  int deviceType = 0;
  std::wstring modelName;   // empty when config.xml has no keyboard of the type
  std::wstring layoutName;
  bool storeOpen = false;
  // A damaged store file that had to be moved aside (the user should be told), else empty.
  std::wstring storeSetAside;
  int macroEventLimit = 80;
  bool layoutLoaded = false;  // false: `layout` keeps the previous model's description
};

// Closes the store and opens the model's store in `dataFolder`, then reads
// layouts/<layout>.xml under `moduleFolder` into `layout`. The firmware addresses are emptied
// whether or not the layout loads.
KeyboardModelLoad LoadKeyboardModel(const Configuration& config, int deviceType, DataStore& store,
                                    const std::wstring& dataFolder, const std::wstring& moduleFolder,
                                    KeyboardLayout& layout);

}  // namespace kl
