#include "app/keys/LoadKeyboardModel.h"

#include "app/macros/MacroModel.h"

namespace kl {

KeyboardModelLoad LoadKeyboardModel(const Configuration& config, int deviceType, DataStore& store,
                                    const std::wstring& dataFolder, const std::wstring& moduleFolder,
                                    KeyboardLayout& layout) {
  KeyboardModelLoad result;
  layout.firmwareUrl.clear();
  layout.receiverFirmwareUrl.clear();
  const KeyboardModel model = FindKeyboardModel(config, deviceType);
  result.deviceType = deviceType;
  result.modelName = model.name;
  result.layoutName = model.layoutName;

  store.Close();
  // Without a model name there is no file to open: the store stays closed and every store
  // operation fails softly rather than writing into a file named for nothing.
  if (!model.name.empty()) {
    result.storeOpen = store.OpenForDevice(dataFolder, model.name);
    result.storeSetAside = store.SetAsideFile();
  }
  result.macroEventLimit = MacroEventLimit(deviceType);
  if (!model.layoutName.empty())
    result.layoutLoaded = LoadLayoutFile(LayoutFilePath(moduleFolder, model.layoutName), layout);
  return result;
}

}  // namespace kl
