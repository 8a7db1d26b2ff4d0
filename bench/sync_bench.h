#pragma once
// The three pages of a sync run against the local sites for the sync
// benchmarks, headless: the shop bench (site server, marketplace, seller
// centre, program folder, signed-in session, item page) with the
// bookstores, the sync page and the pricing page beside it.
#include <memory>
#include <string>

#include "bench/shop_bench.h"
#include "sync/DangDangTongBu.h"
#include "sync/TongBu.h"
#include "tests/sites/bookstores.h"

namespace bench {

struct SyncBench {
  ShopBench shop;
  sites::Bookstores books{shop.server, &shop.centre, &shop.market};
  std::unique_ptr<TongBu> tongbu;
  std::unique_ptr<DangDangTongBu> pricing;

  bool Open() {
    if (!shop.Open()) return false;
    auto keys = shop.market.HostKeys();
    for (const auto& [key, host] : books.HostKeys()) keys[key] = host;
    sites::WriteHostsIni(shop.folder, shop.server, keys);
    tongbu = std::make_unique<TongBu>();
    pricing = std::make_unique<DangDangTongBu>();
    return tongbu->Create(TongBu::IDD, nullptr) && pricing->Create(DangDangTongBu::IDD, nullptr);
  }

  ~SyncBench() {
    if (tongbu) tongbu->m_StartButton.EnableWindow(TRUE);
    ShopBench::WaitWorkers();
    if (pricing) pricing->DestroyWindow();
    if (tongbu) tongbu->DestroyWindow();
  }
};

}  // namespace bench
