// 20 threads fill one list control with 1,000,000 rows, as the download's
// page parsers do: each claims the next row number and inserts the row there.
// Two ways: InsertItem plus three SetItemText, and InsertRow in one step;
// then as the item list fills: each id looked up in the indexed id column
// before its row goes in, once with new ids and once more with the same ids
// (all passed over).
//
//   bench_list_fill [rows] [threads]
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "platform/ui/afxwin.h"
#include "platform/ui/templates.h"
#include "services/page_lists.h"

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
  list->IndexColumn(kItemIdColumn);
  auto add = [&](int n) {
    const std::string number = std::to_string(n + 1);
    AddItemListRow(*list, n, {number.c_str(), std::to_string(600000000000LL + n).c_str(),
                              std::to_string(23000000 + n).c_str(), "35.00"});
  };
  Print("AddItemListRow, new ids", Run(*list, rows, threads, add));
  Print("AddItemListRow, ids listed", Run(*list, rows, threads, add, false));
  return 0;
}
