#include "app/worker/TaskQueue.h"

#include <chrono>

namespace kl {

void TaskWaiter::Release() {
  std::function<void()> callback;
  {
    std::lock_guard guard(m_lock);
    if (m_done) return;
    m_done = true;
    callback = std::move(m_callback);
    m_callback = nullptr;
  }
  m_released.notify_all();
  if (callback) callback();
}

bool TaskWaiter::IsReleased() const {
  std::lock_guard guard(m_lock);
  return m_done;
}

void TaskWaiter::OnRelease(std::function<void()> callback) {
  {
    std::lock_guard guard(m_lock);
    if (!m_done) {
      m_callback = std::move(callback);
      return;
    }
  }
  if (callback) callback();
}

bool TaskWaiter::WaitReleased(int timeoutMs) const {
  std::unique_lock guard(m_lock);
  return m_released.wait_for(guard, std::chrono::milliseconds(timeoutMs), [this] { return m_done; });
}

void TaskQueue::Push(int number, std::shared_ptr<TaskWaiter> waiter) {
  std::lock_guard guard(m_lock);
  m_tasks.push_back(QueuedTask{number, std::move(waiter)});
}

std::optional<QueuedTask> TaskQueue::Front() const {
  std::lock_guard guard(m_lock);
  if (m_tasks.empty()) return std::nullopt;
  return m_tasks.front();
}

void TaskQueue::PopFront() {
  std::lock_guard guard(m_lock);
  if (!m_tasks.empty()) m_tasks.pop_front();
}

bool TaskQueue::Empty() const {
  std::lock_guard guard(m_lock);
  return m_tasks.empty();
}

std::vector<int> TaskQueue::Numbers() const {
  std::lock_guard guard(m_lock);
  std::vector<int> numbers;
  for (const QueuedTask& t : m_tasks) numbers.push_back(t.number);
  return numbers;
}

}  // namespace kl
