// Stock runs ("更新库存") and price-and-stock runs ("更新库存和价格") of the
// sync page against the local marketplace and bookstores, headless: the
// roads on the on-sale and the warehouse set, after a download and after a
// re-load from the item database, and the runs' edge cases.
#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/file/profile.h"
#include "platform/thread/thread.h"
#include "platform/ui/headless/headless.h"
#include "services/globals.h"
#include "services/text_services.h"
#include "sync/sync_run.h"
#include "tests/support/sync_fixture.h"

namespace {

using namespace std::chrono_literals;

constexpr int kOnSaleSet = 1;     // "出售中的宝贝" in the item page's set box
constexpr int kWarehouseSet = 0;  // "仓库中的宝贝"
constexpr const char* kProvince = "111";

// `count` items; `first` numbers them apart from another shop's.
std::vector<sites::ShopItem> Shop(int count, bool on_sale, int first = 0) {
  sites::ShopOptions options;
  options.count = count;
  options.on_sale = on_sale;
  options.first_code += first;
  options.first_id += first;
  return sites::GenerateShop(options);
}

// Dangdang's stock of the item over the one province the tests tick.
bool InStock(const sites::ShopItem& item) { return sites::DangdangProductFor(item).InStock(kProvince); }

std::string Money(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", value);
  return text;
}

class StockRunTest : public support::SyncFixture {
 protected:
  void SetUp() override {
    SyncFixture::SetUp();
    g_ListFromDb = 0;
    // One province ticked, mode 0: a book is in stock when that province has it.
    CListCtrl& regions = pricing_->m_RegionList;
    regions.DeleteAllItems();
    regions.InsertRow(0, {"", "北京", kProvince});
    regions.InsertRow(1, {"", "上海", "112"});
    regions.SetCheck(0, TRUE);
    RegionMode(IDC_DD_REGION_OUT_IF_ANY);
    AddAllProductsRule("10", "0");
  }
  void TearDown() override {
    SyncFixture::TearDown();
    g_ListFromDb = 0;
  }

  void RegionMode(int radio) { static_cast<CButton*>(pricing_->GetDlgItem(radio))->UserClick(); }
  // Processing type by its index: 0 "更新价格", 1 "更新库存", 2 "更新库存和价格".
  void Type(int index) { tongbu_->m_ProcessTypeCombo.UserSelect(index); }
  // Out-of-stock action: IDC_SYNC_NO_ACTION, IDC_SYNC_DELIST or IDC_SYNC_DELETE.
  void Mode(int radio) { static_cast<CButton*>(tongbu_->GetDlgItem(radio))->UserClick(); }
  void ListWhenInStock(bool on) {
    if ((tongbu_->m_ListWhenInStockCheck.GetCheck() == BST_CHECKED) != on)
      tongbu_->m_ListWhenInStockCheck.UserClick();
  }
  void Start() {
    ui::headless::ClearMessageBoxes();
    tongbu_->m_StartButton.UserClick();
  }
  void Stop() { tongbu_->m_StopButton.UserClick(); }

  // Downloads the set of the item page's set box at `set` from the shop as
  // it stands, and waits for the download and its save.
  bool DownloadSet(int set) {
    SelectSet(set);
    const int before = BoxesWithText("全部下载完毕！");
    taobao_->m_SearchButton.UserClick();
    if (!PumpUntil([&] { return BoxesWithText("全部下载完毕！") > before; })) return false;
    return WaitWorkers();
  }

  // Chooses the item set as the user does: after a download the box is
  // free again once "停止搜索" has been pressed.
  void SelectSet(int set) {
    if (!taobao_->m_SearchButton.IsWindowEnabled()) taobao_->m_StopButton.UserClick();
    taobao_->m_ItemSetCombo.UserSelect(set);
    ASSERT_EQ(taobao_->m_ItemSetCombo.GetCurSel(), set);
  }

