// The headless window system installed for one test, and a few helpers shared by the UI tests.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/headless/HeadlessWindowSystem.h"
#include "velaui/core/MControlFont.h"
#include "velaui/core/Manager.h"

namespace kl::test {

class HeadlessTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::SetWindowSystem(&m_ws); }
  void TearDown() override {
    vela::Manager::SetSkinFolder(L"");
    platform::SetWindowSystem(nullptr);
  }
  platform::HeadlessWindowSystem m_ws;
};

// A control that writes down which hooks ran, and answers as told.
class RecordingControl : public vela::MControlFont {
 public:
  RecordingControl(vela::MObject* parent, UINT id, CRect rect, std::vector<std::string>* log)
      : MControlFont(parent, id, rect, L"", 1, 1, 1), m_log(log) {}

  void DrawControl(vela::Canvas& canvas, CRect clip) override {
    ++draws;
    canvas.FillRect(CRect::Intersect(m_rect, clip), fill);
  }
  int OnControlMouseMove(UINT, CPoint) override { return Note("move"), 1; }
  int OnControlLButtonDown(UINT, CPoint) override { return Note("down"), handlePress; }
  int OnControlLButtonUp(UINT, CPoint) override { return Note("up"), 1; }
  int OnControlLButtonDblClk(UINT, CPoint) override { return Note("dbl"), 1; }
  int OnControlRButtonDown(UINT, CPoint) override { return Note("rdown"), 1; }
  int OnControlScroll(int, UINT down, CPoint) override { return Note(down ? "wheel-down" : "wheel-up"), handleWheel; }
  int OnControlKeyDown(UINT vk, UINT, UINT modifier) override {
    Note("key " + std::to_string(vk) + "/" + std::to_string(modifier));
    return handleKey;
  }
  int OnControlTimer() override { return Note("timer"), 1; }
  int SetControlFocus(int focus) override {
    Note(focus ? "focus" : "blur");
    return MControlFont::SetControlFocus(focus);
  }

  int handlePress = 1;
  int handleWheel = 1;
  int handleKey = 0;
  int draws = 0;
  ARGB fill = 0xFF336699;

 private:
  void Note(const std::string& what) {
    if (m_log) m_log->push_back(std::to_string(GetControlID()) + " " + what);
  }
  std::vector<std::string>* m_log;
};

}  // namespace kl::test
