#include "sync/sync_run.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <utility>

#include "platform/exception.h"
#include "platform/thread/thread.h"
#include "services/globals.h"
#include "services/page_lists.h"

int g_NextShopRow = 0;
int g_NeedUpdateCount = 0;
std::atomic<int> g_ResultRowsAdded{0};
std::atomic<int> g_LiveProducers{0};
int g_NextResultRow = 0;
std::mutex g_ResultClaimLock;

namespace {

constexpr DWORD kRowLockTimeout = 300;   // g_ShopRowMutex, g_ResultMutex
constexpr DWORD kClaimLockTimeout = 50;  // the consumer's g_WorkMutex
constexpr auto kConsumerLook = std::chrono::milliseconds(20);
constexpr auto kHeldRowLook = std::chrono::milliseconds(20);  // a producer at a ticked row

// The current run. Changed only together with g_LiveProducers, under
// g_RunLock, so that a producer of an earlier run can never lower the count
// of a later one.
std::atomic<unsigned> g_SyncRun{0};
std::mutex g_RunLock;

// Wakes the waiting consumer: each append and each producer's end raises the
// count. The consumer remembers the count before its tests and sleeps only
// while it has not changed, so no signal is missed between test and wait.
std::mutex g_SignalLock;
std::condition_variable g_Signal;
unsigned long g_SignalCount = 0;  // guarded by g_SignalLock

void RaiseSignal() {
  {
    std::lock_guard<std::mutex> lock(g_SignalLock);
    ++g_SignalCount;
  }
  g_Signal.notify_all();
}

unsigned long SignalCount() {
  std::lock_guard<std::mutex> lock(g_SignalLock);
  return g_SignalCount;
}

void WaitForSignal(unsigned long seen) {
  std::unique_lock<std::mutex> lock(g_SignalLock);
  g_Signal.wait_for(lock, kConsumerLook, [seen] { return g_SignalCount != seen; });
}

LPVOID RunParam(unsigned run) {
  return reinterpret_cast<LPVOID>(static_cast<std::uintptr_t>(run));
}

unsigned RunOf(LPVOID param) {
  return static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(param));
}

bool IsCurrent(unsigned run) { return g_SyncRun.load() == run; }

// The run's stop signal: the button enabled, a newer run, or the program's end.
bool MustStop(unsigned run, const CButton* stop_button) {
  return stop_button == nullptr || stop_button->IsWindowEnabled() || !IsCurrent(run) ||
         worker_registry::StopRequested();
}

CString IndexText(int index) {
  CString text;
  text.Format("%d", index);
  return text;
}

void EndProducer(unsigned run) {
  {
    std::lock_guard<std::mutex> lock(g_RunLock);
    if (IsCurrent(run)) g_LiveProducers.fetch_sub(1);
  }
  RaiseSignal();
}

// Ticks shop row `row` for the run that claimed it. The test of the run and
// the tick go under g_ShopRowMutex, as ResetSyncState's untick does, so a
// late producer of an earlier run never ticks a row of the new run.
void TickShopRow(unsigned run, int row) {
  LockWaitingAgain(g_ShopRowMutex, kRowLockTimeout);
  if (IsCurrent(run)) g_ItemList->SetCheck(row, TRUE);
  g_ShopRowMutex.Unlock();
}

// A new run: every thread of the old one sees it at its next step and
// leaves; none of them counts among the producers from here on.
void BeginRun() {
  std::lock_guard<std::mutex> lock(g_RunLock);
  g_SyncRun.fetch_add(1);
  g_LiveProducers = 0;
}

void ShowCount(CEdit* edit, int count) {
  if (edit) edit->SetWindowText(IndexText(count));
}

// The result list goes with the append's counters under the append's lock:
// an append of the old run that had passed its test has finished before.
// The page's counts go back to 0 with them, and the row being synchronised
// shows none.
void ClearResults(bool untick_shop, std::vector<CListCtrl::RowCopy>* ticked) {
  LockWaitingAgain(g_ResultMutex, kRowLockTimeout);
  if (g_SyncList && ticked) *ticked = g_SyncList->CopyRows(kSyncColumns, true);
  if (g_SyncList) g_SyncList->DeleteAllItems();
  g_NeedUpdateCount = 0;
  g_ResultRowsAdded = 0;
  ShowCount(g_NeedUpdateEdit, 0);
  g_ResultMutex.Unlock();

  LockWaitingAgain(g_ShopRowMutex, kRowLockTimeout);
  if (untick_shop && g_ItemList) SetAllChecks(*g_ItemList, FALSE);
  g_NextShopRow = 0;
  ShowCount(g_AnalysedEdit, 0);
  g_ShopRowMutex.Unlock();
  if (g_CurrentRowEdit) g_CurrentRowEdit->SetWindowText("");
}

}  // namespace

void ClearSyncResults(std::vector<CListCtrl::RowCopy>* ticked) {
  BeginRun();
  ClearResults(false, ticked);
  RaiseSignal();
}

void ResetSyncState() {
  BeginRun();
  ClearResults(true, nullptr);
  {
    // After BeginRun: a claim of the old run either ended before this or
    // finds its run gone, so it raises nothing of the new run's.
    std::lock_guard<std::mutex> lock(g_ResultClaimLock);
    g_NextResultRow = 0;
  }
  RaiseSignal();
}

