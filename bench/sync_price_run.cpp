// A price run ("更新价格") over a filled shop list, headless, against local
// bookstore pages and a seller centre that each answer after a fixed delay:
// the time until the producers have analysed every row, beside the bound
// they set (rows x delay / producers), and how far the consumer's price
// edits lag behind (edits still to send when the producers end, and the
// time until the last one is done). Every `--every`-th item's price differs.
// The form token comes from the seller centre as the item page's search or
// load fetches it before a run. A run that has not ended long after its
// bounds fails (exit 3) with what it has done.
//
//   bench_sync_price_run [--rows N] [--producers N] [--delay-ms N] [--every N]
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/sync_bench.h"
#include "shop/item_download.h"
#include "sync/sync_run.h"

int main(int argc, char** argv) {
  int rows = 20000;
  int producers = 15;
  int delay_ms = 50;
  int every = 20;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string name = argv[i];
    const int value = std::atoi(argv[i + 1]);
    if (name == "--rows") rows = value;
    if (name == "--producers") producers = value;
    if (name == "--delay-ms") delay_ms = value;
    if (name == "--every") every = value;
  }

  bench::SyncBench sync;
  if (!sync.Open()) {
    std::fprintf(stderr, "sign-in on the local sites failed\n");
    return 1;
  }
  sites::ShopOptions options;
  options.count = rows;
  options.on_sale = true;
  const std::vector<sites::ShopItem> items = sites::GenerateShop(options);
  sync.shop.centre.SetItems(items);
  // Without the token the seller centre refuses every edit.
  if (FetchTbToken().IsEmpty()) {
    std::fprintf(stderr, "the seller centre gave no form token\n");
    return 1;
  }
  CListCtrl& list = sync.shop.page->m_ItemList;
  int differing = 0;
  for (int i = 0; i < rows; ++i) {
    const sites::ShopItem& item = items[i];
    // Prices at 5.00 and above stay as they are unless the book costs more.
    sites::BookProduct product = sites::DangdangProductFor(item);
    const double shop_price = std::max(std::strtod(item.price.c_str(), nullptr), 5.0);
    char price[32];
    std::snprintf(price, sizeof price, "%.2f", shop_price);
    product.sale = price;
    if (i % every == 0) {
      std::snprintf(price, sizeof price, "%.2f", shop_price + 1);
      product.sale = price;
      ++differing;
    }
    sync.books.SetProduct(product);
    std::snprintf(price, sizeof price, "%.2f", shop_price);
    list.InsertRow(i, {std::to_string(i).c_str(), item.id.c_str(), item.code.c_str(), price});
  }
  CListCtrl& rules = sync.pricing->m_RuleList;
  rules.InsertRow(0, {"1", "所有商品", "", "10", "0"});
  rules.SetCheck(0, TRUE);
  sync.pricing->m_UseAllProductsCheck.SetCheck(BST_CHECKED);

  sync.books.SetSlowDelay(std::chrono::milliseconds(delay_ms));
  sync.books.SetProductReplies(sites::ReplyMode::kSlow);
  sync.shop.centre.SetOperationDelay(std::chrono::milliseconds(delay_ms));
  sync.tongbu->m_ThreadCombo.SelectString(-1, std::to_string(producers).c_str());

  auto edited = [&] {
    int ticked = 0;
    const CListCtrl& results = sync.tongbu->m_SyncList;
    for (int r = 0; r < results.GetItemCount(); ++r) ticked += results.GetCheck(r) ? 1 : 0;
    return ticked;
  };
  // Twenty times both bounds (the producers', and one edit after another)
  // and a minute more.
  const auto limit = std::chrono::minutes(1) +
                     std::chrono::milliseconds(20LL * delay_ms * (rows / producers + differing));
  sync.tongbu->m_StartButton.EnableWindow(TRUE);
  const auto started = bench::Clock::now();
  sync.tongbu->m_StartButton.UserClick();
  const bool producers_ended = ui::PumpUntil([] { return g_LiveProducers.load() == 0; }, limit);
  const double analysed = bench::Seconds(bench::Clock::now() - started);
  const int behind = sync.tongbu->m_SyncList.GetItemCount() - edited();
  const bool edits_ended = ui::PumpUntil(
      [&] { return edited() == sync.tongbu->m_SyncList.GetItemCount(); }, limit);
  const double done = bench::Seconds(bench::Clock::now() - started);
  const int ticked = edited();
  const int results = sync.tongbu->m_SyncList.GetItemCount();
  sync.tongbu->m_StopButton.UserClick();
  ui::PumpUntil([] { return bench::ShopBench::Boxes("全部同步 完毕！") > 0; }, std::chrono::minutes(1));

  const double bound = rows * (delay_ms / 1000.0) / producers;
  std::printf("rows %d, producers %d, replies after %d ms, %d prices differ\n", rows, producers,
              delay_ms, differing);
  std::printf("producers done: %.1f s (%.0f rows/s); bound rows x delay / producers: %.1f s (%.0f%% of it)\n",
              analysed, rows / analysed, bound, 100.0 * bound / analysed);
  if (!producers_ended || !edits_ended) {
    std::printf("not ended within %.0f s: producers %s, %d of %d result rows edited\n",
                bench::Seconds(limit), producers_ended ? "done" : "still running", ticked, results);
    return 3;
  }
  std::printf("price edits: %d result rows; %d still to send when the producers ended; last edit done at %.1f s (%.1f s after the producers)\n",
              results, behind, done, done - analysed);
  return results == differing ? 0 : 2;
}