  static int NextResultRow() {
    std::lock_guard<std::mutex> lock(g_ResultClaimLock);
    return g_NextResultRow;
  }
  // Waits until the producers have ended and the consumer has claimed every
  // result row, then presses Stop and waits for the consumer to finish the
  // row in hand: the run has done all it will do.
  bool RunToEnd() {
    const bool done = PumpUntil([&] {
      return g_LiveProducers.load() == 0 && NextResultRow() >= tongbu_->m_SyncList.GetItemCount();
    });
    Stop();
    return WaitWorkers() && done;
  }

  std::set<std::string> ShopIds() const {
    std::set<std::string> ids;
    for (int i = 0; i < taobao_->m_ItemList.GetItemCount(); ++i) ids.insert(taobao_->m_ItemList.GetItemText(i, 1).str());
    return ids;
  }
  int ShopTicks() const {
    int ticks = 0;
    for (int i = 0; i < taobao_->m_ItemList.GetItemCount(); ++i) ticks += taobao_->m_ItemList.GetCheck(i) ? 1 : 0;
    return ticks;
  }
  // The seller centre's items by id.
  std::map<std::string, sites::ShopItem> SiteItems() const {
    std::map<std::string, sites::ShopItem> items;
    for (const auto& item : centre_->Items()) items[item.id] = item;
    return items;
  }
  std::map<std::string, ResultRow> ResultsById() const {
    std::map<std::string, ResultRow> rows;
    for (const auto& row : Results()) rows[row.cells[1]] = row;
    return rows;
  }
};

// The road on the on-sale set: exactly the out-of-stock items are delisted,
// and a later download of the warehouse set shows them.
TEST_F(StockRunTest, OnSaleOutOfStockItemsAreDelisted) {
  const auto items = Shop(60, true);
  ASSERT_TRUE(Download(items));
  std::set<std::string> out_of_stock;
  for (const auto& item : items) {
    if (!InStock(item)) out_of_stock.insert(item.id);
  }
  ASSERT_FALSE(out_of_stock.empty());
  ASSERT_LT(out_of_stock.size(), items.size());
  Type(1);
  Mode(IDC_SYNC_DELIST);
  centre_->ClearOperationForms();

  Start();
  EXPECT_FALSE(tongbu_->m_StartButton.IsWindowEnabled());
  ASSERT_TRUE(RunToEnd());
  EXPECT_TRUE(ui::headless::MessageBoxes().empty()) << "a stock run announces no end";

  const auto results = Results();
  std::set<std::string> listed;
  for (size_t r = 0; r < results.size(); ++r) {
    const auto& cells = results[r].cells;
    SCOPED_TRACE(cells[1]);
    listed.insert(cells[1]);
    EXPECT_EQ(cells[0], std::to_string(r));
    EXPECT_EQ(cells[4], "");
    EXPECT_EQ(cells[5], "0");
    EXPECT_EQ(cells[6], "下架成功");
    EXPECT_TRUE(results[r].ticked);
  }
  EXPECT_EQ(listed, out_of_stock);
  EXPECT_EQ(ShopTicks(), 60) << "every processed shop row is ticked";
  EXPECT_EQ(centre_->OperationForms().size(), out_of_stock.size()) << "one delisting per row, nothing else";
  for (const auto& [id, item] : SiteItems()) EXPECT_EQ(item.on_sale, out_of_stock.count(id) == 0) << id;

  ASSERT_TRUE(DownloadSet(kWarehouseSet));
  EXPECT_EQ(ShopIds(), out_of_stock);
}

// The road on the warehouse set: with "有货上架" the in-stock items are listed.
TEST_F(StockRunTest, WarehouseInStockItemsAreListed) {
  centre_->SetItems(Shop(40, false));
  ASSERT_TRUE(DownloadSet(kWarehouseSet));
  std::set<std::string> in_stock;
  for (const auto& item : centre_->Items()) {
    if (InStock(item)) in_stock.insert(item.id);
  }
  Type(1);
  ListWhenInStock(true);

  Start();
  ASSERT_TRUE(RunToEnd());
  std::set<std::string> listed;
  for (const auto& row : Results()) {
    SCOPED_TRACE(row.cells[1]);
    listed.insert(row.cells[1]);
    EXPECT_EQ(row.cells[5], "1");
    EXPECT_EQ(row.cells[6], "上架成功");
    EXPECT_TRUE(row.ticked);
  }
  EXPECT_EQ(listed, in_stock);
  for (const auto& [id, item] : SiteItems()) EXPECT_EQ(item.on_sale, in_stock.count(id) != 0) << id;
}

// After a re-load from the item database the item's Taobao page decides:
// it is fetched for every row, before the action is known.
TEST_F(StockRunTest, AfterReloadTheItemPageDecides) {
  auto items = Shop(20, true);
  for (auto& item : Shop(20, false, 1000)) items.push_back(item);
  centre_->SetItems(items);
  ASSERT_TRUE(DownloadSet(kOnSaleSet));
  ASSERT_TRUE(DownloadSet(kWarehouseSet));
  taobao_->m_ItemList.DeleteAllItems();
  taobao_->OnImportAll();
  ASSERT_EQ(g_ListFromDb.load(), 1);
  ASSERT_EQ(taobao_->m_ItemList.GetItemCount(), 40);
  Type(1);
  Mode(IDC_SYNC_DELIST);
  ListWhenInStock(true);

  struct Case {
    const char* name;
    int set;
    bool in_stock;  // the rows the producers make
    const char* on_shelf_outcome;
    const char* off_shelf_outcome;
  };
  const Case cases[] = {
      // Out-of-stock rows: items on the shelf are delisted, warehouse items left alone.
      {"on-sale set", kOnSaleSet, false, "下架成功", ""},
      // In-stock rows: warehouse items are listed, items on the shelf left alone.
      {"warehouse set", kWarehouseSet, true, "", "上架成功"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto before = SiteItems();
    std::set<std::string> due;
    for (const auto& [id, item] : before) {
      if (InStock(item) == c.in_stock) due.insert(id);
    }
    SelectSet(c.set);
    books_->ClearRequests();
    Start();
    ASSERT_TRUE(RunToEnd());

    std::set<std::string> listed;
    for (const auto& row : Results()) {
      const std::string& id = row.cells[1];
      SCOPED_TRACE(id);
      listed.insert(id);
      EXPECT_EQ(row.cells[5], c.in_stock ? "1" : "0");
      const bool was_on_shelf = before.at(id).on_sale;
      const std::string outcome = was_on_shelf ? c.on_shelf_outcome : c.off_shelf_outcome;
      EXPECT_EQ(row.cells[6], outcome);
      EXPECT_EQ(row.ticked, !outcome.empty());
      // Out of stock: delisted or in the warehouse already; in stock: listed or on sale already.
      EXPECT_EQ(SiteItems().at(id).on_sale, c.in_stock);
    }
    EXPECT_EQ(listed, due);
    std::set<std::string> visited;
    for (const auto& visit : books_->ItemVisits()) visited.insert(visit.id);
    EXPECT_EQ(visited, due) << "one item page per result row, whatever the action";
  }
}

// The consumer's table: mode, check box and a refused operation.
TEST_F(StockRunTest, OptionsDecideTheAction) {
  struct Case {
    const char* name;
    bool on_sale;
    int mode;
    bool list_when_in_stock;
    bool refuse;  // the site refuses the delisting
    const char* outcome;
    bool ticked;
    bool stays;  // the item stays where it was
  };
  const Case cases[] = {
      {"on sale, 无操作: listed, nothing done", true, IDC_SYNC_NO_ACTION, true, false, "", false, true},
      {"on sale, 无货删除", true, IDC_SYNC_DELETE, false, false, "删除成功", true, false},
      {"on sale, refused delisting: no delete follows", true, IDC_SYNC_DELIST, false, true, "下架失败", false, true},
      {"warehouse, 有货上架 off: listed, nothing done", false, IDC_SYNC_DELIST, false, false, "", false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto items = Shop(15, c.on_sale);
    centre_->SetItems(items);
    ASSERT_TRUE(DownloadSet(c.on_sale ? kOnSaleSet : kWarehouseSet));
    std::set<std::string> due;
    for (const auto& item : items) {
      if (InStock(item) != c.on_sale) due.insert(item.id);
      if (c.refuse) centre_->RefuseDelisting(item.id);
    }
    Type(1);
    Mode(c.mode);
    ListWhenInStock(c.list_when_in_stock);
    centre_->ClearOperationForms();
    Start();
    ASSERT_TRUE(RunToEnd());

    std::set<std::string> listed;
    for (const auto& row : Results()) {
      listed.insert(row.cells[1]);
      EXPECT_EQ(row.cells[5], c.on_sale ? "0" : "1");
      EXPECT_EQ(row.cells[6], c.outcome);
      EXPECT_EQ(row.ticked, c.ticked);
    }
    EXPECT_EQ(listed, due);
    const auto site = SiteItems();
    for (const auto& id : due) EXPECT_EQ(site.count(id) != 0 && site.at(id).on_sale == c.on_sale, c.stays) << id;
    const size_t operations = std::string(c.outcome).empty() ? 0 : due.size();
    EXPECT_EQ(centre_->OperationForms().size(), operations);
  }
}

// Runs that give no result row end by themselves, the consumer included.
TEST_F(StockRunTest, RunsWithoutRowsEndByThemselves) {
  struct Case {
    const char* name;
    int items;
    bool on_sale;
    bool tick_province;
    int region_mode;
    int process_type;
    int store;  // index in the store box
    size_t rows;
  };
  const Case cases[] = {
      {"empty shop list", 0, true, true, IDC_DD_REGION_OUT_IF_ANY, 1, 0, 0},
      {"every warehouse item out of stock", 10, false, false, IDC_DD_REGION_IN_IF_ANY, 1, 0, 0},
      {"no province, mode 0: every book in stock", 10, true, false, IDC_DD_REGION_OUT_IF_ANY, 1, 0, 0},
      // The stock comes from Dangdang whatever the store box names.
      {"stock run, a store without reader", 10, true, false, IDC_DD_REGION_OUT_IF_ANY, 1, 2, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    taobao_->m_ItemList.DeleteAllItems();
    if (c.items > 0) {
      centre_->SetItems(Shop(c.items, c.on_sale));
      ASSERT_TRUE(DownloadSet(c.on_sale ? kOnSaleSet : kWarehouseSet));
    }
    pricing_->m_RegionList.SetCheck(0, c.tick_province);
    RegionMode(c.region_mode);
    Type(c.process_type);
    tongbu_->m_SiteCombo.UserSelect(c.store);
    books_->ClearRequests();
    tongbu_->m_StartButton.EnableWindow(TRUE);
    Start();
    ASSERT_TRUE(WaitWorkers(60s)) << "the run ended without Stop";
    EXPECT_EQ(Results().size(), c.rows);
    EXPECT_EQ(ShopTicks(), c.items);
    if (!c.tick_province) {
      EXPECT_TRUE(books_->StockRequests().empty());
    }
    EXPECT_FALSE(tongbu_->m_StartButton.IsWindowEnabled()) << "nothing announces the end";
    EXPECT_TRUE(ui::headless::MessageBoxes().empty());
  }
}

// No province ticked: the region mode alone decides, for both item sets.
TEST_F(StockRunTest, NoProvinceTickedInBothModes) {
  pricing_->m_RegionList.SetCheck(0, FALSE);
  const auto on_sale = Shop(8, true);
  auto all = on_sale;
  for (const auto& item : Shop(8, false, 1000)) all.push_back(item);
  Type(1);
  struct Case {
    int region_mode;
    int set;
    size_t rows;
    const char* stock_state;
  };
  const Case cases[] = {
      {IDC_DD_REGION_OUT_IF_ANY, kOnSaleSet, 0, ""},
      {IDC_DD_REGION_OUT_IF_ANY, kWarehouseSet, 8, "1"},
      {IDC_DD_REGION_IN_IF_ANY, kOnSaleSet, 8, "0"},
      {IDC_DD_REGION_IN_IF_ANY, kWarehouseSet, 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.region_mode) + " " + std::to_string(c.set));
    centre_->SetItems(all);
    ASSERT_TRUE(DownloadSet(c.set));
    RegionMode(c.region_mode);
    books_->ClearRequests();
    Start();
    ASSERT_TRUE(RunToEnd());
    const auto results = Results();
    EXPECT_EQ(results.size(), c.rows);
    for (const auto& row : results) {
      EXPECT_EQ(row.cells[5], c.stock_state);
      EXPECT_EQ(row.cells[6], "") << "无操作, 有货上架 off";
    }
    EXPECT_TRUE(books_->StockRequests().empty());
  }
}

// The item set switched during a run: the producers follow the box from
// their next row, the consumer keeps the set it read at its start.
TEST_F(StockRunTest, ItemSetSwitchedDuringTheRun) {
  ASSERT_TRUE(Download(Shop(30, true)));
  taobao_->m_StopButton.UserClick();
  books_->SetSlowDelay(60ms);
  books_->SetStockReplies(sites::ReplyMode::kSlow);
  tongbu_->m_ThreadCombo.UserSelect(0);  // one producer: rows in shop order
  Type(1);
  Mode(IDC_SYNC_DELIST);
  ListWhenInStock(true);
  Start();
  ASSERT_TRUE(PumpUntil([&] { return std::atoi(tongbu_->m_AnalysedEdit.GetWindowText()) >= 3; }));
  SelectSet(kWarehouseSet);
  ASSERT_TRUE(RunToEnd());

  int in_stock_rows = 0;
  for (const auto& row : Results()) {
    SCOPED_TRACE(row.cells[1]);
    if (row.cells[5] == "1") {
      ++in_stock_rows;
      EXPECT_EQ(row.cells[6], "") << "the consumer keeps the on-sale set";
      EXPECT_FALSE(row.ticked);
    } else {
      EXPECT_EQ(row.cells[6], "下架成功");
    }
  }
  EXPECT_GT(in_stock_rows, 0) << "the producers followed the box";
}

// Stop mid-run: the producer and the consumer finish the row in hand; the
// shop rows after it stay unticked, and so do result rows not acted on.
TEST_F(StockRunTest, StopMidRunLeavesTheRestUnticked) {
  ASSERT_TRUE(Download(Shop(40, true)));
  books_->SetSlowDelay(60ms);
  books_->SetStockReplies(sites::ReplyMode::kSlow);
  tongbu_->m_ThreadCombo.UserSelect(0);
  Type(1);
  Mode(IDC_SYNC_DELIST);
  Start();
  ASSERT_TRUE(PumpUntil([&] { return std::atoi(tongbu_->m_AnalysedEdit.GetWindowText()) >= 5; }));
  Stop();
  ASSERT_TRUE(WaitWorkers());
  const int ticks = ShopTicks();
  EXPECT_GE(ticks, 5);
  EXPECT_LT(ticks, 40);
  for (int i = 0; i < 40; ++i) EXPECT_EQ(taobao_->m_ItemList.GetCheck(i) != 0, i < ticks) << i;
  const auto site = SiteItems();
  for (const auto& row : Results()) {
    EXPECT_EQ(row.ticked, !site.at(row.cells[1]).on_sale) << row.cells[1];
    EXPECT_EQ(row.ticked, row.cells[6] == "下架成功") << row.cells[1];
  }
}

// The price-and-stock road with "无货下架": a refused delisting is followed by
// a delete, and every row gets its price edit; the page keeps the stock
// options in the options file.
TEST_F(StockRunTest, PriceAndStockLogsEveryOutcome) {
  const auto items = Shop(20, true);
  std::map<std::string, std::string> fresh;  // id -> new price
  for (const auto& item : items) {
    const std::string price = Money(std::stod(item.price) + 1);
    SetSalePrice(item, price);
    fresh[item.id] = price;
  }
  ASSERT_TRUE(Download(items));
  std::string refused;
  for (const auto& item : items) {
    if (!InStock(item) && refused.empty()) refused = item.id;
  }
  ASSERT_FALSE(refused.empty());
  centre_->RefuseDelisting(refused);
  Type(2);
  Mode(IDC_SYNC_DELIST);
  ListWhenInStock(true);
  Start();
  char stored[16] = "";
  GetPrivateProfileStringA("SYSCONFIG", "HasStoreUp", "", stored, sizeof stored, GetSystemIniPath());
  EXPECT_STREQ(stored, "true");
  GetPrivateProfileStringA("SYSCONFIG", "HasStoreUpdate", "", stored, sizeof stored, GetSystemIniPath());
  EXPECT_STREQ(stored, "false");
  ASSERT_TRUE(RunToEnd());
  EXPECT_TRUE(ui::headless::MessageBoxes().empty());

  const auto rows = ResultsById();
  ASSERT_EQ(rows.size(), items.size());
  const auto site = SiteItems();
  for (const auto& item : items) {
    SCOPED_TRACE(item.id);
    const ResultRow& row = rows.at(item.id);
    EXPECT_EQ(row.cells[3], item.price);
    EXPECT_EQ(row.cells[4], fresh[item.id]);
    EXPECT_EQ(row.cells[5], InStock(item) ? "1" : "0");
    EXPECT_EQ(row.ticked, item.id != refused) << "an edit the shop refused is not done";
    const std::string edited = "{\"success\":true,\"itemId\":\"" + item.id + "\",\"price\":\"" + fresh[item.id] + "\"}";
    if (item.id == refused) {
      EXPECT_EQ(row.cells[6], "下架失败,删除成功，{\"success\":false,\"msg\":\"no such item\"}");
      EXPECT_EQ(site.count(item.id), 0u) << "deleted";
    } else if (!InStock(item)) {
      EXPECT_EQ(row.cells[6], "下架成功," + edited);
      EXPECT_FALSE(site.at(item.id).on_sale);
    } else {
      EXPECT_EQ(row.cells[6], edited) << "an in-stock item on sale is not eligible for listing";
      EXPECT_TRUE(site.at(item.id).on_sale);
    }
    if (site.count(item.id)) {
      EXPECT_EQ(site.at(item.id).price, fresh[item.id]);
    }
  }
}

// JD's prices with Dangdang's stock: the price service for the price, the
// stock service by the same merchant code, no product page.
TEST_F(StockRunTest, PriceAndStockWithJdPrices) {
  const auto items = Shop(10, true);
  for (const auto& item : items) books_->SetJdPrice(item.code, Money(std::stod(item.price) + 2), Money(std::stod(item.price) + 3));
  ASSERT_TRUE(Download(items));
  Type(2);
  tongbu_->m_SiteCombo.UserSelect(1);  // "京东图书"
  books_->ClearRequests();
  Start();
  ASSERT_TRUE(RunToEnd());
  const auto rows = ResultsById();
  ASSERT_EQ(rows.size(), items.size());
  std::set<std::string> asked;
  for (const auto& request : books_->StockRequests()) asked.insert(request.product_id);
  std::set<std::string> codes;
  for (const auto& item : items) {
    SCOPED_TRACE(item.id);
    codes.insert(item.code);
    EXPECT_EQ(rows.at(item.id).cells[4], Money(std::stod(item.price) + 2));
    EXPECT_EQ(rows.at(item.id).cells[5], InStock(item) ? "1" : "0");
  }
  EXPECT_EQ(asked, codes);
  EXPECT_EQ(books_->ProductPageRequests(), 0);
  EXPECT_GE(books_->JdRequests(), 10);
}

}  // namespace
