#include "app/macros/MacroRecorder.h"

#include <gtest/gtest.h>

#include "app/macros/MacroModel.h"

namespace kl {
namespace {

// The keyboard layout's names, as the capture layer would give them.
std::wstring LayoutName(int vk) {
  switch (vk) {
    case 0x41: return L"A";
    case 0x42: return L"B";
    case 103: return L"Num 7";
    case 36: return L"Home";
    case 108: return L"Num Enter";
    default: return L"key " + std::to_wstring(vk);
  }
}

CapturedKey Down(int vk, int64_t t, int scan = 0, int flags = 0) { return {KeyAction::Down, vk, scan, flags, t}; }
CapturedKey Up(int vk, int64_t t, int scan = 0, int flags = 0x80) { return {KeyAction::Up, vk, scan, flags, t}; }

// type, virtual key, delay
using Row = std::tuple<int, int, int>;
std::vector<Row> Rows(const MacroRecorder& recorder) {
  std::vector<Row> rows;
  for (const MacroItemRecord& e : recorder.Events()) rows.emplace_back(e.type, e.value, e.delayTime);
  return rows;
}

MacroItemRecord StoredEvent(int type, int vk, int delay) {
  MacroItemRecord e;
  e.type = type;
  e.value = vk;
  e.delayTime = delay;
  return e;
}

class MacroRecorderTest : public testing::Test {
 protected:
  MacroRecorder m_recorder{LayoutName};
};

TEST_F(MacroRecorderTest, HeldKeysAreRecordedOnceWithTheirMeasuredGaps) {
  ASSERT_EQ(m_recorder.Start({}, kDelayMeasured, 10), MacroRecorder::StartResult::Started);
  const std::pair<CapturedKey, MacroRecorder::KeyResult> steps[] = {
      {Down(0x41, 1000), MacroRecorder::KeyResult::Recorded},
      {Down(0x41, 1030), MacroRecorder::KeyResult::Dropped},  // auto-repeat
      {Down(0x41, 1060), MacroRecorder::KeyResult::Dropped},
      {Up(0x41, 1100), MacroRecorder::KeyResult::Recorded},
      {Down(0x42, 41100), MacroRecorder::KeyResult::Recorded},  // a 40 s pause
      {{KeyAction::Other, 0x42, 0, 0, 41150}, MacroRecorder::KeyResult::Dropped},
      {Down(0, 41160), MacroRecorder::KeyResult::Dropped},
      {Up(0x42, 41000), MacroRecorder::KeyResult::Recorded},  // a clock step backwards
  };
  for (const auto& [key, result] : steps) EXPECT_EQ(m_recorder.HandleKey(key), result);
  m_recorder.Stop();
  EXPECT_FALSE(m_recorder.IsRecording());
  EXPECT_EQ(Rows(m_recorder), (std::vector<Row>{{2, 0x41, 100}, {3, 0x41, 31000}, {2, 0x42, 0}, {3, 0x42, 0}}));
  EXPECT_EQ(m_recorder.Events()[0].desc, L"A");
  EXPECT_EQ(m_recorder.Events()[3].recordIndex, 3);
  EXPECT_EQ(m_recorder.HandleKey(Down(0x41, 50000)), MacroRecorder::KeyResult::NotRecording);
}

TEST_F(MacroRecorderTest, DelayPoliciesFillThePreviousRow) {
  struct Case {
    int policy;
    int fixed;
    std::vector<Row> expected;
  };
  const Case cases[] = {
      {kDelayNone, 50, {{2, 0x42, 7}, {2, 0x41, 0}, {3, 0x41, 0}}},  // stored delays stay
      {kDelayFixed, 50, {{2, 0x42, 50}, {2, 0x41, 50}, {3, 0x41, 0}}},
      {kDelayMeasured, 50, {{2, 0x42, 7}, {2, 0x41, 20}, {3, 0x41, 0}}},
      {9, 50, {{2, 0x42, 7}, {2, 0x41, 20}, {3, 0x41, 0}}},  // unknown policy: measured
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.policy);
    // The macro already holds one event; with a fixed delay it gets the delay too.
    ASSERT_EQ(m_recorder.Start({StoredEvent(2, 0x42, 7)}, c.policy, c.fixed), MacroRecorder::StartResult::Started);
    m_recorder.HandleKey(Down(0x41, 500));
    m_recorder.HandleKey(Up(0x41, 520));
    m_recorder.Stop();
    EXPECT_EQ(Rows(m_recorder), c.expected);
  }
}

TEST_F(MacroRecorderTest, KeypadModifiersAndKeypadEnterAreRecordedAsTheirOwnKeys) {
  struct Case {
    const char* name;
    CapturedKey key;
    int recordedVk;
    const wchar_t* desc;
  };
  const Case cases[] = {
      {"keypad 7 with Num Lock off", Down(36, 0, 71, 0x00), 103, L"Num 7"},
      {"Home key (extended)", Down(36, 0, 71, 0x01), 36, L"Home"},
      {"keypad . up", Up(46, 0, 83, 0x80), 110, L"key 110"},
      {"keypad 0", Down(45, 0, 82, 0x00), 96, L"key 96"},
      {"keypad Enter", Down(13, 0, 28, 0x01), 108, L"Num Enter"},
      {"main Enter", Down(13, 0, 28, 0x00), 13, L"key 13"},
      {"injected keypad key keeps its code", Down(36, 0, 71, 0x10), 36, L"Home"},
      {"Shift", Down(16, 0, 42), 160, L"Shift"},
      {"Ctrl", Down(17, 0, 29), 162, L"Ctrl"},
      {"Alt", Up(18, 0, 56), 164, L"Alt"},
      {"right Ctrl", Down(163, 0, 29, 0x01), 163, L"RCtrl"},
      {"volume up", Down(175, 0, 48, 0x01), 175, L"Vol Up"},
      {"browser back", Down(166, 0, 106, 0x01), 166, L"Web-Backward"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(m_recorder.Start({}, kDelayNone, 0), MacroRecorder::StartResult::Started);
    ASSERT_EQ(m_recorder.HandleKey(c.key), MacroRecorder::KeyResult::Recorded);
    ASSERT_FALSE(m_recorder.Events().empty());
    EXPECT_EQ(m_recorder.Events()[0].value, c.recordedVk);
    EXPECT_EQ(m_recorder.Events()[0].desc, c.desc);
    m_recorder.Stop();
  }
}

TEST_F(MacroRecorderTest, StoppingReleasesHeldKeysAndForgetsThem) {
  ASSERT_EQ(m_recorder.Start({}, kDelayFixed, 30), MacroRecorder::StartResult::Started);
  m_recorder.HandleKey(Down(16, 0, 42));
  m_recorder.HandleKey(Down(0x41, 10));
  m_recorder.Stop();
  EXPECT_EQ(Rows(m_recorder), (std::vector<Row>{{2, 160, 30}, {2, 0x41, 30}, {3, 0x41, 30}, {3, 160, 0}}));
  EXPECT_EQ(m_recorder.Events()[3].desc, L"Shift");

  // The keys held before are not held in the next recording: their downs are recorded again.
  ASSERT_EQ(m_recorder.Start({}, kDelayNone, 0), MacroRecorder::StartResult::Started);
  EXPECT_EQ(m_recorder.HandleKey(Down(0x41, 100)), MacroRecorder::KeyResult::Recorded);
  m_recorder.Stop();
  EXPECT_EQ(Rows(m_recorder), (std::vector<Row>{{2, 0x41, 0}, {3, 0x41, 0}}));
}

// Whatever is pressed, a recording that hits the limit keeps a key-up for every key-down and
// never holds more events than the limit.
TEST_F(MacroRecorderTest, TheLimitStopsRecordingWithEveryKeyReleased) {
  struct Case {
    const char* name;
    int stored;
    std::vector<CapturedKey> keys;
    int limit;
    size_t events;
  };
  std::vector<CapturedKey> taps;
  for (int i = 0; i < 40; ++i) {
    taps.push_back(Down(0x41 + i % 26, i * 10));
    taps.push_back(Up(0x41 + i % 26, i * 10 + 5));
  }
  std::vector<CapturedKey> chord;  // press many keys, release none
  for (int i = 0; i < 40; ++i) chord.push_back(Down(0x41 + i % 26 + (i >= 26 ? 0x20 : 0), i));
  const Case cases[] = {
      {"taps into an empty macro", 0, taps, 60, 60},
      {"taps into a macro of 55", 55, taps, 60, 59},
      {"chord", 0, chord, 60, 60},
      {"chord into a macro of 57", 57, chord, 60, 59},
      {"taps, limit 80", 0, taps, 80, 80},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    m_recorder.SetEventLimit(c.limit);
    std::vector<MacroItemRecord> stored(c.stored, StoredEvent(2, 0x30, 0));
    for (size_t i = 0; i < stored.size(); ++i) stored[i].type = i % 2 ? 3 : 2;
    ASSERT_EQ(m_recorder.Start(stored, kDelayNone, 0), MacroRecorder::StartResult::Started);
    bool limited = false;
    for (const CapturedKey& key : c.keys) {
      const auto result = m_recorder.HandleKey(key);
      if (result == MacroRecorder::KeyResult::LimitReached) {
        limited = true;
        break;
      }
    }
    EXPECT_TRUE(limited);
    EXPECT_FALSE(m_recorder.IsRecording());
    EXPECT_EQ(m_recorder.Events().size(), c.events);
    std::map<int, int> balance;
    for (size_t i = stored.size(); i < m_recorder.Events().size(); ++i) {
      const MacroItemRecord& e = m_recorder.Events()[i];
      balance[e.value] += e.type == kMacroEventDown ? 1 : -1;
      EXPECT_GE(balance[e.value], 0) << "key-up before its key-down";
    }
    for (const auto& [vk, open] : balance) EXPECT_EQ(open, 0) << "vk " << vk << " left pressed";
  }
}

TEST_F(MacroRecorderTest, AFullMacroDoesNotStart) {
  m_recorder.SetEventLimit(60);
  for (int stored : {60, 59}) {
    EXPECT_EQ(m_recorder.Start(std::vector<MacroItemRecord>(stored), kDelayNone, 0),
              MacroRecorder::StartResult::LimitReached);
    EXPECT_FALSE(m_recorder.IsRecording());
  }
  ASSERT_EQ(m_recorder.Start(std::vector<MacroItemRecord>(58), kDelayNone, 0), MacroRecorder::StartResult::Started);
  EXPECT_EQ(m_recorder.Start({}, kDelayNone, 0), MacroRecorder::StartResult::AlreadyRecording);
  EXPECT_EQ(m_recorder.HandleKey(Down(0x41, 0)), MacroRecorder::KeyResult::Recorded);
  EXPECT_EQ(m_recorder.HandleKey(Down(0x42, 0)), MacroRecorder::KeyResult::LimitReached);
  EXPECT_EQ(m_recorder.Events().size(), 60u);
  EXPECT_EQ(m_recorder.Events().back().type, kMacroEventUp);
  EXPECT_EQ(m_recorder.Events().back().value, 0x41);
}

TEST(RecordedKeyName, FixedNamesWinOverTheLayout) {
  const std::pair<int, const wchar_t*> cases[] = {
      {16, L"Shift"},  {160, L"Shift"}, {162, L"Ctrl"},         {19, L"Pause"},   {44, L"Print Screen"},
      {91, L"Windows"}, {92, L"RWindows"}, {93, L"Application"}, {144, L"Num Lock"}, {165, L"RAlt"},
      {173, L"Vol Mute"}, {183, L"Calculator"}, {0x41, L"A"},    {184, L"key 184"},
  };
  for (const auto& [vk, name] : cases) EXPECT_EQ(RecordedKeyName(vk, LayoutName), name) << vk;
  EXPECT_EQ(RecordedKeyName(0x41, nullptr), L"");
}

}  // namespace
}  // namespace kl
