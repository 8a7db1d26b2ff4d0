// The item-list download of a generated shop from the local seller centre,
// headless: wall time from "搜索宝贝" to "全部下载完毕！", beside the bound the
// 100 ms pause per accepted row sets (items x 0.1 s / 20 workers); then the
// save that follows the download, until its last thread ends.
//
//   bench_download [--items N] [--rows-per-page N] [--delay-ms N]
#include <cstdlib>
#include <set>
#include <string>

#include "bench/shop_bench.h"

int main(int argc, char** argv) {
  int items = 20000;
  int rows_per_page = 20;
  int delay_ms = 0;
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string name = argv[i];
    if (name == "--items") items = std::atoi(argv[i + 1]);
    else if (name == "--rows-per-page") rows_per_page = std::atoi(argv[i + 1]);
    else if (name == "--delay-ms") delay_ms = std::atoi(argv[i + 1]);
  }

  bench::ShopBench shop;
  sites::ShopOptions options;
  options.count = items;
  shop.centre.SetItems(sites::GenerateShop(options));
  shop.centre.SetRowsPerPage(rows_per_page);
  shop.centre.SetListDelay(std::chrono::milliseconds(delay_ms));
  if (!shop.Open()) {
    std::fprintf(stderr, "sign-in on the local sites failed\n");
    return 1;
  }
  TaoBao& page = *shop.page;
  page.m_ItemSetCombo.UserSelect(0);  // "仓库中的宝贝"
  page.m_StatusCombo.UserSelect(page.m_StatusCombo.FindStringExact(-1, "全部"));

  const auto started = bench::Clock::now();
  page.m_SearchButton.UserClick();
  ui::PumpUntil([] { return bench::ShopBench::Boxes("全部下载完毕！") > 0; },
                std::chrono::hours(2));
  const double download = bench::Seconds(bench::Clock::now() - started);
  const int rows = page.m_ItemList.GetItemCount();
  std::set<CString> ids;
  for (int i = 0; i < rows; ++i) ids.insert(page.m_ItemList.GetItemText(i, 1));

  const auto save_started = bench::Clock::now();
  bench::ShopBench::WaitWorkers();
  const double save = bench::Seconds(bench::Clock::now() - save_started);

  const double bound = items * 0.1 / 20;
  std::printf("items %d, %d rows per page, list delay %d ms\n", items, rows_per_page, delay_ms);
  std::printf("download: %.1f s for %d rows (%zu distinct ids); bound %.1f s; bound / time %.2f\n",
              download, rows, ids.size(), bound, bound / download);
  std::printf("save after the download (rest of it once the download ended): %.1f s\n", save);
  return ids.size() == static_cast<size_t>(items) ? 0 : 2;
}
