// What the connection logic changes in the main window. The main window implements it; every
// call may come from the worker thread, so the implementation marshals to the window thread
// (fire and forget: the worker never waits for the window while it holds device state).
#pragma once

#include <string>

namespace kl {

class IConnectionView {
 public:
  virtual ~IConnectionView() = default;

  // Closes the program's secondary windows (exit choice, custom key, message box, wait
  // dialog, menus) and hides key tips and combo drop-downs.
  virtual void CloseSecondaryWindows() = 0;
  virtual void SetStatusText(int textNumber) = 0;  // a language text number
  virtual void SelectTab(int index) = 0;
  virtual void ShowTabs(bool show) = 0;
  virtual void ShowPageArea(bool show) = 0;
  virtual void ShowBattery(bool show) = 0;
  virtual void SetModeIcon(const std::wstring& image) = 0;  // "icon\mode_usb.png" or "icon\mode_24g.png"
  virtual void ShowModeIcon(bool show) = 0;
  virtual void SetDeviceName(int textNumber) = 0;         // 0 clears the label
  virtual void SetPicture(const std::wstring& image) = 0;  // empty clears the picture
  virtual void ApplyPageSet(int deviceType) = 0;
  // The device list: every entry back to "not connected", then one entry's state.
  virtual void ResetAllDeviceStates() = 0;
  virtual void SetDeviceState(int deviceType, int state) = 0;
  virtual void SetBatteryInfo(int level) = 0;  // percent, 0..100
  virtual void QueueTask(int task) = 0;        // a worker task number
};

}  // namespace kl
