// The user-interface thread, its task queue and the backend in use.
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>

#include "platform/ui/backend.h"
#include "platform/ui/headless/headless.h"
#include "platform/ui/internal.h"

namespace ui {
namespace {

// 0: none chosen yet, and the process's first thread counts as the UI thread.
std::atomic<pid_t> g_ui_tid{0};

pid_t CurrentTid() { return static_cast<pid_t>(::syscall(SYS_gettid)); }

struct TaskQueue {
  std::mutex mutex;
  std::condition_variable queued;
  std::deque<std::function<void()>> tasks;
};

TaskQueue& Queue() {
  // Never destroyed: workers may still post while static objects go away.
  static TaskQueue* queue = new TaskQueue;
  return *queue;
}

struct BackendSlot {
  std::mutex mutex;
  std::atomic<Backend*> current{nullptr};
  std::unique_ptr<Backend> owned;
};

BackendSlot& Slot() {
  static BackendSlot* slot = new BackendSlot;
  return *slot;
}

// Takes the oldest task; false when there is none.
bool PopTask(std::function<void()>& task) {
  TaskQueue& q = Queue();
  std::lock_guard<std::mutex> lock(q.mutex);
  if (q.tasks.empty()) return false;
  task = std::move(q.tasks.front());
  q.tasks.pop_front();
  return true;
}

}  // namespace

void SetUiThread() { g_ui_tid.store(CurrentTid()); }

bool IsUiThread() {
  pid_t ui = g_ui_tid.load();
  return CurrentTid() == (ui != 0 ? ui : ::getpid());
}

void Post(std::function<void()> task) {
  TaskQueue& q = Queue();
  {
    std::lock_guard<std::mutex> lock(q.mutex);
    q.tasks.push_back(std::move(task));
  }
  q.queued.notify_all();
  GetBackend().Wake();
}

int RunPending() {
  // One task at a time off the shared queue, so that a modal loop started by
  // a task keeps delivering in posting order.
  size_t queued;
  {
    TaskQueue& q = Queue();
    std::lock_guard<std::mutex> lock(q.mutex);
    queued = q.tasks.size();
  }
  int ran = 0;
  std::function<void()> task;
  while (queued-- > 0 && PopTask(task)) {
    detail::CallReporting(task);
    task = nullptr;
    ++ran;
  }
  return ran;
}

bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + timeout;
  // Conditions may also turn true by other threads' work that posts nothing:
  // look again at least this often.
  constexpr auto kSlice = std::chrono::milliseconds(5);
  TaskQueue& q = Queue();
  for (;;) {
    if (done()) return true;
    if (RunPending() > 0 && done()) return true;
    Clock::time_point now = Clock::now();
    if (now >= deadline) return done();
    std::unique_lock<std::mutex> lock(q.mutex);
    q.queued.wait_until(lock, std::min(deadline, now + kSlice), [&] { return !q.tasks.empty(); });
  }
}

void SetBackend(std::unique_ptr<Backend> backend) {
  BackendSlot& s = Slot();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.owned = std::move(backend);
  s.current.store(s.owned.get());
}

Backend& GetBackend() {
  BackendSlot& s = Slot();
  if (Backend* b = s.current.load()) return *b;
  std::lock_guard<std::mutex> lock(s.mutex);
  if (!s.owned) {
    s.owned = headless::MakeBackend();
    s.current.store(s.owned.get());
  }
  return *s.owned;
}

}  // namespace ui
