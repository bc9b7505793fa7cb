#include "vkb/ReportLog.h"

namespace kl::vkb {

namespace {

bool Starts(const std::vector<uint8_t>& b, size_t at, std::initializer_list<uint8_t> head) {
  if (b.size() < at + head.size()) return false;
  size_t i = at;
  for (uint8_t h : head)
    if (b[i++] != h) return false;
  return true;
}

DecodedReport Make(Framing framing, const std::vector<uint8_t>& b, size_t codeAt) {
  DecodedReport d;
  d.framing = framing;
  d.code = b[codeAt];
  d.payload.assign(b.begin() + static_cast<std::ptrdiff_t>(codeAt) + 1, b.end());
  return d;
}

}  // namespace

DecodedReport DecodeReport(const LogEntry& entry) {
  const std::vector<uint8_t>& b = entry.bytes;
  if (entry.direction == Direction::Out && b.size() >= 6 && b[0] == 0) {
    if (Starts(b, 1, {0xAA, 0x55, 0xCC, 0x33})) return Make(Framing::Series300, b, 5);
    if (Starts(b, 1, {0xBB, 0xAA, 0x99, 0x88})) return Make(Framing::Receiver200, b, 5);
    if (Starts(b, 1, {0xFF, 0xFE, 0xAA, 0xFF})) return Make(Framing::Series100, b, 1);
    if (b[1] >= 0x88 && b[1] <= 0x8E) return Make(Framing::Series100, b, 1);
  }
  if (entry.direction == Direction::FeatureSet && b.size() >= 2 && b[0] == 0x07) {
    if (b[1] == 0xFF) return Make(Framing::Feature100, b, 1);
    if (b[1] >= 0xF0 && b[1] <= 0xFB) return Make(Framing::Feature200, b, 1);
    if (b[1] == 0x00 && b.size() == 65) return Make(Framing::Feature200, b, 1);  // 0xF1 block continued
  }
  // The slot-table read of the 200 series opens with an 8-byte report AA 55 CC 0F.
  if (entry.direction == Direction::FeatureSet && Starts(b, 0, {0xAA, 0x55, 0xCC, 0x0F}))
    return Make(Framing::Feature200, b, 3);
  return {};
}

std::vector<int> Commands300(const std::vector<LogEntry>& log, std::optional<Port> port) {
  std::vector<int> codes;
  for (const LogEntry& entry : log) {
    if (port && entry.port != *port) continue;
    const DecodedReport d = DecodeReport(entry);
    if (d.framing == Framing::Series300) codes.push_back(d.code);
  }
  return codes;
}

std::optional<Reply300> DecodeReply300(const std::vector<uint8_t>& b) {
  if (!Starts(b, 0, {0xAA, 0x55, 0xCC, 0x33}) || b.size() < 7) return std::nullopt;
  return Reply300{b[4], b[5], b[6]};
}

}  // namespace kl::vkb
