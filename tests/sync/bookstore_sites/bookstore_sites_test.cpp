// The readers against the local bookstores: addresses, product pages and
// price replies fetched as a sync fetches them, Dangdang's stock over the
// ticked provinces in both modes, and the item pages of the marketplace.
#include <gtest/gtest.h>

#include <map>
#include <atomic>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/net/cookies.h"
#include "platform/net/internet.h"
#include "platform/ui/afxwin.h"
#include "services/globals.h"
#include "services/hosts.h"
#include "services/http.h"
#include "sync/bookstore_readers.h"
#include "sync/decimal_text.h"
#include "sync/price_rules.h"
#include "tests/sites/bookstores.h"
#include "tests/sites/hosts_ini.h"
#include "tests/sites/marketplace.h"
#include "tests/sites/seller_centre.h"
#include "tests/sites/site_server.h"
#include "tests/support/internet_error.h"

namespace {

const char* const kDangdang = "当当网";
const char* const kJd = "京东图书";

using support::InternetErrorOf;

class BookstoreSites : public ::testing::Test {
 protected:
  void SetUp() override {
    std::map<std::string, std::string> keys = market_.HostKeys();
    for (const auto& [key, value] : stores_.HostKeys()) keys[key] = value;
    sites::WriteHostsIni(folder_, server_, keys);
    InternetTimeouts timeouts;
    timeouts.connect = std::chrono::milliseconds(3000);
    timeouts.idle = std::chrono::milliseconds(2000);
    SetInternetTimeouts(timeouts);
    ClearCookieStore();

    regions_.InsertColumn(0, "选择", LVCFMT_CENTER, 50);
    regions_.InsertColumn(1, "地区", LVCFMT_CENTER, 250);
    regions_.InsertColumn(2, "地区代码", LVCFMT_CENTER, 200);
    regions_.InsertRow(0, {"", "北京", "111"});
    regions_.InsertRow(1, {"", "上海", "112"});
    regions_.InsertRow(2, {"", "天津", "113"});
    g_RegionList = &regions_;
    g_RegionStockMode = 0;
  }
  void TearDown() override {
    g_RegionList = nullptr;
    g_RegionStockMode = 0;
    SetInternetTimeouts(InternetTimeouts());
    ClearCookieStore();
  }

  void Tick(std::vector<bool> ticks) {
    for (int row = 0; row < regions_.GetItemCount(); ++row) regions_.SetCheck(row, ticks[row]);
  }
  std::vector<std::string> ProvincesAsked() const {
    std::vector<std::string> asked;
    for (const sites::StockRequest& request : stores_.StockRequests()) asked.push_back(request.province_id);
    return asked;
  }

