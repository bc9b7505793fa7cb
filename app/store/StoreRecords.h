// One in-memory record per store table. Integers are 32-bit signed; text is wide. The field
// meanings belong to the key catalog (assignments), the macro model and the lighting code; the
// store only keeps them.
#pragma once
#include <string>

namespace kl {

struct ProfileRecord {
  int profile = 0;
  std::wstring name;
  std::wstring app;
  int type = 0;
  int status = 0;  // 1 marks the current profile
};

struct MusicLayerRecord {
  int layerId = 0;
  int profile = 0;
  std::wstring name;
  int deviceIndex = 0;
  int foreMode = 0;
  int foreAmplitude = 0;
  int backMode = 0;
  int backBrightness = 0;  // column backb_right
};

struct KeyAssignmentRecord {
  int keyId = 0;
  int profile = 0;
  int fnLayer = 0;  // 0 base layer, 1 Fn layer
  int keyCode = 0;
  int layoutValue = 0;
  std::wstring layoutDesc;
  int macroType = 0;
  int macroValue = 0;
  int macroValue2 = 0;
  int macroValue3 = 0;
  std::wstring macroDesc;
};

struct KeyOtherRecord {
  int id = 0;  // column macro_value
  std::wstring desc;
  std::wstring param;
  int type = 0;
};

struct LightModeRecord {
  int lightId = 0;
  int profile = 0;
  std::wstring name;
  int mode = 0;
  int brightness = 0;
  int speed = 0;
  int direction = 0;
  int colorful = 0;
  int colorIndex = 0;
  int colorValue = 0;
  int configFunc = 0;
  int reserved = 0;
  int status = 0;
};

struct KeyLightRecord {
  int keyLightId = 0;
  int profile = 0;
  int lightId = 0;
  int keyCode = 0;
  int keyRgb = 0;
};

struct MacroRecord {
  int macroId = 0;
  std::wstring name;
  int linkCount = 0;
  int playTimes = 1;
  int delayType = 1;
  int delayTime = 0;
};

struct MacroItemRecord {
  int recordId = 0;
  int macroId = 0;
  int type = 0;  // 2 key down, 3 key up
  int recordIndex = 0;
  int value = 0;      // virtual-key code
  int delayTime = 0;  // milliseconds after this event
  std::wstring desc;
};

}  // namespace kl
