// The save of the sync page's ticked result rows on 20 threads ("保存更新成
// 功的数据"), headless, beside the item page's save of a list of the same
// size: rows per second into an empty database, and again over the stored
// rows (the result save then updates each row, the item save passes it by).
//
//   bench_sync_save [--rows N]
#include <cstdlib>
#include <string>

#include "bench/sync_bench.h"
#include "resources/resource_ids.h"
#include "store/item_db.h"

namespace {

double Timed(CWnd& page, UINT command) {
  const auto started = bench::Clock::now();
  page.SendMessage(WM_COMMAND, command, 0);
  bench::ShopBench::WaitWorkers();
  return bench::Seconds(bench::Clock::now() - started);
}

void RemoveDatabase() { std::remove(ItemDbPath().c_str()); }

}  // namespace

int main(int argc, char** argv) {
  int rows = 20000;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::string(argv[i]) == "--rows") rows = std::atoi(argv[i + 1]);
  }
  bench::SyncBench sync;
  if (!sync.Open()) {
    std::fprintf(stderr, "sign-in on the local sites failed\n");
    return 1;
  }
  CListCtrl& results = sync.tongbu->m_SyncList;
  CListCtrl& list = sync.shop.page->m_ItemList;
  for (int i = 0; i < rows; ++i) {
    const std::string id = std::to_string(520000000000LL + i);
    const std::string code = std::to_string(20000000 + i);
    const std::string price = std::to_string(10 + i % 90) + ".50";
    results.InsertRow(i, {std::to_string(i).c_str(), id.c_str(), code.c_str(), "9.90", price.c_str(),
                          "", "ok", ""});
    results.SetCheck(i, TRUE);
    list.InsertRow(i, {std::to_string(i).c_str(), id.c_str(), code.c_str(), "9.90"});
  }

  RemoveDatabase();
  const double result_new = Timed(*sync.tongbu, ID_SAVE_UPDATED);
  const double result_again = Timed(*sync.tongbu, ID_SAVE_UPDATED);
  RemoveDatabase();
  const double item_new = Timed(*sync.shop.page, ID_SAVE_DATA);
  const double item_again = Timed(*sync.shop.page, ID_SAVE_DATA);

  std::printf("rows %d, 20 threads each\n", rows);
  std::printf("result save into an empty database: %.2f s (%.0f rows/s)\n", result_new, rows / result_new);
  std::printf("result save again, every row stored: %.2f s (%.0f rows/s)\n", result_again, rows / result_again);
  std::printf("item save into an empty database:   %.2f s (%.0f rows/s)\n", item_new, rows / item_new);
  std::printf("item save again, every row stored:   %.2f s (%.0f rows/s)\n", item_again, rows / item_again);
  return 0;
}
