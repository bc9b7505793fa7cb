#include "velaui/core/MMediaTimer.h"

#include <algorithm>
#include <map>

#include "platform/WindowSystem.h"

namespace kl::vela {

namespace {
// Which object owns which tick; UI thread only, like the timers themselves.
std::map<UINT, MMediaTimer*>& Owners() {
  static std::map<UINT, MMediaTimer*> owners;
  return owners;
}
}  // namespace

MMediaTimer::~MMediaTimer() { KillTimer(); }

UINT MMediaTimer::SetTimer(UINT ms, const std::wstring& name, bool appTimer) {
  platform::WindowSystem* ws = platform::GetWindowSystem();
  if (!ws) return 0;
  const UINT id = ws->StartTick(ms, [this](platform::TickId tick) { Fire(tick); });
  if (!id) return 0;
  m_timers.push_back({id, name, appTimer});
  Owners()[id] = this;
  return id;
}

void MMediaTimer::Fire(UINT id) {
  auto it = std::find_if(m_timers.begin(), m_timers.end(), [&](const Entry& e) { return e.id == id; });
  if (it == m_timers.end()) return;
  const bool app = it->appTimer;
  const std::wstring name = it->name;
  OnMTimer(id);
  if (app) OnMTimer(id, name);
}

int MMediaTimer::KillTimer(UINT id) {
  platform::WindowSystem* ws = platform::GetWindowSystem();
  const size_t before = m_timers.size();
  std::erase_if(m_timers, [&](const Entry& e) {
    if (e.id != id) return false;
    if (ws) ws->StopTick(e.id);
    Owners().erase(e.id);
    return true;
  });
  return before == m_timers.size() ? -1 : static_cast<int>(m_timers.size());
}

int MMediaTimer::KillTimer(const std::wstring& name) {
  platform::WindowSystem* ws = platform::GetWindowSystem();
  std::erase_if(m_timers, [&](const Entry& e) {
    if (e.name != name) return false;
    if (ws) ws->StopTick(e.id);
    Owners().erase(e.id);
    return true;
  });
  return static_cast<int>(m_timers.size());
}

void MMediaTimer::KillTimer() {
  platform::WindowSystem* ws = platform::GetWindowSystem();
  for (const Entry& e : m_timers) {
    if (ws) ws->StopTick(e.id);
    Owners().erase(e.id);
  }
  m_timers.clear();
}

std::wstring MMediaTimer::GetTimerName(UINT id) const {
  for (const Entry& e : m_timers)
    if (e.id == id) return e.name;
  return {};
}

bool MMediaTimer::IsAppTimer(UINT id) const {
  for (const Entry& e : m_timers)
    if (e.id == id) return e.appTimer;
  return false;
}

bool MMediaTimer::GetTimerIsRun(UINT id) const {
  return std::any_of(m_timers.begin(), m_timers.end(), [&](const Entry& e) { return e.id == id; });
}

bool MMediaTimer::GetTimerIsRun(const std::wstring& name) const {
  return std::any_of(m_timers.begin(), m_timers.end(), [&](const Entry& e) { return e.name == name; });
}

MMediaTimer* MMediaTimer::GetTimerObject(UINT id) {
  auto it = Owners().find(id);
  return it == Owners().end() ? nullptr : it->second;
}

}  // namespace kl::vela
