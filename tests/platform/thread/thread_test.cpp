#include <gtest/gtest.h>

#include <sys/resource.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <string>
#include <thread>

#include "platform/exception.h"
#include "platform/thread/thread.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

TEST(CMutexTest, TimedLockRunsOutWhileAnotherThreadHoldsIt) {
  CMutex mutex;
  std::atomic<bool> held{false};
  std::atomic<bool> release{false};
  std::thread holder([&] {
    ASSERT_TRUE(mutex.Lock());
    held = true;
    while (!release) std::this_thread::sleep_for(milliseconds(1));
    mutex.Unlock();
  });
  while (!held) std::this_thread::sleep_for(milliseconds(1));

  auto start = Clock::now();
  EXPECT_FALSE(mutex.Lock(50));
  EXPECT_GE(Clock::now() - start, milliseconds(45));
  EXPECT_FALSE(mutex.Lock(0));

  release = true;
  EXPECT_TRUE(mutex.Lock(5000));
  mutex.Unlock();
  holder.join();
}

TEST(CMutexTest, WaitingAgainGetsTheLockOnceReleased) {
  CMutex mutex;
  std::atomic<bool> held{false};
  std::thread releaser([&] {
    mutex.Lock();
    held = true;
    std::this_thread::sleep_for(milliseconds(120));
    mutex.Unlock();
  });
  while (!held) std::this_thread::sleep_for(milliseconds(1));
  auto start = Clock::now();
  LockWaitingAgain(mutex, 20);  // runs out several times first
  EXPECT_GE(Clock::now() - start, milliseconds(60));
  mutex.Unlock();
  releaser.join();
}

TEST(CMutexTest, RecursiveForItsOwnerAndOnlyTheOwnerUnlocks) {
  CMutex mutex;
  ASSERT_TRUE(mutex.Lock(50));
  ASSERT_TRUE(mutex.Lock(50));  // the owner again: no wait
  std::atomic<int> step{0};
  std::thread other([&] {
    EXPECT_FALSE(mutex.Unlock());  // not the owner
    EXPECT_FALSE(mutex.Lock(20));
    step = 1;
    while (step != 2) std::this_thread::sleep_for(milliseconds(1));
    EXPECT_FALSE(mutex.Lock(20));  // still held once
    step = 3;
    while (step != 4) std::this_thread::sleep_for(milliseconds(1));
    EXPECT_TRUE(mutex.Lock(5000));
    EXPECT_TRUE(mutex.Unlock());
  });
  while (step != 1) std::this_thread::sleep_for(milliseconds(1));
  EXPECT_TRUE(mutex.Unlock());
  step = 2;
  while (step != 3) std::this_thread::sleep_for(milliseconds(1));
  EXPECT_TRUE(mutex.Unlock());
  EXPECT_FALSE(mutex.Unlock());  // no longer held
  step = 4;
  other.join();
}

struct Shared {
  CMutex mutex;
  int next_row = 0;
  int rows = 1000;
  std::atomic<int> claimed{0};
  std::atomic<int> started{0};
};

// The claim pattern of the program's workers: lock with a time-out, wait again
// when it runs out, take the next row, unlock.
UINT ClaimRows(LPVOID param) {
  auto* s = static_cast<Shared*>(param);
  s->started++;
  for (;;) {
    LockWaitingAgain(s->mutex, 50);
    if (s->next_row >= s->rows) {
      s->mutex.Unlock();
      return 0;
    }
    s->next_row++;
    s->mutex.Unlock();
    s->claimed++;
    Sleep(0);
  }
}

TEST(AfxBeginThreadTest, FiftyWorkersStartAndAreAllWaitedFor) {
  ASSERT_TRUE(worker_registry::WaitAll(milliseconds(5000)));
  Shared shared;
  for (int i = 0; i < 50; ++i) {
    CWinThread* t = AfxBeginThread(ClaimRows, &shared);
    ASSERT_NE(t, nullptr);
  }
  EXPECT_TRUE(worker_registry::WaitAll(milliseconds(20000)));
  EXPECT_EQ(worker_registry::LiveCount(), 0);
  EXPECT_EQ(shared.started.load(), 50);
  EXPECT_EQ(shared.claimed.load(), 1000);  // every row once, none twice
  EXPECT_EQ(shared.next_row, 1000);
}

