// The clock and sleep seam of everything that paces device traffic.
//
// The program runs on RealClock(). Tests run long scenarios (minutes of status polling, uploads
// with their pauses) on a ScaledClock, whose milliseconds pass faster than real ones, so a
// 5-second poll period or a 600 ms reply timeout costs a fraction of that in real time while
// every pause keeps its proportion to the others.
#pragma once

#include <chrono>
#include <cstdint>
#include <thread>

namespace kl {

class Clock {
 public:
  virtual ~Clock() = default;
  // Milliseconds on this clock since an arbitrary, fixed start; never goes back.
  virtual int64_t NowMs() const = 0;
  // Sleeps for `ms` milliseconds of this clock (nothing for 0 or less).
  virtual void SleepMs(int64_t ms) const = 0;
  // The real instant at which `ms` milliseconds of this clock will have passed from now; for
  // condition-variable waits with a timeout measured on this clock.
  virtual std::chrono::steady_clock::time_point RealDeadline(int64_t ms) const = 0;
};

// A clock whose milliseconds last 1/speed real milliseconds.
class ScaledClock : public Clock {
 public:
  explicit ScaledClock(double speed) : m_speed(speed > 0 ? speed : 1.0) {}

  int64_t NowMs() const override {
    const std::chrono::duration<double, std::milli> real = std::chrono::steady_clock::now() - m_start;
    return static_cast<int64_t>(real.count() * m_speed);
  }
  void SleepMs(int64_t ms) const override {
    if (ms > 0) std::this_thread::sleep_for(RealSpan(ms));
  }
  std::chrono::steady_clock::time_point RealDeadline(int64_t ms) const override {
    return std::chrono::steady_clock::now() + RealSpan(ms > 0 ? ms : 0);
  }

 private:
  std::chrono::steady_clock::duration RealSpan(int64_t ms) const {
    return std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::duration<double, std::milli>(static_cast<double>(ms) / m_speed));
  }

  double m_speed;
  std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
};

// Real time: a ScaledClock at speed 1, shared by the whole program.
inline const Clock& RealClock() {
  static const ScaledClock clock(1.0);
  return clock;
}

}  // namespace kl
