// Double-click synthesis shared by the backends that get raw presses (X11, headless).
//
// A press becomes a double click when it is the second press of the same button on the same
// window within kDoubleClickMs and kDoubleClickSlop pixels of the first; the press after a
// double click starts a new pair (as on Windows: down, up, dblclk, up — never a triple click).
#pragma once

#include <cstdint>
#include <cstdlib>

#include "base/Geometry.h"

namespace kl::platform {

class ClickTracker {
 public:
  static constexpr uint64_t kDoubleClickMs = 500;
  static constexpr int kDoubleClickSlop = 4;

  // Returns true when this press completes a double click.
  bool OnPress(uint32_t window, int button, CPoint screen, uint64_t nowMs) {
    const bool dbl = m_armed && window == m_window && button == m_button &&
                     nowMs - m_timeMs <= kDoubleClickMs && std::abs(screen.x - m_point.x) <= kDoubleClickSlop &&
                     std::abs(screen.y - m_point.y) <= kDoubleClickSlop;
    m_armed = !dbl;
    m_window = window;
    m_button = button;
    m_point = screen;
    m_timeMs = nowMs;
    return dbl;
  }
  void Reset() { m_armed = false; }

 private:
  bool m_armed = false;
  uint32_t m_window = 0;
  int m_button = 0;
  CPoint m_point;
  uint64_t m_timeMs = 0;
};

}  // namespace kl::platform
