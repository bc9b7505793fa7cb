#include "app/device/StatusCommands.h"

namespace kl {

namespace {

constexpr int kResetSettleMs = 100;
constexpr int kReceiverRestoreGapMs = 1600;

uint8_t CodeByte(int code) { return static_cast<uint8_t>(code < 0 ? 0 : code > 255 ? 255 : code); }

}  // namespace

bool SetSleepTime(HidDeviceSet& devices, int code) {
  Command command = MakeCommand300(0x0C, {CodeByte(code)});
  return devices.SendCommand(command, false);
}

bool SetKeyResponseTime(HidDeviceSet& devices, int code) {
  Command command = MakeCommand300(0x0D, {CodeByte(code)});
  return devices.SendCommand(command, false);
}

bool ResetKeyAssignments(HidDeviceSet& devices) {
  Command command = MakeCommand300(0x0F);
  const bool sent = devices.SendCommand(command, false);
  devices.GetClock().SleepMs(kResetSettleMs);
  return sent;
}

bool RestoreFactorySettings(HidDeviceSet& devices, int deviceType, int connectionMode) {
  const Clock& clock = devices.GetClock();
  switch (SeriesOf(deviceType)) {
    case Series::S300: {
      Command command = MakeCommand300(0x08);
      const bool sent = devices.SendCommand(command, false);
      clock.SleepMs(kResetSettleMs);
      return sent;
    }
    case Series::S200: {
      if (connectionMode == 0) {
        const bool sent = devices.SendFeatureReport(MakeFeature200(0xF0, {0xAA}));
        clock.SleepMs(kResetSettleMs);
        return sent;
      }
      const bool first = devices.WriteCommand(MakeReceiverCommand200(0xAA, {0xAA, 0xAA, 0xAA, 0xAA, 0xAA}));
      clock.SleepMs(kReceiverRestoreGapMs);
      const bool second = devices.WriteCommand(MakeReceiverCommand200(0x00));
      return first && second;
    }
    case Series::S100:
      return devices.WriteRawReport(MakeReset100());
    case Series::None:
      break;
  }
  return false;
}

}  // namespace kl
