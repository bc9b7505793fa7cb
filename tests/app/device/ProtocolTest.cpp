#include "app/device/Protocol.h"

#include <gtest/gtest.h>

#include <vector>

namespace kl {
namespace {

template <size_t N>
std::vector<uint8_t> Head(const std::array<uint8_t, N>& bytes, size_t count) {
  return std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(count));
}

TEST(ProtocolTest, FramesEachSeries) {
  EXPECT_EQ(Head(MakeCommand300(0x04, {1, 0x29, 0x3A}), 8),
            (std::vector<uint8_t>{0xAA, 0x55, 0xCC, 0x33, 0x04, 1, 0x29, 0x3A}));
  EXPECT_EQ(Head(MakeReceiverCommand200(0xAA, {7}), 7), (std::vector<uint8_t>{0xBB, 0xAA, 0x99, 0x88, 0xAA, 7, 0}));
  EXPECT_EQ(Head(MakeFeature200(0xF0, {0xAA}), 4), (std::vector<uint8_t>{0x07, 0xF0, 0xAA, 0}));
  EXPECT_EQ(Head(MakeReport100(0x8D, {60, 0, 0}), 6), (std::vector<uint8_t>{0, 0x8D, 60, 0, 0, 0}));
  EXPECT_EQ(Head(MakeReset100(), 6), (std::vector<uint8_t>{0, 0xFF, 0xFE, 0xAA, 0xFF, 0}));
  // Parameters past the end are cut, never written beyond the buffer.
  const std::initializer_list<uint8_t> many = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20,
                                               21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38,
                                               39, 40, 41, 42, 43, 44, 45, 46, 47, 48, 49, 50, 51, 52, 53, 54, 55, 56,
                                               57, 58, 59, 60, 61, 62};
  const Command full = MakeCommand300(0x01, many);
  EXPECT_EQ(full[63], 59);
}

TEST(ProtocolTest, RecognisesOnlyStatusReplies) {
  struct Case {
    std::vector<uint8_t> bytes;
    bool status;
    int battery, link;
  };
  const Case cases[] = {
      {{0xAA, 0x55, 0xCC, 0x33, 0x0E, 77, 3}, true, 77, 3},
      {{0xAA, 0x55, 0xCC, 0x33, 0x0E, 255, 1}, true, 255, 1},  // battery unknown, link still read
      {{0xAA, 0x55, 0xCC, 0x33, 0x09, 50, 3}, false, 0, 0},    // reply to another command
      {{0xAA, 0x55, 0xCC, 0x34, 0x0E, 50, 3}, false, 0, 0},    // wrong magic
      {{0xAA, 0x55, 0xCC, 0x33, 0x0E, 50}, false, 0, 0},       // cut short
      {{}, false, 0, 0},
  };
  for (const Case& c : cases) {
    const auto status = ParseStatusReply(c.bytes.data(), c.bytes.size());
    ASSERT_EQ(status.has_value(), c.status) << testing::PrintToString(c.bytes);
    if (status) {
      EXPECT_EQ(status->battery, c.battery);
      EXPECT_EQ(status->link, c.link);
    }
  }
  EXPECT_FALSE(HasMagic300(nullptr, 10));
}

TEST(ProtocolTest, SeriesAndLinkMapping) {
  const std::pair<int, Series> series[] = {{0, Series::S100},   {200, Series::S100}, {201, Series::S200},
                                           {299, Series::S200}, {300, Series::S300}, {301, Series::S300},
                                           {399, Series::S300}, {400, Series::None}};
  for (const auto& [type, expected] : series) EXPECT_EQ(SeriesOf(type), expected) << type;
  EXPECT_EQ(LinkToMode(3, 2), 0);
  EXPECT_EQ(LinkToMode(1, 0), 2);
  EXPECT_EQ(LinkToMode(0, 2), 2);
  EXPECT_EQ(LinkToMode(7, -1), -1);
}

}  // namespace
}  // namespace kl
