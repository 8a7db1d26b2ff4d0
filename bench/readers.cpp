// Time per row of what a price producer does with one fetched page: the four
// readers and ApplyPriceRule, on a product page of about 200 KB in each
// Dangdang sale-price layout and on a JD price reply, with a pricing page of
// all three rule families ticked. Optionally on several threads at once, as
// the producers run.
//
//   bench_readers [--rows N] [--threads N]
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "platform/ui/afxwin.h"
#include "services/globals.h"
#include "sync/bookstore_readers.h"
#include "sync/price_rules.h"
#include "tests/sites/bookstores.h"

namespace {

struct Sample {
  const char* name;
  const char* store;
  CString page;
};

// One producer's work on one row.
bool Row(const Sample& sample) {
  float sale = GetSalePrice(sample.page, sample.store);
  CString list = GetOriginalPrice(sample.page, sample.store);
  CString discount = GetDiscountText(sample.page, sample.store);
  CString title = GetProductTitle(sample.page);
  float price = 0;
  CString current = "35.00";
  bool update = ApplyPriceRule(price, current, sample.page, sample.store);
  return update && sale > 0 && list.GetLength() + discount.GetLength() + title.GetLength() >= 0;
}

}  // namespace

int main(int argc, char** argv) {
  int rows = 2000;
  int threads = 1;
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string name = argv[i];
    if (name == "--rows") rows = std::atoi(argv[i + 1]);
    else if (name == "--threads") threads = std::atoi(argv[i + 1]);
  }

  // The pricing page: a keyword rule that no title holds, a range and an
  // all-products rule; the bounds of the worked example.
  CListCtrl rules;
  for (int i = 0; i < 5; ++i) rules.InsertColumn(i, "", LVCFMT_CENTER, 60);
  const std::vector<std::vector<CString>> rows_of_rules = {
      {"1", "关键字", "不存在的词", "9", "1"},
      {"2", "价格区间", "0-20", "8.8", "3"},
      {"3", "价格区间", "20-200", "8.6", "6.6"},
      {"4", "所有商品", "", "9", "5"}};
  for (const auto& cells : rows_of_rules) rules.SetCheck(rules.InsertRow(rules.GetItemCount(), cells));
  CButton keyword, range, all;
  keyword.SetCheck(BST_CHECKED);
  range.SetCheck(BST_CHECKED);
  all.SetCheck(BST_CHECKED);
  CEdit threshold, fallback;
  threshold.SetWindowText("5");
  fallback.SetWindowText("6");
  g_RuleList = &rules;
  g_UseKeyWordCheck = &keyword;
  g_UsePriceCheck = &range;
  g_UseAllProductsCheck = &all;
  g_YuanJiaZheEdit = &threshold;
  g_ShiYongZheEdit = &fallback;

  std::vector<Sample> samples;
  const char* names[] = {"dangdang right/price_d", "dangdang price_sale", "dangdang dd-price"};
  for (int layout = 0; layout < 3; ++layout) {
    sites::BookProduct product;
    product.title = "活着（余华代表作）";
    product.sale_layout = static_cast<sites::SaleLayout>(layout);
    // The later layouts also make the list price and discount patterns fall through.
    product.list_layout = static_cast<sites::ListLayout>(layout);
    product.discount_layout = static_cast<sites::DiscountLayout>(layout == 2 ? 1 : 0);
    product.empty_right_block = layout != 0;
    samples.push_back({names[layout], "当当网", CString(sites::DangdangPage(product))});
  }
  samples.push_back({"jd reply", "京东图书",
                     CString(sites::JdReply("11223344", std::string("30.00"), std::string("40.00")))});

  std::printf("readers + ApplyPriceRule, %d rows per sample, %d thread(s)\n", rows, threads);
  for (const Sample& sample : samples) {
    if (!Row(sample)) std::printf("  (%s: no update decided)\n", sample.name);
    std::atomic<long> checks{0};
    const auto started = std::chrono::steady_clock::now();
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
      workers.emplace_back([&] {
        for (int i = 0; i < rows; ++i) checks += Row(sample) ? 1 : 0;
      });
    }
    for (std::thread& worker : workers) worker.join();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    // Each thread does `rows` rows: the wall time of one is the time per row
    // on a thread; all together they do threads * rows rows.
    const double per_row_us = seconds * 1e6 / rows;
    std::printf("  %-24s page %7d bytes: %8.1f us per row on a thread, %9.0f rows/s in all, %ld updates\n",
                sample.name, sample.page.GetLength(), per_row_us, rows * threads / seconds,
                checks.load());
  }
  return 0;
}
