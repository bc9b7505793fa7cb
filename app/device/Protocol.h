// Report framing of the three keyboard series and recognition of the keyboard's replies.
//
// 300 series (device types 300..399), output report, report ID 0:
//
// | wire byte | content                                   |
// |-----------|-------------------------------------------|
// | 0         | report ID 0x00 (added by the transport)     |
// | 1..4      | magic AA 55 CC 33                          |
// | 5         | command code                              |
// | 6..64     | parameters                                |
//
// A reply arrives without its report ID: magic at 0..3, echoed code at 4, data from 5.
// The status reply to 0x0E carries the battery percent at 5 and the link state at 6
// (0 no keyboard behind the receiver, 1 through the receiver, 3 on the cable).
//
// 200 series (201..299): on the cable, 65-byte feature reports with report ID 7 and the code
// in byte 1; through the receiver, output reports whose bytes 1..4 are BB AA 99 88 with a
// sub-code in byte 5. 100 series (up to 200): output reports written as built, code
// 0x88..0x8E in byte 1; the factory reset carries FF FE AA FF in bytes 1..4.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>

namespace kl {

using Command = std::array<uint8_t, 64>;       // wire bytes 1..64 of an output report
using Report = std::array<uint8_t, 65>;        // a whole report with its ID, or a receive buffer
using ShortFeature = std::array<uint8_t, 8>;   // the 200 series' short feature exchange
using ShortFeatureResult = std::array<uint8_t, 28>;  // four replies of 7 bytes

enum class Series { None, S100, S200, S300 };
// Up to 200: S100; 201..299: S200; 300..399: S300; 400 and above: None.
Series SeriesOf(int deviceType);

// 300-series command: magic, code, then `params` from wire byte 6.
Command MakeCommand300(uint8_t code, std::initializer_list<uint8_t> params = {});
// 200-series receiver command: BB AA 99 88, sub-code, then `params` from wire byte 6.
Command MakeReceiverCommand200(uint8_t subCode, std::initializer_list<uint8_t> params = {});
// 200-series wired feature report: 0x07, code, then `params` from byte 2.
Report MakeFeature200(uint8_t code, std::initializer_list<uint8_t> params = {});
// 100-series output report: 0x00, code, then `params` from byte 2.
Report MakeReport100(uint8_t code, std::initializer_list<uint8_t> params = {});
// 100-series factory reset: FF FE AA FF in bytes 1..4.
Report MakeReset100();

// True when `data` (a receive buffer, report ID removed) starts with the 300-series magic.
bool HasMagic300(const uint8_t* data, size_t length);

struct StatusReply {
  int battery = 0;  // percent; above 100 means unknown
  int link = 0;
};
// The status carried by a 300-series report: magic, code 0x0E, battery, link. Anything else
// (another reply, a stray report, garbage) gives nothing.
std::optional<StatusReply> ParseStatusReply(const uint8_t* data, size_t length);

// Connection mode for a link state: 3 gives 0 (cable), 1 gives 2 (receiver); any other
// value keeps `current`.
int LinkToMode(int link, int current);

}  // namespace kl
