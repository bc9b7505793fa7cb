// The virtual keyboard's record of every report that crossed its interfaces, and the
// decoders tests read it with.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace kl::vkb {

enum class Port { Cable, Receiver };

enum class Direction {
  Out,         // output report received by the keyboard (wire bytes, byte 0 = report ID)
  In,          // input report queued by the keyboard (as the host reads it, no report ID)
  FeatureSet,  // feature report received (byte 0 = report ID)
  FeatureGet,  // feature report answered (byte 0 = report ID)
};

struct LogEntry {
  int64_t timeMs = 0;  // on the keyboard's clock; for In, when the report becomes readable
  Port port = Port::Cable;
  int interfaceNumber = 0;
  Direction direction = Direction::Out;
  std::vector<uint8_t> bytes;
};

// How the keyboard framed a received report.
//
// | kind         | direction  | recognised by                                      |
// |--------------|------------|----------------------------------------------------|
// | Series300    | Out        | bytes 1..4 = AA 55 CC 33, code in byte 5            |
// | Receiver200  | Out        | bytes 1..4 = BB AA 99 88, sub-code in byte 5        |
// | Series100    | Out        | byte 1 in 0x88..0x8E, or bytes 1..4 = FF FE AA FF   |
// | Feature200   | FeatureSet | report ID 7, code 0xF0..0xFB in byte 1 (0x00 in the |
// |              |            | 27 reports that continue a 0xF1 block), or the      |
// |              |            | 8-byte slot read header AA 55 CC 0F                 |
// | Feature100   | FeatureSet | report ID 7, code 0xFF in byte 1                    |
// | Unknown      | any        | anything else                                       |
enum class Framing { Series300, Receiver200, Series100, Feature200, Feature100, Unknown };

struct DecodedReport {
  Framing framing = Framing::Unknown;
  int code = -1;                 // command code or sub-code; -1 for Unknown
  std::vector<uint8_t> payload;  // the bytes after the code
};

DecodedReport DecodeReport(const LogEntry& entry);

// The 300-series command codes the keyboard received, in order (optionally on one port).
std::vector<int> Commands300(const std::vector<LogEntry>& log, std::optional<Port> port = std::nullopt);

// A 300-series reply as the host reads it: magic at 0..3, echoed code at 4, data from 5.
struct Reply300 {
  int code = 0;
  int battery = 0;  // status replies only
  int link = 0;
};
std::optional<Reply300> DecodeReply300(const std::vector<uint8_t>& hostBytes);

}  // namespace kl::vkb
