// Single keyboard settings and resets. The settings page decides the values and stores them;
// these send them.
#pragma once

#include "app/device/HidDeviceSet.h"

namespace kl {

// 300 series, command 0x0C with the sleep-time code in wire byte 6.
bool SetSleepTime(HidDeviceSet& devices, int code);
// 300 series, command 0x0D with the key-response-time code in wire byte 6.
bool SetKeyResponseTime(HidDeviceSet& devices, int code);
// 300 series, command 0x0F, then 100 ms for the keyboard to clear its key map.
bool ResetKeyAssignments(HidDeviceSet& devices);

// The keyboard's side of a factory restore, by series of `deviceType`:
//
// | series           | reports                                                          |
// |------------------|------------------------------------------------------------------|
// | 300              | 0x08, then 100 ms                                                |
// | 200, cable (0)   | feature 07 F0 AA, then 100 ms                                    |
// | 200, receiver    | BB AA 99 88 + six 0xAA; 1600 ms later BB AA 99 88 alone          |
// | 100              | reset report FF FE AA FF (after the caller has sent the key table) |
// | 400 and above    | nothing (false)                                                  |
//
// The pages are reloaded from the store by the caller afterwards.
bool RestoreFactorySettings(HidDeviceSet& devices, int deviceType, int connectionMode);

}  // namespace kl
