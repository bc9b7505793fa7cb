#include "app/config/Layout.h"

#include <algorithm>
#include <climits>
#include <cstdint>

#include "app/config/Configuration.h"
#include "app/xml/XmlDocument.h"
#include "base/Parse.h"
#include "base/Path.h"

namespace kl {
namespace {

int Decimal(const XmlDocument& doc, const wchar_t* name) { return ParseDecimal(doc.GetAttribute(name)); }
bool Flag(const XmlDocument& doc, const wchar_t* name) { return Decimal(doc, name) == 1; }

// "row_col": the row is the first character; the column is the last character of a
// three-character text and the last two characters otherwise ("2,5" and "2,13").
void ParseRowCol(const std::wstring& text, int& row, int& column) {
  row = column = -1;
  if (text.size() < 2) return;
  row = ParseDecimal(text.substr(0, 1));
  column = ParseDecimal(text.size() == 3 ? text.substr(2) : text.substr(text.size() - 2));
}

// "rect": left#top#width#height.
CRect ParseRect(const std::wstring& text) {
  int v[4] = {0, 0, 0, 0};
  size_t pos = 0;
  for (int i = 0; i < 4 && pos <= text.size(); ++i) {
    size_t hash = text.find(L'#', pos);
    if (hash == std::wstring::npos) hash = text.size();
    v[i] = ParseDecimal(std::wstring_view(text).substr(pos, hash - pos));
    pos = hash + 1;
  }
  // Right and bottom saturate: a hostile file must not overflow them.
  const auto add = [](int a, int b) {
    return static_cast<int>(std::clamp<int64_t>(int64_t{a} + b, INT_MIN, INT_MAX));
  };
  return CRect(v[0], v[1], add(v[0], v[2]), add(v[1], v[3]));
}

void ReadKey(const XmlDocument& doc, KeyboardLayout& layout) {
  KeyItem key;
  key.code = static_cast<int>(ParseHex(doc.GetAttribute(L"code")));
  key.name = doc.GetAttribute(L"name");
  key.desc = doc.GetAttribute(L"desc");
  key.keyIndex = Decimal(doc, L"key_index");
  key.lightIndex = Decimal(doc, L"light_index");
  key.icon = doc.GetAttribute(L"icon");
  key.fnLayerDisabled = doc.GetAttribute(L"fnlayer_disable") == L"1";

  layout.keyIndexMap[key.code] = key.keyIndex;
  // The light buffer is addressed by the key table position too; light_index is kept on the
  // key for a device that would need it.
  layout.lightIndexMap[key.code] = key.keyIndex;
  if (key.fnLayerDisabled) layout.fnLockedKeys.insert(key.code);

  ParseRowCol(doc.GetAttribute(L"row_col"), key.row, key.column);
  if (key.row >= 0 && key.row < kGridRows && key.column >= 0 && key.column < kGridColumns) {
    layout.grid[key.row][key.column] = static_cast<uint8_t>(key.code & 0xFF);
  } else {
    // A cell outside the grid keeps the key but gives it no grid position.
    key.row = key.column = -1;
  }
  key.rect = ParseRect(doc.GetAttribute(L"rect"));
  layout.keys.push_back(std::move(key));
}

}  // namespace

void KeyboardLayout::ClearKeys() {
  keyIndexMap.clear();
  lightIndexMap.clear();
  fnLockedKeys.clear();
  keys.clear();
  rowCount = columnCount = 0;
  for (auto& row : grid) row.fill(kNoKey);
}

std::wstring LayoutFilePath(const std::wstring& moduleFolder, const std::wstring& layoutName) {
  return JoinPath(moduleFolder, L"layouts/" + layoutName + L".xml");
}

bool LoadLayoutFile(const std::wstring& path, KeyboardLayout& layout) {
  layout.firmwareUrl.clear();
  layout.receiverFirmwareUrl.clear();

  XmlDocument doc;
  if (!doc.LoadFile(path) || !doc.IsWellFormed() || !doc.FindElement(L"device_list")) return false;
  doc.EnterElement();

  // Each section is searched after the one before, so they are read in file order.
  if (doc.FindElement(L"menu")) {
    layout.pageFlags = kPageKeys | kPageSettingsView;
    if (Flag(doc, L"macro")) layout.pageFlags |= kPageMacros;
    if (Flag(doc, L"light_mode")) layout.pageFlags |= kPageLighting;
  }
  if (doc.FindElement(L"function")) layout.sleepTimeSupported = Flag(doc, L"sleep_time");
  if (doc.FindElement(L"firmware")) {
    layout.firmwareVersion = doc.GetAttribute(L"version");
    layout.firmwareFile = doc.GetAttribute(L"file");
    layout.firmwareUrl = doc.GetAttribute(L"url");
    layout.receiverFirmwareUrl = doc.GetAttribute(L"dongle_url");
    layout.firmwareButtonVisible = !layout.firmwareVersion.empty() && !layout.firmwareFile.empty();
  }
  if (doc.FindElement(L"light")) {
    layout.rgbKeyboard = Flag(doc, L"rgb_keyboard");
    layout.defaultMode = Decimal(doc, L"default_mode");
    layout.defaultBrightness = Decimal(doc, L"default_brightness");
    layout.defaultSpeed = Decimal(doc, L"default_speed");
    layout.brightnessMax = Decimal(doc, L"brightness_max");
    layout.speedMax = Decimal(doc, L"speed_max");
    layout.lightModes.clear();
    doc.EnterElement();
    while (doc.FindElement(L"info"))
      layout.lightModes.push_back({doc.GetAttribute(L"name"), Decimal(doc, L"mode"), Decimal(doc, L"attribute")});
    doc.LeaveElement();
  }

  layout.ClearKeys();
  layout.hasPicture = false;
  if (doc.FindElement(L"Keyboard")) {
    layout.hasPicture = true;
    layout.pictureX = Decimal(doc, L"xpos");
    layout.pictureY = Decimal(doc, L"ypos");
    layout.pictureWidth = Decimal(doc, L"width");
    layout.pictureHeight = Decimal(doc, L"height");
    layout.pictureImage = L"keyboard/" + doc.GetAttribute(L"image");
    layout.rowCount = Decimal(doc, L"row_count");
    layout.columnCount = Decimal(doc, L"col_count");
    doc.EnterElement();
    if (doc.FindElement(L"KeyItems")) {
      doc.EnterElement();
      while (doc.FindElement(L"key")) ReadKey(doc, layout);
    }
  }
  return true;
}

KeyboardModel FindKeyboardModel(const Configuration& config, int deviceType) {
  KeyboardModel model{deviceType, {}, {}};
  if (const DeviceEntry* keyboard = config.FindKeyboard(deviceType)) {
    model.name = keyboard->name;
    model.layoutName = keyboard->deviceInfo;
  }
  return model;
}

}  // namespace kl
