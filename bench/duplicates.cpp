// The duplicate finder over a large shop list, headless: "整理" (50 workers
// copying the list) and "开始查重" (one worker listing the repeated merchant
// codes), each timed from the press until its workers have ended.
// About 5 % of the rows share their merchant code with other rows, in
// groups of two to six.
//
//   bench_duplicates [--rows N] [--runs N]
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "bench/shop_bench.h"
#include "platform/text/codepage.h"
#include "resources/resource_ids.h"
#include "shop/QuChongFu.h"

namespace {

void WaitWorkers() {
  while (worker_registry::LiveCount() > 0) {
    ui::PumpUntil([] { return worker_registry::LiveCount() == 0; },
                  std::chrono::milliseconds(50));
  }
  ui::RunPending();
}

double Press(QuChongFu& page, int id) {
  const auto started = bench::Clock::now();
  static_cast<CButton*>(page.GetDlgItem(id))->UserClick();
  WaitWorkers();
  return bench::Seconds(bench::Clock::now() - started);
}

}  // namespace

int main(int argc, char** argv) {
  int rows = 100000;
  int runs = 3;
  for (int i = 1; i < argc; ++i) {
    std::string name = argv[i];
    if (name == "--rows" && i + 1 < argc) rows = std::atoi(argv[++i]);
    if (name == "--runs" && i + 1 < argc) runs = std::atoi(argv[++i]);
  }
  ui::SetUiThread();

  // The shop list: number, item id, merchant code, price.
  CListCtrl shop_list;
  for (const char* heading : {"编号", " 淘宝商品ID", "商家编码", "价格"})
    shop_list.InsertColumn(shop_list.GetColumnCount(), heading);
  std::mt19937 random(7);
  long long code = 20000000;
  int shared = 0;
  for (int row = 0; row < rows;) {
    // One code in 75 stands on a group of two to six rows: about 5 % of the
    // rows.
    const int group = random() % 75 == 0 ? 2 + static_cast<int>(random() % 5) : 1;
    for (int k = 0; k < group && row < rows; ++k, ++row) {
      shop_list.InsertRow(row, {std::to_string(row), std::to_string(520000000000LL + row),
                                std::to_string(code), std::to_string(10 + row % 90) + ".50"});
      if (group > 1) ++shared;
    }
    ++code;
  }
  g_ItemList = &shop_list;

  QuChongFu page;
  if (!page.Create(QuChongFu::IDD, nullptr)) {
    std::fprintf(stderr, "the page could not be created\n");
    return 1;
  }
  std::printf("rows %d, %d of them (%.1f %%) share their merchant code\n", rows, shared,
              100.0 * shared / rows);
  int listed = 0;
  for (int run = 0; run < runs; ++run) {
    const double collect = Press(page, IDC_QC_COLLECT);
    const double scan = Press(page, IDC_QC_START_CHECK);
    const int now = page.m_ResultList.GetItemCount();
    std::printf("run %d: collect %.3f s, scan with result rows %.3f s, %d result rows, "
                "progress line \"%s\"\n",
                run + 1, collect, scan, now - listed,
                GbkToUtf8(page.m_ProgressEdit.GetWindowText().str()).c_str());
    listed = now;
  }
  page.DestroyWindow();
  ui::RunPending();
  g_ItemList = nullptr;
  g_DupList = nullptr;
  g_DupProgressEdit = nullptr;
  return 0;
}
