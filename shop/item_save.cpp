// Saving the item list into the item database and loading it back.
#include <sqlite3.h>

#include "platform/ui/afxwin.h"
#include "services/globals.h"
#include "shop/TaoBao.h"
#include "shop/item_download.h"
#include "shop/item_save.h"
#include "store/item_db.h"
#include "store/save_run.h"

int g_NextSaveRow = 0;

namespace {

constexpr int kSaveThreadCount = 20;

// Stores one list row unless its item id is stored already.
void SaveRow(sqlite3* db, const ItemSaveRun::Row& row) {
  const CString& tb_id = row.cells[1];
  const CString& code = row.cells[2];
  const CString& price = row.cells[3];
  CString row_text;
  row_text.Format("%d", row.index);

  // A failed lookup counts as "not stored": the guarded insert below still
  // cannot store the item twice.
  if (StoredItemRows(db, tb_id) > 0) return;

  g_SaveStatusText->SetWindowText("正在保存第" + row_text + "行数据");
  // The lookup above only spares the progress texts for stored items. The
  // test that decides is inside the insert: one statement runs under the
  // database's write lock, so two rows with one item id saved at the same
  // moment (by two threads, or by two overlapping runs) store it once.
  const CString insert = "INSERT INTO DDItems (TbId, DDID,Price,IsUpdate) SELECT " +
                         SqlQuote(tb_id) + "," + SqlQuote(code) + "," + SqlQuote(price) +
                         ",'0' WHERE NOT EXISTS (SELECT 1 FROM DDItems WHERE TbId=" +
                         SqlQuote(tb_id) + ")";
  // A failure (a lock held past the busy wait, a full disk) is reported.
  RunItemSql(db, insert);
  g_SaveStatusText->SetWindowText("已经保存第" + row_text + "行数据");
  Sleep(0);
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
  ItemSaveRun::RunThread(static_cast<ItemSaveRun*>(param), &SaveRow);
  return 0;
}

void TaoBao::OnSaveData() {
  // The rows as they stand now: a search or a load may empty the list
  // while the save writes.
  ItemSaveRun::Queue(kSaveThreadCount, g_NextSaveRow, &SaveItemsThread,
                     g_ItemList->CopyRows(4, false));
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
