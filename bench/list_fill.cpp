// 20 threads fill one list control with 1,000,000 rows, as the download's
// page parsers do: each claims the next row number and inserts the row there.
// Two ways into a list without an index: InsertItem plus three SetItemText,
// and InsertRow in one step; then as the item list fills, its id column
// indexed from the start as the item page sets it up: each id looked up
// before its row goes in, once with new ids and once more with the same ids
// (all passed over). Last the load from the item database ("导入全部数据"),
// side by side: LoadItemList into the item list with its id index, and the
// same query put into a list without the check, in the same runs and row by
// row with InsertRow as before the check.
//
//   bench_list_fill [rows] [threads]     (0 threads: the loads only)
#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "platform/ui/afxwin.h"
#include "platform/ui/templates.h"
#include "services/globals.h"
#include "services/http.h"
#include "services/page_lists.h"
#include "store/item_db.h"
#include "tests/sites/hosts_ini.h"

namespace {

constexpr int kDialog = 9901;
constexpr int kList = 1014;

const DialogTemplate kTemplate = {
    kDialog, "list", kDlgPopup, 400, 300, "MS Shell Dlg", 9, 0,
    {{kList, ControlKind::ListView, kStyleVisible | kStyleBorder, "", 0, 0, 400, 300}}};

struct Result {
  double seconds;
  int rows;
};

template <typename Fill>
Result Run(CListCtrl& list, int rows, int threads, Fill fill, bool empty_first = true) {
  if (empty_first) list.DeleteAllItems();
  std::atomic<int> next{0};
  auto start = std::chrono::steady_clock::now();
  std::vector<std::thread> workers;
  for (int t = 0; t < threads; ++t) {
    workers.emplace_back([&] {
      for (int n = next++; n < rows; n = next++) fill(n);
    });
  }
  // The UI thread keeps delivering while the workers fill the list.
  ui::PumpUntil([&] { return next.load() >= rows + threads; }, std::chrono::minutes(10));
  for (auto& w : workers) w.join();
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return {seconds, list.GetItemCount()};
}

// The account's database with `rows` rows as a save leaves them.
void FillItemDb(int rows) {
  sqlite3* db = OpenItemDb();
  sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
  sqlite3_stmt* insert = nullptr;
  sqlite3_prepare_v2(db, "INSERT INTO DDItems (TbId,DDID,Price,IsUpdate) VALUES (?,?,?,'0')", -1,
                     &insert, nullptr);
  for (int n = 0; n < rows; ++n) {
    const std::string id = std::to_string(600000000000LL + n), code = std::to_string(23000000 + n);
    sqlite3_bind_text(insert, 1, id.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(insert, 2, code.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(insert, 3, "35.00", -1, SQLITE_STATIC);
    sqlite3_step(insert);
    sqlite3_reset(insert);
  }
  sqlite3_finalize(insert);
  sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
  sqlite3_close(db);
}

// LoadItemList's steps without the id check: the same query, the rows put
// in the same runs, none looked up (`each_row`: one by one with InsertRow,
// as the load went before the check).
void LoadWithoutCheck(CListCtrl& list, const char* sql, bool each_row) {
  sqlite3* db = OpenItemDb();
  char** cells = nullptr;
  int rows = 0, columns = 0;
  if (sqlite3_get_table(db, sql, &cells, &rows, &columns, nullptr) == SQLITE_OK) {
    std::vector<std::vector<CString>> run;
    int next = 0;
    for (int r = 0; r < rows; ++r) {
      std::vector<CString>& row = run.emplace_back();
      row.reserve(static_cast<size_t>(columns));
      for (int c = 0; c < columns; ++c) {
        const char* cell = cells[(r + 1) * columns + c];
        row.emplace_back(cell ? cell : "");
      }
      if (each_row) {
        list.InsertRow(next++, std::move(row));
        run.clear();
      } else if (run.size() == 256 || r + 1 == rows) {
        next += list.InsertRowsUnlessHeld(next, -1, run);
        run.clear();
      }
    }
  }
  sqlite3_free_table(cells);
  sqlite3_close(db);
}

template <typename Load>
Result TimeLoad(CListCtrl& list, Load load) {
  list.DeleteAllItems();
  auto start = std::chrono::steady_clock::now();
  load();
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return {seconds, list.GetItemCount()};
}

void Print(const char* how, const Result& r) {
  std::printf("%-28s %9d rows  %8.3f s  %12.0f rows/s\n", how, r.rows, r.seconds,
              r.rows / r.seconds);
}

}  // namespace

int main(int argc, char** argv) {
  const int rows = argc > 1 ? std::atoi(argv[1]) : 1000000;
  const int threads = argc > 2 ? std::atoi(argv[2]) : 20;
  ui::SetUiThread();
  ui::RegisterDialogTemplate(&kTemplate);
  CDialog dlg(kDialog);
  if (!dlg.Create(kDialog)) return 1;
  auto* list = dynamic_cast<CListCtrl*>(dlg.GetDlgItem(kList));
  for (const char* heading : {"编号", "淘宝商品ID", "商家编码", "价格"}) {
    list->InsertColumn(list->GetColumnCount(), heading, LVCFMT_LEFT, 100);
  }
  list->SetExtendedStyle(LVS_EX_GRIDLINES | LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
  std::printf("%d threads, headless backend (every change asks for a refresh)\n", threads);

  // 0 threads: only the loads from the database.
  bool counts_right = true;
  if (threads > 0) {
    Print("InsertItem + 3 SetItemText", Run(*list, rows, threads, [&](int n) {
            const std::string number = std::to_string(n + 1);
            int row = list->InsertItem(n, number.c_str());
            list->SetItemText(row, 1, std::to_string(600000000000LL + n).c_str());
            list->SetItemText(row, 2, std::to_string(23000000 + n).c_str());
            list->SetItemText(row, 3, "35.00");
          }));
    Print("InsertRow", Run(*list, rows, threads, [&](int n) {
            const std::string number = std::to_string(n + 1);
            list->InsertRow(n, {number.c_str(), std::to_string(600000000000LL + n).c_str(),
                                std::to_string(23000000 + n).c_str(), "35.00"});
          }));
  }
  list->DeleteAllItems();
  list->IndexColumn(kItemIdColumn);
  if (threads > 0) {
    auto add = [&](int n) {
      const std::string number = std::to_string(n + 1);
      AddItemListRow(*list, n, {number.c_str(), std::to_string(600000000000LL + n).c_str(),
                                std::to_string(23000000 + n).c_str(), "35.00"});
    };
    Print("AddItemListRow, new ids", Run(*list, rows, threads, add));
    const Result again = Run(*list, rows, threads, add, false);
    Print("AddItemListRow, ids listed", again);
    counts_right = again.rows == rows;
  }

  // The load from the database, on the UI thread, into a list of its own
  // without the index and into the item list with it, in turns.
  sites::TestProgramFolder folder;
  std::snprintf(g_CookieBuffer, sizeof g_CookieBuffer, "tracknick=bench;");
  FillItemDb(rows);
  CDialog plain_dlg(kDialog);
  if (!plain_dlg.Create(kDialog)) return 1;
  auto* plain = dynamic_cast<CListCtrl*>(plain_dlg.GetDlgItem(kList));
  for (int c = 0; c < list->GetColumnCount(); ++c) {
    plain->InsertColumn(c, list->GetColumn(c).heading, LVCFMT_LEFT, 100);
  }
  g_ItemList = list;
  const char* sql = "select * from DDItems";
  for (int round = 0; round < 3; ++round) {
    Print("load, row by row, no check",
          TimeLoad(*plain, [&] { LoadWithoutCheck(*plain, sql, true); }));
    Print("load in runs, no check", TimeLoad(*plain, [&] { LoadWithoutCheck(*plain, sql, false); }));
    const Result loaded = TimeLoad(*list, [&] { LoadItemList(sql); });
    Print("load, LoadItemList", loaded);
    counts_right = counts_right && loaded.rows == rows;
  }
  g_ItemList = nullptr;
  return counts_right ? 0 : 2;
}
