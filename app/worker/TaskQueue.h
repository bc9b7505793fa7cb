// The worker's task queue and the hand-over to whoever waits for a task.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace kl {

// Released once the worker is done with a task: after it ran, or when it was dropped
// because no keyboard is connected. The wait dialog registers OnRelease when its window is
// created; if the task was already done by then, the callback runs at once, so the dialog
// can never stay open for a task that will not release it.
class TaskWaiter {
 public:
  void Release();
  bool IsReleased() const;
  // Runs `callback` on release (on the releasing thread), or now if already released.
  void OnRelease(std::function<void()> callback);
  // Waits at most `timeoutMs` real milliseconds; true when released.
  bool WaitReleased(int timeoutMs) const;

 private:
  mutable std::mutex m_lock;
  mutable std::condition_variable m_released;
  bool m_done = false;
  std::function<void()> m_callback;
};

struct QueuedTask {
  int number = 0;
  std::shared_ptr<TaskWaiter> waiter;  // may be null
};

// FIFO of task numbers shared by the window thread and the worker. The lock is held only for
// the list operation itself, never while a task runs.
class TaskQueue {
 public:
  void Push(int number, std::shared_ptr<TaskWaiter> waiter = nullptr);
  std::optional<QueuedTask> Front() const;
  void PopFront();
  bool Empty() const;
  std::vector<int> Numbers() const;

 private:
  mutable std::mutex m_lock;
  std::deque<QueuedTask> m_tasks;
};

}  // namespace kl
