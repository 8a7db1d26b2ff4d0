#pragma once
// Threads and locks in place of the class library's CMutex and AfxBeginThread.
//
// CMutex is unnamed and process-local. Lock(timeout) reports whether the lock
// was taken; a caller whose wait ran out must not touch what the mutex guards
// (the usual answer is to wait again). As a Windows mutex, it is recursive: the
// owning thread may lock it again and unlocks it as often; only the owner can
// unlock it (Unlock by another thread returns false and changes nothing).
//
// Every thread started with AfxBeginThread is counted in a registry, so that
// tests and the program's exit can wait until every worker has ended. At the
// program's end the registry also carries a stop signal: worker loops leave
// at their next step and requests in flight give up, so that the wait is
// short and no worker outlives the controls it reaches.
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/types.h"

constexpr DWORD INFINITE = 0xFFFFFFFF;

class CMutex {
 public:
  CMutex() = default;
  CMutex(const CMutex&) = delete;
  CMutex& operator=(const CMutex&) = delete;

  // Waits at most `timeout_ms` (INFINITE waits for ever); true when taken.
  bool Lock(DWORD timeout_ms = INFINITE);
  bool Unlock();

 private:
  // A plain mutex and a condition variable rather than std::timed_mutex: its
  // timed wait is invisible to ThreadSanitizer, which then reports every
  // worker's claim as a race.
  std::mutex state_mutex_;
  std::condition_variable released_;
  std::thread::id owner_;  // guarded by state_mutex_; empty when free
  unsigned count_ = 0;     // guarded by state_mutex_
};

// Takes `mutex`, waiting again each time a timed wait of `timeout_ms` runs out.
void LockWaitingAgain(CMutex& mutex, DWORD timeout_ms);

using AFX_THREADPROC = UINT (*)(LPVOID);

class CWinThread {
 public:
  unsigned long m_nThreadID = 0;
};

constexpr int THREAD_PRIORITY_NORMAL = 0;

// Starts `proc(param)` on a new thread at once. The returned object lives as
// long as the thread; callers do not delete it. When the system cannot make
// the thread, the result is null, `proc` never runs and the thread is not
// counted: a caller that waits for its threads must count it as ended.
CWinThread* AfxBeginThread(AFX_THREADPROC proc, LPVOID param,
                           int priority = THREAD_PRIORITY_NORMAL, UINT stack_size = 0,
                           DWORD create_flags = 0, void* security = nullptr);

void Sleep(DWORD ms);

namespace worker_registry {
// Number of threads started by AfxBeginThread that have not yet ended.
int LiveCount();
// Waits until no such thread is alive; false when `timeout` passed first.
bool WaitAll(std::chrono::milliseconds timeout);
// The stop signal. Raised and lowered by the UI thread around the wait at
// the program's end (see ui::detail::StopWorkers); read by any thread.
void SetStopRequested(bool stop);
bool StopRequested();
// Makes the next `count` starts fail as when the system has no thread to
// give. For tests only.
void FailThreadStartsForTesting(int count);
}  // namespace worker_registry
