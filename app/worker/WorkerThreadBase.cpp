#include "app/worker/WorkerThreadBase.h"

namespace kl {

WorkerThreadBase::~WorkerThreadBase() { Stop(); }

int WorkerThreadBase::Start() {
  if (m_running || m_thread.joinable()) return 0;
  m_intervalMs = 16;
  m_repeat = true;
  m_startTime = m_clock.NowMs();
  m_running = true;
  m_thread = std::thread([this] { ThreadBody(); });
  return 1;
}

void WorkerThreadBase::Stop() {
  m_running = false;
  if (m_thread.joinable() && m_thread.get_id() != std::this_thread::get_id()) m_thread.join();
}

void WorkerThreadBase::ThreadBody() {
  // The thread's top level: a pass that throws is abandoned and the next one runs.
  auto pass = [this] {
    try {
      Run();
    } catch (...) {
    }
  };
  if (!m_repeat) {
    pass();
    return;
  }
  while (m_running) {
    pass();
    m_clock.SleepMs(m_intervalMs);
  }
}

}  // namespace kl
