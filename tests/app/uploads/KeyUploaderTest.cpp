#include "app/uploads/KeyUploader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <vector>

#include "app/device/HidDeviceSet.h"
#include "tests/app/device/DeviceTestSupport.h"
#include "tests/app/uploads/UploadTestSupport.h"
#include "vkb/VirtualKeyboard.h"

namespace kl {
namespace {

using vkb::DecodedReport;
using vkb::Direction;
using vkb::Framing;
using vkb::LogEntry;
using vkb::Port;

constexpr int kKeyA = 0x04;
constexpr int kKeyB = 0x05;
constexpr int kKeyC = 0x06;
constexpr int kKeyEsc = 0x29;

// The uploader over a virtual keyboard on the cable, presented as a keyboard of `deviceType`.
class UploadRig : public test::StoreRig {
 public:
  explicit UploadRig(int deviceType, std::map<int, int> keyIndexMap = {})
      : keyboard(clock), devices(keyboard, clock), uploader(devices, store, std::move(keyIndexMap)) {
    for (ModeFilter filter : test::ShippedConfiguration().ModeFilters()) {
      filter.deviceType = deviceType;
      devices.AddModeFilter(filter);
    }
    keyboard.Plug(Port::Cable);
    devices.OpenAll();
    devices.SelectDeviceType(deviceType);
    target = UploadTarget{deviceType, profile, 0};
    keyboard.ClearLog();
  }

  // What the keyboard received, decoded, without the status traffic of the set.
  std::vector<std::pair<LogEntry, DecodedReport>> Received() const {
    std::vector<std::pair<LogEntry, DecodedReport>> out;
    for (const LogEntry& e : keyboard.Log()) {
      if (e.direction != Direction::Out && e.direction != Direction::FeatureSet) continue;
      out.emplace_back(e, vkb::DecodeReport(e));
    }
    return out;
  }
  std::vector<std::pair<LogEntry, DecodedReport>> Received(Framing framing, int code) const {
    std::vector<std::pair<LogEntry, DecodedReport>> out;
    for (auto& r : Received())
      if (r.second.framing == framing && r.second.code == code) out.push_back(r);
    return out;
  }

