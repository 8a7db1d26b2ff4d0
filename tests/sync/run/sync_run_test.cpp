// The producer/consumer frame of the sync runs, with work of the tests' own
// on stand-alone controls: claims, appends, ticks, the consumer's waits, the
// end of a run, Stop, and a new run while an old one is still finishing.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/thread/thread.h"
#include "platform/ui/afxwin.h"
#include "platform/ui/headless/headless.h"
#include "services/globals.h"
#include "sync/sync_run.h"
#include "tests/support/page_globals.h"

namespace {

using namespace std::chrono_literals;

// What the tests' producers and consumer do, and what they saw. Shop row i
// has merchant code i: codes divisible by `result_every` give a result row,
// by 7 a vanished book (no tick), by 11 a failure (abandoned).
struct Work {
  std::atomic<int> result_every{2};
  std::atomic<bool> vanish_and_fail{false};
  std::atomic<int> producer_delay_ms{0};
  std::atomic<int> consumer_delay_ms{0};
  std::mutex lock;
  std::map<int, int> shop_claims;    // shop row -> times worked on
  std::map<int, int> result_claims;  // result row -> times worked on
  std::vector<bool> consumer_ends;   // what each consumer returned, in order
};
Work* g_work = nullptr;

bool ProduceRow(const SyncShopRow& shop) {
  Work& work = *g_work;
  {
    std::lock_guard<std::mutex> lock(work.lock);
    ++work.shop_claims[shop.index];
  }
  if (work.producer_delay_ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(work.producer_delay_ms));
  const int code = std::stoi(shop.code.str());
  if (work.vanish_and_fail && code % 7 == 0) return false;
  if (work.vanish_and_fail && code % 11 == 0) throw std::runtime_error("bad page");
  if (work.result_every > 0 && code % work.result_every == 0) {
    std::vector<CString> cells(kSyncColumns);
    cells[2] = shop.code;
    cells[1] = shop.id;
    cells[3] = shop.price;
    cells[4] = "9.90";
    cells[6] = "需要更新";
    AppendResultRow(shop, cells);
  }
  return true;
}

UINT TestProducer(LPVOID param) {
  RunSyncProducer(param, g_SyncStartButton, &ProduceRow);
  return 0;
}

UINT TestConsumer(LPVOID param) {
  const auto edit = [](const SyncResultRow& row) {
    Work& work = *g_work;
    {
      std::lock_guard<std::mutex> lock(work.lock);
      ++work.result_claims[row.index];
    }
    if (work.consumer_delay_ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(work.consumer_delay_ms));
    WriteResultOutcome(row, "ok", true);
  };
  const bool own_end = RunSyncConsumer(param, ConsumerWaits::kUntickedRowAndSignIn, edit);
  std::lock_guard<std::mutex> lock(g_work->lock);
  g_work->consumer_ends.push_back(own_end);
  return 0;
}

class SyncRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::SetUiThread();
    ui::headless::Reset();
    g_work = &work_;
    g_ItemList = &shop_;
    g_SyncList = &results_;
    g_AnalysedEdit = &analysed_;
    g_NeedUpdateEdit = &need_update_;
    g_CurrentRowEdit = &current_;
    g_SyncStartButton = &start_;
    g_LoggedIn = 1;
    for (int c = 0; c < 4; ++c) shop_.InsertColumn(c, "");
    for (int c = 0; c < kSyncColumns; ++c) results_.InsertColumn(c, "");
  }
  void TearDown() override {
    start_.EnableWindow(TRUE);
    EXPECT_TRUE(worker_registry::WaitAll(10s));
    support::ForgetPageGlobals();
    g_work = nullptr;
  }

  void FillShop(int rows) {
    for (int i = 0; i < rows; ++i) {
      shop_.InsertRow(i, {std::to_string(i).c_str(), std::to_string(600000 + i).c_str(),
                          std::to_string(i).c_str(), "20.00"});
    }
  }
  void Start(int producers) {
    ResetSyncState();
    start_.EnableWindow(FALSE);
    StartSyncThreads(producers, &TestProducer, &TestConsumer);
  }
  static bool Until(const std::function<bool()>& done, std::chrono::milliseconds limit = 20s) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
      if (std::chrono::steady_clock::now() > end) return false;
      std::this_thread::sleep_for(5ms);
    }
    return true;
  }
  size_t ConsumerEnds() {
    std::lock_guard<std::mutex> lock(work_.lock);
    return work_.consumer_ends.size();
  }
  int Edited() {
    std::lock_guard<std::mutex> lock(work_.lock);
    return static_cast<int>(work_.result_claims.size());
  }
  // The run has ended: every producer and the consumer.
  bool RunEnded() { return worker_registry::WaitAll(20s); }

  Work work_;
  CListCtrl shop_, results_;
  CEdit analysed_, need_update_, current_;
  CButton start_;
};