UINT SleepAWhile(LPVOID param) {
  Sleep(static_cast<DWORD>(reinterpret_cast<std::uintptr_t>(param)));
  return 0;
}

TEST(AfxBeginThreadTest, WaitAllReportsWorkersStillRunning) {
  AfxBeginThread(SleepAWhile, reinterpret_cast<LPVOID>(std::uintptr_t{300}));
  EXPECT_EQ(worker_registry::LiveCount(), 1);
  EXPECT_FALSE(worker_registry::WaitAll(milliseconds(20)));
  EXPECT_TRUE(worker_registry::WaitAll(milliseconds(5000)));
  EXPECT_EQ(worker_registry::LiveCount(), 0);
}

UINT Throws(LPVOID param) {
  if (param) throw new CException;
  throw std::runtime_error("too complex");
}

TEST(AfxBeginThreadTest, AnEscapingExceptionEndsOnlyThatWorker) {
  AfxBeginThread(Throws, nullptr);
  AfxBeginThread(Throws, reinterpret_cast<LPVOID>(1));
  EXPECT_TRUE(worker_registry::WaitAll(milliseconds(5000)));
  EXPECT_EQ(worker_registry::LiveCount(), 0);
}

UINT CountRun(LPVOID param) {
  ++*static_cast<std::atomic<int>*>(param);
  return 0;
}

TEST(AfxBeginThreadTest, AThreadTheSystemWillNotMakeIsNotCounted) {
  ASSERT_TRUE(worker_registry::WaitAll(milliseconds(5000)));
  std::atomic<int> runs{0};
  // Among running workers, so the count must come back to theirs exactly.
  AfxBeginThread(SleepAWhile, reinterpret_cast<LPVOID>(std::uintptr_t{200}));
  worker_registry::FailThreadStartsForTesting(2);
  EXPECT_EQ(AfxBeginThread(CountRun, &runs), nullptr);
  EXPECT_EQ(AfxBeginThread(CountRun, &runs), nullptr);
  EXPECT_EQ(worker_registry::LiveCount(), 1);
  EXPECT_NE(AfxBeginThread(CountRun, &runs), nullptr);  // the next start works again
  // The end of the program is not held up by the threads that never ran.
  EXPECT_TRUE(worker_registry::WaitAll(milliseconds(5000)));
  EXPECT_EQ(worker_registry::LiveCount(), 0);
  EXPECT_EQ(runs.load(), 1);
}

// The same with the system really refusing: a child process whose address
// space has no room left for a thread's stack (a limit that binds root too).
TEST(AfxBeginThreadTest, AThreadWithoutRoomForItsStackIsNotCounted) {
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the sanitizers' own mappings need the address space this test takes away";
#else
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        std::ifstream status("/proc/self/status");
        long vm_kib = 0;
        for (std::string line; std::getline(status, line);)
          if (line.rfind("VmSize:", 0) == 0) vm_kib = std::stol(line.substr(7));
        rlimit limit{};
        limit.rlim_cur = limit.rlim_max = static_cast<rlim_t>(vm_kib + 2048) * 1024;
        if (vm_kib == 0 || setrlimit(RLIMIT_AS, &limit) != 0) std::_Exit(2);
        std::atomic<int> runs{0};
        const bool refused = AfxBeginThread(CountRun, &runs) == nullptr;
        std::_Exit(refused && worker_registry::LiveCount() == 0 &&
                           worker_registry::WaitAll(milliseconds(100))
                       ? 0
                       : 1);
      },
      ::testing::ExitedWithCode(0), "");
#endif
}

}  // namespace
