#include "sync/result_save.h"

#include <sqlite3.h>

#include <memory>
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

// Stores the cells of ticked result row `row` when they carry a new price.
void SaveTickedRow(sqlite3* db, int row, std::vector<CString> cells) {
  cells.resize(kSyncColumns);
  const CString& id = cells[1];
  const CString& code = cells[2];
  const CString& price = cells[4];
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

// Stores one result row when it is ticked and has a new price.
void SaveResultRow(sqlite3* db, int row) {
  CListCtrl::RowView view;
  if (g_SyncList->GetRowView(row, view) && view.checked) {
    SaveTickedRow(db, row, std::move(view.cells));
  }
}

// The ticked rows of a save apart, by index, and its connection.
struct RowsApart {
  sqlite3* db = nullptr;
  std::vector<std::pair<int, std::vector<CString>>> rows;
};

UINT SaveRowsApartThread(LPVOID param) {
  std::unique_ptr<RowsApart> apart(static_cast<RowsApart*>(param));
  for (auto& [row, cells] : apart->rows) {
    if (worker_registry::StopRequested()) break;
    RunWorkerPass([&] { SaveTickedRow(apart->db, row, std::move(cells)); });
  }
  sqlite3_close(apart->db);
  return 0;
}

}  // namespace

UINT SaveSyncResultsThread(LPVOID param) {
  ItemSaveRun::RunThread(static_cast<ItemSaveRun*>(param), g_NextSaveResultRow,
                         g_SyncList->GetItemCount(), &SaveResultRow);
  return 0;
}

void SaveResultsApart() {
  auto apart = std::make_unique<RowsApart>();
  for (int row = 0; row < g_SyncList->GetItemCount(); ++row) {
    CListCtrl::RowView view;
    if (g_SyncList->GetRowView(row, view) && view.checked) {
      apart->rows.emplace_back(row, std::move(view.cells));
    }
  }
  if (apart->rows.empty()) return;
  apart->db = OpenItemDb();
  if (!apart->db) return;
  if (AfxBeginThread(&SaveRowsApartThread, apart.get())) {
    apart.release();  // the thread's now
  } else {
    sqlite3_close(apart->db);
  }
}
