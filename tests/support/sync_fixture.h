#pragma once
// The three pages of a sync run against the local sites, headless: a site
// server with the marketplace, the seller centre and the bookstores, a
// program folder of its own, a signed-in session, and the item page, the
// sync page and the pricing page created in the main window's order.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "shop/TaoBao.h"
#include "sync/DangDangTongBu.h"
#include "sync/TongBu.h"
#include "tests/sites/bookstores.h"
#include "tests/sites/hosts_ini.h"
#include "tests/sites/marketplace.h"
#include "tests/sites/seller_centre.h"
#include "tests/sites/site_server.h"

namespace support {

// One DDItems row as the database holds it.
struct ItemDbRow {
  std::string tb_id, code, price, is_update;
  bool operator==(const ItemDbRow&) const = default;
};

// Every DDItems row of the signed-in account's database, by ID.
std::vector<ItemDbRow> ItemDbRows();
// What "PRAGMA integrity_check" says of that database ("ok" when sound).
std::string ItemDbIntegrity();

class SyncFixture : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Signs in through the sign-in dialog, as the user does.
  void SignIn();
  // Puts `items` (on sale) into the shop, downloads "出售中的宝贝" and waits
  // for the download and its save to end. False on a time-out.
  bool Download(const std::vector<sites::ShopItem>& items);
  // Adds a ticked "所有商品" condition and ticks its option box.
  void AddAllProductsRule(const char* discount, const char* markup);
  // The bookstore's product of `item` with its sale price set to `sale`.
  void SetSalePrice(const sites::ShopItem& item, const std::string& sale);

  // Presses "开始同步"; pumps until `done` holds (false on a time-out).
  bool PumpUntil(const std::function<bool()>& done,
                 std::chrono::milliseconds limit = std::chrono::seconds(120));
  // Pumps until every worker thread has ended.
  bool WaitWorkers(std::chrono::seconds limit = std::chrono::seconds(120));
  // Pumps until the end box `text` has been shown once more than `before`,
  // then waits for the workers (the result save).
  bool WaitSyncDone(int before = 0, const char* text = "全部同步 完毕！");
  int BoxesWithText(const char* text) const;

  // The result list's rows, all eight cells, and whether each is ticked.
  struct ResultRow {
    std::vector<std::string> cells;
    bool ticked = false;
  };
  std::vector<ResultRow> Results() const;
  // Price edits the seller centre received, by item id.
  std::vector<sites::OperationForm> PriceEdits() const;
  std::vector<sites::OperationForm> Deletes() const;
  std::vector<ItemDbRow> DbRows() const { return ItemDbRows(); }

  std::unique_ptr<sites::SiteServer> server_;
  std::unique_ptr<sites::Marketplace> market_;
  std::unique_ptr<sites::SellerCentre> centre_;
  std::unique_ptr<sites::Bookstores> books_;
  std::unique_ptr<sites::TestProgramFolder> folder_;
  std::unique_ptr<TaoBao> taobao_;
  std::unique_ptr<TongBu> tongbu_;
  std::unique_ptr<DangDangTongBu> pricing_;
};

}  // namespace support
