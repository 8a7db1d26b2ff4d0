#include "sync/result_save.h"

#include <sqlite3.h>

#include "platform/ui/afxwin.h"
#include "services/globals.h"
#include "store/item_db.h"
#include "store/save_run.h"
#include "sync/sync_run.h"

int g_NextSaveResultRow = 0;

namespace {

// A failure (a lock held past the busy wait, a full disk) is reported.
void RunStatement(sqlite3* db, const CString& sql) { RunItemSql(db, sql); }

// Stores one result row when it is ticked and has a new price.
void SaveResultRow(sqlite3* db, int row) {
  CListCtrl::RowView view;
  if (!g_SyncList->GetRowView(row, view) || !view.checked) return;
  view.cells.resize(kSyncColumns);
  const CString& id = view.cells[1];
  const CString& code = view.cells[2];
  const CString& price = view.cells[4];
  // A stock run's row carries no new price: storing it would blank the
  // stored price.
  if (price.IsEmpty()) return;
  CString n;
  n.Format("%d", row);

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

}  // namespace

UINT SaveSyncResultsThread(LPVOID param) {
  ItemSaveRun::RunThread(static_cast<ItemSaveRun*>(param), g_NextSaveResultRow,
                         g_SyncList->GetItemCount(), &SaveResultRow);
  return 0;
}
