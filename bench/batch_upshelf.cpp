// Batch listing of a filled item list (pop-up command "批量上架（仅用于大于1万的
// 情况）"), headless, against the local seller centre answering every listing
// request after a fixed delay: wall time from the command until the last
// listing thread has ended, beside the bound that 50 threads set
// (groups x delay / 50), without and with the throttle "4000".
//
//   bench_batch_upshelf [--rows N] [--delay-ms D] [--throttled]
#include <cstdlib>
#include <string>

#include "bench/shop_bench.h"
#include "resources/resource_ids.h"

int main(int argc, char** argv) {
  int rows = 10000;
  int delay_ms = 100;
  bool throttled = false;
  for (int i = 1; i < argc; ++i) {
    std::string name = argv[i];
    if (name == "--rows" && i + 1 < argc) rows = std::atoi(argv[++i]);
    if (name == "--delay-ms" && i + 1 < argc) delay_ms = std::atoi(argv[++i]);
    if (name == "--throttled") throttled = true;
  }

  bench::ShopBench shop;
  if (!shop.Open()) {
    std::fprintf(stderr, "sign-in on the local sites failed\n");
    return 1;
  }
  sites::ShopOptions options;
  options.count = rows;
  shop.centre.SetItems(sites::GenerateShop(options));
  CListCtrl& list = shop.page->m_ItemList;
  for (int i = 0; i < rows; ++i) {
    list.InsertRow(i, {std::to_string(i), std::to_string(options.first_id + i),
                       std::to_string(options.first_code + i), "10.50"});
  }
  g_XId = CString(shop.centre.XId().c_str());
  shop.page->m_UpShelfWaitEdit.SetWindowText(throttled ? "4000" : "");
  shop.centre.SetOperationDelay(std::chrono::milliseconds(delay_ms));

  const auto started = bench::Clock::now();
  shop.page->SendMessage(WM_COMMAND, ID_BATCH_UPSHELF, 0);
  bench::ShopBench::WaitWorkers();
  const double seconds = bench::Seconds(bench::Clock::now() - started);

  const int groups = rows / 20 + (rows % 20 ? 1 : 0);
  const int threads = throttled ? 1 : 50;
  const double bound = groups * (delay_ms / 1000.0) / threads;
  int on_sale = 0;
  for (const sites::ShopItem& item : shop.centre.Items()) on_sale += item.on_sale;
  std::printf("rows %d, groups %d, site reply %d ms, wait edit \"%s\"\n", rows, groups, delay_ms,
              throttled ? "4000" : "");
  std::printf("batch listing: %.2f s; bound groups x %.1f s / %d = %.2f s (%.0f%% over)\n",
              seconds, delay_ms / 1000.0, threads, bound, (seconds / bound - 1) * 100);
  std::printf("requests %zu, most at once %d, items on sale %d\n",
              shop.centre.OperationForms().size(), shop.centre.MaxOperationsInFlight(), on_sale);
  return on_sale == rows ? 0 : 2;
}
