#include "app/config/Configuration.h"

#include "app/xml/XmlDocument.h"
#include "base/Parse.h"
#include "base/Path.h"

namespace kl {
namespace {

bool LoadConfigDocument(const std::wstring& moduleFolder, XmlDocument& doc) {
  return doc.LoadFile(JoinPath(moduleFolder, L"config.xml")) && doc.IsWellFormed();
}

int Hex(const XmlDocument& doc, const wchar_t* name) { return static_cast<int>(ParseHex(doc.GetAttribute(name))); }

}  // namespace

std::vector<ModeFilter> Configuration::ModeFilters() const {
  std::vector<ModeFilter> filters;
  filters.reserve(modes.size());
  for (const DeviceEntry& m : modes)
    filters.push_back({m.vendorId, m.productId, m.release, m.name, m.deviceType, m.mode, m.interfacePattern});
  return filters;
}

const DeviceEntry* Configuration::FindKeyboard(int deviceType) const {
  for (const DeviceEntry& k : keyboards)
    if (k.deviceType == deviceType) return &k;
  return nullptr;
}

bool LoadConfiguration(const std::wstring& moduleFolder, Configuration& config) {
  config = Configuration();
  XmlDocument doc;
  if (!LoadConfigDocument(moduleFolder, doc) || !doc.FindElement(L"config")) return false;
  doc.EnterElement();

  if (doc.FindElement(L"device_list")) {
    doc.EnterElement();
    while (doc.FindElement(L"keyboard")) {
      DeviceEntry entry;
      entry.name = doc.GetAttribute(L"name");
      entry.deviceType = ParseDecimal(doc.GetAttribute(L"device_type"));
      entry.deviceInfo = doc.GetAttribute(L"device_info");
      config.keyboards.push_back(entry);

      doc.EnterElement();
      while (doc.FindElement(L"mode")) {
        // Every attribute is read for every mode: nothing but the keyboard's type and layout
        // carries over from the mode before.
        entry.mode = ParseDecimal(doc.GetAttribute(L"value"));
        entry.desc = doc.GetAttribute(L"desc");
        entry.vendorId = Hex(doc, L"vid");
        entry.productId = Hex(doc, L"pid");
        entry.release = Hex(doc, L"rev");
        entry.name = doc.GetAttribute(L"product_name");
        entry.interfacePattern = doc.GetAttribute(L"hid_interface");
        config.modes.push_back(entry);
      }
      doc.LeaveElement();
    }
    doc.LeaveElement();
  }

  if (doc.FindElement(L"software")) {
    config.softwareFound = true;
    config.version = doc.GetAttribute(L"version");
    doc.EnterElement();
    if (doc.FindElement(L"website")) config.websiteUrl = doc.GetAttribute(L"url");
    if (doc.FindElement(L"store")) config.storeUrl = doc.GetAttribute(L"url");
    if (doc.FindElement(L"upgrade")) config.upgradeUrl = doc.GetAttribute(L"url");
    if (doc.FindElement(L"copyright")) config.copyright = doc.GetAttribute(L"info");
  }
  return true;
}

std::wstring ReadApplicationName(const std::wstring& moduleFolder) {
  XmlDocument doc;
  if (!LoadConfigDocument(moduleFolder, doc) || !doc.FindElement(L"config")) return {};
  doc.EnterElement();
  return doc.FindElement(L"software") ? doc.GetAttribute(L"name") : std::wstring();
}

}  // namespace kl