  ScaledClock clock{50.0};
  vkb::VirtualKeyboard keyboard;
  HidDeviceSet devices;
  KeyUploader uploader;
  UploadTarget target;
};

// The events of a 300-series key block as (usage, delay byte) pairs.
std::vector<std::pair<int, int>> BlockEvents(const std::array<uint8_t, vkb::kBlockBytes>& block) {
  std::vector<std::pair<int, int>> events;
  for (int i = 0; i < block[3]; ++i) events.emplace_back(block[4 + 2 * i], block[5 + 2 * i]);
  return events;
}

// ---------------- 300 series ----------------

TEST(KeyUpload300Test, SingleKeySendsExactlyOneKeyFunction) {
  struct Case {
    const char* what;
    int type;
    int value;
    int layer;
    uint8_t function;
  };
  const Case cases[] = {
      {"palette key", kAssignKey, 0x3A, 0, 0x3A},
      {"palette key on the Fn layer", kAssignKey, 0x3A, 1, 0x3A},
      {"media function", kAssignMedia, 3, 0, 3},
      {"back to default", kAssignDefault, 0, 0, 0},
      {"web page id above a byte: refused, not its low byte 0x2C", kAssignOpenWeb, 0x12C, 0, 0},
      {"palette value above a byte", kAssignKey, 0x104, 1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    UploadRig rig(301);
    rig.target.layer = c.layer;
    // The key had another function before.
    rig.Assign(c.layer, kKeyEsc, kAssignKey, 0x11);
    rig.uploader.MarkSingleKey(kKeyEsc);
    rig.uploader.UploadKeyAssignments(rig.target);
    ASSERT_EQ(rig.keyboard.State().keyFunctions[static_cast<size_t>(c.layer)][kKeyEsc], 0x11);

    rig.Assign(c.layer, kKeyEsc, c.type, c.value);
    rig.uploader.MarkSingleKey(kKeyEsc);
    rig.keyboard.ClearLog();
    const int64_t start = rig.clock.NowMs();
    EXPECT_TRUE(rig.uploader.UploadKeyAssignments(rig.target));
    EXPECT_FALSE(rig.uploader.SingleKeyPending());
    EXPECT_EQ(vkb::Commands300(rig.keyboard.Log()), std::vector<int>{0x04});
    const auto sent = rig.Received(Framing::Series300, 0x04);
    ASSERT_EQ(sent.size(), 1u);
    const std::vector<uint8_t>& b = sent[0].first.bytes;
    EXPECT_EQ(b[6], c.layer + 1);
    EXPECT_EQ(b[7], kKeyEsc);
    EXPECT_EQ(b[8], c.function);
    // 100 ms before the key, 50 ms after it.
    EXPECT_GE(sent[0].first.timeMs - start, 100);
    EXPECT_GE(rig.clock.NowMs() - start, 150);
    EXPECT_EQ(rig.keyboard.State().keyFunctions[static_cast<size_t>(c.layer)][kKeyEsc], c.function);
  }
}

TEST(KeyUpload300Test, SingleMacroKeySendsItsBlockInPacedPieces) {
  UploadRig rig(301);
  const int macro = rig.AddMacro(6, 4, 300);
  rig.Assign(0, kKeyB, kAssignMacro, macro);
  rig.uploader.MarkSingleKey(kKeyB);
  const int64_t start = rig.clock.NowMs();
  rig.uploader.UploadKeyAssignments(rig.target);

  EXPECT_EQ(vkb::Commands300(rig.keyboard.Log()), (std::vector<int>{0x00, 0x01, 0x02}));
  const auto pieces = rig.Received(Framing::Series300, 0x00);
  ASSERT_EQ(pieces.size(), 1u);
  EXPECT_GE(pieces[0].first.timeMs - start, 100);
  // 20 ms after each piece and 90 ms more after the third.
  const auto second = rig.Received(Framing::Series300, 0x01);
  const auto third = rig.Received(Framing::Series300, 0x02);
  EXPECT_GE(second.at(0).first.timeMs - pieces[0].first.timeMs, 20);
  EXPECT_GE(third.at(0).first.timeMs - second[0].first.timeMs, 20);
  EXPECT_GE(rig.clock.NowMs() - third[0].first.timeMs, 110);

  const vkb::FirmwareState state = rig.keyboard.State();
  ASSERT_EQ(state.keyBlocks.count({0, kKeyB}), 1u);
  const auto& block = state.keyBlocks.at({0, kKeyB});
  EXPECT_EQ(block[0], 1);
  EXPECT_EQ(block[1], kKeyB);
  EXPECT_EQ(block[2], 4) << "play count";
  // A, B, C down and up with 300 ms after each: 300 / 10 = 0x1E, key up with bit 7.
  const std::vector<std::pair<int, int>> expected = {{4, 0x1E}, {4, 0x9E}, {5, 0x1E}, {5, 0x9E}, {6, 0x1E}, {6, 0x9E}};
  EXPECT_EQ(BlockEvents(block), expected);
}

TEST(KeyUpload300Test, FullUploadResetsThenSendsLayerOneThenLayerTwo) {
  UploadRig rig(301);
  const int macro = rig.AddMacro(100, 2, 10);
  rig.Assign(1, kKeyA, kAssignKey, 0x3A);    // Fn layer, stored first
  rig.Assign(0, kKeyB, kAssignDisabled, 1);
  rig.Assign(0, kKeyC, kAssignMacro, macro);
  rig.Assign(1, kKeyC, kAssignShortcut, 2);
  rig.Assign(0, kKeyEsc, kAssignOpenFile, 300);  // id above a byte: default, not 0x2C
  rig.Assign(0, kKeyA, kAssignShortcut, 99);     // no such shortcut: a block without events
  rig.uploader.MarkSingleKey(kKeyA);             // task 8 neither reads nor clears the mark

  const int64_t start = rig.clock.NowMs();
  EXPECT_TRUE(rig.uploader.UploadProfile300(rig.target));
  EXPECT_TRUE(rig.uploader.SingleKeyPending());

  // Layer bytes of every key command and block, in order of arrival.
  std::vector<int> layers;
  const auto received = rig.Received();
  ASSERT_FALSE(received.empty());
  EXPECT_EQ(received.front().second.code, 0x0F);
  for (const auto& [entry, decoded] : received) {
    if (decoded.framing != Framing::Series300) continue;
    if (decoded.code == 0x04) layers.push_back(entry.bytes[6]);
    if (decoded.code == 0x00) layers.push_back(entry.bytes[6]);  // block byte 0
  }
  EXPECT_EQ(layers, (std::vector<int>{1, 1, 1, 1, 2, 2}));
  EXPECT_EQ(rig.Received(Framing::Series300, 0x0F).size(), 1u);
  EXPECT_GE(rig.Received(Framing::Series300, 0x04).front().first.timeMs - received.front().first.timeMs, 100 + 16);

  const vkb::FirmwareState state = rig.keyboard.State();
  EXPECT_EQ(state.keyFunctions[1][kKeyA], 0x3A);
  EXPECT_EQ(state.keyFunctions[0][kKeyB], 1);
  const auto functions = rig.Received(Framing::Series300, 0x04);
  const auto esc = std::find_if(functions.begin(), functions.end(), [](const auto& f) { return f.first.bytes[7] == kKeyEsc; });
  ASSERT_NE(esc, functions.end());
  EXPECT_EQ(esc->first.bytes[8], 0);
  ASSERT_EQ(state.keyBlocks.count({0, kKeyC}), 1u);
  const auto& block = state.keyBlocks.at({0, kKeyC});
  EXPECT_EQ(block[2], 2);
  EXPECT_EQ(block[3], 79) << "the 100-event macro is cut to what the block holds";
  const auto events = BlockEvents(block);
  for (size_t i = 0; i < events.size(); ++i) {
    ASSERT_EQ(events[i].first, 4 + static_cast<int>(i / 2) % 26) << i;
    ASSERT_EQ(events[i].second, i % 2 ? 0x81 : 0x01) << i;
  }
  ASSERT_EQ(state.keyBlocks.count({1, kKeyC}), 1u);
  EXPECT_EQ(state.keyBlocks.at({1, kKeyC})[3], 4);
  ASSERT_EQ(state.keyBlocks.count({0, kKeyA}), 1u);
  EXPECT_EQ(state.keyBlocks.at({0, kKeyA})[3], 0) << "no phantom events";

  // 100 ms reset; 16 + 50 per key function (3); 16 + 150 per block (3).
  EXPECT_GE(rig.clock.NowMs() - start, 100 + 3 * 66 + 3 * 166);
}

TEST(KeyUpload300Test, TaskSixWithoutMarkIsTheFullUpload) {
  UploadRig rig(301);
  rig.Assign(0, kKeyA, kAssignKey, 0x3A);
  rig.Assign(0, kKeyB, kAssignKey, 0x3B);
  EXPECT_TRUE(rig.uploader.UploadKeyAssignments(rig.target));
  EXPECT_EQ(vkb::Commands300(rig.keyboard.Log()), (std::vector<int>{0x0F, 0x04, 0x04}));

  // Types of 400 and above send nothing.
  rig.keyboard.ClearLog();
  rig.target.deviceType = 400;
  rig.uploader.UploadKeyAssignments(rig.target);
  EXPECT_TRUE(rig.Received().empty());
}

TEST(KeyUpload300Test, DeletedMacroResetsTheCurrentProfilesKeysOnBothLayers) {
  UploadRig rig(301);
  const int macro = rig.AddMacro(2, 1);
  const int kept = rig.AddMacro(2, 1);
  rig.Assign(0, kKeyA, kAssignMacro, macro);
  rig.Assign(1, kKeyB, kAssignMacro, macro);
  rig.Assign(0, kKeyC, kAssignMacro, kept);
  rig.Assign(0, kKeyEsc, kAssignMacro, macro, rig.otherProfile);
  rig.Assign(0, kKeyEsc, kAssignKey, 0x3A);  // the current profile's own Esc
  rig.uploader.UploadProfile300(rig.target);
  ASSERT_EQ(rig.keyboard.State().keyBlocks.size(), 3u);

  MacroModel model(rig.store);
  std::vector<KeyAssignmentRecord> unbound;
  ASSERT_TRUE(model.DeleteMacro(macro, unbound));
  ASSERT_EQ(unbound.size(), 3u);
  rig.uploader.NoteUnboundKeys(unbound);
  rig.keyboard.ClearLog();
  EXPECT_EQ(rig.uploader.ResetMacroKeys(rig.target), 2);

  const auto sent = rig.Received(Framing::Series300, 0x04);
  ASSERT_EQ(sent.size(), 2u);
  std::vector<std::vector<uint8_t>> params;
  for (const auto& s : sent) params.emplace_back(s.first.bytes.begin() + 6, s.first.bytes.begin() + 9);
  EXPECT_EQ(params, (std::vector<std::vector<uint8_t>>{{1, kKeyA, 0}, {2, kKeyB, 0}}));
  const vkb::FirmwareState state = rig.keyboard.State();
  EXPECT_EQ(state.keyBlocks.count({0, kKeyA}), 0u);
  EXPECT_EQ(state.keyBlocks.count({1, kKeyB}), 0u);
  EXPECT_EQ(state.keyBlocks.count({0, kKeyC}), 1u);
  EXPECT_EQ(state.keyFunctions[0][kKeyEsc], 0x3A) << "another profile's binding leaves this key alone";

  // Handed over once: a second run has nothing to reset.
  rig.keyboard.ClearLog();
  EXPECT_EQ(rig.uploader.ResetMacroKeys(rig.target), 0);
  EXPECT_TRUE(rig.Received().empty());
}

TEST(KeyUpload300Test, MacroKeyResetSparesKeysReassignedSinceAndOtherSeries) {
  UploadRig rig(301);
  const int macro = rig.AddMacro(2, 1);
  rig.Assign(0, kKeyA, kAssignMacro, macro);
  rig.Assign(0, kKeyB, kAssignMacro, macro);
  MacroModel model(rig.store);
  std::vector<KeyAssignmentRecord> unbound;
  ASSERT_TRUE(model.DeleteMacro(macro, unbound));
  rig.uploader.NoteUnboundKeys(unbound);
  rig.Assign(0, kKeyA, kAssignKey, 0x3A);  // given a new function before task 7 ran
  EXPECT_EQ(rig.uploader.ResetMacroKeys(rig.target), 1);
  const auto sent = rig.Received(Framing::Series300, 0x04);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].first.bytes[7], kKeyB);

