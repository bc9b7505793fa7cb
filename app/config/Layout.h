// The description of one keyboard model (layouts/<name>.xml): which pages it has, whether
// sleep time is adjustable, the firmware offered for it, its lighting catalogue and the
// picture of the keyboard with every key's code, index, grid cell and rectangle.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "base/Geometry.h"

namespace kl {

struct Configuration;

// Page flags: which pages and keyboard views the model has.
enum PageFlags : int {
  kPageKeys = 0x01,
  kPageMacros = 0x02,
  kPageLighting = 0x04,
  kPageSettingsView = 0x40,
  kPagesAll = 0x7F,
};

struct LightModeInfo {
  std::wstring name;  // number of the mode's language text, as written
  int mode = 0;
  int attribute = 0;  // parameter mask
};

// One key of the picture, as the keyboard views receive it.
struct KeyItem {
  std::wstring name;
  std::wstring desc;
  int code = 0;
  int keyIndex = 0;
  int lightIndex = 0;
  std::wstring icon;
  bool fnLayerDisabled = false;
  int row = -1;  // grid cell; -1 when the file's cell lies outside the 8 x 32 grid
  int column = -1;
  CRect rect;    // left, top, right, bottom in picture pixels
};

constexpr int kGridRows = 8;
constexpr int kGridColumns = 32;
constexpr uint8_t kNoKey = 0xFF;

struct KeyboardLayout {
  // Everything below keeps its value when a later file lacks the element, as the window does
  // when it switches models.
  int pageFlags = kPagesAll;
  bool sleepTimeSupported = false;
  std::wstring firmwareVersion;
  std::wstring firmwareFile;
  std::wstring firmwareUrl;
  std::wstring receiverFirmwareUrl;
  bool firmwareButtonVisible = false;  // decided only by a file with a "firmware" element

  bool rgbKeyboard = false;
  int defaultMode = 0;
  int defaultBrightness = 0;
  int defaultSpeed = 0;
  int brightnessMax = 4;  // the sliders run 0..4 until a layout says otherwise
  int speedMax = 4;
  std::vector<LightModeInfo> lightModes;

  bool hasPicture = false;  // a "Keyboard" element was read
  int pictureX = 0;
  int pictureY = 0;
  int pictureWidth = 0;
  int pictureHeight = 0;
  std::wstring pictureImage;  // "keyboard/<image>"
  int rowCount = 0;
  int columnCount = 0;
  std::array<std::array<uint8_t, kGridColumns>, kGridRows> grid = {};  // low byte of the code, kNoKey
  std::map<int, int> keyIndexMap;    // key code -> position in the device's key tables
  std::map<int, int> lightIndexMap;  // key code -> position in the light buffer
  std::set<int> fnLockedKeys;        // cannot be reassigned on the Fn layer
  std::vector<KeyItem> keys;

  KeyboardLayout() { ClearKeys(); }
  void ClearKeys();
};

// layouts/<layoutName>.xml under the module folder.
std::wstring LayoutFilePath(const std::wstring& moduleFolder, const std::wstring& layoutName);

// Reads a layout file into `layout`. The two firmware addresses are emptied first; everything
// else is replaced only by what the file holds. False (and nothing else changed) when the file
// is missing, not well-formed or has no "device_list" root.
bool LoadLayoutFile(const std::wstring& path, KeyboardLayout& layout);

// The keyboard model of a device type: its display name and layout name, from the first
// keyboard of that type in the configuration (both empty when there is none).
struct KeyboardModel {
  int deviceType = 0;
  std::wstring name;
  std::wstring layoutName;
};
KeyboardModel FindKeyboardModel(const Configuration& config, int deviceType);

}  // namespace kl
