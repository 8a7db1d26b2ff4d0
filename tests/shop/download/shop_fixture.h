#pragma once
// The item page against the local marketplace, headless: a site server with
// the marketplace and the seller centre, a program folder of its own, a
// signed-in session, the TaoBao page created as the main window creates it,
// and the sync page's Start button.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/afxwin.h"
#include "platform/ui/headless/headless.h"
#include "shop/TaoBao.h"
#include "tests/sites/hosts_ini.h"
#include "tests/sites/marketplace.h"
#include "tests/sites/seller_centre.h"
#include "tests/sites/site_server.h"

namespace shoptest {

// One DDItems row as the database holds it.
struct DbRow {
  std::string id, tb_id, code, price, is_update;
};

class ShopFixture : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Signs in through the sign-in dialog, as the user does.
  void SignIn();
  // Chooses the item set (index 0 "仓库中的宝贝", 1 "出售中的宝贝") and,
  // for the warehouse, the status entry `status` (GBK; "全部" ...).
  void ChooseItemSet(int index, const char* status = "全部");
  // Presses "搜索宝贝" and pumps until the twentieth worker has ended the
  // download (its end message shown) and every worker (download and save)
  // has ended. False on a time-out.
  bool SearchAndWait(std::chrono::seconds limit = std::chrono::seconds(240));
  // Pumps until `done` holds.
  bool PumpUntil(const std::function<bool()>& done,
                 std::chrono::milliseconds limit = std::chrono::seconds(240));
  // Waits for every worker thread and runs what they left for the UI thread.
  bool WaitWorkers(std::chrono::seconds limit = std::chrono::seconds(240));

  // The list's rows: cells of columns 0 to 3 (GBK).
  std::vector<std::vector<std::string>> ListRows() const;
  // How often each item id stands in column 1.
  std::map<std::string, int> ListIdCounts() const;
  // Every DDItems row, by ID.
  std::vector<DbRow> DbRows() const;
  // Message boxes with this text (GBK) shown so far.
  int BoxesWithText(const char* text) const;
  // The texts of the boxes shown so far that begin with `start` (GBK).
  std::vector<std::string> BoxesStartingWith(const char* start) const;

  std::unique_ptr<sites::SiteServer> server_;
  std::unique_ptr<sites::Marketplace> market_;
  std::unique_ptr<sites::SellerCentre> centre_;
  std::unique_ptr<sites::TestProgramFolder> folder_;
  std::unique_ptr<TaoBao> page_;
  CButton sync_start_;  // stands in for the sync page's "开始同步"
};

// Generated shops: Shop(2000).OnBoundEvery(50).Items().
class Shop {
 public:
  explicit Shop(int count) { options_.count = count; }
  Shop& FirstId(std::uint64_t id) { options_.first_id = id; return *this; }
  Shop& OnSale() { options_.on_sale = true; return *this; }
  Shop& Status(const char* status) { options_.status = status; return *this; }
  Shop& OnBoundEvery(int n) { options_.on_bound_every = n; return *this; }
  Shop& MalformedEvery(int n) { options_.malformed_every = n; return *this; }
  Shop& Category(const std::string& name) { options_.category = name; return *this; }
  std::vector<sites::ShopItem> Items() const { return sites::GenerateShop(options_); }

 private:
  sites::ShopOptions options_;
};

// Expected list of a download: every item whose row the pages show with a
// merchant code of four digits or more, with its id, code and price as the
// row gives them.
struct ExpectedItem {
  std::string id, code, price;
};
std::map<std::string, ExpectedItem> ExpectedItems(const std::vector<sites::ShopItem>& items);

// Whether `price` lies on a bound that two price blocks share.
bool OnSharedBound(const std::string& price);

}  // namespace shoptest
