#pragma once
// The frame that every sync run shares: N producer threads walk the shop
// item list (g_ItemList), claiming one row at a time, and append result rows
// to the sync page's result list (g_SyncList); one consumer thread takes the
// result rows in order and acts on each. A run type supplies only the work
// on one shop row and on one result row.
//
// Locks: g_ShopRowMutex guards the shop-row claim, g_ResultMutex a whole
// append and the consumer's write of an outcome, g_WorkMutex with
// g_ResultClaimLock inside it the consumer's claim. None of them is held by
// a sync thread across a request, and no thread holds two of the first
// three at once; a batch listing with a throttle holds g_WorkMutex across
// each of its requests, so a consumer's claim may wait that long. A wait
// that runs out waits again.
//
// Runs: ResetSyncState begins a new run. Threads of an earlier run that are
// still finishing the row in hand (Stop only signals) leave at their next
// step: they claim, append, write and tick nothing of the new run and do
// not count among its producers.
#include <atomic>
#include <functional>
#include <mutex>
#include <vector>

#include "platform/text/CString.h"
#include "platform/ui/afxwin.h"

// Run counters; ResetSyncState sets them to 0.
extern int g_NextShopRow;                   // next shop row to claim; g_ShopRowMutex
extern int g_NeedUpdateCount;               // result rows appended; g_ResultMutex
extern std::atomic<int> g_ResultRowsAdded;  // complete result rows; raised last in an append
extern std::atomic<int> g_LiveProducers;    // producers of the run that have not ended
extern int g_NextResultRow;                 // next result row to claim; g_ResultClaimLock
// The consumer takes it inside g_WorkMutex (WorkClaim), ResetSyncState alone:
// a throttled listing request holds g_WorkMutex across its POST.
extern std::mutex g_ResultClaimLock;

// Number of columns of a result row (the sync page's result list).
constexpr int kSyncColumns = 8;

// Begins a new run: empties the result list, unticks every shop row and sets
// the run counters to 0; the page's counts "已分析" and "需更新" show 0 and
// the row being synchronised none. UI thread; waits for no lock that a
// request may hold.
void ResetSyncState();

// Ends the run so far without beginning another: empties the result list,
// sets g_NextShopRow to 0 and the page's counts as ResetSyncState does (a
// press of Start, also one that a check refuses). `ticked`, when given,
// receives the ticked rows as the list is emptied: every outcome that the
// ended run wrote is in it, and every later one finds its run replaced
// (WriteResultOutcome). UI thread.
void ClearSyncResults(std::vector<CListCtrl::RowCopy>* ticked = nullptr);

// Starts `producers` threads of `producer`, then one thread of `consumer`,
// in the run that the last ResetSyncState began. The producers are counted
// live before the first of them starts, so the consumer cannot take the run
// for finished before they have begun. False when the system would not make
// the consumer: the run is then over (its producers leave at their next
// step) and the caller shows the page stopped. UI thread.
bool StartSyncThreads(int producers, AFX_THREADPROC producer, AFX_THREADPROC consumer);

// A shop row claimed by a producer: its index and its cells.
struct SyncShopRow {
  unsigned run = 0;
  int index = 0;
  CString id;     // column 1, Taobao item id
  CString code;   // column 2, merchant code
  CString price;  // column 3, shop price text
};

// The producer's loop, for a producer thread procedure given its parameter.
// Takes the number of shop rows once, then claims row after row until they
// are used up, `stop_button` is enabled or a newer run has begun, writing
// the number of rows claimed so far into g_AnalysedEdit. `work` runs on each
// claimed row inside a catch of the layer's exceptions and std::exception
// (a failure abandons the row: nothing appended by then stays, the row stays
// unticked); it returns whether the shop row is ticked as processed. At its
// end the producer no longer counts as live.
//
// With ProducerWaits::kUntickedShopRow the producer does not claim a shop
// row that is ticked: it waits at it, looking again every 20 ms, until the
// row is unticked or the run is stopped.
enum class ProducerWaits { kNone, kUntickedShopRow };
void RunSyncProducer(LPVOID param, CButton* stop_button,
                     const std::function<bool(const SyncShopRow&)>& work,
                     ProducerWaits waits = ProducerWaits::kNone);

// The cells of a result row of `shop`: its item id, merchant code and shop
// price in columns 1 to 3, every other column empty.
std::vector<CString> ShopResultCells(const SyncShopRow& shop);

// Appends a result row in one step under g_ResultMutex: the next index goes
// into column 0 and the number of rows listed into g_NeedUpdateEdit, `cells`
// (by column; column 0 is ignored) into the row, and g_ResultRowsAdded
// counts it last. Nothing is appended, and the result is false, when a
// newer run has begun since `from` was claimed. Producer threads; every value is ready beforehand.
bool AppendResultRow(const SyncShopRow& from, std::vector<CString> cells);

// A result row claimed by the consumer: the run it belongs to, its index
// and its cells as they were at the claim.
struct SyncResultRow {
  unsigned run = 0;
  int index = 0;
  std::vector<CString> cells;
  // Column `column`'s text; empty past the row's cells.
  CString Cell(size_t column) const { return column < cells.size() ? cells[column] : CString(); }
};

// Writes the consumer's outcome of result row `row` after its request:
// `text` into column 6 (empty: column 6 stays as it is) and a tick when
// `tick`. Nothing is written, and the result is false, when a newer run has
// begun since the row was claimed: the row at that index, if any, is the
// new run's. The test and the writes go under g_ResultMutex, where a new run
// empties the list. Consumer threads.
bool WriteResultOutcome(const SyncResultRow& row, const CString& text, bool tick);

// What the consumer waits for at the next result row, besides the row
// itself being complete.
enum class ConsumerWaits {
  kRowOnly,
  // The consumers that edit prices: also while the seller is not signed in
  // (g_LoggedIn clear), as a price edit that finds the session gone leaves it.
  kRowAndSignIn,
  // The price consumer: besides, while the row is ticked (by hand).
  kUntickedRowAndSignIn,
};

// The consumer's loop, for the consumer thread procedure given its
// parameter. Ends when no producer is live and the result list is empty,
// when Start (g_SyncStartButton) is enabled, or when a newer run has begun.
// Waits for the next row without spinning (a signal from each append, and
// a look every 20 ms at Stop, the row's tick and the sign-in), claims it
// under g_WorkMutex and g_ResultClaimLock, reads its cells under
// g_ResultMutex while its run is still the current one (so a thread of a
// stopped run never acts on a row of the next), writes its index into
// g_CurrentRowEdit and runs `work` on it inside the catch. Returns whether
// the run it served is still the current one and the program goes on, that
// is whether the run's end is its own to announce.
bool RunSyncConsumer(LPVOID param, ConsumerWaits waits,
                     const std::function<void(const SyncResultRow&)>& work);

// The run of a sync thread procedure's parameter, and the run that the last
// ResetSyncState or ClearSyncResults began. A run's end message names its
// run, so that the page acts only on the end of the current one. Any thread.
unsigned SyncRunOf(LPVOID param);
unsigned CurrentSyncRun();
