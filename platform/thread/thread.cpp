#include "platform/thread/thread.h"

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <exception>
#include <memory>
#include <new>
#include <system_error>
#include <thread>

#include "platform/exception.h"

bool CMutex::Lock(DWORD timeout_ms) {
  const std::thread::id me = std::this_thread::get_id();
  std::unique_lock<std::mutex> lock(state_mutex_);
  if (owner_ == me) {
    ++count_;
    return true;
  }
  auto is_free = [this] { return count_ == 0; };
  if (timeout_ms == INFINITE) {
    released_.wait(lock, is_free);
  } else if (!released_.wait_for(lock, std::chrono::milliseconds(timeout_ms), is_free)) {
    return false;
  }
  owner_ = me;
  count_ = 1;
  return true;
}

bool CMutex::Unlock() {
  {
    std::lock_guard<std::mutex> lock(state_mutex_);
    if (count_ == 0 || owner_ != std::this_thread::get_id()) return false;
    if (--count_ > 0) return true;
    owner_ = std::thread::id();
  }
  released_.notify_one();
  return true;
}

void LockWaitingAgain(CMutex& mutex, DWORD timeout_ms) {
  while (!mutex.Lock(timeout_ms)) {
  }
}

namespace {

struct Registry {
  std::mutex mutex;
  std::condition_variable ended;
  int live = 0;
  unsigned long next_id = 1;
  // Read by every worker step and every request's progress callback: an
  // atomic, so that none of them takes the registry's lock.
  std::atomic<bool> stop{false};
  // Starts still to fail, for tests (FailThreadStartsForTesting).
  std::atomic<int> failing_starts{0};
};

Registry& TheRegistry() {
  // Never destroyed: workers may still end while static objects go away.
  static Registry* registry = new Registry;
  return *registry;
}

}  // namespace

CWinThread* AfxBeginThread(AFX_THREADPROC proc, LPVOID param, int, UINT, DWORD, void*) {
  Registry& r = TheRegistry();
  CWinThread* handle = nullptr;
  try {
    handle = new CWinThread;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  {
    std::lock_guard<std::mutex> lock(r.mutex);
    ++r.live;
    handle->m_nThreadID = r.next_id++;
  }
  try {
    if (r.failing_starts.load() > 0 && r.failing_starts.fetch_sub(1) > 0)
      throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
    std::thread([proc, param, handle] {
      // Workers catch what each pass can meet; anything that still escapes ends
      // this worker only, never the program, and the registry still counts it.
      try {
        proc(param);
      } catch (CException* e) {
        e->Delete();
        std::fputs("worker thread ended by an exception of the layer\n", stderr);
      } catch (const std::exception& e) {
        std::fprintf(stderr, "worker thread ended by an exception: %s\n", e.what());
      } catch (...) {
        std::fputs("worker thread ended by an unknown exception\n", stderr);
      }
      Registry& reg = TheRegistry();
      std::lock_guard<std::mutex> lock(reg.mutex);
      delete handle;
      --reg.live;
      reg.ended.notify_all();
    }).detach();
  } catch (const std::system_error& e) {
    // The system would not make the thread (too many threads, no memory for
    // its stack): it never runs, so it must not be waited for.
    std::fprintf(stderr, "worker thread not started: %s\n", e.what());
    std::lock_guard<std::mutex> lock(r.mutex);
    delete handle;
    --r.live;
    r.ended.notify_all();
    return nullptr;
  }
  return handle;
}

void Sleep(DWORD ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

namespace worker_registry {

int LiveCount() {
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> lock(r.mutex);
  return r.live;
}

bool WaitAll(std::chrono::milliseconds timeout) {
  Registry& r = TheRegistry();
  std::unique_lock<std::mutex> lock(r.mutex);
  return r.ended.wait_for(lock, timeout, [&] { return r.live == 0; });
}

void SetStopRequested(bool stop) { TheRegistry().stop.store(stop); }

bool StopRequested() { return TheRegistry().stop.load(); }

void FailThreadStartsForTesting(int count) { TheRegistry().failing_starts.store(count); }

}  // namespace worker_registry
