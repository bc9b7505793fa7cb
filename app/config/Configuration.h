// The configuration shipped beside the program (config.xml): the program's own name, version
// and web addresses, and the keyboards it serves with the USB identities of each way of
// connecting them.
#pragma once

#include <string>
#include <vector>

namespace kl {

// One keyboard model (keyboard list) or one connection mode of a model (mode list).
struct DeviceEntry {
  std::wstring name;        // keyboard: display name; mode: the product_name to match
  int deviceType = 0;       // selects the protocol series: 301 for this build's keyboard
  std::wstring deviceInfo;  // layout name: layouts/<deviceInfo>.xml
  int mode = 0;             // 0 cable, 2 receiver (1 is accepted)
  int vendorId = 0;
  int productId = 0;
  int release = 0;          // kept, not used for matching
  std::wstring desc;
  std::wstring spare;
  std::wstring interfacePattern;  // substring of an interface path, for arrivals and removals
  int connected = 0;              // set while a matching interface is present
  int reserved = -1;
};

// What the device set needs to accept an interface for one connection mode.
struct ModeFilter {
  int vendorId = 0;
  int productId = 0;
  int release = 0;
  std::wstring name;
  int deviceType = 0;
  int mode = 0;
  std::wstring interfacePattern;
};

struct Configuration {
  std::vector<DeviceEntry> keyboards;
  std::vector<DeviceEntry> modes;
  bool softwareFound = false;  // version, addresses and notice are meaningful only then
  std::wstring version;
  std::wstring websiteUrl;
  std::wstring storeUrl;
  std::wstring upgradeUrl;
  std::wstring copyright;

  // One filter per mode entry, in file order.
  std::vector<ModeFilter> ModeFilters() const;
  // The first keyboard of the device type, or null.
  const DeviceEntry* FindKeyboard(int deviceType) const;
};

// Reads config.xml from `moduleFolder`. A missing or malformed file gives empty lists and
// false; elements are found in forward order, so "software" is only seen after "device_list".
bool LoadConfiguration(const std::wstring& moduleFolder, Configuration& config);

// The application name (config/software/@name) as start-up reads it: "software" is looked
// for from the start of "config". Empty when the file or the elements are missing.
std::wstring ReadApplicationName(const std::wstring& moduleFolder);

}  // namespace kl
