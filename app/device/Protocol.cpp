#include "app/device/Protocol.h"

#include <algorithm>

namespace kl {

namespace {

constexpr uint8_t kMagic300[4] = {0xAA, 0x55, 0xCC, 0x33};
constexpr uint8_t kMagicReceiver200[4] = {0xBB, 0xAA, 0x99, 0x88};

template <size_t N>
void Put(std::array<uint8_t, N>& buffer, size_t at, std::initializer_list<uint8_t> bytes) {
  for (uint8_t b : bytes)
    if (at < N) buffer[at++] = b;
}

}  // namespace

Series SeriesOf(int deviceType) {
  if (deviceType <= 200) return Series::S100;
  if (deviceType <= 299) return Series::S200;
  if (deviceType <= 399) return Series::S300;
  return Series::None;
}

Command MakeCommand300(uint8_t code, std::initializer_list<uint8_t> params) {
  Command c{};
  std::copy(std::begin(kMagic300), std::end(kMagic300), c.begin());
  c[4] = code;
  Put(c, 5, params);
  return c;
}

Command MakeReceiverCommand200(uint8_t subCode, std::initializer_list<uint8_t> params) {
  Command c{};
  std::copy(std::begin(kMagicReceiver200), std::end(kMagicReceiver200), c.begin());
  c[4] = subCode;
  Put(c, 5, params);
  return c;
}

Report MakeFeature200(uint8_t code, std::initializer_list<uint8_t> params) {
  Report r{};
  r[0] = 0x07;
  r[1] = code;
  Put(r, 2, params);
  return r;
}

Report MakeReport100(uint8_t code, std::initializer_list<uint8_t> params) {
  Report r{};
  r[1] = code;
  Put(r, 2, params);
  return r;
}

Report MakeReset100() {
  Report r{};
  Put(r, 1, {0xFF, 0xFE, 0xAA, 0xFF});
  return r;
}

bool HasMagic300(const uint8_t* data, size_t length) {
  return data && length >= 4 && std::equal(std::begin(kMagic300), std::end(kMagic300), data);
}

std::optional<StatusReply> ParseStatusReply(const uint8_t* data, size_t length) {
  if (!HasMagic300(data, length) || length < 7 || data[4] != 0x0E) return std::nullopt;
  return StatusReply{data[5], data[6]};
}

int LinkToMode(int link, int current) {
  if (link == 3) return 0;
  if (link == 1) return 2;
  return current;
}

}  // namespace kl