TEST_F(SyncRunTest, RunWithoutResultRowsEndsByItselfAsItsOwn) {
  struct Case {
    const char* name;
    int rows, producers, result_every;
  };
  const Case cases[] = {
      {"empty shop list", 0, 15, 2},
      {"no row needs an update", 40, 15, 0},
      {"one producer", 25, 1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    shop_.DeleteAllItems();
    work_.consumer_ends.clear();
    work_.shop_claims.clear();
    FillShop(c.rows);
    work_.result_every = c.result_every;
    for (CEdit* edit : {&analysed_, &need_update_, &current_}) edit->SetWindowText("57");  // an earlier run's
    Start(c.producers);
    ASSERT_TRUE(RunEnded());
    ASSERT_EQ(work_.consumer_ends, std::vector<bool>{true});
    EXPECT_EQ(results_.GetItemCount(), 0);
    EXPECT_EQ(static_cast<int>(work_.shop_claims.size()), c.rows);
    for (int i = 0; i < c.rows; ++i) EXPECT_TRUE(shop_.GetCheck(i)) << i;
    EXPECT_EQ(g_LiveProducers.load(), 0);
    EXPECT_FALSE(start_.IsWindowEnabled()) << "the frame itself never presses Start";
    // Counts of this run alone, from 0.
    EXPECT_EQ(analysed_.GetWindowText(), std::to_string(c.rows).c_str());
    EXPECT_EQ(need_update_.GetWindowText(), "0");
    EXPECT_EQ(current_.GetWindowText(), "");
  }
}

TEST_F(SyncRunTest, EveryRowIsClaimedOnceAndResultRowsStandInIndexOrder) {
  struct Case {
    int rows, producers;
  };
  for (const Case c : {Case{3, 15}, Case{2000, 15}, Case{200, 1}}) {
    SCOPED_TRACE(std::to_string(c.rows) + " rows, " + std::to_string(c.producers) + " producers");
    shop_.DeleteAllItems();
    work_.shop_claims.clear();
    work_.result_claims.clear();
    work_.consumer_ends.clear();
    FillShop(c.rows);
    work_.vanish_and_fail = true;
    Start(c.producers);

    int expected_results = 0;
    for (int i = 0; i < c.rows; ++i) expected_results += (i % 7 != 0 && i % 11 != 0 && i % 2 == 0);
    ASSERT_TRUE(Until([&] { return Edited() == expected_results; }));
    // With result rows the consumer waits after the last one until Stop.
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(ConsumerEnds(), 0u);
    start_.EnableWindow(TRUE);
    ASSERT_TRUE(RunEnded());
    EXPECT_EQ(work_.consumer_ends, std::vector<bool>{true});

    ASSERT_EQ(static_cast<int>(work_.shop_claims.size()), c.rows);
    for (const auto& [row, times] : work_.shop_claims) {
      EXPECT_LT(row, c.rows);
      EXPECT_EQ(times, 1) << "shop row " << row;
    }
    for (int i = 0; i < c.rows; ++i) {
      const bool processed = i % 7 != 0 && i % 11 != 0;
      EXPECT_EQ(shop_.GetCheck(i) != 0, processed) << "shop row " << i;
    }
    ASSERT_EQ(results_.GetItemCount(), expected_results);
    EXPECT_EQ(g_ResultRowsAdded.load(), expected_results);
    std::set<std::string> codes;
    for (int r = 0; r < expected_results; ++r) {
      EXPECT_EQ(results_.GetItemText(r, 0), std::to_string(r).c_str());
      EXPECT_EQ(results_.GetItemText(r, 6), "ok");
      EXPECT_TRUE(results_.GetCheck(r));
      codes.insert(results_.GetItemText(r, 2).str());
      EXPECT_EQ(results_.GetItemText(r, 1).str(),
                std::to_string(600000 + std::stoi(results_.GetItemText(r, 2).str())));
    }
    EXPECT_EQ(static_cast<int>(codes.size()), expected_results);
    for (const auto& [row, times] : work_.result_claims) EXPECT_EQ(times, 1) << "result row " << row;
    // "已分析" and "需更新" count; "正在同步第" names the last row's column 0.
    EXPECT_EQ(analysed_.GetWindowText(), std::to_string(c.rows).c_str());
    EXPECT_EQ(need_update_.GetWindowText(), std::to_string(expected_results).c_str());
    EXPECT_EQ(current_.GetWindowText(), std::to_string(expected_results - 1).c_str());
  }
}

TEST_F(SyncRunTest, ConsumerWaitsForSignInAndAtAHandTickedRow) {
  g_LoggedIn = 0;
  FillShop(20);  // ten result rows
  Start(4);
  ASSERT_TRUE(Until([&] { return g_LiveProducers.load() == 0 && results_.GetItemCount() == 10; }));
  std::this_thread::sleep_for(150ms);
  EXPECT_EQ(Edited(), 0) << "nothing is edited while the seller is signed out";

  results_.SetCheck(3, TRUE);  // the user ticks row 3
  g_LoggedIn = 1;
  ASSERT_TRUE(Until([&] { return Edited() == 3; }));
  std::this_thread::sleep_for(150ms);
  EXPECT_EQ(Edited(), 3) << "the consumer holds at the ticked row";
  EXPECT_EQ(results_.GetItemText(3, 6), "需要更新");

  results_.SetCheck(3, FALSE);
  ASSERT_TRUE(Until([&] { return Edited() == 10; }));
  start_.EnableWindow(TRUE);
  ASSERT_TRUE(RunEnded());
  EXPECT_EQ(work_.consumer_ends, std::vector<bool>{true});
}

TEST_F(SyncRunTest, StopLeavesUnprocessedRowsUntickedAndEndsAWaitingConsumerAtOnce) {
  FillShop(400);
  work_.producer_delay_ms = 5;
  work_.consumer_delay_ms = 30;  // the consumer falls behind
  Start(3);
  ASSERT_TRUE(Until([&] { return Edited() >= 3; }));
  start_.EnableWindow(TRUE);
  ASSERT_TRUE(RunEnded());
  EXPECT_EQ(work_.consumer_ends, std::vector<bool>{true});

  const int claimed = static_cast<int>(work_.shop_claims.size());
  EXPECT_LT(claimed, 400) << "the producers stopped";
  for (int i = 0; i < 400; ++i) {
    EXPECT_EQ(shop_.GetCheck(i) != 0, work_.shop_claims.count(i) == 1) << "shop row " << i;
  }
  EXPECT_LT(Edited(), results_.GetItemCount());
  for (int r = 0; r < results_.GetItemCount(); ++r) {
    const bool edited = work_.result_claims.count(r) == 1;
    EXPECT_EQ(results_.GetCheck(r) != 0, edited) << "result row " << r;
    EXPECT_EQ(results_.GetItemText(r, 6), edited ? "ok" : "需要更新") << "result row " << r;
  }

  // A consumer that waits for rows sees Stop at its next look.
  shop_.DeleteAllItems();
  work_.consumer_ends.clear();
  work_.result_claims.clear();
  work_.producer_delay_ms = 0;
  work_.consumer_delay_ms = 0;
  FillShop(4);
  Start(2);
  ASSERT_TRUE(Until([&] { return Edited() == 2; }));
  const auto pressed = std::chrono::steady_clock::now();
  start_.EnableWindow(TRUE);
  ASSERT_TRUE(Until([&] { return ConsumerEnds() == 1; }, 5s));
  EXPECT_LT(std::chrono::steady_clock::now() - pressed, 1s);
}

// The old run's producers are still in their rows when the new run begins.
// Its consumer, waiting for rows, sees Stop within its 20 ms look: after a
// Stop it has ended before the new start, as its own end (a price run then
// announces it); only a run begun while it still waits (no Stop) ends it
// as not its own. Each case waits for what it relies on, so a slow machine
// cannot swap the two.
TEST_F(SyncRunTest, ThreadsOfAStoppedRunTakeNoPartInTheNextOne) {
  for (const bool stop_first : {true, false}) {
    SCOPED_TRACE(stop_first ? "Stop, then a new start" : "a new run without Stop");
    shop_.DeleteAllItems();
    work_.shop_claims.clear();
    work_.result_claims.clear();
    work_.consumer_ends.clear();
    FillShop(60);
    work_.producer_delay_ms = 500;  // the first run's producers are slow
    Start(5);
    ASSERT_TRUE(Until([&] {
      std::lock_guard<std::mutex> lock(work_.lock);
      return work_.shop_claims.size() == 5;
    }));
    if (stop_first) {
      start_.EnableWindow(TRUE);  // Stop: the five rows in hand are still being worked on
      ASSERT_TRUE(Until([&] { return ConsumerEnds() == 1; }));
      std::lock_guard<std::mutex> lock(work_.lock);
      EXPECT_EQ(work_.consumer_ends, std::vector<bool>{true}) << "Stop ended its own run";
    }

    // A new run at once, with fast producers; the old ones finish their rows
    // in its time.
    work_.producer_delay_ms = 0;
    {
      std::lock_guard<std::mutex> lock(work_.lock);
      work_.shop_claims.clear();
    }
    Start(2);
    ASSERT_TRUE(Until([&] { return Edited() >= 30; }));
    // The old run's threads have ended: only the new consumer, waiting for Stop, is left.
    ASSERT_TRUE(Until([] { return worker_registry::LiveCount() == 1; }));
    EXPECT_EQ(results_.GetItemCount(), 30) << "no row of the old run in the new list";
    EXPECT_EQ(g_ResultRowsAdded.load(), 30);
    EXPECT_EQ(g_LiveProducers.load(), 0) << "old producers lowered nothing of the new run";
    for (int i = 0; i < 60; ++i) EXPECT_TRUE(shop_.GetCheck(i)) << i;
    {
      std::lock_guard<std::mutex> lock(work_.lock);
      ASSERT_EQ(work_.consumer_ends, std::vector<bool>{stop_first})
          << "a consumer that a newer run ended leaves without its own end";
    }
    start_.EnableWindow(TRUE);
    ASSERT_TRUE(RunEnded());
    EXPECT_EQ(work_.consumer_ends, (std::vector<bool>{stop_first, true}));
    for (const auto& [row, times] : work_.result_claims) EXPECT_EQ(times, 1) << "result row " << row;
  }
}

// A thread of the old run that waits at a claim's lock while a new run
// begins takes no row of the new run once it has the lock: the new run's
// own threads analyse every shop row and edit every result row.
TEST_F(SyncRunTest, AThreadWaitingAtAClaimTakesNoRowOfANewerRun) {
  for (CMutex* claim_lock : {&g_ShopRowMutex, &g_WorkMutex}) {
    const bool result_rows = claim_lock == &g_WorkMutex;
    SCOPED_TRACE(result_rows ? "result row claim" : "shop row claim");
    shop_.DeleteAllItems();
    work_.shop_claims.clear();
    work_.result_claims.clear();
    work_.consumer_ends.clear();
    work_.producer_delay_ms = 0;
    FillShop(60);  // 30 result rows
    claim_lock->Lock();
    Start(1);  // its producer, or its consumer, waits at the lock
    std::this_thread::sleep_for(200ms);
    // Slow enough that the old producer gets the lock while rows are left;
    // the new consumer begins once the old one has had its turn.
    work_.producer_delay_ms = 20;
    ResetSyncState();
    StartSyncThreads(2, &TestProducer, [](LPVOID param) -> UINT {
      Until([] {
        std::lock_guard<std::mutex> lock(g_work->lock);
        return !g_work->consumer_ends.empty();
      });
      return TestConsumer(param);
    });
    if (result_rows) {
      EXPECT_TRUE(Until([] { return g_ResultRowsAdded.load() == 30; }));
    }
    claim_lock->Unlock();
    ASSERT_TRUE(Until([&] { return g_LiveProducers.load() == 0; }));
    Until([&] { return Edited() == 30; }, 5s);
    start_.EnableWindow(TRUE);
    ASSERT_TRUE(RunEnded());
    for (int i = 0; i < 60; ++i) EXPECT_TRUE(shop_.GetCheck(i)) << "shop row " << i;
    ASSERT_EQ(results_.GetItemCount(), 30);
    for (int r = 0; r < 30; ++r) EXPECT_TRUE(results_.GetCheck(r)) << "result row " << r;
  }
}

}  // namespace