bool StartSyncThreads(int producers, AFX_THREADPROC producer, AFX_THREADPROC consumer) {
  unsigned run;
  {
    std::lock_guard<std::mutex> lock(g_RunLock);
    run = g_SyncRun.load();
    g_LiveProducers.fetch_add(producers);
  }
  for (int i = 0; i < producers; ++i) {
    // A producer the system would not make is not live: the consumer must
    // not wait for it.
    if (!AfxBeginThread(producer, RunParam(run))) EndProducer(run);
  }
  if (AfxBeginThread(consumer, RunParam(run))) return true;
  BeginRun();  // no one would act on the results
  return false;
}

void RunSyncProducer(LPVOID param, CButton* stop_button,
                     const std::function<bool(const SyncShopRow&)>& work, ProducerWaits waits) {
  const unsigned run = RunOf(param);
  const int rows = g_ItemList ? g_ItemList->GetItemCount() : 0;
  while (rows > 0 && !MustStop(run, stop_button)) {
    int row = -1;
    bool held = false;  // the next row is ticked: wait at it
    LockWaitingAgain(g_ShopRowMutex, kRowLockTimeout);
    if (IsCurrent(run) && g_NextShopRow < rows) {
      if (waits == ProducerWaits::kUntickedShopRow && g_ItemList->GetCheck(g_NextShopRow)) {
        held = true;
      } else {
        row = g_NextShopRow++;
        // The count of rows claimed, written with the claim, so the edit
        // counts up in order and ends at the number of rows, whichever
        // producer ends last.
        g_AnalysedEdit->SetWindowText(IndexText(g_NextShopRow));
      }
    }
    g_ShopRowMutex.Unlock();
    if (held) {
      std::this_thread::sleep_for(kHeldRowLook);
      continue;
    }
    if (row < 0) break;

    RunWorkerPass([&] {
      CListCtrl::RowView view;
      if (!g_ItemList->GetRowView(row, view)) return;  // the list was emptied meanwhile
      view.cells.resize(4);
      const SyncShopRow shop{run, row, view.cells[1], view.cells[2], view.cells[3]};
      if (work(shop)) TickShopRow(run, row);
    });
  }
  EndProducer(run);
}

std::vector<CString> ShopResultCells(const SyncShopRow& shop) {
  std::vector<CString> cells(kSyncColumns);
  cells[1] = shop.id;
  cells[2] = shop.code;
  cells[3] = shop.price;
  return cells;
}

bool AppendResultRow(const SyncShopRow& from, std::vector<CString> cells) {
  cells.resize(kSyncColumns);
  bool appended = false;
  LockWaitingAgain(g_ResultMutex, kRowLockTimeout);
  if (IsCurrent(from.run)) {
    const int index = g_NeedUpdateCount++;
    cells[0] = IndexText(index);
    g_NeedUpdateEdit->SetWindowText(IndexText(g_NeedUpdateCount));  // rows listed
    g_SyncList->InsertRow(index, cells);
    g_ResultRowsAdded.fetch_add(1);
    appended = true;
  }
  g_ResultMutex.Unlock();
  if (appended) RaiseSignal();
  return appended;
}

bool WriteResultOutcome(const SyncResultRow& row, const CString& text, bool tick) {
  LockWaitingAgain(g_ResultMutex, kRowLockTimeout);
  const bool current = IsCurrent(row.run);
  if (current) {
    if (!text.IsEmpty()) g_SyncList->SetItemText(row.index, 6, text);
    if (tick) g_SyncList->SetCheck(row.index, TRUE);
  }
  g_ResultMutex.Unlock();
  return current;
}

bool RunSyncConsumer(LPVOID param, ConsumerWaits waits,
                     const std::function<void(const SyncResultRow&)>& work) {
  const unsigned run = RunOf(param);
  for (;;) {
    const unsigned long seen = SignalCount();
    if (g_LiveProducers.load() <= 0 && g_SyncList->GetItemCount() == 0) break;
    if (MustStop(run, g_SyncStartButton)) break;

    int row;
    {
      WorkClaim claim(g_ResultClaimLock, kClaimLockTimeout);
      row = g_NextResultRow;
    }

    bool ready = row < g_SyncList->GetItemCount() && g_ResultRowsAdded.load() > row;
    if (ready && waits != ConsumerWaits::kRowOnly) ready = g_LoggedIn.load() != 0;
    if (ready && waits == ConsumerWaits::kUntickedRowAndSignIn) ready = !g_SyncList->GetCheck(row);
    if (!ready) {
      WaitForSignal(seen);
      continue;
    }

    // The claim takes the row that was tested, and only that one, so no
    // row is ever worked on twice; a consumer of an earlier run claims
    // nothing, as the claim tests the run under the lock that the new run's
    // reset takes.
    bool claimed = false;
    {
      WorkClaim claim(g_ResultClaimLock, kClaimLockTimeout);
      if (IsCurrent(run) && g_NextResultRow == row) {
        g_NextResultRow = row + 1;
        claimed = true;
      }
    }
    if (!claimed) continue;

    // Read where a new run empties the list: a reset after the claim leaves
    // the row unread, and after the read the row in hand is this run's.
    CListCtrl::RowView view;
    LockWaitingAgain(g_ResultMutex, kRowLockTimeout);
    const bool current = IsCurrent(run) && g_SyncList->GetRowView(row, view);
    g_ResultMutex.Unlock();
    if (!current) continue;

    g_CurrentRowEdit->SetWindowText(IndexText(row));
    const SyncResultRow claimed_row{run, row, std::move(view.cells)};
    RunWorkerPass([&] { work(claimed_row); });
  }
  // At the program's end the run ends with it: nothing is announced (the
  // page would start a save and show a box while the window closes).
  return IsCurrent(run) && !worker_registry::StopRequested();
}

unsigned SyncRunOf(LPVOID param) { return RunOf(param); }

unsigned CurrentSyncRun() { return g_SyncRun.load(); }