  sites::SiteServer server_;
  sites::Marketplace market_{server_};
  sites::SellerCentre centre_{server_, &market_};
  sites::Bookstores stores_{server_, &centre_, &market_};
  sites::TestProgramFolder folder_;
  CListCtrl regions_;
};

TEST_F(BookstoreSites, Addresses) {
  const std::string dangdang = stores_.HostKeys().at("DangDang");
  const std::string jd = stores_.HostKeys().at("JD");
  EXPECT_EQ(GetSourceUrl(kDangdang, "23456789").str(), "http://" + dangdang + "/23456789.html");
  EXPECT_EQ(GetSourceUrl(kJd, "11223344").str(),
            "http://" + jd + "/prices/mgets?type=1&skuIds=J_11223344");
  EXPECT_EQ(GetSourceUrl(kDangdang, "a b&c").str(), "http://" + dangdang + "/a b&c.html");
  for (const char* store : {"卓越图书", "博库", "文轩", "苏宁图书", "当当", "", "京东图书 "}) {
    EXPECT_TRUE(GetSourceUrl(store, "23456789").IsEmpty()) << store;
  }
}

// Every product of a shop, fetched as the price producers fetch it, reads
// back as the bookstores generated it.
TEST_F(BookstoreSites, ShopProductsThroughTheNetwork) {
  sites::ShopOptions options;
  options.count = 40;
  centre_.SetItems(sites::GenerateShop(options));
  for (const sites::ShopItem& item : centre_.Items()) {
    SCOPED_TRACE(item.code);
    const sites::BookProduct product = sites::DangdangProductFor(item);
    CString page = HttpGetQuiet(GetSourceUrl(kDangdang, item.code.c_str()));
    EXPECT_GT(page.GetLength(), 190000);
    EXPECT_EQ(GetSalePrice(page, kDangdang), static_cast<float>(ParseDecimal(product.sale.c_str())));
    EXPECT_EQ(GetOriginalPrice(page, kDangdang).str(), product.list);
    EXPECT_EQ(GetProductTitle(page).str(), item.title);
    if (product.discount_layout != sites::DiscountLayout::kNone) {
      EXPECT_EQ("(" + GetDiscountText(page, kDangdang).str() + "折)", product.discount);
    }
    CString reply = HttpGetQuiet(GetSourceUrl(kJd, item.code.c_str()));
    EXPECT_EQ(GetSalePrice(reply, kJd), static_cast<float>(ParseDecimal(product.sale.c_str())));
    EXPECT_EQ(GetOriginalPrice(reply, kJd).str(), product.list);
  }
  CString missing = HttpGetQuiet(GetSourceUrl(kDangdang, "99999999"));
  EXPECT_GE(missing.Find("对不起，您要访问的页面暂时没有找到"), 0);
  EXPECT_EQ(GetSalePrice(missing, kDangdang), 0.0f);
  EXPECT_EQ(stores_.ProductPageRequests(), 41);
  EXPECT_EQ(stores_.JdRequests(), 40);

  stores_.SetJdPrice("5", std::string("39.80"), std::nullopt);
  CString reply = HttpGetQuiet(GetSourceUrl(kJd, "5"));
  EXPECT_EQ(GetSalePrice(reply, kJd), 39.8f);
  EXPECT_EQ(GetOriginalPrice(reply, kJd), "0.00");
  stores_.SetJdPrice("5", std::nullopt, std::string("49.00"));
  reply = HttpGetQuiet(GetSourceUrl(kJd, "5"));
  EXPECT_EQ(GetSalePrice(reply, kJd), 0.0f);
  EXPECT_EQ(GetOriginalPrice(reply, kJd), "49.00");
}

struct StockCase {
  const char* name;
  std::vector<bool> ticks;
  int mode;
  std::set<std::string> nostock;
  bool everywhere;
  bool expected;
  std::vector<std::string> asked;
};

TEST_F(BookstoreSites, DangdangStockOverTheTickedProvinces) {
  const std::vector<StockCase> cases = {
      {"no province ticked, mode 0", {false, false, false}, 0, {}, true, true, {}},
      {"no province ticked, mode 1", {false, false, false}, 1, {}, false, false, {}},
      {"mode 0, the second without stock", {true, true, true}, 0, {"112"}, false, false, {"111", "112"}},
      {"mode 1, the second without stock", {true, true, true}, 1, {"112"}, false, true, {"111"}},
      {"mode 1, none has stock", {true, true, true}, 1, {}, true, false, {"111", "112", "113"}},
      {"mode 0, all have stock", {true, true, true}, 0, {}, false, true, {"111", "112", "113"}},
      {"mode 1, only the last has stock", {true, true, true}, 1, {"111", "112"}, false, true,
       {"111", "112", "113"}},
      {"unticked rows are not asked", {true, false, true}, 0, {"112"}, false, true, {"111", "113"}},
  };
  for (const StockCase& c : cases) {
    SCOPED_TRACE(c.name);
    sites::BookProduct product;
    product.number = "2345";
    product.nostock_provinces = c.nostock;
    product.nostock_everywhere = c.everywhere;
    stores_.SetProduct(product);
    Tick(c.ticks);
    g_RegionStockMode = c.mode;
    stores_.ClearRequests();
    EXPECT_EQ(GetDangdangStock("2345"), c.expected);
    EXPECT_EQ(ProvincesAsked(), c.asked);
  }
  // The request as the service receives it.
  std::vector<sites::StockRequest> requests = stores_.StockRequests();
  ASSERT_FALSE(requests.empty());
  EXPECT_EQ(requests[0].query,
            "type=stockv3&product_id=2345&gift_ids=&gift_counts=&fourarea=true&shop_id=0&"
            "province_id=111&page_type=book");
  EXPECT_EQ(requests[0].product_id, "2345");
}

TEST_F(BookstoreSites, BadStockReplies) {
  sites::BookProduct product;
  product.number = "2345";
  product.nostock_everywhere = true;
  stores_.SetProduct(product);
  Tick({true, true, true});
  g_RegionStockMode = 0;
  // An empty reply says nothing of "nostock": in stock.
  stores_.SetStockReplies(sites::ReplyMode::kEmpty);
  EXPECT_TRUE(GetDangdangStock("2345"));
  stores_.SetSlowDelay(std::chrono::milliseconds(200));
  stores_.SetStockReplies(sites::ReplyMode::kSlow);
  EXPECT_FALSE(GetDangdangStock("2345"));
  // A failed request reaches the caller.
  stores_.SetStockReplies(sites::ReplyMode::kCut);
  EXPECT_NE(InternetErrorOf([] { GetDangdangStock("2345"); }), 0u);
  stores_.SetStockReplies(sites::ReplyMode::kNormal);
  server_.SetRefuse(true);
  EXPECT_EQ(InternetErrorOf([] { GetDangdangStock("2345"); }), static_cast<DWORD>(ERROR_INTERNET_CANNOT_CONNECT));
  server_.SetRefuse(false);
  // An empty product number is asked all the same.
  stores_.ClearRequests();
  EXPECT_FALSE(GetDangdangStock(""));
  ASSERT_EQ(stores_.StockRequests().size(), 1u);
  EXPECT_EQ(stores_.StockRequests()[0].product_id, "");
}

TEST_F(BookstoreSites, ItemOnShelf) {
  sites::ShopOptions options;
  options.count = 2;
  std::vector<sites::ShopItem> items = sites::GenerateShop(options);
  items[1].on_sale = true;
  centre_.SetItems(items);
  // Sign in: the login page sets the session's cookies in the shared store.
  HttpGetWithCookie(("https://" + market_.LoginHost() + "/").c_str());

  EXPECT_FALSE(IsTaobaoItemOnShelf(items[0].id.c_str()));
  EXPECT_TRUE(IsTaobaoItemOnShelf(items[1].id.c_str()));
  EXPECT_TRUE(IsTaobaoItemOnShelf("1"));  // an unknown item's page says nothing of the shelf
  stores_.SetItemOnShelf(items[1].id, false);
  EXPECT_FALSE(IsTaobaoItemOnShelf(items[1].id.c_str()));
  std::vector<sites::Bookstores::ItemVisit> visits = stores_.ItemVisits();
  ASSERT_EQ(visits.size(), 4u);
  for (const auto& visit : visits) EXPECT_TRUE(visit.signed_in) << visit.id;
  EXPECT_EQ(visits[0].id, items[0].id);

  server_.SetRefuse(true);
  EXPECT_EQ(InternetErrorOf([&] { IsTaobaoItemOnShelf(items[0].id.c_str()); }),
            static_cast<DWORD>(ERROR_INTERNET_CANNOT_CONNECT));
  server_.SetRefuse(false);
}

// Fifteen producers read pages, rules and stock at once while the user
// changes the pricing page and the provinces: every answer is one that
// some state of the page gives, and nothing breaks.
TEST_F(BookstoreSites, ProducersReadWhileThePageChanges) {
  sites::ShopOptions options;
  options.count = 30;
  centre_.SetItems(sites::GenerateShop(options));
  const std::vector<sites::ShopItem> items = centre_.Items();

  CListCtrl rules;
  for (int i = 0; i < 5; ++i) rules.InsertColumn(i, "", LVCFMT_CENTER, 60);
  rules.SetCheck(rules.InsertRow(0, {"1", "所有商品", "", "10", "1"}));
  rules.SetCheck(rules.InsertRow(1, {"2", "所有商品", "", "10", "2"}));
  CButton all;
  all.SetCheck(BST_CHECKED);
  CEdit threshold, fallback;
  g_RuleList = &rules;
  g_UseAllProductsCheck = &all;
  g_YuanJiaZheEdit = &threshold;
  g_ShiYongZheEdit = &fallback;
  Tick({true, true, true});

  std::atomic<int> next{0}, wrong{0}, done{0};
  std::vector<std::thread> producers;
  for (int t = 0; t < 15; ++t) {
    producers.emplace_back([&] {
      for (int i; (i = next++) < 300;) {
        const sites::ShopItem& item = items[static_cast<size_t>(i) % items.size()];
        CString page = HttpGetQuiet(GetSourceUrl(kDangdang, item.code.c_str()));
        const float sale = GetSalePrice(page, kDangdang);
        float price = 0;
        CString current = "1.00";
        ApplyPriceRule(price, current, page, kDangdang);
        // The first ticked rule adds 1, the second 2; unticked, none applies.
        const bool fits = price == sale || price == static_cast<float>(ParseDecimal(FormatTwoDecimals(sale + 1.0f))) ||
                          price == static_cast<float>(ParseDecimal(FormatTwoDecimals(sale + 2.0f))) ||
                          price == 5.0f;
        if (!fits) ++wrong;
        try {
          GetDangdangStock(item.code.c_str());
        } catch (CInternetException* error) {
          error->Delete();
          ++wrong;
        }
      }
      ++done;
    });
  }
  // The user meanwhile.
  for (int turn = 0; done < 15; ++turn) {
    rules.SetCheck(0, turn % 2);
    all.SetCheck(turn % 3 ? BST_CHECKED : BST_UNCHECKED);
    regions_.SetCheck(turn % 3, turn % 2);
    g_RegionStockMode = turn % 2;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  for (std::thread& producer : producers) producer.join();
  EXPECT_EQ(wrong, 0);
  g_RuleList = nullptr;
  g_UseAllProductsCheck = nullptr;
  g_YuanJiaZheEdit = g_ShiYongZheEdit = nullptr;
}

}  // namespace
