#include "app/uploads/KeyBlocks.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/app/uploads/UploadTestSupport.h"

namespace kl {
namespace {

KeyMacro Letters(int events, int playTimes, int delayMs) {
  KeyMacro macro;
  macro.readable = true;
  macro.playTimes = playTimes;
  for (int i = 0; i < events; ++i)
    macro.events.push_back({static_cast<uint8_t>(4 + i / 2), i % 2 == 1, delayMs});
  return macro;
}

std::vector<uint8_t> Bytes(const uint8_t* at, size_t n) { return std::vector<uint8_t>(at, at + n); }

TEST(KeyBlocksTest, ReadsMacroEventsAndShortcuts) {
  test::StoreRig rig;
  const int id = rig.AddMacro(2, 7, 300);
  // A row of another type is kept in the store but never sent.
  MacroItemRecord other;
  other.macroId = id;
  other.type = 1;
  other.recordIndex = 2;
  rig.store.AddMacroStep(other);

  const KeyMacro macro = ReadKeyMacro(rig.store, kAssignMacro, id);
  EXPECT_TRUE(macro.readable);
  EXPECT_FALSE(macro.shortcut);
  EXPECT_EQ(macro.playTimes, 7);
  ASSERT_EQ(macro.events.size(), 2u);
  EXPECT_EQ(macro.events[0].usage, 4);
  EXPECT_FALSE(macro.events[0].up);
  EXPECT_TRUE(macro.events[1].up);
  EXPECT_EQ(macro.events[1].delayMs, 300);

  const KeyMacro missing = ReadKeyMacro(rig.store, kAssignMacro, id + 100);
  EXPECT_FALSE(missing.readable);
  EXPECT_EQ(missing.playTimes, 0);
  EXPECT_TRUE(missing.events.empty());

  const KeyMacro shortcut = ReadKeyMacro(rig.store, kAssignShortcut, 13);
  EXPECT_TRUE(shortcut.shortcut);
  EXPECT_EQ(shortcut.playTimes, 1);
  EXPECT_EQ(shortcut.events.size(), 6u);
  for (int value : {0, 16, -1, 1000}) EXPECT_TRUE(ReadKeyMacro(rig.store, kAssignShortcut, value).events.empty()) << value;
}

TEST(KeyBlocksTest, KeyBlock300HoldsAtMost79EventsAndCountsWhatItHolds) {
  struct Case {
    int events;
    size_t expected;
  };
  for (const Case c : {Case{0, 0}, Case{4, 4}, Case{79, 79}, Case{80, 79}, Case{500, 79}}) {
    const KeyMacro macro = Letters(c.events, 3, 20);
    const KeyBlock300 block = BuildKeyBlock300(1, 0x1E, macro);
    EXPECT_EQ(Bytes(block.data(), 4), (std::vector<uint8_t>{2, 0x1E, 3, static_cast<uint8_t>(c.expected)})) << c.events;
    for (size_t i = 0; i < c.expected; ++i) {
      EXPECT_EQ(block[4 + 2 * i], macro.events[i].usage);
      EXPECT_EQ(block[5 + 2 * i], macro.events[i].up ? 0x82 : 0x02) << "20 ms is 2 units of 10 ms";
    }
    for (size_t i = 4 + 2 * c.expected; i < block.size(); ++i) ASSERT_EQ(block[i], 0) << c.events << " at " << i;
  }
}

TEST(KeyBlocksTest, KeyBlock300GoesOutInThreePieces) {
  KeyBlock300 block{};
  for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<uint8_t>(i + 1);
  const std::array<Command, 3> pieces = KeyBlockCommands300(block);
  for (size_t k = 0; k < 3; ++k) {
    EXPECT_EQ(Bytes(pieces[k].data(), 5), (std::vector<uint8_t>{0xAA, 0x55, 0xCC, 0x33, static_cast<uint8_t>(k)}));
    EXPECT_EQ(Bytes(pieces[k].data() + 5, 54), Bytes(block.data() + 54 * k, 54));
    for (size_t i = 59; i < pieces[k].size(); ++i) EXPECT_EQ(pieces[k][i], 0);
  }
}

TEST(KeyBlocksTest, ShortcutOutsideItsRangeCarriesNoEventsInAnySeries) {
  KeyMacro none;  // what ReadKeyMacro gives for shortcut 0 or 16
  none.shortcut = true;
  none.readable = true;
  none.playTimes = 1;
  const KeyBlock300 block300 = BuildKeyBlock300(0, 0x04, none);
  EXPECT_EQ(block300[3], 0);
  const Report report100 = ShortcutReport100(2, none);
  EXPECT_EQ(report100[2], 0);
  EXPECT_EQ(report100[7], 0);
  for (size_t i = 8; i < report100.size(); ++i) EXPECT_EQ(report100[i], 0);
  const KeyBlock200 block200 = BuildKeyBlock200(1, 0x04, true, none);
  for (size_t i = 4; i < block200.size(); ++i) EXPECT_EQ(block200[i], 0);
}

TEST(KeyBlocksTest, ShortcutEncodings) {
  test::StoreRig rig;
  const KeyMacro shortcut = ReadKeyMacro(rig.store, kAssignShortcut, 1);
  ASSERT_EQ(shortcut.events.size(), 4u);
  const KeyBlock300 block = BuildKeyBlock300(0, 0x3A, shortcut);
  EXPECT_EQ(block[2], 1);
  EXPECT_EQ(block[3], 4);
  const Report r = ShortcutReport100(5, shortcut);
  EXPECT_EQ(Bytes(r.data(), 8), (std::vector<uint8_t>{0x00, 0x8E, 12, 0, 0, 5, 1, 4}));
  for (size_t i = 0; i < 4; ++i) {
    const KeyEvent& e = shortcut.events[i];
    EXPECT_EQ(block[4 + 2 * i], e.usage);
    EXPECT_EQ(block[5 + 2 * i], e.up ? 0x81 : 0x01);
    EXPECT_EQ(Bytes(r.data() + 8 + 3 * i, 3), (std::vector<uint8_t>{e.usage, 0x64, static_cast<uint8_t>(e.up ? 0x00 : 0x80)}));
  }
}

TEST(KeyBlocksTest, MacroPieces100) {
  struct Case {
    int events;
    int reports;
    uint8_t lastLength;
  };
  // T = 3n + 3, L = T / 60: L + 1 pieces, the last with length T - 60 L.
  for (const Case c : {Case{0, 1, 3}, Case{1, 1, 6}, Case{19, 2, 0}, Case{20, 2, 3}, Case{80, 5, 3}}) {
    const KeyMacro macro = Letters(c.events, 4, 20);
    const std::vector<Report> reports = MacroReports100(3, macro);
    ASSERT_EQ(static_cast<int>(reports.size()), c.reports) << c.events;
    std::vector<uint8_t> block;
    for (size_t k = 0; k < reports.size(); ++k) {
      const Report& r = reports[k];
      const size_t offset = 59 * k;
      EXPECT_EQ(r[0], 0x00);
      EXPECT_EQ(r[1], 0x8E);
      EXPECT_EQ(r[2], k + 1 == reports.size() ? c.lastLength : 59) << c.events << " piece " << k;
      EXPECT_EQ(r[3] | r[4] << 8, static_cast<int>(offset));
      EXPECT_EQ(r[5], 3);
      block.insert(block.end(), r.begin() + 6, r.end());
    }
    ASSERT_GE(block.size(), 2u + 3u * c.events);
    EXPECT_EQ(block[0], 4);
    EXPECT_EQ(block[1], c.events);
    for (int i = 0; i < c.events; ++i) {
      const KeyEvent& e = macro.events[static_cast<size_t>(i)];
      const uint8_t* at = block.data() + 2 + 3 * i;
      EXPECT_EQ(Bytes(at, 3), (std::vector<uint8_t>{e.usage, static_cast<uint8_t>(e.up ? 0x94 : 0x14),
                                                    static_cast<uint8_t>(e.up ? 0x00 : 0x80)}));
    }
  }
}

TEST(KeyBlocksTest, MacroEvents100CarryTheDelayInFifteenBits) {
  KeyMacro macro;
  macro.readable = true;
  macro.playTimes = 1;
  macro.events = {{0x2C, true, 300}, {0x2C, false, 300}, {0x04, true, 31000}, {0x04, false, 99999}, {0x05, true, -5}};
  const std::vector<Report> reports = MacroReports100(0, macro);
  const uint8_t* e = reports[0].data() + 8;
  EXPECT_EQ(Bytes(e, 3), (std::vector<uint8_t>{0x2C, 0xAC, 0x01}));
  EXPECT_EQ(Bytes(e + 3, 3), (std::vector<uint8_t>{0x2C, 0x2C, 0x81}));
  EXPECT_EQ(Bytes(e + 6, 3), (std::vector<uint8_t>{0x04, 0x98, 0x79})) << "31000 = 0x7918";
  EXPECT_EQ(Bytes(e + 9, 3), (std::vector<uint8_t>{0x04, 0x18, 0xF9})) << "clamped to 31000";
  EXPECT_EQ(Bytes(e + 12, 3), (std::vector<uint8_t>{0x05, 0x80, 0x00})) << "clamped to 0";
}

TEST(KeyBlocksTest, MacroBlock100PlayCountAndEventLimit) {
  struct Case {
    int playTimes;
    int events;
    uint8_t play;
    uint8_t count;
  };
  for (const Case c : {Case{0, 1, 1, 1}, Case{-3, 1, 1, 1}, Case{99, 1, 99, 1}, Case{300, 1, 255, 1},
                       Case{1, 255, 1, 255}, Case{1, 256, 1, 255}, Case{1, 1000, 1, 255}}) {
    const std::vector<Report> reports = MacroReports100(0, Letters(c.events, c.playTimes, 0));
    EXPECT_EQ(reports[0][6], c.play) << c.playTimes;
    EXPECT_EQ(reports[0][7], c.count) << c.events;
    EXPECT_EQ(reports.size(), (3u * c.count + 3) / 60 + 1) << c.events;
  }
}

TEST(KeyBlocksTest, KeyBlock200Layout) {
  const KeyMacro macro = Letters(90, 5, 20);
  const KeyBlock200 block = BuildKeyBlock200(4, 0x1E, true, macro);
  EXPECT_EQ(Bytes(block.data(), 4), (std::vector<uint8_t>{1, 4, 0x1E, 5}));
  for (size_t i = 0; i < kKeyBlock200Events; ++i) EXPECT_EQ(block[4 + 2 * i], macro.events[i].usage);

  const std::vector<Report> reports = KeyBlockReports200(block);
  ASSERT_EQ(reports.size(), 28u);
  EXPECT_EQ(Bytes(reports[0].data(), 6), (std::vector<uint8_t>{0x07, 0xF1, 1, 4, 0x1E, 5}));
  for (size_t i = 0; i < reports.size(); ++i) {
    if (i > 0) {
      EXPECT_EQ(Bytes(reports[i].data(), 2), (std::vector<uint8_t>{0x07, 0x00}));
    }
    EXPECT_EQ(Bytes(reports[i].data() + 2, 6), Bytes(block.data() + 6 * i, 6));
    for (size_t j = 8; j < reports[i].size(); ++j) ASSERT_EQ(reports[i][j], 0);
  }

  const KeyBlock200 freeing = BuildKeyBlock200(4, 0x1E, false, macro);
  EXPECT_EQ(Bytes(freeing.data(), 4), (std::vector<uint8_t>{1, 4, 0, 0}));
  for (size_t i = 4; i < freeing.size(); ++i) EXPECT_EQ(freeing[i], 0);

  KeyMacro unreadable = Letters(2, 0, 20);
  unreadable.readable = false;
  const KeyBlock200 gone = BuildKeyBlock200(4, 0x1E, true, unreadable);
  EXPECT_EQ(Bytes(gone.data(), 6), (std::vector<uint8_t>{1, 4, 0, 0, 4, 0x02}));
}

TEST(KeyBlocksTest, KeyTableEntries100) {
  struct Case {
    int type;
    int value;
    int slot;
    std::array<uint8_t, 2> entry;
  };
  const Case cases[] = {
      {kAssignDisabled, 1, -1, {0x00, 0x20}},     {kAssignKey, 0x2C, -1, {0x2C, 0x20}},
      {kAssignKey, 255, -1, {0xFF, 0x20}},        {kAssignKey, 0x12C, -1, {0x00, 0x00}},
      {kAssignMacro, 9, 2, {0x02, 0x40}},         {kAssignShortcut, 3, 0, {0x00, 0x40}},
      {kAssignMacro, 9, -1, {0x00, 0x00}},        {kAssignMedia, 3, -1, {0x00, 0x00}},
      {kAssignDefault, 0, -1, {0x00, 0x00}},      {kAssignOpenWeb, 2, -1, {0x00, 0x00}},
  };
  for (const Case& c : cases) EXPECT_EQ(KeyTableEntry100(c.type, c.value, c.slot), c.entry) << c.type << "/" << c.value;
}

TEST(KeyBlocksTest, KeyTableReports100) {
  std::array<uint8_t, kKeyTable100Bytes> table{};
  for (size_t i = 0; i < table.size(); ++i) table[i] = static_cast<uint8_t>(i * 7 + 1);
  const std::array<Report, 4> reports = KeyTableReports100(table);
  const uint8_t lengths[] = {60, 60, 60, 40};
  for (size_t k = 0; k < 4; ++k) {
    EXPECT_EQ(Bytes(reports[k].data(), 5),
              (std::vector<uint8_t>{0x00, 0x8D, lengths[k], static_cast<uint8_t>(60 * k), 0}));
    EXPECT_EQ(Bytes(reports[k].data() + 5, 60), Bytes(table.data() + 60 * k, 60)) << "the fourth still carries 60";
  }
}

}  // namespace
}  // namespace kl
