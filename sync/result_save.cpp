#include "sync/result_save.h"

#include <sqlite3.h>

#include <map>
#include <mutex>
#include <utility>
#include <vector>

#include "platform/exception.h"
#include "platform/thread/thread.h"
#include "platform/ui/afxwin.h"
#include "services/globals.h"
#include "store/item_db.h"
#include "store/save_run.h"
#include "sync/sync_run.h"

int g_NextSaveResultRow = 0;

namespace {

// A failure (a lock held past the busy wait, a full disk) is reported.
void RunStatement(sqlite3* db, const CString& sql) { RunItemSql(db, sql); }

constexpr int kSaveThreadCount = 20;

// Stores ticked result row `row` when it carries a new price.
void SaveTickedRow(sqlite3* db, const ItemSaveRun::Row& row) {
  const CString& id = row.cells[1];
  const CString& code = row.cells[2];
  const CString& price = row.cells[4];
  // A stock run's row carries no new price: storing it would blank the
  // stored price.
  if (price.IsEmpty()) return;
  CString n;
  n.Format("%d", row.index);

  const CString update = "UPDATE DDItems SET Price=" + SqlQuote(price) +
                         ", IsUpdate='1' where TbId=" + SqlQuote(id);
  if (StoredItemRows(db, id) == 0) {
    g_SyncStatusText->SetWindowText("正在添加第" + n + "行数据");
    // The insert tests again inside its own statement: a save of the item
    // list running at the same time may have stored the item since the
    // lookup. The update after it then gives that row the new price, so the
    // item is stored once and with the new price whichever came first.
    RunStatement(db, "INSERT INTO DDItems (TbId, DDID,Price,IsUpdate) SELECT " + SqlQuote(id) +
                         "," + SqlQuote(code) + "," + SqlQuote(price) +
                         ",'1' WHERE NOT EXISTS (SELECT 1 FROM DDItems WHERE TbId=" +
                         SqlQuote(id) + ")");
    RunStatement(db, update);
    g_SyncStatusText->SetWindowText("已经添加第" + n + "行数据");
  } else {
    g_SyncStatusText->SetWindowText("正在保存第" + n + "行数据");
    RunStatement(db, update);  // every stored row of the item
    g_SyncStatusText->SetWindowText("已经保存第" + n + "行数据");
  }
  Sleep(0);
}

// The price consumers alive, by run, and the saves of replaced runs that
// wait for them, under `lock`; it is taken before the saves' queue lock,
// never after it. A save stays in `saves`, with its hold for the run's
// consumers, until they have ended: only then is it released. Never
// destroyed: a consumer may end as the program exits.
struct StoppedRuns {
  std::mutex lock;
  std::map<unsigned, int> consumers;
  std::map<unsigned, ItemSaveRun*> saves;
};
StoppedRuns& Stopped() {
  static auto* stopped = new StoppedRuns;
  return *stopped;
}

// With the lock held: releases the save of `run` when none of its price
// consumers is alive.
void ReleaseWhenConsumersEnded(unsigned run) {
  StoppedRuns& stopped = Stopped();
  if (stopped.consumers.count(run) != 0) return;
  const auto save = stopped.saves.find(run);
  if (save == stopped.saves.end()) return;
  save->second->Release();
  stopped.saves.erase(save);
}

}  // namespace

UINT SaveSyncResultsThread(LPVOID param) {
  ItemSaveRun::RunThread(static_cast<ItemSaveRun*>(param), &SaveTickedRow);
  return 0;
}

void SaveTickedResults() {
  ItemSaveRun::Queue(kSaveThreadCount, g_NextSaveResultRow, &SaveSyncResultsThread,
                     g_SyncList->CopyRows(kSyncColumns, true));
}

ItemSaveRun* BeginStoppedRunSave(unsigned run) {
  // Two holds: the ticked rows still to come, and the run's consumers.
  ItemSaveRun* save =
      ItemSaveRun::Queue(kSaveThreadCount, g_NextSaveResultRow, &SaveSyncResultsThread, {}, 2);
  std::lock_guard<std::mutex> lock(Stopped().lock);
  Stopped().saves[run] = save;
  return save;
}

void FinishStoppedRunSave(unsigned run, ItemSaveRun* save,
                          std::vector<CListCtrl::RowCopy> ticked) {
  std::lock_guard<std::mutex> lock(Stopped().lock);
  save->Add(std::move(ticked));
  save->Release();
  ReleaseWhenConsumersEnded(run);
}

void PriceConsumerBegins(unsigned run) {
  std::lock_guard<std::mutex> lock(Stopped().lock);
  ++Stopped().consumers[run];
}

void PriceConsumerEnds(unsigned run) {
  std::lock_guard<std::mutex> lock(Stopped().lock);
  const auto live = Stopped().consumers.find(run);
  if (live == Stopped().consumers.end() || --live->second > 0) return;
  Stopped().consumers.erase(live);
  ReleaseWhenConsumersEnded(run);
}

void SaveLateConfirmation(unsigned run, CListCtrl::RowCopy row) {
  std::lock_guard<std::mutex> lock(Stopped().lock);
  const auto save = Stopped().saves.find(run);
  if (save == Stopped().saves.end()) return;
  std::vector<CListCtrl::RowCopy> rows;
  rows.push_back(std::move(row));
  save->second->Add(std::move(rows));
}
