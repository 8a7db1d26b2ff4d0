// The save of a filled item list into the account's database on 20 threads
// (menu "保存数据"), headless: wall time until the run's last thread has
// ended, into an empty database and again over the stored rows (each row
// then costs one lookup of its item id, through the database's TbId index).
//
//   bench_save [--rows N]
#include <sqlite3.h>

#include <cstdlib>
#include <string>

#include "bench/shop_bench.h"
#include "resources/resource_ids.h"
#include "store/item_db.h"

namespace {

long StoredRows() {
  sqlite3* db = nullptr;
  long rows = -1;
  if (sqlite3_open_v2(ItemDbPath().c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT COUNT(*) FROM DDItems", -1, &statement, nullptr) ==
            SQLITE_OK &&
        sqlite3_step(statement) == SQLITE_ROW) {
      rows = sqlite3_column_int64(statement, 0);
    }
    sqlite3_finalize(statement);
  }
  sqlite3_close(db);
  return rows;
}

}  // namespace

int main(int argc, char** argv) {
  int rows = 100000;
  for (int i = 1; i < argc; ++i) {
    std::string name = argv[i];
    if (name == "--rows" && i + 1 < argc) rows = std::atoi(argv[++i]);
  }

  bench::ShopBench shop;
  if (!shop.Open()) {
    std::fprintf(stderr, "sign-in on the local sites failed\n");
    return 1;
  }
  CListCtrl& list = shop.page->m_ItemList;
  for (int i = 0; i < rows; ++i) {
    list.InsertRow(i, {std::to_string(i), std::to_string(520000000000LL + i),
                       std::to_string(20000000 + i), std::to_string(10 + i % 90) + ".50"});
  }

  auto run = [&] {
    const auto started = bench::Clock::now();
    shop.page->SendMessage(WM_COMMAND, ID_SAVE_DATA, 0);
    bench::ShopBench::WaitWorkers();
    return bench::Seconds(bench::Clock::now() - started);
  };
  const double first = run();
  const long stored = StoredRows();
  const double second = run();
  std::printf("rows %d\n", rows);
  std::printf("save into an empty database: %.1f s (%.0f rows/s), %ld rows stored\n", first,
              rows / first, stored);
  std::printf("save again, every row stored already: %.1f s (%.0f rows/s)\n", second,
              rows / second);
  return stored == rows ? 0 : 2;
}