  rig.uploader.NoteUnboundKeys(unbound);
  rig.target.deviceType = 250;
  rig.keyboard.ClearLog();
  EXPECT_EQ(rig.uploader.ResetMacroKeys(rig.target), 0);
  EXPECT_TRUE(rig.Received().empty());
}

// ---------------- 200 series ----------------

TEST(KeyUpload200Test, FullUploadNumbersTheSlotsAndStopsAtTheLast) {
  UploadRig rig(250);
  const int macro = rig.AddMacro(4, 3, 20);
  for (int i = 0; i < 12; ++i) rig.Assign(0, 0x1E + i, kAssignKey, 0x04 + i);  // 12 keys, 10 key slots
  rig.Assign(0, kKeyA, kAssignMacro, macro);
  rig.Assign(0, kKeyB, kAssignShortcut, 5);
  rig.Assign(1, kKeyC, kAssignKey, 0x3A);  // Fn layer: not this upload

  EXPECT_TRUE(rig.uploader.UploadKeyAssignments(rig.target));
  const auto received = rig.Received();
  ASSERT_FALSE(received.empty());
  EXPECT_EQ(std::vector<uint8_t>(received[0].first.bytes.begin(), received[0].first.bytes.begin() + 4),
            (std::vector<uint8_t>{0xAA, 0x55, 0xCC, 0x0F}));

  const auto keySlots = rig.Received(Framing::Feature200, 0xFA);
  ASSERT_EQ(keySlots.size(), 10u);
  for (size_t i = 0; i < keySlots.size(); ++i) {
    const std::vector<uint8_t> head(keySlots[i].first.bytes.begin(), keySlots[i].first.bytes.begin() + 9);
    const uint8_t slot = static_cast<uint8_t>(i + 1);
    EXPECT_EQ(head, (std::vector<uint8_t>{0x07, 0xFA, 0x01, slot, static_cast<uint8_t>(0x1E + i), 0x01,
                                          static_cast<uint8_t>(0x04 + i), 0x01, 0x00}));
    EXPECT_EQ(keySlots[i].first.bytes.size(), 65u);
  }
  const auto blocks = rig.Received(Framing::Feature200, 0xF1);
  ASSERT_EQ(blocks.size(), 2u);
  EXPECT_EQ(std::vector<uint8_t>(blocks[0].first.bytes.begin(), blocks[0].first.bytes.begin() + 6),
            (std::vector<uint8_t>{0x07, 0xF1, 0x01, 1, kKeyA, 3}));
  EXPECT_EQ(std::vector<uint8_t>(blocks[1].first.bytes.begin(), blocks[1].first.bytes.begin() + 6),
            (std::vector<uint8_t>{0x07, 0xF1, 0x01, 2, kKeyB, 1}));
  EXPECT_EQ(rig.Received(Framing::Feature200, 0x00).size(), 2u * 27);

  const vkb::FirmwareState state = rig.keyboard.State();
  EXPECT_EQ(state.slotTable[1], kKeyA);
  EXPECT_EQ(state.slotTable[2], kKeyB);
  for (int slot = 1; slot <= 10; ++slot) EXPECT_EQ(state.slotTable[static_cast<size_t>(13 + slot)], 0x1E + slot - 1);
  // The macro decodes back from the slot block: A, B down/up with 20 ms.
  const auto& block = state.slotBlocks.at(1);
  EXPECT_EQ(std::vector<uint8_t>(block.begin() + 4, block.begin() + 12),
            (std::vector<uint8_t>{4, 0x02, 4, 0x82, 5, 0x02, 5, 0x82}));
  EXPECT_FALSE(rig.uploader.SingleKeyPending());
}

TEST(KeyUpload200Test, SingleKeyReusesItsSlotAndMovesBetweenKinds) {
  UploadRig rig(250);
  auto assignAndUpload = [&](int key, int type, int value) {
    rig.Assign(0, key, type, value);
    rig.uploader.MarkSingleKey(key);
    rig.keyboard.ClearLog();
    EXPECT_TRUE(rig.uploader.UploadKeyAssignments(rig.target));
  };
  assignAndUpload(kKeyA, kAssignKey, 0x3A);
  assignAndUpload(kKeyB, kAssignKey, 0x3B);
  EXPECT_EQ(rig.keyboard.State().keySlots, (std::map<int, std::pair<int, int>>{{1, {kKeyA, 0x3A}}, {2, {kKeyB, 0x3B}}}));

  assignAndUpload(kKeyA, kAssignKey, 0x3C);  // the second time, the slot it holds
  EXPECT_EQ(rig.keyboard.State().keySlots, (std::map<int, std::pair<int, int>>{{1, {kKeyA, 0x3C}}, {2, {kKeyB, 0x3B}}}));
  // The slot table was read before the key went out, 100 ms earlier.
  const auto received = rig.Received();
  ASSERT_GE(received.size(), 2u);
  EXPECT_EQ(received.front().second.code, 0xFB);
  EXPECT_GE(received.back().first.timeMs - received.front().first.timeMs, 100);

  const int macro = rig.AddMacro(2, 1);
  assignAndUpload(kKeyA, kAssignMacro, macro);  // a macro now: key slot freed, macro slot taken
  vkb::FirmwareState state = rig.keyboard.State();
  EXPECT_EQ(state.keySlots, (std::map<int, std::pair<int, int>>{{2, {kKeyB, 0x3B}}}));
  EXPECT_EQ(state.slotTable[1], kKeyA);

  assignAndUpload(kKeyA, kAssignDefault, 0);  // back to default: the macro slot is freed
  state = rig.keyboard.State();
  EXPECT_EQ(state.slotTable[1], 0);
  EXPECT_TRUE(state.slotBlocks.empty());

  // A web page id above a byte is refused: B's slot is freed rather than given 0x2C.
  assignAndUpload(kKeyB, kAssignOpenWeb, 0x12C);
  EXPECT_TRUE(rig.keyboard.State().keySlots.empty());
  const auto freed = rig.Received(Framing::Feature200, 0xFA);
  ASSERT_EQ(freed.size(), 1u);
  EXPECT_EQ(std::vector<uint8_t>(freed[0].first.bytes.begin(), freed[0].first.bytes.begin() + 8),
            (std::vector<uint8_t>{0x07, 0xFA, 0x01, 2, 0x00, 0x01, 0x00, 0x01}));
}

TEST(KeyUpload200Test, SingleKeyWithoutTheSlotTableSendsNothing) {
  UploadRig rig(250);
  rig.Assign(0, kKeyA, kAssignKey, 0x3A);
  rig.uploader.MarkSingleKey(kKeyA);
  rig.keyboard.Unplug(Port::Cable);
  EXPECT_FALSE(rig.uploader.UploadKeyAssignments(rig.target));
  EXPECT_FALSE(rig.uploader.SingleKeyPending());
  EXPECT_TRUE(rig.Received().empty());
}

TEST(KeyUpload200Test, SyncKeepsOnlyTheKeysTheKeyboardHolds) {
  UploadRig rig(250);
  const int macro = rig.AddMacro(2, 1);
  rig.Assign(0, kKeyA, kAssignKey, 0x3A);
  rig.Assign(0, kKeyB, kAssignMacro, macro);
  rig.uploader.UploadKeyAssignments(rig.target);  // the keyboard holds A and B
  rig.Assign(0, kKeyC, kAssignKey, 0x3B);         // stored, never sent
  rig.Assign(1, kKeyC, kAssignKey, 0x3B);         // another layer: not compared

  // Keyboards of the other series have no slot table to trust, whatever they answer.
  for (int other : {200, 300, 301}) {
    UploadTarget target = rig.target;
    target.deviceType = other;
    EXPECT_EQ(rig.uploader.SyncKeySlots(target), 0) << other;
  }
  KeyAssignmentRecord kept;
  EXPECT_TRUE(rig.store.ReadKeyAssignment(rig.profile, 0, kKeyC, kept));

  EXPECT_EQ(rig.uploader.SyncKeySlots(rig.target), 1);
  KeyAssignmentRecord record;
  EXPECT_TRUE(rig.store.ReadKeyAssignment(rig.profile, 0, kKeyA, record));
  EXPECT_TRUE(rig.store.ReadKeyAssignment(rig.profile, 0, kKeyB, record));
  EXPECT_FALSE(rig.store.ReadKeyAssignment(rig.profile, 0, kKeyC, record));
  EXPECT_TRUE(rig.store.ReadKeyAssignment(rig.profile, 1, kKeyC, record));

  // A keyboard that cannot be read is no authority: nothing is removed.
  rig.keyboard.Unplug(Port::Cable);
  EXPECT_EQ(rig.uploader.SyncKeySlots(rig.target), -1);
  std::vector<KeyAssignmentRecord> list;
  EXPECT_EQ(rig.store.ListLayerAssignments(rig.profile, 0, list), 2);
}

// ---------------- 100 series ----------------

TEST(KeyUpload100Test, MacrosShortcutsThenTheKeyTable) {
  // Key index by key code; Esc lies beyond the table and C is not in the layout.
  UploadRig rig(150, {{kKeyA, 5}, {kKeyB, 6}, {0x1E, 7}, {0x1F, 8}, {0x20, 119}, {kKeyEsc, 180}});
  const int macro = rig.AddMacro(20, 3, 300);
  rig.Assign(0, kKeyA, kAssignDisabled, 1);
  rig.Assign(0, kKeyB, kAssignKey, 0x2C);
  rig.Assign(0, 0x1E, kAssignShortcut, 2);
  rig.Assign(0, 0x1F, kAssignMacro, macro);
  rig.Assign(0, 0x20, kAssignKey, 0x3A);
  rig.Assign(0, kKeyC, kAssignKey, 0x3B);
  rig.Assign(0, kKeyEsc, kAssignKey, 0x3B);

  const int64_t start = rig.clock.NowMs();
  EXPECT_TRUE(rig.uploader.UploadKeyAssignments(rig.target));

  std::vector<int> codes;
  for (const auto& r : rig.Received()) codes.push_back(r.second.framing == Framing::Series100 ? r.second.code : -1);
  // 20 events: T = 63, two pieces; then the shortcut; then four table chunks.
  EXPECT_EQ(codes, (std::vector<int>{0x8E, 0x8E, 0x8E, 0x8D, 0x8D, 0x8D, 0x8D}));
  EXPECT_EQ(rig.uploader.MacroSlots100(), (std::map<int, int>{{0x1F, 0}, {0x1E, 1}}));

  const vkb::FirmwareState state = rig.keyboard.State();
  std::array<uint8_t, vkb::kKeyTable100Bytes> expected{};
  auto put = [&](int index, uint8_t a, uint8_t b) {
    expected[static_cast<size_t>(2 * index)] = a;
    expected[static_cast<size_t>(2 * index + 1)] = b;
  };
  put(5, 0x00, 0x20);    // disabled
  put(6, 0x2C, 0x20);    // remapped
  put(7, 0x01, 0x40);    // shortcut in slot 1
  put(8, 0x00, 0x40);    // macro in slot 0
  put(119, 0x3A, 0x20);  // the last entry sent
  EXPECT_EQ(state.keyTable100, expected);

  // The macro decodes back from its pieces: play count, count, A down with 300 ms.
  const auto& block = state.macros100.at(0);
  EXPECT_EQ(std::vector<uint8_t>(block.begin(), block.begin() + 8), (std::vector<uint8_t>{3, 20, 4, 0x2C, 0x81, 4, 0xAC, 0x01}));
  const auto& shortcut = state.macros100.at(1);
  EXPECT_EQ(shortcut[0], 1);
  EXPECT_EQ(shortcut[1], 4);

  // 10 + 2 x 100 for the macro, 10 for the shortcut, 20, then 4 x 10.
  EXPECT_GE(rig.clock.NowMs() - start, 10 + 200 + 10 + 20 + 40);
  const auto pieces = rig.Received(Framing::Series100, 0x8E);
  EXPECT_GE(pieces[1].first.timeMs - pieces[0].first.timeMs, 100);
}

TEST(KeyUpload100Test, AFailedMacroPieceStopsTheMacrosButNotTheKeyTable) {
  UploadRig rig(150, {{kKeyA, 0}, {kKeyB, 1}, {kKeyC, 2}});
  const int macro = rig.AddMacro(2, 1);
  rig.Assign(0, kKeyA, kAssignMacro, macro);
  rig.Assign(0, kKeyB, kAssignMacro, macro);
  rig.Assign(0, kKeyC, kAssignShortcut, 1);
  // The first macro's report fails, and so does its one retry.
  rig.keyboard.InjectFault(Port::Cable, vkb::Fault::FailWrite);
  rig.keyboard.InjectFault(Port::Cable, vkb::Fault::FailWrite);

  EXPECT_FALSE(rig.uploader.UploadKeyAssignments(rig.target));
  EXPECT_TRUE(rig.Received(Framing::Series100, 0x8E).empty());
  EXPECT_TRUE(rig.uploader.MacroSlots100().empty());
  EXPECT_EQ(rig.Received(Framing::Series100, 0x8D).size(), 4u);
  EXPECT_EQ(rig.keyboard.State().keyTable100, (std::array<uint8_t, vkb::kKeyTable100Bytes>{}))
      << "keys without a slot keep their default";
}

}  // namespace
}  // namespace kl
