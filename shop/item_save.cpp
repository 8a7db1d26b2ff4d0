// Saving the item list into the item database and loading it back.
#include <sqlite3.h>

#include <atomic>
#include <exception>

#include "platform/ui/afxwin.h"
#include "services/globals.h"
#include "shop/TaoBao.h"
#include "shop/item_download.h"
#include "shop/item_save.h"
#include "store/item_db.h"

int g_NextSaveRow = 0;

namespace {

constexpr int kSaveThreadCount = 20;

// One save run: its own connection, shared by its threads and closed after
// the last of them has ended. Runs may overlap (a save from the menu while
// the end of a download starts another); each keeps its own connection, so
// no thread ever works on a connection that another run has closed.
struct SaveRun {
  sqlite3* db = nullptr;
  std::atomic<int> live{kSaveThreadCount};
};

// Stores one list row unless its item id is stored already.
void SaveRow(sqlite3* db, int row) {
  CListCtrl::RowView view;
  if (!g_ItemList->GetRowView(row, view)) return;  // the list was emptied meanwhile
  view.cells.resize(4);
  const CString& tb_id = view.cells[1];
  const CString& code = view.cells[2];
  const CString& price = view.cells[3];
  CString row_text;
  row_text.Format("%d", row);

  char** cells = nullptr;
  int rows = 0;
  int columns = 0;
  const CString lookup = "select * from DDItems where TbId=" + SqlQuote(tb_id);
  const int rc = sqlite3_get_table(db, lookup, &cells, &rows, &columns, nullptr);
  if (cells) sqlite3_free_table(cells);
  // A failed lookup counts as "not stored": the guarded insert below still
  // cannot store the item twice.
  if (rc == SQLITE_OK && rows > 0) return;

  g_SaveStatusText->SetWindowText("正在保存第" + row_text + "行数据");
  // The lookup above only spares the progress texts for stored items. The
  // test that decides is inside the insert: one statement runs under the
  // database's write lock, so two rows with one item id saved at the same
  // moment (by two threads, or by two overlapping runs) store it once.
  const CString insert = "INSERT INTO DDItems (TbId, DDID,Price,IsUpdate) SELECT " +
                         SqlQuote(tb_id) + "," + SqlQuote(code) + "," + SqlQuote(price) +
                         ",'0' WHERE NOT EXISTS (SELECT 1 FROM DDItems WHERE TbId=" +
                         SqlQuote(tb_id) + ")";
  sqlite3_exec(db, insert, nullptr, nullptr, nullptr);
  g_SaveStatusText->SetWindowText("已经保存第" + row_text + "行数据");
  Sleep(0);
}

void EndSaveThread(SaveRun* run) {
  if (--run->live != 0) return;
  sqlite3* db = run->db;
  delete run;
  // The last thread of the run hands the connection to the user-interface
  // thread, which forgets it in g_ItemDb (unless a newer run has put its
  // own there) and closes it. The handle stays open until then, so its
  // address cannot be taken by a new connection while g_ItemDb still names it.
  ui::Post([db] {
    if (g_ItemDb == db) g_ItemDb = nullptr;
    if (db) sqlite3_close(db);
  });
}

bool IsNumber(const CString& text) {
  if (text.IsEmpty()) return false;
  for (char c : text.str()) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

void ShowRowCount(CEdit& count_edit) {
  CString count;
  count.Format("%d", g_ItemList->GetItemCount());
  count_edit.SetWindowText(count);
}

}  // namespace

UINT SaveItemsThread(LPVOID param) {
  auto* run = static_cast<SaveRun*>(param);
  const int count = g_ItemList->GetItemCount();
  for (;;) {
    int row = count;
    try {
      // A wait that runs out waits again: no row is claimed without the lock.
      LockWaitingAgain(g_WorkMutex, 500);
      row = g_NextSaveRow;
      g_NextSaveRow = row + 1;
      g_WorkMutex.Unlock();
    } catch (CException* e) {
      e->Delete();
      continue;
    } catch (const std::exception&) {
      continue;
    }
    // At the program's end the rows not yet claimed stay unsaved.
    if (row >= count || worker_registry::StopRequested()) break;
    try {
      // A failed open leaves no handle only when SQLite had no memory: then
      // the rows are walked and nothing is stored.
      if (run->db) SaveRow(run->db, row);
    } catch (CException* e) {
      e->Delete();
    } catch (const std::exception&) {
    }
  }
  EndSaveThread(run);
  return 0;
}

void TaoBao::OnSaveData() {
  auto* run = new SaveRun;
  run->db = OpenItemDb();
  // Another run, or the sync page's result save, may hold the database's
  // write lock for a moment: wait for it instead of losing the row.
  if (run->db) sqlite3_busy_timeout(run->db, 10000);
  g_ItemDb = run->db;

  LockWaitingAgain(g_WorkMutex, 500);
  g_NextSaveRow = 0;
  g_WorkMutex.Unlock();

  for (int i = 0; i < kSaveThreadCount; ++i) AfxBeginThread(&SaveItemsThread, run);
}

void TaoBao::OnImportAll() {
  g_ListFromDb = 1;
  FetchTbToken();
  LoadItemList("select * from DDItems");
  ShowRowCount(m_ItemCountEdit);
  if (g_SyncStartButton) g_SyncStartButton->EnableWindow(TRUE);
}

void TaoBao::OnImportNotUpdated() {
  g_ListFromDb = 1;
  FetchTbToken();
  CString from = m_RangeFromEdit.GetWindowText();
  CString to = m_RangeToEdit.GetWindowText();

  CString question;
  CString query;
  bool load = true;
  if (from.IsEmpty() && to.IsEmpty()) {
    question = "亲，您确定要下载全部数据吗?";
    query = "select * from DDItems where IsUpdate !='1'";
  } else {
    question = "亲，您确定要下载第" + from + "至" + to + "条的数据吗?";
    // The bounds go into the statement as numbers only: a field that is
    // empty or holds anything else loads nothing.
    load = IsNumber(from) && IsNumber(to);
    query = "select * from DDItems where IsUpdate !='1' and ID>=" + from + " and ID<=" + to;
  }

  if (MessageBox(question, g_SoftName, MB_OKCANCEL | MB_ICONEXCLAMATION) == IDCANCEL) return;
  if (load) LoadItemList(query);
  ShowRowCount(m_ItemCountEdit);
  if (g_SyncStartButton) g_SyncStartButton->EnableWindow(TRUE);
}
