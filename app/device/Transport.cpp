// The report transport of HidDeviceSet: each operation holds the set's lock from its first
// write to the read of its reply.
#include <algorithm>

#include "app/device/HidDeviceSet.h"

namespace kl {

namespace {

constexpr int kFeaturePauseMs = 16;
constexpr int kRetryPauseMs = 10;
constexpr int kWriteCommandRetryPauseMs = 32;
constexpr int kReplyWaitMs = 100;
constexpr int kReplyTimeoutMs = 500;
constexpr int kShortReadTimeoutMs = 10;

Report CommandReport(const Command& command) {
  Report report{};
  std::copy(command.begin(), command.end(), report.begin() + 1);
  return report;
}

// Reads one input report into a full-size buffer and hands back its first 64 bytes: the
// reply must never overrun the 64-byte command it replaces.
bool ReadInto(IHidDevice& device, Command& command, int timeoutMs) {
  Report reply{};
  if (device.Read(reply.data(), reply.size(), timeoutMs) <= 0) return false;
  std::copy_n(reply.begin(), command.size(), command.begin());
  return true;
}

}  // namespace

int HidDeviceSet::WriteWithRetry(IHidDevice& device, const uint8_t* report, int retryMs) {
  int written = device.Write(report, sizeof(Report));
  if (written < 1) {
    m_clock.SleepMs(retryMs);
    written = device.Write(report, sizeof(Report));
  }
  return std::max(written, 0);
}

bool HidDeviceSet::SendFeatureReport(const Report& report) {
  std::lock_guard guard(m_lock);
  IHidDevice* device = m_opened ? WriteHandleLocked() : nullptr;
  if (!device) return false;
  m_clock.SleepMs(kFeaturePauseMs);
  return device->SendFeatureReport(report.data(), report.size()) > 0;
}

bool HidDeviceSet::ExchangeShortFeature(const ShortFeature& request, ShortFeatureResult& result) {
  std::lock_guard guard(m_lock);
  IHidDevice* device = m_opened ? WriteHandleLocked() : nullptr;
  if (!device) return false;
  bool complete = device->SendFeatureReport(request.data(), request.size()) > 0;
  for (size_t pass = 0; pass < 4; ++pass) {
    ShortFeature scratch{0x07, 0xFB, 0x01};
    m_clock.SleepMs(kFeaturePauseMs);
    if (device->GetFeatureReport(scratch.data(), scratch.size()) > 0)
      std::copy_n(scratch.begin() + 1, 7, result.begin() + static_cast<std::ptrdiff_t>(7 * pass));
    else
      complete = false;
  }
  return complete;
}

bool HidDeviceSet::WriteRawReport(const Report& report) {
  std::lock_guard guard(m_lock);
  IHidDevice* device = m_opened ? WriteHandleLocked() : nullptr;
  if (!device) return false;
  return WriteWithRetry(*device, report.data(), kRetryPauseMs) > 0;
}

bool HidDeviceSet::WriteCommand(const Command& command) {
  std::lock_guard guard(m_lock);
  IHidDevice* device = m_opened ? WriteHandleLocked() : nullptr;
  if (!device) return false;
  const Report report = CommandReport(command);
  return WriteWithRetry(*device, report.data(), kWriteCommandRetryPauseMs) > 0;
}

bool HidDeviceSet::SendCommand(Command& command, bool waitForReply) {
  std::lock_guard guard(m_lock);
  IHidDevice* device = m_opened ? WriteHandleLocked() : nullptr;
  if (!device) return false;
  const Report report = CommandReport(command);
  if (WriteWithRetry(*device, report.data(), kRetryPauseMs) < 1) return false;
  if (!waitForReply) return true;
  m_clock.SleepMs(kReplyWaitMs);
  return ReadInto(*device, command, kReplyTimeoutMs);
}

bool HidDeviceSet::QueryCommand(Command& command) {
  std::lock_guard guard(m_lock);
  IHidDevice* device = m_opened ? WriteHandleLocked() : nullptr;
  if (!device) return false;
  const Report report = CommandReport(command);
  WriteWithRetry(*device, report.data(), kRetryPauseMs);  // the read is tried either way
  return ReadInto(*device, command, kShortReadTimeoutMs);
}

bool HidDeviceSet::PollReply(Report& buffer) {
  std::lock_guard guard(m_lock);
  if (!m_opened) return false;
  if (IHidDevice* device = WriteHandleLocked())
    return device->Read(buffer.data(), buffer.size(), kShortReadTimeoutMs) > 0;
  // No keyboard to write to: listen on every listed interface; a status report tells whether
  // a keyboard has appeared behind it.
  for (Entry& entry : m_interfaces) {
    const int read = entry.handle->Read(buffer.data(), buffer.size(), kShortReadTimeoutMs);
    if (read <= 0) continue;
    if (HasMagic300(buffer.data(), static_cast<size_t>(read)) && read >= 7) entry.info.online = buffer[6] != 0 ? 1 : 0;
    return true;
  }
  return false;
}

}  // namespace kl
