#include "platform/HidapiBackend.h"

#include <hidapi.h>

namespace kl::platform {

namespace {

class HidapiDevice : public IHidDevice {
 public:
  explicit HidapiDevice(hid_device* device) : m_device(device) {}
  ~HidapiDevice() override { hid_close(m_device); }
  HidapiDevice(const HidapiDevice&) = delete;
  HidapiDevice& operator=(const HidapiDevice&) = delete;

  int Write(const uint8_t* data, size_t length) override { return Note(hid_write(m_device, data, length)); }
  int Read(uint8_t* data, size_t length, int timeoutMs) override {
    return Note(hid_read_timeout(m_device, data, length, timeoutMs));
  }
  int SendFeatureReport(const uint8_t* data, size_t length) override {
    return Note(hid_send_feature_report(m_device, data, length));
  }
  int GetFeatureReport(uint8_t* data, size_t length) override {
    return Note(hid_get_feature_report(m_device, data, length));
  }
  std::wstring ErrorText() const override { return m_error; }

 private:
  // Keeps the library's text of a failure, cut at the first line break.
  int Note(int result) {
    if (result < 0) {
      const wchar_t* text = hid_error(m_device);
      m_error = text ? text : L"HID error";
      m_error = m_error.substr(0, m_error.find_first_of(L"\r\n"));
    }
    return result;
  }

  hid_device* m_device;
  std::wstring m_error;
};

class HidapiBackend : public IHidBackend {
 public:
  HidapiBackend() : m_initialised(hid_init() == 0) {}
  ~HidapiBackend() override {
    if (m_initialised) hid_exit();
  }
  HidapiBackend(const HidapiBackend&) = delete;
  HidapiBackend& operator=(const HidapiBackend&) = delete;

  std::vector<HidDeviceInfo> Enumerate() override {
    std::vector<HidDeviceInfo> list;
    if (!m_initialised) return list;
    hid_device_info* all = hid_enumerate(0, 0);
    for (const hid_device_info* d = all; d; d = d->next) {
      HidDeviceInfo info;
      info.path = d->path ? d->path : "";
      info.vendorId = d->vendor_id;
      info.productId = d->product_id;
      info.releaseNumber = d->release_number;
      info.interfaceNumber = d->interface_number;
      info.usagePage = d->usage_page;
      info.usage = d->usage;
      list.push_back(std::move(info));
    }
    hid_free_enumeration(all);
    return list;
  }

  std::unique_ptr<IHidDevice> Open(const std::string& path) override {
    if (!m_initialised) return nullptr;
    hid_device* device = hid_open_path(path.c_str());
    if (!device) return nullptr;
    return std::make_unique<HidapiDevice>(device);
  }

 private:
  bool m_initialised;
};

}  // namespace

std::unique_ptr<IHidBackend> CreateHidapiBackend() { return std::make_unique<HidapiBackend>(); }

}  // namespace kl::platform
